#include "device/CDeviceLinkSocket.h"
#include "sim/Bus.h"
#include "sim/SimUnit.h"
#include "sim/TcpBridge.h"
#include "support/FdCount.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr uint8_t kUnit = 31;

// Records every OnLinkState call and accepts or refuses as told.
class RecordingLink : public CDeviceLinkSocket {
public:
    // A wide reply window by default: sanitizers slow the simulator down.
    explicit RecordingLink(uint16_t port, int32_t replyWindowMs = 250)
        : CDeviceLinkSocket(port, replyWindowMs) {}
    // The thread calls OnLinkState: stop it before this class's members go.
    ~RecordingLink() override { Stop(); }

    int32_t OnLinkState(int32_t connected, int32_t linkType) override {
        std::lock_guard lock(m_lock);
        calls.emplace_back(connected, linkType);
        if (connected != 0) {
            return accept.load() ? 1 : 0;
        }
        return 1;
    }

    int Count(int32_t connected) {
        std::lock_guard lock(m_lock);
        int n = 0;
        for (auto& c : calls) {
            n += c.first == connected ? 1 : 0;
        }
        return n;
    }

    std::vector<std::pair<int32_t, int32_t>> Calls() {
        std::lock_guard lock(m_lock);
        return calls;
    }

    std::atomic<bool> accept{true};

private:
    std::mutex m_lock;
    std::vector<std::pair<int32_t, int32_t>> calls;
};

struct CDeviceLinkSocketBridge : ::testing::Test {
    void SetUp() override {
        bus.Attach(kUnit, &unit);
        ASSERT_TRUE(bridge.Start()) << bridge.GetLastError();
    }
    sim::Bus bus;
    sim::SimUnit unit;
    sim::TcpBridge bridge{bus, 0};
};

// A port nothing listens on: bind one, then let it go.
uint16_t UnusedPort() {
    sim::Bus bus;
    sim::TcpBridge probe(bus, 0);
    EXPECT_TRUE(probe.Start());
    const uint16_t port = probe.GetPort();
    probe.Stop();
    return port;
}

} // namespace

TEST_F(CDeviceLinkSocketBridge, ReadsAndWritesReachTheSimulatedUnit) {
    RecordingLink link(bridge.GetPort());
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }));

    uint8_t data[32];
    for (int i = 0; i < 32; ++i) {
        data[i] = static_cast<uint8_t>(0xA0 + i);
    }
    data[5] = 0x7E; // bytes that other links escape travel as they are here
    ASSERT_EQ(link.Write(kUnit, 7, 32, data, 20), 1) << link.GetLastError();
    uint8_t back[32] = {};
    ASSERT_EQ(link.Read(kUnit, 7, 32, back), 1) << link.GetLastError();
    EXPECT_EQ(std::vector<uint8_t>(back, back + 32), std::vector<uint8_t>(data, data + 32));

    // The status exchange of register 0.
    const uint8_t select[] = {0x04, 0xFB};
    ASSERT_EQ(link.Write(kUnit, 0, 2, select, 5), 1);
    uint8_t status[10] = {};
    ASSERT_EQ(link.Read(kUnit, 0, 10, status), 1);
    const auto expected = unit.status.StatusBytes();
    EXPECT_EQ(std::vector<uint8_t>(status, status + 10),
              std::vector<uint8_t>(expected.begin(), expected.end()));

    EXPECT_EQ(link.Calls(), (std::vector<std::pair<int32_t, int32_t>>{{1, 1}}));
}

TEST_F(CDeviceLinkSocketBridge, InvalidLengthsAndAnAbsentUnitFail) {
    RecordingLink link(bridge.GetPort());
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }));
    uint8_t buffer[33] = {};
    EXPECT_EQ(link.Read(kUnit, 1, 0, buffer), 0);
    EXPECT_EQ(link.Read(kUnit, 1, 33, buffer), 0);
    EXPECT_EQ(link.Read(kUnit, 1, 4, nullptr), 0);
    EXPECT_EQ(link.Read(5, 1, 4, buffer), 0);     // nobody at address 5: no reply
    EXPECT_EQ(link.Read(kUnit, 1, 4, buffer), 1); // and the link goes on working
}

