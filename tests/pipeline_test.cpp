// Whole runs of both programs: golden reports derived by hand, progress lines, the bundled
// examples, and refusals of unusable input with status 1 and nothing on standard output.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "TestUtil.hpp"
#include "common/Text.hpp"

namespace {

bool hasHeaderWith(const std::string& report, const std::string& motifs) {
    for (const std::string& header : headers(report))
        if (header.rfind(motifs + "\t", 0) == 0) return true;
    return false;
}

}  // namespace

// Four exact 3-mer motifs (pseudocount 0) in genes whose sites are separated by N, so that
// every score is a sum of ln(1 / background frequency) over the site's bases. rekulo reads
// the same genes as ortholog groups of two identical species: the background is unchanged,
// every hit with two partners is conserved, and g4's lone hit is not.
TEST(Golden, ReportsAndProgress) {
    const std::string read = "Read: 4 motifs (native) from " + kGolden + "four.motifs\nRead: 4 ";
    for (const auto& [program, genes, counted, report] :
         {std::tuple{REKUL_BIN, "four.fa", "genes, 56", "four.out"},
          {REKULO_BIN, "four.ortho.fa", "groups, 8 species sequences, 112", "four.ortho.out"}}) {
        RunResult r = runProgram(
            program, {"-p", "0", "-m", "1", "-g", "3", kGolden + "four.motifs", kGolden + genes});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, readFile(kGolden + report));
        EXPECT_EQ(r.err, read + counted + " letters from " + kGolden + genes + "\n" +
                             readFile(kGolden + "four.err"));
    }
}

// The golden genes renamed so that file order is not name order: a module of three motifs or
// more lists its genes by name.
TEST(Pipeline, ModulesOfThreeMotifsListGenesByName) {
    TempFile genes(
        ">z1\nAACNGATNCTANTGC\n>b2\nGTTNNGATNC\nTANTGCNNNN\n>m3\nTGCNAACNGATNCTA\n"
        ">a4\nAACNNN\n",
        "renamed.fa");
    RunResult r = runProgram(REKUL_BIN, {"--quiet", "-p", "0", "-m", "1", "-g", "3",
                                         kGolden + "four.motifs", genes.path()});
    std::istringstream report(r.out);
    std::vector<std::string> genesOfModule;
    size_t modules = 0;
    auto check = [&] {
        EXPECT_EQ(genesOfModule, (std::vector<std::string>{"b2", "m3", "z1"}));
        genesOfModule.clear();
    };
    for (std::string line; std::getline(report, line);) {
        if (line.starts_with(">")) {
            if (modules++) check();
        } else if (!line.starts_with("\t")) {
            genesOfModule.push_back(line);
        }
    }
    check();
    EXPECT_EQ(modules, 5u);  // four motifs together and each three of them
}

TEST(Pipeline, CutoffLinesInLibraryOrderBeforeScanning) {
    RunResult r = runProgram(
        REKUL_BIN, {"-t", "-m", "0.01", "-g", "100", kGolden + "four.motifs", kGolden + "four.fa"});
    EXPECT_EQ(r.status, 0);
    size_t aac = r.err.find("Score cutoff of AAC: "), gat = r.err.find("Score cutoff of GAT: ");
    size_t cta = r.err.find("Score cutoff of CTA: "), tgc = r.err.find("Score cutoff of TGC: ");
    size_t scan = r.err.find("motifHit for gene g1\n");
    EXPECT_EQ(aac, r.err.find('\n', r.err.find("Random seed: ")) + 1);  // right after the seed
    EXPECT_LT(aac, gat);
    EXPECT_LT(gat, cta);
    EXPECT_LT(cta, tgc);
    EXPECT_LT(tgc, scan);
    EXPECT_EQ(r.out, "");
    // A fixed cutoff (-m 1 and above) needs no sample.
    RunResult fixed = runProgram(
        REKUL_BIN, {"-t", "-m", "1", "-g", "100", kGolden + "four.motifs", kGolden + "four.fa"});
    EXPECT_EQ(fixed.err.find("Score cutoff of "), std::string::npos);
}

TEST(Pipeline, OrthologExampleKeepsOnlyConservedModules) {
    const std::vector<std::string> files{kExamples + "example.motifs",
                                         kExamples + "example.ortho.fa"};
    RunResult ortho = runProgram(REKULO_BIN, files);
    EXPECT_EQ(ortho.status, 0);
    EXPECT_TRUE(hasHeaderWith(ortho.out, "M0001\tM0002\tM0003\tM0004")) << ortho.out;
    EXPECT_EQ(ortho.out.find("M0005\tM0006"), std::string::npos) << ortho.out;
    // Read as one sequence per gene, the reference-only module is there too.
    RunResult plain = runProgram(REKUL_BIN, files);
    EXPECT_TRUE(hasHeaderWith(plain.out, "M0001\tM0002\tM0003\tM0004")) << plain.out;
    EXPECT_TRUE(hasHeaderWith(plain.out, "M0005\tM0006\tM0007\tM0008")) << plain.out;
}

