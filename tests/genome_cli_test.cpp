// Regions of a genome as genes (--regions, --genome), checked against the field's own tools:
// the same report as the regions cut by bedtools getfasta -name -s, letters that samtools
// faidx reads alike, a genomic background clear of the regions and matched in length and GC
// (counted by bedtools nuc), genome-placed files that bedtools turns back into the hit
// letters, and every refusal with its file and line. Tests that need a tool skip without it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "TestUtil.hpp"

namespace {

const std::string kMotifs = DATA_DIR "/insect30.motifs";

bool have(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string shell(const std::string& command) {
    return runProgram("sh", {"-c", command}).out;
}

std::map<std::string, std::string> readFasta(const std::string& path) {
    std::map<std::string, std::string> entries;
    std::istringstream in(readFile(path));
    std::string line, name;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '>')
            name = line.substr(1, line.find_first_of(" \t") - 1);
        else
            entries[name] += line;
    }
    return entries;
}

std::string reverseComplement(std::string text) {
    std::reverse(text.begin(), text.end());
    for (char& c : text) {
        const std::string from = "ACGTNacgtn", to = "TGCANtgcan";
        if (const size_t at = from.find(c); at != std::string::npos) c = to[at];
    }
    return text;
}

struct Interval {
    std::string chrom;
    int64_t start, end;
};

// A folder with a genome of random letters (chr1 starts in lower case, chr2 holds a run of
// N), and regions of distinct lengths on both strands, one of them at chr1's first base and
// one at chrS's last.
class GenomeFolder {
  public:
    GenomeFolder() : holder_("", "genome.fa") {
        dir_ = std::filesystem::path(holder_.path()).parent_path().string();
        std::mt19937 random(11);
        std::ofstream fasta(genome());
        for (const auto& [chrom, length] : std::vector<std::pair<std::string, int>>{
                 {"chr1", 6000}, {"chr2", 5000}, {"chrS", 400}}) {
            std::string letters;
            for (int i = 0; i < length; ++i) letters += "ACGT"[random() % 4];
            if (chrom == "chr1")
                for (int i = 0; i < 300; ++i)
                    letters[i] = static_cast<char>(std::tolower(letters[i]));
            if (chrom == "chr2") letters.replace(1000, 100, std::string(100, 'N'));
            fasta << ">" << chrom << " a description\n";
            for (size_t at = 0; at < letters.size(); at += 70)
                fasta << letters.substr(at, 70) << "\n";
            lengths_[chrom] = length;
        }
        std::ofstream bed(regions());
        bed << "track name=peaks\n# regions\nbrowser position chr1:1-100\n";
        int64_t start = 0;
        for (int i = 0; i < 16; ++i) {
            const std::string chrom = i < 9 ? "chr1" : "chr2";
            if (i == 9) start = 0;
            const int64_t length = 150 + 7 * i;
            bed << chrom << "\t" << start << "\t" << start + length << "\tpeak" << i << "\t0\t"
                << (i % 2 ? "-" : "+") << "\n";
            intervals_.push_back({chrom, start, start + length});
            start += length + 450;
        }
        bed << "chrS\t260\t400\tlast\t0\t-\n";
        intervals_.push_back({"chrS", 260, 400});
    }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    std::string genome() const { return file("genome.fa"); }
    std::string regions() const { return file("peaks.bed"); }
    const std::vector<Interval>& intervals() const { return intervals_; }
    int64_t length(const std::string& chrom) const { return lengths_.at(chrom); }

  private:
    TempFile holder_;
    std::string dir_;
    std::vector<Interval> intervals_;
    std::map<std::string, int64_t> lengths_;
};

std::vector<std::string> regionRun(const GenomeFolder& folder, const std::string& genome,
                                   std::vector<std::string> more = {}) {
    std::vector<std::string> args{
        "--quiet",        "-g",       "2",   "-k", "2", "-m", "3", "--regions",
        folder.regions(), "--genome", genome};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(kMotifs);
    return args;
}

