#include "foundation/DebugTrace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

void Collect(const char* line, void* lines) {
    static_cast<std::vector<std::string>*>(lines)->push_back(line);
}

} // namespace

TEST(DebugTrace, LinesReachTheInstalledSinkOnly) {
    DebugTrace("before any sink %d", 1); // goes nowhere
    EXPECT_FALSE(DebugTraceEnabled());
    std::vector<std::string> lines;
    SetDebugSink(&Collect, &lines);
    EXPECT_TRUE(DebugTraceEnabled());
    DebugTrace("[%03d] : FriendName = %s\n", 7, "Named serial port (0)");
    DebugTrace("%s", std::string(300, 'x').c_str()); // longer than a small buffer
    DebugTrace("no line end");
    SetDebugSink(nullptr, nullptr);
    DebugTrace("after the sink was removed");
    EXPECT_FALSE(DebugTraceEnabled());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[007] : FriendName = Named serial port (0)");
    EXPECT_EQ(lines[1], std::string(300, 'x'));
    EXPECT_EQ(lines[2], "no line end");
}

TEST(DebugTrace, LinesOfSeveralThreadsArriveWhole) {
    std::vector<std::string> lines; // the sink runs under the channel's lock
    SetDebugSink(&Collect, &lines);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                DebugTrace("thread %d line %d", t, i);
            }
        });
    }
    for (std::thread& th : threads) {
        th.join();
    }
    SetDebugSink(nullptr, nullptr);
    std::vector<std::string> expected;
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 200; ++i) {
            expected.push_back("thread " + std::to_string(t) + " line " + std::to_string(i));
        }
    }
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
}
