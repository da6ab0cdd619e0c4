// Which reported modules contain which. A module's parent is the largest reported module
// whose motifs include all of its own and more (among equally large ones, the first in report
// order); a module is closed when no reported module whose motifs include its own and more
// holds the same genes (the distinct genes with an instance): a module that is not closed
// says nothing its larger module does not.
// Modules are added one at a time, as summaries (motif and gene ids), so that a report of
// any size needs memory for its gene lists only. Supersets are found as the modules, among
// those with more motifs, whose bits are set for every motif of the module (a bit per module
// and motif), a word of 64 modules at a time.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "report/ReportReader.hpp"

class ModuleFamilies {
  public:
    void add(const ReportModule& module);
    // Finds every module's parent and, with `findClosed`, whether it is closed (which looks
    // at all of its supersets, not only the first); call once, after the last add.
    void resolve(bool findClosed = true);

    // The number of the module's parent, 0 for none; false for a module never added.
    int64_t parent(int64_t number) const;
    bool closed(int64_t number) const;

  private:
    struct Summary {
        int64_t number;
        std::vector<int32_t> motifs, genes;  // ascending ids
        int64_t parent = 0;
        bool closed = true;
    };
    static std::vector<int32_t> ids(const std::vector<std::string>& names,
                                    std::unordered_map<std::string, int32_t>& table);
    const Summary* find(int64_t number) const;

    std::unordered_map<std::string, int32_t> motifIds_, geneIds_;
    std::vector<Summary> modules_;  // ascending numbers
};
