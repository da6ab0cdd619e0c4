// rekul-scan as a user runs it: the report's genes scanned again give exactly the report's
// instances (the same window scan), written as BED sorted as bedtools sorts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "TestUtil.hpp"
#include "report/ReportReader.hpp"

namespace {

using Instance = std::tuple<std::string, std::string, int64_t, int64_t>;  // module, gene, span

std::multiset<Instance> reportedInstances(const std::string& path) {
    std::multiset<Instance> reported;
    ReportReader reader(path);
    for (ReportModule module; reader.next(module);)
        for (const ReportInstance& instance : module.instances) {
            int64_t end = 0;
            for (const ReportHit& hit : instance.hits) end = std::max(end, hit.end + 1);
            reported.emplace(module.id(), instance.gene, instance.hits.front().start, end);
        }
    return reported;
}

// rekul-scan's BED lines as instances on the genes; the genes in bedtools' order.
std::multiset<Instance> scannedInstances(const std::string& bed, bool& sorted) {
    std::multiset<Instance> scanned;
    std::vector<std::pair<std::string, int64_t>> order;
    std::istringstream lines(bed);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string gene, name;
        int64_t start = 0, end = 0;
        fields >> gene >> start >> end >> name;
        scanned.emplace(name.substr(0, name.find(':')), gene, start, end);
        order.emplace_back(gene, start);
    }
    sorted = std::is_sorted(order.begin(), order.end());
    return scanned;
}

}  // namespace

TEST(Scan, TheReportsGenesScannedAgainGiveItsInstances) {
    const std::string motifs = kExamples + "example.motifs", genes = kExamples + "example.fa";
    TempFile report(runProgram(REKUL_BIN, {"--quiet", "-g", "20", motifs, genes}).out,
                    "report.txt");
    const std::multiset<Instance> reported = reportedInstances(report.path());
    ASSERT_GT(reported.size(), 50u);
    const RunResult scan = runProgram(
        REKUL_SCAN_BIN, {"--quiet", "--modules", report.path(), "-g", "20", motifs, genes});
    ASSERT_EQ(scan.status, 0) << scan.err;
    bool sorted = false;
    EXPECT_EQ(scannedInstances(scan.out, sorted), reported);
    EXPECT_TRUE(sorted);

    // With the run's table: its scan settings and seed (a p-value cutoff read off a sample of
    // the composition of regions and genome windows together), and its filter.
    TempFile table("", "table.tsv");
    const std::vector<std::string> regions{"--regions",
                                           kExamples + "genome/peaks.bed",
                                           "--genome",
                                           kExamples + "genome/genome.fa",
                                           "--genomic-background",
                                           "5"};
    std::vector<std::string> run{"--quiet", "-m",      "0.001",     "-w",
                                 "150",     "--seed",  "1",         "--permutations",
                                 "100",     "--stats", table.path()};
    run.insert(run.end(), regions.begin(), regions.end());
    run.push_back(motifs);
    TempFile regionReport(runProgram(REKUL_BIN, run).out, "regions.txt");
    std::vector<std::string> again{"--quiet", "--modules", regionReport.path(), "--stats",
                                   table.path()};
    again.insert(again.end(), regions.begin(), regions.end());
    again.push_back(motifs);
    const RunResult rescan = runProgram(REKUL_SCAN_BIN, again);
    ASSERT_EQ(rescan.status, 0) << rescan.err;
    const std::multiset<Instance> onGenome = reportedInstances(regionReport.path());
    // The report names genes by region; rekul-scan places them on the genome: compare counts
    // by module.
    std::map<std::string, int> byModule, scannedByModule;
    for (const Instance& instance : onGenome) ++byModule[std::get<0>(instance)];
    for (const Instance& instance : scannedInstances(rescan.out, sorted))
        ++scannedByModule[std::get<0>(instance)];
    EXPECT_EQ(scannedByModule, byModule);
    again.insert(again.begin() + 1, {"--max-fwer", "0.05"});
    const RunResult filtered = runProgram(REKUL_SCAN_BIN, again);
    std::set<std::string> passing;
    for (const Instance& instance : scannedInstances(filtered.out, sorted))
        passing.insert(std::get<0>(instance));
    int rows = 0;
    std::istringstream lines(readFile(table.path()));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        if (fields.size() == 17 && fields[0] != "module" && std::stod(fields[13]) <= 0.05) ++rows;
    }
    EXPECT_EQ(static_cast<int>(passing.size()), rows);
    EXPECT_GT(rows, 0);
}

