// Sequence reader, scanning and overlap removal of the hit stage of rekul.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "TestUtil.hpp"
#include "hits/HitA.hpp"
#include "hits/HitStage.hpp"
#include "hits/PairScan.hpp"
#include "hits/SeqReader.hpp"

namespace {

MHit hit(int32_t motif, int32_t start, float score, char strand = '+') {
    return MHit{motif, start, start + 5, strand, score};
}

std::vector<std::pair<int32_t, int32_t>> motifStarts(const std::vector<MHit>& hits) {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const MHit& h : hits) out.emplace_back(h.motif, h.start);
    return out;
}

using Starts = std::vector<std::pair<int32_t, int32_t>>;

// Runs the hit stage of rekul on the two texts with a fixed cutoff.
struct Stage {
    TempFile motifFile, seqFile;
    Args settings;
    Stage(const std::string& motifs, const std::string& seqs, float cutoff = 1.0f)
        : motifFile(motifs), seqFile(seqs) {
        settings.motifFile = motifFile.path();
        settings.seqFile = seqFile.path();
        settings.scoreThreshold = cutoff;
    }
    HitA run() {
        MotifA library(settings);
        settings.seed = 1;
        return HitA(settings, library);
    }
};

const std::string kAG = ">M1\tV$AG\n1 0 0 0\n0 0 1 0\n";
const float kUniformFreq[4] = {0.25f, 0.25f, 0.25f, 0.25f};

}  // namespace

TEST(Overlap, KeptHitsDropWeakerNeighbours) {
    std::vector<MHit> hits{hit(0, 10, 7.5f), hit(1, 12, 8.1f), hit(0, 20, 6.0f)};
    EXPECT_EQ(motifStarts(delHitOverlap(hits, 4)), (Starts{{1, 12}, {0, 20}}));
    EXPECT_EQ(motifStarts(delHitOverlap(hits, 2)), (Starts{{0, 10}, {1, 12}, {0, 20}}));
    std::vector<MHit> chain{hit(0, 0, 9), hit(1, 3, 8), hit(2, 6, 7)};
    EXPECT_EQ(motifStarts(delHitOverlap(chain, 4)), (Starts{{0, 0}, {2, 6}}));
}

// The removal as first stated: every kept hit zeroes all weaker hits within the distance.
std::vector<MHit> literalOverlapRemoval(std::vector<MHit> hits, int32_t distance) {
    std::stable_sort(hits.begin(), hits.end(), CompHitScore);
    std::vector<MHit> kept;
    for (size_t q = hits.size(); q-- > 0;) {
        if (hits[q].score == 0) continue;
        for (size_t r = 0; r < q; ++r)
            if (std::abs(hits[q].start - hits[r].start) < distance) hits[r].score = 0;
        kept.push_back(hits[q]);
    }
    std::stable_sort(kept.begin(), kept.end(), CompHitPos);
    return kept;
}

// Strands, ties (the later hit in scan order wins), zero scores of both signs, negative
// scores and distance 0 included; starts close together and spread far apart; lists in
// scan order and not.
TEST(Overlap, SameAsTheLiteralRemovalOnRandomHits) {
    std::mt19937 rng(17);
    for (int round = 0; round < 600; ++round) {
        std::vector<MHit> hits;
        const int count = static_cast<int>(rng() % 40);
        const int32_t spread = round % 3 == 2 ? 100000 : 1;
        for (int i = 0; i < count; ++i)  // few distinct scores and starts: many ties
            hits.push_back(hit(static_cast<int32_t>(rng() % 5),
                               spread * static_cast<int32_t>(rng() % 60) +
                                   (spread > 1 ? static_cast<int32_t>(rng() % 12) : 0),
                               static_cast<float>(rng() % 7) / 2 - (round % 4 == 3 ? 1.0f : 0.0f),
                               rng() % 2 ? '+' : '-'));
        if (round % 4 == 3 && count > 0) hits[0].score = -0.0f;
        if (round % 7 != 6) std::stable_sort(hits.begin(), hits.end(), CompHitPos);
        const int32_t distance = static_cast<int32_t>(rng() % 8);
        std::vector<MHit> expected = literalOverlapRemoval(hits, distance);
        std::vector<MHit> kept = delHitOverlap(hits, distance);
        ASSERT_EQ(kept.size(), expected.size());
        for (size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(kept[i].motif, expected[i].motif);
            EXPECT_EQ(kept[i].start, expected[i].start);
            EXPECT_EQ(kept[i].strand, expected[i].strand);
            EXPECT_EQ(kept[i].score, expected[i].score);
        }
    }
}

