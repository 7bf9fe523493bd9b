#include "EcuImages.h"

#include "engine/CEcuParameters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = CEcuCommitPlan::Kind;

std::string Text(const CEcuParameters& p, int id) {
    CEcuParameters::Text t;
    EXPECT_EQ(p.getText(id, t), 1) << id;
    return t.text;
}

CEcuParameters::Text Get(const CEcuParameters& p, int id) {
    CEcuParameters::Text t;
    EXPECT_EQ(p.getText(id, t), 1) << id;
    return t;
}

std::vector<Kind> Kinds(const CEcuCommitPlan& plan) {
    std::vector<Kind> kinds;
    for (const auto& e : plan.entries()) {
        kinds.push_back(e.kind);
    }
    return kinds;
}

class BlockParameters : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(LoadBlock(p), 1); }
    CEcuParameters p;
};

TEST_F(BlockParameters, ReadDecidesTheBlockGeneration) {
    EXPECT_FALSE(p.itemProtocol());
    EXPECT_EQ(p.generation(), EcuGeneration::Block);
    EXPECT_EQ(p.formatVersion(), 3);
    EXPECT_FALSE(p.doubleRange());
    EXPECT_EQ(p.engineName(), "Block Jet");
    EXPECT_EQ(p.egtCorrection(), 5);
    EXPECT_EQ(p.pumpTypeMask(), 7);
    EXPECT_EQ(p.highestCurrentIndex(), 21);
    EXPECT_EQ(p.auxValue(), 5);
    EXPECT_EQ(p.pumpMode(), 1);
    EXPECT_EQ(p.telemetryProtocol(), 2);
    EXPECT_EQ(p.telemetryProtocolMask(), 0);
    EXPECT_EQ(p.temperatureUnit(), 0);
}

