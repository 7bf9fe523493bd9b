#include "records/CDeviceECUTracker.h"
#include "records/CEngineLogFormat.h"

#include "RecordBits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

// The record thread hands over reads under the lock while the user interface
// loads a file (load takes the lock itself) and walks the list under it.
TEST(CDeviceECUTracker, ReadsAndLoadsShareTheLock) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("turbex_records_threads_" + std::to_string(::getpid()) + ".csv"))
                                 .string();
    {
        CDeviceECUTracker source;
        for (uint32_t counter = 0; counter < 500; ++counter) {
            ASSERT_EQ(source.decode(1, Format1Record(counter, 1)), 1);
        }
        ASSERT_EQ(source.save(path), 1);
    }

    CDeviceECUTracker tracker;
    std::atomic<bool> done{false};
    std::thread recordThread([&] {
        for (uint32_t counter = 1000; counter < 3000; ++counter) {
            CMLockGuard guard(tracker.getLock());
            (void)tracker.parseFollowRead(1, Format1Record(counter, 2));
        }
        done = true;
    });
    int loads = 0;
    while (!done || loads < 3) {
        ASSERT_EQ(tracker.load(path), 1);
        ++loads;
        CMLockGuard guard(tracker.getLock());
        int32_t walked = 0;
        for (CMNode* n = tracker.GetHead(); n != nullptr; n = n->next) {
            ++walked;
        }
        ASSERT_EQ(walked, tracker.GetCount());
    }
    recordThread.join();
    std::remove(path.c_str());
    CMLockGuard guard(tracker.getLock());
    EXPECT_GE(tracker.GetCount(), 500);
}
