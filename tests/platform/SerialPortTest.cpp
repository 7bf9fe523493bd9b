#include "platform/SerialPort.h"
#include "platform/Clock.h"
#include "platform/NamedSerialPort.h"
#include "platform/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

struct PortOnPty : ::testing::Test {
    PortOnPty() {
        std::string error;
        EXPECT_TRUE(pty.Open(&error)) << error;
        port = platform::OpenSystemSerialPort(pty.SlavePath(), &error);
        EXPECT_NE(port, nullptr) << error;
    }
    // Reads from the near side until count bytes came or a second passed.
    std::vector<uint8_t> FromPort(size_t count) {
        std::vector<uint8_t> got;
        const uint32_t start = platform::TickCount();
        while (got.size() < count && platform::TickCount() - start < 1000) {
            if (pty.WaitReadable(20) > 0) {
                uint8_t b[64];
                const long n = pty.Read(b, sizeof b);
                got.insert(got.end(), b, b + (n > 0 ? n : 0));
            }
        }
        return got;
    }
    platform::PseudoTerminal pty;
    std::unique_ptr<platform::SerialPort> port;
};

// Bytes that a terminal left cooked would translate, echo or act on.
const std::vector<uint8_t> kAwkward = {
    0x0A, 0x0D, 0x03, 0x04, 0x11, 0x13, 0x1A, 0x7F, 0x15, 0x17, 0x12, 0x16, 0x1C, 0x00, 0xFF};

TEST_F(PortOnPty, ConfigureAtACustomRateMakesItRawBothWays) {
    // The modem-line request fails with ENOTTY on a pseudo-terminal: tolerated.
    ASSERT_TRUE(port->Configure(100000)) << port->LastError();
    ASSERT_EQ(port->Write(kAwkward.data(), kAwkward.size()), static_cast<long>(kAwkward.size()));
    EXPECT_TRUE(port->Drain(50));
    EXPECT_EQ(FromPort(kAwkward.size()), kAwkward);

    ASSERT_EQ(pty.Write(kAwkward.data(), kAwkward.size()), static_cast<long>(kAwkward.size()));
    ASSERT_EQ(port->WaitReadable(1000), 1);
    std::vector<uint8_t> got;
    const uint32_t start = platform::TickCount();
    while (got.size() < kAwkward.size() && platform::TickCount() - start < 1000) {
        const int waiting = port->BytesWaiting();
        ASSERT_GE(waiting, 0);
        uint8_t b[64];
        const long n = port->Read(b, sizeof b);
        ASSERT_GE(n, 0);
        got.insert(got.end(), b, b + n);
        if (n == 0) {
            (void)port->WaitReadable(10);
        }
    }
    EXPECT_EQ(got, kAwkward);
    EXPECT_TRUE(FromPort(1).empty()) << "nothing echoed back";
}

TEST_F(PortOnPty, NothingToReadIsZeroNotAnError) {
    ASSERT_TRUE(port->Configure(100000));
    uint8_t b[4];
    EXPECT_EQ(port->BytesWaiting(), 0);
    EXPECT_EQ(port->Read(b, sizeof b), 0);
    EXPECT_EQ(port->WaitReadable(5), 0);
}

TEST_F(PortOnPty, PurgeDropsWhatWaits) {
    ASSERT_TRUE(port->Configure(100000));
    const uint8_t junk[3] = {1, 2, 3};
    ASSERT_EQ(pty.Write(junk, sizeof junk), 3);
    ASSERT_EQ(port->WaitReadable(1000), 1);
    EXPECT_TRUE(port->Purge());
    EXPECT_EQ(port->BytesWaiting(), 0);
}

TEST_F(PortOnPty, HangUpMakesTheQueueQueryFail) {
    ASSERT_TRUE(port->Configure(100000));
    pty.Close();
    EXPECT_EQ(port->BytesWaiting(), -1);
    EXPECT_NE(port->LastError().find("FIONREAD"), std::string::npos) << port->LastError();
    EXPECT_EQ(port->WaitReadable(100), -1);
}

TEST_F(PortOnPty, ClosedPortCanBeOpenedAgain) {
    const std::string path = pty.SlavePath();
    port.reset();
    std::string error;
    port = platform::OpenSystemSerialPort(path, &error);
    EXPECT_NE(port, nullptr) << error;
    EXPECT_EQ(platform::OpenSystemSerialPort("/nonexistent/tty", &error), nullptr);
    EXPECT_NE(error.find("/nonexistent/tty"), std::string::npos);
}

TEST(SerialPortList, UsbHardwareIdText) {
    EXPECT_EQ(platform::UsbHardwareId(0x16C0, 0x06F6), "USB\\VID_16C0&PID_06F6");
    EXPECT_EQ(platform::UsbHardwareId(0x0403, 0x6001), "USB\\VID_0403&PID_6001");
    std::vector<platform::SerialPortInfo> ports;
    std::string error;
    EXPECT_TRUE(platform::ListSystemSerialPorts(ports, &error)) << error;
}

} // namespace

namespace {

TEST(NamedSerialPort, ListsOneNodeAsAUsbPortAndOpensIt) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open(nullptr));
    platform::NamedSerialPort named(pty.SlavePath(), 0x16C0, 0x06F6);
    std::vector<platform::SerialPortInfo> ports;
    ASSERT_TRUE(named.ListPorts(ports, nullptr));
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].path, pty.SlavePath());
    EXPECT_EQ(ports[0].hardwareId, "USB\\VID_16C0&PID_06F6");
    EXPECT_EQ(ports[0].friendlyName.back(), ')');
    EXPECT_NE(named.OpenPort(ports[0].path, nullptr), nullptr);
}

} // namespace
