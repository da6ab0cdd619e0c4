// One lookup decides many motifs: motifs are taken in blocks of 64 (motifs whose own filter
// reads the window at the same position together), and for each block a table indexed by
// the k-mer at that position (k = kSharedPrefix) holds a 64-bit mask with the bit of every
// motif whose window may still score above its cutoff with that k-mer there.
// Only the motifs whose bit is set go on to their own filter (WindowFilter) and then to
// scoring, so the work per position follows the candidates, not the library's size.
//
// Why no passing window is dropped: a motif's bit at a k-mer is the OR of its own filter's
// bits over every longer k-mer that begins with that k-mer (or its bit at the k-mer's
// first bases, for a motif whose filter looks at fewer). Its own filter clears a bit only
// where no window with that k-mer can pass (the proven bound of WindowFilter), so a
// cleared shared bit means every such window was already cleared there.
#pragma once

#include <cstdint>
#include <vector>

#include "motif/WindowFilter.hpp"

// Bases of the shared tables' k-mers: 4^7 masks of 8 bytes, 128 KB a block.
constexpr int kSharedPrefix = 7;

class SharedFilter {
  public:
    // Motifs decided at the same window position go into blocks in library order; a motif
    // that more than `denseShare` of the k-mers let through is left alone, and one that
    // reads the pair bound (WindowFilter::lanes) once more than `laneShare` do.
    explicit SharedFilter(const std::vector<WindowFilter>& filters, double denseShare = 0.02,
                          double laneShare = 0.007);

    size_t blocks() const { return members_.size(); }
    // The library indexes of block b's motifs: bit j of its masks is members(b)[j].
    const std::vector<uint32_t>& members(size_t block) const { return members_[block]; }
    // The window position whose k-mer block b's masks are indexed by: that of its motifs'
    // own filters.
    int32_t offset(size_t block) const { return offsets_[block]; }
    // The mask of block b's motifs that may pass where the kFilterPrefix-mer code at the
    // block's offset is `kmer`.
    uint64_t mask(size_t block, uint16_t kmer) const {
        return masks_[block * kEntries + (kmer >> (2 * (kFilterPrefix - kSharedPrefix)))];
    }
    // The motifs left to their own filter, ascending: those that too many k-mers let
    // through, for which the motif's own filter run branch-free over the starts is cheaper
    // than a lookup.
    const std::vector<uint32_t>& alone() const { return alone_; }
    size_t bytes() const { return masks_.size() * sizeof(uint64_t); }

  private:
    static constexpr size_t kEntries = size_t{1} << (2 * kSharedPrefix);
    std::vector<std::vector<uint32_t>> members_;
    std::vector<int32_t> offsets_;
    std::vector<uint64_t> masks_;  // block-major, kEntries per block
    std::vector<uint32_t> alone_;
};
