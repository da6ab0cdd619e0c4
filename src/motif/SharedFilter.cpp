// The shared filter: motifs grouped into blocks of 64 by the position their filter reads, and per
// block a table from each k-mer to the mask of motifs that may still pass there.
#include "motif/SharedFilter.hpp"

#include <algorithm>
#include <map>

namespace {

constexpr uint32_t kKmerCount = uint32_t{1} << (2 * kFilterPrefix);
constexpr int kDrop = 2 * (kFilterPrefix - kSharedPrefix);
static_assert(kFilterPrefix == kSharedPrefix + 1, "WindowFilter::passingPrefixes");
// Blocks beyond these (16 MB of tables, 8,192 motifs) would cost more memory than they save
// time: the motifs of a larger library beyond them keep their own filters.
constexpr size_t kMaxBlocks = 128;

}  // namespace

SharedFilter::SharedFilter(const std::vector<WindowFilter>& filters, double denseShare) {
    // A motif that more than `denseShare` of the k-mers let through costs more, candidate by
    // candidate, than its own filter run branch-free over the starts (measured on the insect
    // and JASPAR 2016 libraries); it is left alone, so that it does not crowd a block.
    // The others are grouped by the window position they are decided at, in library order.
    std::map<int32_t, std::vector<uint32_t>> byOffset;
    for (uint32_t m = 0; m < filters.size(); ++m) {
        if (static_cast<double>(filters[m].passingPrefixes(kSharedPrefix)) > denseShare * kEntries)
            alone_.push_back(m);
        else
            byOffset[filters[m].offset()].push_back(m);
    }
    std::vector<uint64_t> block(kEntries);
    for (const auto& [offset, group] : byOffset) {
        for (size_t first = 0; first < group.size(); first += 64) {
            if (members_.size() == kMaxBlocks) {
                alone_.insert(alone_.end(), group.begin() + static_cast<std::ptrdiff_t>(first),
                              group.end());
                break;
            }
            members_.emplace_back(
                group.begin() + static_cast<std::ptrdiff_t>(first),
                group.begin() + static_cast<std::ptrdiff_t>(std::min(first + 64, group.size())));
            const std::vector<uint32_t>& members = members_.back();
            // Every kFilterPrefix-mer sets, for each motif that it lets through, that motif's
            // bit at the k-mer it begins with.
            std::fill(block.begin(), block.end(), 0);
            for (size_t j = 0; j < members.size(); ++j)
                for (uint32_t kmer = 0; kmer < kKmerCount; ++kmer)
                    if (filters[members[j]].passes(static_cast<uint16_t>(kmer)))
                        block[kmer >> kDrop] |= uint64_t{1} << j;
            offsets_.push_back(offset);
            masks_.insert(masks_.end(), block.begin(), block.end());
        }
    }
    std::sort(alone_.begin(), alone_.end());
}
