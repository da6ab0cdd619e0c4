// Motif hits and the per-gene hit lists that the hit stages hand to module discovery.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One motif hit. `motif` is the motif's name id (see MotifNames): ids sort as names do.
struct MHit {
    int32_t motif = 0;
    int32_t start = 0;  // first covered position, 0-based
    int32_t end = 0;    // last covered position: start + width - 1
    char strand = '+';
    float score = 0;  // truncated toward zero to two decimals
};

// The hits of one gene in ascending start, and the gene's sequence length.
struct SeqHit {
    std::string name;
    int32_t length = 0;
    std::vector<MHit> hits;
};

// The window rule, the one test of every pair scan, instance test and holder count: a later
// hit lies within the window of an earlier one when it ends at most `windowSize` letters past
// the earlier one's start (so an instance of exactly windowSize + 1 letters still fits). The
// arithmetic is in 64 bits, so that no position overflows.
inline bool endsWithinWindow(int32_t firstStart, int32_t laterEnd, int32_t windowSize) {
    return static_cast<int64_t>(laterEnd) - firstStart <= windowSize;
}
inline bool endsWithinWindow(const MHit& first, const MHit& later, int32_t windowSize) {
    return endsWithinWindow(first.start, later.end, windowSize);
}

inline bool CompHitPos(const MHit& a, const MHit& b) {
    return a.start < b.start;
}
inline bool CompHitScore(const MHit& a, const MHit& b) {
    return a.score < b.score;
}

// Keeps the best hits and drops each weaker hit whose start lies closer than
// `overlapDistance` to a kept one; a hit with score exactly 0 counts as dropped.
// The result is sorted by start. Sorts are stable, so equal scores resolve by scan order.
std::vector<MHit> delHitOverlap(std::vector<MHit> hits, int32_t overlapDistance);

// Truncates a score toward zero to two decimals.
float truncateScore(float sum);
