#include "device/CDeviceLinkUart.h"
#include "device/LinkTestSupport.h"
#include "foundation/DebugTrace.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "sim/Bus.h"
#include "sim/RegisterFileUnit.h"
#include "sim/SerialAdapterPty.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <thread>

namespace {

// ---- Identifying the adapter's port -------------------------------------

struct HardwareIdCase {
    const char* id;
    bool parsed;
    uint16_t vid;
    uint16_t pid;
};

TEST(CDeviceLinkUart, ParsesVendorThenProductFromHardwareIds) {
    const HardwareIdCase cases[] = {
        {"USB\\VID_16C0&PID_06F6", true, 0x16C0, 0x06F6},
        {"USB\\VID_16C0&PID_06F6&REV_0100", true, 0x16C0, 0x06F6},
        {"USB\\VID_16c0&PID_06f6", true, 0x16C0, 0x06F6},
        {"USB\\VID_16C0&PID_06F5", true, 0x16C0, 0x06F5}, // the HID dongle's ids
        {"FTDIBUS\\VID_0403+PID_6001+A1B2C3", true, 0x0403, 0x6001},
        {"PID_06F6&VID_16C0", false, 0, 0}, // the product id must follow the vendor id
        {"USB\\VID_&PID_06F6", false, 0, 0},
        {"ACPI\\PNP0501", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        uint16_t vid = 0;
        uint16_t pid = 0;
        EXPECT_EQ(CDeviceLinkUart::ParseHardwareId(c.id, &vid, &pid), c.parsed) << c.id;
        if (c.parsed) {
            EXPECT_EQ(vid, c.vid) << c.id;
            EXPECT_EQ(pid, c.pid) << c.id;
        }
    }
}

TEST(CDeviceLinkUart, PortNameAndPathFromTheList) {
    EXPECT_EQ(CDeviceLinkUart::PortNameFromFriendlyName("USB Serial Device (COM7)"), "COM7");
    EXPECT_EQ(CDeviceLinkUart::PortNameFromFriendlyName("Turbex Adapter (COM12)"), "COM12");
    EXPECT_EQ(CDeviceLinkUart::PortNameFromFriendlyName("COM3"), "COM3");
    EXPECT_EQ(CDeviceLinkUart::PortNameFromFriendlyName("USB Serial Device (ttyACM0)"), "");

    platform::SerialPortInfo windows;
    windows.friendlyName = "USB Serial Device (COM7)";
    EXPECT_EQ(CDeviceLinkUart::PortPath(windows), "\\\\.\\COM7");
    platform::SerialPortInfo linux;
    linux.path = "/dev/ttyACM0";
    linux.friendlyName = "USB Serial Device (ttyACM0)";
    EXPECT_EQ(CDeviceLinkUart::PortPath(linux), "/dev/ttyACM0");
    platform::SerialPortInfo nameless;
    nameless.friendlyName = "Bluetooth link";
    EXPECT_EQ(CDeviceLinkUart::PortPath(nameless), "");
}

// ---- The link over a simulated adapter on a pseudo-terminal -------------

// A port list naming the pseudo-terminal; ports open through termios as
// real ones do.
class PtyPorts : public platform::SerialPortSystem {
public:
    void Set(std::vector<platform::SerialPortInfo> ports) {
        std::lock_guard lock(m_lock);
        m_ports = std::move(ports);
    }
    void SetListFails(bool fails) { m_listFails = fails; }
    bool ListPorts(std::vector<platform::SerialPortInfo>& ports, std::string* error) override {
        ++m_lists;
        if (m_listFails.load()) {
            *error = "listing failed";
            return false;
        }
        std::lock_guard lock(m_lock);
        ports = m_ports;
        return true;
    }
    std::unique_ptr<platform::SerialPort> OpenPort(const std::string& path,
                                                   std::string* error) override {
        {
            std::lock_guard lock(m_lock);
            ++m_opens[path];
        }
        return platform::OpenSystemSerialPort(path, error);
    }
    int Opens(const std::string& path) const {
        std::lock_guard lock(m_lock);
        const auto it = m_opens.find(path);
        return it == m_opens.end() ? 0 : it->second;
    }
    uint32_t Lists() const { return m_lists.load(); }

private:
    mutable std::mutex m_lock;
    std::vector<platform::SerialPortInfo> m_ports;
    std::map<std::string, int> m_opens;
    std::atomic<bool> m_listFails{false};
    std::atomic<uint32_t> m_lists{0};
};

platform::SerialPortInfo Port(std::string path, const char* hardwareId, std::string friendly) {
    platform::SerialPortInfo info;
    info.path = std::move(path);
    info.hardwareId = hardwareId;
    info.friendlyName = std::move(friendly);
    return info;
}

class TestLinkUart : public CDeviceLinkUart {
public:
    using CDeviceLinkUart::CDeviceLinkUart;
    ~TestLinkUart() override { Stop(); }
    int32_t OnLinkState(int32_t connected, int32_t linkType) override {
        return log.Offer(connected, linkType);
    }
    linktest::LinkStateLog log;
};

struct UartFixture : ::testing::Test {
    UartFixture() {
        bus.Attach(31, &unit);
        // Bytes a cooked terminal would alter or swallow, and the frame
        // delimiter and escape.
        const std::array<uint8_t, 32> pattern{0x7E, 0x7D, 0x0A, 0x0D, 0x03, 0x11, 0x13, 0x1A,
                                              0x04, 0x7F, 0x00, 0xFF, 0x5E, 0x5D, 0x1C, 0x15,
                                              0x17, 0x12, 0x0F, 0x16, 0x08, 0x38, 0xC7, 0x20,
                                              0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x7E};
        unit.Set(1, pattern);
        std::string error;
        EXPECT_TRUE(adapter.Start(&error)) << error;
        ListAdapter();
    }
    // Runs one search step and returns the port lines it traced on the
    // debug channel, one a line; nothing may reach standard output.
    std::string Search(int32_t* pause) {
        std::string traced;
        SetDebugSink(
            [](const char* line, void* out) {
                if (std::strstr(line, "FriendName") != nullptr) {
                    *static_cast<std::string*>(out) += std::string(line) + "\n";
                }
            },
            &traced);
        testing::internal::CaptureStdout();
        *pause = link.SearchOnce();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        SetDebugSink(nullptr, nullptr);
        return traced;
    }
    void ListAdapter() {
        ports.Set(
            {Port("/dev/null-hid-dongle", "USB\\VID_16C0&PID_06F5", "Turbex HID dongle (hid)"),
             Port(adapter.PtyPath(), "USB\\VID_16C0&PID_06F6", "Turbex Adapter (pts)")});
    }
    void StartConnected() {
        ASSERT_EQ(link.Start(), 1);
        ASSERT_TRUE(linktest::WaitFor([&] { return link.IsConnected(); }));
    }

    sim::Bus bus;
    sim::RegisterFileUnit unit;
    sim::SerialAdapterPty adapter{bus};
    PtyPorts ports;
    TestLinkUart link{&ports};
};

TEST_F(UartFixture, SearchTracesEachMatchingPortAndOpensIt) {
    int32_t pause = -1;
    const std::string out = Search(&pause);
    EXPECT_EQ(pause, 0);
    EXPECT_EQ(out, "[001] : FriendName = Turbex Adapter (pts)\n");
    EXPECT_EQ(ports.Opens("/dev/null-hid-dongle"), 0)
        << "the HID dongle's ids are no serial adapter";
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(link.GetPortPath(), adapter.PtyPath());
    const std::vector<std::pair<int32_t, int32_t>> expected{{1, 2}};
    EXPECT_EQ(link.log.Calls(), expected);
}

TEST_F(UartFixture, NoMatchingPortOrNoListSearchesAgainIn200ms) {
    ports.Set({Port("/dev/null-hid-dongle", "USB\\VID_16C0&PID_06F5", "Turbex HID dongle (hid)")});
    int32_t pause = -1;
    EXPECT_EQ(Search(&pause), "");
    EXPECT_EQ(pause, CDeviceLinkUart::kSearchMs);
    ports.SetListFails(true);
    EXPECT_EQ(Search(&pause), "");
    EXPECT_EQ(pause, CDeviceLinkUart::kSearchMs);
    EXPECT_TRUE(link.log.Calls().empty());
    EXPECT_EQ(link.GetLastError(), "listing failed");
}

TEST_F(UartFixture, OfTwoAdaptersTheFirstThatOpensIsUsed) {
    sim::SerialAdapterPty second(bus);
    ASSERT_TRUE(second.Start());
    ports.Set({Port("/nonexistent/ttyACM9", "USB\\VID_16C0&PID_06F6", "Gone (ttyACM9)"),
               Port(adapter.PtyPath(), "USB\\VID_16C0&PID_06F6", "First (pts)"),
               Port(second.PtyPath(), "USB\\VID_16C0&PID_06F6", "Second (pts)")});
    int32_t pause = -1;
    EXPECT_EQ(Search(&pause),
              "[000] : FriendName = Gone (ttyACM9)\n[001] : FriendName = First (pts)\n");
    EXPECT_EQ(pause, 0);
    EXPECT_EQ(link.GetPortPath(), adapter.PtyPath());
    EXPECT_EQ(ports.Opens(second.PtyPath()), 0);
}

TEST_F(UartFixture, RefusedPortIsClosedAndOfferedAgain) {
    link.log.SetAccept(false);
    int32_t pause = -1;
    (void)Search(&pause);
    EXPECT_EQ(pause, CDeviceLinkUart::kSearchMs);
    (void)Search(&pause); // reopens: the first was closed
    EXPECT_EQ(pause, CDeviceLinkUart::kSearchMs);
    link.log.SetAccept(true);
    (void)Search(&pause);
    EXPECT_EQ(pause, 0);
    EXPECT_EQ(ports.Opens(adapter.PtyPath()), 3);
    EXPECT_EQ(link.log.Count(1), 3u);
    EXPECT_TRUE(link.IsConnected());
}

TEST_F(UartFixture, ReadsAndWritesEveryByteValueUnchanged) {
    StartConnected();
    std::array<uint8_t, 32> buffer{};
    ASSERT_EQ(link.Read(31, 1, 32, buffer.data()), 1) << link.GetLastError();
    bus.WithLock([&] {
        const auto expected = unit.Get(1);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), expected.begin()));
    });
    std::array<uint8_t, 32> data;
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(0x7C + i % 4); // 7C 7D 7E 7F
    }
    ASSERT_EQ(link.Write(31, 5, 32, data.data(), 20), 1) << link.GetLastError();
    bus.WithLock([&] { EXPECT_TRUE(std::equal(data.begin(), data.end(), unit.Get(5).begin())); });
    const uint8_t poll[2] = {0xFF, 0x29};
    EXPECT_EQ(link.Write(31, 1, 2, poll, 0), 1);
    EXPECT_EQ(adapter.Adapter().BadFrames(), 0u) << "every request arrived intact";
}