// rekul on the folder's genome with a BED file of the given lines, named `name`.
RunResult runOnRegions(const GenomeFolder& folder, const std::string& name,
                       const std::string& lines) {
    std::ofstream(folder.file(name)) << lines;
    return runProgram(REKUL_BIN,
                      {"--regions", folder.file(name), "--genome", folder.genome(), kMotifs});
}

int gcBinOf(double gc) {
    const double edges[] = {0.20, 0.25, 0.30, 0.35, 0.40, 0.45, 0.50, 0.60, 0.70, 0.80};
    int bin = 0;
    for (double edge : edges) bin += gc >= edge;
    return bin;
}

}  // namespace

TEST(RegionsCli, SameReportAsTheBedtoolsCutOnPlainAndBgzipGenomes) {
    if (!have("bedtools") || !have("bgzip")) GTEST_SKIP() << "bedtools or bgzip is not installed";
    const GenomeFolder folder;
    const std::string cut = folder.file("cut.fa");
    shell("bedtools getfasta -fi " + shellQuote(folder.genome()) + " -bed " +
          shellQuote(folder.regions()) + " -name -s > " + shellQuote(cut));
    shell("bgzip -c " + shellQuote(folder.genome()) + " > " + shellQuote(folder.file("g.fa.gz")));
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"-l"}}) {
        std::vector<std::string> plain{"--quiet", "-g", "2", "-k", "2", "-m", "3"};
        plain.insert(plain.end(), extra.begin(), extra.end());
        plain.insert(plain.end(), {kMotifs, cut});
        const RunResult fasta = runProgram(REKUL_BIN, plain);
        ASSERT_EQ(fasta.status, 0) << fasta.err;
        ASSERT_NE(fasta.out.find("last::chrS:260-400(-)"), std::string::npos);
        for (const std::string& genome : {folder.genome(), folder.file("g.fa.gz")}) {
            const RunResult regions = runProgram(REKUL_BIN, regionRun(folder, genome, extra));
            EXPECT_EQ(regions.status, 0) << regions.err;
            // Compared whole: a line-by-line diff of two long reports would take too long.
            EXPECT_TRUE(regions.out == fasta.out) << genome;
        }
    }
    // The index is built beside the genome, once; an index older than its genome is not
    // trusted, since it may point at letters that moved.
    EXPECT_TRUE(std::filesystem::exists(folder.genome() + ".fai"));
    EXPECT_TRUE(std::filesystem::exists(folder.file("g.fa.gz.gzi")));
    std::filesystem::last_write_time(
        folder.genome() + ".fai",
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    const RunResult stale = runProgram(REKUL_BIN, regionRun(folder, folder.genome()));
    EXPECT_NE(
        stale.err.find("Warning: the index " + folder.genome() + ".fai is older than the genome"),
        std::string::npos)
        << stale.err;
}

