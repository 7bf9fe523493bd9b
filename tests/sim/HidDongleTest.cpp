#include "sim/HidDongle.h"
#include "platform/Clock.h"
#include "platform/HidPort.h"
#include "sim/Bus.h"
#include "sim/HidDongleSet.h"
#include "sim/RegisterFileUnit.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

// The simulated dongle seen only through the HID port interface, with the
// report bytes written out by hand.
namespace {

struct DongleFixture : ::testing::Test {
    DongleFixture() {
        bus.Attach(31, &unit);
        const std::array<uint8_t, 4> bytes{0x11, 0x22, 0x33, 0x44};
        unit.Set(1, bytes);
        set.Add(dongle);
        device = set.Open("sim-hid-0", nullptr);
    }
    std::array<uint8_t, 35> Input(uint8_t id) {
        std::array<uint8_t, 35> report{};
        report[0] = id;
        last = device->GetInputReport(report.data(), report.size());
        return report;
    }
    bool Output(std::array<uint8_t, 36> report) {
        return device->SendOutputReport(report.data(), report.size());
    }

    sim::Bus bus;
    sim::RegisterFileUnit unit;
    sim::HidDongle dongle{bus, "sim-hid-0"};
    sim::HidDongleSet set;
    std::unique_ptr<platform::HidDevice> device;
    int last = 0;
};

// Read 4 bytes of register 1 at unit 31: 02 1F 08 03.
constexpr std::array<uint8_t, 36> kRead4{0x02, 0x1F, 0x08, 0x03};

TEST_F(DongleFixture, ListsItselfAndOpensOnlyOnce) {
    const auto list = set.Enumerate();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].vendorId, 0x16C0);
    EXPECT_EQ(list[0].productId, 0x06F5);
    ASSERT_NE(device, nullptr);
    std::string error;
    EXPECT_EQ(set.Open("sim-hid-0", &error), nullptr);
    EXPECT_NE(error.find("busy"), std::string::npos);
    EXPECT_EQ(set.Open("nowhere", &error), nullptr);
}

TEST_F(DongleFixture, VersionReportCarriesTheVersionInItsFirstTwoBytes) {
    auto r = Input(1);
    EXPECT_EQ(last, 35);
    EXPECT_EQ(r[0], 0x01);
    EXPECT_EQ(r[1], 0x05);
    dongle.SetVersion(0x0300);
    r = Input(1);
    EXPECT_EQ(r[0], 0x03);
    EXPECT_EQ(r[1], 0x00);
    Input(7);
    EXPECT_EQ(last, -1) << "no such report";
}

TEST_F(DongleFixture, RequestIsCarriedOutAndAnsweredDone) {
    EXPECT_EQ(Input(3)[1], 0) << "nothing asked yet";
    ASSERT_TRUE(Output(kRead4));
    const auto r = Input(3);
    EXPECT_EQ(r[0], 3);
    EXPECT_EQ(r[1], 2);
    EXPECT_EQ(r[3], 0x11);
    EXPECT_EQ(r[6], 0x44);
    EXPECT_EQ(r[7], 0x00);

    // Write 0xFF 0x29 to register 1: 02 1F 88 01 FF 29.
    ASSERT_TRUE(Output({0x02, 0x1F, 0x88, 0x01, 0xFF, 0x29}));
    EXPECT_EQ(Input(3)[1], 2);
    bus.WithLock([&] {
        EXPECT_EQ(unit.Get(1)[0], 0xFF);
        EXPECT_EQ(unit.Get(1)[1], 0x29);
        EXPECT_EQ(unit.Get(1)[2], 0x33);
    });
    // Nobody at unit 5: status 3.
    ASSERT_TRUE(Output({0x02, 0x05, 0x08, 0x00}));
    EXPECT_EQ(Input(3)[1], 3);
    EXPECT_EQ(dongle.Transactions(), 2u);
}

TEST_F(DongleFixture, InjectedAnswers) {
    dongle.InjectBusy(2);
    ASSERT_TRUE(Output(kRead4));
    EXPECT_EQ(Input(3)[1], 1);
    EXPECT_EQ(Input(3)[1], 1);
    EXPECT_EQ(Input(3)[1], 2);

    dongle.InjectRepeat(1);
    ASSERT_TRUE(Output(kRead4));
    EXPECT_EQ(Input(3)[1], 4);
    ASSERT_TRUE(Output(kRead4));
    EXPECT_EQ(Input(3)[1], 2);

    for (uint8_t status : {3, 5}) {
        dongle.InjectStatus(status);
        ASSERT_TRUE(Output(kRead4));
        EXPECT_EQ(Input(3)[1], status);
    }

    dongle.FailOutputReports(1);
    EXPECT_FALSE(Output(kRead4));
    EXPECT_TRUE(Output(kRead4));
    dongle.FailInputReports(1);
    Input(1);
    EXPECT_EQ(last, -1);
    Input(1);
    EXPECT_EQ(last, 35);
}

TEST_F(DongleFixture, UnplugKillsOpenHandlesAndReplugIsANewDevice) {
    dongle.Unplug();
    EXPECT_TRUE(set.Enumerate().empty());
    EXPECT_FALSE(Output(kRead4));
    Input(1);
    EXPECT_EQ(last, -1);
    EXPECT_EQ(set.Open("sim-hid-0", nullptr), nullptr);
    dongle.Replug();
    Input(1);
    EXPECT_EQ(last, -1) << "the old handle stays dead";
    device.reset();
    device = set.Open("sim-hid-0", nullptr);
    ASSERT_NE(device, nullptr);
    Input(1);
    EXPECT_EQ(last, 35);
}

TEST_F(DongleFixture, TwoDonglesAreListedInOrder) {
    sim::HidDongle second(bus, "sim-hid-1");
    set.Add(second);
    set.AddOther("keyboard", 0x046D, 0xC31C);
    const auto list = set.Enumerate();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, "keyboard");
    EXPECT_EQ(list[1].path, "sim-hid-0");
    EXPECT_EQ(list[2].path, "sim-hid-1");
    EXPECT_EQ(set.Open("keyboard", nullptr), nullptr);
    EXPECT_NE(set.Open("sim-hid-1", nullptr), nullptr);
}

TEST_F(DongleFixture, HungReportBlocksUntilUnhungUnpluggedOrInterrupted) {
    for (int way = 0; way < 3; ++way) {
        dongle.Replug();
        device.reset();
        device = set.Open("sim-hid-0", nullptr);
        ASSERT_NE(device, nullptr);
        dongle.SetHung(true);
        int result = 0;
        std::thread t([&] {
            std::array<uint8_t, 35> r{1};
            result = device->GetInputReport(r.data(), r.size());
        });
        while (dongle.BlockedReports() == 0) {
            platform::SleepMs(1);
        }
        if (way == 0) {
            dongle.SetHung(false);
        } else if (way == 1) {
            dongle.Unplug();
        } else {
            device->Interrupt();
        }
        t.join();
        EXPECT_EQ(result, way == 0 ? 35 : -1) << way;
        dongle.SetHung(false);
    }
}

} // namespace
