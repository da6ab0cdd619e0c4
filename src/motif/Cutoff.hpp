// Score cutoffs from a p-value t: one random background sample of n = 50 / t letters drawn
// from the base composition, every window scored on both strands, and the cutoff read off
// as the order statistic at index trunc(N * float(1 - t)) - 1 of the N sorted scores.
// Only the highest scores matter, so a bounded heap of them replaces sorting all N.
#pragma once

#include <cstdint>
#include <vector>

#include "motif/WindowScore.hpp"

// Letters in the background sample for p-value t (below 1): 1,000,000 when t <= 0.
int64_t sampleLength(float t);

// Index of the cutoff in the ascending array of N sample scores.
int64_t cutoffIndex(int64_t scoreCount, float t);

// Base codes of n letters drawn from the frequencies with a generator of values 0 to 32767.
std::vector<uint8_t> FreqToSeq(const float baseFreq[4], int64_t n, uint32_t seed);

// The cutoff of one motif over the sample; the motif must fit in the sample.
float sampleCutoff(const MotifTable& table, const std::vector<uint8_t>& sample, float t);
