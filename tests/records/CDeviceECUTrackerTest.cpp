#include "records/CDeviceECUTracker.h"

#include "RecordBits.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint32_t> Counters(const CDeviceECUTracker& tracker) {
    std::vector<uint32_t> counters;
    for (CMNode* n = tracker.GetHead(); n != nullptr; n = n->next) {
        counters.push_back(static_cast<CDeviceECUTItem*>(n)->counter);
    }
    return counters;
}

Format2Raw Group(uint32_t counter, uint8_t subtype) {
    Format2Raw raw;
    raw.counter = counter;
    raw.subtype = subtype;
    return raw;
}

int Decode2(CDeviceECUTracker& tracker, const Format2Raw& raw) {
    return tracker.decode(2, raw.bytes());
}

CDeviceECUTItem* ByCounter(CDeviceECUTracker& tracker, uint32_t counter) {
    return static_cast<CDeviceECUTItem*>(tracker.Find(counter));
}

} // namespace

TEST(CDeviceECUTracker, StartsAndClearsToResetValues) {
    CDeviceECUTracker tracker;
    const auto expectReset = [&tracker] {
        EXPECT_EQ(tracker.GetCount(), 0);
        EXPECT_EQ(tracker.getPumpVolMax(), 1000u);
        EXPECT_EQ(tracker.getPumpRpmMax(), 1000u);
        EXPECT_EQ(tracker.getRpmMax(), 10000u);
        EXPECT_EQ(tracker.getCurrentMax(), 60);
        EXPECT_EQ(tracker.getThrustMax(), 10);
        EXPECT_EQ(tracker.getPumpVolMultiplier(), 5);
        EXPECT_EQ(tracker.getRecordsPerSecond(), 2);
        EXPECT_EQ(tracker.getVoltageStep(), 0);
        EXPECT_EQ(tracker.getStarterVolMax(), 1000u);
    };
    expectReset();

    Format2Raw big = Group(1, 1);
    big.current = 500;
    big.thrust = 900;
    big.step = 1;
    big.rpm = 4000;
    big.pump = 2000;
    ASSERT_EQ(Decode2(tracker, big), 1);
    Format2Raw starter = Group(2, 2);
    starter.starterVol = 300;
    ASSERT_EQ(Decode2(tracker, starter), 1);
    tracker.setRecordsPerSecond(16);
    tracker.setPumpVolMultiplier(10);
    ASSERT_NE(tracker.getCurrentMax(), 60);
    ASSERT_EQ(tracker.getVoltageStep(), 1);

    tracker.clear();
    expectReset();
}

TEST(CDeviceECUTracker, RateAndFormatCodes) {
    EXPECT_EQ(CDeviceECUTracker::RecordsPerSecondFromCode(0), 2);
    EXPECT_EQ(CDeviceECUTracker::RecordsPerSecondFromCode(1), 4);
    EXPECT_EQ(CDeviceECUTracker::RecordsPerSecondFromCode(2), 8);
    EXPECT_EQ(CDeviceECUTracker::RecordsPerSecondFromCode(3), 16);
    EXPECT_EQ(CDeviceECUTracker::FormatFromCode(1), 1);
    EXPECT_EQ(CDeviceECUTracker::FormatFromCode(0), 2);
    EXPECT_EQ(CDeviceECUTracker::FormatFromCode(2), 2);
    EXPECT_EQ(CDeviceECUTracker::FormatFromCode(3), 2);

    CDeviceECUTracker tracker;
    tracker.setRecordsPerSecond(0); // would divide record times by zero
    EXPECT_EQ(tracker.getRecordsPerSecond(), 2);
    tracker.setPumpVolMultiplier(7);
    EXPECT_EQ(tracker.getPumpVolMultiplier(), 5);
}

