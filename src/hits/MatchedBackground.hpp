// A background drawn from a pool of sequences to match the foreground (--match): for each
// foreground gene of length L and GC bin b, `ratio` windows of length L cut at random
// places from pool sequences of at least L letters, each window uniform among the pool's
// windows of that length whose GC falls in bin b. Matching GC alone takes whole pool
// sequences of the bin; matching length alone takes windows of any GC. A window with more
// than 70 % letters that are no upper-case base (N, or masked by -l) is not taken, nor one
// that overlaps an earlier window or repeats its letters: the background's genes do not
// share sequence, as the foreground's do not.
//   Windows are first drawn by rejection (up to 50 draws per window wanted, plus 1,000);
//   where that falls short, every window of the pool is tried and the rest drawn from those
//   that fit, so that a bin the pool can fill is always filled.
// Each foreground gene draws from its own generator, seeded with (seed, gene), so the
// background is the same on every run with the same seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hits/HitA.hpp"

struct MatchOptions {
    bool length = true, gc = true;
    int32_t ratio = 10;
    uint32_t seed = 0;
};

struct MatchedBackground {
    std::vector<Seq> windows;    // named POOLGENE:start-end (0-based, end excluded)
    int64_t genesMatched = 0;    // foreground genes given all `ratio` windows
    int64_t longerThanPool = 0;  // foreground genes longer than every pool sequence
};

MatchedBackground matchBackground(const std::vector<Seq>& pool, const std::vector<Seq>& foreground,
                                  const MatchOptions& options);

// "length, GC", "length" or "GC": what a match keeps.
std::string matchedProperties(const MatchOptions& options);