TEST(SeqReader, TitleNames) {
    EXPECT_EQ(geneNameFromTitle(">geneA annotation"), "geneA");
    EXPECT_EQ(geneNameFromTitle(">geneA"), "geneA");
    EXPECT_EQ(geneNameFromTitle(">geneA\tx"), "geneA");
    EXPECT_EQ(geneNameFromTitle("> geneA"), "");
    EXPECT_EQ(geneNameFromTitle("xgeneB y"), "geneB");
    EXPECT_EQ(geneNameFromTitle(" whole rest"), "whole rest");
    // Never a tab, which would make the report's gene line unreadable (found by fuzzing).
    EXPECT_EQ(geneNameFromTitle("\tV$CT1\tX"), "V$CT1");
    EXPECT_EQ(geneNameFromTitle(" a b\tc"), "a b");
}

TEST(HitStage, ReadsGenesCompositionAndMasking) {
    Stage stage(kAG, ">g1 a\r\nACGT\r\n\r\nacgn\r\n>g2\n>g3\nAACG");
    HitA plain = stage.run();
    ASSERT_EQ(plain.seqHits.size(), 3u);
    EXPECT_EQ(plain.seqHits[0].length, 8);
    EXPECT_EQ(plain.seqHits[1].length, 0);
    EXPECT_TRUE(plain.seqs.empty());  // released after scanning
    // A 4, C 3, G 3, T 1 once upper-cased, plus 0.375 each.
    EXPECT_NEAR(plain.baseFreq[0], 4.375 / 12.5, 1e-6);
    EXPECT_NEAR(plain.baseFreq[3], 1.375 / 12.5, 1e-6);
    stage.settings.maskLowercase = true;
    HitA masked = stage.run();
    EXPECT_NEAR(masked.baseFreq[0], 3.375 / 9.5, 1e-6);

    Stage single(kAG, ">only\nAACG\n");
    HitA one = single.run();
    EXPECT_NEAR(one.baseFreq[0], 2.375 / 5.5, 1e-6);
    EXPECT_NEAR(one.baseFreq[3], 0.375 / 5.5, 1e-6);
}

TEST(HitStage, EveryPlacementThatFitsIsScanned) {
    // AG at the very end, and a sequence exactly as long as the motif.
    Stage stage(kAG, ">g1\nCCCCCCCCAG\n>g2\nAG\n>g3\nA\n");
    stage.settings.pseudocount = 0;  // the motif matches AG exactly
    HitA hits = stage.run();
    ASSERT_EQ(hits.seqHits[0].hits.size(), 1u);
    EXPECT_EQ(hits.seqHits[0].hits[0].start, 8);
    EXPECT_EQ(hits.seqHits[0].hits[0].end, 9);
    EXPECT_EQ(hits.seqHits[1].hits.size(), 1u);
    EXPECT_TRUE(hits.seqHits[2].hits.empty());
}

TEST(HitStage, PalindromeHitsBothStrandsThenOverlapKeepsOne) {
    // ACGT is its own reverse complement; a palindromic motif scores both strands alike.
    Stage stage(">P\tV$PAL\n9 0 0 0\n0 9 0 0\n0 0 9 0\n0 0 0 9\n",
                ">g1\nTTACGTTT\n>g2\nGGACGTGGGGGGGGGGACGTGG\n");
    stage.settings.overlapDistance = 0;
    HitA hits = stage.run();
    const std::vector<MHit>& first = hits.seqHits[0].hits;
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].start, 2);
    EXPECT_EQ(first[1].start, 2);
    EXPECT_EQ(first[0].score, first[1].score);
    EXPECT_NE(first[0].strand, first[1].strand);
    stage.settings.overlapDistance = 4;
    HitA thinned = stage.run();
    EXPECT_EQ(thinned.seqHits[0].hits.size(), 1u);
    EXPECT_EQ(motifStarts(thinned.seqHits[1].hits), (Starts{{0, 2}, {0, 16}}));
}

