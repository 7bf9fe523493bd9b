#include "sim/EcuParameterStore.h"
#include "foundation/CMBitReader.h"

#include <gtest/gtest.h>

#include <vector>

using sim::EcuFeatures;
using sim::EcuFormat;
using sim::EcuGeneration;
using sim::EcuParameterStore;

namespace {

EcuFormat Block(uint8_t format, bool doubleRange = false) {
    EcuFormat f;
    f.generation = EcuGeneration::Block;
    f.blockFormat = format;
    f.doubleRange = doubleRange;
    return f;
}

EcuFormat Item(bool extended = false) {
    EcuFormat f;
    f.generation = EcuGeneration::Item;
    f.extendedItems = extended;
    return f;
}

EcuFeatures Without(std::initializer_list<int> textIds) {
    EcuFeatures features;
    for (int id : textIds) {
        features.unsupported.set(static_cast<size_t>(id));
    }
    return features;
}

std::vector<uint8_t> V(std::initializer_list<uint8_t> bytes) {
    return bytes;
}

// Reads the fields of an item-generation packet body in table order. Keeps
// its own copy of the page.
struct Fields {
    explicit Fields(const EcuParameterStore::Page& packet)
        : page(packet)
        , reader(page.data() + 1, 31) {}
    uint32_t operator()(uint8_t bits) { return reader.ReadBits(bits); }
    void Skip(int bits) {
        for (; bits > 0; bits -= 32) {
            reader.SkipBits(static_cast<uint8_t>(bits > 32 ? 32 : bits));
        }
    }
    EcuParameterStore::Page page;
    CMBitReader reader;
};

} // namespace

// ------------------------------------------------------------ block pages

TEST(EcuParameterStore, BlockPage1DefaultsFormat3ByteByByte) {
    const EcuParameterStore store(Block(3));
    // Expected bytes worked out from the page-1 table with the default values.
    const EcuParameterStore::Page expected = {3,  0x04, 190, 110, 120, 10, 90, 70, 3,   40,   60,
                                              20, 25,   30,  120, 5,   35, 6,  40, 5,   0x12, 60,
                                              40, 40,   35,  40,  150, 0,  30, 40, 160, 0x24};
    EXPECT_EQ(store.EncodePage1(), expected);
}

TEST(EcuParameterStore, BlockPage1FormatDependentScales) {
    const EcuParameterStore f2(Block(2));
    const auto p2 = f2.EncodePage1();
    EXPECT_EQ(p2[0], 2);
    EXPECT_EQ(p2[12], 5);  // cooling 5000 / 1000
    EXPECT_EQ(p2[13], 6);  // ignition 6000 / 1000
    EXPECT_EQ(p2[18], 8);  // preheat 8000 / 1000
    EXPECT_EQ(p2[21], 30); // clutch 30000 / 1000
    EXPECT_EQ(p2[14], 120);

    const EcuParameterStore f4(Block(4, true));
    const auto p4 = f4.EncodePage1();
    EXPECT_EQ(p4[12], 25);   // / 200
    EXPECT_EQ(p4[21], 60);   // / 500
    EXPECT_EQ(p4[14], 60);   // ignition pump 1.2 V x 50 in format 4
    EXPECT_EQ(p4[20], 0x92); // double-range flag in bit 7
    EXPECT_EQ(p4[23], 20);   // ignition pump 2.0 V x 10 with the double range
}

TEST(EcuParameterStore, BlockKnownValuesLandInTheirBytes) {
    EcuParameterStore f2(Block(2));
    f2.Parameters().coolingRpm = 5000;
    f2.Parameters().maxEgt = 1000;
    EXPECT_EQ(f2.EncodePage1()[12], 5);
    EXPECT_EQ(f2.EncodePage1()[6], 100);
    EcuParameterStore f3(Block(3));
    f3.Parameters().coolingRpm = 5000;
    EXPECT_EQ(f3.EncodePage1()[12], 25);
    // A value too big for its byte saturates instead of wrapping.
    f3.Parameters().runMaxRpm = 300000;
    EXPECT_EQ(f3.EncodePage1()[26], 255);
}

