// Score cutoffs from a p-value t: one random background sample of n = 50 / t letters drawn
// from the base composition, every window scored on both strands, and the cutoff read off
// as the order statistic at index trunc(N * float(1 - t)) - 1 of the N sorted scores.
// Only the highest scores matter, so a bounded heap of them replaces sorting all N; and only
// the windows that may score above a floor low enough to hold them need scoring (a window
// filter at the floor), with every window scored where too few scores lie above it.
#pragma once

#include <cstdint>
#include <vector>

#include "motif/WindowFilter.hpp"
#include "motif/WindowScore.hpp"

// Letters in the background sample for p-value t (below 1): 1,000,000 when t <= 0.
int64_t sampleLength(float t);

// Index of the cutoff in the ascending array of N sample scores.
int64_t cutoffIndex(int64_t scoreCount, float t);

// Base codes of n letters drawn from the frequencies with a generator of values 0 to 32767.
std::vector<uint8_t> FreqToSeq(const float baseFreq[4], int64_t n, uint32_t seed);

// The cutoff of one motif over the sample; the motif must fit in the sample.
float sampleCutoff(const MotifTable& table, const std::vector<uint8_t>& sample, float t);

// The same cutoff, scoring only the windows whose filter at `floor` lets them through: where
// at least the scores that the order statistic keeps lie above the floor, they are all among
// those; otherwise it is sampleCutoff. `codes` holds the sample's codes as the scan does.
float sampleCutoffAbove(const MotifTable& table, const std::vector<uint8_t>& sample,
                        const SequenceCodes& codes, float t, float floor);

// A floor for sampleCutoffAbove: a score that about four times as many windows as the cutoff
// keeps exceed, by the bracket of the exact score distribution.
float sampleFloor(const MotifTable& table, const float baseFreq[4], float t);
