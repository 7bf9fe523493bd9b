#include "sim/SimRunLog.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using sim::RunLogSample;
using sim::SimRunLog;

const std::vector<std::vector<uint8_t>> kSetup = {
    {0xE1, 0x01, 0x00}, {0xD2, 0x00, 0x00}, {0x7C}, {0xC3, 0x01}};

void OpenBulk(SimRunLog& log) {
    for (const auto& write : kSetup) {
        ASSERT_TRUE(log.Write13(write));
    }
    ASSERT_EQ(log.GetPhase(), SimRunLog::Phase::Bulk);
}

std::array<uint8_t, 32> Read(SimRunLog& log, uint8_t length = 32) {
    std::array<uint8_t, 32> out{};
    EXPECT_TRUE(log.Read13(length, out.data()));
    return out;
}

bool AllErased(const std::array<uint8_t, 32>& read, size_t length = 32) {
    for (size_t i = 0; i < length; ++i) {
        if (read[i] != 0xFF) {
            return false;
        }
    }
    return true;
}

RunLogSample Rpm(int32_t rpm) {
    RunLogSample s;
    s.engine_rpm = rpm;
    return s;
}

} // namespace

// The same hand-worked bytes as the tool's decoder test, from engineering
// values: the two sides agree on the layout without sharing code.
TEST(SimRunLog, EncodesFormat1Record) {
    SimRunLog log(1);
    log.SetNextCounter(5);
    RunLogSample s;
    s.engine_state = 5;
    s.temperature = 600;
    s.engine_rpm = 50000;
    s.rc_input2 = 2000;
    s.pump_vol = 1000;
    s.radio_vol = 500;
    s.engine_vol = 1200;
    s.pressure = 100800;
    s.rc_input1 = 1500;
    s.speed = 200;
    const sim::RunLogRecord record = log.Append(s);
    const std::array<uint8_t, 14> expected = {
        0x05, 0x00, 0xA0, 0xF0, 0xD0, 0x07, 0x40, 0x46, 0x46, 0x86, 0x07, 0x3F, 0x4B, 0x32};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), record.bytes.begin()));
    EXPECT_EQ(record.stored, s); // every value lies on its field's step
}

TEST(SimRunLog, EncodesFormat2GroupOneRecord) {
    SimRunLog log(2);
    log.SetVoltageStep50(true);
    log.SetNextCounter(0x123456);
    RunLogSample s;
    s.engine_state = 5;
    s.temperature = 640;
    s.engine_rpm = 80000;
    s.pump_vol = 1500;
    s.error_coe = 0x25;
    s.current = 123;
    s.tcu_temp = -60; // not measured
    s.ecu_temp = 30;
    s.pump_temp = 194;
    s.thrust = 1500;
    s.radio_vol = 500; // group 0: not in this record
    const sim::RunLogRecord record = log.Append(s);
    EXPECT_EQ(record.group, 1);
    const std::array<uint8_t, 15> expected = {
        0x56, 0x34, 0x12, 0x52, 0x18, 0x81, 0x8C, 0x25, 0x4A, 0x60, 0x0F, 0x40, 0xEB, 0x9F, 0xBB};
    EXPECT_EQ(record.bytes, expected);
    EXPECT_EQ(record.stored.tcu_temp, 0);
    EXPECT_EQ(record.stored.radio_vol, 0);
    EXPECT_EQ(record.stored.thrust, 1500);
}

TEST(SimRunLog, RoundsAndClampsToTheFieldRange) {
    SimRunLog log(2);
    RunLogSample s;
    s.temperature = 2000; // 8 bits of 5 from -60: at most 1215
    s.engine_rpm = 12376; // nearest step of 50
    s.pump_vol = -300;    // no negative voltages
    s.current = 5000;     // 10 bits
    const sim::RunLogRecord record = log.Append(s);
    EXPECT_EQ(record.stored.temperature, 1215);
    EXPECT_EQ(record.stored.engine_rpm, 12400);
    EXPECT_EQ(record.stored.pump_vol, 0);
    EXPECT_EQ(record.stored.current, 1023);
}

