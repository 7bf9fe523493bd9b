#include "sim/SimEcu.h"
#include "sim/Bus.h"
#include "sim/TelemetryEncoder.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using sim::EcuGeneration;
using sim::SimEcu;
using sim::SimEcuConfig;
namespace State = sim::EngineState;

namespace {

using Page = std::array<uint8_t, 32>;

SimEcuConfig BlockConfig(uint8_t format = 3, bool doubleRange = false) {
    SimEcuConfig c;
    c.format.generation = EcuGeneration::Block;
    c.format.blockFormat = format;
    c.format.doubleRange = doubleRange;
    return c;
}

SimEcuConfig ItemConfig(bool extended = false) {
    SimEcuConfig c;
    c.format.generation = EcuGeneration::Item;
    c.format.extendedItems = extended;
    return c;
}

Page Read(SimEcu& ecu, uint8_t reg) {
    Page page{};
    EXPECT_TRUE(ecu.ReadRegister(reg, 32, page.data())) << "register " << int(reg);
    return page;
}

bool Write(SimEcu& ecu, uint8_t reg, std::vector<uint8_t> bytes) {
    return ecu.WriteRegister(reg, bytes);
}

bool Poll(SimEcu& ecu) {
    return Write(ecu, 1, {0xFF, 0x29});
}

uint16_t Le16(const Page& p, size_t at) {
    return static_cast<uint16_t>(p[at] | (p[at + 1] << 8));
}

void RunEngine(SimEcu& ecu) {
    ecu.Model().SetSwitch(true);
    ecu.Step(100);
    ASSERT_TRUE(ecu.Model().RequestStart());
    for (int i = 0; i < 400 && ecu.Model().State() != State::Running; ++i) {
        ecu.Step(100);
    }
    ASSERT_EQ(ecu.Model().State(), State::Running);
}

} // namespace

TEST(SimEcu, BlockRegisterMap) {
    SimEcu ecu(BlockConfig(4));
    uint8_t buffer[32];
    EXPECT_FALSE(ecu.ReadRegister(0, 10, buffer)); // the unit wrapper answers register 0
    EXPECT_EQ(Read(ecu, 2)[0], 4);                 // page 1 starts with the format
    EXPECT_EQ(Read(ecu, 3), ecu.Store().EncodePage2());
    Read(ecu, 4);
    EXPECT_EQ(Read(ecu, 14), ecu.Store().EncodeNamePage());
    for (uint8_t reg : {6, 7, 8, 9, 12, 13, 15}) {
        EXPECT_FALSE(ecu.ReadRegister(reg, 32, buffer)) << int(reg);
    }
    EXPECT_FALSE(Write(ecu, 4, {1}));
    EXPECT_FALSE(Write(ecu, 14, {1}));
    EXPECT_FALSE(Write(ecu, 0, {0x04, 0xFB}));
}

TEST(SimEcu, ItemGenerationAnswersNoBlockPages) {
    SimEcu ecu(ItemConfig());
    uint8_t buffer[32];
    EXPECT_FALSE(ecu.ReadRegister(3, 32, buffer));
    EXPECT_FALSE(ecu.ReadRegister(4, 32, buffer));
    EXPECT_FALSE(Write(ecu, 3, std::vector<uint8_t>(32, 0)));
    // Parameter packets come in turn, each with its header.
    EXPECT_EQ(Read(ecu, 2)[0], 0x0A);
    EXPECT_EQ(Read(ecu, 2)[0], 0x12);
    EXPECT_EQ(Read(ecu, 2)[0], 0x0A);
}

TEST(SimEcu, ShortReadsGiveTheFirstBytes) {
    SimEcu ecu(BlockConfig(3));
    uint8_t buffer[4] = {};
    ASSERT_TRUE(ecu.ReadRegister(2, 4, buffer));
    const Page page = ecu.Store().EncodePage1();
    EXPECT_TRUE(std::equal(buffer, buffer + 4, page.begin()));
    EXPECT_FALSE(ecu.ReadRegister(2, 0, buffer));
    EXPECT_FALSE(ecu.ReadRegister(2, 33, buffer));
}

TEST(SimEcu, TelemetrySetRestartsWithEachPollRequest) {
    SimEcuConfig config = ItemConfig();
    config.telemetryPackets = 3;
    SimEcu ecu(config);
    ASSERT_TRUE(Poll(ecu));
    EXPECT_EQ(Read(ecu, 1)[0], 0x0B); // n = 3, k = 1
    EXPECT_EQ(Read(ecu, 1)[0], 0x13);
    ASSERT_TRUE(Poll(ecu));
    EXPECT_EQ(Read(ecu, 1)[0], 0x0B);
    EXPECT_EQ(Read(ecu, 1)[0], 0x13);
    EXPECT_EQ(Read(ecu, 1)[0], 0x1B);
    EXPECT_EQ(Read(ecu, 1)[0], 0x0B); // wraps without a poll request
    EXPECT_EQ(ecu.PollRequests(), 2u);
}

