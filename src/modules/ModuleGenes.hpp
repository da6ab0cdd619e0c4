// How many genes of a set of hit lists hold a module, by the rule of the search: a gene is a
// candidate when every two motifs of the module pair within the window there (the pair
// table, built once), and a candidate holds the module
// when the window scan finds an instance, read through a per-gene index of the module
// motifs' hits. A module of one motif is held by every gene with a hit of it.
#pragma once

#include <cstdint>
#include <vector>

#include "common/Args.hpp"
#include "hits/HitStage.hpp"
#include "modules/PairTable.hpp"
#include "modules/WindowScan.hpp"

class ModuleGenes {
  public:
    // The working space of one thread.
    struct Scratch {
        explicit Scratch(size_t motifCount) : slots(motifCount) {}
        ModuleSlots slots;
        WindowScan scan;
        std::vector<int32_t> shared, narrowed;
    };

    // `hits` must outlive this object; the window is that of `settings`.
    ModuleGenes(const HitStage& hits, const Args& settings);

    // The number of genes with at least one instance of the module (distinct motif ids).
    int64_t count(const std::vector<int32_t>& module, Scratch& space) const;
    // Those genes, ascending (in `space`, or the motif's own list for a module of one).
    const std::vector<int32_t>& holders(const std::vector<int32_t>& module, Scratch& space) const;

    // What the count reads, for callers that narrow holders step by step: the genes of each
    // motif pair, the genes with a hit of a motif (ascending), and the hits by gene and motif.
    const PairTable& pairs() const { return pairs_; }
    const std::vector<int32_t>& genesOf(int32_t motif) const {
        return genesOfMotif_[static_cast<size_t>(motif)];
    }
    const HitIndex& index() const { return index_; }

  private:
    const HitStage& hits_;
    int32_t windowSize_;
    PairTable pairs_;                                 // genes of each motif pair
    std::vector<std::vector<int32_t>> genesOfMotif_;  // ascending gene indexes
    HitIndex index_;
};