TEST(RegionsCli, GenomicBackgroundIsClearOfRegionsMatchedAndReadLikeSamtools) {
    if (!have("samtools") || !have("bedtools")) GTEST_SKIP() << "samtools or bedtools is missing";
    const GenomeFolder folder;
    std::ofstream(folder.file("exclude.bed")) << "chr2\t2000\t3500\nchrUn\t0\t10\n";
    auto drawn = [&](const std::string& seed, const std::string& out) {
        return runProgram(REKUL_BIN,
                          regionRun(folder, folder.genome(),
                                    {"--genomic-background", "3", "--exclude",
                                     folder.file("exclude.bed"), "--seed", seed, "--stats",
                                     folder.file("s.tsv"), "--write-background", out}));
    };
    const RunResult run = drawn("5", folder.file("bg.fa"));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::map<std::string, std::string> windows = readFasta(folder.file("bg.fa"));
    ASSERT_GT(windows.size(), 30u);
    std::map<int64_t, std::string> regionOfLength;  // every region has a length of its own
    const std::map<std::string, std::string> cut = [&] {
        shell("bedtools getfasta -fi " + shellQuote(folder.genome()) + " -bed " +
              shellQuote(folder.regions()) + " > " + shellQuote(folder.file("plain.fa")));
        return readFasta(folder.file("plain.fa"));
    }();
    std::ofstream bed(folder.file("windows.bed"));
    for (const auto& [name, letters] : windows) {
        const size_t colon = name.rfind(':'), dash = name.rfind('-');
        const std::string chrom = name.substr(0, colon);
        const int64_t start = std::stoll(name.substr(colon + 1)),
                      end = std::stoll(name.substr(dash + 1));
        EXPECT_GE(start, 0);
        EXPECT_LE(end, folder.length(chrom)) << name;
        for (const Interval& region : folder.intervals())
            EXPECT_FALSE(region.chrom == chrom && start < region.end && region.start < end) << name;
        EXPECT_FALSE(chrom == "chr2" && start < 3500 && 2000 < end) << name;
        // The letters of samtools faidx (1-based, ends included), upper-cased as genes are.
        std::string faidx;
        const std::string region =
            chrom + ":" + std::to_string(start + 1) + "-" + std::to_string(end);
        std::istringstream lines(
            shell("samtools faidx " + shellQuote(folder.genome()) + " " + region));
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line)) faidx += line;
        std::transform(faidx.begin(), faidx.end(), faidx.begin(), ::toupper);
        EXPECT_EQ(letters, faidx) << name;
        bed << chrom << "\t" << start << "\t" << end << "\t" << name << "\n";
    }
    bed.close();
    // Each window has the length of a region and its GC bin (bedtools nuc: A, C, G, T counts).
    std::map<int64_t, int> binOfLength;
    for (const auto& [name, letters] : cut) {
        int64_t gc = 0, bases = 0;
        for (char c : letters) {
            const char u = static_cast<char>(std::toupper(c));
            gc += u == 'C' || u == 'G';
            bases += u == 'A' || u == 'C' || u == 'G' || u == 'T';
        }
        binOfLength[static_cast<int64_t>(letters.size())] =
            gcBinOf(static_cast<double>(gc) / bases);
    }
    std::istringstream nuc(shell("bedtools nuc -fi " + shellQuote(folder.genome()) + " -bed " +
                                 shellQuote(folder.file("windows.bed"))));
    std::string line;
    std::getline(nuc, line);  // header
    int windowsSeen = 0;
    while (std::getline(nuc, line)) {
        std::istringstream fields(line);
        std::string chrom, name;
        int64_t start, end;
        double at, gcShare;
        int64_t a, c, g, t;
        fields >> chrom >> start >> end >> name >> at >> gcShare >> a >> c >> g >> t;
        ASSERT_TRUE(binOfLength.count(end - start)) << line;
        EXPECT_EQ(gcBinOf(static_cast<double>(c + g) / (a + c + g + t)), binOfLength[end - start])
            << line;
        ++windowsSeen;
    }
    EXPECT_EQ(windowsSeen, static_cast<int>(windows.size()));
    // The same seed draws the same windows; another seed others.
    ASSERT_EQ(drawn("5", folder.file("again.fa")).status, 0);
    EXPECT_EQ(readFile(folder.file("again.fa")), readFile(folder.file("bg.fa")));
    ASSERT_EQ(drawn("6", folder.file("other.fa")).status, 0);
    EXPECT_NE(readFile(folder.file("other.fa")), readFile(folder.file("bg.fa")));
    EXPECT_NE(readFile(folder.file("s.tsv")).find("# background: "), std::string::npos);
    // A genome that the regions nearly fill cannot supply every window: the shortfall is told.
    std::ofstream(folder.file("small.fa")) << ">c\n" << std::string(600, 'A') << "\n";
    std::ofstream(folder.file("most.bed")) << "c\t0\t450\n";
    const RunResult small =
        runProgram(REKUL_BIN, {"--quiet", "--regions", folder.file("most.bed"), "--genome",
                               folder.file("small.fa"), "--genomic-background", "5", "--seed", "1",
                               "--stats", folder.file("t.tsv"), kMotifs});
    EXPECT_NE(small.err.find("Warning: the genomic background matches 0 of 1 regions at ratio 5"),
              std::string::npos)
        << small.err;
}

