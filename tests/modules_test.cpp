// Module discovery: pair table and search order, window scan, shared genes, the search
// order of modules, the probability and the report format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "FakeHits.hpp"
#include "TestUtil.hpp"
#include "common/Log.hpp"
#include "hits/HitStage.hpp"
#include "modules/Discovery.hpp"
#include "modules/Probability.hpp"

namespace {

constexpr int32_t A = 0, B = 1, C = 2, D = 3;

// Builds the discovery stage and returns its report; `err` receives its progress lines.
std::string discover(const Args& args, const FakeHits& hits, std::string* err = nullptr) {
    std::ostringstream report, progress;
    Discovery discovery(args, hits, report, Progress(&progress));
    if (err) *err = progress.str();
    return report.str();
}

// Instances of module `motifs` as lists of hit starts.
std::vector<std::vector<int32_t>> instances(const std::vector<MHit>& hits,
                                            const std::vector<int32_t>& motifs, int32_t window) {
    ModuleSlots slots(8);
    slots.assign(motifs);
    WindowScan scan;
    scan.run(hits, slots, window, false);
    std::vector<std::vector<int32_t>> out;
    for (auto [first, last] : scan.instances) {
        out.emplace_back();
        for (size_t k = first; k <= last; ++k) out.back().push_back(scan.filtered[k]->start);
    }
    return out;
}

using Instances = std::vector<std::vector<int32_t>>;

std::vector<int32_t> genesOf(const GeneSet* genes) {
    std::vector<int32_t> out;
    genes->appendTo(out);
    return out;
}

}  // namespace

// Both ways of finding a pair's slot (the dense triangle, the hash beyond 2,048 motifs) keep
// every pair apart, in either order of its motifs, and each gene once; a pair's genes read
// and intersect alike as a list (few genes) and as bits (most genes), and across the move.
TEST(MotifPairs, TableKeepsEveryPairApart) {
    std::vector<int32_t> thirds;
    for (int32_t gene = 0; gene < 400; gene += 3) thirds.push_back(gene);
    for (int32_t motifs : {5, 60, 2048, 2049}) {
        PairTable table(motifs, 400);
        std::map<std::pair<int32_t, int32_t>, std::vector<int32_t>> expected;
        std::mt19937 rng(static_cast<uint32_t>(motifs));
        for (int32_t gene = 0; gene < 400; ++gene)
            for (int k = 0; k < 30; ++k) {
                const int32_t a = static_cast<int32_t>(rng() % motifs),
                              b = static_cast<int32_t>(rng() % motifs);
                table.addGene(a, b, gene);
                auto& list = expected[std::minmax(a, b)];
                if (list.empty() || list.back() != gene) list.push_back(gene);
            }
        EXPECT_EQ(table.size(), expected.size()) << motifs;
        for (const auto& [pair, genes] : expected) {
            ASSERT_TRUE(table.contains(pair.second, pair.first)) << motifs;
            EXPECT_EQ(genesOf(table.genes(pair.second, pair.first)), genes) << motifs;
            std::vector<int32_t> got, want;
            table.genes(pair.first, pair.second)->intersect(thirds, got);
            std::set_intersection(thirds.begin(), thirds.end(), genes.begin(), genes.end(),
                                  std::back_inserter(want));
            EXPECT_EQ(got, want) << motifs;
        }
    }
}

