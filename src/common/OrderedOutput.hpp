// Output of items (such as the module searches from each root motif) that run in parallel
// but must read as if they ran one after the other. The earliest unfinished item writes
// straight through; later items keep their report text and progress lines in buffers, which
// are written in item order as the items before them finish. The buffers share a fixed
// budget: an item that would exceed it waits until it is the earliest, so memory stays
// bounded however much one item writes. Items must be started in ascending order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "common/Progress.hpp"

class OrderedOutput {
  public:
    OrderedOutput(std::ostream& report, Progress progress, size_t budgetBytes);

    // Written at once for the earliest item; copied into its buffer for a later one.
    void report(size_t item, const std::string& text);
    void progress(size_t item, std::string line);
    // Marks the item complete; its buffered output, and that of the items after it that
    // are complete too, is written.
    void finish(size_t item);
    // The report stream failed (the disk is full, the descriptor closed): the system's
    // reason, or 0 while it has not.
    int failure() const { return failure_.load(); }

  private:
    struct Piece {
        bool isReport;
        std::string text;
    };
    void write(size_t item, bool isReport, const std::string& text);
    void emit(const Piece& piece);
    void flushCurrent();  // writes what the earliest item has buffered

    std::ostream& report_;
    Progress progress_;
    const size_t budget_;
    std::mutex mutex_;
    std::condition_variable turn_;
    size_t current_ = 0, buffered_ = 0;
    std::map<size_t, std::vector<Piece>> pending_;
    std::set<size_t> finished_;
    std::atomic<int> failure_{0};
};