TEST(Scan, HitsPlacedOnTheGenomeAsTheReportPlacesThem) {
    const std::vector<std::string> regions{"--regions", kExamples + "genome/peaks.bed", "--genome",
                                           kExamples + "genome/genome.fa"};
    std::vector<std::string> args = regions;
    args.insert(args.begin(), "--quiet");
    args.push_back(kExamples + "example.motifs");
    TempFile report(runProgram(REKUL_BIN, args).out, "report.txt");
    // rekul-report's hits are placed as bedtools getfasta -s reads them (its tests check it).
    using Hit = std::tuple<std::string, int64_t, int64_t, std::string, std::string, std::string>;
    auto hits = [](const std::string& bed, char moduleEnd) {
        std::multiset<Hit> found;
        std::istringstream lines(bed);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("track", 0) == 0 || line[0] == '#') continue;
            std::istringstream fields(line);
            std::string chrom, name, score, strand;
            int64_t start = 0, end = 0;
            fields >> chrom >> start >> end >> name >> score >> strand;
            found.emplace(chrom, start, end, strand, name.substr(0, name.find(moduleEnd)),
                          name.substr(name.rfind(':') + 1));
        }
        return found;
    };
    const RunResult placed = runProgram(REKUL_REPORT_BIN, {"--bed", "--hits", report.path()});
    args.insert(args.begin(), {"--hits", "--modules", report.path()});
    const RunResult scan = runProgram(REKUL_SCAN_BIN, args);
    ASSERT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(hits(scan.out, '.'), hits(placed.out, ':'));
    EXPECT_GT(hits(scan.out, '.').size(), 100u);
}

TEST(Scan, HeldOutPeaksHoldTheModuleFarMoreOftenThanMatchedWindows) {
    // A module planted in 60 % of 80 peaks (tests/data/held-out, made by its script): found
    // on 40 of them and looked for in the other 40 against genome windows matched to them
    // (away from the 40 training peaks too).
    const std::string folder = std::string(DATA_DIR) + "/held-out/";
    TempFile genomeCopy(readFile(folder + "genome.fa"), "genome.fa");  // its index goes there
    const std::string genome = genomeCopy.path(), training = folder + "training.bed";
    TempFile report(runProgram(REKUL_BIN, {"--quiet", "-g", "15", "--regions", training, "--genome",
                                           genome, kExamples + "example.motifs"})
                        .out,
                    "report.txt");
    TempFile summary("", "summary.tsv");
    const RunResult scan = runProgram(
        REKUL_SCAN_BIN,
        {"--quiet", "--modules", report.path(), "--module", "M1", "--summary", summary.path(),
         "--regions", folder + "held-out.bed", "--genome", genome, "--genomic-background", "5",
         "--seed", "2", "--exclude", training, kExamples + "example.motifs"});
    ASSERT_EQ(scan.status, 0) << scan.err;
    std::istringstream rows(readFile(summary.path()));
    std::string header, row;
    std::getline(rows, header);
    std::getline(rows, row);
    std::vector<std::string> fields;
    std::istringstream cells(row);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    ASSERT_EQ(fields.size(), 11u) << row;
    const double held = std::stod(fields[5]) / std::stod(fields[6]);
    const double windows = std::stod(fields[7]) / std::stod(fields[8]);
    EXPECT_GE(held, 5 * windows) << row;
    EXPECT_LT(std::stod(fields[10]), 1e-4) << row;
}

namespace {

// The instances of --hits lines by name (M1.3), each its hits' positions on the gene (a hit
// in a minus-strand region counted from the region's end) and motifs, and each its fdr.
struct HandInstance {
    std::vector<std::pair<int64_t, std::string>> hits;
    std::string fdr;
};

std::map<std::string, HandInstance> handInstances(const std::string& bed,
                                                  const std::string& regionsPath) {
    std::vector<std::tuple<std::string, int64_t, int64_t, bool>> regions;
    std::istringstream regionLines(regionsPath.empty() ? "" : readFile(regionsPath));
    for (std::string chrom, name, score, strand; regionLines >> chrom;) {
        int64_t start = 0, end = 0;
        regionLines >> start >> end >> name >> score >> strand;
        regions.emplace_back(chrom, start, end, strand == "-");
    }
    std::map<std::string, HandInstance> instances;
    std::istringstream lines(bed);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string chrom, name, score, strand, p, e, fdr;
        int64_t start = 0, end = 0;
        fields >> chrom >> start >> end >> name >> score >> strand >> p >> e >> fdr;
        bool minus = false;
        for (const auto& [c, s, t, m] : regions)
            if (c == chrom && s <= start && end <= t) minus = m;
        HandInstance& instance = instances[name.substr(0, name.find(':'))];
        instance.hits.emplace_back(minus ? -end : start, name.substr(name.find(':') + 1));
        instance.fdr = fdr;
    }
    return instances;
}