// A refusal reaches the caller as a RunEnd, so that only a program's entry point ends the
// process; the messages of every refusal are checked on the programs themselves.
TEST(HitStage, RefusalsAreThrownToTheCaller) {
    Stage noMotifs("", ">g1\nAG\n"), blankFirst(kAG, "\n>g1\nAG\n");
    EXPECT_EQ(refusalOf([&] { noMotifs.run(); }).rfind("Error: motif file has no motifs\n", 0), 0u);
    EXPECT_EQ(
        refusalOf([&] { blankFirst.run(); }).rfind("Error: sequence file has no title line\n", 0),
        0u);
}

namespace {

// Hits from scoring every placement, for comparison with the filtered scan.
std::vector<MHit> plainHits(const MotifTable& table, float cutoff, const std::string& text) {
    std::vector<MHit> hits;
    const int32_t w = table.width();
    scanPlacements(table, encodeBases(text), [&](int64_t q, float f, float r) {
        const auto s = static_cast<int32_t>(q);
        if (f > cutoff) hits.push_back({0, s, s + w - 1, '+', truncateScore(f)});
        if (r > cutoff) hits.push_back({0, s, s + w - 1, '-', truncateScore(r)});
    });
    return hits;
}

bool sameHits(const std::vector<MHit>& a, const std::vector<MHit>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const MHit& x, const MHit& y) {
               return x.start == y.start && x.end == y.end && x.strand == y.strand &&
                      x.score == y.score;
           });
}

}  // namespace

// Texts to scan: random letters with non-bases and lower case, and the start of the example
// genes (the file's title lines included).
std::pair<std::string, std::string> scanTexts(std::mt19937& rng, int letters, size_t real) {
    std::string text;
    for (int i = 0; i < letters; ++i) text += "ACGTACGTACGTACGTNacg"[rng() % 20];
    return {text, readFile(EXAMPLES_DIR "/example.fa").substr(0, real)};
}

// Whether a window holds bases only, for windows shorter and longer than the 255 bases that
// a position's count of bases ahead holds.
TEST(WindowFilterScan, WindowsOfBasesOnlyAtEveryWidth) {
    std::mt19937 rng(3);
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "ACGTACGTACGTACGTACGN"[rng() % (i < 1500 ? 20 : 19)];
    text.replace(2000, 3, "NNN");
    const SequenceCodes sequence(text);
    for (int64_t width : {1, 7, 254, 255, 256, 700}) {
        for (int64_t q = 0; q + width <= static_cast<int64_t>(text.size()); ++q) {
            const bool bases =
                text.find('N', static_cast<size_t>(q)) >= static_cast<size_t>(q + width);
            ASSERT_EQ(sequence.allBases(q, width), bases) << q << " " << width;
        }
    }
}

// Each k-mer's bit in a motif's prefix table is its own test: its float sums on both
// strands, as the scan adds them, against the cutoff (with the bound on the rest for a wider
// motif). Prefixes whose k-mers all fail are skipped unread; cutoffs just below the best
// k-mer's bound, where only it passes, and at a quantile; zero entries included.
TEST(WindowFilterScan, PrefixTableBitsAreEachKmersOwnTest) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float even[4] = {0.25f, 0.25f, 0.25f, 0.25f};
    int checked = 0;
    for (int m = 0; m < 60; ++m) {
        Motif motif;
        motif.length = 3 + m % 18;
        for (int i = 0; i < 4 * motif.length; ++i)
            motif.freq.push_back(m % 4 == 0 && unit(rng) < 0.2f ? 0.0f : unit(rng) + 0.02f);
        const MotifTable table(motif, even);
        const int k = std::min(table.width(), kFilterPrefix);
        const RestBounds rest(table, allBases());
        // A k-mer's largest bound over the two strands: its float sums, as the scan adds them,
        // or with a wider motif the bound on the rest after them.
        const auto bound = [&](uint32_t code) {
            float sums[2] = {0, 0};
            for (int i = 0; i < k; ++i)
                for (int strand = 0; strand < 2; ++strand)
                    sums[strand] = addRounded(
                        sums[strand],
                        table.term(i, static_cast<int>(code >> (2 * (k - 1 - i))) & 3, strand));
            if (k == table.width()) return std::max<double>(sums[0], sums[1]);
            return std::max(rest.upper(0, k, sums[0]), rest.upper(1, k, sums[1]));
        };
        const auto test = [&](uint32_t code, float cutoff) { return bound(code) > cutoff; };
        std::vector<double> bounds;
        for (uint32_t code = 0; code < (1u << (2 * k)); ++code) bounds.push_back(bound(code));
        std::sort(bounds.begin(), bounds.end());
        const auto best = static_cast<float>(bounds.back());
        for (float cutoff :
             {std::nextafter(best, -1e9f), std::nextafter(std::nextafter(best, -1e9f), -1e9f),
              static_cast<float>(bounds[bounds.size() * 9 / 10])}) {
            const WindowFilter filter(table, cutoff);
            if (filter.offset() != 0) continue;  // a table at another offset
            ++checked;
            for (uint32_t kmer = 0; kmer < (1u << (2 * kFilterPrefix)); ++kmer)
                ASSERT_EQ(filter.passes(static_cast<uint16_t>(kmer)),
                          test(kmer >> (2 * (kFilterPrefix - k)), cutoff))
                    << m << " " << kmer;
        }
    }
    EXPECT_GT(checked, 100);
}

