// Length and GC of two gene sets: medians, means and the two-sided Mann-Whitney test by the
// normal approximation with the tie correction and a continuity correction of 1/2.
#include "hits/SetComparison.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "common/Text.hpp"

double mannWhitneyP(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.empty() || b.empty()) return 1;
    std::vector<std::pair<double, int>> all;
    for (double x : a) all.push_back({x, 0});
    for (double x : b) all.push_back({x, 1});
    std::sort(all.begin(), all.end());
    const double n1 = static_cast<double>(a.size()), n2 = static_cast<double>(b.size());
    const double n = n1 + n2;
    double rankSumA = 0, ties = 0;
    for (size_t i = 0; i < all.size();) {
        size_t j = i;
        while (j < all.size() && all[j].first == all[i].first) ++j;
        const double rank = (static_cast<double>(i + j) + 1) / 2;  // mean of ranks i+1 .. j
        const double t = static_cast<double>(j - i);
        ties += t * t * t - t;
        for (size_t k = i; k < j; ++k)
            if (all[k].second == 0) rankSumA += rank;
        i = j;
    }
    const double u = rankSumA - n1 * (n1 + 1) / 2;
    const double mean = n1 * n2 / 2;
    const double variance = n1 * n2 / 12 * ((n + 1) - ties / (n * (n - 1)));
    if (variance <= 0) return 1;
    const double z = std::max(0.0, std::fabs(u - mean) - 0.5) / std::sqrt(variance);
    return std::min(1.0, std::erfc(z / std::sqrt(2.0)));
}

namespace {

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

double mean(const std::vector<double>& values) {
    if (values.empty()) return 0;
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

PropertyComparison compare(const std::vector<double>& a, const std::vector<double>& b) {
    return {median(a), median(b), mean(a), mean(b), mannWhitneyP(a, b)};
}

std::string fixed(double value, int digits) {
    return fixedDigits(value, digits);
}

// A p-value to three digits; one that underflows is below the smallest double.
std::string general(double value) {
    if (value == 0) return "< 1e-300";
    return formatted("%.3g", value);
}

std::string letters(double value) {
    return withThousands(std::llround(value));
}

constexpr double kTestLimit = 0.001;
constexpr const char* kRemedy = ": use --stratify length,gc, or --match length,gc";

}  // namespace

SetComparison compareSets(const std::vector<GeneShape>& foreground,
                          const std::vector<GeneShape>& background) {
    auto lengths = [](const std::vector<GeneShape>& genes) {
        std::vector<double> values;
        for (const GeneShape& gene : genes) values.push_back(static_cast<double>(gene.length));
        return values;
    };
    auto gcs = [](const std::vector<GeneShape>& genes) {
        std::vector<double> values;
        for (const GeneShape& gene : genes)
            if (gene.bases > 0) values.push_back(gene.gc());
        return values;
    };
    return {compare(lengths(foreground), lengths(background)),
            compare(gcs(foreground), gcs(background))};
}

std::vector<std::string> confoundWarnings(const SetComparison& comparison) {
    std::vector<std::string> warnings;
    const PropertyComparison& length = comparison.length;
    if (std::fabs(length.medianForeground - length.medianBackground) >
            0.1 * length.medianBackground ||
        length.pValue < kTestLimit) {
        const bool longer = length.medianForeground != length.medianBackground
                                ? length.medianForeground > length.medianBackground
                                : length.meanForeground > length.meanBackground;
        warnings.push_back(
            std::string("Warning: foreground genes are ") + (longer ? "longer" : "shorter") +
            " than the background (median " + letters(length.medianForeground) + " vs " +
            letters(length.medianBackground) + " letters); " + (longer ? "longer" : "shorter") +
            " genes hold " + (longer ? "more" : "fewer") + " modules by chance" + kRemedy);
    }
    const PropertyComparison& gc = comparison.gc;
    if (std::fabs(gc.meanForeground - gc.meanBackground) > 0.02 || gc.pValue < kTestLimit) {
        const bool richer = gc.meanForeground > gc.meanBackground;
        warnings.push_back(std::string("Warning: foreground genes are ") +
                           (richer ? "GC-richer" : "GC-poorer") + " than the background (mean GC " +
                           fixed(gc.meanForeground, 2) + " vs " + fixed(gc.meanBackground, 2) +
                           "); they hold more " + (richer ? "GC-rich" : "AT-rich") +
                           " motifs by chance" + kRemedy);
    }
    return warnings;
}

std::vector<std::string> comparisonNotes(const SetComparison& comparison) {
    auto note = [](const char* what, const PropertyComparison& c, int digits) {
        return std::string("# ") + what + ", foreground vs background: median " +
               fixed(c.medianForeground, digits) + " vs " + fixed(c.medianBackground, digits) +
               ", mean " + fixed(c.meanForeground, digits) + " vs " +
               fixed(c.meanBackground, digits) + ", two-sided Mann-Whitney p " +
               (c.pValue == 0 ? "" : "= ") + general(c.pValue);
    };
    return {note("length", comparison.length, 1), note("GC", comparison.gc, 3)};
}
