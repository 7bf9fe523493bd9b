#include "platform/Clock.h"
#include "sim/Bus.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimEcu.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Waits (bounded) until done() holds; false if it never did.
template <typename Done>
bool WaitFor(Done done, int limitMs = 5000) {
    for (int waited = 0; waited < limitMs; waited += 5) {
        if (done()) {
            return true;
        }
        platform::SleepMs(5);
    }
    return done();
}

} // namespace

TEST(RealTimeDriver, StepsUntilStoppedAndNotAfter) {
    std::atomic<uint32_t> steps{0};
    std::atomic<uint32_t> elapsed{0};
    sim::RealTimeDriver driver(
        [&](uint32_t ms) {
            steps.fetch_add(1);
            elapsed.fetch_add(ms);
        },
        5);
    ASSERT_TRUE(driver.Start());
    EXPECT_FALSE(driver.Start()); // already running
    ASSERT_TRUE(WaitFor([&] { return steps.load() >= 3; }));
    driver.Stop();
    EXPECT_FALSE(driver.Running());
    const uint32_t atStop = steps.load();
    EXPECT_GT(elapsed.load(), 0u);
    platform::SleepMs(30);
    EXPECT_EQ(steps.load(), atStop);
    // It can run again after a stop.
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(WaitFor([&] { return steps.load() > atStop; }));
}

TEST(RealTimeDriver, MovesTheEngineUnderTheBusLock) {
    sim::Bus bus;
    sim::SimEcuConfig config;
    config.autoStart = true;
    config.switchOn = true;
    sim::SimEcu ecu(config);
    bus.Attach(31, &ecu);
    sim::RealTimeDriver driver(bus, ecu, 10);
    ASSERT_TRUE(driver.Start());
    // Meanwhile the bus serves reads from this thread.
    uint8_t page[32];
    const uint8_t poll[] = {0xFF, 0x29};
    ASSERT_TRUE(WaitFor([&] {
        bus.Write(31, 1, poll);
        bus.Read(31, 1, 32, page);
        uint64_t t = 0;
        bus.WithLock([&] { t = ecu.Model().TimeMs(); });
        return t >= 100;
    }));
    driver.Stop();
    uint64_t stopped = 0;
    bus.WithLock([&] { stopped = ecu.Model().TimeMs(); });
    platform::SleepMs(30);
    bus.WithLock([&] { EXPECT_EQ(ecu.Model().TimeMs(), stopped); });
}