TEST_F(BlockParameters, EveryPageFieldLandsInItsParameter) {
    const struct {
        int id;
        const char* text;
    } cases[] = {
        {1, "1900"},  {2, "1100"},    {3, "1200"},   {4, "2.5"},     {5, "3"},     {6, "4"},
        {7, "2"},     {8, "2"},       {9, "2"},      {13, "900"},    {14, "10.0"}, {15, "0.4"},
        {16, "1.2"},  {17, "0.8"},    {18, "20"},    {19, "7"},      {20, "5000"}, {21, "3000"},
        {22, "0.10"}, {23, "40"},     {24, "2"},     {25, "6"},      {26, "7"},    {31, "100"},
        {32, "3"},    {45, "6.0"},    {46, "6.2"},   {47, "7"},      {48, "5000"}, {49, "25000"},
        {50, "0.50"}, {51, "32000"},  {52, "50000"}, {53, "160000"}, {54, "1"},    {55, "3.00"},
        {56, "6"},    {57, "12"},     {63, "6"},     {64, "1"},      {65, "40"},   {66, "45"},
        {67, "3.60"}, {68, "165000"}, {70, "13"},    {71, "100"},    {72, "0"},    {73, "1"},
        {74, "0"},    {75, "1"},      {76, "0"},     {77, "1"},      {78, "0"},    {79, "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(p, c.id), c.text) << "text id " << c.id;
    }
    for (int id : {10, 11, 12, 27, 28, 29, 30, 33, 37, 41, 44, 58, 61, 62, 69}) {
        EXPECT_FALSE(Get(p, id).supported) << id;
    }
}

TEST_F(BlockParameters, MaxEgt1200Stores100) {
    p.setParameter(EcuTextId::MaxEgt, 1200);
    EXPECT_EQ(p.page1()[6], 100);
    EXPECT_EQ(Text(p, 13), "1000");
}

TEST(CEcuParametersBlock, CoolingRpmScaleFollowsTheFormat) {
    const struct {
        uint8_t format;
        uint8_t stored;
    } cases[] = {{2, 5}, {3, 25}, {4, 25}};
    for (const auto& c : cases) {
        CEcuParameters p;
        ASSERT_EQ(LoadBlock(p, BlockPages::Typical(c.format)), 1);
        p.setParameter(EcuTextId::CoolingRpm, 4000);
        p.setParameter(EcuTextId::CoolingRpm, 5000);
        EXPECT_EQ(p.page1()[12], c.stored) << int(c.format);
        EXPECT_EQ(Text(p, 20), "5000");
    }
}

TEST(CEcuParametersBlock, FormatDependentRanges) {
    const struct {
        uint8_t format;
        int id;
        double value;
        uint8_t byte;
        uint8_t stored;
    } cases[] = {
        {3, EcuTextId::MinBatteryVoltage, 20, 7, 120},
        {4, EcuTextId::MinBatteryVoltage, 20, 7, 168},
        {3, EcuTextId::IgnitionPumpVoltage, 4, 14, 250},   // x 100 up to 2.5
        {4, EcuTextId::IgnitionPumpVoltage, 4, 14, 200},   // x 50 up to 5
        {3, EcuTextId::GlowPlugStartVoltage, 0, 16, 4},    // 0.4 V at least
        {4, EcuTextId::GlowPlugStartVoltage, 0, 16, 10},   // 1 V at least
        {2, EcuTextId::ClutchReleaseRpm, 300000, 21, 250}, // / 1000
        {2, EcuTextId::ClutchReleaseRpm, 0, 21, 10},
        {3, EcuTextId::ClutchReleaseRpm, 300000, 21, 240}, // / 500
        {2, EcuTextId::RunMaxRpm, 300000, 26, 250},
        {3, EcuTextId::RunMinRpm, 0, 24, 1},
    };
    for (const auto& c : cases) {
        CEcuParameters p;
        ASSERT_EQ(LoadBlock(p, BlockPages::Typical(c.format)), 1);
        p.setParameter(c.id, c.value);
        EXPECT_EQ(p.page1()[c.byte], c.stored) << "format " << int(c.format) << " id " << c.id;
    }
}

TEST(CEcuParametersBlock, DoubleRangeVoltages) {
    BlockPages b = BlockPages::Typical();
    b.p1[20] |= 0x80;
    CEcuParameters p;
    ASSERT_EQ(LoadBlock(p, b), 1);
    ASSERT_TRUE(p.doubleRange());
    EXPECT_EQ(Text(p, 50), "1.00"); // 10 x 0.1 V
    EXPECT_EQ(Text(p, 67), "7.20");
    EXPECT_FLOAT_EQ(p.telemetryContext().blockPumpVoltage, 1.0f);
    p.setParameter(EcuTextId::BlockIgnitionPumpVoltage, 16.8);
    p.setParameter(EcuTextId::RunPumpLimit, 20);
    EXPECT_EQ(p.page1()[23], 168);
    EXPECT_EQ(p.page2()[1], 168);

    CEcuParameters q;
    ASSERT_EQ(LoadBlock(q), 1);
    q.setParameter(EcuTextId::BlockIgnitionPumpVoltage, 16.8); // 10 V, x 20
    q.setParameter(EcuTextId::RunPumpLimit, 0);                // 0.1 V, x 20
    EXPECT_EQ(q.page1()[23], 200);
    EXPECT_EQ(q.page2()[1], 2);
}

TEST_F(BlockParameters, TemperatureScaleClampsTo50To150) {
    const struct {
        double in;
        uint8_t stored;
    } cases[] = {{0, 50}, {255, 150}, {120, 120}, {-1, 50}};
    for (const auto& c : cases) {
        p.setParameter(EcuTextId::TemperatureScale, c.in);
        EXPECT_EQ(p.page2()[7], c.stored) << c.in;
    }
}

TEST_F(BlockParameters, PolePairsStayInsideTheirFiveBits) {
    const uint8_t otherBits = p.page2()[12] & 0xE0;
    const struct {
        double in;
        uint8_t stored;
    } cases[] = {{32, 31}, {40, 31}, {1, 2}, {0, 2}, {17, 17}};
    for (const auto& c : cases) {
        p.setParameter(EcuTextId::StarterPolePairs, c.in);
        EXPECT_EQ(p.page2()[12] & 0x1F, c.stored) << c.in;
        EXPECT_EQ(p.page2()[12] & 0xE0, otherBits) << c.in;
    }
}

// Extreme values for every settable parameter change only that parameter's
// bits of the page images.
TEST(CEcuParametersBlock, NoSetterWritesOutsideItsField) {
    struct Field {
        int id;
        int page;
        int byte;
        uint8_t mask;
    };
    const Field fields[] = {
        {4, 1, 5, 0xFF},   {5, 1, 20, 0x07},  {6, 2, 2, 0x1F},   {7, 1, 20, 0x70},
        {8, 1, 31, 0x0F},  {9, 1, 31, 0xF0},  {13, 1, 6, 0xFF},  {14, 1, 7, 0xFF},
        {15, 1, 8, 0xFF},  {16, 1, 9, 0xFF},  {17, 1, 10, 0xFF}, {18, 1, 11, 0xFF},
        {19, 2, 12, 0x1F}, {20, 1, 12, 0xFF}, {21, 1, 13, 0xFF}, {22, 1, 14, 0xFF},
        {23, 1, 17, 0x0F}, {24, 2, 8, 0x07},  {25, 2, 13, 0xFF}, {26, 2, 14, 0xFF},
        {31, 1, 15, 0x0F}, {32, 1, 19, 0x0F}, {45, 1, 16, 0xFF}, {46, 1, 22, 0xFF},
        {47, 2, 6, 0xF0},  {48, 1, 18, 0xFF}, {49, 1, 21, 0xFF}, {50, 1, 23, 0xFF},
        {51, 1, 24, 0xFF}, {52, 1, 25, 0xFF}, {53, 1, 26, 0xFF}, {55, 2, 4, 0xFF},
        {56, 2, 3, 0x0F},  {57, 2, 8, 0xF8},  {63, 2, 10, 0x07}, {64, 2, 12, 0xE0},
        {65, 1, 28, 0xFF}, {66, 1, 29, 0xFF}, {67, 2, 1, 0xFF},  {68, 1, 30, 0xFF},
        {70, 2, 17, 0xFF}, {71, 2, 7, 0xFF},  {73, 2, 9, 0x01},  {74, 2, 9, 0x02},
        {75, 2, 9, 0x04},  {76, 2, 9, 0x08},  {77, 2, 9, 0x10},  {78, 2, 9, 0x20},
        {79, 2, 9, 0x40},
    };
    for (uint8_t format : {2, 3, 4}) {
        for (const Field& f : fields) {
            BlockPages b = BlockPages::Typical(format);
            // Foreign bits set, so a stray write shows.
            b.p1[15] = 0xF0 | 10;
            b.p1[17] = 0xF0 | 8;
            b.p2[9] = 0x80;
            CEcuParameters p;
            ASSERT_EQ(LoadBlock(p, b), 1);
            double shown[2] = {};
            for (int i = 0; i < 2; ++i) {
                p.setParameter(f.id, i == 0 ? -1e9 : 1e9);
                shown[i] = p.value(f.id);
                for (int k = 0; k < 32; ++k) {
                    const uint8_t m1 = (f.page == 1 && f.byte == k) ? f.mask : 0;
                    const uint8_t m2 = (f.page == 2 && f.byte == k) ? f.mask : 0;
                    EXPECT_EQ(p.page1()[k] & ~m1, b.p1[k] & ~m1)
                        << "format " << int(format) << " id " << f.id << " byte " << k;
                    EXPECT_EQ(p.page2()[k] & ~m2, b.p2[k] & ~m2)
                        << "format " << int(format) << " id " << f.id << " byte " << k;
                }
            }
            // No wrap: the largest value never shows below the smallest.
            if (f.id < EcuTextId::ReduceCoolingTime) {
                EXPECT_GT(shown[1], shown[0]) << "format " << int(format) << " id " << f.id;
            }
        }
    }
}

TEST_F(BlockParameters, CommitWritesBothPagesThenPendingCommands) {
    p.setParameter(EcuTextId::MaxEgt, 950);
    CEcuCommitPlan plan = p.buildCommit();
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan.writes()[0].reg, 2);
    EXPECT_EQ(plan.writes()[1].reg, 3);
    EXPECT_EQ(plan.writes()[0].length, 32);
    EXPECT_EQ(plan.writes()[0].data[6], 95);
    EXPECT_EQ(plan.writes()[0].data[0], 3); // the format byte as read
    EXPECT_EQ(Bytes(plan.writes()[1].bytes()), Bytes(p.page2()));
    for (const auto& w : plan.writes()) {
        EXPECT_EQ(w.delayMs, 20);
        EXPECT_EQ(w.pauseAfterMs, 50);
    }

    p.setParameter(EcuTextId::RestartAllowed, 0);
    p.setParameter(EcuTextId::RpmControl, 1);
    p.setEngineName("Turbine 2");
    plan = p.buildCommit();
    ASSERT_EQ(
        Kinds(plan),
        (std::vector<Kind>{
            Kind::Page, Kind::Page, Kind::RestartAllowed, Kind::RpmControl, Kind::EngineName}));
    EXPECT_EQ(Bytes(plan.writes()[2].bytes()), (std::vector<uint8_t>{0xFF, 0x02, 0x77}));
    EXPECT_EQ(Bytes(plan.writes()[3].bytes()), (std::vector<uint8_t>{0xFF, 0x0A, 0x55}));
    const auto& name = plan.writes()[4];
    ASSERT_EQ(name.length, 32);
    EXPECT_EQ(Bytes(name.bytes().first(4)), (std::vector<uint8_t>{0xFF, 0x05, 0x3A, 0x56}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(name.data.data() + 4)), "Turbine 2");
    EXPECT_EQ(name.data[31], 0);

    // The restart command was sent; the RPM-control write failed.
    p.commitDone(plan, 3);
    EXPECT_FALSE(p.dirty());
    plan = p.buildCommit();
    EXPECT_EQ(Kinds(plan),
              (std::vector<Kind>{Kind::Page, Kind::Page, Kind::RpmControl, Kind::EngineName}));
    p.commitDone(plan, plan.size());
    EXPECT_TRUE(p.dirty());
    EXPECT_EQ(Kinds(p.buildCommit()), (std::vector<Kind>{Kind::Page, Kind::Page}));
    EXPECT_EQ(p.engineName(), "Turbine 2");
}