enum class Fault { Silence, WrongSequence, WrongLength, WrongCheck };

struct FaultCase {
    const char* name;
    Fault fault;
    int count;
    bool write;
    int expected;
};

TEST_F(UartFixture, EachWrongOrMissingReplyCostsOneOfTwoAttempts) {
    StartConnected();
    const FaultCase cases[] = {
        {"read, silence once", Fault::Silence, 1, false, 1},
        {"read, silence twice", Fault::Silence, 2, false, 0},
        {"read, wrong sequence once", Fault::WrongSequence, 1, false, 1},
        {"read, wrong sequence twice", Fault::WrongSequence, 2, false, 0},
        {"read, wrong length once", Fault::WrongLength, 1, false, 1},
        {"read, wrong length twice", Fault::WrongLength, 2, false, 0},
        {"read, wrong check once", Fault::WrongCheck, 1, false, 1},
        {"read, wrong check twice", Fault::WrongCheck, 2, false, 0},
        {"write, silence twice", Fault::Silence, 2, true, 0},
        {"write, wrong sequence once", Fault::WrongSequence, 1, true, 1},
        {"write, wrong sequence twice", Fault::WrongSequence, 2, true, 0},
        {"write, wrong length twice", Fault::WrongLength, 2, true, 0},
        {"write, no acknowledgement once", Fault::WrongCheck, 1, true, 1},
        {"write, no acknowledgement twice", Fault::WrongCheck, 2, true, 0},
    };
    sim::SerialAdapter& a = adapter.Adapter();
    for (const auto& c : cases) {
        switch (c.fault) {
        case Fault::Silence:
            a.InjectSilence(c.count);
            break;
        case Fault::WrongSequence:
            a.InjectWrongSequence(c.count);
            break;
        case Fault::WrongLength:
            a.InjectWrongLength(c.count);
            break;
        case Fault::WrongCheck:
            a.InjectWrongCheck(c.count);
            break;
        }
        const uint32_t before = a.Requests();
        const uint8_t sequenceBefore = a.LastSequence();
        std::array<uint8_t, 8> buffer{1, 2, 3, 4, 5, 6, 7, 8};
        const int result =
            c.write ? link.Write(31, 3, 8, buffer.data(), 0) : link.Read(31, 1, 8, buffer.data());
        EXPECT_EQ(result, c.expected) << c.name << ": " << link.GetLastError();
        EXPECT_EQ(a.Requests() - before, 2u) << c.name;
        EXPECT_EQ(static_cast<uint8_t>(a.LastSequence() - sequenceBefore), 2)
            << c.name << ": a new sequence per attempt";
    }
}

