// Motif library: reader rules, the window score on both strands, and p-value cutoffs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "TestUtil.hpp"
#include "hits/Hit.hpp"
#include "motif/Cutoff.hpp"
#include "motif/ExactCutoff.hpp"
#include "motif/MotifA.hpp"
#include "motif/ScoreBounds.hpp"
#include "motif/WindowScore.hpp"

namespace {

MotifA readMotifs(const std::string& content, bool useTfName = false, float pseudocount = 0.375f) {
    TempFile file(content);
    Args settings;
    settings.motifFile = file.path();
    settings.useTfName = useTfName;
    settings.pseudocount = pseudocount;
    return MotifA(settings);
}

Motif motifOf(const std::vector<float>& freq) {
    Motif motif;
    motif.freq = freq;
    motif.length = static_cast<int32_t>(freq.size() / 4);
    return motif;
}

// The score as defined, with a logarithm at every position.
void naiveScore(const Motif& m, const float f[4], const uint8_t* c, float& fwd, float& rev) {
    fwd = rev = 0;
    for (int i = 0; i < m.length; ++i) {
        fwd += std::log(static_cast<double>(m.freq[4 * i + c[i]] / f[c[i]]));
        int j = m.length - 1 - i, b = 3 - c[i];
        rev += std::log(static_cast<double>(m.freq[4 * j + b] / f[b]));
    }
}

const float kUniform[4] = {0.25f, 0.25f, 0.25f, 0.25f};

}  // namespace

TEST(MotifReader, TitlesRowsAndLineEnds) {
    MotifA lib = readMotifs(
        "M00039\tV$CREB_01\tchick human mouse\r\n"
        "2 2 0 5\r\n"
        "1 2 3\r\n"
        "1 2 3 4 5\r\n"
        "\r\n"
        "A C G T\r\n"
        ">M2 V$X\r\n"
        ">M3\tV\r\n"
        "\t1\t0  0 0\t\r\n"
        "1 0 0 0");
    ASSERT_EQ(lib.motifs.size(), 3u);
    const Motif& first = lib.motifs[0];
    EXPECT_EQ(first.name, "00039");  // first character dropped even without '>'
    EXPECT_EQ(first.label, "CREB_01");
    ASSERT_EQ(first.length, 2);
    EXPECT_NEAR(first.freq[0], 2.375 / 10.5, 1e-6);
    EXPECT_NEAR(first.freq[2], 0.375 / 10.5, 1e-6);
    EXPECT_NEAR(first.freq[3], 5.375 / 10.5, 1e-6);
    for (int b = 4; b < 8; ++b) EXPECT_FLOAT_EQ(first.freq[b], 0.25f);  // words read as zeros
    EXPECT_EQ(lib.motifs[1].name, "M2 V$X");  // a blank does not separate fields
    EXPECT_EQ(lib.motifs[1].label, "");
    EXPECT_EQ(lib.motifs[1].length, 0);
    EXPECT_EQ(lib.motifs[2].label, "");  // second field shorter than two characters
    EXPECT_EQ(lib.motifs[2].length, 2);  // last line without a line feed counts
}

TEST(MotifReader, TfNamesAndNameIds) {
    MotifA lib = readMotifs(">M00039\tV$CREB_01\tmouse\n1 1 1 1\n>M00001\tV$AP1\n1 1 1 1\n", true);
    EXPECT_EQ(lib.motifs[0].name, "CREB_01");
    EXPECT_EQ(lib.motifs[0].label, "M00039");
    MotifNames names = lib.nameTable();
    EXPECT_EQ(names.names, (std::vector<std::string>{"AP1", "CREB_01"}));
    EXPECT_EQ(names.idOfMotif, (std::vector<int32_t>{1, 0}));
}

TEST(WindowScore, TwoPositionExampleAndTruncation) {
    Motif motif = motifOf({0.7f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.7f, 0.1f});
    MotifTable table(motif, kUniform);
    std::vector<uint8_t> codes = encodeBases("AG");
    float fwd, rev;
    table.score(codes.data(), fwd, rev);
    EXPECT_NEAR(fwd, 2.0592, 1e-4);
    EXPECT_NEAR(rev, -1.8326, 1e-4);
    EXPECT_FLOAT_EQ(truncateScore(fwd), 2.05f);
    EXPECT_FLOAT_EQ(truncateScore(rev), -1.83f);
    EXPECT_FLOAT_EQ(truncateScore(-0.019f), -0.01f);
    EXPECT_FLOAT_EQ(truncateScore(2.0592f), 2.05f);
}

