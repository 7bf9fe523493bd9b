#include "EcuImages.h"

#include "engine/CEcuParameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Kind = CEcuCommitPlan::Kind;

std::string Text(const CEcuParameters& p, int id) {
    CEcuParameters::Text t;
    EXPECT_EQ(p.getText(id, t), 1) << id;
    return t.text;
}

bool Supported(const CEcuParameters& p, int id) {
    CEcuParameters::Text t;
    EXPECT_EQ(p.getText(id, t), 1) << id;
    return t.supported;
}

// (id, value bytes) of every pending item, head first.
std::vector<std::vector<uint8_t>> Pending(const CEcuParameters& p) {
    std::vector<std::vector<uint8_t>> out;
    for (CMNode* n = p.pendingItems().GetHead(); n != nullptr; n = n->next) {
        const auto* item = static_cast<const CDeviceECUCmdMode*>(n);
        std::vector<uint8_t> v{item->parameterId};
        for (uint8_t b : item->Value()) {
            v.push_back(b);
        }
        out.push_back(v);
    }
    return out;
}

class ItemParameters : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(LoadItem(p, fields), 1); }
    ItemParamFields fields;
    CEcuParameters p;
};

TEST_F(ItemParameters, ReadDecidesTheItemGeneration) {
    EXPECT_TRUE(p.itemProtocol());
    EXPECT_EQ(p.generation(), EcuGeneration::Item);
    EXPECT_FALSE(p.extendedItems());
    EXPECT_EQ(p.engineName(), "Item Jet");
    EXPECT_EQ(p.namePage()[29], 0x34);
    EXPECT_EQ(p.egtCorrection(), 5);
    EXPECT_EQ(p.pumpTypeMask(), 0x7);
    EXPECT_EQ(p.highestCurrentIndex(), 20);
    EXPECT_EQ(p.telemetryProtocolMask(), 0x3F);
    EXPECT_EQ(p.telemetryProtocol(), 2);
    EXPECT_EQ(p.pumpMode(), 1);
    EXPECT_EQ(p.temperatureUnit(), 0);
    EXPECT_EQ(p.auxValue(), 5);
}

struct TextCase {
    int id;
    const char* text;
    int32_t value;
};

TEST_F(ItemParameters, EveryFieldOfBothPacketsLandsInItsParameter) {
    const TextCase cases[] = {
        {1, "1900", 1900},
        {2, "1100", 1100},
        {3, "1200", 1200},
        {4, "2.5", 2},
        {5, "3", 3},
        {6, "0", 0},
        {7, "2", 2},
        {8, "2", 2},
        {9, "1", 1},
        {13, "900", 900},
        {14, "10.0", 10},
        {15, "0.4", 0},
        {16, "1.2", 1},
        {17, "0.8", 0},
        {18, "20", 20},
        {19, "7", 7},
        {20, "5000", 5000},
        {21, "3000", 3000},
        {22, "0.10", 0},
        {23, "40", 40},
        {24, "1", 1},
        {25, "6", 6},
        {26, "7", 7},
        {27, "1", 1},
        {28, "0", 0},
        {29, "1", 1},
        {30, "0", 0},
        {31, "100", 100},
        {32, "3", 3},
        {33, "30000", 30000},
        {34, "50000", 50000},
        {35, "4", 4},
        {36, "6", 6},
        {37, "40000", 40000},
        {38, "22.0", 22},
        {39, "5", 5},
        {40, "34.0", 34},
        {41, "20000", 20000},
        {42, "0.25", 0},
        {43, "3.60", 3},
        {44, "1.5", 1},
        {45, "6.0", 6},
        {46, "6.2", 6},
        {47, "7", 7},
        {48, "5000", 5000},
        {49, "25000", 25000},
        {51, "32000", 32000},
        {52, "50000", 50000},
        {53, "160000", 160000},
        {54, "1", 1},
        {55, "3.00", 3},
        {56, "6", 6},
        {57, "11", 11},
        {58, "2.00", 2},
        {59, "1.00", 1},
        {60, "2.000", 2},
        {61, "9", 9},
        {62, "0.8", 0},
        {63, "6", 6},
        {64, "0", 0},
        {65, "40", 40},
        {66, "45", 45},
        {67, "3.60", 3},
        {68, "165000", 165000},
        {69, "1", 1},
        {70, "13", 13},
        {71, "100", 100},
        {72, "0", 0},
        {73, "0", 0},
        {74, "0", 0},
        {76, "0", 0},
        {77, "1", 1},
        {78, "1", 1},
    };
    for (const TextCase& c : cases) {
        CEcuParameters::Text t;
        ASSERT_EQ(p.getText(c.id, t), 1);
        EXPECT_EQ(t.text, c.text) << "text id " << c.id;
        EXPECT_EQ(t.value, c.value) << "text id " << c.id;
    }
}