TEST_F(UartFixture, LateReplyIsNotTakenForTheNextAttempt) {
    StartConnected();
    adapter.SetReplyDelay(130);
    std::array<uint8_t, 4> buffer{};
    EXPECT_EQ(link.Read(31, 1, 4, buffer.data()), 0);
    adapter.SetReplyDelay(0);
    // Drain the late reply of the second attempt, then all is well again.
    platform::SleepMs(150);
    EXPECT_EQ(link.Read(31, 1, 4, buffer.data()), 1) << link.GetLastError();
}

TEST_F(UartFixture, WithoutAnAnnouncedPortTransactionsFailAtOnce) {
    std::array<uint8_t, 33> buffer{};
    EXPECT_EQ(link.Read(31, 1, 4, buffer.data()), 0);
    EXPECT_EQ(link.Write(31, 1, 4, buffer.data(), 0), 0);
    EXPECT_EQ(link.GetLastError(), "no port open");
    StartConnected();
    EXPECT_EQ(link.Read(31, 1, 0, buffer.data()), 0);
    EXPECT_EQ(link.Read(31, 1, 33, buffer.data()), 0);
    EXPECT_EQ(link.Write(31, 1, 4, nullptr, 0), 0);
    EXPECT_EQ(adapter.Adapter().Requests(), 0u);
}

