// The scheduler and the ordered output: order kept when later items finish first, emit
// outside the queue's lock, a failure that stops the claims, a bounded buffer, and a failed
// write told by its own reason.
#include "common/Parallel.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <sstream>
#include <stdexcept>

#include "common/OrderedOutput.hpp"

using namespace std::chrono_literals;

TEST(OrderedParallelFor, EmitsInOrderWhenLaterItemsFinishFirst) {
    const size_t count = 40;
    std::vector<std::atomic<bool>> worked(count);
    std::vector<size_t> order;
    orderedParallelFor(
        count, 4,
        [&](size_t i, int thread) {
            EXPECT_LT(thread, 4);
            if (i == 0) std::this_thread::sleep_for(30ms);  // the others finish first
            worked[i] = true;
        },
        [&](size_t i) {
            EXPECT_TRUE(worked[i]);
            order.push_back(i);
        });
    ASSERT_EQ(order.size(), count);
    for (size_t i = 0; i < count; ++i) EXPECT_EQ(order[i], i);
}

// Item 0's emit waits until item 20 has run: with emit under the queue's lock, the other
// thread could not mark item 1 done and claim the next, and the wait would time out.
TEST(OrderedParallelFor, EmitsOutsideTheQueueLock) {
    std::mutex mutex;
    std::condition_variable reached;
    bool twentyRan = false, timedOut = false;
    orderedParallelFor(
        30, 2,
        [&](size_t i) {
            if (i != 20) return;
            std::lock_guard<std::mutex> lock(mutex);
            twentyRan = true;
            reached.notify_all();
        },
        [&](size_t i) {
            if (i != 0) return;
            std::unique_lock<std::mutex> lock(mutex);
            timedOut = !reached.wait_for(lock, 5s, [&] { return twentyRan; });
        });
    EXPECT_FALSE(timedOut);
}

TEST(OrderedParallelFor, AFailureStopsTheClaimsAndIsThrown) {
    std::atomic<size_t> ran{0};
    EXPECT_THROW(orderedParallelFor(
                     size_t{1} << 20, 2,
                     [&](size_t i) {
                         ++ran;
                         if (i == 5) throw std::runtime_error("item 5");
                     },
                     [](size_t) {}),
                 std::runtime_error);
    EXPECT_LT(ran.load(), size_t{1} << 19);
    EXPECT_THROW(orderedParallelFor(
                     8, 1, [](size_t) {},
                     [](size_t i) {
                         if (i == 3) throw std::runtime_error("emit 3");
                     }),
                 std::runtime_error);
}

TEST(OrderedOutputTest, LaterItemsWaitInOrderWithinTheBudget) {
    std::ostringstream report;
    OrderedOutput output(report, Progress::silent(), 4);
    output.report(2, "c");
    output.finish(2);
    output.report(1, "b");
    EXPECT_EQ(report.str(), "");  // item 0 has not finished
    // Item 1's next text would pass the budget: it waits until item 1 is the earliest.
    std::atomic<bool> written{false};
    std::thread later([&] {
        output.report(1, "1234");
        written = true;
        output.finish(1);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(written);
    output.report(0, "a");
    EXPECT_EQ(report.str(), "a");
    output.finish(0);
    later.join();
    EXPECT_EQ(report.str(), "ab1234c");
}

TEST(OrderedOutputTest, AFailedWriteIsToldByItsOwnReason) {
    std::ostream nowhere(nullptr);  // every write fails, without a reason of the system's
    OrderedOutput output(nowhere, Progress::silent(), 1024);
    EXPECT_EQ(output.failure(), 0);
    errno = ENOSPC;  // left over from an earlier call
    output.report(0, "text");
    EXPECT_EQ(output.failure(), EIO);
}
