// Module grammar: the features against a recount by hand, the null's draws, and the test's
// power and level on planted and on unarranged instances.
#include "modules/Grammar.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>

#include "common/Random.hpp"

namespace {

const std::vector<std::string> kNames{"A", "B", "C", "D"};

MHit hit(int32_t motif, int32_t start, int32_t width, char strand) {
    return {motif, start, start + width - 1, strand, 5};
}

// A module of motifs 0, 1, 2 in `genes` genes; in the first `planted` the motifs lie at
// 100, 112 and 143 on strands + - +, in the others at random places and strands of a
// 200-letter window.
ModuleRecord arranged(int genes, int planted, std::mt19937& random) {
    ModuleRecord module;
    module.motifs = {0, 1, 2};
    for (int g = 0; g < genes; ++g) {
        InstanceRecord instance;
        instance.gene = g;
        if (g < planted) {
            instance.hits = {hit(0, 100, 8, '+'), hit(1, 112, 10, '-'), hit(2, 143, 6, '+')};
        } else {
            for (int32_t m = 0; m < 3; ++m)
                instance.hits.push_back(hit(m, static_cast<int32_t>(uniformBelow(random, 190)), 8,
                                            uniformBelow(random, 2) ? '+' : '-'));
        }
        module.found.push_back(instance);
    }
    module.instances = module.genes = genes;
    return module;
}

const GrammarRow* rowOf(const std::vector<GrammarRow>& rows, GrammarFeature feature, int a = -1,
                        int b = -1) {
    for (const GrammarRow& row : rows)
        if (row.feature == feature && row.a == a && row.b == b) return &row;
    return nullptr;
}

}  // namespace

