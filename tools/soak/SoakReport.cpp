#include "soak/SoakReport.h"

#include "ecu/CEcuDownloadResult.h"
#include "foundation/StringPrintf.h"

#include <algorithm>
#include <cmath>

namespace soak {

const char* FaultName(Fault fault) {
    switch (fault) {
    case Fault::DropConnection:
        return "dropped connection";
    case Fault::RestartBridge:
        return "bridge restart";
    case Fault::LateReply:
        return "late reply";
    case Fault::SplitReply:
        return "split reply";
    case Fault::WrongPreamble:
        return "wrong preamble";
    case Fault::NoWriteAck:
        return "write without acknowledgement";
    case Fault::SilentReply:
        return "unanswered request";
    case Fault::LogBusy:
        return "run log not answering";
    case Fault::BootHiccup:
        return "boot-loader hiccup";
    case Fault::kCount:
        break;
    }
    return "?";
}

const char* FaultKey(Fault fault) {
    static const char* const kKeys[] = {
        "drop", "restart", "late", "split", "preamble", "no-ack", "silent", "log-busy", "boot"};
    const auto i = static_cast<size_t>(fault);
    return i < sizeof kKeys / sizeof kKeys[0] ? kKeys[i] : "?";
}

uint32_t Percentile(std::vector<uint32_t> samples, double p) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(p / 100.0 * static_cast<double>(samples.size()));
    const size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
    return samples[std::min(index, samples.size() - 1)];
}

bool SoakReport::grew() const {
    return fdsEnd - fdsStart > fdBound || rssEndKiB > rssStartKiB + rssBoundKiB;
}

int SoakReport::exitCode() const {
    if (hung) {
        return 3;
    }
    if (wrong() != 0) {
        return 1;
    }
    return grew() ? 4 : 0;
}

std::string SoakReport::Format() const {
    std::string s = StringPrintf("turbex-soak: %.0f s of %u s, seed %u, bridge on 127.0.0.1:%u\n",
                                 elapsedSeconds,
                                 seconds,
                                 seed,
                                 port);
    uint32_t total = 0;
    std::string kinds;
    for (size_t i = 0; i < faults.size(); ++i) {
        total += faults[i];
        kinds += StringPrintf(
            "%s%s %u", kinds.empty() ? "" : ", ", FaultName(static_cast<Fault>(i)), faults[i]);
    }
    s += StringPrintf("faults injected:      %u (%s)\n", total, kinds.c_str());
    s += StringPrintf("reconnects:           %u\n", reconnects);
    s += StringPrintf("bridge up to online:  median %u ms, p99 %u ms (%zu samples); while a "
                      "transfer ran: median %u ms, p99 %u ms (%zu samples)\n",
                      Percentile(upToOnline, 50),
                      Percentile(upToOnline, 99),
                      upToOnline.size(),
                      Percentile(upToOnlineInTransfer, 50),
                      Percentile(upToOnlineInTransfer, 99),
                      upToOnlineInTransfer.size());
    std::string why;
    for (size_t i = 0; i < incompleteBy.size(); ++i) {
        if (incompleteBy[i] != 0) {
            why += StringPrintf("%s%s %u",
                                why.empty() ? "" : ", ",
                                ToString(static_cast<CEcuDownloadResult::End>(i)),
                                incompleteBy[i]);
        }
    }
    const uint32_t downloads = downloadsCorrect + downloadsIncomplete + downloadsWrong;
    s += StringPrintf(
        "downloads:            %u complete and byte-correct, %u reported incomplete%s%s%s, "
        "%u wrong\n",
        downloadsCorrect,
        downloadsIncomplete,
        why.empty() ? "" : " (",
        why.c_str(),
        why.empty() ? "" : ")",
        downloadsWrong);
    s += StringPrintf("                      %llu failed reads retried, %.2f passes a download\n",
                      static_cast<unsigned long long>(failedReadsRetried),
                      downloads == 0 ? 0.0 : static_cast<double>(passes) / downloads);
    s += StringPrintf("parameter writes:     %u confirmed, %u failed cleanly, %u wrong\n",
                      writesConfirmed,
                      writesFailed,
                      writesWrong);
    s += StringPrintf(
        "firmware transfers:   %u correct, %u failed cleanly (%u never began), %u wrong\n",
        transfersCorrect,
        transfersFailed,
        transfersNotStarted,
        transfersWrong);
    s += StringPrintf(
        "open descriptors:     %d at start, %d at end (bound +%d)\n", fdsStart, fdsEnd, fdBound);
    s +=
        StringPrintf("resident memory:      %.1f MiB at start, %.1f MiB at end (bound +%.1f MiB)\n",
                     rssStartKiB / 1024.0,
                     rssEndKiB / 1024.0,
                     rssBoundKiB / 1024.0);
    std::string verdict = "PASS";
    if (hung) {
        verdict = "FAIL: no progress for 30 s while " + hangWhere;
    } else if (wrong() != 0) {
        verdict = "FAIL: wrong results";
    } else if (grew()) {
        verdict = "FAIL: descriptors or memory grew beyond the bound";
    }
    s += "result:               " + verdict + "\n";
    return s;
}

} // namespace soak
