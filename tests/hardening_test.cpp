// Inputs that used to be misread with status 0, to exhaust memory, or to give reports that
// rekul-report refused: each is now read as meant, refused with its line, or warned about.
#include <gtest/gtest.h>
#include <zlib.h>

#include "TestUtil.hpp"

namespace {

// The report of rekul on the golden genes with the given motif file.
RunResult goldenRun(const std::string& motifs, std::vector<std::string> options = {}) {
    options.insert(options.end(), {"-p", "0", "-m", "1", "-g", "3", motifs, kGolden + "four.fa"});
    return runProgram(REKUL_BIN, options);
}

std::string gzipped(const std::string& text) {
    uLongf size = compressBound(text.size()) + 32;
    std::string out(size, '\0');
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

}  // namespace

TEST(Hardening, MisreadMotifFilesAreReadAsMeant) {
    const std::string golden = readFile(kGolden + "four.out");
    const std::string motifs = readFile(kGolden + "four.motifs");
    // A byte-order mark, carriage returns alone: the same motifs.
    for (const std::string& variant : {"\xEF\xBB\xBF" + motifs, [&] {
                                           std::string cr = motifs;
                                           for (char& c : cr)
                                               if (c == '\n') c = '\r';
                                           return cr;
                                       }()}) {
        TempFile file(variant);
        EXPECT_EQ(goldenRun(file.path()).out, golden);
    }
    TempFile bomMeme(
        "\xEF\xBB\xBFMEME version 4\n\nMOTIF M1\nletter-probability matrix: alength= 4 "
        "w= 1\n1 0 0 0\n");
    EXPECT_NE(goldenRun(bomMeme.path()).err.find("Read: 1 motifs (MEME)"), std::string::npos);
    // Letter rows without brackets are JASPAR at any width, three wide too.
    TempFile letters(">MA1 X\nA 9 0 0\nC 0 9 0\nG 0 0 9\nT 0 0 0\n");
    RunResult jaspar = goldenRun(letters.path());
    EXPECT_NE(jaspar.err.find("Read: 1 motifs (JASPAR)"), std::string::npos);
    // A header "A C G T" under a title reads as a uniform position, with one warning.
    TempFile header(">X1\tV$AAC\nA C G T\n1 0 0 0\nA C G T\n");
    RunResult words = runProgram(REKUL_BIN, {"-g", "3", header.path(), kGolden + "four.fa"});
    EXPECT_EQ(words.status, 0);
    const std::string warning =
        "Warning: " + header.path() +
        " line 2 has four words and no number; read as a uniform position\n";
    EXPECT_NE(words.err.find(warning), std::string::npos);
    EXPECT_EQ(words.err.find("four words", words.err.find(warning) + warning.size()),
              std::string::npos);
    // Values beyond single precision are refused like inf, with their line.
    for (const auto& [text, line] : std::vector<std::pair<std::string, int>>{
             {">X1\tV$A\n1 1e39 0 0\n", 2},
             {"MEME version 4\nMOTIF M1\nletter-probability "
              "matrix: alength= 4 w= 1 nsites= 1e308\n1 0 0 0\n",
              4},
             {">MA1 X\nA [ 1e300 ]\nC [ 0 ]\nG [ 0 ]\nT [ 0 ]\n", 2}}) {
        TempFile file(text);
        RunResult r = goldenRun(file.path());
        EXPECT_REFUSED(r, "line " + std::to_string(line) + " has a negative or non-finite value");
    }
    RunResult pseudocount = goldenRun(kGolden + "four.motifs", {"-p", "3e38"});
    EXPECT_EQ(pseudocount.status, 1);
    EXPECT_EQ(pseudocount.err, "Pseudocount should be finite\n");
    // -m is a p-value on the value as written, though it rounds to 1 in single precision.
    RunResult almostOne = runProgram(REKUL_BIN, {"--seed", "1", "-m", "0.99999999", "-g", "100",
                                                 kGolden + "four.motifs", kGolden + "four.fa"});
    EXPECT_NE(almostOne.err.find("Random seed: 1\nScore cutoff of "), std::string::npos);
}

TEST(Hardening, NamesThatAReportCouldNotCarryAreRefused) {
    for (const auto& [text, line] : std::vector<std::pair<std::string, int>>{
             {">\n1 0 0 0\n", 1},
             {">X1\tV$A\n1 0 0 0\n>\tV$X\n0 1 0 0\n", 3},
             {"MEME version 4\n\nMOTIF\nletter-probability matrix: alength= 4 w= 1\n1 0 0 0\n", 3},
             {"ID  X\nXX\nP0 A C G T\n01 1 0 0 0\nXX\n//\nP0 A C G T\n01 0 1 0 0\nXX\n//\n", 7}}) {
        TempFile file(text);
        RunResult r = goldenRun(file.path());
        EXPECT_REFUSED(r, "Error: motif on line " + std::to_string(line) + " has no name\n");
    }
    TempFile genes(">g1\nAAC\n>>gene01\nGAT\n");
    RunResult r = runProgram(REKUL_BIN, {kGolden + "four.motifs", genes.path()});
    EXPECT_REFUSED(r, "Error: sequence title on line 3: a gene name may not start with '>'\n");
}

TEST(Hardening, ReportsAndSequenceFilesTheReportReaderRefuses) {
    const std::string good = ">A\tB\t1,0.5\ng1\n\tA\t1\t3\t+\t2.5\n\tB\t5\t8\t-\t3\n";
    for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
             {">A\tB\t1,0.5\ng1\n\tA\t9223372036854775800\t9223372036854775806\t+\t2\n\tB\t5\t8\t-"
              "\t3\n",
              "line 3: hit positions must be below 2147483648"},
             {">A\tB\t1,0.5\ng1\tx\n\tA\t1\t3\t+\t2\n\tB\t5\t8\t-\t3\n",
              "line 2: gene line holds a tab; gene names have none"}}) {
        TempFile file(text);
        RunResult r = runProgram(REKUL_REPORT_BIN, {"--bed", file.path()});
        EXPECT_REFUSED(r, message);
    }
    TempFile report(good), fasta(">g1 chr1:1-10\nACGTACGTAC\n>g2\nAC\n>g1 chr2:1-10\nACGTACGTAC\n");
    RunResult twice =
        runProgram(REKUL_REPORT_BIN, {"--bed", "--fasta", fasta.path(), report.path()});
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.err.rfind("Error: duplicate gene name g1 in sequence file\n", 0), 0u)
        << twice.err;
    // Data after the compressed stream is ignored, with a warning, as gzip does.
    TempFile trailing(gzipped(good) + "garbage\n");
    RunResult tail = runProgram(REKUL_REPORT_BIN, {trailing.path()});
    EXPECT_EQ(tail.status, 0);
    // The same rows; the lines that say how each was made name their own input.
    auto rowsOnly = [](const std::string& text) { return text.substr(0, text.find("\n#") + 1); };
    EXPECT_EQ(rowsOnly(tail.out), rowsOnly(runProgram(REKUL_REPORT_BIN, {report.path()}).out));
    EXPECT_EQ(tail.err,
              "Warning: " + trailing.path() + " has data after the compressed stream; ignored\n");
    TempFile twoMembers(gzipped(">A\tB\t1,0.5\ng1\n") +
                        gzipped("\tA\t1\t3\t+\t2.5\n\tB\t5\t8\t-\t3\n"));
    EXPECT_EQ(runProgram(REKUL_REPORT_BIN, {twoMembers.path()}).err, "");
}

