// The bounded drain before a close, with a fake output queue.

#include "comm/output_drain.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace varnox {
namespace {

struct FakeQueue {
    long bytes = 0;
    long sent_per_pause = 0;
    int looks = 0;
    int pauses = 0;

    bool Drain(double seconds)
    {
        return DrainOutputQueue(
            [this] {
                ++looks;
                return bytes;
            },
            [this](double pause) {
                ++pauses;
                bytes = std::max(0L, bytes - sent_per_pause);
                std::this_thread::sleep_for(std::chrono::duration<double>(pause));
            },
            seconds);
    }
};

TEST(OutputDrainTest, AnEmptyOrUnknownQueueEndsAtOnce)
{
    FakeQueue empty;
    EXPECT_TRUE(empty.Drain(0.5));
    EXPECT_EQ(empty.pauses, 0);

    FakeQueue unknown;
    unknown.bytes = -1;
    EXPECT_FALSE(unknown.Drain(0.5));
    EXPECT_EQ(unknown.pauses, 0);
}

TEST(OutputDrainTest, AQueueThatEmptiesIsWaitedFor)
{
    FakeQueue queue;
    queue.bytes = 30;
    queue.sent_per_pause = 10;
    EXPECT_TRUE(queue.Drain(0.5));
    EXPECT_EQ(queue.pauses, 3);
    EXPECT_EQ(queue.looks, 4);
}

TEST(OutputDrainTest, AStuckQueueIsGivenUpOnTime)
{
    FakeQueue stuck;
    stuck.bytes = 64;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(stuck.Drain(0.2));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(waited, std::chrono::milliseconds(300));
    EXPECT_FALSE(stuck.Drain(0.0));
}

}  // namespace
}  // namespace varnox