TEST(WindowScore, BitIdenticalToLogarithmAtEveryPlacement) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(0.01f, 1.0f);
    const float background[4] = {0.3f, 0.2f, 0.2f, 0.3f};
    for (int width : {1, 5, 12, 21}) {
        std::vector<float> freq;
        for (int i = 0; i < 4 * width; ++i) freq.push_back(unit(rng));
        Motif motif = motifOf(freq);
        MotifTable table(motif, background);
        std::vector<uint8_t> codes(300);
        for (uint8_t& c : codes) c = static_cast<uint8_t>(rng() % 4);
        size_t visited = 0;
        scanPlacements(table, codes, [&](int64_t q, float fwd, float rev) {
            float expectFwd, expectRev;
            naiveScore(motif, background, codes.data() + q, expectFwd, expectRev);
            EXPECT_EQ(fwd, expectFwd);
            EXPECT_EQ(rev, expectRev);
            ++visited;
        });
        EXPECT_EQ(visited, codes.size() - width + 1);  // every placement that fits
    }
}

TEST(WindowScore, NonBasesVoidEveryWindowCoveringThem) {
    Motif motif = motifOf(std::vector<float>(12, 0.25f));
    MotifTable table(motif, kUniform);
    std::vector<int64_t> starts;
    scanPlacements(table, encodeBases("ACGTNACGTacgtAC G"),
                   [&](int64_t q, float, float) { starts.push_back(q); });
    EXPECT_EQ(starts, (std::vector<int64_t>{0, 1, 5, 6}));
}

TEST(Cutoff, SampleLengthAndIndex) {
    EXPECT_EQ(sampleLength(0.0001f), 500000);
    EXPECT_EQ(sampleLength(0.001f), 49999);
    EXPECT_EQ(sampleLength(0.0f), 1000000);
    EXPECT_EQ(cutoffIndex(999982, 0.0001f), 999880);
    EXPECT_EQ(cutoffIndex(999982, 0.0f), 999981);  // the largest score
    EXPECT_EQ(cutoffIndex(2, 0.9f), 0);
}

TEST(Cutoff, SampleDrawsFromTheComposition) {
    const float skewed[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    std::vector<uint8_t> sample = FreqToSeq(skewed, 200000, 42);
    int counts[4] = {0, 0, 0, 0};
    for (uint8_t c : sample) ++counts[c];
    for (int b = 0; b < 4; ++b) EXPECT_NEAR(counts[b] / 200000.0, skewed[b], 0.005);
    EXPECT_EQ(FreqToSeq(skewed, 100, 9), FreqToSeq(skewed, 100, 9));
    EXPECT_TRUE(FreqToSeq(skewed, 0, 9).empty());
}

TEST(Cutoff, OrderStatisticOfAllSampleScores) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(0.01f, 1.0f);
    std::vector<float> freq;
    for (int i = 0; i < 4 * 6; ++i) freq.push_back(unit(rng));
    Motif motif = motifOf(freq);
    MotifTable table(motif, kUniform);
    std::vector<uint8_t> sample = FreqToSeq(kUniform, 5000, 3);
    std::vector<float> all;
    scanPlacements(table, sample, [&](int64_t, float fwd, float rev) {
        all.push_back(fwd);
        all.push_back(rev);
    });
    std::sort(all.begin(), all.end());
    for (float t : {0.0f, 0.001f, 0.01f, 0.3f})
        EXPECT_EQ(sampleCutoff(table, sample, t), all[cutoffIndex(all.size(), t)]) << t;
}

namespace {

// Every word of the motif's width scored by the scanner, each strand with half the word's
// probability: the exact distribution that the cutoff is defined on.
std::vector<std::pair<float, double>> allWindowScores(const MotifTable& table, const float f[4]) {
    std::vector<std::pair<float, double>> scores;
    const int w = table.width();
    std::vector<uint8_t> word(w, 0);
    for (int64_t code = 0; code < (int64_t{1} << (2 * w)); ++code) {
        double probability = 1;
        for (int i = 0; i < w; ++i) {
            word[i] = static_cast<uint8_t>((code >> (2 * i)) & 3);
            probability *= f[word[i]];
        }
        if (probability == 0) continue;
        float forward = 0, reverse = 0;
        table.score(word.data(), forward, reverse);
        scores.emplace_back(forward, probability / 2);
        scores.emplace_back(reverse, probability / 2);
    }
    return scores;
}

double tailAbove(const std::vector<std::pair<float, double>>& scores, float c) {
    double mass = 0;
    for (auto [score, probability] : scores)
        if (score > c) mass += probability;
    return mass;
}

// The smallest achievable score whose tail is at most p, by definition.
float bruteForceCutoff(const std::vector<std::pair<float, double>>& scores, double p) {
    float best = std::numeric_limits<float>::infinity();
    for (auto [score, probability] : scores)
        if (score < best && tailAbove(scores, score) <= p) best = score;
    return best;
}

Motif randomMotif(std::mt19937& rng, int width, bool withZeros) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> freq;
    for (int i = 0; i < 4 * width; ++i)
        freq.push_back(withZeros && unit(rng) < 0.2f ? 0.0f : unit(rng) + 0.01f);
    return motifOf(freq);
}

}  // namespace