TEST(RegionsCli, GenomePlacedFilesTurnBackIntoTheHitLetters) {
    if (!have("bedtools")) GTEST_SKIP() << "bedtools is not installed";
    const GenomeFolder folder;
    const RunResult run = runProgram(REKUL_BIN, regionRun(folder, folder.genome()));
    ASSERT_EQ(run.status, 0) << run.err;
    std::ofstream(folder.file("report.txt")) << run.out;
    // The letters of each hit in its gene, on the hit's strand.
    shell("bedtools getfasta -fi " + shellQuote(folder.genome()) + " -bed " +
          shellQuote(folder.regions()) + " -name -s > " + shellQuote(folder.file("cut.fa")));
    const std::map<std::string, std::string> genes = readFasta(folder.file("cut.fa"));
    std::vector<std::string> expected;
    for (const std::vector<std::string>& row :
         rows(runProgram(REKUL_REPORT_BIN, {"--hits", folder.file("report.txt")}).out)) {
        if (row[0] == "module") continue;
        const std::string letters = genes.at(row[2]).substr(
            std::stoul(row[4]), std::stoul(row[5]) - std::stoul(row[4]) + 1);
        expected.push_back(row[6] == "-" ? reverseComplement(letters) : letters);
    }
    ASSERT_GT(expected.size(), 100u);
    // BED of the hits, and the hit ends of BEDPE and the hit lines of GFF3 as BED.
    const std::string bed =
        runProgram(REKUL_REPORT_BIN, {"--bed", "--hits", folder.file("report.txt")}).out;
    std::ofstream(folder.file("hits.bed")) << bed;
    std::istringstream letters(shell("bedtools getfasta -s -tab -fi " +
                                     shellQuote(folder.genome()) + " -bed " +
                                     shellQuote(folder.file("hits.bed"))));
    std::vector<std::string> got;
    for (std::string line; std::getline(letters, line);)
        got.push_back(line.substr(line.find('\t') + 1));
    // The same letters, whatever the order of the lines (BED writes each line once) and the
    // case of the genome.
    for (std::vector<std::string>* list : {&got, &expected}) {
        for (std::string& letters : *list)
            std::transform(letters.begin(), letters.end(), letters.begin(), ::toupper);
        std::sort(list->begin(), list->end());
    }
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    got.erase(std::unique(got.begin(), got.end()), got.end());
    EXPECT_EQ(got, expected);
    std::set<std::string> bedPlaces, gffPlaces, bedpePlaces;
    for (const auto& row : rows(bed))
        bedPlaces.insert(row[0] + ":" + row[1] + "-" + row[2] + row[5]);
    for (const auto& row :
         rows(runProgram(REKUL_REPORT_BIN, {"--gff", folder.file("report.txt")}).out))
        if (row[2] == "TF_binding_site")
            gffPlaces.insert(row[0] + ":" + std::to_string(std::stoll(row[3]) - 1) + "-" + row[4] +
                             row[6]);
    for (const auto& row :
         rows(runProgram(REKUL_REPORT_BIN, {"--bedpe", folder.file("report.txt")}).out)) {
        bedpePlaces.insert(row[0] + ":" + row[1] + "-" + row[2] + row[8]);
        bedpePlaces.insert(row[3] + ":" + row[4] + "-" + row[5] + row[9]);
    }
    EXPECT_EQ(gffPlaces, bedPlaces);
    for (const std::string& place : bedpePlaces) EXPECT_TRUE(bedPlaces.count(place)) << place;
}