TEST_F(ItemParameters, ParametersOfTheOtherGenerationAreUnsupported) {
    for (int id : {50, 75, 79, 76}) {
        EXPECT_FALSE(Supported(p, id)) << id;
    }
    EXPECT_EQ(p.setParameter(50, 5), 1);
    EXPECT_EQ(p.pendingItems().GetCount(), 0);
    CEcuParameters::Text t;
    EXPECT_EQ(p.getText(0, t), 0);
    EXPECT_EQ(p.getText(80, t), 0);
    EXPECT_EQ(p.setFromText(80, "1", 1), 0);
}

TEST_F(ItemParameters, MaxEgt1200SendsItem49WithValue110) {
    p.setParameter(EcuTextId::MaxEgt, 1200);
    EXPECT_EQ(Text(p, 13), "1100");
    const CEcuCommitPlan plan = p.buildCommit();
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(Bytes(plan.writes()[0].bytes()), (std::vector<uint8_t>{0xAA, 0x55, 49, 110}));
    EXPECT_EQ(plan.writes()[0].reg, 2);
    EXPECT_EQ(plan.writes()[0].delayMs, 20);
    EXPECT_EQ(plan.writes()[0].pauseAfterMs, 50);
}

TEST_F(ItemParameters, ChangingBackToTheReadValueRemovesTheItem) {
    p.setParameter(EcuTextId::GlowPlugStartVoltage, 7.0);
    p.setParameter(EcuTextId::GlowPlugRestartVoltage, 7.5);
    ASSERT_EQ(p.pendingItems().GetCount(), 2);
    // Back to the 6.2 V read, whatever the start voltage is.
    p.setFromText(EcuTextId::GlowPlugRestartVoltage, "6.2", 0);
    EXPECT_EQ(Pending(p), (std::vector<std::vector<uint8_t>>{{40, 70}}));
    EXPECT_EQ(Text(p, 46), "6.2");
}

TEST_F(ItemParameters, TwoChangesLeaveOneItemWithTheLastValue) {
    p.setParameter(EcuTextId::CoolingRpm, 6000);
    p.setParameter(EcuTextId::CoolingRpm, 7000);
    EXPECT_EQ(Pending(p), (std::vector<std::vector<uint8_t>>{{17, 70}}));
}

TEST_F(ItemParameters, TemperatureScaleAcceptsTheWholeByte) {
    const struct {
        double in;
        const char* out;
    } cases[] = {{0, "0"}, {255, "255"}, {300, "255"}, {-5, "0"}, {149.7, "149"}};
    for (const auto& c : cases) {
        p.setParameter(EcuTextId::TemperatureScale, c.in);
        EXPECT_EQ(Text(p, EcuTextId::TemperatureScale), c.out) << c.in;
    }
}

TEST_F(ItemParameters, RunPumpLimitIsSentFirst) {
    p.setParameter(EcuTextId::RunPumpLimit, 4.0);    // item 28, order key 1
    p.setParameter(EcuTextId::MaxEgt, 1000);         // item 49
    p.setParameter(EcuTextId::TemperatureScale, 90); // item 16
    EXPECT_EQ(Pending(p), (std::vector<std::vector<uint8_t>>{{28, 20}, {16, 90}, {49, 100}}));
}