TEST(CDeviceLinkSocket, NotConnectedFailsWithoutSending) {
    CDeviceLinkSocket link(UnusedPort());
    uint8_t buffer[4];
    EXPECT_EQ(link.Read(kUnit, 1, 4, buffer), 0);
    EXPECT_EQ(link.GetLastError(), "not connected");
}

TEST_F(CDeviceLinkSocketBridge, ReplyFaultsFailOneTransactionAndTheNextSucceeds) {
    RecordingLink link(bridge.GetPort(), 50);
    bridge.faults.lateReplyMs = 150;
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }));
    uint8_t buffer[8] = {};
    const uint8_t data[2] = {1, 2};

    // Register 3 holds FF 01, so the late reply to its read looks like an
    // acknowledgement: taken for the next write's reply, it would pass it.
    const uint8_t ackLike[2] = {0xFF, 0x01};
    ASSERT_EQ(link.Write(kUnit, 3, 2, ackLike, 0), 1);
    bridge.faults.lateReply = 1; // past the 10 ms window
    EXPECT_EQ(link.Read(kUnit, 3, 2, buffer), 0);
    // Let the late reply arrive: it must not be taken for the next one's.
    std::this_thread::sleep_for(std::chrono::milliseconds(bridge.faults.lateReplyMs + 20));
    bridge.faults.noWriteAck = 1;
    EXPECT_EQ(link.Write(kUnit, 3, 2, data, 0), 0);
    EXPECT_EQ(link.Write(kUnit, 3, 2, data, 0), 1) << link.GetLastError();

    bridge.faults.wrongPreamble = 1;
    EXPECT_EQ(link.Read(kUnit, 3, 8, buffer), 0);

    bridge.faults.noWriteAck = 1;
    EXPECT_EQ(link.Write(kUnit, 3, 2, data, 0), 0);

    bridge.faults.silent = 1;
    EXPECT_EQ(link.Write(kUnit, 3, 2, data, 0), 0);

    ASSERT_EQ(link.Read(kUnit, 3, 2, buffer), 1) << link.GetLastError();
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[1], 2);
    EXPECT_TRUE(link.IsConnected());
}

// A reply that comes after its transaction gave up lands in a later one's
// window, with the replies still due right behind it: no transaction may
// take another's reply for its own, whatever comes back at once.
TEST_F(CDeviceLinkSocketBridge, ALateReplyIsNeverTakenForALaterOnesReply) {
    RecordingLink link(bridge.GetPort(), 20);
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }));
    uint8_t three[32];
    uint8_t four[32];
    for (int i = 0; i < 32; ++i) {
        three[i] = static_cast<uint8_t>(0x30 + i);
        four[i] = static_cast<uint8_t>(0x40 + i);
    }
    ASSERT_EQ(link.Write(kUnit, 3, 32, three, 0), 1);
    ASSERT_EQ(link.Write(kUnit, 4, 32, four, 0), 1);

    bridge.faults.lateReplyMs = 60; // three windows
    bridge.faults.lateReply = 1;
    uint8_t buffer[32] = {};
    EXPECT_EQ(link.Read(kUnit, 3, 32, buffer), 0);
    int good = 0;
    for (int i = 0; i < 12; ++i) {
        std::memset(buffer, 0, sizeof buffer);
        if (link.Read(kUnit, 4, 32, buffer) == 1) {
            ++good;
            EXPECT_EQ(std::memcmp(buffer, four, 32), 0) << "read " << i << " took another reply";
        }
    }
    EXPECT_GE(good, 6); // back in step soon after the late reply came
}

TEST_F(CDeviceLinkSocketBridge, AReplySplitIntoTwoSegmentsIsAccepted) {
    RecordingLink link(bridge.GetPort());
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }));
    const uint8_t data[32] = {9, 8, 7};
    ASSERT_EQ(link.Write(kUnit, 4, 32, data, 0), 1);

    bridge.faults.splitReply = 2;
    uint8_t back[32] = {};
    EXPECT_EQ(link.Read(kUnit, 4, 32, back), 1) << link.GetLastError();
    EXPECT_EQ(back[2], 7);
    EXPECT_EQ(link.Write(kUnit, 4, 3, data, 0), 1) << link.GetLastError();
}