// Order, strands and spacing counted again by brute force from the instances: one instance
// per gene (the first), the first hit of each motif, ties in order by motif, spacing and
// phase only of sites that do not overlap.
TEST(Grammar, CountsAgreeWithARecountByHand) {
    std::mt19937 random(7);
    ModuleRecord module;
    module.motifs = {0, 1, 3};
    for (int g = 0; g < 30; ++g) {
        InstanceRecord instance;
        instance.gene = g / 2 * 2;      // every gene twice: only its first instance counts
        for (int32_t m : {0, 1, 3, 1})  // a second, later hit of motif 1
            instance.hits.push_back(hit(m, static_cast<int32_t>(uniformBelow(random, 6)) * 3, 4,
                                        uniformBelow(random, 2) ? '+' : '-'));
        if (instance.hits[3].start < instance.hits[1].start) instance.hits[3].start += 20;
        module.found.push_back(instance);
    }
    const std::vector<GrammarInstance> instances = grammarInstances(module);
    ASSERT_EQ(instances.size(), 15u);
    const GrammarObserved observed = observeGrammar(0, module.motifs, instances, kNames, 3);
    std::map<std::string, int> orders, strands;
    std::map<int, int> spacing01;
    int inPhase01 = 0;
    std::set<int32_t> seen;
    for (const InstanceRecord& instance : module.found) {
        if (!seen.insert(instance.gene).second) continue;
        std::vector<std::pair<int32_t, std::string>> placed;
        for (size_t h = 0; h < 3; ++h)
            placed.emplace_back(instance.hits[h].start,
                                kNames[static_cast<size_t>(instance.hits[h].motif)]);
        std::stable_sort(placed.begin(), placed.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        orders[placed[0].second + "," + placed[1].second + "," + placed[2].second] += 1;
        std::string pattern = "+";
        for (size_t h = 1; h < 3; ++h)
            pattern += instance.hits[h].strand == instance.hits[0].strand ? '+' : '-';
        strands[pattern] += 1;
        const int d = instance.hits[1].start - instance.hits[0].start;
        if (std::abs(d) < 4) continue;  // sites of width 4 that share letters have no spacing
        spacing01[(d >= 0 ? d / 3 : -((-d + 2) / 3)) * 3] += 1;
        bool near = false;  // within 2 letters of 0, 10.5, 21, ...
        for (int turn = 0; turn <= 10; ++turn)
            near = near || std::abs(std::abs(d) - 10.5 * turn) <= 2;
        inPhase01 += near;
    }
    auto mostOf = [](const auto& counts) {
        auto best = counts.begin();
        for (auto at = counts.begin(); at != counts.end(); ++at)
            if (at->second > best->second) best = at;
        return *best;
    };
    const GrammarRow* order = rowOf(observed.rows, GrammarFeature::Order);
    EXPECT_EQ(order->genes, mostOf(orders).second);
    EXPECT_EQ(order->value, mostOf(orders).first);
    EXPECT_EQ(rowOf(observed.rows, GrammarFeature::Strands)->value, mostOf(strands).first);
    EXPECT_EQ(rowOf(observed.rows, GrammarFeature::Strands)->genes, mostOf(strands).second);
    const GrammarRow* spacing = rowOf(observed.rows, GrammarFeature::Spacing, 0, 1);
    EXPECT_EQ(spacing->value, std::to_string(mostOf(spacing01).first));
    EXPECT_EQ(spacing->genes, mostOf(spacing01).second);
    EXPECT_EQ(spacing->genesTotal, 15);
    EXPECT_EQ(rowOf(observed.rows, GrammarFeature::Phase, 0, 1)->genes, inPhase01);
}

// A null draw keeps the instance's sites, start and width together, and deals them to the
// motifs evenly; each strand flips half the time.
TEST(Grammar, NullDrawsKeepTheSitesAndDealThemEvenly) {
    const GrammarInstance instance{{10, 8, '+'}, {30, 12, '+'}, {55, 6, '-'}};
    std::mt19937 generator = drawGenerator({1, 2});
    std::vector<std::vector<int>> atSite(3, std::vector<int>(3));
    int flipped = 0;
    const int draws = 6000;
    for (int d = 0; d < draws; ++d) {
        const GrammarInstance drawn = nullInstance(instance, generator);
        std::multiset<std::pair<int32_t, int32_t>> sites, original;
        for (size_t k = 0; k < 3; ++k) {
            sites.insert({drawn[k].start, drawn[k].width});
            original.insert({instance[k].start, instance[k].width});
            for (size_t s = 0; s < 3; ++s) atSite[k][s] += drawn[k].start == instance[s].start;
            const auto from =
                std::find_if(instance.begin(), instance.end(),
                             [&](const GrammarSite& x) { return x.start == drawn[k].start; });
            flipped += from->strand != drawn[k].strand;
        }
        ASSERT_EQ(sites, original);
    }
    for (size_t k = 0; k < 3; ++k)
        for (size_t s = 0; s < 3; ++s) EXPECT_NEAR(atSite[k][s], draws / 3, 150) << k << s;
    EXPECT_NEAR(flipped, draws * 3 / 2, 300);
}

// Planted order, strands and spacings (12 and 31 letters) in 60 % of 40 genes: each is the
// top of its feature at fwer <= 0.01 in at least 19 of 20 seeds.
TEST(Grammar, FindsAPlantedArrangement) {
    int found = 0;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        const std::vector<ModuleRecord> modules{arranged(40, 24, random)};
        const std::vector<GrammarRow> rows = moduleGrammar(modules, kNames, {1, 1000, seed});
        const GrammarRow* order = rowOf(rows, GrammarFeature::Order);
        const GrammarRow* strands = rowOf(rows, GrammarFeature::Strands);
        const GrammarRow* first = rowOf(rows, GrammarFeature::Spacing, 0, 1);
        const GrammarRow* second = rowOf(rows, GrammarFeature::Spacing, 1, 2);
        found += order->value == "A,B,C" && strands->value == "+-+" && first->value == "12" &&
                 second->value == "31" && order->fwer <= 0.01 && strands->fwer <= 0.01 &&
                 first->fwer <= 0.01 && second->fwer <= 0.01;
    }
    EXPECT_GE(found, 19);
}

