// The run-log download when reads fail in the middle of the bulk phase: a
// failed read is never taken for the ECU's "nothing more", records the ECU
// handed out but the link lost are read again, and the result says how the
// download ended.
#include "EcuRig.h"

#include "support/RunLogCompare.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

using End = CEcuDownloadResult::End;

sim::SimEcuConfig Item() {
    sim::SimEcuConfig c;
    c.format.generation = sim::EcuGeneration::Item;
    return c;
}

// The socket link's reply window in these tests: narrow, so that a burst of
// unanswered reads costs little time.
constexpr int32_t kWindowMs = 20;

bool WaitResult(EcuRig& rig, uint32_t sequence) {
    return WaitFor([&] { return rig.ecu().downloadResult().sequence >= sequence; }, 60000);
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The list equals what the ECU stored, and saves byte for byte as the
// simulator's own rendering of engine_log.csv.
void ExpectTheStoredLog(EcuRig& rig, const std::string& name) {
    const auto stored = rig.OnSim([&] { return rig.system.runLog.Records(); });
    const uint32_t rate = rig.OnSim([&] { return rig.system.runLog.RecordsPerSecond(); });
    const std::string path =
        "/tmp/turbex_download_" + std::to_string(getpid()) + "_" + name + ".csv";
    CMLockGuard lock(rig.ecu().tracker().getLock());
    ExpectSameLog(rig.ecu().tracker(), stored);
    ASSERT_EQ(rig.ecu().tracker().save(path), 1);
    const std::string got = ReadFile(path);
    std::remove(path.c_str());
    EXPECT_TRUE(got == sim::SimRunLog::EngineLogCsv(stored, rate))
        << "the saved CSV differs from the simulated log";
}

struct Burst {
    const char* name;
    EcuRig::Link link;
    uint32_t reads; // unanswered reads, or
    uint32_t ms;    // unanswered for this long
};

// Names the case in messages (gtest would print its bytes).
[[maybe_unused]] void PrintTo(const Burst& b, std::ostream* os) {
    *os << b.name;
}

std::string BurstName(const ::testing::TestParamInfo<Burst>& info) {
    return info.param.name;
}

} // namespace

class CDeviceECUDownloadBurst : public ::testing::TestWithParam<Burst> {};

// More than ten reads in a row unanswered halfway through the log: the
// download waits them out and ends only on the ECU's own empty reads.
TEST_P(CDeviceECUDownloadBurst, EveryRecordArrives) {
    const Burst& burst = GetParam();
    EcuRig rig(Item(), 2, burst.link, kWindowMs);
    rig.system.Prefill(1200, 7);
    rig.OnSim([&] {
        rig.system.runLog.StopAnswering(300, burst.reads, burst.ms);
        return 0;
    });
    ASSERT_TRUE(WaitResult(rig, 1));
    const CEcuDownloadResult r = rig.ecu().downloadResult();
    const uint32_t unanswered = rig.OnSim([&] { return rig.system.runLog.UnansweredReads(); });
    EXPECT_GT(unanswered, 10u);
    EXPECT_EQ(r.endedBy, End::EmptyReads);
    EXPECT_TRUE(r.complete);
    EXPECT_GE(r.failedReads, static_cast<int32_t>(unanswered));
    EXPECT_GE(r.passes, 2); // a failed read might have lost records: read again
    EXPECT_EQ(r.records, 1200);
    ExpectTheStoredLog(rig, burst.name);
}

INSTANTIATE_TEST_SUITE_P(BothLinks,
                         CDeviceECUDownloadBurst,
                         ::testing::Values(Burst{"socket_15_reads", EcuRig::Link::Socket, 15, 0},
                                           Burst{"socket_400_ms", EcuRig::Link::Socket, 0, 400},
                                           Burst{"hid_15_reads", EcuRig::Link::Hid, 15, 0},
                                           Burst{"hid_400_ms", EcuRig::Link::Hid, 0, 400}),
                         BurstName);

// The bridge drops replies the ECU already gave, so their records are gone
// from that pass: the log is read again and arrives whole.
TEST(CDeviceECUDownloadLostReplies, TheLogIsReadAgainAndArrivesWhole) {
    EcuRig rig(Item(), 2, EcuRig::Link::Socket, kWindowMs);
    rig.system.Prefill(3000, 11);
    ASSERT_TRUE(WaitFor(
        [&] { return rig.OnSim([&] { return rig.system.ecu.ReadCount(13); }) >= 200; }, 30000));
    rig.bridge.faults.silent = 12;
    ASSERT_TRUE(WaitResult(rig, 1));
    const CEcuDownloadResult r = rig.ecu().downloadResult();
    EXPECT_EQ(rig.bridge.faults.silent.load(), 0);
    EXPECT_TRUE(r.complete);
    EXPECT_GT(r.failedReads, 0);
    EXPECT_GE(r.passes, 2);
    EXPECT_EQ(r.records, 3000);
    ExpectTheStoredLog(rig, "lost_replies");
}

// Going offline ends the download as such; the ECU that comes back is
// downloaded afresh from the start of its log, not from where the first
// download stopped.
TEST(CDeviceECUDownloadOffline, EndsTheDownloadAndTheReturningEcuIsReadAfresh) {
    EcuRig rig(Item(), 2, EcuRig::Link::Socket, kWindowMs);
    rig.system.Prefill(3000, 13);
    ASSERT_TRUE(WaitFor(
        [&] { return rig.OnSim([&] { return rig.system.ecu.ReadCount(13); }) >= 200; }, 30000));
    rig.bridge.DropConnection();
    ASSERT_TRUE(WaitResult(rig, 1));
    const CEcuDownloadResult first = rig.ecu().downloadResult();
    EXPECT_EQ(first.endedBy, End::Offline);
    EXPECT_FALSE(first.complete);

    ASSERT_TRUE(WaitResult(rig, 2));
    const CEcuDownloadResult second = rig.ecu().downloadResult();
    EXPECT_TRUE(second.complete);
    EXPECT_EQ(second.records, 3000);
    ExpectTheStoredLog(rig, "offline");
}

// After a firmware transfer the ECU is downloaded again, from an empty list:
// its log grew meanwhile, and records already listed would pass for the end.
TEST(CDeviceECUDownloadAgain, AfterATransferTheGrownLogIsReadWhole) {
    EcuRig rig(Item(), 2, EcuRig::Link::Socket, kWindowMs);
    rig.system.Prefill(600, 21);
    ASSERT_TRUE(WaitResult(rig, 1));
    EXPECT_TRUE(rig.ecu().downloadResult().complete);
    rig.OnSim([&] {
        sim::RunLogSample s;
        s.engine_rpm = 33000;
        for (int i = 0; i < 60; ++i) {
            rig.system.runLog.Append(s);
        }
        return 0;
    });
    const std::vector<uint8_t> image(700, 0x5A);
    ASSERT_EQ(rig.device->RequestTransfer(image.data(), static_cast<uint32_t>(image.size())), 1);
    ASSERT_TRUE(rig.WaitNotifications(CDeviceBase::kEventTransferEnd, 1, 30000));
    ASSERT_TRUE(WaitResult(rig, 2));
    const CEcuDownloadResult r = rig.ecu().downloadResult();
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.records, 660);
    ExpectTheStoredLog(rig, "after_transfer");
}