// The library scan decides blocks of 64 motifs with one lookup per start, and each motif's
// own filter decides most windows from a table of prefix sums and a bound on the rest: every
// hit of a library of widths 1 to 30 (zero matrix entries included, as with -p 0), with
// cutoffs on, just below and just above occurring scores, must be the hit that scoring every
// placement gives, bit for bit and in scan order (start, motif, strand), through the shared
// lookup and through each motif's own filter alike.
TEST(WindowFilterScan, LibraryScanSameHitsAsScoringEveryPlacement) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float skewed[4] = {0.3f, 0.2f, 0.2f, 0.3f};
    const auto [text, real] = scanTexts(rng, 2500, 6000);
    for (const std::string& seq : {text, real}) {
        std::vector<MotifTable> tables;
        std::vector<float> cutoffs;
        std::vector<WindowFilter> filters;
        std::vector<int32_t> ids;
        for (int m = 0; m < 90; ++m) {  // two blocks
            Motif motif;
            motif.length = 1 + m % 30;
            for (int i = 0; i < 4 * motif.length; ++i)
                motif.freq.push_back(m % 5 == 0 && unit(rng) < 0.2f ? 0.0f : unit(rng) + 0.02f);
            tables.emplace_back(motif, skewed);
            std::vector<float> scores;
            scanPlacements(tables.back(), encodeBases(seq), [&](int64_t, float f, float r) {
                scores.push_back(f);
                scores.push_back(r);
            });
            std::sort(scores.begin(), scores.end());
            float cutoff = scores.empty() ? 0 : scores[scores.size() - 1 - scores.size() / (5 + m)];
            if (m % 3 == 1) cutoff = std::nextafter(cutoff, -1e9f);
            if (m % 3 == 2) cutoff = std::nextafter(cutoff, 1e9f);
            cutoffs.push_back(cutoff);
            filters.emplace_back(tables.back(), cutoff, m % 4 ? kFilterPrefix : 6);
            ids.push_back(m);
        }
        // Reference: each motif's hits from every placement, merged into scan order.
        std::vector<MHit> expected;
        for (size_t m = 0; m < tables.size(); ++m)
            for (MHit hit : plainHits(tables[m], cutoffs[m], seq)) {
                hit.motif = static_cast<int32_t>(m);
                expected.push_back(hit);
            }
        std::stable_sort(expected.begin(), expected.end(), CompHitPos);
        // Each motif's own filter (the pair bound's lanes where the processor has them, and
        // the portable k-mer table); the shared lookup.
        for (auto [dense, lanes] : {std::pair{0.0, true}, {0.0, false}, {1.0, true}}) {
            const SharedFilter shared(filters, dense, dense);
            std::vector<MHit> got;
            const SequenceCodes codes(seq);
            for (int64_t from = 0; from <= codes.size(); from += 700)
                appendLibraryHits({tables, filters, cutoffs, ids, shared, lanes}, codes, got, from,
                                  from + 700);
            ASSERT_EQ(got.size(), expected.size()) << dense << " " << lanes;
            for (size_t k = 0; k < got.size(); ++k)
                ASSERT_TRUE(got[k].motif == expected[k].motif && sameHits({got[k]}, {expected[k]}))
                    << "hit " << k << " of motif " << expected[k].motif << " at "
                    << expected[k].start;
        }
    }
}

