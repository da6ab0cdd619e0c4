// Statistics of the reported modules: Fisher's exact test, Benjamini-Hochberg, background
// counts, the number of tests, and the permutation (Westfall-Young) family-wise error.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <sstream>

#include "FakeHits.hpp"
#include "modules/Discovery.hpp"
#include "modules/ModuleStats.hpp"
#include "modules/MotifStats.hpp"
#include "modules/Permutations.hpp"
#include "modules/Probability.hpp"

namespace {

std::string numbered(std::string prefix, int n) {
    return prefix.append(std::to_string(n));
}

const std::vector<std::string> kMotifNames{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"};

// Genes of random hits (width 10) of the first `motifs` motifs, `perGene` hits each; with
// `planted`, the first `planted` genes also hold A, B and C within 90 letters.
std::vector<SeqHit> randomGenes(std::mt19937& random, const std::string& prefix, int count,
                                int perGene, int planted = 0, int motifs = 6) {
    std::vector<SeqHit> genes;
    for (int g = 0; g < count; ++g) {
        SeqHit gene{numbered(prefix, g), 2000, {}};
        for (int h = 0; h < perGene; ++h) {
            const auto start = static_cast<int32_t>(random() % 1990);
            gene.hits.push_back(hit(static_cast<int32_t>(random() % static_cast<uint32_t>(motifs)),
                                    start, start + 9));
        }
        if (g < planted)
            for (int32_t m = 0; m < 3; ++m)
                gene.hits.push_back(hit(m, 1000 + 40 * m, 1009 + 40 * m));
        std::sort(gene.hits.begin(), gene.hits.end(), CompHitPos);
        genes.push_back(std::move(gene));
    }
    return genes;
}

// Whether a hit list holds the module within one window, read literally: from each hit of a
// module motif, the later module hits up to the first that ends beyond the window.
bool holdsModule(const std::vector<MHit>& hits, const std::vector<int32_t>& module,
                 int32_t window) {
    std::vector<MHit> f;
    for (const MHit& h : hits)
        if (std::find(module.begin(), module.end(), h.motif) != module.end()) f.push_back(h);
    for (size_t i = 0; i < f.size(); ++i) {
        std::set<int32_t> seen{f[i].motif};
        for (size_t k = i + 1; k < f.size() && f[k].end - f[i].start <= window; ++k)
            seen.insert(f[k].motif);
        if (seen.size() == module.size()) return true;
    }
    return false;
}

}  // namespace

TEST(Fisher, MatchesExactTails) {
    // Computed with exact rational arithmetic.
    struct Case {
        int64_t a, n1, K, N;
        double p;
    } cases[] = {{0, 5, 3, 10, 1},
                 {5, 5, 5, 10, 0.003968253968253968},
                 {3, 10, 8, 50, 0.18777290734135171},
                 {2, 20, 3, 2000, 0.00028343000328993326},
                 {7, 20, 40, 2020, 4.4438516107860365e-08},
                 {20, 20, 2020, 2020, 1},
                 {10, 30, 10, 1030, 8.4760955910479526e-17},
                 {1, 1, 1, 2, 0.5},
                 {4, 6, 9, 12, 0.90909090909090906},
                 {200, 200, 200, 2000, 1.45688792577459949e-281},
                 {150, 200, 180, 5000, 3.44098877640094769e-210}};
    for (const Case& c : cases) {
        const double p = fisherUpperTail(c.a, c.n1, c.K, c.N);
        EXPECT_NEAR(p / c.p, 1, 1e-10) << c.a << " " << c.n1 << " " << c.K << " " << c.N;
        EXPECT_LE(p, 1);
    }
    EXPECT_EQ(fisherUpperTail(3, 5, 2, 10), 0);  // more than K cannot be drawn
}

TEST(BenjaminiHochberg, StepUpIsMonotoneAndCapped) {
    // Over T = 10 tests: raw p*T/rank 0.1, 0.15, 0.133, 1.25; the second takes the third's.
    const std::vector<double> q = benjaminiHochberg({0.01, 0.04, 0.03, 0.5}, 10);
    EXPECT_NEAR(q[0], 0.1, 1e-15);
    EXPECT_NEAR(q[1], 0.4 / 3, 1e-15);
    EXPECT_NEAR(q[2], 0.4 / 3, 1e-15);
    EXPECT_EQ(q[3], 1);
}

TEST(ModuleStatistics, BackgroundCountsAndPValuesMatchABruteForceCount) {
    std::mt19937 random(7);
    FakeHits foreground(randomGenes(random, "f", 20, 30, 12), kMotifNames);
    FakeHits background(randomGenes(random, "b", 200, 30), kMotifNames);
    Args args = searchSettings(100, 8, 3, 2);
    std::ostringstream report;
    Discovery discovery(args, foreground, report, Progress::silent(),
                        ModuleOutput::ReportAndRecords);
    ASSERT_GE(discovery.records.size(), 3u);
    const ModuleStatistics stats(args, discovery, foreground, &background, std::nullopt);
    for (size_t k = 0; k < discovery.records.size(); ++k) {
        const ModuleRecord& record = discovery.records[k];
        int64_t inForeground = 0, inBackground = 0;
        for (const SeqHit& gene : foreground.seqHits)
            inForeground += holdsModule(gene.hits, record.motifs, 100);
        for (const SeqHit& gene : background.seqHits)
            inBackground += holdsModule(gene.hits, record.motifs, 100);
        EXPECT_EQ(record.genes, inForeground);
        EXPECT_EQ(*stats.rows[k].backgroundGenes, inBackground);
        const double p = fisherUpperTail(inForeground, 20, inForeground + inBackground, 220);
        EXPECT_DOUBLE_EQ(stats.rows[k].pValue, p);
        EXPECT_DOUBLE_EQ(stats.rows[k].eValue, p * static_cast<double>(stats.tests));
        if (inBackground > 0) {
            EXPECT_DOUBLE_EQ(stats.rows[k].foldEnrichment,
                             (inForeground / 20.0) / (static_cast<double>(inBackground) / 200));
        }
        // p_vs_parts: the module among the holders of each part of one motif fewer.
        double largest = 0;
        for (size_t left = 0; left < record.motifs.size(); ++left) {
            std::vector<int32_t> part = record.motifs;
            part.erase(part.begin() + static_cast<std::ptrdiff_t>(left));
            int64_t partForeground = 0, partBackground = 0;
            for (const SeqHit& gene : foreground.seqHits)
                partForeground += holdsModule(gene.hits, part, 100);
            for (const SeqHit& gene : background.seqHits)
                partBackground += holdsModule(gene.hits, part, 100);
            largest = std::max(
                largest, fisherUpperTail(inForeground, partForeground, inForeground + inBackground,
                                         partForeground + partBackground));
        }
        EXPECT_DOUBLE_EQ(*stats.rows[k].pVsParts, largest);
    }
}

// One window rule for the search and the background counts: genes whose instances span
// exactly -w letters, one letter more, or are cut off by a wide hit of another motif (which
// stops the pair scan) are counted in the background exactly where the search reports them
// in the foreground, at every window around those spans.
TEST(ModuleStatistics, BackgroundGenesAreCountedByTheSearchsOwnWindowRule) {
    std::vector<SeqHit> genes;
    for (int copy = 0; copy < 3; ++copy) {
        const std::string n = std::to_string(copy);
        genes.push_back({"exact" + n, 1000, {hit(0, 0, 9), hit(1, 100, 109), hit(2, 190, 199)}});
        genes.push_back({"over" + n, 1000, {hit(0, 0, 9), hit(1, 100, 109), hit(2, 191, 200)}});
        genes.push_back(
            {"cut" + n, 1000, {hit(0, 0, 9), hit(3, 50, 201), hit(1, 100, 109), hit(2, 190, 199)}});
        genes.push_back({"wide" + n,
                         1000,
                         {hit(0, 0, 9), hit(3, 50, 200), hit(1, 100, 109), hit(2, 190, 199)}});
    }
    for (const int32_t window : {198, 199, 200, 201}) {
        FakeHits foreground(genes, kMotifNames);
        std::vector<SeqHit> copies = genes;
        for (SeqHit& gene : copies) gene.name = "bg_" + gene.name;
        FakeHits background(copies, kMotifNames);
        const Args args = searchSettings(window, 3, 3);
        std::ostringstream report;
        Discovery discovery(args, foreground, report, Progress::silent(),
                            ModuleOutput::ReportAndRecords);
        const ModuleStatistics stats(args, discovery, foreground, &background, std::nullopt);
        EXPECT_EQ(discovery.records.empty(), window < 200) << window;
        for (size_t k = 0; k < discovery.records.size(); ++k)
            EXPECT_EQ(*stats.rows[k].backgroundGenes, discovery.records[k].genes) << window;
    }
}

// E is p times T, the candidates the search tested, not the modules it reported (at -g 0 a
// candidate may have no gene left, and is tested without an instance); a module that no
// background gene holds is infinitely enriched.
TEST(ModuleStatistics, EValuesCountEveryTestAndAbsentModulesAreInfinitelyEnriched) {
    std::mt19937 random(8);
    FakeHits foreground(randomGenes(random, "f", 20, 30, 12), kMotifNames);
    FakeHits background(randomGenes(random, "b", 40, 30, 0, 2), kMotifNames);  // A and B only
    Args args = searchSettings(100, 0, 3, 2);
    std::ostringstream report;
    Discovery discovery(args, foreground, report, Progress::silent(),
                        ModuleOutput::ReportAndRecords);
    const ModuleStatistics stats(args, discovery, foreground, &background, std::nullopt);
    ASSERT_GT(stats.tests, static_cast<int64_t>(discovery.records.size()));
    size_t absent = 0;
    for (size_t k = 0; k < discovery.records.size(); ++k) {
        EXPECT_DOUBLE_EQ(stats.rows[k].eValue,
                         stats.rows[k].pValue * static_cast<double>(stats.tests));
        if (*stats.rows[k].backgroundGenes != 0) continue;
        ++absent;
        EXPECT_TRUE(std::isinf(stats.rows[k].foldEnrichment));
    }
    EXPECT_GT(absent, 0u);
    std::ostringstream table;
    stats.write(table, discovery.records, foreground.motifNames, StatsNotes{});
    EXPECT_NE(table.str().find("\tinf\t"), std::string::npos);
}

TEST(ModuleStatistics, AModuleBeatsItsPartsWhereItsSupersetsDoNot) {
    // A, B and C together in 25 of 30 foreground genes; each pair of them, without the third,
    // in half of the background genes. The module beats each of its pairs; a module that adds
    // a random motif to it does not beat the module.
    std::mt19937 random(11);
    FakeHits foreground(randomGenes(random, "f", 30, 16, 25), kMotifNames);
    std::vector<SeqHit> genes = randomGenes(random, "b", 400, 16);
    for (size_t g = 0; g < genes.size(); g += 2) {
        const auto first = static_cast<int32_t>(g / 2 % 3), second = (first + 1) % 3;
        genes[g].hits.push_back(hit(first, 1000, 1009));
        genes[g].hits.push_back(hit(second, 1040, 1049));
        std::sort(genes[g].hits.begin(), genes[g].hits.end(), CompHitPos);
    }
    FakeHits background(std::move(genes), kMotifNames);
    Args args = searchSettings(150, 5, 3, 2);
    std::ostringstream report;
    Discovery discovery(args, foreground, report, Progress::silent(),
                        ModuleOutput::ReportAndRecords);
    const ModuleStatistics stats(args, discovery, foreground, &background, std::nullopt);
    int supersets = 0, beaten = 0;
    for (size_t k = 0; k < discovery.records.size(); ++k) {
        const std::vector<int32_t>& motifs = discovery.records[k].motifs;
        const bool holdsABC =
            std::count_if(motifs.begin(), motifs.end(), [](int32_t m) { return m < 3; }) == 3;
        if (!holdsABC) continue;
        if (motifs.size() == 3) {
            EXPECT_LT(*stats.rows[k].pVsParts, 1e-4);
            continue;
        }
        ++supersets;
        beaten += *stats.rows[k].pVsParts < 0.01;
    }
    EXPECT_GE(supersets, 2);
    EXPECT_EQ(beaten, 0);
}

TEST(ModuleStatistics, CountsEveryCandidateTheSearchTests) {
    // Four motifs that all pair, -k 3: the search tests ADCB, ADC, ADB, ACB from A and BDC
    // from B, five tests; only the four-motif module lies within the window in the genes.
    std::vector<SeqHit> genes;
    for (int g = 0; g < 3; ++g)
        genes.push_back({numbered("g", g),
                         1000,
                         {hit(0, 0, 9), hit(1, 30, 39), hit(2, 60, 69), hit(3, 90, 99),
                          hit(0, 500, 509), hit(3, 590, 599)}});
    FakeHits hits(genes);
    std::ostringstream report;
    Discovery discovery(searchSettings(100, 2, 3), hits, report, Progress::silent(),
                        ModuleOutput::ReportAndRecords);
    EXPECT_EQ(discovery.moduleTests(), 5);
    const ModuleStatistics stats(searchSettings(100, 2, 3), discovery, hits, nullptr, std::nullopt);
    ASSERT_EQ(stats.rows.size(), discovery.records.size());
    EXPECT_EQ(stats.rows[0].pValue, discovery.records[0].probability);
    EXPECT_DOUBLE_EQ(stats.rows[0].eValue, 5 * discovery.records[0].probability);
}

TEST(WestfallYoung, SameSeedSameMinimaOnAnyNumberOfThreads) {
    std::mt19937 random(3);
    FakeHits foreground(randomGenes(random, "f", 12, 20, 6), kMotifNames);
    FakeHits background(randomGenes(random, "b", 40, 20), kMotifNames);
    const auto one =
        permutationMinima(searchSettings(100, 3, 2, 1), foreground, background, 40, 11);
    const auto two =
        permutationMinima(searchSettings(100, 3, 2, 2), foreground, background, 40, 11);
    const auto other =
        permutationMinima(searchSettings(100, 3, 2, 2), foreground, background, 40, 12);
    EXPECT_EQ(one, two);
    EXPECT_NE(one, other);
}

TEST(WestfallYoung, PlantedModuleComesFirstWithTheSmallestFwer) {
    std::mt19937 random(5);
    FakeHits foreground(randomGenes(random, "f", 30, 24, 25), kMotifNames);
    FakeHits background(randomGenes(random, "b", 1000, 24), kMotifNames);
    Args args = searchSettings(100, 10, 3, 2);
    args.permutations = 99;
    std::ostringstream report;
    Discovery discovery(args, foreground, report, Progress::silent(),
                        ModuleOutput::ReportAndRecords);
    const ModuleStatistics stats(args, discovery, foreground, &background, 1);
    size_t best = 0;
    for (size_t k = 1; k < stats.rows.size(); ++k)
        if (stats.rows[k].pValue < stats.rows[best].pValue) best = k;
    ASSERT_FALSE(stats.rows.empty());
    EXPECT_EQ(discovery.records[best].motifs, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_LE(*stats.rows[best].fwer, 1.0 / 100);
    EXPECT_LT(stats.rows[best].qValue, 1e-6);
}

TEST(WestfallYoung, NullDataRejectAtTheNominalRate) {
    // Foreground and background from the same random genes: a dataset with any module at
    // fwer <= 0.05 is a false positive, which a sound procedure makes in about 5 % of the
    // datasets (39 permutations: fwer <= 0.05 when at most one permutation does as well).
    // Without the repeated search, the smallest p of the observed modules alone would be
    // compared, and far more datasets would reject.
    std::mt19937 random(2024);
    int rejected = 0, discovered = 0, datasets = 300;
    for (int d = 0; d < datasets; ++d) {
        FakeHits foreground(randomGenes(random, "f", 12, 40, 0, 10), kMotifNames);
        FakeHits background(randomGenes(random, "b", 36, 40, 0, 10), kMotifNames);
        Args args = searchSettings(100, 6, 2, 2);
        args.permutations = 39;
        std::ostringstream report;
        Discovery discovery(args, foreground, report, Progress::silent(),
                            ModuleOutput::ReportAndRecords);
        const ModuleStatistics stats(args, discovery, foreground, &background,
                                     static_cast<uint32_t>(d));
        auto any = [&](auto passes) {
            return std::any_of(stats.rows.begin(), stats.rows.end(), passes);
        };
        rejected += any([](const ModuleStatsRow& row) { return *row.fwer <= 0.05; });
        discovered += any([](const ModuleStatsRow& row) { return *row.fdr <= 0.05; });
    }
    // Binomial(300, 0.05): 15 expected; 5 to 27 holds with probability above 0.995.
    EXPECT_GE(rejected, 5);
    EXPECT_LE(rejected, 27);
    // With every null true, a false discovery rate at 0.05 allows a discovery in about 5 %
    // of the datasets too.
    EXPECT_LE(discovered, 27);
}

TEST(WestfallYoung, PseudoForegroundsAreUniformDraws) {
    // Every gene is drawn with chance 3/10: 6,000 times in 20,000 draws, sd 65.
    std::vector<int> drawn(10, 0);
    std::set<std::vector<uint32_t>> distinct;
    for (uint32_t k = 0; k < 20000; ++k) {
        const std::vector<uint32_t> sample = permutedForeground(4, k, 3, 10);
        ASSERT_TRUE(std::is_sorted(sample.begin(), sample.end()));
        ASSERT_EQ(std::set<uint32_t>(sample.begin(), sample.end()).size(), 3u);
        distinct.insert(sample);
        for (uint32_t g : sample) ++drawn[g];
    }
    for (int count : drawn) EXPECT_NEAR(count, 6000, 300);
    EXPECT_EQ(distinct.size(), 120u);  // every 3 of 10 occurs
    EXPECT_EQ(permutedForeground(4, 7, 3, 10), permutedForeground(4, 7, 3, 10));
}

TEST(WestfallYoung, FwerCountsEveryPermutationAtLeastAsGoodTiesIncluded) {
    // The observed p, and the same value reached by another order of the same sum.
    const double p = 91.0 / 32509.0, tie = p * (1 + 4e-11);
    const std::vector<double> minima{p / 3, tie, p * 1.01, 0.5};
    EXPECT_DOUBLE_EQ(familyWiseError(minima, p), 3.0 / 5);
    EXPECT_DOUBLE_EQ(familyWiseError(minima, p / 4), 1.0 / 5);
    EXPECT_DOUBLE_EQ(familyWiseError(minima, 1), 5.0 / 5);
    EXPECT_DOUBLE_EQ(familyWiseError({}, 0.01), 1.0);
    // A minimum at the very edge of the tie window still counts: "at most", not "below".
    EXPECT_DOUBLE_EQ(familyWiseError({p * (1 + kPValueTolerance)}, p), 2.0 / 2);
}

TEST(PermutationFdr, StepUpOverObservedAndPermutedPValuesTiesIncluded) {
    // Two permutations; the observed 0.002 twice, once by another order of the same sum.
    PermutationPValues permuted;
    permuted.add({0.0015, 0.5});
    permuted.add({0.002 * (1 + 5e-8), 0.6});  // a tie of the observed 0.002
    const double tie = 0.002 * (1 + 1e-9);
    const std::vector<double> observed{0.2, 0.002, 0.001, tie};
    // E / R at 0.001: 0 / 1; at 0.002: (2 / 2) / 3; at 0.2: (2 / 2) / 4. From the largest p
    // down, the running minimum.
    const std::vector<double> fdr = permutationFdr(observed, permuted, 2);
    EXPECT_DOUBLE_EQ(fdr[0], 0.25);
    EXPECT_DOUBLE_EQ(fdr[1], 0.25);
    EXPECT_DOUBLE_EQ(fdr[3], 0.25);
    EXPECT_DOUBLE_EQ(fdr[2], 0.0);
    // Without a step down to 0.2 the tie would keep 1/3; capped at 1 where E exceeds R.
    PermutationPValues many;
    many.add({0.1, 0.1, 0.1, 0.1});
    EXPECT_DOUBLE_EQ(permutationFdr({0.15}, many, 1)[0], 1.0);
    // Counted on the grid, the counts are upper bounds within one bin of 0.001 decades.
    PermutationPValues exact, grid(2);
    for (const std::vector<double>& values :
         {std::vector<double>{1e-20, 3e-5, 0.04}, {0.0401, 0.5, 0.0}}) {
        exact.add(values);
        grid.add(values);
    }
    EXPECT_TRUE(grid.summarised());
    for (double p : {0.0, 1e-20, 2e-5, 0.04, 0.04005, 1.0}) {
        EXPECT_GE(grid.countAtMost(p), exact.countAtMost(p)) << p;
        EXPECT_LE(grid.countAtMost(p), exact.countAtMost(p * 1.0024)) << p;
    }
}

TEST(MotifStatistics, RowsMatchABruteForceCountAndTheSameLabelDraws) {
    std::mt19937 random(13);
    // A, B and C in 13 of 15 foreground genes; D, more weakly, in 3 more than by chance.
    std::vector<SeqHit> genes = randomGenes(random, "f", 15, 2, 13);
    for (size_t g = 0; g < 3; ++g) genes[g].hits.push_back(hit(3, 1500, 1509));
    FakeHits foreground(std::move(genes), kMotifNames);
    FakeHits background(randomGenes(random, "b", 60, 2), kMotifNames);
    const MotifStatistics stats(foreground, background, 30, 4);
    ASSERT_EQ(stats.rows.size(), kMotifNames.size());
    auto holds = [](const SeqHit& gene, size_t m) {
        return std::any_of(gene.hits.begin(), gene.hits.end(),
                           [&](const MHit& h) { return h.motif == static_cast<int32_t>(m); });
    };
    std::vector<double> minima(30, 1.0);
    for (uint32_t k = 0; k < 30; ++k) {
        const std::vector<uint32_t> drawn = permutedForeground(4, k, 15, 75);
        for (size_t m = 0; m < kMotifNames.size(); ++m) {
            int64_t inDrawn = 0, all = 0;
            for (uint32_t g = 0; g < 75; ++g) {
                const SeqHit& gene = g < 15 ? foreground.seqHits[g] : background.seqHits[g - 15];
                all += holds(gene, m);
                inDrawn += holds(gene, m) && std::binary_search(drawn.begin(), drawn.end(), g);
            }
            if (inDrawn > 0) minima[k] = std::min(minima[k], fisherUpperTail(inDrawn, 15, all, 75));
        }
    }
    std::sort(minima.begin(), minima.end());
    std::vector<std::pair<double, double>> pq;
    for (size_t m = 0; m < kMotifNames.size(); ++m) {
        int64_t a = 0, b = 0;
        for (const SeqHit& gene : foreground.seqHits) a += holds(gene, m);
        for (const SeqHit& gene : background.seqHits) b += holds(gene, m);
        const MotifStatsRow& row = stats.rows[m];
        EXPECT_EQ(row.genes, a);
        EXPECT_EQ(row.backgroundGenes, b);
        EXPECT_DOUBLE_EQ(row.pValue, fisherUpperTail(a, 15, a + b, 75));
        EXPECT_DOUBLE_EQ(*row.fwer, familyWiseError(minima, row.pValue));
        pq.emplace_back(row.pValue, row.qValue);
    }
    // The planted motifs A, B and C lead; q is monotone in p and never below it.
    std::sort(pq.begin(), pq.end());
    for (size_t i = 0; i < pq.size(); ++i) {
        EXPECT_GE(pq[i].second, pq[i].first);
        if (i > 0) {
            EXPECT_GE(pq[i].second, pq[i - 1].second);
        }
    }
    EXPECT_LT(*stats.rows[0].fwer, 0.1);
    EXPECT_GT(*stats.rows[3].fwer, 0.1);
    EXPECT_LT(*stats.rows[3].fwer, 0.9);
}