TEST(Pipeline, RefusedInputs) {
    std::string longRows;
    for (int i = 0; i < 52; ++i) longRows += "1 0 0 0\n";
    // The motif file, the sequence file, the options and the message.
    const std::vector<std::array<std::string, 4>> cases{
        {"", ">g1\nAAC\n", "", "Error: motif file has no motifs\n"},
        {">X1\n1 0 0 0\n", ">g1\nAAC\n", "-t",
         "Error: motif title line 1 has no transcription-factor name\n"},
        {">X1\tV$A\n1 0 0 0\n0 0 0 0\n", ">g1\nAAC\n", "-p 0",
         "Error: motif row on line 3 sums to zero\n"},
        {">X1\tV$A\n1 0 0 0\n", ">g1\nAAC\n>g2\nA\n>g1\nC\n", "",
         "Error: duplicate gene name g1 in sequence file\n"},
        {">X1\tV$A\n1 0 0 0\n", "", "", "Error: sequence file has no title line\n"},
        {">X1\tV$A\n1 0 0 0\n", ">g1\nAAC\n> annotation only\nAC\n", "",
         "Error: sequence title on line 3 has no name\n"},
        {">X1\tV$A\n" + longRows, ">g1\nAAC\n", "-m 0.97",
         "Error: motif X1 is longer than the background sample (51 letters)\n"},
    };
    for (const std::string& program : bothPrograms()) {
        for (const auto& [motifText, seqText, options, message] : cases) {
            TempFile motifFile(motifText), seqFile(seqText);
            std::vector<std::string> args = splitWords(options);
            args.push_back(motifFile.path());
            args.push_back(seqFile.path());
            RunResult r = runProgram(program, args);
            EXPECT_REFUSED(r, message);
            // The message, then, where it does not name its file, a line that does.
            const size_t at = r.err.find(message);
            ASSERT_NE(at, std::string::npos) << r.err;
            const std::string after = r.err.substr(at + message.size());
            const std::string name = std::filesystem::path(program).filename();
            const std::string what = message.substr(7, message.size() - 8);
            if (!after.empty()) {
                EXPECT_TRUE(after == name + ": " + motifFile.path() + ": " + what + "\n" ||
                            after == name + ": " + seqFile.path() + ": " + what + "\n")
                    << after;
            }
        }
    }
}

TEST(Pipeline, SeededAndExactCutoffsRepeat) {
    const std::vector<std::string> files{kExamples + "example.motifs", kExamples + "example.fa"};
    auto run = [&](const std::string& program, std::vector<std::string> options) {
        options.insert(options.end(), files.begin(), files.end());
        return runProgram(program, options);
    };
    for (const std::string& program : bothPrograms()) {
        RunResult first = run(program, {"--seed", "7", "-m", "0.001"});
        RunResult again = run(program, {"-m", "0.001", "--seed=7"});
        EXPECT_EQ(first.status, 0);
        EXPECT_EQ(first.out + first.err, again.out + again.err);
        EXPECT_EQ(withoutReadLines(first.err).rfind("Random seed: 7\nScore cutoff of M0001: ", 0),
                  0u);
        RunResult other = run(program, {"--seed", "8", "-m", "0.001"});
        EXPECT_NE(other.err.substr(0, other.err.find("motifHit")),
                  first.err.substr(0, first.err.find("motifHit")));
        // No sample, no seed line: fixed cutoffs and exact ones.
        EXPECT_EQ(run(program, {"-g", "100"}).err.find("Random seed"), std::string::npos);
        RunResult exact = run(program, {"--exact-cutoffs", "-m", "0.001"});
        EXPECT_EQ(exact.err.find("Random seed"), std::string::npos);
        EXPECT_EQ(withoutReadLines(exact.err).rfind("Score cutoff of M0001: ", 0), 0u);
        RunResult exactAgain = run(program, {"-m", "0.001", "--exact-cutoffs"});
        EXPECT_EQ(exact.out + exact.err, exactAgain.out + exactAgain.err);
    }
}

