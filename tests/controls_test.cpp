// The controls' parts: the k-mer preserving shuffle (counts, fixed letters, uniform draws),
// windows matched from a pool (length, GC bin, places, shortfall), and the comparison of
// foreground and background that warns of a confound, and label-blind scoring: a gene's hits
// do not depend on its set, so a permutation is the search on its relabelled genes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "TestUtil.hpp"
#include "common/Random.hpp"
#include "hits/Backgrounds.hpp"
#include "hits/GeneShape.hpp"
#include "hits/MatchedBackground.hpp"
#include "hits/SetComparison.hpp"
#include "hits/Shuffle.hpp"
#include "modules/ModuleStats.hpp"

namespace {

std::string randomText(std::mt19937& random, size_t length, double gc) {
    std::string text;
    std::uniform_real_distribution<double> unit(0, 1);
    for (size_t i = 0; i < length; ++i) {
        const double x = unit(random);
        text += x < gc / 2 ? 'C' : x < gc ? 'G' : x < (1 + gc) / 2 ? 'A' : 'T';
    }
    return text;
}

std::string nameOf(const char* prefix, int number) {
    std::string name(prefix);
    name += std::to_string(number);
    return name;
}

// Counts of the k-mers that lie within one stretch of upper-case bases.
std::map<std::string, int> stretchKmers(const std::string& text, int k) {
    std::map<std::string, int> counts;
    auto base = [](char c) { return c == 'A' || c == 'C' || c == 'G' || c == 'T'; };
    for (size_t i = 0; i + k <= text.size(); ++i) {
        const std::string kmer = text.substr(i, static_cast<size_t>(k));
        if (std::all_of(kmer.begin(), kmer.end(), base)) ++counts[kmer];
    }
    return counts;
}

}  // namespace

TEST(Shuffle, KeepsEveryKmerCountTheEndsAndTheLettersThatAreNoBases) {
    std::mt19937 random(4);
    // Stretches split by N, a masked (lower-case) run and a symbol.
    std::string text = randomText(random, 300, 0.4);
    for (const std::string& part :
         {std::string("NN"), randomText(random, 120, 0.5), std::string("acgtac"),
          randomText(random, 200, 0.6), std::string("-"), randomText(random, 3, 0.5)})
        text.append(part);
    for (int k = 1; k <= 6; ++k) {
        std::mt19937 one = drawGenerator({1, static_cast<uint32_t>(k)});
        std::mt19937 two = drawGenerator({2, static_cast<uint32_t>(k)});
        const std::string a = shuffleKeepingKmers(text, k, one);
        const std::string b = shuffleKeepingKmers(text, k, two);
        ASSERT_EQ(a.size(), text.size());
        EXPECT_EQ(stretchKmers(a, k), stretchKmers(text, k)) << k;
        EXPECT_EQ(stretchKmers(a, 1), stretchKmers(text, 1)) << k;
        EXPECT_NE(a, text) << k;
        EXPECT_NE(a, b) << k;
        for (size_t i = 0; i < text.size(); ++i) {
            const bool base = std::string("ACGT").find(text[i]) != std::string::npos;
            if (!base) {
                EXPECT_EQ(a[i], text[i]) << k << " at " << i;
            }
        }
        // The first and last k-1 letters of each stretch stay.
        for (size_t end : {size_t{300}, size_t{422}, size_t{628}}) {
            const size_t span = static_cast<size_t>(k - 1);
            EXPECT_EQ(a.substr(end - span, span), text.substr(end - span, span)) << k;
        }
        EXPECT_EQ(a.substr(0, static_cast<size_t>(k - 1)),
                  text.substr(0, static_cast<size_t>(k - 1)));
    }
}

TEST(Shuffle, DrawsUniformlyAmongTheSequencesWithTheSameCounts) {
    // Every arrangement of these letters that keeps the 2-mer counts and the ends: 30 of them.
    const std::string text = "ACAGATCAGACA";
    std::set<std::string> same;
    std::string letters = text;
    std::sort(letters.begin(), letters.end());
    do {
        if (letters.front() == text.front() && letters.back() == text.back() &&
            stretchKmers(letters, 2) == stretchKmers(text, 2))
            same.insert(letters);
    } while (std::next_permutation(letters.begin(), letters.end()));
    ASSERT_EQ(same.size(), 30u);
    std::map<std::string, int> drawn;
    const int draws = 30000;
    std::mt19937 generator = drawGenerator({7});
    for (int i = 0; i < draws; ++i) ++drawn[shuffleKeepingKmers(text, 2, generator)];
    double chiSquare = 0;
    const double expected = static_cast<double>(draws) / static_cast<double>(same.size());
    for (const std::string& each : same) {
        const double seen = drawn.count(each) ? drawn[each] : 0;
        chiSquare += (seen - expected) * (seen - expected) / expected;
    }
    EXPECT_EQ(drawn.size(), same.size());  // nothing else is drawn
    EXPECT_LT(chiSquare, 58.3);            // 29 degrees of freedom, p = 0.001
}