// Bytes worked out by hand from the field table: counter 5, state 5, EGT 60,
// RPM 1000, skipped 0, switch 400, pump 200, RC 25, battery 60, pressure
// 1008, throttle 300, speed 100 (raw values).
TEST(CDeviceECUTracker, DecodesFormat1Fields) {
    const std::vector<uint8_t> record = {
        0x05, 0x00, 0xA0, 0xF0, 0xD0, 0x07, 0x40, 0x46, 0x46, 0x86, 0x07, 0x3F, 0x4B, 0x32};
    for (uint8_t multiplier : {5, 10}) {
        CDeviceECUTracker tracker;
        tracker.setPumpVolMultiplier(multiplier);
        ASSERT_EQ(tracker.decode(1, record), 1);
        const CDeviceECUTItem* item = tracker.newest();
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->subtype, 0);
        EXPECT_EQ(item->counter, 5u);
        EXPECT_EQ(item->engine_state, 5);
        EXPECT_EQ(item->temperature, 600);
        EXPECT_EQ(item->engine_rpm, 50000);
        EXPECT_EQ(item->rc_input2, 2000);
        EXPECT_EQ(item->pump_vol, 200 * multiplier);
        EXPECT_EQ(item->radio_vol, 500);
        EXPECT_EQ(item->engine_vol, 1200);
        EXPECT_EQ(item->pressure, 100800);
        EXPECT_EQ(item->rc_input1, 1500);
        EXPECT_EQ(item->speed, 200);
        EXPECT_EQ(tracker.getRpmMax(), 50000u);
        EXPECT_EQ(tracker.getPumpVolMax(), multiplier == 10 ? 2000u : 1000u);
    }
}

// Hand-worked bytes of a group-1 record: counter 0x123456, state 5, EGT raw
// 140, RPM raw 1600, pump raw 150, status 0x25, current 123, TCU raw 0, ECU
// raw 45, pump raw 127, voltage step 1, thrust 1500.
TEST(CDeviceECUTracker, DecodesFormat2GroupOneFields) {
    const std::vector<uint8_t> record = {
        0x56, 0x34, 0x12, 0x52, 0x18, 0x81, 0x8C, 0x25, 0x4A, 0x60, 0x0F, 0x40, 0xEB, 0x9F, 0xBB};
    CDeviceECUTracker tracker;
    ASSERT_EQ(tracker.decode(2, record), 1);
    const CDeviceECUTItem* item = tracker.newest();
    EXPECT_EQ(item->counter, 0x123456u);
    EXPECT_EQ(item->subtype, 1);
    EXPECT_EQ(item->engine_state, 5);
    EXPECT_EQ(item->temperature, 640);
    EXPECT_EQ(item->engine_rpm, 80000);
    EXPECT_EQ(item->pump_vol, 1500);
    EXPECT_EQ(item->error_coe, 0x25);
    EXPECT_EQ(item->current, 123);
    EXPECT_EQ(item->tcu_temp, 0); // raw 0: not measured, not -60
    EXPECT_EQ(item->ecu_temp, 30);
    EXPECT_EQ(item->pump_temp, 194);
    EXPECT_EQ(item->thrust, 1500);
    EXPECT_EQ(tracker.getVoltageStep(), 1);
    EXPECT_EQ(tracker.getCurrentMax(), 133);
    EXPECT_EQ(tracker.getThrustMax(), 1505);
}

TEST(CDeviceECUTracker, GroupOneRawTemperatureZeroStoresZero) {
    struct Case {
        uint32_t raw;
        int32_t stored;
    };
    for (const Case c : {Case{0, 0}, Case{1, -58}, Case{30, 0}, Case{31, 2}, Case{127, 194}}) {
        CDeviceECUTracker tracker;
        Format2Raw raw = Group(9, 1);
        raw.tcu = raw.ecu = raw.pumpTemp = c.raw;
        ASSERT_EQ(Decode2(tracker, raw), 1);
        EXPECT_EQ(tracker.newest()->tcu_temp, c.stored) << c.raw;
        EXPECT_EQ(tracker.newest()->ecu_temp, c.stored) << c.raw;
        EXPECT_EQ(tracker.newest()->pump_temp, c.stored) << c.raw;
    }
}