TEST(EcuParameterStore, BlockPage2DefaultsByteByByte) {
    EcuParameterStore store(Block(3));
    EcuParameterStore::Page expected{};
    expected[0] = 0x00;
    expected[1] = 120;  // pump limit 6.0 V x 20
    expected[2] = 0x44; // switch channel 4, telemetry protocol 2 in bits 5-7
    expected[3] = 6;
    expected[4] = 50;
    expected[5] = 0x76; // aux 6, pump types 7
    expected[6] = 0x41; // pump mode 1, preheat time index 3 + 1
    expected[7] = 100;
    expected[8] = 0x5B;  // ignition confirm 2 + 1, pump current 10 + 1 in bits 3-7
    expected[9] = 0x18;  // cooling after flameout (bit 3), standby beep (bit 4)
    expected[10] = 0xAC; // preheat end 3 + 1, highest current offered 20 + 1
    expected[12] = 0x47; // pole pairs 7, forced delay 1 + 1 in bits 5-7
    expected[13] = 8;
    expected[14] = 10;
    expected[17] = 30;
    EXPECT_EQ(store.EncodePage2(), expected);

    store.Parameters().egtCorrection = -3;
    store.Parameters().temperatureUnit = 1;
    EXPECT_EQ(store.EncodePage2()[0], 0x7D); // -3 as 6-bit two's complement, unit in bit 6

    const EcuParameterStore doubleRange(Block(3, true));
    EXPECT_EQ(doubleRange.EncodePage2()[1], 60); // x 10 with the double range
}

TEST(EcuParameterStore, BlockPageWritesApplyEveryWritableField) {
    EcuParameterStore store(Block(3));
    auto p1 = store.EncodePage1();
    p1[6] = 95;    // maximum EGT 950
    p1[12] = 30;   // cooling 6000 (/200)
    p1[14] = 200;  // ignition pump 2.00 V
    p1[15] = 0x08; // starter ramp 80
    p1[20] = 0x53; // throttle channel 3, telemetry mode 5
    p1[21] = 100;  // clutch 50000 (/500)
    p1[31] = 0x3C; // baud index 11, stop bits 2
    ASSERT_TRUE(store.ApplyRegister2(p1).accepted);
    const auto& p = store.Parameters();
    EXPECT_EQ(p.maxEgt, 950);
    EXPECT_EQ(p.coolingRpm, 6000);
    EXPECT_DOUBLE_EQ(p.ignitionPumpVoltage, 2.0);
    EXPECT_EQ(p.starterMotorRamp, 80);
    EXPECT_EQ(p.busThrottleChannel, 3);
    EXPECT_EQ(p.busTelemetryMode, 5);
    EXPECT_EQ(p.clutchRpm, 50000);
    EXPECT_EQ(p.baudIndex, 11);
    EXPECT_EQ(p.stopBitsIndex, 2);

    auto p2 = store.EncodePage2();
    p2[0] = 0x45;  // unit Fahrenheit; the correction bits are the ECU's own
    p2[1] = 168;   // pump limit 8.4 V
    p2[9] = 0x65;  // reduce cooling, switch bit 2, no radio timeout, linear RPM
    p2[12] = 0x7F; // pole pairs 31, forced delay index 2
    ASSERT_TRUE(store.ApplyRegister3(p2).accepted);
    EXPECT_EQ(p.temperatureUnit, 1);
    EXPECT_EQ(p.egtCorrection, 0);
    EXPECT_DOUBLE_EQ(p.pumpLimit, 8.4);
    EXPECT_TRUE(p.reduceCoolingTime);
    EXPECT_FALSE(p.noGlowPlugCheck);
    EXPECT_TRUE(p.switchBit2);
    EXPECT_FALSE(p.coolingAfterFlameout);
    EXPECT_FALSE(p.standbyBeep);
    EXPECT_TRUE(p.noRadioTimeout);
    EXPECT_TRUE(p.linearRpm);
    EXPECT_EQ(p.starterPolePairs, 31);
    EXPECT_EQ(p.preheatForcedDelayIndex, 2);
    // What was applied reads back the same.
    EXPECT_EQ(store.EncodePage1()[21], 100);
    EXPECT_EQ(store.EncodePage2()[12], 0x7F);
}

