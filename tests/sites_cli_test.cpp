// Sites from another scanner (--sites): a BED of a run's own hits gives that run's report and
// table byte for byte, on FASTA genes and on regions of a genome (both strands); sites that
// do not fit and options that act on a scan are refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "TestUtil.hpp"
#include "common/Text.hpp"
#include "rekul.hpp"

namespace {

const std::string kMotifs = kExamples + "example.motifs";
const std::string kGenes = kExamples + "example.fa";
const std::string kGenome = kExamples + "genome/genome.fa";
const std::string kPeaks = kExamples + "genome/peaks.bed";

// Where a gene lies: its chromosome, start and end on the genome, and its strand; for FASTA
// genes the gene itself.
struct Place {
    std::string chrom;
    int64_t start = 0, end = 0;
    bool minus = false;
};

// The hits of a scan with `files` as a BED of sites, in genome coordinates where `places`
// gives each gene's place.
std::string sitesOf(const std::vector<std::string>& options, const std::vector<std::string>& files,
                    const std::vector<Place>& places = {}) {
    std::vector<std::pair<std::string, std::string>> named;
    for (size_t k = 0; k < options.size(); k += 2) named.emplace_back(options[k], options[k + 1]);
    const ScanResult scan = scanHits(settingsOf(Program::Rekul, named, files));
    std::string bed;
    for (size_t g = 0; g < scan.genes.size(); ++g) {
        for (const MHit& hit : scan.genes[g].hits) {
            int64_t start = hit.start, end = hit.end + 1;
            char strand = hit.strand;
            std::string chrom = scan.genes[g].name;
            if (!places.empty()) {
                const Place& place = places[g];
                chrom = place.chrom;
                if (place.minus) {
                    start = place.end - 1 - hit.end;
                    end = place.end - hit.start;
                    strand = strand == '+' ? '-' : '+';
                } else {
                    start += place.start;
                    end += place.start;
                }
            }
            char score[32];
            std::snprintf(score, sizeof score, "%.2f", static_cast<double>(hit.score));
            bed += chrom + "\t" + std::to_string(start) + "\t" + std::to_string(end) + "\t" +
                   scan.motifNames[static_cast<size_t>(hit.motif)] + "\t" + score + "\t" + strand +
                   "\n";
        }
    }
    return bed;
}

std::vector<Place> peakPlaces() {
    std::vector<Place> places;
    std::istringstream lines(readFile(kPeaks));
    for (std::string chrom, name, score, strand; lines >> chrom;) {
        Place place{chrom};
        lines >> place.start >> place.end >> name >> score >> strand;
        place.minus = strand == "-";
        places.push_back(place);
    }
    return places;
}

std::string withoutCommand(const std::string& table) {
    return table.substr(0, table.find("# command: ")) +
           table.substr(table.find('\n', table.find("# command: ")));
}

}  // namespace

TEST(Sites, ABedOfARunsOwnHitsGivesThatRunsReport) {
    // FASTA genes, with a background of genes and the table.
    TempFile background(replaceAll("\n" + readFile(kGenes), "\n>", "\n>bg_").substr(1));
    const std::string own = sitesOf({}, {kMotifs, kGenes});
    TempFile sites(own + sitesOf({}, {kMotifs, background.path()}), "sites.bed");
    TempFile foregroundSites(own, "foreground.bed"),
        backgroundSites(sitesOf({}, {kMotifs, background.path()}), "background.bed");
    TempFile scanned("", "scanned.tsv"), taken("", "taken.tsv");
    const std::vector<std::string> stats{
        "--seed", "4", "--permutations", "200", "--background", background.path(), "--stats"};
    auto run = [&](std::vector<std::string> args, const TempFile& table) {
        args.insert(args.begin(), stats.begin(), stats.end());
        args.insert(args.begin() + static_cast<long>(stats.size()), table.path());
        return runProgram(REKUL_BIN, args);
    };
    const RunResult scan = run({kMotifs, kGenes}, scanned);
    const RunResult take = run({"--sites", sites.path(), kGenes}, taken);
    ASSERT_EQ(take.status, 0) << take.err;
    EXPECT_FALSE(scan.out.empty());
    EXPECT_EQ(take.out, scan.out);
    EXPECT_EQ(withoutCommand(readFile(taken.path())), withoutCommand(readFile(scanned.path())));
    // The background's sites from a file of their own.
    const RunResult apart = run(
        {"--sites", foregroundSites.path(), "--background-sites", backgroundSites.path(), kGenes},
        taken);
    EXPECT_EQ(apart.out, scan.out);
    EXPECT_EQ(withoutCommand(readFile(taken.path())), withoutCommand(readFile(scanned.path())));

    // Regions of a genome on both strands: the sites in genome coordinates.
    TempFile placed(sitesOf({"regions", kPeaks, "genome", kGenome}, {kMotifs}, peakPlaces()),
                    "placed.bed");
    const RunResult regions =
        runProgram(REKUL_BIN, {"--regions", kPeaks, "--genome", kGenome, kMotifs});
    const RunResult fromSites =
        runProgram(REKUL_BIN, {"--sites", placed.path(), "--regions", kPeaks, "--genome", kGenome});
    ASSERT_EQ(fromSites.status, 0) << fromSites.err;
    EXPECT_FALSE(regions.out.empty());
    EXPECT_EQ(fromSites.out, regions.out);
}

TEST(Sites, SitesThatDoNotFitAndOptionsOfAScanAreRefused) {
    TempFile past("gene01\t590\t601\tM0001\t5\t+\n", "past.bed");
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--sites", past.path(), kGenes}),
                   "past.bed line 1: the site ends at 601, past the end of gene gene01 (600 "
                   "letters)");
    TempFile backwards("gene01\t20\t10\tM0001\n", "backwards.bed");
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--sites", backwards.path(), kGenes}),
                   "backwards.bed line 1: the site ends before it starts");
    TempFile unnamed("gene01\t10\t20\n", "unnamed.bed");
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--sites", unnamed.path(), kGenes}),
                   "unnamed.bed line 1: a site needs chromosome, start, end and the motif's name");
    TempFile site("gene01\t10\t20\tM0001\t.\t.\n", "site.bed");
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--sites", site.path(), kMotifs, kGenes}),
                   "Error: --sites takes the place of the motif file");
    EXPECT_REFUSED(
        runProgram(REKUL_BIN, {"--sites", site.path(), "--shuffled-background", "2", kGenes}),
        "Error: --sites cannot be used with --shuffled-background or --match");
    EXPECT_REFUSED(runProgram(REKULO_BIN, {"--sites", site.path(), kGenes}),
                   "Error: rekulo takes no --sites");
    // The sites are an input: no table may be written over them.
    TempFile background(replaceAll("\n" + readFile(kGenes), "\n>", "\n>bg_").substr(1));
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--sites", site.path(), "--background", background.path(),
                                          "--stats", site.path(), kGenes}),
                   "--stats");
    EXPECT_EQ(readFile(site.path()), "gene01\t10\t20\tM0001\t.\t.\n");
}
