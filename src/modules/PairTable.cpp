// The pair table: distinct pair keys per gene from the pair scan, in parallel, added gene by gene
// in order to dense (triangle) or hashed slots.
#include "modules/PairTable.hpp"

#include <algorithm>

#include "common/Parallel.hpp"
#include "hits/PairScan.hpp"

namespace {
// A dense table of 2,048 motifs takes 8 MiB before any pair is seen; larger libraries hash.
constexpr int32_t kDenseLimit = 2048;
}  // namespace

PairTable::PairTable(int32_t motifCount, int32_t geneCount)
    : motifCount_(motifCount), geneCount_(geneCount), dense_(motifCount <= kDenseLimit) {
    if (dense_) denseSlot_.assign(static_cast<size_t>(motifCount) * (motifCount + 1) / 2, -1);
}

size_t PairTable::denseIndex(int32_t low, int32_t high) {
    // Row `high` of the triangle below the diagonal starts after high (high + 1) / 2 entries.
    return static_cast<size_t>(high) * (static_cast<size_t>(high) + 1) / 2 +
           static_cast<size_t>(low);
}

int32_t PairTable::findSlot(int32_t low, int32_t high) const {
    if (dense_) return denseSlot_[denseIndex(low, high)];
    auto it = sparseSlot_.find(CompName(low, high));
    return it == sparseSlot_.end() ? -1 : it->second;
}

void PairTable::addGene(int32_t a, int32_t b, int32_t gene) {
    auto [low, high] = std::minmax(a, b);
    int32_t slot = findSlot(low, high);
    if (slot < 0) {
        slot = static_cast<int32_t>(lists_.size());
        if (dense_)
            denseSlot_[denseIndex(low, high)] = slot;
        else
            sparseSlot_.emplace(CompName(low, high), slot);
        firsts_.push_back(low);
        seconds_.push_back(high);
        lists_.emplace_back();
    }
    lists_[slot].add(gene, geneCount_);
}

const GeneSet* PairTable::genes(int32_t a, int32_t b) const {
    auto [low, high] = std::minmax(a, b);
    int32_t slot = findSlot(low, high);
    return slot < 0 ? nullptr : &lists_[slot];
}

PairTable pairTableOf(const std::vector<SeqHit>& genes, int32_t motifCount, int32_t windowSize,
                      int threads) {
    PairTable table(motifCount, static_cast<int32_t>(genes.size()));
    std::vector<std::vector<uint64_t>> keysOfGene(genes.size());
    orderedParallelFor(
        genes.size(), std::max(1, threads),
        [&](size_t g) { keysOfGene[g] = distinctPairKeys(genes[g].hits, windowSize); },
        [&](size_t g) {
            for (uint64_t key : keysOfGene[g])
                table.addGene(static_cast<int32_t>(key >> 32),
                              static_cast<int32_t>(key & 0xffffffffu), static_cast<int32_t>(g));
            std::vector<uint64_t>().swap(keysOfGene[g]);
        });
    return table;
}