TEST(EcuParameterStore, BlockPageWriteKeepsTheEcusOwnFields) {
    EcuParameterStore store(Block(3));
    auto p1 = store.EncodePage1();
    p1[1] = 0x00; // restart bit cleared in the page: only its command changes it
    p1[2] = 1;    // learned points are read only
    p1[20] |= 0x80;
    ASSERT_TRUE(store.ApplyRegister2(p1).accepted);
    EXPECT_TRUE(store.Parameters().restartAllowed);
    EXPECT_EQ(store.Parameters().throttlePointMax, 1900);
    EXPECT_EQ(store.EncodePage1()[20] & 0x80, 0); // no double range on this ECU
}

TEST(EcuParameterStore, MalformedBlockWritesChangeNothing) {
    EcuParameterStore store(Block(3));
    auto page = store.EncodePage1();
    page[6] = 50;
    page[0] = 2; // format byte of another ECU
    EXPECT_FALSE(store.ApplyRegister2(page).accepted);
    page[0] = 3;
    EXPECT_FALSE(store.ApplyRegister2(std::span(page).first(31)).accepted);
    EXPECT_FALSE(store.ApplyRegister2(V({0xFF, 0x02, 0x00})).accepted);
    EXPECT_FALSE(store.ApplyRegister3(V({1, 2, 3})).accepted);
    EXPECT_EQ(store.Parameters().maxEgt, 900);
    EXPECT_EQ(store.PageWriteCount(2), 0);
}

TEST(EcuParameterStore, SpareBitsReadBackAsWritten) {
    EcuParameterStore store(Block(3), {}, 0xA5);
    auto p1 = store.EncodePage1();
    EXPECT_EQ(p1[27], 0xA5);
    EXPECT_EQ(p1[15] & 0xF0, 0xA0);
    EXPECT_EQ(p1[1], 0xA5); // spare bits, and restart allowed in bit 2
    p1[27] = 0x3C;
    p1[17] = static_cast<uint8_t>((p1[17] & 0x0F) | 0x50);
    ASSERT_TRUE(store.ApplyRegister2(p1).accepted);
    EXPECT_EQ(store.EncodePage1()[27], 0x3C);
    EXPECT_EQ(store.EncodePage1()[17], p1[17]);
    EXPECT_EQ(store.EncodePage2()[31], 0xA5);
}

TEST(EcuParameterStore, BlockUnsupportedIndexReadsZeroAndIgnoresWrites) {
    EcuParameterStore store(Block(3), Without({47, 8}));
    EXPECT_FALSE(store.Supported(47));
    EXPECT_TRUE(store.Supported(24));
    auto p2 = store.EncodePage2();
    EXPECT_EQ(p2[6] >> 4, 0);
    EXPECT_EQ(store.EncodePage1()[31] & 0x0F, 0);
    p2[6] = static_cast<uint8_t>((p2[6] & 0x0F) | 0x90);
    ASSERT_TRUE(store.ApplyRegister3(p2).accepted);
    EXPECT_EQ(store.Parameters().preheatTimeIndex, 3);
    EXPECT_EQ(store.EncodePage2()[6] >> 4, 0);
}