// GFF3's sequence regions give each chromosome's real extent where the genome is given, the
// features' span otherwise; a report of another genome is refused.
TEST(RegionsCli, GffSequenceRegionsAreWholeChromosomesOfTheGenome) {
    const GenomeFolder folder;
    const RunResult run = runProgram(REKUL_BIN, regionRun(folder, folder.genome()));
    ASSERT_EQ(run.status, 0) << run.err;
    std::ofstream(folder.file("report.txt")) << run.out;
    auto regionsOf = [](const std::string& gff) {
        std::map<std::string, std::string> regions;
        std::istringstream lines(gff);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("##sequence-region ", 0) == 0)
                regions[line.substr(18, line.find(' ', 18) - 18)] = line;
        return regions;
    };
    const auto whole = regionsOf(runProgram(REKUL_REPORT_BIN, {"--gff", "--genome", folder.genome(),
                                                               folder.file("report.txt")})
                                     .out);
    ASSERT_TRUE(whole.count("chr1"));
    EXPECT_EQ(whole.at("chr1"), "##sequence-region chr1 1 6000");
    EXPECT_EQ(whole.at("chr2"), "##sequence-region chr2 1 5000");
    const auto spans =
        regionsOf(runProgram(REKUL_REPORT_BIN, {"--gff", folder.file("report.txt")}).out);
    EXPECT_NE(spans.at("chr2"), whole.at("chr2"));  // without the genome: the features' span
    std::ofstream(folder.file("short.fa")) << ">chr1\nACGT\n>chr2\nACGT\n";
    EXPECT_REFUSED(runProgram(REKUL_REPORT_BIN, {"--gff", "--genome", folder.file("short.fa"),
                                                 folder.file("report.txt")}),
                   "past its length in");
    EXPECT_REFUSED(runProgram(REKUL_REPORT_BIN,
                              {"--bed", "--genome", folder.genome(), folder.file("report.txt")}),
                   "Error: --genome gives GFF3's sequence lengths: it needs --gff");
}

TEST(RegionsCli, RefusalsNameTheFileAndLineAndWriteNothing) {
    const GenomeFolder folder;
    auto withRegions = [&](const std::string& lines) {
        return runOnRegions(folder, "bad.bed", "chr1\t0\t100\n" + lines);
    };
    const std::string at = folder.file("bad.bed") + " line 2: ";
    EXPECT_REFUSED(withRegions("chrX\t0\t10\n"),
                   at + "the chromosome chrX is not in the genome " + folder.genome());
    EXPECT_REFUSED(withRegions("chrS\t300\t401\n"),
                   at + "the region chrS:300-401 ends past the end of chrS (400 letters)");
    EXPECT_REFUSED(withRegions("chr1\t50\t50\n"), at + "the start 50 is not below the end 50");
    EXPECT_REFUSED(withRegions("chr1 5 10\n"),
                   at + "a BED line holds a chromosome, a start and an end, separated by tabs");
    EXPECT_REFUSED(withRegions("chr1\t-5\t10\n"), at + "the start -5 is not a whole number");
    EXPECT_REFUSED(withRegions("chr1\t5\t10\tp\t0\t*\n"), at + "the strand * is not +, - or .");
    EXPECT_REFUSED(withRegions("chr1\t0\t100\n"),
                   at + "the region chr1:0-100::chr1:0-100() is given on line 1 too");
    // A genome gzip-compressed without bgzip's blocks cannot be reached piece by piece.
    shell("gzip -c " + shellQuote(folder.genome()) + " > " + shellQuote(folder.file("g.fa.gz")));
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--regions", folder.regions(), "--genome",
                                          folder.file("g.fa.gz"), kMotifs}),
                   "is gzip-compressed but not with bgzip");
    // Options that need each other, and one background at a time.
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--regions", folder.regions(), kMotifs}),
                   "Error: --regions needs --genome GENOME.fa");
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--genome", folder.genome(), kMotifs, folder.genome()}),
                   "need --regions FILE.bed");
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--regions", folder.regions(), "--genome",
                                          folder.genome(), kMotifs, folder.genome()}),
                   "Error: --regions takes the place of the sequence file");
    EXPECT_REFUSED(
        runProgram(REKUL_BIN, {"--regions", folder.regions(), "--genome", folder.genome(),
                               "--genomic-background", "2", "--background-regions",
                               folder.regions(), "--stats", folder.file("s.tsv"), kMotifs}),
        "Error: one background at a time");
    EXPECT_REFUSED(runProgram(REKULO_BIN, {"--regions", folder.regions(), "--genome",
                                           folder.genome(), kMotifs}),
                   "Error: rekulo takes no --regions");
    EXPECT_FALSE(std::filesystem::exists(folder.file("s.tsv")));
}

