// The permutations of the statistics table. Each permutation draws genes_total genes from
// foreground and background together as a pseudo-foreground, finds the modules that the
// discovery would find on it with the same options, and keeps the Fisher p of each (the
// genes holding a module are counted in the pool, by the rule of the table). Two methods
// give the same p-values: a whole search per permutation (here, the reference), or one
// enumeration over the pool for all of them (PoolPermutations.hpp). From them:
//   fwer (Westfall and Young): the share of permutations whose smallest p is at most a
//        module's p, (1 + that number) / (N + 1);
//   fdr  a step-up estimate of the false discovery rate: for a module of p,
//        fdr = min over observed p' >= p of min(1, E(p') / R(p')), where E(p') is the mean
//        over permutations of the number of their modules with p <= p' and R(p') the number
//        of observed modules with p <= p' (permutation FDR, as in Storey and Tibshirani).
// Permutations run in parallel; permutation k draws from its own generator, seeded with
// (seed, k), so the results are the same for every thread count. A progress line says how
// far they are; a stop request keeps the permutations done so far (a prefix of the draws).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Args.hpp"
#include "common/Progress.hpp"
#include "hits/HitStage.hpp"
#include "modules/Strata.hpp"

// The p-values of every module of every permutation: kept whole while they fit in memory,
// then counted on a grid of 0.001 decades of p, where counts at most p become upper bounds
// (whole bins), which keeps every fdr at or above its exact value.
class PermutationPValues {
  public:
    explicit PermutationPValues(size_t kept = kKeptValues) : kept_(kept) {}
    void add(const std::vector<double>& pValues);
    void add(std::vector<double>&& pValues);
    // How many are at most p.
    double countAtMost(double p) const;
    bool summarised() const { return !grid_.empty(); }
    // The values themselves, while they are not summarised.
    const std::vector<double>& values() const { return values_; }
    static constexpr size_t kKeptValues = size_t{1} << 24;

  private:
    static size_t binOf(double p);
    size_t kept_;
    mutable std::vector<double> values_;  // sorted once counting starts
    mutable bool sorted_ = true;
    std::vector<int64_t> grid_;
    mutable std::vector<int64_t> cumulative_;
};

struct PermutationOutcome {
    std::vector<double> minima;  // the smallest p of each permutation done (1 if none)
    PermutationPValues pValues;  // with the pool method, those up to its bound only
    int32_t done = 0, requested = 0;
    // The fdr is exact below this value; from it up, a lower limit (1: exact everywhere).
    double fdrExactBelow = 1;
    bool interrupted() const { return done < requested; }
};

// The permutations a run does: `count` from permutation `first` on, of the `total` of its
// table. All of them, or with --permutation-shard one slice, whose p-values are then all kept
// (never summarised) for the merge.
struct PermutationSlice {
    int32_t first = 0, count = 0, total = 0;
    bool shard = false;
    static PermutationSlice all(int32_t count) { return {0, count, count, false}; }
    // Slice K of N of `--permutations`: permutations floor((K-1)P/N) to floor(KP/N) - 1.
    static PermutationSlice of(const Args& settings);
};

// How a run of permutations reports its progress and learns that it should stop.
struct PermutationWatch {
    Progress progress = Progress::silent();
    const std::atomic<bool>* stop = nullptr;
};

// The permutations by the method of `settings`. `observed` is the number of observed
// modules, whose fdr the pool method keeps exact below 0.25.
// With `strata` (--stratify), labels are drawn within each stratum and modules are tested by
// the stratified test.
PermutationOutcome runPermutations(const Args& settings, const HitStage& foreground,
                                   const HitStage& background, const PermutationSlice& slice,
                                   uint32_t seed,
                                   size_t observed = 0, const PermutationWatch& watch = {},
                                   const Strata* strata = nullptr);
// A whole search per permutation.
PermutationOutcome searchPermutations(const Args& settings, const HitStage& foreground,
                                      const HitStage& background, const PermutationSlice& slice,
                                      uint32_t seed,
                                      const PermutationWatch& watch = {},
                                      const Strata* strata = nullptr);

// The smallest Fisher p of the modules that discovery finds on each of `count` random
// pseudo-foregrounds of `foreground`'s size drawn from both gene sets together, by the
// method of `settings`.
std::vector<double> permutationMinima(const Args& settings, const HitStage& foreground,
                                      const HitStage& background, int32_t count, uint32_t seed);

// Foreground and background genes together, foreground first: the pool the permutations
// draw from.
HitStage pooledGenes(const HitStage& foreground, const HitStage& background);

// The pseudo-foreground of one permutation: `drawn` of the `total` genes (foreground, then
// background), ascending, drawn uniformly from the generator seeded with (seed, permutation).
// Permutation k's pseudo-foreground: within strata where given, else from all genes.
std::vector<uint32_t> drawForeground(const Strata* strata, uint32_t seed, uint32_t permutation,
                                     uint32_t drawn, uint32_t total);

std::vector<uint32_t> permutedForeground(uint32_t seed, uint32_t permutation, uint32_t drawn,
                                         uint32_t total);

// Westfall and Young's family-wise error of p: (1 + the permutations whose smallest p is at
// most p) / (N + 1). Two p-values within a relative 1e-7 of each other are the same value
// reached by different sums, and count as a tie (as R's fisher.test compares them).
double familyWiseError(const std::vector<double>& sortedMinima, double p);

// The permutation fdr of each observed p-value (see above), over `permutations` of them.
std::vector<double> permutationFdr(const std::vector<double>& observed,
                                   const PermutationPValues& permuted, int32_t permutations);

// The progress line of the permutations: at most once a second, rewritten in place on a
// terminal; elsewhere one line for each tenth done. A count heard again is ignored.
class PermutationProgress {
  public:
    PermutationProgress(Progress progress, int32_t count);
    void done(int32_t done);

  private:
    using Clock = std::chrono::steady_clock;
    std::string status(int32_t done, Clock::time_point now) const;

    Progress progress_;
    int32_t count_;
    Clock::time_point start_, last_;
    int64_t lastTenth_ = 0;
    int32_t lastDone_ = 0;
};
