#include "device/CDeviceLinkHID.h"
#include "device/LinkTestSupport.h"
#include "platform/Clock.h"
#include "protocol/FrameHid.h"
#include "sim/Bus.h"
#include "sim/HidDongle.h"
#include "sim/HidDongleSet.h"
#include "sim/RegisterFileUnit.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace {

class TestLinkHID : public CDeviceLinkHID {
public:
    using CDeviceLinkHID::CDeviceLinkHID;
    ~TestLinkHID() override { Stop(); }
    int32_t OnLinkState(int32_t connected, int32_t linkType) override {
        return log.Offer(connected, linkType);
    }
    linktest::LinkStateLog log;
};

// Pauses inside transactions, counted instead of slept.
std::atomic<int> g_pauses1ms{0};
std::atomic<int> g_pausesOther{0};
std::atomic<int> g_lastPause{0};
void CountingSleep(int32_t ms) {
    (ms == 1 ? g_pauses1ms : g_pausesOther).fetch_add(1);
    g_lastPause = ms;
}

struct LinkHidFixture : ::testing::Test {
    LinkHidFixture() {
        bus.Attach(31, &unit);
        std::array<uint8_t, 32> pattern{};
        for (size_t i = 0; i < pattern.size(); ++i) {
            pattern[i] = static_cast<uint8_t>(0xA0 + i);
        }
        unit.Set(1, pattern);
        g_pauses1ms = 0;
        g_pausesOther = 0;
        g_lastPause = 0;
    }

    // Steps the monitor until the link is announced.
    void Connect() {
        devices.Add(dongle);
        link.SetSleep(&CountingSleep);
        ASSERT_EQ(link.MonitorOnce(), CDeviceLinkHID::kOpenSettleMs);
        ASSERT_EQ(link.MonitorOnce(), CDeviceLinkHID::kPollMs);
        ASSERT_TRUE(link.IsConnected());
    }

    sim::Bus bus;
    sim::RegisterFileUnit unit;
    sim::HidDongle dongle{bus, "sim-hid-0"};
    sim::HidDongleSet devices;
    TestLinkHID link{&devices};
};

TEST_F(LinkHidFixture, NoDongleSearchesAgainWithoutOffering) {
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kSearchMs);
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kSearchMs);
    EXPECT_EQ(devices.Enumerations(), 2u);
    EXPECT_TRUE(link.log.Calls().empty());
}

TEST_F(LinkHidFixture, NoDongleRetriesEvery100msOnItsThread) {
    devices.AddOther("keyboard", 0x046D, 0xC31C);
    const uint32_t start = platform::TickCount();
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(linktest::WaitFor([&] { return devices.Enumerations() >= 4; }));
    const uint32_t elapsed = platform::TickCount() - start;
    link.Stop();
    // Four searches need three pauses between them: not a busy loop.
    EXPECT_GE(elapsed, 3u * CDeviceLinkHID::kSearchMs - 5);
    EXPECT_TRUE(link.log.Calls().empty());
}

struct VersionCase {
    uint8_t high;
    uint8_t low;
    bool announced;
};

TEST_F(LinkHidFixture, AnnouncesOnlyVersions256To512) {
    const VersionCase cases[] = {
        {0x01, 0x05, true},  // 261
        {0x03, 0x00, false}, // 768
        {0x00, 0xFF, false}, // 255
        {0x01, 0x00, true},  // 256
        {0x02, 0x00, true},  // 512
        {0x02, 0x01, false}, // 513
    };
    for (const auto& c : cases) {
        sim::HidDongle d(bus, "sim-hid-v");
        sim::HidDongleSet set;
        set.Add(d);
        TestLinkHID l(&set);
        d.SetVersion(static_cast<uint16_t>(c.high << 8 | c.low));
        EXPECT_EQ(l.MonitorOnce(), CDeviceLinkHID::kOpenSettleMs);
        EXPECT_EQ(l.MonitorOnce(), CDeviceLinkHID::kPollMs);
        EXPECT_EQ(l.MonitorOnce(), CDeviceLinkHID::kPollMs);
        EXPECT_EQ(l.IsConnected(), c.announced) << int(c.high) << " " << int(c.low);
        EXPECT_EQ(l.log.Count(1), c.announced ? 1u : 0u) << "announced once, then only polled";
        EXPECT_TRUE(l.IsDongleOpen());
        EXPECT_EQ(d.InputReports(1), 2u);
        EXPECT_EQ(l.GetDongleVersion(), c.high * 256 + c.low);
    }
}