TEST(RegionsCli, RegionFilesThatCannotMakeAReportAreRefused) {
    const GenomeFolder folder;
    auto withRegions = [&](const std::string& lines) {
        return runOnRegions(folder, "odd.bed", lines);
    };
    const std::string file = folder.file("odd.bed");
    // A gene line starting with '>' would read as a module header in the report.
    EXPECT_REFUSED(withRegions("chr1\t0\t100\t>peak\n"),
                   file + " line 1: the name >peak starts with '>'");
    // Nothing to read is no run: not "no motif hit scores above its cutoff".
    EXPECT_REFUSED(withRegions(""), file + " holds no region");
    EXPECT_REFUSED(withRegions("track name=x\n# nothing\n"), file + " holds no region");
    // A large coordinate is quoted as written, with the range the reader takes.
    EXPECT_REFUSED(withRegions("chr1\t2147483648\t99999999999999999999\n"),
                   file + " line 1: the end 99999999999999999999 lies outside the range");
    const RunResult large = withRegions("chr1\t2147483648\t2147483700\n");
    EXPECT_NE(large.err.find("chr1:2147483648-2147483700 ends past the end of chr1"),
              std::string::npos)
        << large.err;
}

// The index beside a genome is an input of the run: never overwritten, and never trusted
// where it does not describe the file.
TEST(RegionsCli, TheGenomeIndexIsCheckedAndNeverOverwritten) {
    const GenomeFolder folder;
    const std::vector<std::string> run = regionRun(folder, folder.genome());
    const std::string expected = runProgram(REKUL_BIN, run).out;
    ASSERT_NE(expected, "");
    const std::string fai = folder.genome() + ".fai";
    const std::string index = readFile(fai);
    for (const char* option : {"--stats", "--write-background", "--motif-stats"}) {
        std::vector<std::string> onto =
            regionRun(folder, folder.genome(),
                      {"--genomic-background", "2", "--stats", folder.file("s.tsv")});
        if (std::string(option) == "--stats")
            onto[onto.size() - 2] = fai;
        else
            onto.insert(onto.end() - 1, {option, folder.file("./genome.fa.fai")});
        EXPECT_REFUSED(runProgram(REKUL_BIN, onto), "is the genome's index of this run");
        EXPECT_EQ(readFile(fai), index) << option;
    }
    // Before the index exists too: the run would make it, then write over it.
    std::filesystem::remove(fai);
    EXPECT_REFUSED(runProgram(REKUL_BIN, regionRun(folder, folder.genome(),
                                                   {"--genomic-background", "2", "--stats", fai})),
                   "is the genome's index of this run");
    // The genome re-wrapped at another width under the old, newer index: read as it is now.
    EXPECT_EQ(runProgram(REKUL_BIN, run).out, expected);
    const std::map<std::string, std::string> letters = readFasta(folder.genome());
    {
        std::ofstream fasta(folder.genome());
        for (const auto& [name, text] : letters) {
            fasta << ">" << name << "\n";
            for (size_t at = 0; at < text.size(); at += 61) fasta << text.substr(at, 61) << "\n";
        }
    }
    std::filesystem::last_write_time(folder.genome(),
                                     std::filesystem::last_write_time(fai) - std::chrono::hours(1));
    const RunResult rewrapped = runProgram(REKUL_BIN, run);
    EXPECT_EQ(rewrapped.out, expected);
    EXPECT_NE(rewrapped.err.find("Warning: the index " + fai + " does not match the genome"),
              std::string::npos)
        << rewrapped.err;
    // A chromosome named twice is refused, naming both title lines.
    std::ofstream(folder.genome(), std::ios::app) << ">chr2 again\nACGT\n";
    std::filesystem::remove(fai);
    EXPECT_REFUSED(runProgram(REKUL_BIN, run),
                   "holds two sequences of one name: the chromosome chr2 is named on line 101 "
                   "and again on line 192");
}

