#include "device/CDeviceHID.h"
#include "device/LinkTestSupport.h"
#include "sim/Bus.h"
#include "sim/HidDongle.h"
#include "sim/HidDongleSet.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace {

constexpr uint16_t kVid = 0x16C0;
constexpr uint16_t kPid = 0x06F5;

struct HidFixture : ::testing::Test {
    sim::Bus bus;
    sim::HidDongle first{bus, "sim-hid-0"};
    sim::HidDongle second{bus, "sim-hid-1"};
    sim::HidDongleSet devices;
    CDeviceHID hid{&devices};
};

TEST_F(HidFixture, GetDevicePathAt64FailsWithoutEnumerating) {
    devices.Add(first);
    std::string path;
    EXPECT_EQ(hid.GetDevicePath(64, path), 0);
    EXPECT_EQ(hid.GetDevicePath(1000, path), 0);
    EXPECT_EQ(devices.Enumerations(), 0u);
    EXPECT_EQ(hid.GetDevicePath(0, path), 1);
    EXPECT_EQ(path, "sim-hid-0");
    EXPECT_EQ(hid.GetDevicePath(1, path), 0);
}

TEST_F(HidFixture, CountsOnlyDevicesWithBothIds) {
    sim::HidDongle adapterIds(bus, "sim-hid-serial-ids", 0x16C0, 0x06F6);
    devices.AddOther("keyboard", 0x046D, 0xC31C);
    devices.AddOther("same-vendor", 0x16C0, 0x05DF);
    devices.Add(adapterIds);
    EXPECT_EQ(hid.CountDevices(kVid, kPid), 0);
    devices.Add(first);
    devices.Add(second);
    EXPECT_EQ(hid.CountDevices(kVid, kPid), 2);
    second.Unplug();
    EXPECT_EQ(hid.CountDevices(kVid, kPid), 1);
}

TEST_F(HidFixture, OpensTheNthMatchAndRefusesASecondOpen) {
    devices.AddOther("keyboard", 0x046D, 0xC31C);
    devices.Add(first);
    devices.Add(second);
    EXPECT_EQ(hid.Open(2, kVid, kPid, 0), CDeviceHID::kNoDevice);
    ASSERT_EQ(hid.Open(1, kVid, kPid, 0), CDeviceHID::kOk);
    EXPECT_EQ(hid.IsOpen(), 1);
    EXPECT_EQ(first.Opens(), 0u);
    EXPECT_EQ(second.Opens(), 1u);
    EXPECT_EQ(hid.GetInputReportLength(), 35);
    EXPECT_EQ(hid.GetOutputReportLength(), 36);

    // Already open: 3, and nothing is opened or closed.
    EXPECT_EQ(hid.Open(0, kVid, kPid, 0), CDeviceHID::kAlreadyOpen);
    EXPECT_EQ(first.Opens(), 0u);
    EXPECT_EQ(second.OpenHandles(), 1);
}

TEST_F(HidFixture, OpenWithNothingPresentAndOpenRefusedBySystem) {
    EXPECT_EQ(hid.Open(0, kVid, kPid, 0), CDeviceHID::kNoDevice);
    devices.Add(first);
    auto held = first.Open(nullptr); // somebody else has it
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(hid.Open(0, kVid, kPid, 0), CDeviceHID::kNoDevice);
    EXPECT_NE(hid.GetLastError().find("busy"), std::string::npos) << hid.GetLastError();
    EXPECT_EQ(hid.IsOpen(), 0);
}

TEST_F(HidFixture, CloseResetsAndReportsNeedAnOpenDevice) {
    devices.Add(first);
    EXPECT_EQ(hid.Close(), CDeviceHID::kNotOpen);
    ASSERT_EQ(hid.Open(0, kVid, kPid, 0), CDeviceHID::kOk);
    EXPECT_EQ(hid.Close(), CDeviceHID::kOk);
    EXPECT_EQ(first.OpenHandles(), 0);
    EXPECT_EQ(hid.GetInputReportLength(), 0);
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(hid.GetInputReport(1, buffer, sizeof buffer), CDeviceHID::kNotOpen);
    EXPECT_EQ(buffer[0], 0); // zero-filled even so
    EXPECT_EQ(hid.SetOutputReport(2, buffer, sizeof buffer), CDeviceHID::kNotOpen);
    EXPECT_EQ(hid.Close(), CDeviceHID::kNotOpen);
}

TEST_F(HidFixture, InputReportCopiesFromTheIdByteAndNeverPastTheReport) {
    devices.Add(first);
    first.SetVersion(0x0105);
    ASSERT_EQ(hid.Open(0, kVid, kPid, 0), CDeviceHID::kOk);
    uint8_t two[2];
    ASSERT_EQ(hid.GetInputReport(1, two, sizeof two), CDeviceHID::kOk);
    EXPECT_EQ(two[0], 0x01);
    EXPECT_EQ(two[1], 0x05);

    // Asking for more than the report holds gets the report and zeros.
    std::array<uint8_t, 64> big;
    big.fill(0xAA);
    ASSERT_EQ(hid.GetInputReport(3, big.data(), big.size()), CDeviceHID::kOk);
    EXPECT_EQ(big[0], 3);
    for (size_t i = 35; i < big.size(); ++i) {
        EXPECT_EQ(big[i], 0) << i;
    }
}

TEST_F(HidFixture, FailedAndUnpluggedReportsAreCode5) {
    devices.Add(first);
    ASSERT_EQ(hid.Open(0, kVid, kPid, 0), CDeviceHID::kOk);
    uint8_t report[35] = {};
    first.FailOutputReports(1);
    EXPECT_EQ(hid.SetOutputReport(2, report, 35), CDeviceHID::kTransferFailed);
    EXPECT_EQ(hid.SetOutputReport(2, report, 35), CDeviceHID::kOk);
    first.FailInputReports(1);
    EXPECT_EQ(hid.GetInputReport(3, report, 35), CDeviceHID::kTransferFailed);
    first.Unplug();
    EXPECT_EQ(hid.GetInputReport(3, report, 35), CDeviceHID::kTransferFailed);
    EXPECT_NE(hid.GetLastError().find("No such device"), std::string::npos);
    first.Replug(); // a new device: the old handle stays dead
    EXPECT_EQ(hid.GetInputReport(3, report, 35), CDeviceHID::kTransferFailed);
}

TEST_F(HidFixture, InterruptEndsABlockedReportAndBarsLaterOpens) {
    devices.Add(first);
    ASSERT_EQ(hid.Open(0, kVid, kPid, 0), CDeviceHID::kOk);
    first.SetHung(true);
    int result = -1;
    std::thread reader([&] {
        uint8_t report[35];
        result = hid.GetInputReport(1, report, sizeof report);
    });
    ASSERT_TRUE(linktest::WaitFor([&] { return first.BlockedReports() == 1; }));
    hid.Interrupt();
    reader.join();
    EXPECT_EQ(result, CDeviceHID::kTransferFailed);
    EXPECT_EQ(hid.Close(), CDeviceHID::kOk);
    first.SetHung(false);
    EXPECT_EQ(hid.Open(0, kVid, kPid, 0), CDeviceHID::kNoDevice);
}

} // namespace