TEST(EcuParameterStore, BlockImmediateCommands) {
    EcuParameterStore store(Block(2));
    EXPECT_TRUE(store.ApplyRegister2(V({0xFF, 0x02, 0x77})).accepted);
    EXPECT_FALSE(store.Parameters().restartAllowed);
    EXPECT_EQ(store.EncodePage1()[1] & 0x04, 0);
    EXPECT_TRUE(store.ApplyRegister2(V({0xFF, 0x02, 0x33})).accepted);
    EXPECT_TRUE(store.Parameters().restartAllowed);
    EXPECT_TRUE(store.ApplyRegister2(V({0xFF, 0x0A, 0x55})).accepted);
    EXPECT_TRUE(store.Parameters().rpmControl);
    EXPECT_TRUE(store.ApplyRegister2(V({0xFF, 0x0A, 0x88})).accepted);
    EXPECT_FALSE(store.Parameters().rpmControl);

    std::vector<uint8_t> name = {0xFF, 0x05, 0x3A, 0x56};
    const std::string text = "Bench T-80";
    name.insert(name.end(), text.begin(), text.end());
    name.resize(32, 0);
    EXPECT_TRUE(store.ApplyRegister2(name).accepted);
    EXPECT_EQ(store.EngineName(), text);
    const auto page = store.EncodeNamePage();
    EXPECT_EQ(page[0], store.namePageByte0);
    EXPECT_EQ(page[1], 'B');
    EXPECT_EQ(page[1 + text.size()], 0);
    EXPECT_EQ(page[29] | (page[30] << 8), store.namePageValue);
    EXPECT_EQ(page[31], store.namePageByte31);

    const auto prepare = store.ApplyRegister2(V({0xFF, 0x09, 0x37, 0xC8}));
    EXPECT_TRUE(prepare.accepted);
    EXPECT_TRUE(prepare.calibrationPrepared);
    EXPECT_FALSE(prepare.calibrationAmbient.has_value());
    const auto calibrate = store.ApplyRegister2(V({0xFF, 0x09, 0x37, 0xC8, 0xF4, 0x01, 24}));
    EXPECT_TRUE(calibrate.accepted);
    EXPECT_EQ(calibrate.calibrationAmbient, 24);
    EXPECT_EQ(store.LastCalibrationReference(), 500);
    EXPECT_EQ(store.PrepareCount(), 1);
    EXPECT_EQ(store.CalibrationCount(), 1);
}

// ------------------------------------------------------- item generation

TEST(EcuParameterStore, ItemPacket1HeaderFirstBytesAndFields) {
    const EcuParameterStore store(Item());
    const auto page = store.EncodeParameterPacket(1);
    EXPECT_EQ(page[0], 0x0A); // n = 2, k = 1
    // aux 6 | pump types 7 << 4; then current index 21 (5 bits) and the low
    // 3 bits of the minimum battery 35 (7.0 V x 5); then 35 >> 3 (5 bits) and
    // the low 3 bits of the temperature scale 100.
    EXPECT_EQ(page[1], 0x76);
    EXPECT_EQ(page[2], 0x75);
    EXPECT_EQ(page[3], 0x84);

    Fields f(page);
    const std::vector<std::pair<uint8_t, uint32_t>> expected = {
        {4, 6},   {4, 7},  {5, 21}, {8, 35},  {8, 100},  {8, 50},  {8, 60},  {8, 80},
        {8, 150}, {8, 70}, {8, 80}, {8, 150}, {8, 160},  {8, 60},  {7, 50},  {8, 30},
        {5, 11},  {7, 30}, {7, 40}, {4, 6},   {2, 1},    {4, 3},   {8, 40},  {8, 60},
        {8, 20},  {8, 35}, {8, 40}, {4, 4},   {8, 190},  {8, 110}, {8, 120}, {5, 10},
        {3, 2},   {5, 4},  {3, 1},  {3, 3},   {16, 0x89}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(f(expected[i].first), expected[i].second) << "packet 1 field " << i + 1;
    }
    EXPECT_EQ(f.reader.position, 31); // 248 bits: the body exactly
}