TEST(CDeviceECUTracker, DecodesFormat2GroupsZeroAndTwo) {
    CDeviceECUTracker tracker;
    Format2Raw g0 = Group(10, 0);
    g0.temperature = 0; // -60 is a real reading in the head
    g0.radio = 25;
    g0.battery = 60;
    g0.rc1 = 150;
    g0.rc2 = 200;
    g0.pressure = 10080;
    g0.pumpState = 2;
    g0.pumpRpm = 100;
    ASSERT_EQ(Decode2(tracker, g0), 1);
    const CDeviceECUTItem* a = tracker.newest();
    EXPECT_EQ(a->temperature, -60);
    EXPECT_EQ(a->radio_vol, 500); // steps of 20 while the flag is clear
    EXPECT_EQ(a->engine_vol, 1200);
    EXPECT_EQ(a->rc_input1, 1500);
    EXPECT_EQ(a->rc_input2, 2000);
    EXPECT_EQ(a->pressure, 100800);
    EXPECT_EQ(a->pump_st, 2);
    EXPECT_EQ(a->pump_rpm, 5000);
    EXPECT_EQ(tracker.getPumpRpmMax(), 5000u);

    Format2Raw g2 = Group(11, 2);
    g2.fuelTemp = 85;
    g2.fuelPress = 400;
    g2.combustion = 300;
    g2.starterRpm = 250;
    g2.starterVol = 70;
    ASSERT_EQ(Decode2(tracker, g2), 1);
    const CDeviceECUTItem* b = tracker.newest();
    EXPECT_EQ(b->fuel_temp, 25);
    EXPECT_EQ(b->fuel_press, 400);
    EXPECT_EQ(b->combustion_press, 600);
    EXPECT_EQ(b->starter_rpm, 12500);
    EXPECT_EQ(b->starter_vol, 700);
    EXPECT_EQ(tracker.getRpmMax(), 12500u); // the starter's RPM counts too

    // A group-1 record with the flag set switches later group-0 voltages to
    // steps of 50.
    Format2Raw g1 = Group(12, 1);
    g1.step = 1;
    ASSERT_EQ(Decode2(tracker, g1), 1);
    g0.counter = 13;
    ASSERT_EQ(Decode2(tracker, g0), 1);
    EXPECT_EQ(tracker.newest()->radio_vol, 1250);
    EXPECT_EQ(tracker.newest()->engine_vol, 3000);
}

TEST(CDeviceECUTracker, RejectsShortRecordsUnknownFormatsAndEmptySlots) {
    struct Case {
        const char* name;
        uint8_t format;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"format 1, 13 bytes",
         1,
         [] {
             auto b = Format1Record(3);
             b.pop_back();
             return b;
         }()},
        {"format 2, 14 bytes",
         2,
         [] {
             auto b = Group(3, 0).bytes();
             b.pop_back();
             return b;
         }()},
        {"format 0", 0, Group(3, 0).bytes()},
        {"format 3", 3, Group(3, 0).bytes()},
        {"format 1 empty slot", 1, Format1Record(0x1FFFFF, 100)},
        {"format 2 empty slot", 2, Group(0x1FFFFFF, 1).bytes()},
        {"format 1 erased bytes", 1, std::vector<uint8_t>(14, 0xFF)},
        {"format 2 erased bytes", 2, std::vector<uint8_t>(15, 0xFF)},
        {"nothing", 2, {}},
    };
    for (const Case& c : cases) {
        CDeviceECUTracker tracker;
        EXPECT_EQ(tracker.decode(c.format, c.bytes), 0) << c.name;
        EXPECT_EQ(tracker.GetCount(), 0) << c.name;
    }
}

TEST(CDeviceECUTracker, DuplicateCounterKeepsTheFirst) {
    for (uint8_t format : {1, 2}) {
        CDeviceECUTracker tracker;
        Format2Raw first = Group(7, 0);
        first.rpm = 100;
        Format2Raw second = Group(7, 0);
        second.rpm = 200;
        const auto one = format == 1 ? Format1Record(7, 100) : first.bytes();
        const auto two = format == 1 ? Format1Record(7, 200) : second.bytes();
        ASSERT_EQ(tracker.decode(format, one), 1);
        EXPECT_EQ(tracker.decode(format, two), 0);
        EXPECT_EQ(ByCounter(tracker, 7)->engine_rpm, 5000);
    }
}

