// The probabilities: Fisher's upper tail summed in logs from tabulated log factorials, the
// Benjamini-Hochberg step-up from the largest p down, and the module probability (window
// chance, gene chance, binomial upper tail summed in logs from binomial coefficients).
#include "modules/Probability.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>

#include "common/Log.hpp"

LogFactorials::LogFactorials(int64_t n) : table_(static_cast<size_t>(std::max<int64_t>(n, 0)) + 1) {
    // lgamma is exact to the last bits of each entry; a running sum of logarithms would
    // gather rounding over large n.
    for (size_t k = 0; k < table_.size(); ++k) table_[k] = std::lgamma(static_cast<double>(k) + 1);
}

namespace {

double logChoose(int64_t n, int64_t k, const LogFactorials& logs) {
    return logs(n) - logs(k) - logs(n - k);
}

}  // namespace

double fisherUpperTail(int64_t a, int64_t n1, int64_t K, int64_t N, const LogFactorials& logs) {
    // Support of X: max(0, n1 + K - N) .. min(n1, K).
    const int64_t low = std::max<int64_t>(0, n1 + K - N), high = std::min(n1, K);
    if (a <= low) return 1;
    if (a > high) return 0;
    const double logTotal = logChoose(N, n1, logs);
    auto logTerm = [&](int64_t x) {
        return logChoose(K, x, logs) + logChoose(N - K, n1 - x, logs) - logTotal;
    };
    double largest = -std::numeric_limits<double>::infinity();
    for (int64_t x = a; x <= high; ++x) largest = std::max(largest, logTerm(x));
    double sum = 0;
    for (int64_t x = a; x <= high; ++x) sum += std::exp(logTerm(x) - largest);
    return std::min(1.0, std::exp(largest + std::log(sum)));
}

std::vector<double> stratifiedTails(const std::vector<int64_t>& drawn,
                                    const std::vector<int64_t>& holders,
                                    const std::vector<int64_t>& total, const LogFactorials& logs) {
    // The distribution of the sum so far: pmf[x - low] times e^scale, its largest entry 1.
    std::vector<double> pmf{1.0}, next, stratum;
    int64_t low = 0, size = 0;
    double scale = 0;
    for (size_t s = 0; s < drawn.size(); ++s) {
        const int64_t n1 = drawn[s], K = holders[s], N = total[s];
        size += n1;
        const int64_t from = std::max<int64_t>(0, n1 + K - N), to = std::min(n1, K);
        const double logTotal = logChoose(N, n1, logs);
        double largest = -std::numeric_limits<double>::infinity();
        stratum.clear();
        for (int64_t x = from; x <= to; ++x) {
            stratum.push_back(logChoose(K, x, logs) + logChoose(N - K, n1 - x, logs) - logTotal);
            largest = std::max(largest, stratum.back());
        }
        for (double& term : stratum) term = std::exp(term - largest);
        next.assign(pmf.size() + stratum.size() - 1, 0.0);
        for (size_t i = 0; i < pmf.size(); ++i)
            for (size_t j = 0; j < stratum.size(); ++j) next[i + j] += pmf[i] * stratum[j];
        const double top = *std::max_element(next.begin(), next.end());
        for (double& term : next) term /= top;
        pmf.swap(next);
        low += from;
        scale += largest + std::log(top);
    }
    // Summed from the top, the small side first; capped at 1 against rounding.
    std::vector<double> tails(static_cast<size_t>(size) + 2, 0.0);
    double sum = 0;
    for (int64_t x = size; x >= 0; --x) {
        const int64_t at = x - low;
        if (at >= 0 && at < static_cast<int64_t>(pmf.size())) sum += pmf[static_cast<size_t>(at)];
        tails[static_cast<size_t>(x)] = x <= low ? 1.0 : std::min(1.0, std::exp(scale) * sum);
    }
    return tails;
}

double fisherUpperTail(int64_t a, int64_t n1, int64_t K, int64_t N) {
    return fisherUpperTail(a, n1, K, N, LogFactorials(N));
}

std::vector<double> benjaminiHochberg(const std::vector<double>& p, int64_t tests) {
    std::vector<size_t> order(p.size());
    std::iota(order.begin(), order.end(), 0);
    // Ascending p; a p that is not a number last.
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        return p[x] < p[y] || (!std::isnan(p[x]) && std::isnan(p[y]));
    });
    std::vector<double> q(p.size());
    double running = 1;
    for (size_t r = order.size(); r-- > 0;) {
        const double value = p[order[r]];
        if (std::isnan(value)) {
            q[order[r]] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        running =
            std::min(running, value * static_cast<double>(tests) / static_cast<double>(r + 1));
        q[order[r]] = running;
    }
    return q;
}

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
