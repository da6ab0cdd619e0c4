#include "modules/Significance.hpp"

#include <cmath>
#include <iostream>

#include "common/Log.hpp"

double LogCnm(int64_t n, int64_t m) {
    if (n < m) error(std::to_string(n) + " must be no less than " + std::to_string(m));
    if (m <= 0) return 0;
    double s = 0;
    for (int64_t i = 1; i <= m; ++i)
        s += std::log(static_cast<double>(n - i + 1)) - std::log(static_cast<double>(i));
    return s;
}

double geneChance(const std::vector<double>& rates, int32_t windowSize, int32_t avgSeqLength) {
    double p = 0;
    for (size_t i = 0; i < rates.size(); ++i) {
        double c = rates[i];
        for (size_t j = 0; j < rates.size(); ++j)
            if (j != i) c *= -std::expm1(-static_cast<double>(windowSize) * rates[j]);
        p += c;
    }
    if (p >= 1) return 1;
    return -std::expm1(static_cast<double>(avgSeqLength) * std::log1p(-p));
}

namespace {

// exp(logC + j ln P + (N - j) ln(1 - P)), the binomial term of j successes.
double term(double logC, int64_t j, int64_t N, double logP, double logQ) {
    return std::exp(logC + static_cast<double>(j) * logP + static_cast<double>(N - j) * logQ);
}

}  // namespace

double upperTail(double P, int64_t N, int64_t n) {
    if (n <= 0 || P >= 1) return 1;
    if (P <= 0 || n > N) return 0;
    const double logP = std::log(P), logQ = std::log1p(-P);
    if (static_cast<double>(n) > static_cast<double>(N) * P) {
        // Upper tail is the small side: its terms fall from j = n on.
        double sum = 0, logC = LogCnm(N, n);
        for (int64_t j = n; j <= N; ++j) {
            double t = term(logC, j, N, logP, logQ);
            sum += t;
            if (t <= sum * 1e-18) break;
            logC += std::log(static_cast<double>(N - j)) - std::log(static_cast<double>(j + 1));
        }
        return sum;
    }
    double lower = 0, logC = 0;
    for (int64_t j = 0; j < n; ++j) {
        lower += term(logC, j, N, logP, logQ);
        logC += std::log(static_cast<double>(N - j)) - std::log(static_cast<double>(j + 1));
    }
    return 1 - lower;
}