// A pool whose windows would carry one name twice is refused, as a foreground is.
TEST(Hardening, APoolWithARepeatedNameIsRefused) {
    const std::string examples = EXAMPLES_DIR, motifs = examples + "/example.motifs";
    const std::string genes = readFile(examples + "/example.fa");
    TempFile pool(genes.substr(0, genes.find(">gene03")) + genes.substr(0, genes.find(">gene02")),
                  "pool.fa");
    TempFile table("", "stats.tsv");
    EXPECT_REFUSED(
        runProgram(REKUL_BIN, {"--background", pool.path(), "--match", "length,gc", "--stats",
                               table.path(), motifs, examples + "/example.fa"}),
        "duplicate gene name gene01");
}

TEST(Hardening, HelpAndVersionToAFullDiskFail) {
    for (const char* program : {REKUL_BIN, REKULO_BIN, REKUL_REPORT_BIN})
        for (const char* option : {"--help", "--version"}) {
            RunResult r = runProgram("sh", {"-c", "\"$0\" " + std::string(option) + " > /dev/full",
                                            std::string(program)});
            EXPECT_EQ(r.status, 1) << program << option;
            EXPECT_EQ(r.err, "Error: cannot write to standard output: No space left on device\n");
        }
    // rekul-report's forms say why too.
    for (const char* form : {"--tsv", "--hits", "--html"}) {
        RunResult r = runProgram("sh", {"-c", "\"$0\" " + std::string(form) + " \"$1\" > /dev/full",
                                        REKUL_REPORT_BIN, kGolden + "four.out"});
        EXPECT_EQ(r.status, 1) << form;
        EXPECT_EQ(r.err, "Error: cannot write the output: No space left on device\n") << form;
    }
}