// Scoring only the windows above a floor gives the order statistic of scoring them all, for
// floors below it, at it and above it (where too few scores lie above, every window counts).
TEST(Cutoff, FilteredSampleGivesTheSameOrderStatistic) {
    std::mt19937 rng(11);
    const float skewed[4] = {0.3f, 0.2f, 0.2f, 0.3f};
    const std::vector<uint8_t> sample = FreqToSeq(skewed, 30000, 7);
    const SequenceCodes codes(sample);
    for (int trial = 0; trial < 12; ++trial) {
        MotifTable table(randomMotif(rng, 3 + trial, trial % 3 == 0), skewed);
        for (float t : {1e-3f, 0.01f, 0.2f}) {
            const float expected = sampleCutoff(table, sample, t);
            for (float floor : {sampleFloor(table, skewed, t), expected, expected - 0.5f,
                                std::nextafter(expected, -1e30f), -1e30f, 1e30f})
                EXPECT_EQ(sampleCutoffAbove(table, sample, codes, t, floor), expected)
                    << "trial " << trial << " t " << t << " floor " << floor;
        }
    }
}

// The sample's best words at its very end and start: the filtered scan reads the last window
// too, and a floor whose filter lets through more windows than scores lie above it still
// gives the order statistic of all scores.
TEST(Cutoff, FilteredSampleReadsTheLastWindowAndCountsScoresAboveTheFloor) {
    std::mt19937 rng(3);
    const float skewed[4] = {0.3f, 0.2f, 0.2f, 0.3f};
    for (int trial = 0; trial < 8; ++trial) {
        const Motif motif = randomMotif(rng, 6 + trial, false);
        MotifTable table(motif, skewed);
        // The consensus: each position's most frequent base.
        std::vector<uint8_t> best;
        for (int i = 0; i < table.width(); ++i) {
            const float* row = &motif.freq[static_cast<size_t>(i) * 4];
            best.push_back(static_cast<uint8_t>(std::max_element(row, row + 4) - row));
        }
        std::vector<uint8_t> sample = FreqToSeq(skewed, 4000, 9 + trial);
        std::copy(best.begin(), best.end(),
                  sample.end() - static_cast<std::ptrdiff_t>(best.size()));
        std::copy(best.begin(), best.end(), sample.begin());
        const SequenceCodes codes(sample);
        for (float t : {1e-4f, 2e-4f, 1e-3f, 0.01f, 0.05f}) {
            const float expected = sampleCutoff(table, sample, t);
            for (float floor : {-1e30f, expected - 2.0f, expected - 0.01f, expected,
                                expected + 0.01f, expected + 0.5f, expected + 2.0f})
                EXPECT_EQ(sampleCutoffAbove(table, sample, codes, t, floor), expected)
                    << "trial " << trial << " t " << t << " floor " << floor;
        }
    }
}

TEST(ExactCutoff, SmallestScoreWhoseTailIsAtMostP) {
    std::mt19937 rng(5);
    const float skewed[4] = {0.3f, 0.2f, 0.2f, 0.3f}, noG[4] = {0.4f, 0.3f, 0.0f, 0.3f};
    for (int trial = 0; trial < 24; ++trial) {
        const int width = 1 + trial % 6;
        const float* background = trial % 3 == 0 ? kUniform : trial % 3 == 1 ? skewed : noG;
        MotifTable table(randomMotif(rng, width, trial % 2 == 1), background);
        std::vector<std::pair<float, double>> scores = allWindowScores(table, background);
        for (double p : {0.0, 1e-4, 0.01, 0.05, 0.25, 0.5}) {
            const float cutoff = exactCutoff(table, background, p);
            ASSERT_EQ(cutoff, bruteForceCutoff(scores, p))
                << "width " << width << " p " << p << " trial " << trial;
            // The next lower achievable score lets more than p through.
            float lower = -std::numeric_limits<float>::infinity();
            for (auto [score, probability] : scores)
                if (score < cutoff) lower = std::max(lower, score);
            if (lower > -std::numeric_limits<float>::infinity()) {
                EXPECT_GT(tailAbove(scores, lower), p);
            }
        }
    }
}