TEST(CEcuParametersItem, ShortFramesCarryAtMost14OneByteItems) {
    for (bool extended : {false, true}) {
        ItemParamFields f;
        f.extended = extended ? 1 : 0;
        CEcuParameters p;
        ASSERT_EQ(LoadItem(p, f), 1);
        ASSERT_EQ(p.extendedItems(), extended);
        // 20 one-byte changes.
        const int ids[] = {4,  5,  7,  13, 14, 15, 16, 17, 18, 19,
                           20, 21, 65, 23, 31, 32, 45, 46, 48, 49};
        for (int id : ids) {
            CEcuParameters::Text t;
            ASSERT_EQ(p.getText(id, t), 1);
            p.setParameter(id, p.value(id) == 0 ? 1 : p.value(id) * 0.9);
        }
        ASSERT_EQ(p.pendingItems().GetCount(), 20) << extended;
        const CEcuCommitPlan plan = p.buildCommit();
        const size_t perFrame = extended ? 10 : 14;
        ASSERT_EQ(plan.size(), 2u) << extended;
        const auto& first = plan.writes()[0];
        EXPECT_EQ(first.length, extended ? 32 : 30);
        EXPECT_EQ(first.data[1], extended ? 0x66 : 0x55);
        EXPECT_EQ(plan.entries()[0].items.size(), perFrame);
        EXPECT_EQ(plan.entries()[1].items.size(), 20 - perFrame);
        if (extended) {
            EXPECT_EQ(first.data[2], 3); // length byte = item length + 1
        }
    }
}

TEST_F(ItemParameters, AGroupItemIsBuiltFromAllMembers) {
    p.setParameter(EcuTextId::FuelRampStage2Pump, 9);
    EXPECT_EQ(Pending(p), (std::vector<std::vector<uint8_t>>{{60, 150, 0, 250, 0, 4, 9}}));
    p.setParameter(EcuTextId::FuelRampStage1Rpm, 40000);
    EXPECT_EQ(Pending(p), (std::vector<std::vector<uint8_t>>{{60, 200, 0, 250, 0, 4, 9}}));
    // One member back: still pending; both back: removed.
    p.setParameter(EcuTextId::FuelRampStage2Pump, 6);
    EXPECT_EQ(p.pendingItems().GetCount(), 1);
    p.setFromText(EcuTextId::FuelRampStage1Rpm, "30000", 0);
    EXPECT_EQ(p.pendingItems().GetCount(), 0);
}

TEST_F(ItemParameters, GroupEncodingsFollowTheLayout) {
    p.setFromText(EcuTextId::AltitudeRunPressure, "70.4", 0);
    p.setFromText(EcuTextId::AltitudeStartPressure, "30", 0);
    p.setFromText(EcuTextId::CalibrationValue2, "-1.3", 0);
    p.setFromText(EcuTextId::CalibrationValue3, "25", 0);
    p.setFromText(EcuTextId::OxygenStartPumpVoltage, "12.5", 0);
    auto pending = Pending(p);
    std::sort(pending.begin(), pending.end());
    EXPECT_EQ(pending,
              (std::vector<std::vector<uint8_t>>{
                  {61, 80, 252},
                  {62, 5, 0},
                  {63, 100, 35, 0xA0, 0x0F, 9}, // value 3 = 20 x 200 = 4000
                  {65, 100, 25, 250, 15},
              }));
    EXPECT_EQ(Text(p, 38), "70.4");
    EXPECT_EQ(Text(p, 40), "30.0");
    EXPECT_EQ(Text(p, 59), "-1.30");
    EXPECT_EQ(Text(p, 60), "20.000");
    EXPECT_EQ(Text(p, 43), "12.50");
}

TEST(CEcuParametersItem, UnsupportedParametersChangeNothing) {
    ItemParamFields f;
    f.baud = 0;          // index field 0: not supported
    f.valveVoltage1 = 0; // valve supply selections follow valve voltage 1
    f.altRun = 0;
    f.calibration = 0;
    f.ignitionPump = 0;
    f.protocols = 0x1F; // no CANBus: no CAN group
    CEcuParameters p;
    ASSERT_EQ(LoadItem(p, f), 1);
    const int ids[] = {8, 25, 27, 28, 29, 30, 37, 38, 58, 59, 60, 61, 62, 10, 11, 12};
    for (int id : ids) {
        const std::string before = Text(p, id);
        EXPECT_EQ(p.setFromText(id, "3", 1), 1) << id;
        EXPECT_EQ(Text(p, id), before) << id;
        EXPECT_FALSE(Supported(p, id)) << id;
    }
    EXPECT_EQ(p.pendingItems().GetCount(), 0);
    EXPECT_FALSE(p.groupSupported(61));
    EXPECT_TRUE(p.groupSupported(62));
}

