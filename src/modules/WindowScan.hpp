// The window scan that finds the instances of a module in one gene's hit list.
// Only hits of module motifs take part. From hit i, the window takes every following hit up
// to the first whose end lies more than windowSize past hit i's start; when the window holds
// every module motif it is an instance, and the scan resumes at its last hit, which so opens
// the next window. A one-motif instance made of its first hit alone resumes after it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "hits/Hit.hpp"

// Maps the motif ids of one module (at most 31 motifs) to bit positions.
class ModuleSlots {
  public:
    explicit ModuleSlots(size_t motifCount) : slot_(motifCount, -1) {}

    void assign(const std::vector<int32_t>& module);
    int slot(int32_t motif) const { return slot_[motif]; }
    const std::vector<int32_t>& motifs() const { return module_; }
    // The bits of all module motifs: a window holding every motif has exactly these.
    uint32_t fullMask() const { return (1u << module_.size()) - 1; }

  private:
    std::vector<int8_t> slot_;
    std::vector<int32_t> module_;
};

// The hits of every gene grouped by motif, then gene: for a module, a gene's hits of its
// motifs are found without a pass over all of the gene's hits.
class HitIndex {
  public:
    HitIndex() = default;
    HitIndex(const std::vector<SeqHit>& genes, size_t motifCount);

    // A hit as the instance test reads it: its span and its motif's bit in a module.
    struct Placed {
        int32_t start, end;
        uint32_t bit;
    };
    // The bit set of gene g's hits of the module's motifs, by position in its hit list, into
    // marks[0..words), and each such hit at its position in `placed`; returns words.
    // `hitCount`: the gene's hits. The buffers only grow.
    size_t place(int32_t gene, size_t hitCount, const ModuleSlots& module,
                 std::vector<uint64_t>& marks, std::vector<Placed>& placed) const;

  private:
    // The directory entry of a motif in a gene, or -1.
    int64_t entryOf(int32_t gene, int32_t motif) const;

    size_t geneCount_ = 0;
    std::vector<int32_t> dense_;        // motif * geneCount + gene -> entry, where small enough
    std::vector<size_t> motifEntries_;  // per motif, its first directory entry (and one more)
    std::vector<int32_t> entryGene_;    // directory: a gene holding the motif ...
    std::vector<size_t> entryBegin_;    // ... and where its hits start (and one more)
    // A hit in the index: its position in the gene's hit list and its span, side by side,
    // as the instance test reads them.
    struct Located {
        int32_t position, start, end;
    };
    std::vector<Located> located_;  // grouped by motif, then gene, ascending position
};

struct WindowScan {
    std::vector<const MHit*> filtered;                 // the gene's hits of module motifs
    std::vector<std::pair<size_t, size_t>> instances;  // [first, last] ranges of `filtered`

    // Finds the instances in one hit list; with firstOnly, stops at the first one, whose range
    // then ends where its window first holds every motif (it tells that an instance exists).
    void run(const std::vector<MHit>& hits, const ModuleSlots& module, int32_t windowSize,
             bool firstOnly);
    // The same for gene g, its module hits found through the index.
    void run(const std::vector<MHit>& hits, const HitIndex& index, int32_t gene,
             const ModuleSlots& module, int32_t windowSize, bool firstOnly);
    // Whether gene g holds an instance: the test of run(..., firstOnly), without the ranges.
    bool holds(const std::vector<MHit>& hits, const HitIndex& index, int32_t gene,
               const ModuleSlots& module, int32_t windowSize);

  private:
    void findInstances(const ModuleSlots& module, int32_t windowSize, bool firstOnly);
    std::vector<uint64_t> marks_;
    std::vector<HitIndex::Placed> placed_, inOrder_;
};

// Keeps the genes (indexes into `genes`) in which the module of `module` has an instance:
// the instance test of the search, the holder counts and the permutations alike. With an
// index a gene's module hits are read through it, else found by a pass over its hits; the
// two give the same genes.
void keepHolders(std::vector<int32_t>& geneList, const std::vector<SeqHit>& genes,
                 const HitIndex* index, const ModuleSlots& module, int32_t windowSize,
                 WindowScan& scan);