TEST_F(BlockParameters, ASwitchBackToTheReadValueCancelsItsCommand) {
    p.setParameter(EcuTextId::RestartAllowed, 0);
    EXPECT_EQ(Text(p, 54), "0");
    p.setFromText(EcuTextId::RestartAllowed, "", 1);
    EXPECT_EQ(Kinds(p.buildCommit()), (std::vector<Kind>{Kind::Page, Kind::Page}));

    // RPM control follows what the live state reports.
    p.noteRpmControlState(true);
    EXPECT_EQ(Text(p, 72), "1");
    p.setParameter(EcuTextId::RpmControl, 1);
    EXPECT_EQ(Kinds(p.buildCommit()), (std::vector<Kind>{Kind::Page, Kind::Page}));
    p.setParameter(EcuTextId::RpmControl, 0);
    EXPECT_EQ(Bytes(p.buildCommit().writes().back().bytes()),
              (std::vector<uint8_t>{0xFF, 0x0A, 0x88}));
}

TEST_F(BlockParameters, EngineNameIsSentOnlyWhenItDiffers) {
    p.setEngineName("Block Jet");
    EXPECT_EQ(p.buildCommit().size(), 2u);
    p.setEngineName(std::string(40, 'N')); // cut to 28 bytes
    const CEcuCommitPlan plan = p.buildCommit();
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(p.engineName(), std::string(28, 'N'));
    p.setEngineName("Block Jet");
    EXPECT_EQ(p.buildCommit().size(), 2u);
}