// narrowPeak summits: each window of W letters from the summit less W/2, cut at chromosome
// ends, gives the report that the same windows cut by bedtools getfasta give; --top keeps the
// regions of highest signal, highest first; a summit outside its region is refused.
TEST(RegionsCli, SummitWindowsAreTheBedtoolsCutOfTheSameCentres) {
    if (!have("bedtools")) GTEST_SKIP() << "bedtools is not installed";
    const GenomeFolder folder;
    std::mt19937 random(5);
    std::ostringstream peaks;
    struct Peak {
        std::string line, window;
        double signal;
    };
    std::vector<Peak> all;
    const int64_t width = 200;
    int cut = 0;
    for (size_t i = 0; i < folder.intervals().size(); ++i) {
        const Interval& at = folder.intervals()[i];
        // The first peak's summit lies 10 letters into chr1: its window is cut at 0.
        const int64_t summit = i == 0 ? 10 : static_cast<int64_t>(random() % (at.end - at.start));
        const double signal = static_cast<double>(random() % 1000) / 10;
        const std::string name = "peak" + std::to_string(i), strand = i % 2 ? "-" : "+";
        const int64_t from = std::max<int64_t>(0, at.start + summit - width / 2);
        const int64_t to = std::min(at.start + summit - width / 2 + width, folder.length(at.chrom));
        cut += to - from < width;
        std::ostringstream line, window;
        line << at.chrom << "\t" << at.start << "\t" << at.end << "\t" << name << "\t0\t" << strand
             << "\t" << signal << "\t-1\t-1\t" << summit << "\n";
        window << at.chrom << "\t" << from << "\t" << to << "\t" << name << "\t0\t" << strand
               << "\n";
        all.push_back({line.str(), window.str(), signal});
    }
    auto cutAndRun = [&](const std::vector<Peak>& peaksCut) {
        std::string windows;
        for (const Peak& peak : peaksCut) windows += peak.window;
        std::ofstream(folder.file("windows.bed")) << windows;
        shell("bedtools getfasta -fi " + shellQuote(folder.genome()) + " -bed " +
              shellQuote(folder.file("windows.bed")) + " -name -s > " +
              shellQuote(folder.file("windows.fa")));
        return runProgram(REKUL_BIN, {"--quiet", "-g", "2", "-k", "2", "-m", "3", kMotifs,
                                      folder.file("windows.fa")});
    };
    std::string lines;
    for (const Peak& peak : all) lines += peak.line;
    std::ofstream(folder.file("peaks.narrowPeak")) << lines;
    auto run = [&](std::vector<std::string> more) {
        std::vector<std::string> args{"-g",        "2",
                                      "-k",        "2",
                                      "-m",        "3",
                                      "--regions", folder.file("peaks.narrowPeak"),
                                      "--genome",  folder.genome(),
                                      "--summits", std::to_string(width)};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back(kMotifs);
        return runProgram(REKUL_BIN, args);
    };
    const RunResult centred = run({});
    ASSERT_EQ(centred.status, 0) << centred.err;
    const RunResult expected = cutAndRun(all);
    ASSERT_NE(expected.out, "");
    EXPECT_TRUE(centred.out == expected.out);
    // peak0 at chr1's start and the last at chrS's end among them.
    ASSERT_GE(cut, 2);
    EXPECT_NE(centred.err.find("Read: " + std::to_string(cut) +
                               " windows of --summits 200 cut at a chromosome end\n"),
              std::string::npos)
        << centred.err;
    std::vector<Peak> ranked = all;
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Peak& a, const Peak& b) { return a.signal > b.signal; });
    ranked.resize(8);
    const RunResult top = run({"--top", "8"});
    EXPECT_TRUE(top.out == cutAndRun(ranked).out);
    EXPECT_NE(top.err.find("Read: the 8 regions of highest signal (column 7) of 17 in "),
              std::string::npos)
        << top.err;
    // No summit called (-1), and one past its region's end.
    for (const std::string summit : {"-1", "50"}) {
        std::ofstream(folder.file("bad.narrowPeak"))
            << "chr1\t100\t150\tp\t0\t+\t5\t-1\t-1\t0\nchr1\t300\t350\tq\t0\t+\t5\t-1\t-1\t"
            << summit << "\n";
        const RunResult refused =
            runProgram(REKUL_BIN, {"--regions", folder.file("bad.narrowPeak"), "--genome",
                                   folder.genome(), "--summits", "20", kMotifs});
        EXPECT_REFUSED(refused, "bad.narrowPeak line 2: the summit " + summit +
                                    " (column 10) is not an offset within the region's 50 "
                                    "letters (0 to 49)");
    }
}
