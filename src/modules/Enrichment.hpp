// Enrichment of a module among foreground genes against a background, and the corrections
// for the number of modules the search tested.
//   Fisher  p = P(X >= a) for X hypergeometric: n1 foreground genes drawn from N genes of
//           which K hold the module; summed term by term in logarithms (log-factorials from
//           lgamma), relative to the largest term, so that p keeps full relative precision
//           down to the smallest doubles and never exceeds 1.
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

// Benjamini-Hochberg q-values of the given p-values over `tests` tests in all (at least as
// many as p-values). A p-value that is not a number gets a q that is not a number.
std::vector<double> benjaminiHochberg(const std::vector<double>& p, int64_t tests);
