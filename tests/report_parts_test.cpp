// The rules under rekul-report's forms: logo heights, sub-modules and closed modules, BED
// order and scores.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "common/Log.hpp"
#include "report/Coordinates.hpp"
#include "report/ModuleFamilies.hpp"
#include "report/MotifCatalog.hpp"
#include "report/StatsTable.hpp"
#include "report/Writers.hpp"

namespace {

ReportModule moduleOf(int64_t number, std::vector<std::string> motifs,
                      const std::vector<std::string>& genes) {
    ReportModule module;
    module.number = number;
    module.motifs = std::move(motifs);
    for (const std::string& gene : genes) module.instances.push_back({gene, {}});
    return module;
}

}  // namespace

TEST(Logo, HeightsAreTheInformationOfEachColumn) {
    const float sure[4] = {1, 0, 0, 0}, half[4] = {0.5f, 0, 0.5f, 0},
                even[4] = {0.25f, 0.25f, 0.25f, 0.25f}, skew[4] = {0.7f, 0.1f, 0.1f, 0.1f};
    EXPECT_DOUBLE_EQ(logoColumn(sure)[0], 2);
    EXPECT_DOUBLE_EQ(logoColumn(half)[0], 0.5);
    EXPECT_DOUBLE_EQ(logoColumn(half)[2], 0.5);
    EXPECT_DOUBLE_EQ(logoColumn(half)[1], 0);
    EXPECT_NEAR(logoColumn(even)[3], 0, 1e-12);
    // 2 + 0.7 log2 0.7 + 3 x 0.1 log2 0.1 = 0.6432 bits, shared as the frequencies.
    const double information = 2 + 0.7 * std::log2(0.7) + 0.3 * std::log2(0.1);
    EXPECT_NEAR(logoColumn(skew)[0], 0.7 * information, 1e-6);
    EXPECT_NEAR(logoColumn(skew)[1], 0.1 * information, 1e-6);
}

// M1 ABC in g1 g2; M2 AB in g1 g2 (the genes of M1: not closed); M3 AC in g1 g2 g3 (more
// genes: closed); M4 BD in g1; M5 ABCD in g1 (holds M4's genes); M6 E alone.
TEST(ModuleFamiliesTest, ParentsAndClosedOnKnownSubModules) {
    ModuleFamilies families;
    families.add(moduleOf(1, {"A", "B", "C"}, {"g1", "g2", "g2"}));
    families.add(moduleOf(2, {"B", "A"}, {"g2", "g1"}));
    families.add(moduleOf(3, {"A", "C"}, {"g1", "g2", "g3"}));
    families.add(moduleOf(4, {"B", "D"}, {"g1"}));
    families.add(moduleOf(5, {"A", "B", "C", "D"}, {"g1"}));
    families.add(moduleOf(6, {"E"}, {"g1"}));
    families.add(moduleOf(7, {"A", "C", "B"}, {"g1"}));  // the same motifs as M1: no parent
    families.resolve();
    const int64_t parents[] = {5, 5, 5, 5, 0, 0, 5};
    const bool closed[] = {true, false, true, false, true, true, false};
    for (int64_t m = 1; m <= 7; ++m) {
        EXPECT_EQ(families.parent(m), parents[m - 1]) << "M" << m;
        EXPECT_EQ(families.closed(m), closed[m - 1]) << "M" << m;
    }
    // Among equally large supersets, the first in report order.
    ModuleFamilies tie;
    tie.add(moduleOf(1, {"A", "B", "X"}, {"g1"}));
    tie.add(moduleOf(2, {"A", "B", "Y"}, {"g1"}));
    tie.add(moduleOf(3, {"A", "B"}, {"g1"}));
    tie.resolve();
    EXPECT_EQ(tie.parent(3), 1);
    EXPECT_FALSE(tie.closed(3));
}

TEST(SortedBed, ChromosomeThenStartNumericallyEachLineOnce) {
    const std::string lines =
        "chr2\t5\t9\tM1:g\t0\t.\n"
        "chr10\t100\t120\tM1:g\t0\t.\n"
        "chr10\t20\t30\tM2:g\t0\t.\n"
        "chr2\t5\t9\tM1:g\t0\t.\n"
        "chr10\t20\t30\tM1:g\t0\t.\n";
    std::ostringstream sorted, none;
    writeSortedBed(sorted, lines);
    EXPECT_EQ(sorted.str(),
              "chr10\t20\t30\tM1:g\t0\t.\n"
              "chr10\t20\t30\tM2:g\t0\t.\n"
              "chr10\t100\t120\tM1:g\t0\t.\n"
              "chr2\t5\t9\tM1:g\t0\t.\n");
    writeSortedBed(none, "");
    EXPECT_EQ(none.str(), "");
}

TEST(BedScoreTest, TenTimesMinusLogTenOfProbabilityFwerOrQ) {
    ReportModule module;
    const std::pair<double, int> cases[] = {
        {1, 0}, {0.5, 3}, {1e-5, 50}, {1e-99, 990}, {1e-101, 1000}, {0, 1000}, {std::nan(""), 0}};
    for (const auto& [p, score] : cases) {
        module.probability = p;
        EXPECT_EQ(bedScore(module), score) << p;
    }
    // With a table: its fwer, or its q where the table has no fwer.
    ModuleSignificance row;
    row.q = 1e-3;
    row.fwerValue = std::nan("");
    module.significance = &row;
    EXPECT_EQ(bedScore(module), 30);
    row.fwerValue = 1e-2;
    EXPECT_EQ(bedScore(module), 20);
}

// An ortholog group whose title names a region per species is placed on the reference
// species' region, the first one, its chromosome without the species' prefix; a gene
// named as bedtools getfasta -name -s names it is placed with no sequence file at all.
TEST(GeneCoordinatesTest, OrthologGroupsOnTheReferenceAndGetfastaNamesWithoutAFile) {
    const std::string reference(100, 'A'), other(120, 'C');
    const std::string groups = testing::TempDir() + "groups.fa";
    std::ofstream(groups) << ">blk0_hg19_chr11:1001-1100 danRer7_chr25:501-620(+)\n<" << reference
                          << "\n<" << other << "\n";
    std::string warnings;
    const LogSink before = setLogSink([&](const std::string& line) { warnings += line; });
    const GeneCoordinates placed(groups);
    setLogSink(before);
    const Placement hit = placed.place("blk0_hg19_chr11:1001-1100", 10, 19, '+');
    EXPECT_EQ(hit.seqid, "chr11");
    EXPECT_EQ(hit.start, 1010);
    EXPECT_EQ(hit.end, 1020);
    EXPECT_EQ(warnings, "");
    const GeneCoordinates none;
    const Placement minus = none.place("peak7::chr2:200-300(-)", 0, 9, '+');
    EXPECT_EQ(minus.seqid, "chr2");
    EXPECT_EQ(minus.start, 290);
    EXPECT_EQ(minus.end, 300);
    EXPECT_EQ(minus.strand, '-');
    EXPECT_EQ(none.place("plain_gene", 0, 9, '+').seqid, "plain_gene");
}

// --sort orders by increasing value, a value that is not a number last.
TEST(SortOrderTest, SmallerFirstNotANumberLast) {
    const double nan = std::nan("");
    EXPECT_TRUE(moreSignificant(0.01, 0.5));
    EXPECT_FALSE(moreSignificant(0.5, 0.01));
    EXPECT_TRUE(moreSignificant(1.0, nan));
    EXPECT_FALSE(moreSignificant(nan, 1.0));
    EXPECT_FALSE(moreSignificant(nan, nan));
}