TEST_F(BlockParameters, UnsupportedIndexFieldsChangeNothing) {
    BlockPages b = BlockPages::Typical();
    b.p2[8] &= ~0x07; // ignition confirm temperature: not supported
    b.p1[31] = 0;     // baud rate and stop bits: not supported
    CEcuParameters q;
    ASSERT_EQ(LoadBlock(q, b), 1);
    for (int id : {24, 8, 9}) {
        EXPECT_FALSE(Get(q, id).supported) << id;
        q.setFromText(id, "", 2);
    }
    EXPECT_EQ(Bytes(q.page2()), Bytes(b.p2));
    EXPECT_EQ(Bytes(q.page1()), Bytes(b.p1));
    EXPECT_FALSE(q.hasPendingChanges());
}

TEST_F(BlockParameters, CancelRestoresTheReadPages) {
    p.setParameter(EcuTextId::MaxEgt, 700);
    p.setParameter(EcuTextId::RestartAllowed, 0);
    ASSERT_TRUE(p.hasPendingChanges());
    p.requestReread();
    EXPECT_FALSE(p.hasPendingChanges());
    EXPECT_EQ(Text(p, 13), "900");
    EXPECT_EQ(Text(p, 54), "1");
    EXPECT_TRUE(p.dirty());
}

TEST_F(BlockParameters, NonTextSetters) {
    p.setTemperatureUnit(1);
    EXPECT_EQ(p.page2()[0], 0x45); // correction bits kept
    p.setPumpMode(3);
    p.setPumpMode(5); // ignored
    EXPECT_EQ(p.page2()[6], 0x83);
    p.setTelemetryProtocol(7);
    EXPECT_EQ(p.page2()[2], 0xE4);
}

