#include "protocol/FrameHeader.h"
#include "protocol/FrameHid.h"
#include "protocol/FrameSerial.h"
#include "protocol/FrameSerialParser.h"
#include "protocol/FrameSocket.h"

#include <gtest/gtest.h>

#include <vector>

using namespace frames;

namespace {
std::vector<uint8_t> V(std::initializer_list<uint8_t> b) { return b; }

template <size_t N>
std::vector<uint8_t> First(const std::array<uint8_t, N>& a, size_t n) {
    return {a.begin(), a.begin() + n};
}
} // namespace

TEST(FrameHeader, PollRequestHeadersAndCheckByte) {
    EXPECT_EQ(HeaderA(31, 1, true), 0xFA);
    EXPECT_EQ(HeaderB(1, 2), 0x21);
    EXPECT_EQ(HeaderA(31, 1, false), 0xF8);
    EXPECT_EQ(HeaderB(1, 32), 0x3F);
    EXPECT_EQ(HeaderA(0, 15, false), 0x01); // register bit 3 goes to header A
    EXPECT_EQ(HeaderB(15, 1), 0xE0);
    const uint8_t covered[] = {0xF8, 0x3F};
    EXPECT_EQ(CheckByte(covered), 0x38);
}

TEST(FrameSocket, ReadOf32BytesFromRegister1) {
    std::array<uint8_t, kSocketMaxRequest> out{};
    ASSERT_EQ(BuildSocketRequest(31, 1, false, 32, nullptr, out), 6u);
    EXPECT_EQ(First(out, 6), V({0xFF, 0xFE, 0xFD, 0xF8, 0x3F, 0x38}));
}

TEST(FrameSocket, PollRequestWriteCarriesDataAndCheck) {
    std::array<uint8_t, kSocketMaxRequest> out{};
    const uint8_t poll[] = {0xFF, 0x29};
    ASSERT_EQ(BuildSocketRequest(31, 1, true, 2, poll, out), 8u);
    const uint8_t check = static_cast<uint8_t>(~(0xFA ^ 0x21 ^ 0xFF ^ 0x29));
    EXPECT_EQ(First(out, 8), V({0xFF, 0xFE, 0xFD, 0xFA, 0x21, 0xFF, 0x29, check}));
}

TEST(FrameSocket, InvalidRequestsBuildNothing) {
    std::array<uint8_t, kSocketMaxRequest> out{};
    const uint8_t data[33] = {};
    EXPECT_EQ(BuildSocketRequest(31, 1, true, 0, data, out), 0u);
    EXPECT_EQ(BuildSocketRequest(31, 1, true, 33, data, out), 0u);
    EXPECT_EQ(BuildSocketRequest(31, 1, true, 4, nullptr, out), 0u);
    EXPECT_EQ(BuildSocketRequest(31, 1, true, 32, data, out), 38u);
}

TEST(FrameSocket, ReplyJudges) {
    uint8_t data[3] = {};
    EXPECT_TRUE(JudgeSocketReadReply(V({0xFF, 0xFE, 0xFD, 1, 2, 3}), 3, data));
    EXPECT_EQ(data[2], 3);
    EXPECT_FALSE(JudgeSocketReadReply(V({0xFF, 0xFE, 0xFC, 1, 2, 3}), 3, data)); // preamble
    EXPECT_FALSE(JudgeSocketReadReply(V({0xFF, 0xFE, 0xFD, 1, 2}), 3, data));    // short
    EXPECT_TRUE(JudgeSocketWriteReply(V({0xFF, 0xFE, 0xFD, 0xFF})));
    EXPECT_FALSE(JudgeSocketWriteReply(V({0xFF, 0xFE, 0xFD, 0x00}))); // no acknowledgement
    EXPECT_FALSE(JudgeSocketWriteReply(V({0xFF, 0xFE, 0xFD})));
    EXPECT_EQ(SocketReplyLength(false, 32), 35u);
    EXPECT_EQ(SocketReplyLength(true, 2), 4u);
}

TEST(FrameHid, OutputReportOfThePollRequestAndOfARead) {
    std::array<uint8_t, kHidOutputReportSize> out{};
    const uint8_t poll[] = {0xFF, 0x29};
    BuildHidOutputReport(31, 1, true, 2, poll, out);
    EXPECT_EQ(First(out, 6), V({2, 31, 0x88, 0x01, 0xFF, 0x29}));
    EXPECT_EQ(out[6], 0);
    BuildHidOutputReport(31, 13, false, 32, nullptr, out);
    EXPECT_EQ(First(out, 4), V({2, 31, 13 * 8, 31}));
    for (size_t i = 4; i < out.size(); ++i) {
        EXPECT_EQ(out[i], 0) << i;
    }
}