TEST(MotifPairs, WorkedExampleLeavesOnlyB) {
    FakeHits hits({{"g0", 200, {hit(A, 10, 19), hit(B, 30, 39), hit(C, 100, 109)}},
                   {"g1", 200, {hit(A, 5, 14), hit(B, 20, 29), hit(C, 40, 49)}},
                   {"g2", 100, {hit(B, 0, 9), hit(C, 20, 29)}}},
                  {"A", "B", "C"});
    std::ostringstream err;
    Discovery d(searchSettings(50, 2, 2), hits, std::cout, Progress(&err));
    EXPECT_EQ(genesOf(d.pairGenes.genes(A, B)), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(genesOf(d.pairGenes.genes(C, A)), (std::vector<int32_t>{1}));
    EXPECT_EQ(genesOf(d.pairGenes.genes(B, C)), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(d.motifs, (std::vector<int32_t>{B}));
    EXPECT_EQ(d.avgSeqLength, 166);
    EXPECT_FLOAT_EQ(d.motifRate[B], 3.0f / 500);
    EXPECT_EQ(err.str().rfind("Gene 0:\tg0\nGene 1:\tg1\nGene 2:\tg2\nmotif 0 of 1\n", 0), 0u);
}

TEST(MotifPairs, WindowEdgeAndRepeats) {
    // B ends exactly windowSize after A starts: a pair. C ends one further and stops A's scan.
    FakeHits hits({{"g0", 300, {hit(A, 0, 9), hit(B, 91, 100), hit(C, 92, 101)}},
                   {"g1", 300, {hit(A, 0, 9), hit(A, 5, 14), hit(B, 50, 59), hit(B, 70, 79)}}},
                  {"A", "B", "C"});
    Discovery d(searchSettings(100, 2, 1), hits, std::cout, Progress::silent());
    EXPECT_EQ(genesOf(d.pairGenes.genes(A, B)), (std::vector<int32_t>{0, 1}));  // g1 listed once
    EXPECT_EQ(genesOf(d.pairGenes.genes(B, C)), (std::vector<int32_t>{0}));
    EXPECT_FALSE(d.pairGenes.contains(A, C));
    EXPECT_FALSE(d.pairGenes.contains(A, A));
    // A and B each have one frequent partner (A-B in 2 genes): retained with -k 1, A first.
    EXPECT_EQ(d.motifs, (std::vector<int32_t>{A, B}));
}

TEST(WindowScanTest, WindowLimits) {
    std::vector<MHit> hits{hit(A, 0, 9), hit(B, 20, 29), hit(C, 95, 104)};
    EXPECT_TRUE(instances(hits, {A, B, C}, 100).empty());
    EXPECT_EQ(instances(hits, {A, B, C}, 104), (Instances{{0, 20, 95}}));
    hits.insert(hits.begin() + 2, hit(D, 50, 59));
    EXPECT_EQ(instances(hits, {A, B, C}, 104), (Instances{{0, 20, 95}}));
}

TEST(WindowScanTest, RepeatsSharedHitsAndLongFirstMotif) {
    EXPECT_EQ(
        instances({hit(A, 0, 9), hit(B, 10, 19), hit(A, 30, 39), hit(C, 40, 49)}, {A, B, C}, 100),
        (Instances{{0, 10, 30, 40}}));
    std::vector<MHit> twice{hit(A, 0, 9),     hit(B, 10, 19),   hit(C, 20, 29),
                            hit(A, 200, 209), hit(B, 210, 219), hit(C, 220, 229)};
    EXPECT_EQ(instances(twice, {A, B, C}, 100), (Instances{{0, 10, 20}, {200, 210, 220}}));
    EXPECT_EQ(instances(twice, {A, B, C}, 1000), (Instances{{0, 10, 20, 200, 210, 220}}));
    std::vector<MHit> shared{hit(A, 0, 9), hit(B, 40, 49), hit(C, 90, 99), hit(A, 120, 129),
                             hit(B, 150, 159)};
    EXPECT_EQ(instances(shared, {A, B, C}, 100), (Instances{{0, 40, 90}, {90, 120, 150}}));
    EXPECT_EQ(instances({hit(A, 0, 49), hit(B, 10, 17)}, {A, B}, 30), (Instances{{0, 10}}));
    EXPECT_TRUE(instances({hit(A, 0, 9), hit(B, 10, 500), hit(C, 20, 29)}, {A, B, C}, 100).empty());
}

TEST(WindowScanTest, OneMotifModuleAdvances) {
    EXPECT_EQ(instances({hit(A, 0, 9), hit(A, 500, 509)}, {A}, 100), (Instances{{0}, {500}}));
    // An instance ending on a later hit resumes there, which alone is an instance again.
    EXPECT_EQ(instances({hit(A, 0, 9), hit(A, 50, 59)}, {A}, 100), (Instances{{0, 50}, {50}}));
}

TEST(SharedGenes, SortedByNameAndFittingOneWindow) {
    // Genes in input order zeta, alpha, mid; every gene pairs A-B and A-C and B-C, but in
    // mid the three motifs never share one window: A-B from the first A, B-C, and C with the
    // second A.
    std::vector<MHit> close{hit(A, 0, 9), hit(B, 20, 29), hit(C, 40, 49)};
    FakeHits hits(
        {{"zeta", 500, close},
         {"alpha", 500, close},
         {"mid", 500, {hit(A, 0, 9), hit(B, 50, 59), hit(C, 130, 139), hit(A, 200, 209)}}});
    // A gene threshold that searches nothing.
    Discovery d(searchSettings(100, 100, 3), hits, std::cout, Progress::silent());
    for (auto [x, y] : {std::pair{A, B}, {A, C}, {B, C}})
        EXPECT_EQ(d.pairGenes.genes(x, y)->size(), 3u);
    Node root{{A}, {}, {0, 1, 2}, 1};
    EXPECT_EQ(d.FindGeneShared(B, root, hits), (std::vector<int32_t>{1, 2, 0}));
    Node pair{{A, B}, {}, {0, 1, 2}, 2};
    EXPECT_EQ(d.FindGeneShared(C, pair, hits), (std::vector<int32_t>{1, 0}));
    std::vector<Crm> crms = d.TestCRM({C, A, B}, {2, 0, 1}, hits);
    ASSERT_EQ(crms.size(), 2u);
    EXPECT_EQ(crms[0].gene, 0);
    EXPECT_EQ(crms[1].hits.size(), 3u);
}

TEST(ModuleSearch, DeeperModulesFirstAndEachSetOnce) {
    std::vector<MHit> all{hit(A, 0, 9), hit(B, 10, 19), hit(C, 20, 29), hit(D, 30, 39)};
    FakeHits hits({{"g0", 100, all}, {"g1", 100, all}, {"g2", 100, all}});
    std::string err;
    std::string out = discover(searchSettings(200, 2, 3), hits, &err);
    EXPECT_EQ(headers(out), (std::vector<std::string>{"A\tB\tC\tD\t3", "A\tC\tD\t3", "A\tB\tD\t3",
                                                      "A\tB\tC\t3", "B\tC\tD\t3"}));
    std::string left;
    for (size_t pos = 0; (pos = err.find("left: ", pos)) != std::string::npos; pos += 6)
        left += err[pos + 6];
    EXPECT_EQ(left, "3210210100");
}

TEST(ModuleSearch, GeneThresholdCutsAndSmallModulesNeedLowMinimum) {
    std::vector<MHit> ab{hit(A, 0, 9), hit(B, 10, 19)};
    FakeHits hits({{"g0", 100, ab}, {"g1", 100, ab}, {"g2", 100, {hit(A, 0, 9)}}}, {"A", "B"});
    EXPECT_EQ(headers(discover(searchSettings(200, 2, 3), hits)), std::vector<std::string>{});
    // A motif needs at least -k frequent partners: A and B have one each.
    EXPECT_EQ(headers(discover(searchSettings(200, 2, 2), hits)), std::vector<std::string>{});
    EXPECT_EQ(headers(discover(searchSettings(200, 3, 1), hits)), std::vector<std::string>{});
    // With -k 1 the pair is a module, and each root is tested alone on all genes.
    EXPECT_EQ(headers(discover(searchSettings(200, 2, 1), hits)),
              (std::vector<std::string>{"A\tB\t2", "A\t3", "B\t2"}));
}

TEST(ModuleSearch, MotifWithoutFrequentPartnerNeverEntersTheSearch) {
    // C has hits but no frequent pair, D no hit at all: with -k 0 neither is searched.
    std::vector<MHit> ab{hit(A, 0, 9), hit(B, 10, 19)};
    FakeHits hits({{"g0", 100, ab}, {"g1", 100, ab}, {"g2", 100, {hit(C, 0, 9)}}});
    std::string err;
    std::string out = discover(searchSettings(200, 2, 0), hits, &err);
    EXPECT_EQ(headers(out), (std::vector<std::string>{"A\tB\t2", "A\t2", "B\t2"}));
    EXPECT_NE(err.find("motif 1 of 2\n"), std::string::npos);
    EXPECT_EQ(err.find(" of 4\n"), std::string::npos);
}

TEST(ModuleSearch, EightMotifModulesComeFromSevenMotifNodes) {
    // Nine motifs together in three genes, each with eight frequent partners. With -k 8 only
    // the one-motif extensions of seven-motif nodes are tested: each eight-motif set once.
    std::vector<MHit> all;
    std::vector<std::string> names;
    for (int32_t m = 0; m < 9; ++m) {
        all.push_back(hit(m, 10 * m, 10 * m + 9));
        names.push_back(std::string(1, static_cast<char>('A' + m)));
    }
    FakeHits hits({{"g0", 100, all}, {"g1", 100, all}, {"g2", 100, all}}, names);
    std::vector<std::string> found = headers(discover(searchSettings(200, 3, 8), hits));
    ASSERT_EQ(found.size(), 9u);
    // From A: A I H G F E D is the first seven-motif node; its candidates B, C follow.
    EXPECT_EQ(found[0], "A\tB\tD\tE\tF\tG\tH\tI\t3");
    EXPECT_EQ(found[1], "A\tC\tD\tE\tF\tG\tH\tI\t3");
    EXPECT_EQ(found.back(), "B\tC\tD\tE\tF\tG\tH\tI\t3");
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()).size(), 9u);
    for (const std::string& header : found)
        EXPECT_EQ(std::count(header.begin(), header.end(), '\t'), 8);
    // Nine would need nine frequent partners per motif.
    EXPECT_TRUE(headers(discover(searchSettings(200, 3, 9), hits)).empty());
}