TEST(SimEcu, TelemetryPacketOrderCanBeChosen) {
    SimEcuConfig config = ItemConfig();
    config.telemetryOrder = {2, 0, 1};
    config.parameterOrder = {2, 1};
    SimEcu ecu(config);
    Poll(ecu);
    EXPECT_EQ(Read(ecu, 1)[0], 0x12);
    EXPECT_EQ(Read(ecu, 1)[0], 0x02); // k = 0: a packet the tool must ignore
    EXPECT_EQ(Read(ecu, 1)[0], 0x0A);
    EXPECT_EQ(Read(ecu, 2)[0], 0x12);
}

TEST(SimEcu, OneSetComesFromOneSnapshot) {
    SimEcu ecu(ItemConfig());
    RunEngine(ecu);
    ecu.Model().SetThrottle(100);
    Poll(ecu);
    const sim::LiveValues before = ecu.Model().Values();
    Read(ecu, 1);
    ecu.Step(2000); // the engine speeds up between the two reads
    const Page packet2 = Read(ecu, 1);
    sim::LiveValues unused;
    EXPECT_EQ(packet2, sim::TelemetryEncoder::ItemPacket(before, 2, 2, unused));
    EXPECT_EQ(ecu.LastEncoded().rpm, (before.rpm + 5) / 10 * 10);
    Poll(ecu);
    Read(ecu, 1);
    EXPECT_GT(ecu.LastEncoded().rpm, before.rpm + 5000);
}

TEST(SimEcu, LastEncodedMatchesTheBlockBytes) {
    SimEcu ecu(BlockConfig(3, true));
    RunEngine(ecu);
    Poll(ecu);
    const Page r1 = Read(ecu, 1);
    const Page r4 = Read(ecu, 4);
    Page r5{};
    ASSERT_TRUE(ecu.ReadRegister(5, 6, r5.data()));
    const sim::LiveValues& e = ecu.LastEncoded();
    EXPECT_EQ(e.engineState, State::Running);
    EXPECT_EQ(r1[1] & 0x1F, e.engineState);
    EXPECT_EQ(Le16(r1, 3) * 10, e.rpm);
    EXPECT_EQ(static_cast<int16_t>(Le16(r1, 5)), e.egt);
    EXPECT_EQ((Le16(r1, 7) & 0x1FFF) * 2 / 10, e.pumpVoltageHundredths); // double range
    EXPECT_DOUBLE_EQ(r1[11] / 10.0, e.batteryVoltage);
    EXPECT_EQ(Le16(r4, 0) * 2u, e.airPressurePa);
    EXPECT_EQ((r4[7] >> 2) & 1, e.tcuFitted ? 1 : 0);
    EXPECT_EQ(e.cpuTemperature, -60); // the block generation has none
    EXPECT_EQ(r5[0], 0x02);
    EXPECT_DOUBLE_EQ(static_cast<int16_t>(r5[1] | (r5[2] << 8)) / 100.0, e.thrustKg);
    EXPECT_GT(e.thrustKg, 0.0);
}

TEST(SimEcu, RpmControlStateFollowsItsCommand) {
    SimEcu ecu(BlockConfig(3));
    Read(ecu, 1);
    EXPECT_EQ(Read(ecu, 4)[11] & 0x02, 0);
    ASSERT_TRUE(Write(ecu, 2, {0xFF, 0x0A, 0x55}));
    EXPECT_EQ(Read(ecu, 4)[11] & 0x02, 0x02);
}

