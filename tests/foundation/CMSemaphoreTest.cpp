#include "foundation/CMMutex.h"
#include "foundation/CMSemaphore.h"
#include "foundation/CMThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(CMSemaphore, SignalSemaphoreCountsReleases) {
    CMSemaphore s;
    ASSERT_EQ(s.Create(0), 1);
    EXPECT_EQ(s.Wait(0), 0);
    EXPECT_EQ(s.Release(), 1);
    EXPECT_EQ(s.Wait(0), 1);
    EXPECT_EQ(s.Wait(0), 0);
}

TEST(CMSemaphore, CreateTwiceKeepsTheExistingHandle) {
    CMSemaphore s;
    ASSERT_EQ(s.Create(1), 1);
    EXPECT_EQ(s.Create(0), 0);
    EXPECT_EQ(s.Wait(0), 1); // still the count of the first Create
}

TEST(CMSemaphore, MissingHandleFailsEveryOperation) {
    CMSemaphore s;
    EXPECT_EQ(s.Wait(0), 0);
    EXPECT_EQ(s.Wait(-1), 0); // must not block without a handle
    EXPECT_EQ(s.Release(), 0);
    EXPECT_EQ(s.Close(), 0);
    ASSERT_EQ(s.Create(0), 1);
    EXPECT_EQ(s.Close(), 1);
    EXPECT_EQ(s.Release(), 0);
}

TEST(CMSemaphore, ReleaseFailsAtTheMaximum) {
    CMSemaphore s;
    ASSERT_EQ(s.Create(CMSemaphore::kMaximum - 1), 1);
    EXPECT_EQ(s.Release(), 1);
    EXPECT_EQ(s.Release(), 0);
}

TEST(CMMutex, SerialisesThreadsAndAnyThreadMayUnlock) {
    CMMutex mutex;
    int counter = 0;
    struct Args {
        CMMutex* mutex;
        int* counter;
    } args{&mutex, &counter};
    auto body = [](void* p) {
        auto* a = static_cast<Args*>(p);
        for (int i = 0; i < 10000; ++i) {
            a->mutex->Lock();
            ++*a->counter;
            a->mutex->Unlock();
        }
    };
    CMThread t1, t2;
    ASSERT_EQ(t1.Start(body, &args), 1);
    ASSERT_EQ(t2.Start(body, &args), 1);
    t1.Stop();
    t2.Stop();
    EXPECT_EQ(counter, 20000);

    // Taken here, released from another thread: there is no owner.
    ASSERT_EQ(mutex.Lock(), 1);
    EXPECT_EQ(mutex.TryLock(0), 0);
    CMThread unlocker;
    ASSERT_EQ(unlocker.Start([](void* m) { static_cast<CMMutex*>(m)->Unlock(); }, &mutex), 1);
    unlocker.Stop();
    EXPECT_EQ(mutex.TryLock(1000), 1);
    mutex.Unlock();
}

TEST(CMThread, NullRoutineEndsAtOnceAndStopWithoutStartDoesNothing) {
    CMThread idle;
    EXPECT_EQ(idle.Stop(), 0);
    EXPECT_EQ(idle.GetThreadId(), 0u);

    CMThread empty;
    ASSERT_EQ(empty.Start(nullptr, nullptr), 1);
    EXPECT_NE(empty.GetThreadId(), 0u);
    EXPECT_EQ(empty.Stop(), 1);
    EXPECT_EQ(empty.Stop(), 0); // the second stop addresses nothing
}

TEST(CMThread, StopWaitsForACooperativeLoopToFinish) {
    struct Loop {
        std::atomic<int> running{1};
        std::atomic<int> passes{0};
        std::atomic<bool> finished{false};
        CMSemaphore wake;
    } loop;
    ASSERT_EQ(loop.wake.Create(0), 1);
    CMThread thread;
    ASSERT_EQ(thread.Start(
                  [](void* p) {
                      auto* l = static_cast<Loop*>(p);
                      while (l->running) {
                          (void)l->wake.Wait(-1);
                          ++l->passes;
                      }
                      l->finished = true;
                  },
                  &loop),
              1);
    loop.wake.Release();
    while (loop.passes == 0) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(loop.finished); // blocked in its second wait
    loop.running = 0;
    loop.wake.Release(); // unblock the wait, as every owner does before Stop
    EXPECT_EQ(thread.Stop(), 1);
    EXPECT_TRUE(loop.finished);
    EXPECT_EQ(loop.passes, 2);
}