TEST(ExactCutoff, GridBracketHoldsTheCutoffAndBoundsWideMotifs) {
    std::mt19937 rng(8);
    const float skewed[4] = {0.35f, 0.15f, 0.15f, 0.35f};
    for (int width : {3, 7, 10, 14}) {
        MotifTable table(randomMotif(rng, width, false), skewed);
        for (double p : {0.0, 1e-4, 0.02}) {
            ScoreBracket bracket = scoreBracket(table, skewed, p);
            float cutoff = exactCutoff(table, skewed, p);
            EXPECT_LT(bracket.low, cutoff) << width << " " << p;
            // At most the bound, or the bound rounded up to a float where the walk gave up.
            EXPECT_LE(cutoff, std::nextafter(static_cast<float>(bracket.high), 1e30f))
                << width << " " << p;
            EXPECT_LT(bracket.high - bracket.low, 0.05 * width + 0.01);
        }
    }
    // Motifs whose words score alike (all rows flat) or fall on a few scores (rows 0.5, 0.5,
    // 0, 0): the bracket's ends stay on their sides of the tail however the grid rounds.
    for (const std::vector<float>& row :
         {std::vector<float>{0.25f, 0.25f, 0.25f, 0.25f}, std::vector<float>{0.5f, 0.5f, 0, 0}}) {
        std::vector<float> freq;
        for (int i = 0; i < 5; ++i) freq.insert(freq.end(), row.begin(), row.end());
        MotifTable table(motifOf(freq), kUniform);
        const auto scores = allWindowScores(table, kUniform);
        for (double p : {0.001, 0.01, 0.2}) {
            ScoreBracket bracket = scoreBracket(table, kUniform, p);
            // No score has a tail above p where the words that score at all hold less.
            if (bracket.low > -std::numeric_limits<double>::infinity()) {
                EXPECT_GT(tailAbove(scores, static_cast<float>(bracket.low)), p)
                    << row[0] << " " << p;
            }
            EXPECT_LE(tailAbove(scores, static_cast<float>(bracket.high)), p) << row[0] << " " << p;
        }
    }
    // A wide, nearly uninformative motif at a large p has far more tail words than the
    // enumeration may visit: the cutoff is then the guaranteed bound of the fine grid.
    std::vector<float> flat;
    for (int i = 0; i < 4 * 24; ++i) flat.push_back(i % 4 == 0 ? 0.3f : 0.7f / 3);
    MotifTable wide(motifOf(flat), kUniform);
    ScoreBracket bracket = scoreBracket(wide, kUniform, 0.3, kFineGridBins);
    float cutoff = exactCutoff(wide, kUniform, 0.3);
    EXPECT_GE(cutoff, bracket.high);
    EXPECT_LT(cutoff, bracket.high + 1e-5);
}

// The bound on the rest of a window holds after a large prefix sum, where every float
// addition of a small term rounds up by almost half of the sum's last place; and a base that
// the background lacks is no part of any window.
TEST(ScoreBoundsTest, RestBoundCoversRoundingAfterLargeSumsAndSkipsAbsentBases) {
    std::vector<float> freq;
    for (int i = 0; i < 12; ++i) freq.insert(freq.end(), {0.258f, 0.2473f, 0.2473f, 0.2472f});
    MotifTable table(motifOf(freq), kUniform);
    const RestBounds rest(table, allBases());
    for (float s : {1e5f, 1e6f, 3e6f, 1e7f, -1e6f}) {
        float sum = s;
        for (int32_t i = 0; i < table.width(); ++i) sum = addRounded(sum, table.term(i, 0, 0));
        EXPECT_LE(sum, rest.upper(0, 0, s)) << s;
    }
    // Without C and G, no term divides by a frequency of 0: the bracket is finite.
    const float atOnly[4] = {0.5f, 0.0f, 0.0f, 0.5f};
    const Alphabet present = alphabetOf(atOnly);
    ASSERT_EQ(present.count, 2);
    EXPECT_EQ(present.bases[1], 3);
    EXPECT_FALSE(RestBounds(MotifTable(motifOf(freq), atOnly), present).unbounded);
    EXPECT_LT(scoreBracket(MotifTable(motifOf(freq), atOnly), atOnly, 1e-3).high, 1e30);
}

TEST(ExactCutoff, LargeSampleLandsNearTheExactCutoff) {
    std::mt19937 rng(21);
    const float skewed[4] = {0.3f, 0.2f, 0.2f, 0.3f};
    std::vector<uint8_t> sample = FreqToSeq(skewed, 2000000, 77);
    for (int width : {6, 9, 12}) {
        MotifTable table(randomMotif(rng, width, false), skewed);
        EXPECT_NEAR(sampleCutoff(table, sample, 0.001f), exactCutoff(table, skewed, 0.001f), 0.15)
            << width;
    }
}