TEST(SimRunLog, Format2CyclesGroupsStartingWithGroupOne) {
    SimRunLog log(2);
    std::vector<uint8_t> groups;
    for (int i = 0; i < 7; ++i) {
        groups.push_back(log.Append(Rpm(i * 1000)).group);
    }
    EXPECT_EQ(groups, (std::vector<uint8_t>{1, 2, 0, 1, 2, 0, 1}));
    const auto records = log.Records();
    EXPECT_EQ(records.front().counter, 0u);
    EXPECT_EQ(records.back().counter, 6u);
}

TEST(SimRunLog, BulkReadsPairRecordsThenComeBackEmpty) {
    for (uint8_t format : {1, 2}) {
        SimRunLog log(format);
        for (int i = 0; i < 3; ++i) {
            log.Append(Rpm(1000 * i));
        }
        const auto records = log.Records();
        const size_t size = format == 1 ? 14 : 15;
        EXPECT_TRUE(AllErased(Read(log))); // no set-up yet
        OpenBulk(log);

        const auto first = Read(log);
        EXPECT_TRUE(std::equal(first.begin(), first.begin() + size, records[0].bytes.begin()));
        EXPECT_EQ(first[size], 0xA3);
        EXPECT_TRUE(std::equal(
            first.begin() + size + 1, first.begin() + 2 * size + 1, records[1].bytes.begin()));
        const auto second = Read(log);
        EXPECT_TRUE(std::equal(second.begin(), second.begin() + size, records[2].bytes.begin()));
        EXPECT_EQ(second[size], 0xFF); // a single record: no marker
        EXPECT_TRUE(AllErased(Read(log)));
    }
}

TEST(SimRunLog, SetUpMustComeInOrderAndCanBeRefused) {
    SimRunLog log(2);
    log.Append(Rpm(1000));
    ASSERT_TRUE(log.Write13(kSetup[0]));
    ASSERT_TRUE(log.Write13(kSetup[2])); // 7C before D2
    ASSERT_TRUE(log.Write13(kSetup[1]));
    ASSERT_TRUE(log.Write13(kSetup[3]));
    EXPECT_EQ(log.GetPhase(), SimRunLog::Phase::Idle);
    EXPECT_FALSE(log.Write13(std::vector<uint8_t>{0xC3, 0x02}));
    EXPECT_EQ(log.Writes().size(), 5u);

    for (int step = 1; step <= 4; ++step) {
        SimRunLog refusing(2);
        refusing.RefuseSetupStep(step);
        bool allAcknowledged = true;
        for (const auto& write : kSetup) {
            allAcknowledged = refusing.Write13(write) && allAcknowledged;
        }
        EXPECT_FALSE(allAcknowledged) << step;
        EXPECT_EQ(refusing.GetPhase(), SimRunLog::Phase::Idle) << step;
    }
}

TEST(SimRunLog, FollowReadsDeliverNewRecordsOneByOne) {
    SimRunLog log(1);
    log.Append(Rpm(1000));
    OpenBulk(log);
    (void)Read(log);
    EXPECT_TRUE(AllErased(Read(log)));
    log.Append(Rpm(2000)); // stored after the last bulk read, before the close
    ASSERT_TRUE(log.Write13(std::vector<uint8_t>{0xC3, 0x00}));
    EXPECT_EQ(log.GetPhase(), SimRunLog::Phase::Follow);
    log.Append(Rpm(3000));

    const auto records = log.Records();
    for (size_t i = 1; i < 3; ++i) {
        const auto read = Read(log, 15);
        EXPECT_TRUE(std::equal(read.begin(), read.begin() + 14, records[i].bytes.begin())) << i;
        EXPECT_EQ(read[14], 0xFF);
    }
    EXPECT_TRUE(AllErased(Read(log, 15), 15));
}

TEST(SimRunLog, AbortedBulkSkipsTheRestOfTheHistory) {
    SimRunLog log(2);
    log.Prefill(50);
    OpenBulk(log);
    (void)Read(log);
    ASSERT_TRUE(log.Write13(std::vector<uint8_t>{0xC3, 0x00}));
    EXPECT_TRUE(AllErased(Read(log, 15), 15));
    const sim::RunLogRecord fresh = log.Append(Rpm(5000));
    const auto read = Read(log, 15);
    EXPECT_TRUE(std::equal(read.begin(), read.begin() + 15, fresh.bytes.begin()));
}

