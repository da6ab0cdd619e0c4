// Every permutation from one enumeration of motif sets over the pool of foreground and
// background genes (Westfall-Young light: Llinares-Lopez et al., KDD 2015). With label-blind
// scoring, the genes of the pool that hold a motif set (its holders, by the rule of the
// statistics table) are the same in every permutation, and permutation j's search finds the
// set exactly when:
//   - every motif of the set is in j's search order (it has -k or more, and at least one,
//     partners in pairs that -g or more of j's genes hold);
//   - c_j, the set's holders among j's pseudo-foreground, is -g or more (one or more for a
//     motif alone);
//   - the search tests the set: it has -k or more motifs, and for a set of seven, no motif
//     between its first two in j's search order pairs with all seven in j's genes (the
//     search then tests the set's extensions instead); a set of eight is always tested.
// Its p in j is Fisher's p of c_j among its holders, as in the search. Holders only shrink
// down a branch, and no superset can reach a p below Tarone's minimum attainable p for c_j
// holders, all of them in the foreground: C(n1, c_j) / C(N, c_j). So a branch ends where
// every permutation has c_j below -g, or that minimum above both its smallest p so far and
// the bound B up to which the p-values are kept for the fdr.
// The fdr needs, at each observed p', the number of permuted modules at or below p'. B starts
// at 1 and falls to the p at which the permutations hold a quarter of the observed modules
// per permutation; below B the counts are exact, above it they are lower limits, so that the
// fdr is exact wherever it lies below E(B)/R (0.25 or more) and a lower limit elsewhere.
// Permutations go through in batches of 1,024, each a bit per pool gene, the batch's minima
// and kept p-values settled when it ends; the enumeration is split by the first two motifs
// of a set over the threads. What is kept does not depend on the number of threads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/Args.hpp"
#include "hits/HitStage.hpp"
#include "modules/Permutations.hpp"
#include "modules/Strata.hpp"

// The permutations of runPermutations by one enumeration over the pool; `observed` is the
// number of observed modules, for the fdr's bound.
// With `strata`, labels are drawn within strata and modules tested by the stratified test.
PermutationOutcome poolPermutations(const Args& settings, const HitStage& foreground,
                                    const HitStage& background, const PermutationSlice& slice,
                                    uint32_t seed,
                                    size_t observed, const PermutationWatch& watch = {},
                                    const Strata* strata = nullptr);

// The merge of shards: from the permuted p-values of every shard of a run of `total`
// permutations (each shard holds at least those the whole run keeps), the p-values the whole
// run keeps into `outcome.pValues`, and where its fdr stops being exact.
void keepMergedPValues(std::vector<double> values, int32_t total, size_t observed,
                       PermutationOutcome& outcome);