TEST_F(UartFixture, UnplugReportsDownAtOnceAndReplugIsFoundAgain) {
    StartConnected();
    adapter.Unplug();
    ASSERT_TRUE(linktest::WaitFor([&] { return !link.IsConnected(); }));
    EXPECT_TRUE(link.GetPortPath().empty());
    EXPECT_TRUE(linktest::WaitFor([&] { return link.log.Count(0) == 1; }));
    ASSERT_TRUE(adapter.Replug());
    ListAdapter();
    ASSERT_TRUE(linktest::WaitFor([&] { return link.IsConnected(); }));
    EXPECT_EQ(link.GetPortPath(), adapter.PtyPath());
    std::array<uint8_t, 4> buffer{};
    EXPECT_EQ(link.Read(31, 1, 4, buffer.data()), 1) << link.GetLastError();
}

TEST_F(UartFixture, UnplugWhileATransactionWaitsEndsItWithoutASecondAttempt) {
    StartConnected();
    adapter.Adapter().SetSilent(true);
    int result = -1;
    std::thread caller([&] {
        std::array<uint8_t, 32> buffer{};
        result = link.Read(31, 1, 32, buffer.data());
    });
    ASSERT_TRUE(linktest::WaitFor([&] { return adapter.Adapter().Requests() == 1; }));
    ports.Set({}); // nothing to find afterwards, so the error text stays the transaction's
    adapter.Unplug();
    caller.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(link.GetLastError(), "port gone while waiting for the reply");
    EXPECT_TRUE(linktest::WaitFor([&] { return link.log.Count(0) == 1; }));
}

TEST_F(UartFixture, StopWhileATransactionWaitsEndsItAndDoesNotHang) {
    StartConnected();
    adapter.Adapter().SetSilent(true);
    int result = -1;
    std::thread caller([&] {
        std::array<uint8_t, 32> buffer{};
        result = link.Read(31, 1, 32, buffer.data());
    });
    ASSERT_TRUE(linktest::WaitFor([&] { return adapter.Adapter().Requests() == 1; }));
    link.Stop();
    caller.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(adapter.Adapter().Requests(), 1u) << "no second attempt after Stop";
    EXPECT_EQ(link.log.Count(0), 1u) << "a connected link reports itself down";
    EXPECT_FALSE(link.IsConnected());
}

} // namespace