// Without any arrangement (every instance drawn at random), datasets with any row at
// fwer <= 0.05 stay within the binomial bound of 0.05 over 40 datasets (at most 6: P(X >= 7)
// = 0.014).
TEST(Grammar, HoldsItsLevelWithoutArrangement) {
    int passing = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(100 + seed);
        const std::vector<ModuleRecord> modules{arranged(40, 0, random), arranged(25, 0, random)};
        const std::vector<GrammarRow> rows = moduleGrammar(modules, kNames, {1, 200, seed});
        passing += std::any_of(rows.begin(), rows.end(),
                               [](const GrammarRow& row) { return row.fwer <= 0.05; });
    }
    EXPECT_LE(passing, 6);
}

// Many small modules, few instances each, nothing arranged: rows whose null rarely moves
// (two of three instances at one spacing happens once in thousands of draws) must not pass
// for want of draws that show it. Datasets with any row at fwer <= 0.05 stay within the
// binomial bound over 40 datasets.
TEST(Grammar, HoldsItsLevelOverManySmallModules) {
    const std::vector<std::string> names{"A", "B", "C", "D", "E", "F"};
    int passing = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(500 + seed);
        std::vector<ModuleRecord> modules(120);
        for (ModuleRecord& module : modules) {
            module.motifs = {0, 1, 2, 3, 4, 5};
            for (int g = 0; g < 3; ++g) {
                InstanceRecord instance;
                instance.gene = g;
                for (int32_t m = 0; m < 6; ++m)
                    instance.hits.push_back(hit(m, static_cast<int32_t>(uniformBelow(random, 190)),
                                                8, uniformBelow(random, 2) ? '+' : '-'));
                module.found.push_back(instance);
            }
            module.instances = module.genes = 3;
        }
        const std::vector<GrammarRow> rows = moduleGrammar(modules, names, {1, 200, seed});
        passing += std::any_of(rows.begin(), rows.end(),
                               [](const GrammarRow& row) { return row.fwer <= 0.05; });
    }
    EXPECT_LE(passing, 6);
}

// The page's spacing histogram: every instance's distance counted once, the null's mean the
// share of each instance's ordered site pairs spread over the bins, the band about the mean,
// and the planted distance far above its band.
TEST(Grammar, SpacingHistogramAgainstTheNullsBand) {
    std::mt19937 random(3);
    const std::vector<ModuleRecord> modules{arranged(40, 24, random)};
    const std::vector<GrammarInstance> instances = grammarInstances(modules[0]);
    const SpacingHistogram histogram = spacingHistogram(instances, 0, 1, 1, 60);
    int64_t observed = 0;
    double mean = 0;
    for (size_t b = 0; b < histogram.observed.size(); ++b) {
        observed += histogram.observed[b];
        mean += histogram.mean[b];
        EXPECT_LE(histogram.low[b], histogram.mean[b] + 1e-9);
        EXPECT_GE(static_cast<double>(histogram.high[b]), histogram.mean[b] - 1e-9);
    }
    // Sites that share letters have no spacing: recounted here by hand.
    auto apart = [](const GrammarSite& x, const GrammarSite& y) {
        return x.start + x.width <= y.start || y.start + y.width <= x.start;
    };
    int64_t separate01 = 0;
    double share = 0;
    for (const GrammarInstance& sites : instances) {
        separate01 += apart(sites[0], sites[1]);
        for (size_t x = 0; x < 3; ++x)
            for (size_t y = 0; y < 3; ++y)
                share += x != y && apart(sites[x], sites[y]) ? 1.0 / 6 : 0;
    }
    EXPECT_EQ(observed, separate01);
    EXPECT_NEAR(mean, share, 1e-9);
    EXPECT_GT(share, 35);
    const auto planted = static_cast<size_t>((12 - histogram.from) / histogram.bin);
    EXPECT_GE(histogram.observed[planted], 24);
    EXPECT_GT(histogram.observed[planted], 2 * histogram.high[planted]);
}