TEST(EcuParameterStore, ItemPacket2FieldsInOrder) {
    EcuParameterStore store(Item(true));
    store.Parameters().egtCorrection = -5;
    const auto page = store.EncodeParameterPacket(2);
    EXPECT_EQ(page[0], 0x12); // n = 2, k = 2
    Fields f(page);
    EXPECT_EQ(f(8), 0x3Fu); // supported protocols
    EXPECT_EQ(f(4), 2u);    // protocol
    EXPECT_EQ(f(4), 4u);    // baud 3 + 1
    EXPECT_EQ(f(7), 90u);   // maximum EGT 900 / 10
    EXPECT_EQ(f(3), 4u);    // preheat end 3 + 1
    EXPECT_EQ(f(3), 2u);    // forced delay 1 + 1
    EXPECT_EQ(f(4), 6u);    // valve duty 30 / 5
    EXPECT_EQ(f(4), 5u);    // starter ramp 50 / 10
    EXPECT_EQ(f(4), 5u);    // pump ramp
    EXPECT_EQ(f(6), 26u);   // correction -5 + 31
    EXPECT_EQ(f(5), 7u);    // pole pairs
    EXPECT_EQ(f(8), 30u);   // stop coefficient
    EXPECT_EQ(f(5), 2u);    // pulses per revolution
    EXPECT_EQ(f(5), 8u);
    EXPECT_EQ(f(5), 10u);
    EXPECT_EQ(f(8), 0x05u); // valve supply
    EXPECT_EQ(f(9), 100u);  // fuel ramp 20000 / 200
    EXPECT_EQ(f(9), 200u);
    EXPECT_EQ(f(4), 4u);
    EXPECT_EQ(f(4), 8u);
    EXPECT_EQ(f(1), 1u);   // altitude run
    EXPECT_EQ(f(8), 80u);  // 40000 / 500
    EXPECT_EQ(f(8), 150u); // (500 - 200) / 2
    EXPECT_EQ(f(1), 1u);   // altitude start
    EXPECT_EQ(f(4), 6u);
    EXPECT_EQ(f(8), 150u);  // (600 - 300) / 2
    EXPECT_EQ(f(1), 1u);    // calibration
    EXPECT_EQ(f(8), 125u);  // 2.5 x 50
    EXPECT_EQ(f(8), 125u);  // (0.5 + 2) x 50
    EXPECT_EQ(f(12), 250u); // 1.25 x 200
    EXPECT_EQ(f(1), 0u);    // not used
    EXPECT_EQ(f(1), 1u);    // extended items
    EXPECT_EQ(f(8), 7u);    // calibration value 4
    EXPECT_EQ(f(19), 0u);
    EXPECT_EQ(f(1), 1u);  // oxygen
    EXPECT_EQ(f(8), 50u); // 10000 / 200
    EXPECT_EQ(f(8), 20u); // 0.2 x 100
    EXPECT_EQ(f(8), 30u); // 1.5 x 20
    EXPECT_EQ(f(8), 20u); // 2.0 x 10
    EXPECT_EQ(f(2), 2u);  // stop bits 1 + 1
    EXPECT_EQ(f(7), 35u); // ignition pump 3.5 x 10
    EXPECT_EQ(f(9), 0u);
    EXPECT_EQ(f.reader.position, 31);
}

TEST(EcuParameterStore, ItemUnsupportedFieldsReadZeroAndKeepLaterFieldsInPlace) {
    const EcuParameterStore store(Item(), Without({8, 25, 37, 58, 41, 62, 57}));
    const auto p1 = store.EncodeParameterPacket(1);
    Fields f1(p1);
    f1.Skip(4 + 4 + 5 + 8 * 10 + 8 + 7 + 8);
    EXPECT_EQ(f1(5), 0u); // pump current index not there
    EXPECT_EQ(f1(7), 30u);

    const auto p2 = store.EncodeParameterPacket(2);
    Fields f(p2);
    f(8);
    f(4);
    EXPECT_EQ(f(4), 0u); // baud index
    f.Skip(7 + 3 + 3 + 4 + 4 + 4 + 6 + 5 + 8 + 5);
    EXPECT_EQ(f(5), 0u);  // valve voltage 1
    EXPECT_EQ(f(5), 10u); // valve voltage 2 still there
    f.Skip(8 + 9 + 9 + 4 + 4);
    EXPECT_EQ(f(1), 0u);
    EXPECT_EQ(f(16), 0u); // altitude run skipped
    EXPECT_EQ(f(1), 1u);  // altitude start still reported
    f.Skip(12);
    EXPECT_EQ(f(1), 0u);
    EXPECT_EQ(f(28), 0u);
    f.Skip(2);
    EXPECT_EQ(f(8), 0u); // calibration value 4 follows its group
    f.Skip(19);
    EXPECT_EQ(f(1), 0u);
    EXPECT_EQ(f(32), 0u);
    EXPECT_EQ(f(2), 2u);
    EXPECT_EQ(f(7), 0u); // ignition pump voltage: 0 means not there
}

TEST(EcuParameterStore, PumpTestVoltageBeyondSevenBitsReportsTheFieldMaximum) {
    EcuParameterStore store(Item());
    ASSERT_TRUE(store.ApplyRegister2(V({0xAA, 0x55, 27, 200})).accepted);
    EXPECT_DOUBLE_EQ(store.Parameters().pumpTestMaxVoltage, 20.0);
    Fields f(store.EncodeParameterPacket(1));
    f.Skip(4 + 4 + 5 + 8 * 10 + 8);
    EXPECT_EQ(f(7), 127u);
}