TEST(HidStatusJudge, BusyIsRepolledAtMost100Times) {
    HidStatusJudge judge;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(judge.OnStatus(kHidStatusBusy), HidStatusJudge::Action::PollAgain) << i;
    }
    EXPECT_EQ(judge.OnStatus(kHidStatusBusy), HidStatusJudge::Action::Finish);
    EXPECT_EQ(judge.result(), kHidNoFinal);
}

TEST(HidStatusJudge, RepeatRequestAllowsOneResend) {
    HidStatusJudge once;
    EXPECT_EQ(once.OnStatus(kHidStatusRepeat), HidStatusJudge::Action::Resend);
    EXPECT_EQ(once.OnStatus(kHidStatusDone), HidStatusJudge::Action::Finish);
    EXPECT_EQ(once.result(), kHidOk);

    HidStatusJudge twice;
    EXPECT_EQ(twice.OnStatus(kHidStatusRepeat), HidStatusJudge::Action::Resend);
    EXPECT_EQ(twice.OnStatus(kHidStatusRepeat), HidStatusJudge::Action::Finish);
    EXPECT_EQ(twice.result(), kHidResendLimit);
}

TEST(HidStatusJudge, ErrorAndUnknownStatusCodes) {
    struct Case {
        uint8_t status;
        bool afterResend;
        int code;
    };
    const Case cases[] = {
        {3, false, kHidStatusError3}, {5, false, kHidStatusError5}, {0, false, kHidNoFinal},
        {6, false, kHidNoFinal},      {255, false, kHidNoFinal},    {0, true, kHidResendLimit},
        {3, true, kHidStatusError3},
    };
    for (const Case& c : cases) {
        HidStatusJudge judge;
        if (c.afterResend) {
            ASSERT_EQ(judge.OnStatus(kHidStatusRepeat), HidStatusJudge::Action::Resend);
        }
        EXPECT_EQ(judge.OnStatus(c.status), HidStatusJudge::Action::Finish);
        EXPECT_EQ(judge.result(), c.code) << int(c.status) << " resent " << c.afterResend;
    }
}

TEST(FrameSerial, PollRequestPayload) {
    std::array<uint8_t, kSerialMaxPayload> out{};
    const uint8_t poll[] = {0xFF, 0x29};
    ASSERT_EQ(BuildSerialPayload(9, 31, 1, true, 2, poll, out), 10u);
    const uint8_t check = static_cast<uint8_t>(~(0xFA ^ 0x21 ^ 0xFF ^ 0x29));
    EXPECT_EQ(First(out, 10), V({0xC7, 9, 0x00, 5, 1, 0xFA, 0x21, 0xFF, 0x29, check}));

    ASSERT_EQ(BuildSerialPayload(0, 31, 1, false, 32, nullptr, out), 8u);
    EXPECT_EQ(First(out, 8), V({0xC7, 0, 0x00, 3, 33, 0xF8, 0x3F, 0x38}));
}

TEST(FrameSerial, DelimiterAndEscapeAreAlwaysStuffed) {
    std::array<uint8_t, kSerialFrameBuffer> out{};
    const uint8_t payload[] = {0x7E, 0x01, 0x7D, 0x5E};
    ASSERT_EQ(StuffSerialFrame(payload, out), 8u);
    EXPECT_EQ(First(out, 8), V({0x7E, 0x7D, 0x5E, 0x01, 0x7D, 0x5D, 0x5E, 0x7E}));

    std::vector<uint8_t> all7E(130, 0x7E); // 2 + 260 bytes do not fit in 256
    EXPECT_EQ(StuffSerialFrame(all7E, out), 0u);
}

TEST(FrameSerial, ReadReplyJudge) {
    // 38, sequence, x, payload length 3, two data bytes and their check byte.
    const uint8_t check = static_cast<uint8_t>(~(0x11 ^ 0x22));
    uint8_t data[2] = {};
    EXPECT_TRUE(JudgeSerialReadReply(V({0x38, 5, 0, 3, 0x11, 0x22, check}), 5, 2, data));
    EXPECT_EQ(data[1], 0x22);
    EXPECT_FALSE(JudgeSerialReadReply(V({0x38, 6, 0, 3, 0x11, 0x22, check}), 5, 2, data)); // sequence
    EXPECT_FALSE(JudgeSerialReadReply(V({0x38, 5, 0, 2, 0x11, 0x22}), 5, 2, data));        // length
    EXPECT_FALSE(JudgeSerialReadReply(V({0x38, 5, 0, 3, 0x11, 0x22, 0x00}), 5, 2, data));  // check
    EXPECT_FALSE(JudgeSerialReadReply(V({0x38, 5, 0, 3, 0x11}), 5, 2, data)); // truncated
}

