#include "cli/Cli.h"

#include "cli/CliExit.h"
#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "cli/EcuCommands.h"
#include "cli/JsonWriter.h"
#include "cli/LogInfo.h"
#include "cli/ParameterNames.h"
#include "cli/ParameterReport.h"
#include "cli/Progress.h"
#include "cli/StatusReport.h"
#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "engine/CEngineParameterFile.h"
#include "engine/EcuTextId.h"
#include "foundation/DebugTrace.h"
#include "foundation/Sha256.h"
#include "foundation/StringPrintf.h"
#include "foundation/TurbexVersion.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/FileIo.h"
#include "update/CParameterDiff.h"
#include "update/CUnitArchive.h"
#include "update/CUnitIdentity.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

namespace cli {

namespace {

int Fail(CliIo& io, int code, const std::string& message) {
    io.err << "turbexctl: " << message << "\n";
    io.err.flush();
    return code;
}

std::string Seconds(int32_t ms) {
    return StringPrintf("%g s", ms / 1000.0);
}

// The message and exit code of a session that is not ready.
int NotReady(CliIo& io, CliSession& session, CliSession::Ready r, const CliOptions& o) {
    switch (r) {
    case CliSession::Ready::Ok:
        return kExitOk;
    case CliSession::Ready::NoUnit:
        return Fail(io,
                    kExitNoUnit,
                    "no unit online within " + Seconds(o.timeoutMs) + ": " +
                        session.NoUnitReason());
    case CliSession::Ready::NotEcu:
        return Fail(io,
                    kExitFailed,
                    "the unit online is not an ECU (unit type " +
                        std::to_string(session.device().GetUnitType()) + ")");
    case CliSession::Ready::BootLoader:
        return Fail(
            io,
            kExitFailed,
            "the ECU is in boot-loader mode; flash a firmware image to start its application");
    case CliSession::Ready::NoAnswer:
        return Fail(io,
                    kExitFailed,
                    "the ECU sent no parameters or live state within " + Seconds(o.timeoutMs));
    case CliSession::Ready::Interrupted:
        return Fail(io, kExitInterrupted, "interrupted");
    }
    return kExitInternal;
}

// Starts the session and waits for the ECU's first parameter block and
// telemetry; the exit code when they do not come.
std::optional<int> StartAndWaitReady(CliSession& session, const CliOptions& o, CliIo& io) {
    session.Start();
    const CliSession::Ready ready = session.WaitReady(o.timeoutMs);
    if (ready != CliSession::Ready::Ok) {
        return NotReady(io, session, ready, o);
    }
    return std::nullopt;
}

CliSession::Options SessionOptions(const CliOptions& o, const CliIo& io, bool download = false) {
    CliSession::Options s;
    s.port = o.port;
    s.serialPort = o.serialPort;
    s.hidPort = io.hidPort;
    s.downloadRequested = download;
    return s;
}

void PrintDocument(CliIo& io, const std::string& text, bool json) {
    io.out << text;
    if (json || (!text.empty() && text.back() != '\n')) {
        io.out << "\n";
    }
    io.out.flush();
}

// --- status and watch --------------------------------------------------------

int RunStatus(const CliOptions& o, CliIo& io) {
    CliSession session(SessionOptions(o, io));
    session.Start();
    const CliSession::Ready online = session.WaitOnline(o.timeoutMs);
    if (online != CliSession::Ready::Ok) {
        return NotReady(io, session, online, o);
    }
    CDeviceBase& d = session.device();
    bool withEcu = false;
    if (d.GetUnitType() == CDeviceECU::kUnitType && d.IsBootLoader() == 0) {
        const CliSession::Ready ready = session.WaitReady(o.timeoutMs);
        if (ready != CliSession::Ready::Ok) {
            return NotReady(io, session, ready, o);
        }
        withEcu = true;
    }
    const StatusSnapshot s = TakeSnapshot(d, session.ecu(), withEcu);
    PrintDocument(io,
                  o.json ? FormatStatusJson(s, o.language, true) : FormatStatusText(s, o.language),
                  o.json);
    return kExitOk;
}

int RunWatch(const CliOptions& o, CliIo& io) {
    CliSession session(SessionOptions(o, io));
    if (const auto notReady = StartAndWaitReady(session, o, io)) {
        return *notReady;
    }
    CDeviceBase& d = session.device();
    const uint32_t start = platform::TickCount();
    uint64_t seen =
        session.Counts().count(CDeviceECU::kTelemetry) - 1; // the update that made it ready
    int64_t printed = 0;
    while (o.count < 0 || printed < o.count) {
        bool offline = false;
        const bool updated = session.WaitUntil(
            [&](const EventCounts& c) {
                offline = d.IsOnline() == 0;
                return offline || (c.ecuReady && c.count(CDeviceECU::kTelemetry) > seen);
            },
            -1);
        if (!updated) {
            break; // Ctrl-C: the normal end of a watch
        }
        if (offline) {
            io.err << "turbexctl: the unit went offline; waiting for it\n";
            io.err.flush();
            const CliSession::Ready again = session.WaitReady(-1);
            if (again != CliSession::Ready::Ok) {
                if (again == CliSession::Ready::Interrupted) {
                    break;
                }
                return NotReady(io, session, again, o);
            }
            seen = session.Counts().count(CDeviceECU::kTelemetry) - 1;
            continue;
        }
        seen = session.Counts().count(CDeviceECU::kTelemetry);
        const StatusSnapshot s = TakeSnapshot(d, session.ecu(), true);
        const uint32_t elapsed = platform::TickCount() - start;
        io.out << (o.json ? FormatWatchJson(s, elapsed, o.language)
                          : FormatWatchText(s, elapsed, o.language))
               << "\n";
        io.out.flush();
        ++printed;
    }
    return kExitOk;
}

// --- parameters -----------------------------------------------------------------

// Waits for the parameter block read after a commit: a 302 that came after
// the commit and left the block clean.
bool WaitReadBack(CliSession& session, uint64_t before, int32_t timeoutMs) {
    const uint32_t start = platform::TickCount();
    uint64_t after = before;
    for (;;) {
        const int32_t left = timeoutMs - static_cast<int32_t>(platform::TickCount() - start);
        if (left <= 0 ||
            !session.WaitUntil(
                [&](const EventCounts& c) { return c.count(CDeviceECU::kParameters) > after; },
                left)) {
            return false;
        }
        after = session.Counts().count(CDeviceECU::kParameters);
        if (!session.ecu().withParameters([](CEcuParameters& p) { return p.dirty(); })) {
            return true;
        }
    }
}

int PrintParameters(const CliOptions& o,
                    CliIo& io,
                    CliSession& session,
                    const ParameterSelection& sel) {
    const ParameterSnapshot p =
        session.ecu().withParameters([](CEcuParameters& params) { return TakeParameters(params); });
    PrintDocument(
        io, o.json ? FormatParametersJson(p, sel, true) : FormatParametersText(p, sel), o.json);
    return kExitOk;
}

int RunParams(const CliOptions& o, CliIo& io) {
    CliSession session(SessionOptions(o, io));
    if (const auto notReady = StartAndWaitReady(session, o, io)) {
        return *notReady;
    }
    return PrintParameters(o, io, session, ParameterSelection{});
}

int RunParamsSave(const CliOptions& o, CliIo& io) {
    const std::string& path = o.operands[0];
    CliSession session(SessionOptions(o, io));
    if (const auto notReady = StartAndWaitReady(session, o, io)) {
        return *notReady;
    }
    const CEngineParameterFile::Texts texts = session.ecu().withParameters(
        [](CEcuParameters& p) { return CEngineParameterFile::Collect(p); });
    std::string error;
    if (CEngineParameterFile::saveTexts(path, texts, &error) != 1) {
        return Fail(io, kExitFile, "cannot write " + path + ": " + error);
    }
    if (o.json) {
        JsonWriter w(true);
        w.beginObject().field("file", path).field("keys", texts.size()).endObject();
        PrintDocument(io, w.str(), true);
    } else {
        io.out << "saved " << texts.size() << " keys to " << path << "\n";
    }
    return kExitOk;
}

// Commits what the caller set and prints the read-back of sel.
int CommitAndReadBack(const CliOptions& o,
                      CliIo& io,
                      CliSession& session,
                      const ParameterSelection& sel) {
    const uint64_t before = session.Counts().count(CDeviceECU::kParameters);
    if (session.ecu().commit() != 1) {
        return Fail(io,
                    kExitFailed,
                    "the ECU did not take the changes (a write failed; nothing more was sent)");
    }
    if (!WaitReadBack(session, before, o.timeoutMs)) {
        return Fail(io,
                    Interrupted() ? kExitInterrupted : kExitFailed,
                    "the changes were sent but the ECU's parameters were not read back within " +
                        Seconds(o.timeoutMs));
    }
    return PrintParameters(o, io, session, sel);
}

int RunParamsLoad(const CliOptions& o, CliIo& io) {
    const std::string& path = o.operands[0];
    CEngineParameterFile::Settings settings;
    std::string error;
    switch (CEngineParameterFile::readFile(path, settings, &error)) {
    case CEngineParameterFile::LoadResult::Loaded:
        break;
    case CEngineParameterFile::LoadResult::Missing:
        // The settings dialog would send every default here; from a script a
        // mistyped name is far more likely than a wish for the defaults.
        return Fail(io, kExitFile, "no such file: " + path);
    case CEngineParameterFile::LoadResult::Failed:
        return Fail(io, kExitFile, "cannot read " + path + ": " + error);
    }
    CliSession session(SessionOptions(o, io));
    if (const auto notReady = StartAndWaitReady(session, o, io)) {
        return *notReady;
    }
    session.ecu().withParameters([&](CEcuParameters& p) {
        CEngineParameterFile::Apply(settings, p);
        return 0;
    });
    return CommitAndReadBack(o, io, session, ParameterSelection{});
}

// One ID=VALUE of "set", checked.
struct Assignment {
    ParameterRef ref;
    std::string name;
    std::string text;
    int32_t integer = 0;
};

bool IsDecimal(const std::string& v) {
    double d = 0;
    const char* b = v.data();
    const char* e = b + v.size();
    if (b != e && *b == '+') {
        ++b;
    }
    const auto r = std::from_chars(b, e, d);
    return b != e && r.ec == std::errc() && r.ptr == e && std::isfinite(d);
}

bool IsHex(const std::string& v) {
    std::string_view s = v;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
    }
    return !s.empty() && s.size() <= 8 &&
           s.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

bool ParseAssignment(const std::string& op, Assignment& a, std::string& error) {
    const size_t eq = op.find('=');
    const std::string id = op.substr(0, eq);
    const std::string v = op.substr(eq + 1);
    const auto ref = FindParameter(id);
    if (!ref) {
        error = "unknown parameter \"" + id + "\" (see turbexctl params)";
        return false;
    }
    a.ref = *ref;
    a.text = v;
    int64_t n = 0;
    if (ref->extra) {
        a.name = std::string(ExtraSettingName(ref->setting));
        switch (ref->setting) {
        case ExtraSetting::TemperatureUnit:
            if (!ParseInteger(v, 0, 1, n)) {
                error = a.name + " takes 0 (Celsius) or 1 (Fahrenheit)";
                return false;
            }
            break;
        case ExtraSetting::PumpMode:
            if (!ParseInteger(v, 0, 3, n)) {
                error = a.name + " takes 0 to 3";
                return false;
            }
            break;
        case ExtraSetting::TelemetryProtocol:
            if (!ParseInteger(v, 0, 7, n)) {
                error = a.name + " takes 0 to 7";
                return false;
            }
            break;
        case ExtraSetting::EngineName: {
            bool lossless = true;
            a.text = platform::Utf8ToGbk(v, &lossless);
            if (!lossless || a.text.size() > 28) {
                error = "engine-name takes at most 28 bytes of text the ECU's code page can hold";
                return false;
            }
            return true;
        }
        }
        a.integer = static_cast<int32_t>(n);
        return true;
    }
    a.name = std::string(ParameterName(ref->textId));
    if (IsReadOnly(ref->textId)) {
        error = a.name + " is read only (learned with the learn-* commands)";
        return false;
    }
    if (EcuTextId::TakesInteger(ref->textId)) {
        if (!ParseInteger(v, INT32_MIN, INT32_MAX, n)) {
            error = a.name + " takes a whole number (a list index or 0/1), not \"" + v + "\"";
            return false;
        }
        a.integer = static_cast<int32_t>(n);
    } else if (ref->textId == 10) {
        if (!IsHex(v)) {
            error = a.name + " takes hexadecimal digits, not \"" + v + "\"";
            return false;
        }
    } else if (!IsDecimal(v)) {
        error = a.name + " takes a number, not \"" + v + "\"";
        return false;
    }
    return true;
}

int RunSet(const CliOptions& o, CliIo& io) {
    std::vector<Assignment> assignments;
    ParameterSelection sel;
    sel.all = false;
    for (const std::string& op : o.operands) {
        Assignment a;
        std::string error;
        if (!ParseAssignment(op, a, error)) {
            return Fail(io, kExitUsage, error);
        }
        if (a.ref.extra) {
            sel.extras.insert(a.name);
        } else {
            sel.ids.insert(a.ref.textId);
        }
        assignments.push_back(std::move(a));
    }
    CliSession session(SessionOptions(o, io));
    if (const auto notReady = StartAndWaitReady(session, o, io)) {
        return *notReady;
    }
    // Every parameter is checked before any is changed, so that a refused
    // one leaves the ECU as it was.
    const std::string refused = session.ecu().withParameters([&](CEcuParameters& p) -> std::string {
        for (const Assignment& a : assignments) {
            if (!a.ref.extra && !p.supported(a.ref.textId)) {
                return a.name + " (text id " + std::to_string(a.ref.textId) +
                       ") is not supported by this ECU";
            }
            if (a.ref.extra && a.ref.setting == ExtraSetting::EngineName &&
                !(p.generation() == EcuGeneration::Block)) {
                return "engine-name can be set on a block-generation ECU only";
            }
        }
        for (const Assignment& a : assignments) {
            if (!a.ref.extra) {
                (void)p.setFromText(a.ref.textId, a.text, a.integer);
                continue;
            }
            switch (a.ref.setting) {
            case ExtraSetting::TemperatureUnit:
                (void)p.setTemperatureUnit(a.integer);
                break;
            case ExtraSetting::PumpMode:
                (void)p.setPumpMode(a.integer);
                break;
            case ExtraSetting::TelemetryProtocol:
                (void)p.setTelemetryProtocol(a.integer);
                break;
            case ExtraSetting::EngineName:
                (void)p.setEngineName(a.text);
                break;
            }
        }
        return "";
    });
    if (!refused.empty()) {
        return Fail(io, kExitFailed, refused + "; nothing was changed");
    }
    return CommitAndReadBack(o, io, session, sel);
}

// --- run log ----------------------------------------------------------------------

// Why a download that ended without the ECU's "nothing more" is incomplete.
std::string IncompleteReason(const CEcuDownloadResult& r) {
    using End = CEcuDownloadResult::End;
    switch (r.endedBy) {
    case End::EmptyReads:
        return StringPrintf(
            "the download is incomplete: reads kept failing in %d passes over the log "
            "(%d failed reads), so records may be missing",
            r.passes,
            r.failedReads);
    case End::EngineStart:
        return "the engine started during the download, which ended it";
    case End::ReadFailures:
        return StringPrintf("the download is incomplete: the ECU stopped answering its run log "
                            "for %u s (%d failed reads)",
                            CEcuDownloadResult::kFailureLimitMs / 1000,
                            r.failedReads);
    case End::Abort:
        return "the download was aborted";
    case End::Offline:
        return "the unit went offline during the download";
    case End::None:
    case End::Stopped:
        break;
    }
    return "the download did not finish";
}

int RunLogDownload(const CliOptions& o, CliIo& io) {
    CliSession session(SessionOptions(o, io));
    if (const auto notReady = StartAndWaitReady(session, o, io)) {
        return *notReady;
    }
    CDeviceBase& d = session.device();
    CDeviceECU& ecu = session.ecu();
    const CEcuLiveState live = ecu.liveState();
    if (live.record_storage == 0) {
        return Fail(io, kExitFailed, "the ECU reports no stored records");
    }
    if (live.engine_state > 1 && !o.abortBulk) {
        // The ECU hands out its stored log only while the engine is stopped.
        return Fail(io,
                    kExitFailed,
                    "the engine is running; stop it to download the stored log, or record this run "
                    "with --abort-bulk");
    }
    const uint64_t downloads = session.Counts().count(CDeviceECU::kDownload);
    const uint32_t resultsBefore = ecu.downloadResult().sequence;
    ecu.setDownloadRequested(true);
    // The record thread looks once more after a second before it starts.
    bool offline = false;
    const bool started = session.WaitUntil(
        [&](const EventCounts& c) {
            offline = d.IsOnline() == 0;
            return offline || c.count(CDeviceECU::kDownload) > downloads;
        },
        o.timeoutMs + 2000);
    if (!started || offline) {
        ecu.setDownloadRequested(false);
        if (Interrupted()) {
            return Fail(io, kExitInterrupted, "interrupted before the download started");
        }
        return Fail(io,
                    kExitFailed,
                    offline ? "the unit went offline" : "the ECU did not start the download");
    }
    if (o.abortBulk) {
        ecu.abortDownload(true);
    }

    auto recordCount = [&] {
        CMLockGuard lock(ecu.tracker().getLock());
        return ecu.tracker().GetCount();
    };
    ProgressLine progress(io.err, io.errIsTerminal);
    bool interrupted = false;
    // The bulk phase: until 304 with 0.
    for (;;) {
        const bool ended = session.WaitUntil(
            [&](const EventCounts& c) {
                offline = d.IsOnline() == 0;
                return offline || c.count(CDeviceECU::kDownload) > downloads + 1;
            },
            200);
        if (ended || offline) {
            break;
        }
        if (Interrupted() && !interrupted) {
            // Ends the bulk phase at its next read; what arrived is saved.
            interrupted = true;
            ClearInterrupt();
            ecu.abortDownload(true);
        }
        progress.show("downloading: " + std::to_string(recordCount()) + " records");
    }
    ecu.setDownloadRequested(false);
    if (o.abortBulk && !offline && !interrupted) {
        // Follow the running engine's new records until Ctrl-C.
        while (!session.WaitUntil([&](const EventCounts&) { return d.IsOnline() == 0; }, 200)) {
            if (Interrupted()) {
                break;
            }
            progress.show("recording: " + std::to_string(recordCount()) + " records (Ctrl-C ends)");
        }
        offline = d.IsOnline() == 0;
    }
    progress.finish();

    // How the bulk phase ended, as the record thread saw it; none when the
    // unit went away before the thread finished the phase.
    CEcuDownloadResult result = ecu.downloadResult();
    if (result.sequence == resultsBefore) {
        result = {};
        result.endedBy = offline ? CEcuDownloadResult::End::Offline : CEcuDownloadResult::End::None;
    }
    // Only the ECU's own "nothing more" makes a complete log.
    const bool complete = result.complete && !interrupted && !offline;

    CDeviceECUTracker& tracker = ecu.tracker();
    CMLockGuard lock(tracker.getLock());
    const int32_t count = tracker.GetCount();
    if (count == 0) {
        return Fail(io,
                    kExitFailed,
                    // Going offline also clears the record list.
                    offline ? "the unit went offline; no records were kept"
                            : "no records were received");
    }
    std::string error;
    if (tracker.save(o.output, &error) != 1) {
        return Fail(io, kExitFile, "cannot write " + o.output + ": " + error);
    }
    if (o.json) {
        JsonWriter w(true);
        w.beginObject()
            .field("file", o.output)
            .field("records", count)
            .field("records_per_second", tracker.getRecordsPerSecond())
            .field("complete", complete)
            .field("ended_by", ToString(result.endedBy))
            .field("failed_reads", result.failedReads)
            .field("passes", result.passes)
            .endObject();
        PrintDocument(io, w.str(), true);
    } else {
        io.out << "saved " << count << " records to " << o.output
               << (complete || o.abortBulk ? "" : " (incomplete)") << "\n";
    }
    if (offline) {
        return Fail(io,
                    kExitFailed,
                    "the unit went offline during the download; the records received were saved");
    }
    if (interrupted) {
        return Fail(io, kExitInterrupted, "interrupted; the records received were saved");
    }
    if (!complete && !o.abortBulk) {
        // A partial log never passes for a complete one.
        return Fail(
            io, kExitFailed, IncompleteReason(result) + "; the records received were saved");
    }
    return kExitOk;
}

int RunLogInfo(const CliOptions& o, CliIo& io) {
    const std::string& path = o.operands[0];
    LogInfo info;
    std::string error;
    if (ReadLogInfo(path, info, error) != 1) {
        return Fail(io, kExitFile, error);
    }
    PrintDocument(
        io, o.json ? FormatLogInfoJson(path, info, true) : FormatLogInfoText(path, info), o.json);
    return kExitOk;
}

// --- firmware ---------------------------------------------------------------------

// The name of a parameter in turbexctl's words: its name, or the file's key
// for the three settings without a text id.
std::string DifferenceName(const CParameterDifference& d) {
    if (d.textId != 0) {
        return std::string(ParameterName(d.textId));
    }
    if (d.key == CEngineParameterFile::kKeyTemperatureUnit) {
        return std::string(ExtraSettingName(ExtraSetting::TemperatureUnit));
    }
    if (d.key == CEngineParameterFile::kKeyPumpMode) {
        return std::string(ExtraSettingName(ExtraSetting::PumpMode));
    }
    return std::string(ExtraSettingName(ExtraSetting::TelemetryProtocol));
}

CEngineParameterFile::Texts CurrentTexts(CliSession& session) {
    return session.ecu().withParameters(
        [](CEcuParameters& p) { return CEngineParameterFile::Collect(p); });
}

// Waits for the application to answer again after a transfer and for a
// parameter block read after that.
bool WaitApplicationParameters(CliSession& session, int32_t timeoutMs) {
    CDeviceBase& d = session.device();
    if (!session.WaitUntil(
            [&](const EventCounts&) {
                return d.IsLinkUp() != 0 && d.IsOnline() != 0 && d.IsBootLoader() == 0 &&
                       d.GetUnitType() == CDeviceECU::kUnitType;
            },
            timeoutMs)) {
        return false;
    }
    const uint64_t before = session.Counts().count(CDeviceECU::kParameters);
    session.ecu().requestReread();
    return WaitReadBack(session, before, timeoutMs);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Runs the transfer of image and waits for its end; the result, or the exit
// code of an interruption.
struct TransferOutcome {
    bool started = false;
    bool ok = false;
    std::optional<int> interrupted;
};

TransferOutcome
Transfer(CliSession& session, const std::vector<uint8_t>& image, const CliOptions& o, CliIo& io) {
    TransferOutcome out;
    CDeviceBase& d = session.device();
    const EventCounts before = session.Counts();
    if (d.RequestTransfer(image.data(), static_cast<uint32_t>(image.size())) != 1) {
        return out;
    }
    if (!session.WaitUntil(
            [&](const EventCounts& c) {
                return c.count(CDeviceBase::kEventTransferBegin) >
                       before.count(CDeviceBase::kEventTransferBegin);
            },
            o.timeoutMs)) {
        if (Interrupted()) {
            out.interrupted = Fail(io, kExitInterrupted, "interrupted before the transfer started");
        }
        return out;
    }
    out.started = true;
    ProgressLine progress(io.err, io.errIsTerminal);
    progress.show(ProgressBar(0));
    bool warned = false;
    const uint64_t endsBefore = before.count(CDeviceBase::kEventTransferEnd);
    for (;;) {
        EventCounts now;
        const bool ended = session.WaitUntil(
            [&](const EventCounts& c) {
                now = c;
                return c.count(CDeviceBase::kEventTransferEnd) > endsBefore;
            },
            200);
        if (ended) {
            break;
        }
        if (Interrupted()) {
            ClearInterrupt();
            if (warned) {
                progress.finish();
                out.interrupted =
                    Fail(io,
                         kExitInterrupted,
                         "transfer abandoned; the unit stays in its boot loader, and the same "
                         "command finishes the update");
                return out;
            }
            warned = true;
            progress.finish();
            io.err << "turbexctl: a firmware transfer is under way; press Ctrl-C again to abandon "
                      "it\n";
        }
        if (now.count(CDeviceBase::kEventTransferProgress) >
            before.count(CDeviceBase::kEventTransferProgress)) {
            progress.show(ProgressBar(now.value(CDeviceBase::kEventTransferProgress)));
        }
    }
    out.ok = session.Counts().value(CDeviceBase::kEventTransferEnd) != 0;
    if (out.ok) {
        progress.show(ProgressBar(100));
    }
    progress.finish();
    return out;
}

int RunFlash(const CliOptions& o, CliIo& io) {
    const std::string& path = o.operands[0];
    std::vector<uint8_t> image;
    std::string error;
    switch (platform::ReadWholeFile(path, image, 16u * 1024u * 1024u, &error)) {
    case platform::FileReadStatus::Ok:
        break;
    case platform::FileReadStatus::NotFound:
        return Fail(io, kExitFile, "no such file: " + path);
    case platform::FileReadStatus::Failed:
        return Fail(io, kExitFile, "cannot read " + path + ": " + error);
    }
    if (image.empty()) {
        return Fail(io, kExitFile, path + " is empty");
    }
    CliSession session(SessionOptions(o, io));
    session.Start();
    const CliSession::Ready online = session.WaitOnline(o.timeoutMs);
    if (online != CliSession::Ready::Ok) {
        return NotReady(io, session, online, o);
    }
    CDeviceBase& d = session.device();
    const CUnitIdentity unit = CUnitIdentity::Of(d);
    CUnitArchive archive(CUnitArchive::DefaultRoot());
    const bool keep = !o.noBackup;

    CUpdateRecord record;
    record.unit = unit.Key();
    record.versionBefore = unit.VersionText();
    record.image = BaseName(path);
    record.imageSize = image.size();
    record.imageSha256 = Sha256::Hex(Sha256::Of(image));

    // The parameters before: a backup now, or the one taken before an update
    // that left the unit waiting in its boot loader.
    if (keep && !unit.bootLoader && d.GetUnitType() == CDeviceECU::kUnitType) {
        const CliSession::Ready ready = session.WaitReady(o.timeoutMs);
        if (ready != CliSession::Ready::Ok) {
            return NotReady(io, session, ready, o);
        }
        record.backup = archive.SaveBackup(unit, CurrentTexts(session), std::time(nullptr), &error);
        if (record.backup.empty()) {
            return Fail(io,
                        kExitFile,
                        "cannot save the parameter backup (" + error +
                            "); nothing was sent. --no-backup updates without one");
        }
        io.err << "turbexctl: parameters backed up to " << record.backup << "\n";
    } else if (keep && unit.bootLoader) {
        if (const auto pending = archive.GetPending(unit.Key())) {
            record.backup = pending->backup;
            record.versionBefore = pending->versionBefore;
            io.err << "turbexctl: the unit waits in its boot loader: the update begun at "
                   << pending->started << " did not finish; finishing it now"
                   << (record.backup.empty() ? "" : ", then comparing with " + record.backup)
                   << "\n";
        } else {
            io.err
                << "turbexctl: the unit is in its boot loader: it has no parameters to back up\n";
        }
    }
    if (keep) {
        const CUnitArchive::Pending pending{
            record.backup, record.versionBefore, CUnitArchive::UtcTime(std::time(nullptr))};
        if (!archive.SetPending(unit.Key(), pending, &error)) {
            return Fail(io,
                        kExitFile,
                        "cannot write to the unit archive (" + error + "); nothing was sent");
        }
    }

    const TransferOutcome t = Transfer(session, image, o, io);
    record.time = CUnitArchive::UtcTime(std::time(nullptr));
    record.protocol = d.IsBlockTransfer() != 0 ? "block" : "classic";
    record.result = t.ok ? "success" : "failed";
    const auto writeHistory = [&] {
        if (keep && !archive.AppendHistory(record, &error)) {
            io.err << "turbexctl: the update history was not written: " << error << "\n";
        }
    };
    if (t.interrupted) {
        writeHistory();
        return *t.interrupted;
    }
    if (!t.started) {
        return Fail(io, kExitFailed, "the device refused the transfer");
    }
    if (!t.ok) {
        writeHistory();
        // A unit that lost its application on the way waits in its boot loader.
        (void)session.WaitUntil([&](const EventCounts&) { return d.IsOnline() != 0; }, 1500);
        const bool waiting = d.IsOnline() != 0 && d.IsBootLoader() != 0;
        return Fail(
            io,
            kExitFailed,
            std::string("firmware update failed") +
                (waiting
                     ? "; the unit waits in its boot loader: run the same command again to finish "
                       "the update"
                     : "; if the unit now waits in its boot loader, the same command finishes "
                       "the update"));
    }

    std::vector<CParameterDifference> differences;
    std::vector<CParameterDifference> remaining;
    bool compared = false;
    int code = kExitOk;
    std::string problem;
    if (keep && !record.backup.empty()) {
        CEngineParameterFile::Texts backup;
        if (!CUnitArchive::ReadBackup(record.backup, backup, &error)) {
            problem = "the backup cannot be read (" + error + "): parameters not compared";
            code = kExitFile;
        } else if (!WaitApplicationParameters(session, o.timeoutMs)) {
            problem = "the new firmware sent no parameters within " + Seconds(o.timeoutMs) +
                      ": parameters not compared; restore them with turbexctl params load " +
                      record.backup;
            code = kExitFailed;
        } else {
            compared = true;
            record.versionAfter = CUnitIdentity::Of(d).VersionText();
            differences = DiffParameterTexts(backup, CurrentTexts(session));
            record.restored = differences.empty() ? "not needed" : "no";
            if (!differences.empty() && o.restore) {
                CEngineParameterFile::Settings settings;
                (void)CEngineParameterFile::readFile(record.backup, settings, &error);
                session.ecu().withParameters([&](CEcuParameters& p) {
                    CEngineParameterFile::Apply(settings, p);
                    return 0;
                });
                const uint64_t before = session.Counts().count(CDeviceECU::kParameters);
                if (session.ecu().commit() == 1 && WaitReadBack(session, before, o.timeoutMs)) {
                    remaining = DiffParameterTexts(backup, CurrentTexts(session));
                } else {
                    remaining = differences;
                }
                record.restored = remaining.empty() ? "yes" : "failed";
                if (!remaining.empty()) {
                    problem = "the ECU did not take back every parameter of " + record.backup;
                    code = kExitFailed;
                }
            }
        }
    } else if (WaitApplicationParameters(session, o.timeoutMs)) {
        record.versionAfter = CUnitIdentity::Of(d).VersionText();
    }
    if (keep) {
        (void)archive.ClearPending(unit.Key(), nullptr);
    }
    writeHistory();

    if (o.json) {
        JsonWriter w(true);
        w.beginObject()
            .field("file", path)
            .field("bytes", image.size())
            .field("sha256", record.imageSha256)
            .field("success", true)
            .field("unit", record.unit)
            .field("protocol", record.protocol)
            .field("version_before", record.versionBefore)
            .field("version_after", record.versionAfter);
        w.key("backup");
        record.backup.empty() ? w.null() : w.value(record.backup);
        w.field("compared", compared);
        w.key("differences").beginArray();
        for (const CParameterDifference& diff : differences) {
            w.beginObject()
                .field("text_id", diff.textId)
                .field("name", DifferenceName(diff))
                .field("key", diff.key)
                .field("before", diff.before)
                .field("after", diff.after)
                .endObject();
        }
        w.endArray().field("restored", record.restored).endObject();
        PrintDocument(io, w.str(), true);
    } else {
        io.out << "firmware updated: " << image.size() << " bytes from " << path << "\n";
        if (compared && differences.empty()) {
            io.out << "parameters: unchanged (as backed up in " << record.backup << ")\n";
        } else if (compared) {
            io.out << "parameters that differ from the backup " << record.backup << ":\n";
            for (const CParameterDifference& diff : differences) {
                io.out << StringPrintf("  %2d %-30s %s -> %s\n",
                                       diff.textId,
                                       DifferenceName(diff).c_str(),
                                       diff.before.c_str(),
                                       diff.after.c_str());
            }
            if (o.restore) {
                io.out << (remaining.empty()
                               ? "restored: the ECU holds the backed-up values again\n"
                               : "not every parameter was restored\n");
            } else {
                io.out << "restore them with: turbexctl params load " << record.backup << "\n";
            }
        }
    }
    if (!problem.empty()) {
        return Fail(io, code, problem);
    }
    return kExitOk;
}

// --- history ------------------------------------------------------------------

int RunHistory(const CliOptions& o, CliIo& io) {
    CUnitArchive archive(CUnitArchive::DefaultRoot());
    std::vector<std::string> units = archive.Units();
    if (!o.operands.empty()) {
        if (std::find(units.begin(), units.end(), o.operands[0]) == units.end()) {
            return Fail(io, kExitFile, "no unit " + o.operands[0] + " in " + archive.Root());
        }
        units = {o.operands[0]};
    }
    if (o.json) {
        JsonWriter w(true);
        w.beginObject().field("archive", archive.Root()).key("updates").beginArray();
        for (const std::string& u : units) {
            for (const CUpdateRecord& r : archive.ReadHistory(u)) {
                w.beginObject()
                    .field("time", r.time)
                    .field("unit", r.unit)
                    .field("version_before", r.versionBefore)
                    .field("version_after", r.versionAfter)
                    .field("image", r.image)
                    .field("size", r.imageSize)
                    .field("sha256", r.imageSha256)
                    .field("protocol", r.protocol)
                    .field("result", r.result)
                    .field("backup", r.backup)
                    .field("restored", r.restored)
                    .endObject();
            }
        }
        w.endArray().endObject();
        PrintDocument(io, w.str(), true);
        return kExitOk;
    }
    if (units.empty()) {
        io.out << "no firmware updates recorded in " << archive.Root() << "\n";
        return kExitOk;
    }
    for (const std::string& u : units) {
        io.out << u << " (" << archive.UnitFolder(u) << ")\n";
        for (const CUpdateRecord& r : archive.ReadHistory(u)) {
            io.out << "  " << r.time << "  " << r.result << "  " << r.versionBefore << " -> "
                   << (r.versionAfter.empty() ? "?" : r.versionAfter) << "  " << r.image << " ("
                   << r.imageSize << " bytes, " << r.protocol << ", sha256 " << r.imageSha256
                   << ")";
            if (!r.backup.empty()) {
                io.out << "  backup " << r.backup;
            }
            if (!r.restored.empty()) {
                io.out << "  restored: " << r.restored;
            }
            io.out << "\n";
        }
    }
    return kExitOk;
}

int RunCommand(const CliOptions& o, CliIo& io) {
    EcuCommandCall call;
    std::string error;
    const std::vector<std::string> arguments(o.operands.begin() + 1, o.operands.end());
    if (!ResolveEcuCommand(o.operands[0], arguments, call, error)) {
        return Fail(io, kExitUsage, error);
    }
    CliSession session(SessionOptions(o, io));
    if (const auto notReady = StartAndWaitReady(session, o, io)) {
        return *notReady;
    }
    CDeviceECU& ecu = session.ecu();
    int sent = 0;
    switch (call.spec->form) {
    case EcuCommandSpec::Form::Short:
        sent = ecu.sendCommand(call.spec->code, 0);
        break;
    case EcuCommandSpec::Form::ExtensionValve:
        sent = ecu.sendCommand(call.spec->code, call.argument, 0, 0, 0);
        break;
    case EcuCommandSpec::Form::Calibration:
        sent = ecu.calibrateTemperature(static_cast<uint8_t>(call.argument));
        break;
    }
    if (sent != 1) {
        return Fail(io, kExitFailed, std::string("the ECU did not take ") + call.spec->name);
    }
    if (o.json) {
        JsonWriter w(true);
        w.beginObject().field("command", call.spec->name).field("code", call.spec->code);
        if (call.spec->form != EcuCommandSpec::Form::Short) {
            w.field("argument", call.argument);
        }
        w.field("sent", true).endObject();
        PrintDocument(io, w.str(), true);
    } else {
        io.out << "sent " << call.spec->name << "\n";
    }
    return kExitOk;
}

// A unit command of a parsed command line.
int RunUnitCommand(const CliOptions& o, CliIo& io) {
    if (o.command == "status") {
        return RunStatus(o, io);
    }
    if (o.command == "watch") {
        return RunWatch(o, io);
    }
    if (o.command == "params") {
        if (o.subcommand == "save") {
            return RunParamsSave(o, io);
        }
        if (o.subcommand == "load") {
            return RunParamsLoad(o, io);
        }
        return RunParams(o, io);
    }
    if (o.command == "set") {
        return RunSet(o, io);
    }
    if (o.command == "log") {
        return o.subcommand == "info" ? RunLogInfo(o, io) : RunLogDownload(o, io);
    }
    if (o.command == "flash") {
        return RunFlash(o, io);
    }
    if (o.command == "history") {
        return RunHistory(o, io);
    }
    return RunCommand(o, io);
}

void WriteDebugLine(const char* line, void* stream) {
    // One call a line: stdio keeps lines of several threads apart.
    (void)std::fprintf(static_cast<std::FILE*>(stream), "debug: %s\n", line);
}

// The debug channel goes to a stream for the length of one command.
class DebugSinkScope {
public:
    explicit DebugSinkScope(std::FILE* stream) { SetDebugSink(&WriteDebugLine, stream); }
    ~DebugSinkScope() { SetDebugSink(nullptr, nullptr); }
    DebugSinkScope(const DebugSinkScope&) = delete;
    DebugSinkScope& operator=(const DebugSinkScope&) = delete;
};

} // namespace

std::string VersionLine() {
    return std::string("turbexctl (Turbex) ") + TurbexVersion() + "\n";
}

int RunCli(std::span<const std::string> args, CliIo& io) {
    CliOptions o;
    std::string error;
    if (!ParseArguments(args, o, error)) {
        io.err << "turbexctl: " << error << " (see turbexctl --help)\n";
        return kExitUsage;
    }
    if (o.version) {
        io.out << VersionLine();
        return kExitOk;
    }
    if (o.command.empty() || (o.command == "help" && o.operands.empty())) {
        io.out << ToolHelp();
        return kExitOk;
    }
    if (o.command == "help") {
        io.out << CommandHelp(o.operands[0]);
        return kExitOk;
    }
    if (o.help) {
        io.out << CommandHelp(o.command);
        return kExitOk;
    }
    std::optional<DebugSinkScope> traces;
    if (o.verbose && io.debug != nullptr) {
        traces.emplace(io.debug);
    }
    return RunUnitCommand(o, io);
}

} // namespace cli
