// Strata of the genes for the stratified test (--stratify): foreground and background genes
// pooled (foreground first), each put in a stratum of its length and GC, so that a module is
// compared only among genes of the same kind.
//   GC      the bins of --match (gcBin: edges 0.20, 0.25, ..., 0.80);
//   length  --length-strata bins at the quantiles of the pooled lengths: bin i holds the
//           lengths from the (i/N)-quantile up to below the ((i+1)/N)-quantile.
// A stratum without a foreground gene or without a background gene carries no information on
// the labels; its genes are left out of the test (they keep their labels in permutations).
//
// The test of a module conditions on every stratum's margins: with n_s foreground genes of
// N_s in stratum s and m_s of them holding the module, the foreground holders are
// X = sum_s X_s, X_s hypergeometric (N_s, m_s, n_s) and independent, and
//   p = P(X >= observed),
// computed exactly by convolving the strata's distributions (stratifiedTails). With one
// stratum it is Fisher's exact test.
//
// The smallest p that a module can still reach once c_s of its holders lie in the foreground
// of stratum s: every superset holds at most c_s there, and
//   p >= prod_s P(X_s >= c'_s | m'_s >= c'_s) >= prod_s C(n_s, c_s) / C(N_s, c_s),
// since P(X_s >= c | m) grows with m and C(n, c) / C(N, c) falls with c. Permutations cut a
// branch where this bound exceeds the p they still need (as Tarone's bound does for Fisher).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hits/GeneShape.hpp"
#include "modules/Probability.hpp"

struct Strata {
    std::vector<int32_t> of;               // by pooled gene: its stratum, or -1 (left out)
    std::vector<int64_t> foreground, all;  // by stratum: its foreground genes, all its genes
    std::vector<std::string> notes;        // the table's '#' lines, one per stratum
    int64_t leftForeground = 0, leftBackground = 0;
    size_t size() const { return all.size(); }
};

// The table's '#' lines of a stratified test: what it is, then each stratum.
std::string strataNotes(const Strata& strata);

// The strata of the genes by length (`lengthBins` quantile bins), GC, or both.
// Refuses (ErrorKind::Input) where no stratum holds genes of both sets.
Strata stratify(const std::vector<GeneShape>& foreground, const std::vector<GeneShape>& background,
                bool byLength, bool byGc, int32_t lengthBins);

// A permutation's pseudo-foreground (pooled gene indexes, ascending): in each stratum as many
// genes as its foreground holds, drawn uniformly from its genes, and the foreground genes left
// out of every stratum. Each permutation draws from its own generator (seed, permutation).
std::vector<uint32_t> stratifiedForeground(const Strata& strata, uint32_t seed,
                                           uint32_t permutation);

// The stratified test of the modules of one pooled gene set.
class StratifiedTest {
  public:
    explicit StratifiedTest(const Strata& strata);

    const Strata& strata() const { return strata_; }
    // P(X >= a) for a module of `holders[s]` holders in stratum s.
    double upperTail(const std::vector<int64_t>& holders, int64_t a) const;
    // P(X >= a) for every a from 0 to the foreground's size (0 beyond X's support).
    std::vector<double> tails(const std::vector<int64_t>& holders) const;
    // p_vs_parts within the strata: P(X >= a) for the module's `holders` drawn from the
    // genes that hold a part of it, `partForeground[s]` of `partAll[s]` in the foreground.
    double partsTail(const std::vector<int64_t>& partForeground,
                     const std::vector<int64_t>& partAll, const std::vector<int64_t>& holders,
                     int64_t a) const;
    // ln of the smallest p a superset can reach, for `inForeground[s]` holders drawn in s.
    double logFloor(const int32_t* inForeground) const;
    // The p of a module held by `holders` (pooled genes, ascending) in a permutation that drew
    // `drawn` (ascending) as its foreground.
    double permutedP(const std::vector<int32_t>& holders, const std::vector<uint32_t>& drawn) const;
    // The foreground holders and all holders by stratum, of holders given as pooled genes.
    void countHolders(const std::vector<int32_t>& genes, size_t foregroundGenes,
                      std::vector<int64_t>& inForeground, std::vector<int64_t>& all) const;

  private:
    const Strata& strata_;
    LogFactorials logs_;
    std::vector<std::vector<double>> logFloors_;  // by stratum and c: ln C(n, c) / C(N, c)
};