TEST(Shuffle, CopiesAreNamedAndTheSameForTheSameSeedOnAnyNumberOfThreads) {
    std::mt19937 random(2);
    const std::vector<Seq> genes{{"g1", randomText(random, 500, 0.4)},
                                 {"g2", randomText(random, 300, 0.5)}};
    const std::vector<Seq> one = shuffledCopies(genes, 3, 3, 11, 1);
    const std::vector<Seq> two = shuffledCopies(genes, 3, 3, 11, 2);
    ASSERT_EQ(one.size(), 6u);
    EXPECT_EQ(one[0].name, "g1_shuf1");
    EXPECT_EQ(one[5].name, "g2_shuf3");
    for (size_t i = 0; i < one.size(); ++i) EXPECT_EQ(one[i].seq, two[i].seq);
    EXPECT_NE(one[0].seq, one[1].seq);
    EXPECT_NE(shuffledCopies(genes, 3, 3, 12, 1)[0].seq, one[0].seq);
}

namespace {

// A pool of sequences of 2 to 6 kb whose GC runs from 0.35 to 0.65, one with a run of N.
std::vector<Seq> matchPool() {
    std::mt19937 random(5);
    std::vector<Seq> pool;
    for (int s = 0; s < 40; ++s) {
        pool.push_back({nameOf("p", s), randomText(random, 2000 + 100 * static_cast<size_t>(s),
                                                   0.35 + 0.3 * s / 39)});
    }
    pool[3].seq.replace(100, 1500, std::string(1500, 'N'));
    return pool;
}

}  // namespace

TEST(MatchedBackground, WindowsOfEachGenesLengthAndGcBinFromWithinThePool) {
    std::mt19937 random(6);
    const std::vector<Seq> pool = matchPool();
    const std::vector<Seq> foreground{{"f1", randomText(random, 300, 0.38)},
                                      {"f2", randomText(random, 900, 0.47)},
                                      {"f3", randomText(random, 7000, 0.5)},  // too long
                                      {"f4", randomText(random, 600, 0.1)},   // bin the pool lacks
                                      {"f5", randomText(random, 1500, 0.62)}};
    const MatchOptions options{true, true, 8, 3};
    const MatchedBackground matched = matchBackground(pool, foreground, options);
    EXPECT_EQ(matched.genesMatched, 3);
    EXPECT_EQ(matched.longerThanPool, 1);
    std::map<std::string, const Seq*> byName;
    for (const Seq& gene : pool) byName[gene.name] = &gene;
    std::map<std::pair<size_t, int>, int> wanted, got;  // (length, bin) -> windows
    for (size_t g : {0, 1, 4}) {
        const std::string& seq = foreground[g].seq;
        wanted[{seq.size(), gcBin(shapeOf(seq).gc())}] += options.ratio;
    }
    std::set<std::string> texts;
    std::map<std::string, std::vector<std::pair<long, long>>> places;
    for (const Seq& window : matched.windows) {
        const size_t colon = window.name.rfind(':'), dash = window.name.rfind('-');
        const std::string source = window.name.substr(0, colon);
        const long start = std::stol(window.name.substr(colon + 1, dash - colon - 1));
        const long end = std::stol(window.name.substr(dash + 1));
        ASSERT_TRUE(byName.count(source)) << window.name;
        ASSERT_LE(end, static_cast<long>(byName[source]->seq.size())) << window.name;
        EXPECT_EQ(window.seq, byName[source]->seq.substr(static_cast<size_t>(start),
                                                         static_cast<size_t>(end - start)));
        for (auto [a, b] : places[source]) EXPECT_TRUE(end <= a || b <= start) << window.name;
        places[source].emplace_back(start, end);
        EXPECT_TRUE(texts.insert(window.seq).second) << window.name;
        const GeneShape shape = shapeOf(window.seq);
        EXPECT_LE(10 * (shape.length - shape.bases), 7 * shape.length) << window.name;
        ++got[{window.seq.size(), gcBin(shape.gc())}];
    }
    EXPECT_EQ(got, wanted);
    // The same seed draws the same windows, another seed others.
    const MatchedBackground again = matchBackground(pool, foreground, options);
    EXPECT_EQ(again.windows.front().name, matched.windows.front().name);
    const MatchedBackground other = matchBackground(pool, foreground, {true, true, 8, 4});
    EXPECT_NE(other.windows.front().name, matched.windows.front().name);
}

