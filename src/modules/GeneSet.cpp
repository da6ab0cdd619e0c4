// Gene sets of motif pairs: a sorted list while small, a bit per gene once that is smaller;
// both forms read and intersect alike.
#include "modules/GeneSet.hpp"

#include <algorithm>
#include <iterator>

void GeneSet::add(int32_t gene, int32_t geneCount) {
    if (gene == last_) return;
    last_ = gene;
    ++count_;
    if (bits_.empty()) {
        list_.push_back(gene);
        if (static_cast<int64_t>(list_.size()) * 32 <= geneCount) return;
        // The list now takes more room than a bit per gene: move to the bits.
        bits_.assign((static_cast<size_t>(geneCount) + 63) / 64, 0);
        for (int32_t g : list_) bits_[static_cast<size_t>(g) >> 6] |= uint64_t{1} << (g & 63);
        std::vector<int32_t>().swap(list_);
        return;
    }
    bits_[static_cast<size_t>(gene) >> 6] |= uint64_t{1} << (gene & 63);
}

void GeneSet::appendTo(std::vector<int32_t>& out) const {
    if (bits_.empty()) {
        out.insert(out.end(), list_.begin(), list_.end());
        return;
    }
    out.reserve(out.size() + count_);
    for (size_t word = 0; word < bits_.size(); ++word)
        for (uint64_t rest = bits_[word]; rest != 0; rest &= rest - 1)
            out.push_back(static_cast<int32_t>(64 * word) + __builtin_ctzll(rest));
}

void GeneSet::intersect(const std::vector<int32_t>& genes, std::vector<int32_t>& out) const {
    if (bits_.empty()) {
        std::set_intersection(genes.begin(), genes.end(), list_.begin(), list_.end(),
                              std::back_inserter(out));
        return;
    }
    // Branch-free: whether a gene is held is as good as random.
    const size_t from = out.size();
    out.resize(from + genes.size());
    size_t kept = from;
    for (int32_t g : genes) {
        out[kept] = g;
        kept += holds(g);
    }
    out.resize(kept);
}