TEST(CEcuParametersBlock, SignedEgtCorrectionAndAuxFallback) {
    BlockPages b = BlockPages::Typical();
    b.p2[0] = 0x3E; // -2
    b.p2[5] = 0x70; // aux 0: outside 3..12
    CEcuParameters p;
    ASSERT_EQ(LoadBlock(p, b), 1);
    EXPECT_EQ(p.egtCorrection(), -2);
    EXPECT_EQ(p.auxValue(), 3);
}

TEST(CEcuParametersBlock, TemperatureCalibrationAndFailedPage2) {
    CEcuParameters p;
    ASSERT_EQ(LoadBlock(p), 1);
    const auto cal = p.temperatureCalibration(24);
    ASSERT_EQ(cal.size(), 2u);
    EXPECT_EQ(Bytes(cal[0].bytes()), (std::vector<uint8_t>{0xFF, 0x09, 0x37, 0xC8}));
    EXPECT_EQ(Bytes(cal[1].bytes()),
              (std::vector<uint8_t>{0xFF, 0x09, 0x37, 0xC8, 0xF4, 0x01, 24}));
    const auto alone = p.temperatureCalibration(20, false);
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(Bytes(alone[0].bytes()),
              (std::vector<uint8_t>{0xFF, 0x09, 0x37, 0xC8, 0xF4, 0x01, 20}));

    FakeEcuRegisters regs;
    regs.reg2 = {BlockPages::Typical(4).p1};
    regs.hasReg3 = false;
    CEcuParameters q;
    EXPECT_EQ(regs.load(q), 0);
    EXPECT_EQ(q.generation(), EcuGeneration::Unknown);
    EXPECT_EQ(regs.reads, 2);
}

// For every text id and both generations: the text getText gives, set again,
// changes nothing; a value set from text reads back as its clamped,
// quantised self.
TEST(CEcuParameters, TextRoundTripsForEveryTextId) {
    for (int generation = 0; generation < 2; ++generation) {
        CEcuParameters p;
        ASSERT_EQ(generation == 0 ? LoadItem(p) : LoadBlock(p), 1);
        for (int id = EcuTextId::First; id <= EcuTextId::Last; ++id) {
            const CEcuParameters::Text before = Get(p, id);
            ASSERT_EQ(p.setFromText(id, before.text, before.value), 1);
            EXPECT_FALSE(p.hasPendingChanges()) << "generation " << generation << " id " << id;
            EXPECT_EQ(Get(p, id).text, before.text) << id;

            // Set a different value and read it back through the text form.
            p.setFromText(id, "7.3", 1);
            const CEcuParameters::Text after = Get(p, id);
            const double shown = p.value(id);
            CEcuParameters q;
            ASSERT_EQ(generation == 0 ? LoadItem(q) : LoadBlock(q), 1);
            q.setFromText(id, after.text, after.value);
            EXPECT_EQ(Get(q, id).text, after.text) << "generation " << generation << " id " << id;
            EXPECT_DOUBLE_EQ(q.value(id), shown) << id;
            p.requestReread();
        }
    }
}

} // namespace
