// The statistics table of the reported modules (--stats): for each module its foreground
// genes, its background genes (found with the same window scan on the background's hits),
// fold enrichment, a p-value, the E-value (p times T, the number of modules the search
// tested), the Benjamini-Hochberg q-value over T, and with --permutations the family-wise
// adjusted p-value of Westfall and Young:
//   each permutation draws genes_total genes from foreground and background together as a
//   pseudo-foreground, repeats the whole discovery on it with the same options, and keeps
//   the smallest Fisher p of any module it finds (1 if none);
//   fwer = (1 + number of permutations whose smallest p <= the module's p) / (N + 1).
// Permutations run in parallel; permutation k draws from its own generator, seeded with
// (seed, k), so the table is the same for every thread count.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "common/Args.hpp"
#include "hits/HitStage.hpp"
#include "modules/Discovery.hpp"

// One row's computed columns. Background columns are absent without a background, fwer
// without permutations.
struct ModuleStatsRow {
    std::optional<int64_t> backgroundGenes;
    double foldEnrichment = 0;
    double pValue = 0, eValue = 0, qValue = 0;
    std::optional<double> fwer;
};

// What the notes under the table say of the run.
struct StatsNotes {
    std::string program, commandLine;  // program: name and version
    std::optional<uint32_t> seed;      // the seed of every random draw of the run, if any
    std::vector<std::string> more;     // further lines, each starting "# "
};

class ModuleStatistics {
  public:
    // `background` may be null. Permutations need a background and a seed.
    ModuleStatistics(const Args& settings, const Discovery& discovery, const HitStage& foreground,
                     const HitStage* background, std::optional<uint32_t> seed);

    std::vector<ModuleStatsRow> rows;
    int64_t tests = 0;  // T
    int64_t genesTotal = 0, backgroundTotal = 0;
    std::vector<double> permutationMinima;  // the smallest p of each permutation

    // The table: a header row, a row per module in report order, then the notes.
    void write(std::ostream& out, const std::vector<ModuleRecord>& records,
               const std::vector<std::string>& motifNames, const StatsNotes& notes) const;

  private:
    bool hasBackground_ = false;
};

// Westfall and Young's family-wise error of p: (1 + the permutations whose smallest p is at
// most p) / (N + 1). Two p-values within a relative 1e-7 of each other are the same value
// reached by different sums, and count as a tie (as R's fisher.test compares them).
double familyWiseError(const std::vector<double>& sortedMinima, double p);

// The smallest Fisher p of the modules that discovery finds on each of `count` random
// pseudo-foregrounds of `foreground`'s size drawn from both gene sets together.
std::vector<double> permutationMinima(const Args& settings, const HitStage& foreground,
                                      const HitStage& background, int32_t count, uint32_t seed);

// The pseudo-foreground of one permutation: `drawn` of the `total` genes (foreground, then
// background), ascending, drawn uniformly from the generator seeded with (seed, permutation).
std::vector<uint32_t> permutedForeground(uint32_t seed, uint32_t permutation, uint32_t drawn,
                                         uint32_t total);
