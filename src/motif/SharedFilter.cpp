// The shared filter: motifs grouped into blocks of 64 by the position their filter reads, and per
// block a table from each k-mer to the mask of motifs that may still pass there.
#include "motif/SharedFilter.hpp"

#include <algorithm>
#include <map>

namespace {

constexpr int kDrop = 2 * (kFilterPrefix - kSharedPrefix);
static_assert(kFilterPrefix == kSharedPrefix + 1, "WindowFilter::passingPrefixes");
// Blocks beyond these (16 MB of tables, 8,192 motifs) would cost more memory than they save
// time: the motifs of a larger library beyond them keep their own filters.
constexpr size_t kMaxBlocks = 128;

}  // namespace

SharedFilter::SharedFilter(const std::vector<WindowFilter>& filters, double denseShare,
                           double laneShare) {
    // A motif that more than `denseShare` of the k-mers let through costs more, candidate by
    // candidate, than its own filter run branch-free over the starts (measured on the insect
    // and JASPAR 2016 libraries); it is left alone, so that it does not crowd a block. A
    // motif that reads the pair bound decides 32 starts a step, cheaper still: it is left
    // alone from the lower `laneShare` (measured on JASPAR 2016, where 0.3 % to 2 % gave
    // run times within the machine's spread). The others are grouped by the window position they
    // are decided at, in library order.
    std::map<int32_t, std::vector<uint32_t>> byOffset;
    for (uint32_t m = 0; m < filters.size(); ++m) {
        const double share = filters[m].lanes() ? laneShare : denseShare;
        if (static_cast<double>(filters[m].passingPrefixes(kSharedPrefix)) > share * kEntries)
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
                filters[members[j]].forEachPassing([&](uint32_t first, uint32_t last) {
                    for (uint32_t entry = first >> kDrop; entry <= last >> kDrop; ++entry)
                        block[entry] |= uint64_t{1} << j;
                });
            offsets_.push_back(offset);
            masks_.insert(masks_.end(), block.begin(), block.end());
        }
    }
    std::sort(alone_.begin(), alone_.end());
}