TEST(SimEcu, RegisterOneCommands) {
    SimEcu ecu(BlockConfig(3));
    EXPECT_TRUE(Write(ecu, 1, {0x02, 11, 0, 0}));
    EXPECT_EQ(ecu.Model().State(), State::TestPump);
    ecu.Step(100);
    EXPECT_TRUE(Write(ecu, 1, {0x02, 11, 0, 0})); // a repeat: it goes on
    EXPECT_EQ(ecu.Model().State(), State::TestPump);
    ecu.Step(sim::EngineModel::kRepeatWindowMs + 100);
    EXPECT_TRUE(Write(ecu, 1, {0x02, 11, 0, 0})); // later: it stops
    EXPECT_EQ(ecu.Model().State(), State::Stop);
    // Long form: starter for 5 s at 6.00 V.
    EXPECT_TRUE(Write(ecu, 1, {0x02, 12, 5, 0, 0x58, 0x02, 0, 0, 0, 0}));
    EXPECT_EQ(ecu.Model().State(), State::TestStarter);
    ecu.Step(4900);
    EXPECT_EQ(ecu.Model().State(), State::TestStarter);
    ecu.Step(200);
    EXPECT_EQ(ecu.Model().State(), State::Stop);
    EXPECT_TRUE(Write(ecu, 1, {0x02, 127, 0, 0})); // acknowledged, nothing happens
    EXPECT_FALSE(Write(ecu, 1, {0x02, 8, 0}));
    EXPECT_FALSE(Write(ecu, 1, {0x03, 8, 0, 0}));
    EXPECT_FALSE(Write(ecu, 1, {0xFF, 0x28}));
    const auto& log = ecu.Log().Entries();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_TRUE(log[0].accepted);
    EXPECT_EQ(log[3].bytes.size(), 10u);
    EXPECT_FALSE(log[5].accepted);
}

TEST(SimEcu, RcLearningStoresThePointsAsTenths) {
    SimEcu ecu(ItemConfig());
    Write(ecu, 1, {0x02, 2, 0, 0});
    ecu.Model().SetThrottle(95.55); // 1955.5 µs
    Write(ecu, 1, {0x02, 6, 0, 0});
    ecu.Model().SetThrottle(3);
    Write(ecu, 1, {0x02, 4, 0, 0});
    ecu.Model().SetThrottle(14);
    Write(ecu, 1, {0x02, 5, 0, 0});
    const auto& p = ecu.Store().Parameters();
    EXPECT_EQ(p.throttlePointMax, 1950);
    EXPECT_EQ(p.throttlePointMin, 1030);
    EXPECT_EQ(p.throttlePointIdle, 1140);
    // The next parameter read shows them (packet 1 fields 29-31, / 10).
    EXPECT_EQ(ecu.Store().EncodeParameterPacket(1), Read(ecu, 2));
}

TEST(SimEcu, ParameterWritesReachTheModel) {
    SimEcu item(ItemConfig());
    ASSERT_TRUE(Write(item, 2, {0xAA, 0x55, 22, 100, 23, 120}));
    EXPECT_EQ(item.Model().Tuning().idleRpm, 50000);
    EXPECT_EQ(item.Model().Tuning().maxRpm, 120000);
    // The start-up pump voltage is what the short-form pump test drives.
    ASSERT_TRUE(Write(item, 2, {0xAA, 0x55, 26, 150}));
    EXPECT_DOUBLE_EQ(item.Model().Tuning().pumpTestVoltage, 3.0);
    ASSERT_TRUE(Write(item, 1, {0x02, 11, 0, 0}));
    item.Step(1500);
    EXPECT_NEAR(item.Model().Values().pumpVoltage, 3.0, 0.01);
    SimEcu block(BlockConfig(3));
    Page page = Read(block, 2);
    page[25] = 45;
    ASSERT_TRUE(block.WriteRegister(2, page));
    EXPECT_EQ(block.Model().Tuning().idleRpm, 45000);
    EXPECT_EQ(block.Store().PageWriteCount(2), 1);
    // A refused write is logged as such and changes nothing.
    page[0] = 9;
    EXPECT_FALSE(block.WriteRegister(2, page));
    EXPECT_FALSE(block.Log().Entries().back().accepted);
}

TEST(SimEcu, TemperatureCalibrationSetsTheEgtCorrection) {
    SimEcuConfig config = ItemConfig();
    config.hardware.ambientC = 22;
    SimEcu item(config);
    ASSERT_TRUE(Write(item, 2, {0xAA, 0x55, 0xD4, 0x37, 25}));
    EXPECT_EQ(item.Store().Parameters().egtCorrection, 3);
    SimEcuConfig blockConfig = BlockConfig(2);
    blockConfig.hardware.ambientC = 22;
    SimEcu block(blockConfig);
    ASSERT_TRUE(Write(block, 2, {0xFF, 0x09, 0x37, 0xC8}));
    ASSERT_TRUE(Write(block, 2, {0xFF, 0x09, 0x37, 0xC8, 0xF4, 0x01, 20}));
    EXPECT_EQ(block.Store().Parameters().egtCorrection, -2);
    EXPECT_EQ(Read(block, 3)[0] & 0x3F, 0x3E); // -2 in six bits
    // Not with a hot engine.
    RunEngine(block);
    ASSERT_TRUE(Write(block, 2, {0xFF, 0x09, 0x37, 0xC8, 0xF4, 0x01, 30}));
    EXPECT_EQ(block.Store().Parameters().egtCorrection, -2);
}