TEST(MatchedBackground, OnePropertyAloneAndABinThatOnlyAFullSearchFills) {
    std::mt19937 random(8);
    std::vector<Seq> pool = matchPool();
    // One window of the pool's 130,000, and only one, is GC-rich: rejection misses it.
    pool.push_back({"rich", std::string(400, 'G')});
    const std::vector<Seq> foreground{{"f1", std::string(400, 'C')}};
    MatchedBackground rich = matchBackground(pool, foreground, {true, true, 2, 1});
    ASSERT_EQ(rich.windows.size(), 1u);
    EXPECT_EQ(rich.windows[0].name, "rich:0-400");
    // GC alone: whole sequences of the bin; length alone: windows of any GC.
    const std::vector<Seq> genes{{"f2", randomText(random, 700, 0.5)}};
    const MatchedBackground gc = matchBackground(pool, genes, {false, true, 5, 1});
    ASSERT_EQ(gc.windows.size(), 5u);
    for (const Seq& whole : gc.windows) {
        EXPECT_EQ(whole.name.find(':'), std::string::npos);
        EXPECT_EQ(gcBin(shapeOf(whole.seq).gc()), gcBin(shapeOf(genes[0].seq).gc()));
    }
    const MatchedBackground length = matchBackground(pool, genes, {true, false, 30, 1});
    ASSERT_EQ(length.windows.size(), 30u);
    std::set<int> bins;
    for (const Seq& window : length.windows) {
        EXPECT_EQ(window.seq.size(), 700u);
        bins.insert(gcBin(shapeOf(window.seq).gc()));
    }
    EXPECT_GT(bins.size(), 2u);
}

TEST(SetComparison, MannWhitneyAndTheWarningsItGives) {
    // R: wilcox.test(1:5, 6:10, exact = FALSE) gives p = 0.01219.
    EXPECT_NEAR(mannWhitneyP({1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}), 0.01219, 5e-5);
    EXPECT_NEAR(mannWhitneyP({6, 7, 8, 9, 10}, {1, 2, 3, 4, 5}), 0.01219, 5e-5);
    EXPECT_EQ(mannWhitneyP({3, 3, 3}, {3, 3}), 1.0);  // all tied: no evidence
    EXPECT_EQ(mannWhitneyP({}, {1}), 1.0);

    auto genes = [](int count, int64_t length, double gc) {
        std::vector<GeneShape> shapes;
        for (int i = 0; i < count; ++i)
            shapes.push_back({length + i, length + i, static_cast<int64_t>(gc * (length + i))});
        return shapes;
    };
    const std::vector<std::string> longer =
        confoundWarnings(compareSets(genes(20, 3120, 0.42), genes(400, 2000, 0.42)));
    ASSERT_EQ(longer.size(), 1u);
    EXPECT_EQ(longer[0].rfind("Warning: foreground genes are longer than the background (median "
                              "3,130 vs 2,200 letters); longer genes hold more modules by chance",
                              0),
              0u);
    EXPECT_NE(longer[0].find("use --stratify length,gc, or --match length,gc"), std::string::npos);
    const std::vector<std::string> poorer =
        confoundWarnings(compareSets(genes(20, 2190, 0.36), genes(400, 2000, 0.40)));
    ASSERT_EQ(poorer.size(), 1u);
    EXPECT_NE(poorer[0].find("GC-poorer than the background (mean GC 0.36 vs 0.40)"),
              std::string::npos);
    EXPECT_TRUE(
        confoundWarnings(compareSets(genes(20, 2005, 0.40), genes(20, 2000, 0.40))).empty());
}

namespace {

// The genes of a FASTA text, in order.
std::vector<Seq> genesOf(const std::string& path) {
    std::vector<Seq> genes;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind('>', 0) == 0)
            genes.push_back({line.substr(1, line.find_first_of(" \t") - 1), ""});
        else
            genes.back().seq += line;
    }
    return genes;
}

