// The permutations from one enumeration over the pool against the reference, a whole search
// per permutation: the same minimum p in every permutation, so the same fwer, and the same
// fdr wherever the enumeration says it is exact, on random cases chosen so that sets of
// every size, the largest included, are found and cut.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "FakeHits.hpp"
#include "modules/Discovery.hpp"
#include "modules/ModuleStats.hpp"
#include "modules/Permutations.hpp"

namespace {

const std::vector<std::string> kNames{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L"};

// `count` genes of `perGene` random hits (width 10) of the first `motifs` motifs in 600
// letters; a gene holds, with chance `plantedShare`, a random set of 5 to 9 motifs within
// 100 letters, so that large sets occur in some genes and not in others.
std::vector<SeqHit> genes(std::mt19937& random, const std::string& prefix, int count, int perGene,
                          int motifs, double plantedShare) {
    std::vector<SeqHit> out;
    std::uniform_real_distribution<double> chance(0, 1);
    for (int g = 0; g < count; ++g) {
        SeqHit gene{prefix + std::to_string(g), 600, {}};
        for (int h = 0; h < perGene; ++h) {
            const auto start = static_cast<int32_t>(random() % 590);
            gene.hits.push_back(hit(static_cast<int32_t>(random() % static_cast<uint32_t>(motifs)),
                                    start, start + 9));
        }
        if (chance(random) < plantedShare) {
            std::vector<int32_t> set(static_cast<size_t>(motifs));
            std::iota(set.begin(), set.end(), 0);
            std::shuffle(set.begin(), set.end(), random);
            set.resize(5 + random() % 5);
            for (size_t k = 0; k < set.size(); ++k) {
                const auto start = static_cast<int32_t>(200 + 10 * k);
                gene.hits.push_back(hit(set[k], start, start + 9));
            }
        }
        std::stable_sort(gene.hits.begin(), gene.hits.end(), CompHitPos);
        out.push_back(std::move(gene));
    }
    return out;
}

struct Case {
    int foreground, background, perGene, motifs;
    double planted;
    int32_t window, minGenes, minMotifs;
    int permutations;
};

// The statistics of the observed search, with permutations by the given method.
ModuleStatistics statistics(const Case& c, const FakeHits& fg, const FakeHits& bg,
                            PermutationMethod method, int threads, uint32_t seed) {
    Args args = searchSettings(c.window, c.minGenes, c.minMotifs, threads);
    args.permutations = c.permutations;
    args.permutationMethod = method;
    std::ostringstream report;
    const Discovery discovery(args, fg, report, Progress::silent(), ModuleOutput::ReportAndRecords);
    return ModuleStatistics(args, discovery, fg, &bg, seed);
}

}  // namespace

TEST(PoolPermutations, SameMinimaFwerAndExactFdrAsASearchPerPermutation) {
    const Case cases[] = {
        // Pairs tested; few hits.
        {14, 30, 6, 8, 0.0, 80, 3, 2, 60},
        // Dense genes with planted sets: sets of seven and eight, with candidates left.
        {30, 50, 10, 12, 0.7, 100, 6, 3, 40},
        // Motifs alone tested, -g 0; and -k 0, where a motif needs a partner all the same.
        {10, 20, 5, 6, 0.2, 60, 0, 1, 40},
        {10, 20, 2, 8, 0.1, 60, 3, 0, 40},
        // Only sets of the largest size pass -k.
        {20, 20, 12, 12, 0.9, 100, 3, 9, 30},
        // Two batches, the second part full; the fdr bound falls during the run.
        {12, 40, 8, 10, 0.4, 100, 3, 2, 300},
        // A small foreground in a large pool: sets whose every holder is drawn.
        {8, 600, 6, 10, 0.05, 80, 2, 2, 100},
        {6, 30, 6, 8, 0.3, 80, 2, 2, 200},
    };
    std::mt19937 random(7);
    int truncated = 0;
    for (const Case& c : cases) {
        const FakeHits fg(genes(random, "f", c.foreground, c.perGene, c.motifs, c.planted), kNames);
        const FakeHits bg(genes(random, "b", c.background, c.perGene, c.motifs, c.planted / 2),
                          kNames);
        const ModuleStatistics reference = statistics(c, fg, bg, PermutationMethod::Search, 2, 5);
        ASSERT_EQ(reference.permutationMinima.size(), static_cast<size_t>(c.permutations));
        for (int threads : {1, 2}) {
            const ModuleStatistics pool =
                statistics(c, fg, bg, PermutationMethod::Pool, threads, 5);
            const std::string where = "case with -k " + std::to_string(c.minMotifs) + ", " +
                                      std::to_string(threads) + " threads";
            EXPECT_EQ(pool.permutationMinima, reference.permutationMinima) << where;
            ASSERT_EQ(pool.rows.size(), reference.rows.size());
            // Counts are kept exact far enough for the fdr to be exact below 0.25 at least.
            if (pool.fdrExactBelow < 1) {
                EXPECT_GE(pool.fdrExactBelow, 0.25) << where;
            }
            truncated += pool.fdrExactBelow < 1;
            for (size_t k = 0; k < pool.rows.size(); ++k) {
                EXPECT_EQ(pool.rows[k].fwer, reference.rows[k].fwer) << where;
                if (*pool.rows[k].fdr < pool.fdrExactBelow)
                    EXPECT_EQ(pool.rows[k].fdr, reference.rows[k].fdr) << where << ", row " << k;
                else
                    EXPECT_LE(*pool.rows[k].fdr, *reference.rows[k].fdr) << where;
            }
        }
    }
    // The bound on the kept p-values took effect somewhere, so that its exactness was tried.
    EXPECT_GT(truncated, 0);
}