TEST(SimEcu, CommandLogFiltersAndClears) {
    SimEcuConfig config = ItemConfig();
    config.logCapacity = 4;
    SimEcu ecu(config);
    Poll(ecu);
    Write(ecu, 1, {0x02, 8, 0, 0});
    Write(ecu, 2, {0xAA, 0x55, 49, 100});
    EXPECT_EQ(ecu.Log().To(1).size(), 1u);
    EXPECT_EQ(ecu.Log().To(1, true).size(), 2u);
    ASSERT_EQ(ecu.Log().To(2).size(), 1u);
    EXPECT_EQ(ecu.Log().To(2)[0].bytes, (std::vector<uint8_t>{0xAA, 0x55, 49, 100}));
    Poll(ecu);
    Poll(ecu);
    EXPECT_EQ(ecu.Log().Size(), 4u);
    EXPECT_EQ(ecu.Log().Dropped(), 1u);
    EXPECT_FALSE(ecu.Log().Entries().front().IsPollRequest()); // the oldest went
    ecu.ClearLog();
    EXPECT_EQ(ecu.Log().Size(), 0u);
    EXPECT_TRUE(ecu.Store().ReceivedItems().empty());
}

TEST(SimEcu, FutabaRecordAndReceiverFrames) {
    SimEcuConfig config = BlockConfig(3);
    config.radioMode = 2;
    SimEcu ecu(config);
    RunEngine(ecu);
    const Page r11 = Read(ecu, 11);
    const int rpm = ecu.Model().Values().rpm;
    const int egt = ecu.Model().Values().egt;
    EXPECT_EQ(r11[0], 2);
    EXPECT_EQ(r11[1], 1);
    EXPECT_EQ(r11[2], 0x83);
    EXPECT_EQ(Le16(r11, 3), rpm / 5);
    EXPECT_EQ(r11[5], 0x43);
    EXPECT_EQ(Le16(r11, 6), (egt + 100) | 0x8000);
    EXPECT_EQ(ecu.Radio().LastRecordRpm(), rpm / 5 * 5);

    // The simulated receiver drives throttle and switch.
    EXPECT_TRUE(Write(ecu, 11, {2, 60, 100}));
    EXPECT_DOUBLE_EQ(ecu.Model().Throttle(), 60.0);
    EXPECT_TRUE(Write(ecu, 11, {2, 60, 0})); // switch off: the engine stops
    ecu.Step(100);
    EXPECT_EQ(ecu.Model().State(), State::Cooling);
    EXPECT_TRUE(Write(ecu, 11, {1}));
    EXPECT_FALSE(Write(ecu, 11, {2, 101, 0}));
    EXPECT_FALSE(Write(ecu, 11, {4}));
}

TEST(SimEcu, JetiRecordsAndKeys) {
    SimEcuConfig config = BlockConfig(3);
    config.radioMode = 3;
    SimEcu ecu(config);
    const Page line1 = Read(ecu, 11);
    EXPECT_EQ(line1[0], 3);
    EXPECT_EQ(line1[1], 1);
    EXPECT_EQ(std::string(line1.begin() + 2, line1.begin() + 18), "RPM 0           ");
    const Page line2 = Read(ecu, 11);
    EXPECT_EQ(line2[1], 2);
    EXPECT_EQ(std::string(line2.begin() + 2, line2.begin() + 18), "EGT 22C         ");
    const Page telemetry = Read(ecu, 11);
    EXPECT_EQ(telemetry[1], 3);
    const int temp = (telemetry[17] | (telemetry[18] << 8)) & 0x1FFF;
    EXPECT_EQ(temp, 22);
    EXPECT_EQ(Read(ecu, 11)[1], 1);
    ASSERT_TRUE(Write(ecu, 11, {3, sim::EcuRadioSimulator::kJetiRight}));
    EXPECT_EQ(ecu.Radio().JetiPage(), 1);
    const Page current = Read(ecu, 11); // kind 2: line 2 of the next page
    EXPECT_EQ(current[1], 2);
    EXPECT_EQ(std::string(current.begin() + 2, current.begin() + 6), "CUR ");

    // Up and down choose the temperature unit; left returns to the first page.
    ASSERT_TRUE(Write(ecu, 11, {3, sim::EcuRadioSimulator::kJetiLeft}));
    ASSERT_TRUE(Write(ecu, 11, {3, sim::EcuRadioSimulator::kJetiUp}));
    EXPECT_EQ(ecu.Radio().JetiPage(), 0);
    const auto lineTwo = [&] {
        Page p;
        do {
            p = Read(ecu, 11);
        } while (p[1] != 2);
        return std::string(p.begin() + 2, p.begin() + 18);
    };
    EXPECT_EQ(lineTwo(), "EGT 71F         ");
    ASSERT_TRUE(Write(ecu, 11, {3, sim::EcuRadioSimulator::kJetiDown}));
    EXPECT_EQ(lineTwo(), "EGT 22C         ");
    ASSERT_TRUE(Write(ecu, 11, {3, 0})); // no key
    EXPECT_EQ(ecu.Radio().JetiPage(), 0);
    EXPECT_FALSE(ecu.Radio().JetiFahrenheit());
}

