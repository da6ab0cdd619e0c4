#include "motif/SharedFilter.hpp"

#include <algorithm>

SharedFilter::SharedFilter(const std::vector<WindowFilter>& filters, double denseShare) {
    constexpr uint32_t kmerCount = uint32_t{1} << (2 * kFilterPrefix);
    constexpr int drop = 2 * (kFilterPrefix - kSharedPrefix);
    std::vector<uint32_t> candidates;
    for (uint32_t m = 0; m < filters.size(); ++m)
        (filters[m].offset() == 0 ? candidates : alone_).push_back(m);
    std::vector<uint64_t> block(kEntries);
    for (size_t first = 0; first < candidates.size(); first += 64) {
        const std::vector<uint32_t> members(
            candidates.begin() + static_cast<std::ptrdiff_t>(first),
            candidates.begin() +
                static_cast<std::ptrdiff_t>(std::min(first + 64, candidates.size())));
        // Every kFilterPrefix-mer sets, for each motif that it lets through, that motif's
        // bit at the k-mer it begins with.
        std::fill(block.begin(), block.end(), 0);
        int64_t set = 0;
        for (size_t j = 0; j < members.size(); ++j)
            for (uint32_t kmer = 0; kmer < kmerCount; ++kmer)
                if (filters[members[j]].passes(static_cast<uint16_t>(kmer)))
                    block[kmer >> drop] |= uint64_t{1} << j;
        for (uint64_t mask : block) set += __builtin_popcountll(mask);
        // Above about 2 %, the candidates a lookup names cost more, one by one, than each
        // motif's own filter run branch-free over the starts (measured on the insect and
        // JASPAR 2016 libraries).
        if (static_cast<double>(set) >
            denseShare * static_cast<double>(kEntries * members.size())) {
            alone_.insert(alone_.end(), members.begin(), members.end());
            continue;
        }
        members_.push_back(members);
        masks_.insert(masks_.end(), block.begin(), block.end());
    }
    std::sort(alone_.begin(), alone_.end());
}
