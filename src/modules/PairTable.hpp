// Gene sets of motif pairs: for every pair of motif ids that occurs within the window in
// some gene, the genes holding it, ascending (that is, in input order), each once.
// Slots are found through a dense table (the triangle of pairs, 8 MiB at 2,048 motifs) for
// libraries of up to 2,048 motifs, and through a hash map beyond, so that lookups in the
// pair scan stay cheap without a large table before any pair is seen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "hits/Hit.hpp"
#include "modules/GeneSet.hpp"

class PairTable {
  public:
    // Pairs of `motifCount` motifs over `geneCount` genes (gene indices below it).
    PairTable(int32_t motifCount, int32_t geneCount);

    // Adds the gene to the pair's set; genes come in ascending order.
    void addGene(int32_t a, int32_t b, int32_t gene);
    // The pair's genes, or nullptr when the pair occurs in no gene.
    const GeneSet* genes(int32_t a, int32_t b) const;
    bool contains(int32_t a, int32_t b) const { return genes(a, b) != nullptr; }

    size_t size() const { return lists_.size(); }
    // The two motif ids (smaller first) and the genes of slot i.
    int32_t first(size_t i) const { return firsts_[i]; }
    int32_t second(size_t i) const { return seconds_[i]; }
    const GeneSet& genesAt(size_t i) const { return lists_[i]; }

  private:
    int32_t findSlot(int32_t low, int32_t high) const;
    static size_t denseIndex(int32_t low, int32_t high);  // low <= high

    int32_t motifCount_, geneCount_;
    bool dense_;
    std::vector<int32_t> denseSlot_;
    std::unordered_map<uint64_t, int32_t> sparseSlot_;
    std::vector<int32_t> firsts_, seconds_;
    std::vector<GeneSet> lists_;
};

// The pair table of a set of hit lists (genes numbered in their order), each gene's pair
// scan with the given window run on `threads` threads.
PairTable pairTableOf(const std::vector<SeqHit>& genes, int32_t motifCount, int32_t windowSize,
                      int threads);
