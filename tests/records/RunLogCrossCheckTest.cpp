// The simulated ECU's encoder against the tracker's decoder: two separate
// implementations of the record layout must agree on every field.
#include "records/CDeviceECUTracker.h"
#include "sim/SimRunLog.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

void ExpectRecord(const CDeviceECUTItem& got,
                  const sim::RunLogRecord& record,
                  const sim::RunLogSample& want) {
    EXPECT_EQ(got.counter, record.counter);
    EXPECT_EQ(got.subtype, record.group);
    EXPECT_EQ(got.engine_state, want.engine_state);
    EXPECT_EQ(got.temperature, want.temperature);
    EXPECT_EQ(got.engine_rpm, want.engine_rpm);
    EXPECT_EQ(got.pump_vol, want.pump_vol);
    EXPECT_EQ(got.radio_vol, want.radio_vol);
    EXPECT_EQ(got.engine_vol, want.engine_vol);
    EXPECT_EQ(got.pressure, want.pressure);
    EXPECT_EQ(got.rc_input1, want.rc_input1);
    EXPECT_EQ(got.rc_input2, want.rc_input2);
    EXPECT_EQ(got.speed, want.speed);
    EXPECT_EQ(got.pump_st, want.pump_st);
    EXPECT_EQ(got.pump_rpm, want.pump_rpm);
    EXPECT_EQ(got.error_coe, want.error_coe);
    EXPECT_EQ(got.current, want.current);
    EXPECT_EQ(got.tcu_temp, want.tcu_temp);
    EXPECT_EQ(got.ecu_temp, want.ecu_temp);
    EXPECT_EQ(got.pump_temp, want.pump_temp);
    EXPECT_EQ(got.thrust, want.thrust);
    EXPECT_EQ(got.starter_vol, want.starter_vol);
    EXPECT_EQ(got.starter_rpm, want.starter_rpm);
    EXPECT_EQ(got.fuel_temp, want.fuel_temp);
    EXPECT_EQ(got.fuel_press, want.fuel_press);
    EXPECT_EQ(got.combustion_press, want.combustion_press);
}

void ExpectSameLog(const CDeviceECUTracker& tracker, const std::vector<sim::RunLogRecord>& stored) {
    ASSERT_EQ(tracker.GetCount(), static_cast<int32_t>(stored.size()));
    size_t i = 0;
    for (CMNode* n = tracker.GetTail(); n != nullptr; n = n->prev, ++i) {
        SCOPED_TRACE(i);
        ExpectRecord(
            *static_cast<CDeviceECUTItem*>(n), stored[i], sim::SimRunLog::Completed(stored, i));
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

struct LogSetup {
    uint8_t format;
    bool doubleRange;
    bool voltageStep50;
};

class RunLogCrossCheck : public ::testing::TestWithParam<LogSetup> {};

} // namespace

// The download as the record thread runs it: set-up writes, bulk reads until
// more than ten come back empty, the closing write, then follow reads.
TEST_P(RunLogCrossCheck, DownloadYieldsExactlyTheStoredRecords) {
    const LogSetup setup = GetParam();
    sim::SimRunLog ecu(setup.format);
    ecu.SetPumpDoubleRange(setup.doubleRange);
    ecu.SetVoltageStep50(setup.voltageStep50);
    ecu.Prefill(1001, 7); // odd: the last bulk read carries a single record
    ecu.SetRateCode(3);

    CDeviceECUTracker tracker;
    tracker.setRecordsPerSecond(CDeviceECUTracker::RecordsPerSecondFromCode(ecu.RateCode()));
    tracker.setPumpVolMultiplier(setup.doubleRange ? 10 : 5);
    const uint8_t format = CDeviceECUTracker::FormatFromCode(ecu.FormatAndRateBits() & 3u);
    ASSERT_EQ(format, setup.format);

    const std::vector<std::vector<uint8_t>> setupWrites = {
        {0xE1, 0x01, 0x00}, {0xD2, 0x00, 0x00}, {0x7C}, {0xC3, 0x01}};
    for (const auto& write : setupWrites) {
        ASSERT_TRUE(ecu.Write13(write));
    }
    int empty = 0;
    int reads = 0;
    int paired = 0;
    while (empty <= 10 && reads < 10000) {
        std::array<uint8_t, 32> read{};
        ASSERT_TRUE(ecu.Read13(32, read.data()));
        ++reads;
        paired += read[format == 1 ? 14 : 15] == 0xA3 ? 1 : 0;
        empty = tracker.parseBulkRead(format, read) != 0 ? 0 : empty + 1;
    }
    EXPECT_EQ(paired, 500);
    ASSERT_TRUE(ecu.Write13(std::vector<uint8_t>{0xC3, 0x00}));
    ExpectSameLog(tracker, ecu.Records());

    // The engine runs on: each new record comes in a follow read.
    sim::RunLogSample sample;
    sample.engine_state = 5;
    sample.engine_rpm = 91234;
    sample.temperature = 702;
    sample.radio_vol = 512;
    sample.current = 321;
    sample.fuel_press = 456;
    sample.tcu_temp = -60;
    for (int i = 0; i < 7; ++i) {
        std::array<uint8_t, 15> read{};
        ASSERT_TRUE(ecu.Read13(15, read.data()));
        EXPECT_EQ(tracker.parseFollowRead(format, read), 0); // nothing new yet
        sample.engine_rpm += 1000;
        ecu.Append(sample);
        ASSERT_TRUE(ecu.Read13(15, read.data()));
        EXPECT_EQ(tracker.parseFollowRead(format, read), 1);
    }
    ExpectSameLog(tracker, ecu.Records());
}

INSTANTIATE_TEST_SUITE_P(Formats,
                         RunLogCrossCheck,
                         ::testing::Values(LogSetup{1, false, false},
                                           LogSetup{1, true, false},
                                           LogSetup{2, false, false},
                                           LogSetup{2, false, true}),
                         [](const auto& param) {
                             const LogSetup& s = param.param;
                             return "Format" + std::to_string(s.format) +
                                    (s.doubleRange ? "DoubleRange" : "") +
                                    (s.voltageStep50 ? "VoltageStep50" : "");
                         });