TEST(Significance, BinomialCoefficientLogarithm) {
    EXPECT_NEAR(LogCnm(5, 2), std::log(10.0), 1e-12);
    EXPECT_EQ(LogCnm(7, 0), 0.0);
    std::string said;
    const LogSink before = setLogSink([&](const std::string& line) { said += line + "\n"; });
    EXPECT_EQ(LogCnm(3, 4), -INFINITY);
    setLogSink(before);
    EXPECT_EQ(said, "Error: 3 must be no less than 4\n");
}

TEST(Significance, ModuleProbability) {
    double P = geneChance({0.001, 0.001}, 100, 1000);
    EXPECT_NEAR(P, 0.173325, 1e-6);
    EXPECT_NEAR(upperTail(P, 10, 2), 0.538426, 5e-7);
    EXPECT_EQ(upperTail(P, 10, 0), 1.0);
    EXPECT_NEAR(upperTail(P, 10, 1), 1 - std::pow(1 - P, 10), 1e-15);
    EXPECT_EQ(upperTail(1.0, 10, 4), 1.0);
    EXPECT_EQ(upperTail(0.0, 10, 1), 0.0);
    EXPECT_EQ(geneChance({0.001, 0.001}, 0, 1000), 0.0);
}

TEST(Significance, TinyUpperTailKeepsItsPrecision) {
    // P(X >= 50) for Binomial(100, 0.01), summed independently in long double.
    long double expected = 0;
    for (int j = 50; j <= 100; ++j)
        expected += std::exp(std::lgamma(101.0L) - std::lgamma(j + 1.0L) - std::lgamma(101.0L - j) +
                             j * std::log(0.01L) + (100 - j) * std::log(0.99L));
    double tail = upperTail(0.01, 100, 50);
    EXPECT_GT(tail, 0);
    EXPECT_NEAR(tail / static_cast<double>(expected), 1.0, 1e-10);
}