#ifndef REKUL_SANITIZED  // the sanitizers' own reservations would swamp the inflated input
// A gzip file of 2.2 Gb of one sequence in 3 kB is refused as it passes the length limit;
// ten million and one blank lines are no motif file. (bench/large_inputs.sh measures the
// memory of these and of other degenerate inputs.)
TEST(Hardening, InflatedFilesAreRefusedAtTheLimits) {
    const std::string member = gzipped(std::string(1 << 20, 'A') + "\n");
    std::string bomb = gzipped(">g\n");
    for (int i = 0; i < 2100; ++i) bomb += member;
    TempFile inflated(bomb, "bomb.fa.gz");
    RunResult refused = runProgram(REKUL_BIN, {kExamples + "example.motifs", inflated.path()});
    EXPECT_REFUSED(refused, "Error: sequence g is longer than 2147483647 letters");
    TempFile blank(gzipped(std::string(10000001, '\n')));
    RunResult lines = runProgram(REKUL_BIN, {blank.path(), kExamples + "example.fa"});
    EXPECT_EQ(lines.status, 1);
    EXPECT_EQ(lines.err,
              "Error: " + blank.path() + " has more than 10,000,000 lines; is it a motif file?\n");
}
#endif

TEST(Hardening, NamesWithControlCharactersStayOnTheirLine) {
    // A gene named with an escape code, in a file whose name holds a line feed.
    std::string genes = readFile(kGolden + "four.fa");
    genes.replace(genes.find("g1"), 2, "g\x1b[31m1");
    TempFile file(genes, "four\nlines.fa"), table("", "t.tsv");
    const RunResult run =
        runProgram(REKUL_BIN, {"-p", "0", "-m", "1", "-g", "3", "--stats", table.path(),
                               kGolden + "four.motifs", file.path()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
    EXPECT_NE(run.err.find("motifHit for gene g\\x1b[31m1\n"), std::string::npos);
    EXPECT_NE(run.err.find("four\\nlines.fa\n"), std::string::npos);
    const std::string notes = readFile(table.path()).substr(readFile(table.path()).find("\n#"));
    EXPECT_NE(notes.find("# command: "), std::string::npos);
    EXPECT_NE(notes.find("$'"), std::string::npos);
    for (const std::string& line : {std::string("# command"), std::string("# program")})
        EXPECT_EQ(occurrences(notes, line), 1u);
    EXPECT_EQ(notes.find("lines.fa'"), notes.find("four\\nlines.fa'") + 6);
    TempFile report(run.out, "r\x1b.txt");
    const RunResult bed = runProgram(REKUL_REPORT_BIN, {"--bed", report.path()});
    ASSERT_EQ(bed.status, 0) << bed.err;
    const std::string track = bed.out.substr(0, bed.out.find('\n'));
    EXPECT_EQ(track.rfind("track name=rekul-modules", 0), 0u);
    EXPECT_EQ(bed.out.find("\x1b.txt"), std::string::npos);
    EXPECT_NE(bed.out.find("# report: " + report.path().substr(0, report.path().size() - 5) +
                           "\\x1b.txt\n"),
              std::string::npos);
}
