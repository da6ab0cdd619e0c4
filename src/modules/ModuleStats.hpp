// The statistics table of the reported modules (--stats): for each module its foreground
// genes, its background genes (found with the same window scan on the background's hits),
// fold enrichment, a p-value, the nominal E-value (p times T, the number of candidate modules
// the search tested) and Benjamini-Hochberg q-value over T, and with --permutations the
// family-wise error (fwer) and false discovery rate (fdr) of the permutations, which account
// for the search itself (see Permutations.hpp).
//   p_vs_parts: for a module M of k motifs and each sub-module S of k - 1 of its motifs (for
//   k = 2, each motif), Fisher's one-sided test of M among the genes that hold S: foreground
//   genes holding M against those holding S without M, compared with the same in the
//   background. The largest of the k p-values: small only when every motif adds to the rest.
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
#include "modules/Permutations.hpp"
#include "modules/Probability.hpp"
#include "modules/Strata.hpp"

// One row's computed columns. Background columns are absent without a background, fwer
// without permutations.
struct ModuleStatsRow {
    std::optional<int64_t> backgroundGenes;
    double foldEnrichment = 0;
    double pValue = 0, eValue = 0, qValue = 0;
    std::optional<double> fwer, fdr;
    std::optional<double> pVsParts;  // with a background, for modules of two motifs or more
    std::optional<bool> fdrExact;    // with permutations: false where fdr is a lower limit
};

// A module's permutation columns.
struct PermutationColumns {
    double fwer = 1, fdr = 1;
    bool exact = true;
};
// The permutation columns of modules of p-values `p` (none when no permutation was done).
std::vector<PermutationColumns> permutationColumns(const std::vector<double>& p,
                                                   const PermutationOutcome& outcome);
// A value of the table's p-value columns as written.
std::string statsValue(double value);
// The table's notes on the permutations: their number (and, when a stop cut them short, how
// many were asked for), and how the fdr was counted.
std::string permutationsNote(size_t done, int32_t requested, bool interrupted);
std::string fdrNote(bool summarised, double exactBelow);

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
                     const HitStage* background, std::optional<uint32_t> seed,
                     const PermutationWatch& watch = {});

    std::vector<ModuleStatsRow> rows;
    int64_t tests = 0;  // T
    int64_t genesTotal = 0, backgroundTotal = 0;
    std::vector<double> permutationMinima;  // the smallest p of each permutation done
    int32_t permutationsRequested = 0;
    bool interrupted = false;      // a stop request ended the permutations early
    bool fdrSummarised = false;    // the permutations' p-values were counted on a grid
    double fdrExactBelow = 1;      // fdr values from here up are lower limits
    std::vector<double> permutedPValues;  // with --permutation-shard: all the shard kept
    std::optional<Strata> strata;  // with --stratify: the strata of the test

    // The table: a header row, a row per module in report order, then the notes.
    void write(std::ostream& out, const std::vector<ModuleRecord>& records,
               const std::vector<std::string>& motifNames, const StatsNotes& notes) const;

  private:
    // The stratified p of every module, and its p_vs_parts, from its holders in the pool.
    std::vector<double> stratifiedTests(const Args& settings,
                                        const std::vector<ModuleRecord>& records,
                                        const HitStage& foreground, const HitStage& background);
    // p_vs_parts of every module of two motifs or more, from its holders in the background.
    void compareWithParts(const Args& settings, const std::vector<ModuleRecord>& records,
                          const std::vector<int64_t>& backgroundHolders, const HitStage& foreground,
                          const HitStage& background, const LogFactorials& logs);

    bool hasBackground_ = false;
};
