#include "modules/Enrichment.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

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