// Every stage runs in parallel; the report and every progress line must be byte-identical
// for any number of threads.
TEST(Threads, OutputIsTheSameForEveryThreadCount) {
    std::mt19937 rng(12);
    std::string motifs, genes;
    for (int m = 0; m < 6; ++m) {
        motifs += ">R" + std::to_string(m) + "\tV$F" + std::to_string(m) + "\n";
        for (int i = 0; i < 4 + m % 5; ++i)
            motifs += std::to_string(rng() % 9) + " " + std::to_string(rng() % 9) + " " +
                      std::to_string(rng() % 9) + " " + std::to_string(rng() % 9) + "\n";
    }
    for (int g = 0; g < 40; ++g) {
        genes += ">gene" + std::to_string(g) + "\n";
        for (int i = 0; i < 400; ++i) genes += "ACGTACGTACGTN"[rng() % (g % 4 ? 12 : 13)];
        genes += "\n";
    }
    TempFile randomMotifs(motifs), randomGenes(genes);
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs{
        {REKUL_BIN,
         {"-p", "0", "-m", "1", "-g", "3", kGolden + "four.motifs", kGolden + "four.fa"}},
        {REKULO_BIN,
         {"-p", "0", "-m", "1", "-g", "3", kGolden + "four.motifs", kGolden + "four.ortho.fa"}},
        {REKUL_BIN, {kExamples + "example.motifs", kExamples + "example.fa"}},
        {REKUL_BIN,
         {"--seed", "5", "-m", "0.01", kExamples + "example.motifs", kExamples + "example.fa"}},
        {REKULO_BIN,
         {"--exact-cutoffs", "-m", "0.01", kExamples + "example.motifs",
          kExamples + "example.ortho.fa"}},
        {REKUL_BIN, {"-g", "8", "-k", "2", "-m", "3", randomMotifs.path(), randomGenes.path()}},
        {REKUL_BIN, {"-g", "4", "-k", "0", "-m", "2", randomMotifs.path(), randomGenes.path()}},
    };
    for (const auto& [program, args] : runs) {
        std::vector<std::string> one = args;
        one.insert(one.begin(), {"--threads", "1"});
        RunResult expected = runProgram(program, one);
        ASSERT_EQ(expected.status, 0) << expected.err;
        for (const char* threads : {"2", "7"}) {
            std::vector<std::string> many = args;
            many.insert(many.begin(), {"--threads", threads});
            RunResult r = runProgram(program, many);
            EXPECT_EQ(r.out, expected.out) << threads << " threads, " << args.back();
            EXPECT_EQ(r.err, expected.err) << threads << " threads, " << args.back();
        }
    }
}

// Failures of the system around a run: a read error in the middle of a file, a report that
// cannot be written, memory that runs out. Each ends with its message and status 1.
TEST(Refusals, ReadWriteAndMemoryFailures) {
    const std::string motifs = kExamples + "example.motifs", genes = kExamples + "example.fa";
    RunResult unreadable = runProgram(REKUL_BIN, {motifs, "/proc/self/mem"});
    EXPECT_REFUSED(unreadable, "Error: cannot read /proc/self/mem: Input/output error\n");
    // The reason of the first failed write, with progress lines too (standard error
    // flushes standard output before each of them).
    for (const char* threads : {"1", "2"})
        for (const char* quiet : {"--quiet", "-o4"}) {
            RunResult full =
                runProgram("sh", {"-c",
                                  std::string("\"$0\" -p0 -m1 -g3 ") + quiet + " --threads " +
                                      threads + " \"$1\" \"$2\" > /dev/full",
                                  REKUL_BIN, kGolden + "four.motifs", kGolden + "four.fa"});
            EXPECT_EQ(full.status, 1);
            const size_t last = full.err.rfind("Error: ");
            ASSERT_NE(last, std::string::npos);
            EXPECT_EQ(full.err.substr(last),
                      "Error: cannot write the report: No space left on device\n");
        }
#ifndef REKUL_SANITIZED  // the sanitizers' own memory reservations exceed any such limit
    // Out of memory, the run ends at once, and its unfinished table goes with it.
    TempFile huge(">g\n" + std::string(50000000, 'A') + "\n");
    const std::string folder = huge.path().substr(0, huge.path().rfind('/'));
    RunResult starved = runProgram(
        "sh", {"-c", "ulimit -v 100000; exec \"$0\" --quiet --stats \"$3\" \"$1\" \"$2\"",
               REKUL_BIN, motifs, huge.path(), folder + "/t.tsv"});
    EXPECT_EQ(starved.status, 1);
    EXPECT_EQ(starved.err, "Error: out of memory\n");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++files;
    EXPECT_EQ(files, 1u);
#endif
}