// The pair bound decides 32 or 64 starts a step in AVX2 lanes and one at a time in the
// portable loop: both must let the same starts through, for every count of starts (whole
// groups and tails), and never drop a start with a hit, down to a cutoff just under the best
// score and for motifs wide enough to sum hundreds of pairs.
TEST(PairBound, LanesAndLoopPassTheSameStartsAndKeepEveryHit) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float skewed[4] = {0.32f, 0.18f, 0.18f, 0.32f};
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "ACGT"[rng() % 4];
    const SequenceCodes sequence(text);
    const std::vector<uint8_t> pairs = pairCodes(sequence.codes);
    for (int width : {2, 3, 9, 16, 17, 30, 301}) {
        Motif motif;
        motif.length = width;
        for (int i = 0; i < 4 * width; ++i) motif.freq.push_back(unit(rng) + 0.02f);
        const MotifTable table(motif, skewed);
        std::vector<float> scores;
        scanPlacements(table, sequence.codes,
                       [&](int64_t, float f, float r) { scores.push_back(std::max(f, r)); });
        std::vector<float> sorted = scores;
        std::sort(sorted.begin(), sorted.end());
        const double gap = RestBounds(table, allBases()).delta();
        for (float cutoff :
             {std::nextafter(sorted.back(), -1e9f), sorted[sorted.size() * 999 / 1000],
              sorted[sorted.size() * 9 / 10], sorted.back()}) {
            const PairBound bound(table, cutoff, gap);
            ASSERT_TRUE(bound.usable());
            for (int64_t count : {int64_t{1}, int64_t{31}, int64_t{64}, int64_t{65},
                                  static_cast<int64_t>(scores.size())}) {
                std::vector<int32_t> loop(static_cast<size_t>(count)), lanes(loop.size());
                loop.resize(bound.candidatesPortable(pairs.data(), count, loop.data()));
                if (vectorPaths()) {
                    lanes.resize(bound.candidatesAvx2(pairs.data(), count, lanes.data()));
                    ASSERT_EQ(lanes, loop) << width << " " << cutoff << " " << count;
                }
                for (int64_t q = 0; q < count; ++q) {
                    if (scores[static_cast<size_t>(q)] <= cutoff) continue;
                    ASSERT_TRUE(std::binary_search(loop.begin(), loop.end(), q))
                        << width << " " << cutoff << " " << q;
                }
            }
        }
    }
}

// The distinct pair keys of a hit list, read through the table of seen pairs (off the table
// or sorted, by how full it is, the table reused from list to list as it grows and shrinks
// back), must be those of sorting every pair, for libraries too large for the table as well.
TEST(PairScan, DistinctPairKeysAsSortingEveryPair) {
    std::mt19937 rng(11);
    for (int round = 0; round < 40; ++round) {
        const int32_t ids = std::vector<int32_t>{5, 200, 3000, 5000, 40}[round % 5];
        std::vector<MHit> hits;
        int32_t start = 0;
        for (int k = static_cast<int>(rng() % 400); k > 0; --k) {
            start += static_cast<int32_t>(rng() % 4);
            hits.push_back(hit(static_cast<int32_t>(rng() % ids), start, 1.0f));
        }
        ASSERT_EQ(distinctPairKeys(hits, 30), sortedPairKeys(hits, 30)) << round;
    }
}

TEST(HitStage, NonBaseNearTheStartAndScoresOnTheCutoff) {
    // A 3-wide exact motif: the N at position 1 voids the windows at 0 and 1 only.
    Stage stage(">M1\tV$AAA\n1 0 0 0\n1 0 0 0\n1 0 0 0\n", ">g1\nANAAAAC\n>g2\nCCCACCGTTT\n");
    stage.settings.pseudocount = 0;
    stage.settings.overlapDistance = 0;
    EXPECT_EQ(motifStarts(stage.run().seqHits[0].hits), (Starts{{0, 2}, {0, 3}}));
    // A score exactly on the cutoff is no hit; just below it is.
    Motif motif;
    motif.length = 2;
    motif.freq = {0.7f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.7f, 0.1f};
    MotifTable table(motif, kUniformFreq);
    float forward, reverse;
    const std::vector<uint8_t> ag = encodeBases("AG");
    table.score(ag.data(), forward, reverse);
    std::vector<int32_t> starts;
    for (float cutoff : {forward, std::nextafter(forward, -1e9f)}) {
        std::vector<MHit> hits;
        appendMotifHits(table, WindowFilter(table, cutoff), cutoff, 0, SequenceCodes("AG"), hits,
                        starts);
        EXPECT_EQ(hits.size(), cutoff == forward ? 0u : 1u);
    }
}