TEST(CDeviceECUTracker, InsertsInCounterOrderNewestFirst) {
    CDeviceECUTracker tracker;
    for (uint32_t counter : {5u, 9u, 7u, 1u, 12u, 8u}) {
        ASSERT_EQ(tracker.decode(1, Format1Record(counter)), 1);
    }
    EXPECT_EQ(Counters(tracker), (std::vector<uint32_t>{12, 9, 8, 7, 5, 1}));
    EXPECT_EQ(tracker.getItem(0)->counter, 12u);
    EXPECT_EQ(tracker.oldest()->counter, 1u);
}

TEST(CDeviceECUTracker, DuplicateTestSearchesAnOutOfOrderLoadedLog) {
    CDeviceECUTracker tracker;
    CDeviceECUTItem record;
    for (uint32_t counter : {50u, 10u, 30u}) { // pushed at the front, out of order
        record.counter = counter;
        tracker.addCopy(record);
    }
    EXPECT_EQ(Counters(tracker), (std::vector<uint32_t>{30, 10, 50}));
    EXPECT_EQ(tracker.decode(1, Format1Record(50)), 0);
    EXPECT_EQ(tracker.decode(1, Format1Record(10)), 0);
    EXPECT_EQ(tracker.decode(1, Format1Record(40)), 1);
    EXPECT_EQ(tracker.GetCount(), 4);
}

TEST(CDeviceECUTracker, BulkReadPairsOnlyWithTheMarker) {
    struct Case {
        uint8_t format;
        uint8_t marker;
        int32_t records;
    };
    const Case cases[] = {{1, 0xA3, 2},
                          {1, 0xA2, 1},
                          {1, 0x00, 1},
                          {1, 0xFF, 1},
                          {2, 0xA3, 2},
                          {2, 0x3A, 1},
                          {2, 0x00, 1},
                          {2, 0xFF, 1}};
    for (const Case& c : cases) {
        const size_t length = c.format == 1 ? 14 : 15;
        std::vector<uint8_t> read(32, 0xFF);
        const auto first = c.format == 1 ? Format1Record(100) : Group(100, 0).bytes();
        const auto second = c.format == 1 ? Format1Record(101) : Group(101, 1).bytes();
        std::copy(first.begin(), first.end(), read.begin());
        read[length] = c.marker;
        std::copy(second.begin(), second.end(), read.begin() + static_cast<long>(length) + 1);
        CDeviceECUTracker tracker;
        EXPECT_EQ(tracker.parseBulkRead(c.format, read), 1);
        EXPECT_EQ(tracker.GetCount(), c.records)
            << "format " << int(c.format) << " marker " << int(c.marker);
    }
}

TEST(CDeviceECUTracker, BulkReadCountsAsDataWhenEitherRecordIsNew) {
    CDeviceECUTracker tracker;
    ASSERT_EQ(tracker.decode(2, Group(100, 0).bytes()), 1);
    std::vector<uint8_t> read(32, 0xFF);
    auto old = Group(100, 0).bytes();
    auto fresh = Group(101, 1).bytes();
    std::copy(old.begin(), old.end(), read.begin());
    read[15] = 0xA3;
    std::copy(fresh.begin(), fresh.end(), read.begin() + 16);
    EXPECT_EQ(tracker.parseBulkRead(2, read), 1);
    EXPECT_EQ(tracker.parseBulkRead(2, read), 0); // both known now
    std::vector<uint8_t> empty(32, 0xFF);
    EXPECT_EQ(tracker.parseBulkRead(2, empty), 0);
    EXPECT_EQ(tracker.parseBulkRead(1, std::span(empty).first(10)), 0);
    EXPECT_EQ(tracker.GetCount(), 2);
}

