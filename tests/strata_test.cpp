// The stratified test against brute force over every assignment of the labels within strata,
// its bound against the p-values it bounds, and the within-stratum draws of the permutations.
#include "modules/Strata.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <set>

namespace {

// A stratum's genes: `holders` of `genes` hold the module, `drawn` are foreground.
struct Cell {
    int64_t genes, drawn, holders;
};

// P(X >= a) for every a, by enumerating every choice of the foreground within each stratum.
std::vector<double> bruteForce(const std::vector<Cell>& cells) {
    std::vector<std::vector<int64_t>> countsOf;  // by stratum: X_s of every choice
    for (const Cell& cell : cells) {
        std::vector<int64_t> counts;
        for (uint32_t mask = 0; mask < (1u << cell.genes); ++mask) {
            if (__builtin_popcount(mask) != cell.drawn) continue;
            // Genes 0 .. holders-1 hold the module.
            counts.push_back(__builtin_popcount(mask & ((1u << cell.holders) - 1)));
        }
        countsOf.push_back(counts);
    }
    const int64_t size = std::accumulate(cells.begin(), cells.end(), int64_t{0},
                                         [](int64_t sum, const Cell& c) { return sum + c.drawn; });
    std::vector<double> atLeast(static_cast<size_t>(size) + 2, 0);
    double ways = 0;
    std::function<void(size_t, int64_t)> walk = [&](size_t s, int64_t sum) {
        if (s == cells.size()) {
            ways += 1;
            for (int64_t a = 0; a <= sum; ++a) atLeast[static_cast<size_t>(a)] += 1;
            return;
        }
        for (int64_t x : countsOf[s]) walk(s + 1, sum + x);
    };
    walk(0, 0);
    for (double& count : atLeast) count /= ways;
    return atLeast;
}

Strata strataOf(const std::vector<Cell>& cells) {
    Strata strata;
    for (const Cell& cell : cells) {
        strata.foreground.push_back(cell.drawn);
        strata.all.push_back(cell.genes);
    }
    return strata;
}

}  // namespace

TEST(Strata, TheStratifiedTestIsTheExactConditionalTail) {
    const std::vector<std::vector<Cell>> cases = {
        {{5, 2, 3}, {4, 1, 2}, {6, 3, 2}},
        {{7, 3, 7}, {3, 1, 0}, {8, 6, 4}},  // a stratum all holders, one none
        {{9, 2, 5}, {9, 7, 5}},
        {{10, 4, 6}},
    };
    for (const std::vector<Cell>& cells : cases) {
        const Strata strata = strataOf(cells);
        const StratifiedTest test(strata);
        std::vector<int64_t> holders;
        for (const Cell& cell : cells) holders.push_back(cell.holders);
        const std::vector<double> expected = bruteForce(cells);
        for (size_t a = 0; a + 1 < expected.size(); ++a)
            EXPECT_NEAR(test.upperTail(holders, static_cast<int64_t>(a)), expected[a],
                        1e-12 * std::max(1.0, expected[a]))
                << cells.size() << " strata, a = " << a;
        // The bound: no module with these holders drawn reaches below it.
        std::vector<int32_t> drawn;
        int64_t a = 0;
        for (const Cell& cell : cells) {
            drawn.push_back(static_cast<int32_t>(std::min(cell.drawn, cell.holders)));
            a += drawn.back();
        }
        EXPECT_LE(std::exp(test.logFloor(drawn.data())), test.upperTail(holders, a) * (1 + 1e-9));
    }
    // One stratum is Fisher's test, bit for bit.
    const Strata one = strataOf({{40, 12, 9}});
    EXPECT_EQ(StratifiedTest(one).upperTail({9}, 6), fisherUpperTail(6, 12, 9, 40));
}

TEST(Strata, PermutationsDrawWithinStrataAndKeepTheLeftOutLabels) {
    Strata strata;
    strata.foreground = {2, 3};
    strata.all = {5, 6};
    // Pooled genes: foreground 0-5 (one left out: 5), background 6-12 (one left out: 12).
    strata.of = {0, 0, 1, 1, 1, -1, 0, 0, 0, 1, 1, 1, -1};
    strata.leftForeground = 1;
    strata.leftBackground = 1;
    std::set<std::vector<uint32_t>> seen;
    for (uint32_t k = 0; k < 50; ++k) {
        const std::vector<uint32_t> drawn = stratifiedForeground(strata, 7, k);
        ASSERT_EQ(drawn.size(), 6u);
        int inFirst = 0, inSecond = 0;
        for (uint32_t g : drawn) {
            inFirst += strata.of[g] == 0;
            inSecond += strata.of[g] == 1;
            EXPECT_NE(g, 12u);  // a left-out background gene never joins
        }
        EXPECT_EQ(inFirst, 2);
        EXPECT_EQ(inSecond, 3);
        EXPECT_TRUE(std::count(drawn.begin(), drawn.end(), 5u));  // keeps its label
        EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end()));
        seen.insert(drawn);
    }
    EXPECT_GT(seen.size(), 20u);  // the draws vary
}
