// The p-value of a module instance on a target (rekul-scan): on targets whose hits fall at
// random at their own rates, the share holding an instance at p <= a level stays within the
// level's binomial bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "modules/ModuleScan.hpp"

namespace {

// A gene of `length` letters whose hits of each motif start at each position with chance
// rates[m], each 8 letters wide.
SeqHit randomGene(const std::vector<double>& rates, int32_t length, std::mt19937_64& draw) {
    SeqHit gene{"g", length, {}};
    std::uniform_real_distribution<double> unit(0, 1);
    for (int32_t x = 0; x + 8 <= length; ++x)
        for (size_t m = 0; m < rates.size(); ++m)
            if (unit(draw) < rates[m])
                gene.hits.push_back({static_cast<int32_t>(m), x, x + 7, '+', 5.0f});
    return gene;
}

}  // namespace

TEST(ModuleScan, ThePValueHoldsItsLevelOnRandomHits) {
    std::mt19937_64 draw(11);
    const std::vector<double> rates{0.002, 0.004, 0.003, 0.001};
    const std::vector<ScanModule> modules{{"M1", {0, 1, 2}}};
    const int targets = 2000;
    const std::vector<double> levels{0.01, 0.05, 0.2, 0.5};
    std::vector<int> flagged(levels.size(), 0);
    for (int t = 0; t < targets; ++t) {
        // A target of five genes; the rates are measured on it, as rekul-scan measures them.
        std::vector<SeqHit> genes;
        for (int g = 0; g < 5; ++g) genes.push_back(randomGene(rates, 4000, draw));
        double smallest = 1;
        for (const ModuleInstance& i :
             findModuleInstances(modules, genes, targetNull(genes, 4), 60))
            smallest = std::min(smallest, i.pValue);
        for (size_t l = 0; l < levels.size(); ++l) flagged[l] += smallest <= levels[l];
    }
    for (size_t l = 0; l < levels.size(); ++l) {
        // The p-value is valid: no level is exceeded beyond its binomial bound (3.3 standard
        // deviations above n * level). The target's p-values are discrete (a tightness is a
        // whole number of letters), so the smallest levels are reached less often; the wider
        // ones within a quarter of their level.
        const double expected = targets * levels[l];
        const double bound = expected + 3.3 * std::sqrt(expected * (1 - levels[l]));
        EXPECT_LE(flagged[l], bound) << "level " << levels[l];
        if (levels[l] >= 0.2) {
            EXPECT_GE(flagged[l], 0.75 * expected) << "level " << levels[l];
        }
    }
}

TEST(ModuleScan, TheFdrCountsMatchedWindowsScaledToTheTarget) {
    auto at = [](size_t module, double p) {
        ModuleInstance instance;
        instance.module = module;
        instance.pValue = p;
        return instance;
    };
    // Module 0 on a target of 1,000 letters, its matched windows 2,000 letters (scale 1/2):
    // at p* = 0.5, 1 window instance x 0.5 over 3 target instances = 1/6; at 0.02, 0.5 / 2
    // (so 1/6 from above); at 0.01 none. Module 1 is counted apart.
    const std::vector<ModuleInstance> target{at(0, 0.5), at(0, 0.01), at(0, 0.02), at(1, 0.3)};
    const std::vector<ModuleInstance> matched{at(0, 0.015), at(0, 0.6), at(1, 0.1), at(1, 0.2)};
    const std::vector<double> fdr = empiricalFdr(target, matched, 1000, 2000);
    EXPECT_DOUBLE_EQ(fdr[0], 1.0 / 6);
    EXPECT_DOUBLE_EQ(fdr[1], 0);
    EXPECT_DOUBLE_EQ(fdr[2], 1.0 / 6);
    EXPECT_DOUBLE_EQ(fdr[3], 1);  // 2 x 0.5 / 1, at most 1
}
