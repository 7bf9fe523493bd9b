#include "sim/SerialAdapter.h"
#include "platform/Clock.h"
#include "sim/Bus.h"
#include "sim/RegisterFileUnit.h"
#include "sim/SerialAdapterPty.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

// The adapter's framing checked against request and reply bytes written out
// by hand.
namespace {

using Bytes = std::vector<uint8_t>;

// Read of 4 bytes from register 1 at unit 31, sequence 5:
// C7 05 00 03 05 F8 23 check(F8 23) = ~(F8 ^ 23) = 0x24.
const Bytes kRead4 = {0x7E, 0xC7, 0x05, 0x00, 0x03, 0x05, 0xF8, 0x23, 0x24, 0x7E};
// Poll request FF 29 written to register 1, sequence 9:
// C7 09 00 05 01 FA 21 FF 29 check = ~(FA ^ 21 ^ FF ^ 29) = 0xF2.
const Bytes kPoll = {0x7E, 0xC7, 0x09, 0x00, 0x05, 0x01, 0xFA, 0x21, 0xFF, 0x29, 0xF2, 0x7E};

struct AdapterFixture : ::testing::Test {
    AdapterFixture() {
        bus.Attach(31, &unit);
        const std::array<uint8_t, 4> bytes{0x10, 0x7E, 0x7D, 0x20};
        unit.Set(1, bytes);
    }
    Bytes Send(const Bytes& in) {
        Bytes out;
        adapter.Receive(in, out);
        return out;
    }

    sim::Bus bus;
    sim::RegisterFileUnit unit;
    sim::SerialAdapter adapter{bus};
};

TEST_F(AdapterFixture, ReadReplyEchoesTheSequenceAndEscapesItsData) {
    // 38 05 00 05, data 10 7E 7D 20, check ~(10^7E^7D^20) = 0xCC.
    const Bytes expected = {
        0x7E, 0x38, 0x05, 0x00, 0x05, 0x10, 0x7D, 0x5E, 0x7D, 0x5D, 0x20, 0xCC, 0x7E};
    EXPECT_EQ(Send(kRead4), expected);
    EXPECT_EQ(adapter.Requests(), 1u);
}

TEST_F(AdapterFixture, WriteIsAcknowledgedWithFF) {
    const Bytes expected = {0x7E, 0x38, 0x09, 0x00, 0x01, 0xFF, 0x7E};
    EXPECT_EQ(Send(kPoll), expected);
    bus.WithLock([&] { EXPECT_EQ(unit.Get(1)[1], 0x29); });
    unit.SetSilent(false, true);
    const Bytes refused = {0x7E, 0x38, 0x09, 0x00, 0x01, 0x00, 0x7E};
    EXPECT_EQ(Send(kPoll), refused);
}

TEST_F(AdapterFixture, ByteByByteIsTheSameAsAllAtOnce) {
    Bytes out;
    for (uint8_t b : kRead4) {
        adapter.Receive(std::span<const uint8_t>(&b, 1), out);
    }
    EXPECT_EQ(out, Send(kRead4));
}

TEST_F(AdapterFixture, MalformedRequestsAndSilentUnitsGetNoReply) {
    Bytes badCheck = kRead4;
    badCheck[8] ^= 0x01;
    EXPECT_TRUE(Send(badCheck).empty());
    Bytes badCount = kRead4;
    badCount[4] = 0x04;
    badCount[8] = 0x24;
    EXPECT_TRUE(Send(badCount).empty());
    EXPECT_TRUE(Send({0x7E, 0xC7, 0x7D, 0x41, 0x7E}).empty());
    EXPECT_EQ(adapter.BadFrames(), 3u);
    unit.SetSilent(true, false);
    EXPECT_TRUE(Send(kRead4).empty());
    EXPECT_EQ(adapter.BadFrames(), 3u);
}

TEST_F(AdapterFixture, InjectedFaultsApplyToTheNextReplies) {
    adapter.InjectSilence(1);
    EXPECT_TRUE(Send(kRead4).empty());
    EXPECT_FALSE(Send(kRead4).empty());

    adapter.InjectWrongSequence(1);
    EXPECT_EQ(Send(kRead4)[2], 0x06);
    EXPECT_EQ(Send(kRead4)[2], 0x05);

    // One data byte short: 38 05 00 04, 10 7E 7D, check ~(10^7E^7D) = 0xEC.
    adapter.InjectWrongLength(1);
    const Bytes shortReply = {
        0x7E, 0x38, 0x05, 0x00, 0x04, 0x10, 0x7D, 0x5E, 0x7D, 0x5D, 0xEC, 0x7E};
    EXPECT_EQ(Send(kRead4), shortReply);

    adapter.InjectWrongCheck(1);
    EXPECT_EQ(Send(kRead4)[11], static_cast<uint8_t>(~0xCC));
    adapter.InjectWrongCheck(1);
    EXPECT_EQ(Send(kPoll)[5], 0x00);

    adapter.SetSilent(true);
    EXPECT_TRUE(Send(kRead4).empty());
}

// The adapter on a pseudo-terminal, driven through the far side's node.
TEST(SerialAdapterPty, AnswersOnItsTerminalAndHangsUpWhenUnplugged) {
    sim::Bus bus;
    sim::RegisterFileUnit unit;
    bus.Attach(31, &unit);
    sim::SerialAdapterPty pty(bus);
    std::string error;
    ASSERT_TRUE(pty.Start(&error)) << error;
    const int fd = ::open(pty.PtyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    // A fresh terminal echoes and translates: make the far side raw first.
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::cfmakeraw(&t);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    ASSERT_EQ(::write(fd, kPoll.data(), kPoll.size()), static_cast<ssize_t>(kPoll.size()));
    Bytes got;
    const uint32_t start = platform::TickCount();
    while (got.size() < 7 && platform::TickCount() - start < 2000) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            uint8_t b[64];
            const ssize_t n = ::read(fd, b, sizeof b);
            if (n > 0) {
                got.insert(got.end(), b, b + n);
            }
        }
    }
    const Bytes expected = {0x7E, 0x38, 0x09, 0x00, 0x01, 0xFF, 0x7E};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(pty.BytesReceived(), kPoll.size());
    while (pty.BytesSent() < expected.size() && platform::TickCount() - start < 2000) {
        platform::SleepMs(1); // counted once the write returned
    }
    EXPECT_EQ(pty.BytesSent(), expected.size());

    pty.Unplug();
    EXPECT_TRUE(pty.PtyPath().empty());
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_NE(p.revents & POLLHUP, 0);
    ::close(fd);
}

} // namespace
