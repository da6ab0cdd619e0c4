// The probabilities of the report and of the statistics table, in one place.
//
// Module probability (the report): the chance that at least n of N genes of average length L
// hold the module when its motifs' hits fall at random at their measured rates.
//   window chance p = sum_i r_i * prod_{j != i} (1 - exp(-w r_j))
//   gene chance   P = 1 - (1 - p)^L
//   result        P(X >= n) for X ~ Binomial(N, P)
// The tail is summed on its small side, so that tiny probabilities keep full relative
// precision instead of vanishing into the rounding of 1 minus a sum close to 1.
//
// Enrichment of a module among foreground genes against a background, and the corrections
// for the number of modules the search tested (the table).
//   Fisher  p = P(X >= a) for X hypergeometric: n1 foreground genes drawn from N genes of
//           which K hold the module; summed term by term in logarithms (log-factorials from
//           lgamma), relative to the largest term, so that p keeps full relative precision
//           down to the smallest doubles and never exceeds 1.
//   Stratified  p = P(sum_s X_s >= a), X_s hypergeometric in each stratum s (Strata.hpp),
//           by convolution of the strata's distributions.
//   BH      q_i = min over j >= rank(i) of p_(j) T / j, capped at 1, where T counts every
//           test: the untested rest have p = 1 and so never lower a q.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The relative difference below which two p-values count as equal: sums of the same terms
// in another order differ in their last digits.
constexpr double kPValueTolerance = 1e-7;

// ln k! for k = 0 .. n, read from a table made once.
class LogFactorials {
  public:
    explicit LogFactorials(int64_t n = 0);
    double operator()(int64_t k) const { return table_[static_cast<size_t>(k)]; }
    int64_t size() const { return static_cast<int64_t>(table_.size()); }

  private:
    std::vector<double> table_;
};

// One-sided Fisher exact test: the chance that a random draw of n1 of N genes, K of which
// hold the module, holds it in a or more. `logs` must reach N.
double fisherUpperTail(int64_t a, int64_t n1, int64_t K, int64_t N, const LogFactorials& logs);
double fisherUpperTail(int64_t a, int64_t n1, int64_t K, int64_t N);

// The stratified test: P(X >= a) for a = 0 .. sum of drawn[s] (and 0 one past it), where X
// is the sum over strata of independent hypergeometric counts, drawn[s] genes of total[s]
// drawn in stratum s, holders[s] of which hold the module. The strata's distributions are
// convolved in scaled doubles (each rescaled to its largest term, the scale kept in logs) and
// the tail summed from its small end. `logs` must reach every total.
std::vector<double> stratifiedTails(const std::vector<int64_t>& drawn,
                                    const std::vector<int64_t>& holders,
                                    const std::vector<int64_t>& total, const LogFactorials& logs);

// Benjamini-Hochberg q-values of the given p-values over `tests` tests in all (at least as
// many as p-values). A p-value that is not a number gets a q that is not a number.
std::vector<double> benjaminiHochberg(const std::vector<double>& p, int64_t tests);

// The module probability.
// Natural logarithm of the binomial coefficient C(n, m); warns when n < m.
double LogCnm(int64_t n, int64_t m);

double geneChance(const std::vector<double>& rates, int32_t windowSize, int32_t avgSeqLength);

// P(X >= n) for X ~ Binomial(geneCount, P).
double upperTail(double P, int64_t geneCount, int64_t n);
