// How many genes of a set of hit lists hold a module: the genes that have a hit of every
// module motif (an intersection of per-motif gene lists) are window-scanned, each up to its
// first instance, with the same scan that finds a module's instances in the search.
#pragma once

#include <cstdint>
#include <vector>

#include "hits/Hit.hpp"
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

    // `genes` must outlive this object.
    ModuleGenes(const std::vector<SeqHit>& genes, size_t motifCount, int32_t windowSize);

    // The number of genes with at least one instance of the module (distinct motif ids).
    int64_t count(const std::vector<int32_t>& module, Scratch& space) const;

  private:
    const std::vector<SeqHit>& genes_;
    int32_t windowSize_;
    std::vector<std::vector<int32_t>> genesOfMotif_;  // ascending gene indexes
};
