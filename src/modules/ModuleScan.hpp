// A module's instances on a target (rekul-scan): the same window scan as discovery's
// instance test over the target's hits, and for each instance a p-value under a stated null.
//
// Null: the hits of each motif m start independently and uniformly along the target at its
// own rate r_m (its hits per letter on the target, after overlap removal). An instance's
// tightness t is the smallest distance from the start of one of its hits to the start of a
// later one such that the hits from the one to the other hold every motif of the module; an
// instance starting at x is as tight when its other motifs all start within t letters of x. A
// given position starts such an instance with probability
//     P(t) = sum over m in M of r_m * prod over m' in M, m' != m of (1 - exp(-r_m' (t + 1)))
// (a hit of one motif starts there, and each other motif starts at least once in the t + 1
// positions from there: Poisson counts). Over the target's L positions the expected number of
// such instances is E = L * P(t), and the instance's p = 1 - exp(-E): the chance that the
// target holds an instance at least as tight anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hits/Hit.hpp"

// A module to find, its motifs by motif id of the target's scan.
struct ScanModule {
    std::string id;  // M1, M2, ... as in the report
    std::vector<int32_t> motifs;
};

struct ModuleInstance {
    size_t module = 0;       // index into the modules
    size_t gene = 0;         // index into the target's genes
    std::vector<MHit> hits;  // the instance's hits, ascending by start
    int64_t tightness = 0;   // t, see above
    double eValue = 0, pValue = 0;
};

// The null of a target: each motif's hits per letter, and the target's letters L.
struct ScanNull {
    std::vector<double> rates;
    double letters = 0;
};
ScanNull targetNull(const std::vector<SeqHit>& genes, size_t motifCount);

// P(t) above for the module's motifs.
double startProbability(const std::vector<int32_t>& motifs, const std::vector<double>& rates,
                        int64_t tightness);

// Every instance of every module in every gene, modules in order, then genes, then position,
// with p and E under `null` (the target's own; for matched windows, the target's too, so
// that a p-value means the same tightness on both).
std::vector<ModuleInstance> findModuleInstances(const std::vector<ScanModule>& modules,
                                                const std::vector<SeqHit>& genes,
                                                const ScanNull& null, int32_t windowSize);

// The empirical false discovery rate of each target instance from the instances of the same
// modules on matched windows of `backgroundLetters` letters: for a threshold p*, the matched
// windows' count at p <= p* scaled to the target's letters, over the target's count at
// p <= p*; each instance's fdr is the smallest over thresholds p* >= its p (step-up), at
// most 1. Counted module by module.
std::vector<double> empiricalFdr(const std::vector<ModuleInstance>& target,
                                 const std::vector<ModuleInstance>& matched, double targetLetters,
                                 double backgroundLetters);