TEST_F(ItemParameters, CanGroupKeepsTheValuesCommittedThisSession) {
    ASSERT_TRUE(p.groupSupported(69));
    EXPECT_EQ(Text(p, 10), "0000000");
    p.setFromText(EcuTextId::CanAddress, "1230", 0);
    EXPECT_EQ(Text(p, 10), "0001230");
    EXPECT_EQ(Pending(p), (std::vector<std::vector<uint8_t>>{{69, 0x23, 0x01, 0, 0, 0}}));
    p.setFromText(EcuTextId::CanAddress, "0", 0);
    EXPECT_EQ(p.pendingItems().GetCount(), 0);

    p.setFromText(EcuTextId::CanAddress, "ABCDEF0", 0);
    p.setFromText(EcuTextId::CanValue2, "500", 0); // shown as "50" then "0"
    p.setParameter(EcuTextId::CanValue3, 9);       // clamped to 7
    const CEcuCommitPlan plan = p.buildCommit();
    p.commitDone(plan, plan.size());
    EXPECT_EQ(p.pendingItems().GetCount(), 0);
    // A reread does not report the group; the committed values stay.
    ASSERT_EQ(LoadItem(p, fields), 1);
    EXPECT_EQ(Text(p, 10), "ABCDEF0");
    EXPECT_EQ(Text(p, 11), "500");
    EXPECT_EQ(Text(p, 12), "7");
    p.setFromText(EcuTextId::CanValue3, "7", 0);
    EXPECT_EQ(p.pendingItems().GetCount(), 0);
    p.reset();
    ASSERT_EQ(LoadItem(p, fields), 1);
    EXPECT_EQ(Text(p, 10), "0000000");
}

TEST_F(ItemParameters, EmptyCommitWritesNothingAndMarksDirty) {
    EXPECT_FALSE(p.dirty());
    const CEcuCommitPlan plan = p.buildCommit();
    EXPECT_TRUE(plan.empty());
    p.commitDone(plan, 0);
    EXPECT_TRUE(p.dirty());
}

TEST_F(ItemParameters, AFailedWriteKeepsThatFramesItemsAndAllLater) {
    for (int id : {4, 5, 7, 13, 14, 15, 16, 17, 18, 19, 20, 21, 65, 23, 31, 32}) {
        p.setParameter(id, p.value(id) == 0 ? 1 : p.value(id) * 0.9);
    }
    ASSERT_EQ(p.pendingItems().GetCount(), 16);
    CEcuCommitPlan plan = p.buildCommit();
    ASSERT_EQ(plan.size(), 2u);
    p.commitDone(plan, 0); // the first write failed
    EXPECT_EQ(p.pendingItems().GetCount(), 16);
    EXPECT_FALSE(p.dirty());
    p.commitDone(plan, 1); // retry: the first frame went, the second failed
    EXPECT_EQ(p.pendingItems().GetCount(), 2);
    EXPECT_FALSE(p.dirty());
    plan = p.buildCommit();
    ASSERT_EQ(plan.size(), 1u);
    p.commitDone(plan, 1);
    EXPECT_EQ(p.pendingItems().GetCount(), 0);
    EXPECT_TRUE(p.dirty());
}

TEST_F(ItemParameters, AChangeMadeAfterBuildingStaysPending) {
    p.setParameter(EcuTextId::MaxEgt, 1000);
    const CEcuCommitPlan plan = p.buildCommit();
    p.setParameter(EcuTextId::MaxEgt, 1050);
    p.commitDone(plan, plan.size());
    EXPECT_EQ(Pending(p), (std::vector<std::vector<uint8_t>>{{49, 105}}));
}