// The block layout itself is held by the golden reports; here every number of it.
TEST(Report, NumbersAsADefaultFormattedStream) {
    std::vector<std::string> names{"A"}, genes{"g"};
    for (double p : {1.0, 0.538426, 0.000123457, 1e-05, 1.5e-07, -2e-18, 7e-14, 123456789.0, 0.1,
                     1e-300, 0.999999951}) {
        for (float score : {7.43f, -0.01f, 10.0f, 123456.78f, 2.05f, -1.83f}) {
            std::vector<Crm> crms{{0, {MHit{0, -1, 2147483647, '-', score}}}};
            std::ostringstream expected;
            expected << ">A\t1," << p << "\ng\n\tA\t-1\t2147483647\t-\t" << score << "\n";
            EXPECT_EQ(formatModule({0}, crms, p, names, genes), expected.str());
        }
    }
}

TEST(NoModule, TheLineNamesTheFirstThresholdThatStoppedTheRun) {
    std::vector<MHit> ab{hit(A, 0, 9), hit(B, 10, 19)};
    std::vector<MHit> abc{hit(A, 0, 9), hit(B, 10, 19), hit(C, 20, 29)};
    auto lastLine = [](const Args& args, const FakeHits& hits) {
        std::string err;
        EXPECT_EQ(discover(args, hits, &err), "");
        err.pop_back();
        return err.substr(err.rfind('\n') + 1);
    };
    FakeHits none({{"g0", 100, {}}, {"g1", 100, {}}});
    EXPECT_EQ(lastLine(searchSettings(200, 2, 3), none),
              "No module: no motif hit scores above its cutoff (-m 5)");
    FakeHits pairs({{"g0", 100, ab}, {"g1", 100, ab}});
    EXPECT_EQ(lastLine(searchSettings(200, 15, 3), pairs),
              "No module: no motif pair occurs in 15 or more genes (-g 15)");
    EXPECT_EQ(lastLine(searchSettings(200, 2, 3), pairs),
              "No module: no motif has 3 or more frequent partners (-k 3)");
    EXPECT_EQ(lastLine(searchSettings(200, 2, 9), pairs),
              "No module: no motif has 9 or more frequent partners (-k 9; a module has at most 8 "
              "motifs)");
    // Every pair of four motifs occurs in two genes, so each motif has three frequent
    // partners, but no three motifs share one gene.
    std::vector<SeqHit> pairGenesOnly;
    const char* names[] = {"ab", "AB", "ac", "AC", "ad", "AD", "bc", "BC", "bd", "BD", "cd", "CD"};
    for (int32_t x = 0; x < 4; ++x)
        for (int32_t y = x + 1; y < 4; ++y)
            for (int copy = 0; copy < 2; ++copy)
                pairGenesOnly.push_back(
                    {names[pairGenesOnly.size()], 900, {hit(x, 0, 9), hit(y, 10, 19)}});
    EXPECT_EQ(lastLine(searchSettings(200, 2, 3), FakeHits(pairGenesOnly)),
              "No module: no set of 3 or more motifs occurs within one window (-w 200) in 2 or "
              "more genes (-g 2)");
    pairGenesOnly.push_back({"all", 900, abc});
    std::string err;
    EXPECT_NE(discover(searchSettings(200, 1, 3), FakeHits(pairGenesOnly), &err), "");
    EXPECT_EQ(err.find("No module"), std::string::npos);
}