TEST(EcuParameterStore, ShortItemFrameAppliesEachItem) {
    EcuParameterStore store(Item());
    const auto outcome = store.ApplyRegister2(V({0xAA, 0x55, 49, 110, 17, 50, 41, 40, 7, 1}));
    EXPECT_TRUE(outcome.accepted);
    EXPECT_TRUE(outcome.parametersChanged);
    EXPECT_EQ(store.Parameters().maxEgt, 1100);
    EXPECT_EQ(store.Parameters().coolingRpm, 5000);
    EXPECT_DOUBLE_EQ(store.Parameters().glowRestartVoltage, 4.0);
    EXPECT_EQ(store.Parameters().temperatureUnit, 1);
    ASSERT_EQ(store.ReceivedItems().size(), 4u);
    EXPECT_EQ(store.ReceivedItems()[0].id, 49);
    EXPECT_EQ(store.ReceivedItems()[0].value, V({110}));
    EXPECT_TRUE(store.ReceivedItems()[0].applied);
}

TEST(EcuParameterStore, ExtendedItemFrameWithLengthBytesAndGroups) {
    EcuParameterStore store(Item(true));
    // Fuel ramp 60: 30000 / 200 = 150, 60000 / 200 = 300, pumps 3 and 9.
    const auto frame = V({0xAA, 0x66, 3,  49, 100, 8, 60, 150, 0,  0x2C, 0x01, 3,
                          9,    4,    61, 90, 140, 6, 65, 100, 25, 200,  30});
    ASSERT_TRUE(store.ApplyRegister2(frame).accepted);
    const auto& p = store.Parameters();
    EXPECT_EQ(p.maxEgt, 1000);
    EXPECT_EQ(p.fuelRampStage1Rpm, 30000);
    EXPECT_EQ(p.fuelRampStage2Rpm, 60000);
    EXPECT_EQ(p.fuelRampStage1Pump, 3);
    EXPECT_EQ(p.fuelRampStage2Pump, 9);
    EXPECT_EQ(p.altitudeRunMinRpm, 45000);
    EXPECT_DOUBLE_EQ(p.altitudeRunPressure, 48.0); // (140 x 2 + 200) / 10
    EXPECT_EQ(p.oxygenRpm, 20000);
    EXPECT_DOUBLE_EQ(p.oxygenPumpDelay, 0.25);
    EXPECT_DOUBLE_EQ(p.oxygenPumpVoltage, 10.0); // 200 / 20
    EXPECT_DOUBLE_EQ(p.oxygenRampTime, 3.0);
}

TEST(EcuParameterStore, CalibrationAndCanGroups) {
    EcuParameterStore store(Item());
    ASSERT_TRUE(
        store
            .ApplyRegister2(
                V({0xAA, 0x55, 63, 200, 65, 0xA0, 0x0F, 9, 69, 0x56, 0x34, 0x12, 80, 5, 62, 3, 0}))
            .accepted);
    const auto& p = store.Parameters();
    EXPECT_DOUBLE_EQ(p.calibration1, 4.0);
    EXPECT_DOUBLE_EQ(p.calibration2, -0.7); // 65 / 50 - 2
    EXPECT_DOUBLE_EQ(p.calibration3, 20.0); // 4000 / 200
    EXPECT_EQ(p.calibration4, 9);
    EXPECT_EQ(p.canAddress16, 0x123456u);
    EXPECT_EQ(p.canValue2, 80);
    EXPECT_EQ(p.canValue3, 5);
    EXPECT_EQ(p.altitudeStartPumpRamp, 3);
    EXPECT_DOUBLE_EQ(p.altitudeStartPressure, 30.0);
}