TEST(SimRunLog, ReportsStorageFormatAndRate) {
    SimRunLog log(2, 10000);
    EXPECT_EQ(log.RecordStorageCode(), 0);
    log.Append(Rpm(0));
    EXPECT_EQ(log.RecordStorageCode(), 1); // never 0 with a record stored
    log.Prefill(34);                       // 35 records of 15 bytes: 525 bytes
    EXPECT_EQ(log.RecordStorageCode(), 2);
    log.Prefill(9000);
    EXPECT_EQ(log.RecordStorageCode(), 255);

    log.SetRateCode(2);
    EXPECT_EQ(log.RecordsPerSecond(), 8u);
    EXPECT_EQ(log.FormatAndRateBits(), 2 | (2 << 2));
    log.SetFormat(1);
    EXPECT_EQ(log.Count(), 0u); // another format starts a new store
    EXPECT_EQ(log.FormatAndRateBits(), 1 | (2 << 2));
}

TEST(SimRunLog, FullStoreDropsTheOldestRecords) {
    SimRunLog log(1, 4);
    for (int i = 0; i < 6; ++i) {
        log.Append(Rpm(i * 100));
    }
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records.front().counter, 2u);
    EXPECT_EQ(records.back().counter, 5u);
}

TEST(SimRunLog, SamplesOncePerPeriod) {
    SimRunLog log(2);
    log.SetRateCode(1); // 4 per second: every 250 ms
    int stored = 0;
    for (uint32_t now = 1000; now < 3000; now += 20) {
        stored += log.SampleIfDue(now, Rpm(1000)) ? 1 : 0;
    }
    EXPECT_EQ(stored, 8);
}

TEST(SimRunLog, CounterSkipsTheEmptySlotValue) {
    SimRunLog log(1);
    log.SetNextCounter(0x1FFFFE);
    EXPECT_EQ(log.Append(Rpm(0)).counter, 0x1FFFFEu);
    EXPECT_EQ(log.Append(Rpm(0)).counter, 0u);
}

TEST(SimRunLog, CompletedTakesGroupsFromNearestOlderRecords) {
    SimRunLog log(2);
    RunLogSample s;
    s.current = 40;     // group 1 (record 0)
    s.fuel_press = 300; // group 2 (record 1)
    s.radio_vol = 500;  // group 0 (record 2)
    for (int i = 0; i < 4; ++i) {
        log.Append(s);
        s.current += 1;
        s.fuel_press += 1;
    }
    const auto records = log.Records();
    const RunLogSample third = SimRunLog::Completed(records, 2);
    EXPECT_EQ(third.current, 40);
    EXPECT_EQ(third.fuel_press, 301);
    EXPECT_EQ(third.radio_vol, 500);
    const RunLogSample fourth = SimRunLog::Completed(records, 3); // group 1 again
    EXPECT_EQ(fourth.current, 43);
    EXPECT_EQ(fourth.fuel_press, 301);
    EXPECT_EQ(SimRunLog::Completed(records, 0).fuel_press, 0);
}

// An ECU that does not answer hands out nothing meanwhile: after the silence
// the bulk phase goes on with the record that was next, by count or by time.
TEST(SimRunLog, UnansweredReadsLoseNoRecord) {
    for (const bool timed : {false, true}) {
        SCOPED_TRACE(timed ? "timed" : "counted");
        SimRunLog log(2);
        log.SetPairing(false);
        for (int i = 0; i < 4; ++i) {
            log.Append(Rpm(1000 * (i + 1)));
        }
        OpenBulk(log);
        log.StopAnswering(1, 3, timed ? 30 : 0);
        const auto first = Read(log);
        std::array<uint8_t, 32> out{};
        EXPECT_FALSE(log.Read13(32, out.data()));
        EXPECT_FALSE(log.Read13(32, out.data()));
        if (timed) {
            platform::SleepMs(35);
        } else {
            EXPECT_FALSE(log.Read13(32, out.data()));
        }
        const auto second = Read(log);
        EXPECT_EQ(log.UnansweredReads(), timed ? 2u : 3u);
        const auto records = log.Records();
        EXPECT_TRUE(
            std::equal(records[0].bytes.begin(), records[0].bytes.begin() + 15, first.begin()));
        EXPECT_TRUE(
            std::equal(records[1].bytes.begin(), records[1].bytes.begin() + 15, second.begin()));
    }
}
