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
    // The bits of all module motifs: a window holding every motif has exactly these.
    uint32_t fullMask() const { return (1u << module_.size()) - 1; }

  private:
    std::vector<int8_t> slot_;
    std::vector<int32_t> module_;
};

struct WindowScan {
    std::vector<const MHit*> filtered;                 // the gene's hits of module motifs
    std::vector<std::pair<size_t, size_t>> instances;  // [first, last] ranges of `filtered`

    // Finds the instances in one hit list; with firstOnly, stops at the first one.
    void run(const std::vector<MHit>& hits, const ModuleSlots& module, int32_t windowSize,
             bool firstOnly);
};