TEST(EcuParameterStore, FullFramesOfOneByteItems) {
    // Short header: 14 one-byte items fill 30 bytes; extended: 10 fill 32.
    std::vector<uint8_t> shortFrame = {0xAA, 0x55};
    const uint8_t ids[] = {15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 30, 31, 32, 34};
    for (uint8_t id : ids) {
        shortFrame.push_back(id);
        shortFrame.push_back(12);
    }
    ASSERT_EQ(shortFrame.size(), 30u);
    EcuParameterStore shortStore(Item());
    EXPECT_TRUE(shortStore.ApplyRegister2(shortFrame).accepted);
    EXPECT_EQ(shortStore.ReceivedItems().size(), 14u);
    EXPECT_EQ(shortStore.Parameters().designMaxRpm, 12000);
    EXPECT_DOUBLE_EQ(shortStore.Parameters().starterEjectTime, 1.2);

    std::vector<uint8_t> extended = {0xAA, 0x66};
    for (size_t i = 0; i < 10; ++i) {
        extended.insert(extended.end(), {3, ids[i], 12});
    }
    ASSERT_EQ(extended.size(), 32u);
    EcuParameterStore extendedStore(Item(true));
    EXPECT_TRUE(extendedStore.ApplyRegister2(extended).accepted);
    EXPECT_EQ(extendedStore.ReceivedItems().size(), 10u);
    EXPECT_EQ(extendedStore.Parameters().runMaxRpm, 12000);
}

TEST(EcuParameterStore, MalformedItemFramesAreRefusedWhole) {
    struct Case {
        const char* name;
        bool extendedEcu;
        std::vector<uint8_t> frame;
    };
    const Case cases[] = {
        {"short header to an extended ECU", true, {0xAA, 0x55, 49, 100}},
        {"extended header to a short ECU", false, {0xAA, 0x66, 3, 49, 100}},
        {"unknown id in a short frame", false, {0xAA, 0x55, 49, 100, 9, 1}},
        {"value cut short", false, {0xAA, 0x55, 49, 100, 60, 1, 2}},
        {"length byte past the end", true, {0xAA, 0x66, 3, 49, 100, 5, 17, 1}},
        {"length byte not matching the id", true, {0xAA, 0x66, 4, 49, 100, 1}},
        {"length byte below 2", true, {0xAA, 0x66, 3, 49, 100, 1}},
        {"wrong first byte", false, {0xAB, 0x55, 49, 100}},
    };
    for (const Case& c : cases) {
        EcuParameterStore store(Item(c.extendedEcu));
        EXPECT_FALSE(store.ApplyRegister2(c.frame).accepted) << c.name;
        EXPECT_EQ(store.Parameters().maxEgt, 900) << c.name;
        EXPECT_TRUE(store.ReceivedItems().empty()) << c.name;
    }
}

TEST(EcuParameterStore, ExtendedFrameSkipsAnUnknownIdByItsLength) {
    EcuParameterStore store(Item(true));
    ASSERT_TRUE(store.ApplyRegister2(V({0xAA, 0x66, 4, 9, 1, 2, 3, 49, 105})).accepted);
    EXPECT_EQ(store.Parameters().maxEgt, 1050);
    ASSERT_EQ(store.ReceivedItems().size(), 2u);
    EXPECT_FALSE(store.ReceivedItems()[0].applied);
}

TEST(EcuParameterStore, ItemsForMissingParametersAndZeroIndexesAreIgnored) {
    EcuParameterStore store(Item(), Without({70, 41}));
    const auto outcome =
        store.ApplyRegister2(V({0xAA, 0x55, 39, 99, 65, 1, 2, 3, 4, 42, 0, 49, 50}));
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(store.Parameters().starterStopCoefficient, 30);
    EXPECT_EQ(store.Parameters().oxygenRpm, 10000);
    EXPECT_EQ(store.Parameters().preheatTimeIndex, 3);
    EXPECT_EQ(store.Parameters().maxEgt, 500);
    ASSERT_EQ(store.ReceivedItems().size(), 4u);
    EXPECT_FALSE(store.ReceivedItems()[0].applied);
    EXPECT_FALSE(store.ReceivedItems()[1].applied);
    EXPECT_FALSE(store.ReceivedItems()[2].applied);
    EXPECT_TRUE(store.ReceivedItems()[3].applied);
}

