#include "motif/SharedFilter.hpp"

#include <algorithm>

SharedFilter::SharedFilter(const std::vector<WindowFilter>& filters, double denseShare)
    : blockCount_((filters.size() + 63) / 64), masks_(blockCount_ * kEntries, 0) {
    // Every kFilterPrefix-mer sets, for each motif that it lets through, that motif's bit at
    // the k-mer it begins with.
    constexpr uint32_t kmerCount = uint32_t{1} << (2 * kFilterPrefix);
    constexpr int drop = 2 * (kFilterPrefix - kSharedPrefix);
    for (size_t m = 0; m < filters.size(); ++m) {
        uint64_t* block = masks_.data() + (m / 64) * kEntries;
        const uint64_t bit = uint64_t{1} << (m % 64);
        for (uint32_t kmer = 0; kmer < kmerCount; ++kmer)
            if (filters[m].passes(static_cast<uint16_t>(kmer))) block[kmer >> drop] |= bit;
    }
    // The share of set bits over all k-mers and motifs of a block. Above about 2 %, the
    // candidates a lookup names cost more, one by one, than each motif's own filter run
    // branch-free over the starts (measured on the insect and JASPAR 2016 libraries).
    dense_.assign(blockCount_, 0);
    for (size_t b = 0; b < blockCount_; ++b) {
        int64_t set = 0;
        for (size_t e = 0; e < kEntries; ++e) set += __builtin_popcountll(masks_[b * kEntries + e]);
        const size_t motifs = std::min<size_t>(64, filters.size() - 64 * b);
        dense_[b] = static_cast<double>(set) > denseShare * static_cast<double>(kEntries * motifs);
    }
}