TEST(FrameSerial, WriteReplyJudge) {
    EXPECT_TRUE(JudgeSerialWriteReply(V({0x38, 7, 0, 1, 0xFF}), 7));
    EXPECT_FALSE(JudgeSerialWriteReply(V({0x38, 7, 0, 1, 0x00}), 7));
    EXPECT_FALSE(JudgeSerialWriteReply(V({0x38, 8, 0, 1, 0xFF}), 7));
    EXPECT_FALSE(JudgeSerialWriteReply(V({0x38, 7, 0, 2, 0xFF, 0xFF}), 7));
}

namespace {
int FeedAll(FrameSerialParser& p, const std::vector<uint8_t>& bytes) {
    int ready = 0;
    for (uint8_t b : bytes) {
        ready += p.Feed(b) ? 1 : 0;
    }
    return ready;
}
} // namespace

TEST(FrameSerialParser, OneFrameBetweenDelimitersIsUnstuffed) {
    FrameSerialParser p;
    EXPECT_EQ(FeedAll(p, V({0x7E, 0x38, 1, 0x7D, 0x5E, 0x7D, 0x5D, 0x7E})), 1);
    EXPECT_EQ(std::vector<uint8_t>(p.frame().begin(), p.frame().end()), V({0x38, 1, 0x7E, 0x7D}));
}

TEST(FrameSerialParser, BytesAfterAClosingDelimiterWaitForTheNextOpening) {
    FrameSerialParser p;
    EXPECT_EQ(FeedAll(p, V({0x7E, 0x38, 1, 2, 0x7E, 0x38, 9, 9, 0x7E})), 1);
    EXPECT_EQ(p.frame()[1], 1);
    // A fresh opening delimiter after the ignored bytes starts a new frame.
    EXPECT_EQ(FeedAll(p, V({0x7E, 0x38, 3, 4, 0x7E})), 1);
    EXPECT_EQ(p.frame()[1], 3);
}

TEST(FrameSerialParser, ShortOrUnmarkedFramesAreNotReplies) {
    FrameSerialParser p;
    EXPECT_EQ(FeedAll(p, V({0x7E, 0x38, 1, 0x7E})), 0);       // only two bytes
    EXPECT_EQ(FeedAll(p, V({0x7E, 0xC7, 1, 2, 3, 0x7E})), 0); // a request, not a reply
    EXPECT_EQ(FeedAll(p, V({0x01, 0x02})), 0);                // idle garbage before any frame
}

TEST(FrameSerialParser, BadEscapeAbandonsTheFrame) {
    FrameSerialParser p;
    EXPECT_EQ(FeedAll(p, V({0x7E, 0x38, 1, 0x7D, 0x41, 2, 3, 0x7E})), 0);
    EXPECT_EQ(FeedAll(p, V({0x38, 5, 6, 0x7E})), 1); // the next delimiter opened a frame
    EXPECT_EQ(p.frame()[1], 5);
}

TEST(FrameSerialParser, OverlongFrameIsDiscardedNotStoredPastTheBuffer) {
    FrameSerialParser p;
    std::vector<uint8_t> longFrame{0x7E, 0x38};
    longFrame.insert(longFrame.end(), FrameSerialParser::kCapacity + 50, 0x11);
    longFrame.push_back(0x7E);
    EXPECT_EQ(FeedAll(p, longFrame), 0);
    EXPECT_EQ(FeedAll(p, V({0x38, 1, 2, 0x7E})), 1);
    EXPECT_EQ(p.frame().size(), 3u);
}

TEST(FrameSerialParser, RoundTripOfEveryByteValueThroughStuffing) {
    std::vector<uint8_t> payload{0x38, 0x00, 0x00};
    for (int b = 0; b < 200; ++b) {
        payload.push_back(static_cast<uint8_t>(b + 56));
    }
    std::array<uint8_t, kSerialFrameBuffer> stuffed{};
    const size_t n = StuffSerialFrame(std::span(payload).first(3 + 100), stuffed);
    ASSERT_GT(n, 0u);
    FrameSerialParser p;
    EXPECT_EQ(FeedAll(p, First(stuffed, n)), 1);
    EXPECT_EQ(std::vector<uint8_t>(p.frame().begin(), p.frame().end()),
              std::vector<uint8_t>(payload.begin(), payload.begin() + 103));
}