// The index, in its dense and its sparse form (a library of 9 or of 5,000 motifs), finds the
// instances a pass over each gene's hits finds, and its holder test the genes with one, also
// where a wide hit ends a window before narrower later ones.
TEST(WindowScanTest, IndexedHitsGiveTheSameInstances) {
    std::mt19937 rng(4);
    std::vector<SeqHit> genes;
    for (int g = 0; g < 20; ++g) {
        SeqHit gene{"g", 3000, {}};
        for (int32_t start = 0; start < 2900; start += 1 + static_cast<int32_t>(rng() % 12)) {
            const int32_t motif = static_cast<int32_t>(rng() % 9);
            gene.hits.push_back(hit(motif, start, start + 5 + motif * (motif % 3 == 0 ? 6 : 1)));
        }
        genes.push_back(gene);
    }
    // One gene alone too: there each motif's first gene is the previous motif's last.
    for (const std::vector<SeqHit>& list : {genes, std::vector<SeqHit>{genes[0]}})
        for (size_t library : {9, 5000}) {
            HitIndex index(list, library);
            ModuleSlots slots(library);
            WindowScan plain, indexed;
            for (const std::vector<int32_t>& module :
                 {std::vector<int32_t>{0, 4}, {1, 2, 3}, {8, 0, 5, 6}, {7}, {3, 6, 1, 2, 5}})
                for (int32_t window : {25, 60}) {
                    slots.assign(module);
                    for (int32_t g = 0; g < static_cast<int32_t>(list.size()); ++g) {
                        const std::vector<MHit>& hits = list[static_cast<size_t>(g)].hits;
                        plain.run(hits, slots, window, false);
                        indexed.run(hits, index, g, slots, window, false);
                        ASSERT_EQ(plain.instances, indexed.instances);
                        ASSERT_EQ(plain.filtered, indexed.filtered);
                        ASSERT_EQ(indexed.holds(hits, index, g, slots, window),
                                  !plain.instances.empty())
                            << library << " " << window << " " << g;
                    }
                }
        }
}

