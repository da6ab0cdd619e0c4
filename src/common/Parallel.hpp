// The one scheduler of the program: a small ordered work queue. Items are claimed in
// ascending order by `threads` threads; work(i, thread) (or work(i)) runs item i on thread
// number `thread` (0 is the calling thread), so that each thread can keep working space of
// its own. Each item is handed on (emit) in ascending order as soon as it and every item
// before it are done, so that what a run writes never depends on the number of threads.
// One thread emits at a time, outside the queue's lock: a slow emit never keeps the other
// threads from marking their items done and claiming the next. An exception from work or
// emit stops the claims and is thrown again once every thread has stopped.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "common/Log.hpp"

// The number of processors this process may run on.
int availableProcessors();

template <typename Work, typename Emit>
void orderedParallelFor(size_t count, int threads, Work&& work, Emit&& emit) {
    auto run = [&](size_t i, int thread) {
        if constexpr (std::is_invocable_v<Work&, size_t, int>)
            work(i, thread);
        else
            work(i);
    };
    if (threads <= 1 || count <= 1) {
        for (size_t i = 0; i < count; ++i) {
            run(i, 0);
            emit(i);
        }
        return;
    }
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex queue;
    std::vector<char> done(count, 0);
    size_t emitted = 0;
    bool emitting = false;  // a thread is emitting: the others leave it to that one
    std::exception_ptr failure;
    LogScope* const voice = LogScope::current();  // workers speak where their caller does
    auto worker = [&](int thread) {
        const LogScope::Inherit speaking(voice);
        try {
            for (size_t i; !stop && (i = next.fetch_add(1)) < count;) {
                run(i, thread);
                std::unique_lock<std::mutex> lock(queue);
                done[i] = 1;
                if (emitting) continue;
                emitting = true;
                while (emitted < count && done[emitted]) {
                    const size_t k = emitted++;
                    lock.unlock();
                    emit(k);
                    lock.lock();
                }
                emitting = false;
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(queue);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads && static_cast<size_t>(t) < count; ++t)
        pool.emplace_back(worker, t);
    worker(0);
    for (std::thread& thread : pool) thread.join();
    if (failure) std::rethrow_exception(failure);
}