TEST_F(ItemParameters, PendingItemsSurviveAReadAndRequestRereadDiscardsThem) {
    p.setParameter(EcuTextId::MaxEgt, 1000);
    p.markDirty();
    ASSERT_EQ(LoadItem(p, fields), 1);
    EXPECT_FALSE(p.dirty());
    EXPECT_EQ(p.pendingItems().GetCount(), 1);
    EXPECT_EQ(Text(p, 13), "1000");
    p.requestReread();
    EXPECT_TRUE(p.dirty());
    EXPECT_EQ(p.pendingItems().GetCount(), 0);
    EXPECT_EQ(Text(p, 13), "900");
}

TEST_F(ItemParameters, ADirtyMarkDuringAReadSurvivesIt) {
    p.markDirty();
    CEcuParameterRead read = p.beginRead();
    p.markDirty(); // e.g. a command succeeded while the block was being read
    for (const auto& page : {fields.packet1(), fields.packet2(), NamePage("x")}) {
        read.feed(page);
    }
    ASSERT_EQ(read.state(), CEcuParameterRead::State::Complete);
    EXPECT_EQ(p.applyRead(read), 1);
    EXPECT_TRUE(p.dirty());
}

TEST_F(ItemParameters, StatedRangesClampAndIgnoreAsTheyShould) {
    p.setFromText(EcuTextId::TelemetryStopBitsIndex, "", 3); // larger: ignored
    EXPECT_EQ(Text(p, 9), "1");
    p.setFromText(EcuTextId::TelemetryStopBitsIndex, "", 0);
    EXPECT_EQ(Text(p, 9), "0");
    EXPECT_EQ(p.setPumpMode(4), 1); // ignored
    EXPECT_EQ(p.pumpMode(), 1);
    p.setPumpMode(2);
    EXPECT_EQ(p.pumpMode(), 2);
    p.setFromText(EcuTextId::PumpIdleSensitivity, "0", 0); // 0 becomes 1
    EXPECT_EQ(Text(p, 56), "1");
    // 25 V would come back as 12.2 V from the 7-bit read-back: held at 12.7 V.
    p.setFromText(EcuTextId::PumpTestMaxVoltage, "25", 0);
    EXPECT_EQ(Text(p, 55), "12.70");
    EXPECT_EQ(p.itemValue(27), 127u);
    p.setTelemetryProtocol(9);
    EXPECT_EQ(p.telemetryProtocol(), 7);
    p.setTemperatureUnit(1);
    EXPECT_EQ(p.temperatureUnit(), 1);
    EXPECT_NE(p.pendingItems().FindItem(7), nullptr);
}

TEST_F(ItemParameters, TextParsing) {
    p.setFromText(EcuTextId::IgnitionPumpVoltage, " 2.3", 0); // 2.3 x 50 is 114.99..
    EXPECT_EQ(p.itemValue(26), 115u);
    p.setFromText(EcuTextId::CalibrationValue3, "1.15", 0); // x 200 is 229.99..
    EXPECT_EQ(Text(p, 60), "1.150");
    p.setFromText(EcuTextId::StarterEjectVoltage, "abc", 0); // gives 0, clamped to 1 V
    EXPECT_EQ(Text(p, 16), "1.0");
    p.setFromText(EcuTextId::StarterEjectVoltage, "+4.5V", 0);
    EXPECT_EQ(Text(p, 16), "4.5");
    p.setFromText(EcuTextId::StarterEjectVoltage, "nan", 0);
    EXPECT_EQ(Text(p, 16), "1.0");
    // Integer ids ignore the text.
    p.setFromText(EcuTextId::BusThrottleChannel, "7", 5);
    EXPECT_EQ(Text(p, 5), "5");
    p.setFromText(EcuTextId::CanAddress, "0x10", 0);
    EXPECT_EQ(Text(p, 10), "0000010");
    p.setFromText(EcuTextId::CanAddress, "FFFFFFFFFFFF", 0); // saturates, clamped
    EXPECT_EQ(Text(p, 10), "FFFFFF0");
}

TEST(CEcuParametersItem, ReadClampsTheCalibrationValues) {
    ItemParamFields f;
    f.cal2 = 255; // 3.1 read
    f.cal3 = 0;   // 0.0 read
    CEcuParameters p;
    ASSERT_EQ(LoadItem(p, f), 1);
    EXPECT_EQ(Text(p, 59), "3.00");
    EXPECT_EQ(Text(p, 60), "0.100");
}