TEST_F(LinkHidFixture, TwoDonglesOpenTheOneFoundLast) {
    sim::HidDongle other(bus, "sim-hid-1");
    devices.Add(dongle);
    devices.Add(other);
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kOpenSettleMs);
    EXPECT_EQ(dongle.Opens(), 0u);
    EXPECT_EQ(other.Opens(), 1u);
}

TEST_F(LinkHidFixture, RefusedOfferClosesTheDongleForASecond) {
    devices.Add(dongle);
    link.log.SetAccept(false);
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kOpenSettleMs);
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kRefusedMs);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_FALSE(link.IsDongleOpen());
    EXPECT_EQ(dongle.OpenHandles(), 0);

    link.log.SetAccept(true);
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kOpenSettleMs);
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kPollMs);
    EXPECT_TRUE(link.IsConnected());
    const auto calls = link.log.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(1, 0));
    EXPECT_EQ(calls[1], std::make_pair(1, 0));
}

TEST_F(LinkHidFixture, FailedPollReportsDownAndReplugAnnouncesAgain) {
    Connect();
    dongle.Unplug();
    EXPECT_EQ(link.MonitorOnce(), 0); // search again at once
    EXPECT_FALSE(link.IsConnected());
    EXPECT_FALSE(link.IsDongleOpen());
    EXPECT_EQ(dongle.OpenHandles(), 0);
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kSearchMs);
    dongle.Replug();
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kOpenSettleMs);
    EXPECT_EQ(link.MonitorOnce(), CDeviceLinkHID::kPollMs);
    EXPECT_TRUE(link.IsConnected());
    const auto calls = link.log.Calls();
    const std::vector<std::pair<int32_t, int32_t>> expected{{1, 0}, {0, 0}, {1, 0}};
    EXPECT_EQ(calls, expected);
}

TEST_F(LinkHidFixture, ReadAndWriteReachTheUnit) {
    Connect();
    uint8_t buffer[32] = {};
    ASSERT_EQ(link.Read(31, 1, 32, buffer), 0);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(buffer[i], 0xA0 + i);
    }
    const uint8_t poll[2] = {0xFF, 0x29};
    ASSERT_EQ(link.Write(31, 1, 2, poll, 3), 0);
    bus.WithLock([&] {
        EXPECT_EQ(unit.Get(1)[0], 0xFF);
        EXPECT_EQ(unit.Get(1)[1], 0x29);
    });
    EXPECT_EQ(g_lastPause.load(), 3); // the write delay, before the status
    uint8_t one = 0;
    EXPECT_EQ(link.Read(30, 1, 1, &one), frames::kHidStatusError3) << "no unit at 30";
}

struct StatusCase {
    const char* name;
    int busy;
    int repeats;
    int status; // injected final status, -1 for none
    int expected;
    uint32_t sends;
};

