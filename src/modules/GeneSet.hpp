// The genes that hold a motif pair: gene indices added in ascending order, each once. A set
// is a list of indices while it is small and one bit per gene of the input once the list
// would take more room (an index takes 32 bits: past 1/32 of the genes), so that the pairs
// that most genes hold cost a bit per gene instead of 32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class GeneSet {
  public:
    // Adds a gene of `geneCount` genes (gene < geneCount); it is no smaller than the last one
    // added, and the last one again is ignored.
    void add(int32_t gene, int32_t geneCount);
    size_t size() const { return count_; }
    // Appends the genes, ascending.
    void appendTo(std::vector<int32_t>& out) const;
    // Appends the genes of `genes` (ascending) that the set holds, ascending.
    void intersect(const std::vector<int32_t>& genes, std::vector<int32_t>& out) const;

  private:
    bool holds(int32_t gene) const {
        return (bits_[static_cast<size_t>(gene) >> 6] >> (gene & 63)) & 1;
    }

    std::vector<int32_t> list_;
    std::vector<uint64_t> bits_;  // once not empty, the set's form
    size_t count_ = 0;
    int32_t last_ = -1;
};