TEST_F(CDeviceLinkSocketBridge, ADroppedConnectionReportsDownAndReconnectsAtOnce) {
    RecordingLink link(bridge.GetPort());
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }));

    bridge.faults.dropConnection = 1;
    uint8_t buffer[4];
    EXPECT_EQ(link.Read(kUnit, 1, 4, buffer), 0);
    ASSERT_TRUE(WaitFor([&] { return link.Count(1) == 2 && link.IsConnected(); }));
    EXPECT_EQ(link.Calls(), (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {0, 1}, {1, 1}}));
    EXPECT_EQ(link.Read(kUnit, 1, 4, buffer), 1);
}

TEST_F(CDeviceLinkSocketBridge, AcceptAndCloseGivesOneUpAndOneDownPerConnection) {
    bridge.faults.acceptAndClose = 3;
    RecordingLink link(bridge.GetPort());
    ASSERT_EQ(link.Start(), 1);
    // Three closed connections, then one that stays.
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected() && link.Count(1) == 4; }));
    const auto calls = link.Calls();
    ASSERT_EQ(calls.size(), 7u);
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].first, i % 2 == 0 ? 1 : 0) << i;
        EXPECT_EQ(calls[i].second, 1);
    }
    // The handshake completes before the bridge's accept returns.
    EXPECT_TRUE(WaitFor([&] { return bridge.GetConnections() == 4u; }));
}

TEST_F(CDeviceLinkSocketBridge, ARefusedLinkClosesItsSocketAndRetries) {
    RecordingLink link(bridge.GetPort());
    link.accept = false;
    const int fdsBefore = CountOpenFds();
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link.Count(1) >= 3; }));
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(link.Count(0), 0); // never accepted, so never reported down
    EXPECT_LE(CountOpenFds(), fdsBefore + 1);

    link.accept = true; // the other link went down: the next offer is taken
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }));
    uint8_t buffer[4];
    EXPECT_EQ(link.Read(kUnit, 1, 4, buffer), 1);
}

TEST_F(CDeviceLinkSocketBridge, NoDescriptorLeaksOverAThousandReconnects) {
    bridge.faults.acceptAndClose = -1;
    const int fdsBefore = CountOpenFds();
    {
        RecordingLink link(bridge.GetPort());
        ASSERT_EQ(link.Start(), 1);
        ASSERT_TRUE(WaitFor([&] { return link.Count(0) >= 1000; }, 60000));
        EXPECT_LE(CountOpenFds(), fdsBefore + 2); // at most the current socket and its peer
    }
    EXPECT_TRUE(WaitFor([&] { return CountOpenFds() <= fdsBefore + 1; }));
}

TEST(CDeviceLinkSocket, NoListenerNeverReportsAndLeaksNothing) {
    const uint16_t port = UnusedPort();
    const int fdsBefore = CountOpenFds();
    RecordingLink link(port);
    ASSERT_EQ(link.Start(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(350)); // a few 100 ms retries
    EXPECT_TRUE(link.Calls().empty());
    EXPECT_FALSE(link.IsConnected());
    EXPECT_LE(CountOpenFds(), fdsBefore + 1);
    EXPECT_NE(link.GetLastError().find("connect"), std::string::npos);
}

TEST_F(CDeviceLinkSocketBridge, DestroyingTheLinkWithItsPeerHungReturns) {
    bridge.faults.silent = -1;
    auto link = std::make_unique<RecordingLink>(bridge.GetPort());
    ASSERT_EQ(link->Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link->IsConnected(); }));
    std::atomic<bool> done{false};
    std::thread caller([&] {
        uint8_t buffer[4];
        while (!done) {
            (void)link->Read(kUnit, 1, 4, buffer);
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    done = true;
    caller.join();
    link.reset(); // the receive thread sits in recv: Stop must unblock it
    SUCCEED();
}

TEST_F(CDeviceLinkSocketBridge, ConcurrentCallersAreSerialised) {
    RecordingLink link(bridge.GetPort());
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return link.IsConnected(); }));
    std::atomic<int> failures{0};
    auto worker = [&](uint8_t reg) {
        for (int i = 0; i < 100; ++i) {
            const uint8_t value[2] = {reg, static_cast<uint8_t>(i)};
            uint8_t back[2] = {};
            if (link.Write(kUnit, reg, 2, value, 0) != 1 || link.Read(kUnit, reg, 2, back) != 1 ||
                back[0] != reg || back[1] != i) {
                ++failures;
            }
        }
    };
    std::thread a(worker, 5), b(worker, 6);
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
}
