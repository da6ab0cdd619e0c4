// The one scheduler of the program: a small ordered work queue. Items are claimed in
// ascending order by `threads` threads; each item's result is handed on (emit) in ascending
// order, one at a time, as soon as it and every item before it are done, so that what a run
// writes never depends on the number of threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

// The number of processors this process may run on.
int availableProcessors();

template <typename Work, typename Emit>
void orderedParallelFor(size_t count, int threads, Work&& work, Emit&& emit) {
    if (threads <= 1 || count <= 1) {
        for (size_t i = 0; i < count; ++i) {
            work(i);
            emit(i);
        }
        return;
    }
    std::atomic<size_t> next{0};
    std::mutex emitting;
    std::vector<char> done(count, 0);
    size_t emitted = 0;
    auto worker = [&] {
        for (size_t i; (i = next.fetch_add(1)) < count;) {
            work(i);
            std::lock_guard<std::mutex> lock(emitting);
            done[i] = 1;
            while (emitted < count && done[emitted]) emit(emitted++);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads && static_cast<size_t>(t) < count; ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& thread : pool) thread.join();
}