TEST_F(LinkHidFixture, StatusAnswersGiveTheirResultCodes) {
    Connect();
    const StatusCase cases[] = {
        {"done", 0, 0, -1, 0, 1},
        {"busy 100 times", 100, 0, -1, 0, 1},
        {"busy 101 times", 101, 0, -1, 2, 1},
        {"one repeat request", 0, 1, -1, 0, 2},
        {"two repeat requests", 0, 2, -1, 3, 2},
        {"status 3", 0, 0, 3, 5, 1},
        {"status 5", 0, 0, 5, 4, 1},
        {"status 0", 0, 0, 0, 2, 1},
        {"status 9", 0, 0, 9, 2, 1},
        {"unknown after a resend", 0, 1, 7, 3, 2},
    };
    for (const auto& c : cases) {
        dongle.InjectBusy(c.busy);
        dongle.InjectRepeat(c.repeats);
        if (c.status >= 0) {
            dongle.InjectStatus(static_cast<uint8_t>(c.status), 1);
        }
        g_pauses1ms = 0;
        const uint32_t sendsBefore = dongle.OutputReports();
        link.RateOnce();
        uint8_t buffer[32] = {};
        EXPECT_EQ(link.Read(31, 1, 32, buffer), c.expected) << c.name;
        EXPECT_EQ(dongle.OutputReports() - sendsBefore, c.sends) << c.name;
        EXPECT_EQ(g_pauses1ms.load(), std::min(c.busy, 100)) << c.name << ": 1 ms per busy re-poll";
        if (c.expected == 0) {
            EXPECT_EQ(buffer[31], 0xA0 + 31) << c.name;
        }
        link.RateOnce();
        EXPECT_EQ(link.GetRate(), c.expected == 0 ? 1u : 0u) << c.name << ": only successes count";
        dongle.InjectStatus(0, 0);
        dongle.InjectRepeat(0);
    }
}

TEST_F(LinkHidFixture, ResendRepeatsTheWriteDelay) {
    Connect();
    dongle.InjectRepeat(1);
    const uint8_t data[1] = {0x42};
    EXPECT_EQ(link.Write(31, 2, 1, data, 20), 0);
    EXPECT_EQ(g_pausesOther.load(), 2);
    EXPECT_EQ(g_lastPause.load(), 20);
}

TEST_F(LinkHidFixture, FailedReportTransfersAreCode1) {
    Connect();
    uint8_t buffer[4];
    dongle.FailOutputReports(1);
    EXPECT_EQ(link.Read(31, 1, 4, buffer), frames::kHidNotOpen);
    dongle.FailInputReports(1);
    EXPECT_EQ(link.Read(31, 1, 4, buffer), frames::kHidNotOpen);
    EXPECT_EQ(link.Read(31, 1, 4, buffer), frames::kHidOk);
}

TEST_F(LinkHidFixture, BadLengthOrBufferIsRefusedBeforeAnythingIsSent) {
    Connect();
    uint8_t buffer[40] = {};
    EXPECT_EQ(link.Read(31, 1, 0, buffer), frames::kHidBadArguments);
    EXPECT_EQ(link.Read(31, 1, 33, buffer), frames::kHidBadArguments);
    EXPECT_EQ(link.Write(31, 1, 0, buffer, 0), frames::kHidBadArguments);
    EXPECT_EQ(link.Write(31, 1, 33, buffer, 0), frames::kHidBadArguments);
    EXPECT_EQ(link.Read(31, 1, 4, nullptr), frames::kHidBadArguments);
    EXPECT_EQ(link.Write(31, 1, 4, nullptr, 0), frames::kHidBadArguments);
    EXPECT_EQ(dongle.OutputReports(), 0u);
    EXPECT_EQ(dongle.InputReports(3), 0u);
}

TEST_F(LinkHidFixture, UnannouncedLinkFailsWithoutTouchingTheDongle) {
    devices.Add(dongle);
    dongle.SetVersion(0x0300);
    ASSERT_EQ(link.MonitorOnce(), CDeviceLinkHID::kOpenSettleMs);
    ASSERT_EQ(link.MonitorOnce(), CDeviceLinkHID::kPollMs);
    ASSERT_TRUE(link.IsDongleOpen());
    uint8_t buffer[4];
    EXPECT_EQ(link.Read(31, 1, 4, buffer), frames::kHidNotOpen);
    EXPECT_EQ(link.Write(31, 1, 4, buffer, 0), frames::kHidNotOpen);
    EXPECT_EQ(dongle.OutputReports(), 0u);
    EXPECT_EQ(dongle.InputReports(3), 0u);
}

