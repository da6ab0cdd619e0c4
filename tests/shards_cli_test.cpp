// Permutations split into shards (--permutation-shard) and joined by rekul-report
// --merge-permutations: the merged table is the table of one run of all the permutations,
// for every kind of background and both methods; shards that do not make one table are
// refused and nothing is written.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestUtil.hpp"
#include "common/Text.hpp"

namespace {

const std::string kMotifs = kExamples + "example.motifs";
const std::string kGenes = kExamples + "example.fa";
const std::string kGenome = kExamples + "genome/genome.fa";
const std::string kPeaks = kExamples + "genome/peaks.bed";

// The table without its `# command` line, the one line shards may change.
std::string withoutCommand(const std::string& table) {
    std::string kept;
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("# command: ", 0) != 0) kept += line + "\n";
    return kept;
}

// The table of `settings` with 1,000 permutations of `seed`, whole or from shard K of N.
std::string tableOf(const std::vector<std::string>& settings, const std::string& seed,
                    const std::string& shard = "") {
    TempFile table("", "table.tsv");
    std::vector<std::string> args{"--quiet", "--seed",  seed,        "--permutations",
                                  "1000",    "--stats", table.path()};
    if (!shard.empty()) args.insert(args.end(), {"--permutation-shard", shard});
    args.insert(args.end(), settings.begin(), settings.end());
    const RunResult run = runProgram(REKUL_BIN, args);
    EXPECT_EQ(run.status, 0) << run.err;
    return readFile(table.path());
}

// rekul-report --merge-permutations on shard files holding `shards`.
RunResult merged(const std::vector<std::string>& shards) {
    std::vector<std::unique_ptr<TempFile>> files;
    std::vector<std::string> args{"--merge-permutations"};
    for (size_t k = 0; k < shards.size(); ++k) {
        files.push_back(std::make_unique<TempFile>(shards[k], "shard" + std::to_string(k)));
        args.push_back(files.back()->path());
    }
    return runProgram(REKUL_REPORT_BIN, args);
}

}  // namespace

TEST(Shards, FourShardsMergeToTheTableOfOneRun) {
    TempFile background(replaceAll("\n" + readFile(kGenes), "\n>", "\n>bg_").substr(1));
    const std::vector<std::pair<std::string, std::vector<std::string>>> kinds{
        {"genes", {"--background", background.path(), kMotifs, kGenes}},
        {"search",
         {"--background", background.path(), "--permutation-method", "search", kMotifs, kGenes}},
        {"strata", {"--background", background.path(), "--stratify", "gc", kMotifs, kGenes}},
        {"shuffled", {"--shuffled-background", "3", kMotifs, kGenes}},
        {"genomic",
         {"--regions", kPeaks, "--genome", kGenome, "--genomic-background", "5", kMotifs}}};
    for (const auto& [name, kind] : kinds) {
        for (const std::string seed : {"1", "2", "3"}) {
            SCOPED_TRACE(name + ", seed " + seed);
            const std::string whole = tableOf(kind, seed);
            std::vector<std::string> shards;
            // Given out of order: the merge places each by its number.
            for (const std::string shard : {"3/4", "1/4", "4/4", "2/4"})
                shards.push_back(tableOf(kind, seed, shard));
            const RunResult merge = merged(shards);
            ASSERT_EQ(merge.status, 0) << merge.err;
            EXPECT_EQ(withoutCommand(merge.out), withoutCommand(whole));
            EXPECT_NE(whole.find("# permutations: 1000\n"), std::string::npos);
        }
    }
}

TEST(Shards, ShardsThatMakeNoOneTableAreRefused) {
    TempFile background(replaceAll("\n" + readFile(kGenes), "\n>", "\n>bg_").substr(1));
    const std::vector<std::string> kind{"--background", background.path(), kMotifs, kGenes};
    const std::string one = tableOf(kind, "1", "1/2"), two = tableOf(kind, "1", "2/2");
    EXPECT_REFUSED(merged({one}), "Error: permutation shard 2/2 is missing");
    EXPECT_REFUSED(merged({one, one}), "are both shard 1/2");
    EXPECT_REFUSED(merged({one, tableOf(kind, "2", "2/2")}), "holds another table than");
    EXPECT_REFUSED(merged({one, tableOf(kind, "1", "2/3")}), "is one of 3,");
    EXPECT_REFUSED(merged({one, readFile(kGenes)}), "not a permutation shard");
    // A shard cut short reads as damaged, with its line.
    EXPECT_REFUSED(merged({one, two.substr(0, two.size() / 2)}), " line ");

    TempFile table("", "t.tsv");
    const std::vector<std::string> base{"--background", background.path(), "--stats",
                                        table.path(),   kMotifs,           kGenes};
    auto refused = [&](std::vector<std::string> args) {
        args.insert(args.end(), base.begin(), base.end());
        return runProgram(REKUL_BIN, args);
    };
    EXPECT_REFUSED(refused({"--permutations", "10", "--permutation-shard", "1/2"}),
                   "Error: --permutation-shard needs --seed");
    EXPECT_REFUSED(refused({"--seed", "1", "--permutations", "3", "--permutation-shard", "1/4"}),
                   "into more shards than there are permutations");
    EXPECT_REFUSED(refused({"--seed", "1", "--permutations", "3", "--permutation-shard", "3/2"}),
                   "Error: --permutation-shard takes K/N with 1 <= K <= N, not 3/2");
}