TEST(HitStage, EqualScoresResolveByScanOrderNotMotifName) {
    // Two identical motifs, Z before A in the library, hit the same site with equal scores:
    // the later hit in scan order (A, later in the library) stays, although Z's name is the
    // larger.
    Stage stage(">Z\tV$Z\n1 0 0 0\n0 0 1 0\n>A\tV$A\n1 0 0 0\n0 0 1 0\n", ">g1\nCCAGCC\n");
    stage.settings.pseudocount = 0;
    MotifA library(stage.settings);
    stage.settings.seed = 1;
    HitA hits(stage.settings, library);
    ASSERT_EQ(hits.seqHits[0].hits.size(), 1u);
    EXPECT_EQ(hits.motifNames[hits.seqHits[0].hits[0].motif], "A");
}

namespace {

// The hit stage with chosen cutoffs and scan chunk, for comparison with a reference.
struct ScanProbe : HitStage {
    ScanProbe(Args settings, MotifA& library, const std::vector<float>& cutoffs, int64_t chunk)
        : HitStage(settings, Progress::silent()) {
        baseFreq = {0.3f, 0.2f, 0.2f, 0.3f};
        MotifScore(library);
        for (size_t m = 0; m < cutoffs.size(); ++m) library.motifs[m].cutoff = cutoffs[m];
        readCutoffs(library);
        scanChunk_ = chunk;
    }
    using HitStage::scanSequence;
    using HitStage::takeSequence;
};

}  // namespace

// Hits are reduced chunk by chunk to the strongest at each start as the scan proceeds; the
// thinned list must be the one that overlap removal gives on every raw hit, also with
// negative cutoffs (where truncated scores of exactly 0 occur) and across chunk borders.
TEST(HitStage, ScanningInChunksThinsAsTheWholeListDoes) {
    std::mt19937 rng(23);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::string motifText;
    for (int m = 0; m < 5; ++m) {
        motifText += ">M" + std::to_string(4 - m) + "\tV$X\n";
        for (int i = 0; i < 2 + m; ++i)
            motifText += std::to_string(unit(rng)) + " " + std::to_string(unit(rng)) + " " +
                         std::to_string(unit(rng)) + " " + std::to_string(unit(rng)) + "\n";
    }
    TempFile motifs(motifText);
    Args settings;
    settings.motifFile = motifs.path();
    settings.scoreThreshold = 1;
    MotifA library(settings);
    const float f[4] = {0.3f, 0.2f, 0.2f, 0.3f};
    for (int trial = 0; trial < 12; ++trial) {
        std::string text;
        for (int i = 0; i < 300 + 50 * trial; ++i)
            text += "AACGTTTAGN"[rng() % (trial % 3 ? 9 : 10)];
        std::vector<float> cutoffs;
        for (int m = 0; m < 5; ++m) cutoffs.push_back(-2.0f + 3.0f * unit(rng));
        settings.overlapDistance = trial % 6;
        // Reference: every raw hit in scan order, then overlap removal.
        std::vector<MHit> raw;
        std::vector<int32_t> starts;
        MotifNames names = library.nameTable();
        for (size_t m = 0; m < library.motifs.size(); ++m) {
            MotifTable table(library.motifs[m], f);
            appendMotifHits(table, WindowFilter(table, cutoffs[m]), cutoffs[m], names.idOfMotif[m],
                            SequenceCodes(text), raw, starts);
        }
        std::stable_sort(raw.begin(), raw.end(), CompHitPos);
        if (raw.size() > 1) raw = delHitOverlap(raw, settings.overlapDistance);
        for (int64_t chunk : {1, 7, 64, 4096}) {
            ScanProbe probe(settings, library, cutoffs, chunk);
            std::vector<MHit> got = probe.scanSequence(text);
            ASSERT_TRUE(std::equal(got.begin(), got.end(), raw.begin(), raw.end(),
                                   [](const MHit& a, const MHit& b) {
                                       return a.motif == b.motif && a.start == b.start &&
                                              a.strand == b.strand && a.score == b.score;
                                   }))
                << "trial " << trial << " chunk " << chunk << ": " << got.size() << " vs "
                << raw.size();
        }
    }
}