TEST_F(LinkHidFixture, RateIsTheCountOfTheLastWholeSecond) {
    Connect();
    uint8_t buffer[4];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(link.Read(31, 1, 4, buffer), 0);
    }
    dongle.InjectStatus(3);
    EXPECT_NE(link.Read(31, 1, 4, buffer), 0);
    EXPECT_EQ(link.GetRate(), 0u);
    link.RateOnce();
    EXPECT_EQ(link.GetRate(), 3u);
    link.RateOnce();
    EXPECT_EQ(link.GetRate(), 0u);
}

// Threads from here on.

TEST_F(LinkHidFixture, ConcurrentTransactionsAndVersionPollsNeverInterleave) {
    std::array<uint8_t, 32> two{};
    two.fill(0x22);
    unit.Set(2, two);
    devices.Add(dongle);
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(linktest::WaitFor([&] { return link.IsConnected(); }));
    std::atomic<int> wrong{0};
    auto worker = [&](uint8_t reg, uint8_t expected) {
        for (int i = 0; i < 150; ++i) {
            uint8_t buffer[32] = {};
            if (link.Read(31, reg, 32, buffer) != 0 || buffer[31] != expected) {
                ++wrong;
            }
        }
    };
    std::thread a(worker, 1, static_cast<uint8_t>(0xA0 + 31));
    std::thread b(worker, 2, 0x22);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GE(dongle.Transactions(), 300u);
}

TEST_F(LinkHidFixture, UnplugWhileATransactionWaitsEndsItPromptly) {
    devices.Add(dongle);
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(linktest::WaitFor([&] { return link.IsConnected(); }));
    dongle.SetHung(true);
    int result = -1;
    std::thread caller([&] {
        uint8_t buffer[32];
        result = link.Read(31, 1, 32, buffer);
    });
    // Sent, and hanging in input report 3 with the transaction mutex held.
    ASSERT_TRUE(linktest::WaitFor(
        [&] { return dongle.OutputReports() == 1 && dongle.BlockedReports() == 1; }));
    dongle.Unplug();
    caller.join();
    EXPECT_EQ(result, frames::kHidNotOpen);
    ASSERT_TRUE(linktest::WaitFor([&] { return link.log.Count(0) == 1; }));
    EXPECT_FALSE(link.IsConnected());
}

TEST_F(LinkHidFixture, DestroyingTheLinkWhileTheDongleHangsDoesNotHang) {
    devices.Add(dongle);
    {
        TestLinkHID started(&devices);
        ASSERT_EQ(started.Start(), 1);
        ASSERT_TRUE(linktest::WaitFor([&] { return started.IsConnected(); }));
        dongle.SetHung(true);
        ASSERT_TRUE(linktest::WaitFor([&] { return dongle.BlockedReports() == 1; }));
        started.Stop();
        EXPECT_EQ(started.log.Count(0), 1u) << "a connected link reports itself down";
        EXPECT_EQ(started.Start(), 0) << "no restart after Stop";
    }
    EXPECT_EQ(dongle.OpenHandles(), 0);
}

TEST_F(LinkHidFixture, RateThreadPublishesEverySecond) {
    devices.Add(dongle);
    ASSERT_EQ(link.Start(), 1);
    ASSERT_TRUE(linktest::WaitFor([&] { return link.IsConnected(); }));
    uint8_t buffer[4];
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(link.Read(31, 1, 4, buffer), 0);
    }
    // A second boundary publishes the count, and the next one clears it.
    EXPECT_TRUE(linktest::WaitFor([&] { return link.GetRate() > 0; }, 2500));
    EXPECT_TRUE(linktest::WaitFor([&] { return link.GetRate() == 0; }, 2500));
}

} // namespace
