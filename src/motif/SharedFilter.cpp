#include "motif/SharedFilter.hpp"

#include <algorithm>
#include <map>

SharedFilter::SharedFilter(const std::vector<WindowFilter>& filters, double denseShare) {
    constexpr uint32_t kmerCount = uint32_t{1} << (2 * kFilterPrefix);
    constexpr int drop = 2 * (kFilterPrefix - kSharedPrefix);
    // Motifs decided at the same window position share blocks, in library order.
    std::map<int32_t, std::vector<uint32_t>> byOffset;
    for (uint32_t m = 0; m < filters.size(); ++m) byOffset[filters[m].offset()].push_back(m);
    std::vector<uint64_t> block(kEntries);
    for (const auto& [offset, group] : byOffset) {
        for (size_t first = 0; first < group.size(); first += 64) {
            const std::vector<uint32_t> members(
                group.begin() + static_cast<std::ptrdiff_t>(first),
                group.begin() + static_cast<std::ptrdiff_t>(std::min(first + 64, group.size())));
            // Every kFilterPrefix-mer sets, for each motif that it lets through, that motif's
            // bit at the k-mer it begins with.
            std::fill(block.begin(), block.end(), 0);
            for (size_t j = 0; j < members.size(); ++j)
                for (uint32_t kmer = 0; kmer < kmerCount; ++kmer)
                    if (filters[members[j]].passes(static_cast<uint16_t>(kmer)))
                        block[kmer >> drop] |= uint64_t{1} << j;
            int64_t set = 0;
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
            offsets_.push_back(offset);
            masks_.insert(masks_.end(), block.begin(), block.end());
        }
    }
    std::sort(alone_.begin(), alone_.end());
}