// The smallest start-to-start span of consecutive hits holding every motif.
int64_t handTightness(std::vector<std::pair<int64_t, std::string>> hits, size_t motifs) {
    std::sort(hits.begin(), hits.end());
    int64_t best = INT64_MAX;
    for (size_t first = 0; first < hits.size(); ++first) {
        std::set<std::string> held;
        for (size_t last = first; last < hits.size(); ++last) {
            held.insert(hits[last].second);
            if (held.size() == motifs) {
                best = std::min(best, hits[last].first - hits[first].first);
                break;
            }
        }
    }
    return best;
}

int64_t lettersOf(const std::string& fasta) {
    int64_t letters = 0;
    std::istringstream lines(readFile(fasta));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '>') letters += static_cast<int64_t>(line.size());
    return letters;
}

}  // namespace

TEST(Scan, TheFdrIsTheHandCountOfTheMatchedWindows) {
    // The instances of the held-out peaks and of their matched windows (written out and
    // scanned on their own), each instance's tightness recounted from its hits: at each
    // threshold, windows at least as tight, scaled to the peaks' letters, over peaks at least
    // as tight, the smallest over thresholds at or above. (The windows scanned alone score
    // against their own composition; at the fixed default cutoff they keep the same hits.)
    const std::string folder = std::string(DATA_DIR) + "/held-out/";
    TempFile genome(readFile(folder + "genome.fa"), "genome.fa"), windows("", "windows.fa");
    const std::string motifs = kExamples + "example.motifs", regions = folder + "held-out.bed";
    TempFile report(
        runProgram(REKUL_BIN, {"--quiet", "-g", "15", "--regions", folder + "training.bed",
                               "--genome", genome.path(), motifs})
            .out,
        "report.txt");
    const RunResult target = runProgram(
        REKUL_SCAN_BIN, {"--quiet", "--hits", "--modules", report.path(), "--module", "M1",
                         "--regions", regions, "--genome", genome.path(), "--genomic-background",
                         "3", "--seed", "2", "--write-background", windows.path(), motifs});
    ASSERT_EQ(target.status, 0) << target.err;
    const RunResult matched =
        runProgram(REKUL_SCAN_BIN, {"--quiet", "--hits", "--modules", report.path(), "--module",
                                    "M1", motifs, windows.path()});
    ASSERT_EQ(matched.status, 0) << matched.err;
    int64_t regionLetters = 0;
    std::istringstream regionLines(readFile(regions));
    for (std::string chrom, rest; regionLines >> chrom;) {
        int64_t start = 0, end = 0;
        regionLines >> start >> end;
        std::getline(regionLines, rest);
        regionLetters += end - start;
    }
    const double scale =
        static_cast<double>(regionLetters) / static_cast<double>(lettersOf(windows.path()));
    std::vector<int64_t> peaks, nulls;
    const auto found = handInstances(target.out, regions);
    for (const auto& [name, instance] : found) peaks.push_back(handTightness(instance.hits, 4));
    for (const auto& [name, instance] : handInstances(matched.out, ""))
        nulls.push_back(handTightness(instance.hits, 4));
    ASSERT_GT(peaks.size(), 10u);
    ASSERT_GT(nulls.size(), 3u);
    size_t k = 0;
    for (const auto& [name, instance] : found) {
        double best = 1;
        for (int64_t threshold : peaks) {
            if (threshold < peaks[k]) continue;
            const auto atMost = [&](const std::vector<int64_t>& values) {
                return static_cast<double>(std::count_if(
                    values.begin(), values.end(), [&](int64_t t) { return t <= threshold; }));
            };
            best = std::min(best, atMost(nulls) * scale / atMost(peaks));
        }
        EXPECT_NEAR(std::stod(instance.fdr), best, 1e-5 * best + 1e-12) << name;
        ++k;
    }
}

TEST(Scan, NoOutputLandsOnAnInput) {
    const std::string motifs = kExamples + "example.motifs", genes = kExamples + "example.fa";
    const std::string text = runProgram(REKUL_BIN, {"--quiet", "-g", "20", motifs, genes}).out;
    TempFile report(text, "report.txt");
    EXPECT_REFUSED(runProgram(REKUL_SCAN_BIN, {"--modules", report.path(), "--summary",
                                               report.path(), motifs, genes}),
                   "--summary");
    EXPECT_EQ(readFile(report.path()), text);
}
