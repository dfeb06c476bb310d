// Manual-reset events and the wait for the first of several, across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/Event.h"

using namespace std::chrono_literals;

TEST(EventTest, ManualResetAndLowestSignalledIndexFirst) {
    TEventGroup Group;
    TEvent A(Group), B(Group), C(Group);
    EXPECT_EQ(WaitForAny({&A, &B, &C}, 1ms), -1);
    C.SetEvent();
    B.SetEvent();
    EXPECT_EQ(WaitForAny({&A, &B, &C}), 1);
    EXPECT_EQ(WaitForAny({&A, &B, &C}), 1) << "a wait resets nothing";
    B.ResetEvent();
    EXPECT_EQ(WaitForAny({&A, &B, &C}), 2);
    EXPECT_TRUE(C.WaitFor(0ms));
    EXPECT_FALSE(A.WaitFor(1ms));

    TEventGroup Other;
    TEvent D(Other);
    EXPECT_THROW(WaitForAny({&A, &D}), std::invalid_argument);
    EXPECT_THROW(WaitForAny({}), std::invalid_argument);
}

// A ping-pong of many rounds between two threads with the reset-before-set order of the lock-step: no
// round is lost and none is answered twice.
TEST(EventTest, LockStepRoundsAcrossThreads) {
    TEventGroup Group;
    TEvent Go(Group), Done(Group), Stop(Group);
    std::atomic<int> Answered{0};
    int Shared = 0;
    std::thread Worker([&] {
        while (WaitForAny({&Go, &Stop}) == 0) {
            Shared += 1;
            ++Answered;
            Go.ResetEvent();
            Done.SetEvent();
        }
    });
    for (int Round = 1; Round <= 2000; ++Round) {
        Go.SetEvent();
        Done.WaitFor();
        Done.ResetEvent();
        ASSERT_EQ(Shared, Round);
    }
    Stop.SetEvent();
    Worker.join();
    EXPECT_EQ(Answered.load(), 2000);
}
