// Ortholog groups: species layout of a group and the conserved-hit filter.
#include <gtest/gtest.h>

#include "FakeHits.hpp"
#include "TestUtil.hpp"
#include "hits/HitAO.hpp"

namespace {

constexpr int32_t M1 = 0, M2 = 1, M3 = 2;

SeqHit species(std::vector<MHit> hits) {
    return SeqHit{"g", 1000, std::move(hits)};
}

std::vector<int32_t> startsOf(const std::vector<MHit>& hits) {
    std::vector<int32_t> starts;
    for (const MHit& h : hits) starts.push_back(h.start);
    return starts;
}

using Starts = std::vector<int32_t>;

}  // namespace

TEST(OrthologLayout, SpeciesTexts) {
    using Texts = std::vector<std::string>;
    EXPECT_EQ(splitSpecies({"<AC", "GT", "<TT", "<", "<CC"}), (Texts{"ACGT", "TT", "CC"}));
    EXPECT_EQ(splitSpecies({"<AC", "GT", "<TT", "<CC", "<"}), (Texts{"ACGT", "TT", "CC", ""}));
    EXPECT_EQ(splitSpecies({"AAA", "CC", "<GG"}), (Texts{"AAACC", "GG"}));
    EXPECT_EQ(splitSpecies({}), (Texts{""}));
}

TEST(ConservedHits, OnlyPairsFoundInEverySpeciesCount) {
    std::vector<SeqHit> group{
        species({hit(M1, 10, 19), hit(M2, 30, 39), hit(M3, 50, 59)}),
        species({hit(M1, 5, 14), hit(M2, 100, 109), hit(M3, 400, 409)}),
    };
    EXPECT_TRUE(conservedHits(group, 200, 3).empty());
    EXPECT_EQ(startsOf(conservedHits(group, 200, 2)), (Starts{10, 30}));
    EXPECT_EQ(startsOf(conservedHits(group, 200, 1)), (Starts{10, 30, 50}));
    EXPECT_EQ(startsOf(conservedHits(group, 200, 0)), (Starts{10, 30, 50}));
}

TEST(ConservedHits, SingleSpeciesKeepsEveryHit) {
    std::vector<SeqHit> group{species({hit(M1, 0, 9), hit(M1, 500, 509)})};
    EXPECT_EQ(startsOf(conservedHits(group, 200, 3)), (Starts{0, 500}));
}

TEST(ConservedHits, PartnerScanStopsAtTheFirstHitOutsideTheWindow) {
    // A's scan stops at the long hit B, so A and C never pair.
    std::vector<MHit> reference{hit(M1, 0, 9), hit(M2, 10, 310), hit(M3, 20, 29)};
    std::vector<SeqHit> group{species(reference), species(reference)};
    EXPECT_EQ(startsOf(conservedHits(group, 200, 2)), (Starts{10, 20}));
}

TEST(ConservedHits, SameMotifSkippedAndRepeatedPartnersCountTwice) {
    std::vector<MHit> reference{hit(M1, 0, 9), hit(M2, 20, 29), hit(M2, 40, 49)};
    std::vector<SeqHit> group{species(reference), species({hit(M2, 0, 9), hit(M1, 50, 59)})};
    // M1 pairs with both M2 hits (2 counts); each M2 hit has 1.
    EXPECT_EQ(startsOf(conservedHits(group, 200, 3)), (Starts{0}));
    EXPECT_EQ(startsOf(conservedHits(group, 200, 2)), (Starts{0, 20, 40}));
    // The scan of M2 at 20 goes on past the M2 at 40 to the M1 at 60.
    std::vector<MHit> skip{hit(M2, 20, 29), hit(M2, 40, 49), hit(M1, 60, 69)};
    EXPECT_EQ(startsOf(conservedHits({species(skip), species(skip)}, 200, 2)),
              (Starts{20, 40, 60}));
}

TEST(ConservedHits, EmptyOrthologConservesNothing) {
    std::vector<SeqHit> group{species({hit(M1, 0, 9), hit(M2, 20, 29)}), species({})};
    EXPECT_TRUE(conservedHits(group, 200, 2).empty());
    EXPECT_EQ(conservedHits(group, 200, 1).size(), 2u);
}

TEST(HitStageO, ScansEverySpeciesWithOneComposition) {
    TempFile motifs(">M1\tV$AG\n1 0 0 0\n0 0 1 0\n>M2\tV$CC\n0 1 0 0\n0 1 0 0\n");
    TempFile seqs(">grp1 x\n<TTAGTTTCCTT\n<AGCC\n>grp2\nTTAGTTCC\n<TTTT\n");
    Args settings;
    settings.motifFile = motifs.path();
    settings.seqFile = seqs.path();
    settings.scoreThreshold = 1;
    settings.minMotifNumber = 2;
    settings.overlapDistance = 0;
    settings.pseudocount = 0;  // exact motifs: only AG (CT reversed) and CC (GG reversed) hit
    MotifA library(settings);
    settings.seed = 1;
    HitAO stage(settings, library);
    ASSERT_EQ(stage.seqHits.size(), 2u);
    EXPECT_EQ(stage.seqHits[0].length, 11);
    // grp1: reference AG+ at 2, CC+ at 7, AG- (CT) at 8; the second species pairs AG with CC
    // too. grp2: plain lines form the reference; the second species has no hit.
    EXPECT_EQ(startsOf(stage.seqHits[0].hits), (Starts{2, 7, 8}));
    EXPECT_TRUE(stage.seqHits[1].hits.empty());
    EXPECT_TRUE(stage.seqs.empty());
}

TEST(ConservedHits, APairMissingFromOneOfThreeSpeciesIsNotConserved) {
    std::vector<MHit> pair{hit(1, 10, 19), hit(2, 30, 39)};
    std::vector<SeqHit> group{{"", 100, pair}, {"", 100, pair}, {"", 100, {hit(1, 10, 19)}}};
    EXPECT_TRUE(conservedHits(group, 200, 2).empty());
    group[2].hits = pair;
    EXPECT_EQ(conservedHits(group, 200, 2).size(), 2u);
}