TEST(ModuleSearch, FewestFrequentPartnersFirst) {
    // Frequent pairs A-B, A-C, A-D and B-C: A has 3 partners, B and C 2, D 1. The search runs
    // from D, then B and C, then A, and its blocks come in that order.
    std::vector<MHit> abc{hit(A, 0, 9), hit(B, 10, 19), hit(C, 20, 29)},
        ad{hit(A, 0, 9), hit(D, 10, 19)};
    FakeHits hits({{"g0", 100, abc}, {"g1", 100, abc}, {"g2", 100, ad}, {"g3", 100, ad}});
    Discovery d(searchSettings(200, 2, 1), hits, std::cout, Progress::silent());
    EXPECT_EQ(d.motifs, (std::vector<int32_t>{D, B, C, A}));
    std::vector<std::string> blocks = headers(discover(searchSettings(200, 2, 1), hits));
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(blocks.front(), "A\tD\t2");  // from root D
    EXPECT_EQ(blocks.back(), "A\t4");      // root A alone, last
}

TEST(Report, TwoInstancesInOneGeneCountTheGeneOnce) {
    std::vector<MHit> twice{hit(A, 0, 9),     hit(B, 10, 19),   hit(C, 20, 29),
                            hit(A, 300, 309), hit(B, 310, 319), hit(C, 320, 329)};
    FakeHits hits(
        {{"g0", 1000, twice}, {"g1", 1000, {hit(A, 0, 9), hit(B, 10, 19), hit(C, 20, 29)}}});
    std::ostringstream report;
    Discovery d(searchSettings(100, 2, 2), hits, report, Progress::silent());
    const std::string text = report.str();
    ASSERT_EQ(text.rfind(">A\tB\tC\t3,", 0), 0u);  // three instances ...
    std::ostringstream twoGenes, threeGenes;
    twoGenes << d.ProbCRM({A, B, C}, 2);
    threeGenes << d.ProbCRM({A, B, C}, 3);
    ASSERT_NE(twoGenes.str(), threeGenes.str());
    EXPECT_EQ(text.substr(9, text.find('\n') - 9), twoGenes.str());  // ... in two genes
}