TEST(CDeviceECUTracker, FollowReadCarriesOneRecord) {
    CDeviceECUTracker tracker;
    auto read = Format1Record(20);
    read.push_back(0xA3); // the 15th byte is no pairing marker in a follow read
    EXPECT_EQ(tracker.parseFollowRead(1, read), 1);
    EXPECT_EQ(tracker.parseFollowRead(2, Group(21, 0).bytes()), 1);
    EXPECT_EQ(tracker.parseFollowRead(2, Group(21, 0).bytes()), 0);
    EXPECT_EQ(tracker.GetCount(), 2);
}

TEST(CDeviceECUTracker, NewestGroupZeroTakesGroupsOfNearestOlderRecords) {
    CDeviceECUTracker tracker;
    Format2Raw g1 = Group(1, 1);
    g1.error = 0x21;
    g1.current = 77;
    g1.tcu = 40;
    g1.ecu = 41;
    g1.pumpTemp = 42;
    g1.thrust = 600;
    Format2Raw g2 = Group(2, 2);
    g2.fuelTemp = 90;
    g2.fuelPress = 321;
    g2.combustion = 111;
    g2.starterRpm = 20;
    g2.starterVol = 30;
    Format2Raw g0 = Group(3, 0);
    g0.radio = 25;
    ASSERT_EQ(Decode2(tracker, g1), 1);
    ASSERT_EQ(Decode2(tracker, g2), 1);
    ASSERT_EQ(Decode2(tracker, g0), 1);

    const CDeviceECUTItem* item = tracker.newest();
    EXPECT_EQ(item->counter, 3u);
    EXPECT_EQ(item->radio_vol, 500);
    EXPECT_EQ(item->error_coe, 0x21);
    EXPECT_EQ(item->current, 77);
    EXPECT_EQ(item->tcu_temp, 20);
    EXPECT_EQ(item->ecu_temp, 22);
    EXPECT_EQ(item->pump_temp, 24);
    EXPECT_EQ(item->thrust, 600);
    EXPECT_EQ(item->fuel_temp, 30);
    EXPECT_EQ(item->fuel_press, 321);
    EXPECT_EQ(item->combustion_press, 222);
    EXPECT_EQ(item->starter_rpm, 1000);
    EXPECT_EQ(item->starter_vol, 300);
    // The group-2 record took the group-1 fields in its turn.
    EXPECT_EQ(ByCounter(tracker, 2)->current, 77);
    EXPECT_EQ(ByCounter(tracker, 2)->radio_vol, 0);
}

TEST(CDeviceECUTracker, OlderWalkStopsAtOwnGroupAndAfterThree) {
    // An older group-0 record ends the walk: the group-1 record behind it is
    // not reached.
    {
        CDeviceECUTracker tracker;
        Format2Raw g1 = Group(1, 1);
        g1.current = 50;
        Format2Raw g2 = Group(3, 2);
        g2.fuelPress = 99;
        ASSERT_EQ(Decode2(tracker, g1), 1);
        ASSERT_EQ(Decode2(tracker, Group(2, 0)), 1);
        ASSERT_EQ(Decode2(tracker, g2), 1);
        ASSERT_EQ(Decode2(tracker, Group(4, 0)), 1);
        EXPECT_EQ(tracker.newest()->fuel_press, 99);
        EXPECT_EQ(tracker.newest()->current, 0);
    }
    // Only three records are looked at.
    {
        CDeviceECUTracker tracker;
        Format2Raw g1 = Group(1, 1);
        g1.current = 50;
        ASSERT_EQ(Decode2(tracker, g1), 1);
        for (uint32_t counter : {2u, 3u, 4u}) {
            Format2Raw g2 = Group(counter, 2);
            g2.fuelPress = counter;
            ASSERT_EQ(Decode2(tracker, g2), 1);
        }
        ASSERT_EQ(Decode2(tracker, Group(5, 0)), 1);
        EXPECT_EQ(tracker.newest()->current, 0);
        // With two records of one group in reach, the nearer one counts.
        EXPECT_EQ(tracker.newest()->fuel_press, 4);
    }
}

