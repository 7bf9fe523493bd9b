#include "platform/Clock.h"
#include "platform/Semaphore.h"

#include <gtest/gtest.h>

#include <thread>

TEST(Semaphore, ReleaseStopsAtTheMaximum) {
    platform::Semaphore s(0, 2);
    EXPECT_TRUE(s.release());
    EXPECT_TRUE(s.release());
    EXPECT_FALSE(s.release());
    EXPECT_TRUE(s.wait(0));
    EXPECT_TRUE(s.wait(0));
    EXPECT_FALSE(s.wait(0));
}

TEST(Semaphore, TimedWaitTimesOutAndUnlimitedWaitIsWokenByAnotherThread) {
    platform::Semaphore s(0);
    const uint32_t before = platform::TickCount();
    EXPECT_FALSE(s.wait(20));
    EXPECT_GE(platform::TickCount() - before, 19u);

    std::thread releaser([&] {
        platform::SleepMs(5);
        s.release();
    });
    EXPECT_TRUE(s.wait(-1));
    releaser.join();
}
