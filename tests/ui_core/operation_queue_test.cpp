// The queue between the engine's thread and the window's: order, the bound
// on pending operations, blocking posts, wakes, nesting and closing.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "ui/core/operation_queue.h"

namespace varnox {
namespace {

using namespace std::chrono_literals;

// Waits up to 5 s for `ready`, looking every millisecond.
template <typename Ready>
bool Eventually(Ready ready)
{
    for (int i = 0; i < 5000 && !ready(); ++i)
        std::this_thread::sleep_for(1ms);
    return ready();
}

TEST(OperationQueueTest, RunsOperationsInOrderAndHoldsAtMost64Pending)
{
    std::atomic<int> wakes{0};
    OperationQueue queue([&] { ++wakes; });
    std::vector<int> ran;
    std::atomic<int> posted{0};
    std::thread engine([&] {
        for (int i = 0; i < 200; ++i) {
            queue.Post([&ran, i] { ran.push_back(i); });
            ++posted;
        }
    });
    // Nobody drains: the engine stops at the bound.
    ASSERT_TRUE(Eventually([&] { return posted.load() == 64; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(posted.load(), 64);
    EXPECT_EQ(queue.Pending(), 64u);
    EXPECT_EQ(wakes.load(), 1);  // one wake for the whole batch

    while (ran.size() < 200) {
        queue.WaitForPending(10ms);
        queue.Drain();
        EXPECT_LE(queue.Pending(), OperationQueue::kMaxPending);
    }
    engine.join();
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(ran[i], i);
    EXPECT_EQ(queue.Pending(), 0u);
}

TEST(OperationQueueTest, PostAndWaitReturnsOnlyOnceItsOperationHasRun)
{
    OperationQueue queue([] {});
    std::vector<int> ran;
    std::atomic<bool> returned{false};
    std::thread engine([&] {
        queue.Post([&] { ran.push_back(1); });
        queue.PostAndWait([&] { ran.push_back(2); });
        returned = true;
    });
    ASSERT_TRUE(Eventually([&] { return queue.Pending() == 2; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned.load());
    queue.Drain();
    engine.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(OperationQueueTest, OnTheWindowThreadAnOperationRunsAtOnce)
{
    int wakes = 0;
    OperationQueue queue([&] { ++wakes; });
    bool ran = false;
    queue.PostAndWait([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(wakes, 0);
    EXPECT_EQ(queue.Pending(), 0u);
}

TEST(OperationQueueTest, ADrainFromInsideAnOperationLeavesTheRestToTheOuterOne)
{
    OperationQueue queue([] {});
    std::vector<std::string> events;
    std::thread engine([&] {
        // The first stands for a box whose own event loop drains again.
        queue.Post([&] {
            events.push_back("box opened");
            queue.Drain();
            events.push_back("box closed");
        });
        queue.Post([&] { events.push_back("next"); });
    });
    engine.join();
    queue.Drain();
    EXPECT_EQ(events, (std::vector<std::string>{"box opened", "box closed", "next"}));
}

TEST(OperationQueueTest, ClosingReleasesEveryWaitingPosterAndDropsTheRest)
{
    OperationQueue queue([] {});
    std::atomic<int> ran{0};
    std::atomic<bool> waiter_back{false};
    std::atomic<bool> flooder_back{false};
    std::thread waiter([&] {
        queue.PostAndWait([&] { ++ran; });
        waiter_back = true;
    });
    std::thread flooder([&] {
        for (int i = 0; i < 100; ++i)
            queue.Post([&] { ++ran; });
        flooder_back = true;
    });
    ASSERT_TRUE(Eventually([&] { return queue.Pending() == 64; }));
    queue.Close();
    waiter.join();
    flooder.join();
    EXPECT_TRUE(waiter_back.load());
    EXPECT_TRUE(flooder_back.load());
    queue.Drain();
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(queue.Pending(), 0u);
}

}  // namespace
}  // namespace varnox