TEST(CDeviceECUTracker, LateRecordHandsItsGroupToNewerOnes) {
    CDeviceECUTracker tracker;
    Format2Raw newerG1 = Group(10, 1);
    newerG1.current = 11;
    ASSERT_EQ(Decode2(tracker, newerG1), 1);
    ASSERT_EQ(Decode2(tracker, Group(9, 0)), 1);
    ASSERT_EQ(Decode2(tracker, Group(8, 2)), 1);
    Format2Raw late = Group(7, 1);
    late.current = 22;
    ASSERT_EQ(Decode2(tracker, late), 1);
    EXPECT_EQ(ByCounter(tracker, 8)->current, 22);
    EXPECT_EQ(ByCounter(tracker, 9)->current, 22);
    EXPECT_EQ(ByCounter(tracker, 10)->current, 11); // same group: the walk stops
    // and the late record takes nothing from newer ones.
    EXPECT_EQ(ByCounter(tracker, 7)->radio_vol, 0);

    // The walk towards newer records passes at most three.
    CDeviceECUTracker wide;
    for (uint32_t counter : {21u, 22u, 23u, 24u}) {
        ASSERT_EQ(Decode2(wide, Group(counter, 0)), 1);
    }
    Format2Raw g2 = Group(20, 2);
    g2.fuelPress = 55;
    ASSERT_EQ(Decode2(wide, g2), 1);
    EXPECT_EQ(ByCounter(wide, 21)->fuel_press, 55);
    EXPECT_EQ(ByCounter(wide, 23)->fuel_press, 55);
    EXPECT_EQ(ByCounter(wide, 24)->fuel_press, 0);
}

TEST(CDeviceECUTracker, DecodeAndLoaderRaiseMaximaDifferently) {
    CDeviceECUTracker decoded;
    Format2Raw g1 = Group(1, 1);
    g1.current = 70;
    g1.thrust = 20;
    ASSERT_EQ(Decode2(decoded, g1), 1);
    EXPECT_EQ(decoded.getCurrentMax(), 80);
    EXPECT_EQ(decoded.getThrustMax(), 25);
    g1.counter = 2;
    g1.current = 75; // above 70 but not above the stored 80
    ASSERT_EQ(Decode2(decoded, g1), 1);
    EXPECT_EQ(decoded.getCurrentMax(), 80);

    CDeviceECUTracker loaded;
    CDeviceECUTItem record;
    record.current = 70;
    record.thrust = 20;
    record.pump_vol = 4000;
    record.pump_rpm = 3000;
    record.starter_rpm = 20000;
    record.starter_vol = 1500;
    loaded.addCopy(record);
    EXPECT_EQ(loaded.getCurrentMax(), 70);
    EXPECT_EQ(loaded.getThrustMax(), 25);
    EXPECT_EQ(loaded.getPumpVolMax(), 4000u);
    EXPECT_EQ(loaded.getPumpRpmMax(), 3000u);
    EXPECT_EQ(loaded.getRpmMax(), 20000u);
    EXPECT_EQ(loaded.getStarterVolMax(), 1500u);

    // Negative values from a file never wrap an unsigned maximum.
    CDeviceECUTItem negative;
    negative.pump_vol = -5;
    negative.engine_rpm = -1;
    loaded.addCopy(negative);
    EXPECT_EQ(loaded.getPumpVolMax(), 4000u);
    EXPECT_EQ(loaded.getRpmMax(), 20000u);
}

TEST(CDeviceECUTracker, AddCopyPushesEveryFieldAtTheFront) {
    CDeviceECUTracker tracker;
    CDeviceECUTItem record;
    record.counter = 4;
    record.subtype = 2;
    record.pump_temp = 33;
    record.starter_vol = 44;
    record.speed = 55;
    tracker.addCopy(record);
    record.counter = 4; // no duplicate test in this form
    record.speed = 66;
    tracker.addCopy(record);
    ASSERT_EQ(tracker.GetCount(), 2);
    EXPECT_EQ(tracker.newest()->speed, 66);
    EXPECT_EQ(tracker.oldest()->speed, 55);
    EXPECT_EQ(tracker.oldest()->pump_temp, 33);
    EXPECT_EQ(tracker.oldest()->subtype, 2);
    EXPECT_EQ(tracker.oldest()->starter_vol, 44);
}
