// Module probability: the chance that at least n of N genes of average length L hold the
// module when its motifs' hits fall at random at their measured rates.
//   window chance p = sum_i r_i * prod_{j != i} (1 - exp(-w r_j))
//   gene chance   P = 1 - (1 - p)^L
//   result        P(X >= n) for X ~ Binomial(N, P)
// The tail is summed on its small side, so that tiny probabilities keep full relative
// precision instead of vanishing into the rounding of 1 minus a sum close to 1.
#pragma once

#include <cstdint>
#include <vector>

// Natural logarithm of the binomial coefficient C(n, m); warns when n < m.
double LogCnm(int64_t n, int64_t m);

double geneChance(const std::vector<double>& rates, int32_t windowSize, int32_t avgSeqLength);

// P(X >= n) for X ~ Binomial(geneCount, P).
double upperTail(double P, int64_t geneCount, int64_t n);