std::string fasta(const std::vector<Seq>& genes) {
    std::ostringstream out;
    writeGenes(out, genes);
    return out.str();
}

// A run's settings: p-value cutoffs from a sample, so that they follow the composition.
Args labelSettings(const std::string& genes, const std::string& background) {
    Args settings;
    settings.motifFile = kExamples + "example.motifs";
    settings.seqFile = genes;
    settings.backgroundFile = background;
    settings.scoreThreshold = 0.002f;
    settings.geneNumber = 6;
    settings.seed = 4;
    settings.seedShown = true;
    return settings;
}

// Random genes b0, b1, ... of the given GC.
std::vector<Seq> randomGenes(uint32_t seed, int count, size_t length, double gc) {
    std::mt19937 random(seed);
    std::vector<Seq> genes;
    for (int g = 0; g < count; ++g)
        genes.push_back({nameOf("b", g), randomText(random, length, gc)});
    return genes;
}

HitStages<HitA> stagesOf(const Args& settings) {
    MotifA motifs(settings, Progress::silent());
    return buildHitStages<HitA>(settings, motifs, Progress::silent());
}

}  // namespace

TEST(LabelBlindScoring, AGeneHasTheSameHitsInEitherSet) {
    TempFile background(fasta(randomGenes(3, 30, 700, 0.6)), "bg.fa");
    const std::string genes = kExamples + "example.fa";
    const HitStages<HitA> forward = stagesOf(labelSettings(genes, background.path()));
    const HitStages<HitA> swapped = stagesOf(labelSettings(background.path(), genes));
    std::map<std::string, std::vector<MHit>> hitsOf;
    for (const HitA* stage : {&*forward.foreground, &*forward.background})
        for (const SeqHit& gene : stage->seqHits) hitsOf[gene.name] = gene.hits;
    size_t compared = 0;
    for (const HitA* stage : {&*swapped.foreground, &*swapped.background})
        for (const SeqHit& gene : stage->seqHits) {
            const std::vector<MHit>& before = hitsOf.at(gene.name);
            ASSERT_EQ(before.size(), gene.hits.size()) << gene.name;
            for (size_t h = 0; h < before.size(); ++h) {
                EXPECT_EQ(before[h].motif, gene.hits[h].motif);
                EXPECT_EQ(before[h].start, gene.hits[h].start);
                EXPECT_EQ(before[h].strand, gene.hits[h].strand);
                EXPECT_EQ(before[h].score, gene.hits[h].score);
            }
            compared += before.size();
        }
    EXPECT_GT(compared, 500u);
}

TEST(LabelBlindScoring, APermutationIsTheSearchOnItsRelabelledGenes) {
    const std::vector<Seq> other = randomGenes(5, 40, 600, 0.55);
    TempFile background(fasta(other), "bg.fa");
    const std::string genes = kExamples + "example.fa";
    const Args settings = labelSettings(genes, background.path());
    const HitStages<HitA> stages = stagesOf(settings);
    const std::vector<double> minima =
        permutationMinima(settings, *stages.foreground, *stages.background, 3, 9);
    std::vector<Seq> pool = genesOf(genes);
    pool.insert(pool.end(), other.begin(), other.end());
    for (uint32_t k = 0; k < 3; ++k) {
        const std::vector<uint32_t> drawn = permutedForeground(9, k, 40, 80);
        std::vector<Seq> inside, outside;
        for (size_t g = 0; g < pool.size(); ++g)
            (std::binary_search(drawn.begin(), drawn.end(), g) ? inside : outside)
                .push_back(pool[g]);
        TempFile foreground(fasta(inside), "fg.fa"), rest(fasta(outside), "rest.fa");
        const Args relabelled = labelSettings(foreground.path(), rest.path());
        const HitStages<HitA> again = stagesOf(relabelled);
        std::ostringstream nowhere;
        const Discovery search(relabelled, *again.foreground, nowhere, Progress::silent(),
                               ModuleOutput::RecordsOnly);
        const ModuleStatistics table(relabelled, search, *again.foreground, &*again.background,
                                     std::nullopt);
        double best = 1;
        for (const ModuleStatsRow& row : table.rows) best = std::min(best, row.pValue);
        EXPECT_EQ(best, minima[k]) << k;
    }
    EXPECT_LT(*std::min_element(minima.begin(), minima.end()), 1.0);
}
