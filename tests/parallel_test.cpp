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
#include <thread>

#include "common/Log.hpp"
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

// Two callers at once, each in its own LogScope: every line of a caller's work, its worker
// threads' included, reaches that caller's sink alone, and none reaches the global one.
TEST(LogScopeTest, EachCallerHearsItsOwnWorkersAlone) {
    std::vector<std::string> global;
    const LogSink before = setLogSink([&](const std::string& line) { global.push_back(line); });
    std::atomic<int> started{0};
    auto caller = [&](const std::string& who, std::vector<std::string>& heard) {
        const LogScope scope([&](const std::string& line) { heard.push_back(line); });
        ++started;
        while (started < 2) std::this_thread::yield();  // both scopes open at once
        orderedParallelFor(
            20, 3,
            [&](size_t i) {
                warn(who + " " + std::to_string(i));
                std::this_thread::sleep_for(1ms);
            },
            [](size_t) {});
    };
    std::vector<std::string> heardA, heardB;
    std::thread a(caller, "a", std::ref(heardA)), b(caller, "b", std::ref(heardB));
    a.join();
    b.join();
    setLogSink(before);
    EXPECT_TRUE(global.empty());
    ASSERT_EQ(heardA.size(), 20u);
    ASSERT_EQ(heardB.size(), 20u);
    for (const std::string& line : heardA) EXPECT_EQ(line.rfind("Warning: a ", 0), 0u) << line;
    for (const std::string& line : heardB) EXPECT_EQ(line.rfind("Warning: b ", 0), 0u) << line;
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