TEST(CEcuParametersItem, ExtendedItemsChangeTheFrameHeader) {
    ItemParamFields f;
    f.extended = 1;
    CEcuParameters p;
    ASSERT_EQ(LoadItem(p, f), 1);
    p.setParameter(EcuTextId::MaxEgt, 1200);
    p.setParameter(EcuTextId::AltitudeStartPumpRamp, 9);
    const CEcuCommitPlan plan = p.buildCommit();
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(Bytes(plan.writes()[0].bytes()),
              (std::vector<uint8_t>{0xAA, 0x66, 4, 62, 9, 20, 3, 49, 110}));
    const auto cal = p.temperatureCalibration(24);
    ASSERT_EQ(cal.size(), 1u);
    EXPECT_EQ(Bytes(cal[0].bytes()), (std::vector<uint8_t>{0xAA, 0x66, 0x04, 0xD4, 0x37, 24}));
}

TEST(CEcuParametersItem, ReadSequenceAndItsFailures) {
    ItemParamFields f;
    {
        // n = 3: a third packet is counted, then the name page.
        FakeEcuRegisters regs;
        regs.reg2 = {f.packet2(BitPacker::Header(3, 2)),
                     BitPacker(BitPacker::Header(3, 3)).bytes,
                     f.packet1(BitPacker::Header(3, 1))};
        regs.reg14 = NamePage("Three");
        CEcuParameters p;
        EXPECT_EQ(regs.load(p), 1);
        EXPECT_EQ(regs.reads, 4);
        EXPECT_EQ(p.engineName(), "Three");
        EXPECT_EQ(Text(p, 13), "900");
    }
    {
        // A failed second packet: nothing changes.
        FakeEcuRegisters regs;
        regs.reg2 = {f.packet1()};
        CEcuParameters p;
        p.markDirty();
        EXPECT_EQ(regs.load(p), 0);
        EXPECT_EQ(p.generation(), EcuGeneration::Unknown);
        EXPECT_TRUE(p.dirty());
    }
    {
        // A failed name page still applies the parameters.
        FakeEcuRegisters regs;
        regs.reg2 = {f.packet1(), f.packet2()};
        regs.hasReg14 = false;
        CEcuParameters p;
        EXPECT_EQ(regs.load(p), 1);
        EXPECT_EQ(p.engineName(), "");
    }
    {
        // A packet set that never completes ends after the read limit.
        FakeEcuRegisters regs;
        regs.reg2.assign(40, f.packet1());
        CEcuParameters p;
        EXPECT_EQ(regs.load(p), 0);
        EXPECT_EQ(regs.reads, CEcuPacketSet::kMaxReads);
    }
    {
        // Not a packet header and not a block format: malformed.
        for (uint8_t b0 : {0x00, 0x01, 0x05, 0x09 /* n=1, k=1 */, 0x40}) {
            FakeEcuRegisters regs;
            std::array<uint8_t, 32> page{};
            page[0] = b0;
            regs.reg2 = {page};
            CEcuParameters p;
            EXPECT_EQ(regs.load(p), 0) << int(b0);
            EXPECT_EQ(regs.reads, 1);
        }
    }
}

TEST_F(ItemParameters, AReadOfTheOtherGenerationIsRejected) {
    FakeEcuRegisters regs;
    regs.reg2 = {BlockPages::Typical().p1};
    regs.reg3 = BlockPages::Typical().p2;
    EXPECT_EQ(regs.load(p), 0);
    EXPECT_TRUE(p.itemProtocol());
    EXPECT_EQ(Text(p, 13), "900");
}

TEST(CEcuParametersItem, NothingIsSupportedBeforeTheFirstRead) {
    CEcuParameters p;
    for (int id = EcuTextId::First; id <= EcuTextId::Last; ++id) {
        EXPECT_FALSE(Supported(p, id)) << id;
        EXPECT_EQ(p.setParameter(id, 1), 1);
    }
    EXPECT_FALSE(p.hasPendingChanges());
    EXPECT_TRUE(p.buildCommit().empty());
    EXPECT_TRUE(p.temperatureCalibration(20).empty());
    EXPECT_EQ(p.setEngineName("x"), 0);
}

} // namespace