TEST(SimEcu, GroundSupportDisplayAndKeys) {
    SimEcu ecu(ItemConfig());
    Page page = Read(ecu, 10);
    EXPECT_EQ(std::string(page.begin(), page.begin() + 16), "RPM 0           ");
    EXPECT_EQ(std::string(page.begin() + 16, page.end()), "EGT 22C         ");
    ASSERT_TRUE(Write(ecu, 10, {sim::EcuRadioSimulator::kGsuPlus}));
    page = Read(ecu, 10);
    EXPECT_EQ(std::string(page.begin() + 16, page.begin() + 23), "EGT 71F");
    ASSERT_TRUE(Write(ecu, 10, {sim::EcuRadioSimulator::kGsuDown}));
    page = Read(ecu, 10);
    EXPECT_EQ(std::string(page.begin(), page.begin() + 4), "BAT ");
    ASSERT_TRUE(Write(ecu, 10, {0})); // no key
    EXPECT_EQ(ecu.Radio().GsuPage(), 1);
    EXPECT_FALSE(Write(ecu, 10, {5}));
    EXPECT_FALSE(Write(ecu, 10, {1, 2}));
    // Receiver simulation is not offered by the item generation.
    EXPECT_FALSE(Write(ecu, 11, {1}));
}

namespace {
class FakeRecordUnit : public sim::BusUnit {
public:
    bool ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) override {
        lastRead = reg;
        std::fill(out, out + length, uint8_t{0xA3});
        return true;
    }
    bool WriteRegister(uint8_t reg, std::span<const uint8_t> data) override {
        lastWrite = reg;
        written.assign(data.begin(), data.end());
        return true;
    }
    uint8_t lastRead = 0;
    uint8_t lastWrite = 0;
    std::vector<uint8_t> written;
};
} // namespace

TEST(SimEcu, RegisterThirteenGoesToItsHook) {
    SimEcu ecu(BlockConfig(3));
    uint8_t buffer[15];
    EXPECT_FALSE(ecu.ReadRegister(13, 15, buffer));
    EXPECT_FALSE(Write(ecu, 13, {0x7C}));
    FakeRecordUnit records;
    ecu.SetRegister13Unit(&records);
    EXPECT_TRUE(ecu.ReadRegister(13, 15, buffer));
    EXPECT_EQ(records.lastRead, 13);
    EXPECT_EQ(buffer[14], 0xA3);
    EXPECT_TRUE(Write(ecu, 13, {0xC3, 0x01}));
    EXPECT_EQ(records.written, (std::vector<uint8_t>{0xC3, 0x01}));
    EXPECT_TRUE(ecu.Log().Entries().back().accepted);
}

TEST(SimEcu, ConfiguredFaultsAndStart) {
    SimEcuConfig config = ItemConfig();
    config.faults = {sim::EngineFault::TcuNotAnswering};
    config.errorCode = 13;
    SimEcu faulty(config);
    faulty.Step(10);
    EXPECT_FALSE(faulty.Model().Values().tcuAnswering);
    EXPECT_EQ(faulty.Model().ErrorCode(), 13);

    SimEcuConfig run = BlockConfig(2);
    run.autoStart = true;
    run.switchOn = true;
    SimEcu running(run);
    EXPECT_EQ(running.Model().State(), State::Ignition);
}

TEST(SimEcu, WorksOnTheBus) {
    sim::Bus bus;
    SimEcu ecu(ItemConfig());
    bus.Attach(31, &ecu);
    const uint8_t poll[] = {0xFF, 0x29};
    EXPECT_TRUE(bus.Write(31, 1, poll));
    uint8_t page[32];
    EXPECT_TRUE(bus.Read(31, 1, 32, page));
    EXPECT_EQ(page[0], 0x0A);
    EXPECT_FALSE(bus.Read(31, 0, 10, page));
    EXPECT_EQ(ecu.ReadCount(1), 1u);
}