TEST(EcuParameterStore, ItemTemperatureCalibrationBothHeaders) {
    EcuParameterStore shortStore(Item());
    const auto a = shortStore.ApplyRegister2(V({0xAA, 0x55, 0xD4, 0x37, 22}));
    EXPECT_TRUE(a.accepted);
    EXPECT_EQ(a.calibrationAmbient, 22);
    EXPECT_FALSE(a.parametersChanged);
    EcuParameterStore extendedStore(Item(true));
    const auto b = extendedStore.ApplyRegister2(V({0xAA, 0x66, 0x04, 0xD4, 0x37, 30}));
    EXPECT_EQ(b.calibrationAmbient, 30);
    EXPECT_EQ(extendedStore.CalibrationCount(), 1);
    // A wrong marker byte is taken as no calibration.
    const auto c = shortStore.ApplyRegister2(V({0xAA, 0x55, 0xD4, 0x38, 22}));
    EXPECT_FALSE(c.calibrationAmbient.has_value());
    EXPECT_EQ(shortStore.CalibrationCount(), 1);
}

TEST(EcuParameterStore, AppliedItemsReadBackInThePackets) {
    EcuParameterStore store(Item());
    ASSERT_TRUE(store.ApplyRegister2(V({0xAA, 0x55, 49, 110, 16, 255, 1, 0})).accepted);
    Fields f1(store.EncodeParameterPacket(1));
    f1.Skip(4 + 4 + 5 + 8);
    EXPECT_EQ(f1(8), 255u); // temperature scale
    Fields f2(store.EncodeParameterPacket(2));
    f2.Skip(8 + 4 + 4);
    EXPECT_EQ(f2(7), 110u); // maximum EGT
    EXPECT_FALSE(store.Parameters().restartAllowed);
}

TEST(EcuParameterStore, WhichParametersExistInWhichGeneration) {
    const EcuParameterStore item(Item());
    const EcuParameterStore block(Block(3));
    for (int id : {10, 11, 12, 27, 30, 33, 44, 58, 62, 69}) {
        EXPECT_TRUE(item.Exists(id)) << id;
        EXPECT_FALSE(block.Exists(id)) << id;
    }
    for (int id : {50, 75, 79}) {
        EXPECT_FALSE(item.Exists(id)) << id;
        EXPECT_TRUE(block.Exists(id)) << id;
    }
    EXPECT_FALSE(item.Exists(0));
    EXPECT_FALSE(item.Exists(80));
    // A group goes as a whole; a parameter that is always there stays.
    const EcuParameterStore partial(Item(), Without({42, 13}));
    EXPECT_FALSE(partial.Supported(41));
    EXPECT_FALSE(partial.Supported(44));
    EXPECT_TRUE(partial.Supported(13));
}

TEST(EcuParameterStore, EveryTextIdReadsAndWritesItsField) {
    sim::EcuParameters p;
    for (int id = 1; id <= 79; ++id) {
        double before = 0;
        ASSERT_TRUE(sim::GetParameterByTextId(p, id, before)) << id;
        const double next =
            (id >= 27 && id <= 30) || id >= 72 || id == 54 ? (before != 0 ? 0 : 1) : before + 2;
        ASSERT_TRUE(sim::SetParameterByTextId(p, id, next)) << id;
        double after = 0;
        ASSERT_TRUE(sim::GetParameterByTextId(p, id, after));
        EXPECT_DOUBLE_EQ(after, next) << id;
    }
    EXPECT_EQ(p.valveSupply, 0x0A); // 0x05 with bits 0..3 each flipped
    double unused = 0;
    EXPECT_FALSE(sim::GetParameterByTextId(p, 80, unused));
    EXPECT_FALSE(sim::SetParameterByTextId(p, 0, 1));
}

TEST(EcuParameterStore, ItemValueLengths) {
    EXPECT_EQ(sim::ItemValueLength(1), 1);
    EXPECT_EQ(sim::ItemValueLength(49), 1);
    EXPECT_EQ(sim::ItemValueLength(60), 6);
    EXPECT_EQ(sim::ItemValueLength(63), 5);
    EXPECT_EQ(sim::ItemValueLength(69), 5);
    EXPECT_EQ(sim::ItemValueLength(0xD4), 2);
    for (uint8_t unknown : {0, 9, 14, 56, 64, 68, 70, 0xFF}) {
        EXPECT_EQ(sim::ItemValueLength(unknown), 0) << int(unknown);
    }
}
