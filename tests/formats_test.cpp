// Motif file formats, compressed input and standard input: each format reads to the same
// matrices and the same report as the native format, ambiguous files stay native, and
// unusable input is refused with its file and line.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "TestUtil.hpp"
#include "common/Text.hpp"
#include "motif/MotifA.hpp"
#include "motif/MotifFormats.hpp"

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

RunResult runRekul(const std::vector<std::string>& options, const std::string& motifs,
                   const std::string& seqs) {
    std::vector<std::string> args = options;
    args.push_back(motifs);
    args.push_back(seqs);
    return runProgram(REKUL_BIN, args);
}

}  // namespace

// One library of four matrices (widths 5 to 8, rows summing to 50, so that MEME's
// probabilities times nsites= 50 give the counts back) in every format, and genes that hold
// their consensus sites.
TEST(MotifFormats, EveryFormatReadsToTheSameReport) {
    const std::string folder = DATA_DIR "/same-library/";
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"-g", "4", "-k", "2"}, {"-t", "-g", "4", "-k", "2"}}) {
        RunResult expected = runRekul(options, folder + "library.native", folder + "genes.fa");
        ASSERT_EQ(expected.status, 0);
        ASSERT_NE(expected.out, "");
        for (const char* format :
             {"library.jaspar", "library-rows.jaspar", "library.meme", "library.transfac"}) {
            RunResult r = runRekul(options, folder + format, folder + "genes.fa");
            EXPECT_EQ(r.status, 0) << format;
            EXPECT_NE(r.err.find("Read: 4 motifs"), std::string::npos) << format;
            EXPECT_EQ(r.out, expected.out) << format << " " << options[0];
        }
    }
}

TEST(MotifFormats, DetectionAndNaming) {
    // Four-wide matrices in rows read as the native format (rows of four numbers).
    EXPECT_EQ(detectMotifFormat(linesOf(">M1\n1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n")),
              MotifFormat::Native);
    // With one matrix of another width, every matrix of the file is read by columns.
    auto rows = linesOf(">M1 a\n1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n>M2 b\n1 2\n3 4\n5 6\n7 8\n");
    ASSERT_EQ(detectMotifFormat(rows), MotifFormat::JasparRows);
    std::vector<RawMotif> read = parseMotifs(rows, MotifFormat::JasparRows);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].rows[1], (std::array<double, 4>{0, 1, 0, 0}));
    EXPECT_EQ(read[1].rows[1], (std::array<double, 4>{2, 4, 6, 8}));
    EXPECT_EQ(read[1].tfName, "b");
    // Untitled matrices get numbered names and no factor name.
    auto untitled = linesOf("1 2 3\n4 5 6\n7 8 9\n1 1 1\n");
    ASSERT_EQ(detectMotifFormat(untitled), MotifFormat::JasparRows);
    EXPECT_EQ(parseMotifs(untitled, MotifFormat::JasparRows)[0].index, "matrix1");
    // A TRANSFAC identifier of the X$ form loses its prefix; an entry without AC is named
    // by its ID.
    auto tf = linesOf(
        "ID  motif1\nP0 A C G T\n01 1 2 3 4 S\n02 4 3 2 1 W\nXX\n//\n"
        "AC  M9\nID  V$AP1_Q2\nPO A C G T\n01 1 1 1 1\n//\n");
    ASSERT_EQ(detectMotifFormat(tf), MotifFormat::Transfac);
    read = parseMotifs(tf, MotifFormat::Transfac);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].index, "motif1");
    EXPECT_EQ(read[0].rows.size(), 2u);
    EXPECT_EQ(read[1].index, "M9");
    EXPECT_EQ(read[1].tfName, "AP1_Q2");
    // Messages name an entry by its first line, the AC or ID that opens it, not the next.
    EXPECT_EQ(read[0].titleLine, 1);
    EXPECT_EQ(read[1].titleLine, 7);
    // MEME: the alternative name is the label; nsites defaults to 20.
    auto memeLines = linesOf(
        "MEME version 4\nMOTIF A1\nletter-probability matrix: w= 1\n"
        "0.5 0.25 0.25 0\n");
    read = parseMotifs(memeLines, detectMotifFormat(memeLines));
    EXPECT_EQ(read[0].tfName, "A1");
    EXPECT_EQ(read[0].rows[0], (std::array<double, 4>{10, 5, 5, 0}));
    // Rows may be separated by blank lines; each keeps its own line number.
    const auto spaced = linesOf(
        "MEME version 4\n\nMOTIF B1\nletter-probability matrix: w= 2 nsites= 10\n"
        "0.5 0.5 0 0\n\n0 0 0.5 0.5\n");
    read = parseMotifs(spaced, detectMotifFormat(spaced));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].rows, (std::vector<std::array<double, 4>>{{5, 5, 0, 0}, {0, 0, 5, 5}}));
    EXPECT_EQ(read[0].rowLines, (std::vector<long>{5, 7}));
}

// Small files laid out as the real ones that Debian packages ship (tests/data), so that a
// parser fault fails offline too: brackets against numbers, bare rows, pscan rows with
// trailing blanks, MEME's background line and text output (MOTIF inside other lines, blocks
// before the matrix), TRANSFAC with a leading "//", consensus columns, PO and tabs.
TEST(MotifFormats, TrickyPartsOfRealFiles) {
    struct Case {
        const char* file;
        const char* format;
        std::vector<std::string> names, labels;
        std::array<double, 4> firstRow;
    };
    const std::vector<Case> cases = {
        {"jaspar-brackets.pfm",
         "JASPAR",
         {"MA9001.1", "MA9002.1"},
         {"AGLX", "SECOND"},
         {0, 94, 1, 2}},
        {"jaspar-bare-rows.pfm", "JASPAR rows", {"matrix1"}, {""}, {2, 1, 39, 4}},
        {"pscan-rows.wil",
         "JASPAR rows",
         {"MA9003.1", "MA9004.1"},
         {"RUNXL", "OTHER"},
         {10, 2, 3, 11}},
        {"meme-minimal.meme", "MEME", {"KRPX", "IFXI"}, {"KRPX", "alt"}, {0, 3, 0, 14}},
        {"meme-text-output.txt",  // older ("MOTIF  1 MEME") and newer ("MOTIF ACGT MEME-3")
         "MEME",
         {"1", "2", "ACGT"},
         {"MEME-1", "MEME-2", "MEME-3"},
         {8.5, 8.5, 0, 0}},
        {"transfac-entries.dat",
         "TRANSFAC",
         {"motif1", "motif2"},
         {"motif1", "motif2"},
         {1, 2, 2, 0}},
        {"transfac-po-tabs.transfac", "TRANSFAC", {"MA9056.1"}, {"MZFX"}, {3, 5, 4, 8}},
    };
    for (const Case& c : cases) {
        const auto lines = linesOf(readFile(std::string(DATA_DIR "/") + c.file));
        const MotifFormat format = detectMotifFormat(lines);
        EXPECT_STREQ(motifFormatName(format), c.format) << c.file;
        const auto read = parseMotifs(lines, format);
        ASSERT_EQ(read.size(), c.names.size()) << c.file;
        for (size_t m = 0; m < read.size(); ++m) {
            EXPECT_EQ(read[m].index, c.names[m]) << c.file;
            EXPECT_EQ(read[m].tfName, c.labels[m]) << c.file;
        }
        ASSERT_FALSE(read[0].rows.empty()) << c.file;
        for (int b = 0; b < 4; ++b) EXPECT_NEAR(read[0].rows[0][b], c.firstRow[b], 1e-4) << c.file;
    }
}

TEST(MotifFormats, RefusalsAndWarnings) {
    TempFile seqs(">g1\nACGTACGTAC\n");
    auto run = [&](const std::string& motifText, std::vector<std::string> options = {}) {
        TempFile motifs(motifText);
        return runRekul(options, motifs.path(), seqs.path());
    };
    RunResult dna = run("MEME version 4\nMOTIF P1\nletter-probability matrix: alength= 20 w= 1\n");
    EXPECT_REFUSED(dna, "Error: MEME motif P1 on line 3 has alength= 20");
    RunResult none = run(">M1\tV$A\n>M2\tV$B\n1 2 3\n");
    EXPECT_REFUSED(none, "Warning: motif M1 (line 1) has no matrix rows; it cannot match\n");
    EXPECT_NE(none.err.find("has matrix rows (lines of four numbers: A C G T)\n"),
              std::string::npos);
    // Text whose only lines of four words hold no number is no motif file; a header row
    // "A C G T" beside numeric rows is read as today.
    RunResult prose = run("Notes on my motifs\nsee the lab wiki\nask Ann or Bob\n");
    EXPECT_REFUSED(prose, "Error: no motif in ");
    EXPECT_EQ(run(">M1\tV$A\nA C G T\n1 0 0 0\n").status, 0);
    // Probabilities take a pseudocount meant for counts: said, naming -p; counts are not.
    const std::string probabilities = ">P\tV$P\n0.7 0.1 0.1 0.1\n0.1 0.1 0.1 0.7\n";
    EXPECT_NE(run(probabilities).err.find("Warning: the matrices of "), std::string::npos);
    EXPECT_EQ(run(probabilities, {"-p", "0.01"}).err.find("Warning"), std::string::npos);
    EXPECT_EQ(run(">C\tV$C\n7 1 1 1\n1 1 1 7\n").err.find("Warning"), std::string::npos);
    // A TRANSFAC entry without rows is told by the line that names it, the first one too.
    RunResult transfac = run("AC M1\n//\nAC M2\nID V$B\nP0 A C G T\n01 1 2 3 4\n//\n");
    EXPECT_EQ(transfac.status, 0);
    EXPECT_EQ(transfac.err.rfind("Warning: motif M1 (line 1) has no matrix rows", 0), 0u)
        << transfac.err;
    RunResult some = run(">M1\tV$A\n>M2\tV$B\n1 0 0 0\n");
    EXPECT_EQ(some.status, 0);
    EXPECT_EQ(some.err.rfind("Warning: motif M1 (line 1) has no matrix rows", 0), 0u);
    RunResult negative = run(">M1\tV$A\n1 0 0 0\n1 -5 0 0\n");
    EXPECT_EQ(negative.status, 1);
    EXPECT_EQ(
        negative.err.rfind("Error: motif row on line 3 has a negative or non-finite value\n", 0),
        0u);
    for (const char* value : {"nan", "inf", "1e400"}) {
        RunResult bad = run(std::string(">M1\tV$A\n1 0 ") + value + " 0\n");
        EXPECT_EQ(
            bad.err.rfind("Error: motif row on line 2 has a negative or non-finite value\n", 0), 0u)
            << value;
    }
    RunResult unordered = run(">MA1 x\nC [ 1 2 ]\nA [ 1 2 ]\nG [ 1 2 ]\nT [ 1 2 ]\n");
    EXPECT_REFUSED(unordered, "line 2");
}

TEST(CompressedInput, GzipAndStandardInputReadAsPlainFiles) {
    const std::string motifs = EXAMPLES_DIR "/example.motifs", fasta = EXAMPLES_DIR "/example.fa";
    TempFile folder("");  // its folder, removed with it, holds the compressed copies
    const std::string gz = folder.path() + ".fa.gz", motifsGz = folder.path() + ".motifs.gz";
    ASSERT_EQ(std::system(("gzip -c " + fasta + " > " + gz).c_str()), 0);
    ASSERT_EQ(std::system(("gzip -c " + motifs + " > " + motifsGz).c_str()), 0);
    RunResult plain = runProgram(REKUL_BIN, {motifs, fasta});
    ASSERT_NE(plain.out, "");
    EXPECT_EQ(runProgram(REKUL_BIN, {motifsGz, gz}).out, plain.out);
    RunResult piped =
        runProgram("sh", {"-c", std::string("\"$0\" \"$1\" - < \"$2\""), REKUL_BIN, motifs, gz});
    EXPECT_EQ(piped.out, plain.out);
    EXPECT_EQ(withoutReadLines(piped.err), withoutReadLines(plain.err));
    RunResult twice = runProgram(REKUL_BIN, {"-", "-"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.err, "Error: only one of the two files can be standard input (-)\n");
    // A gzip file cut short is an error that names the file, never a shorter input.
    ASSERT_EQ(std::system(("head -c 2000 " + gz + " > " + gz + ".cut").c_str()), 0);
    RunResult cut = runProgram(REKUL_BIN, {motifs, gz + ".cut"});
    EXPECT_REFUSED(cut, "Error: cannot read " + gz + ".cut: unexpected end of file\n");
}

TEST(CompressedInput, OrthologFileGivenToRekulIsNamed) {
    TempFile motifs(">M1\tV$A\n1 0 0 0\n");
    TempFile groups(">g1\n<AAAA\n<AAAC\n>g2\n<CCCC\n");
    RunResult r = runProgram(REKUL_BIN, {motifs.path(), groups.path()});
    EXPECT_EQ(r.status, 0);
    const std::string warning =
        "Warning: " + groups.path() +
        " has lines starting with '<': ortholog groups are read by rekulo\n";
    EXPECT_EQ(withoutReadLines(r.err).rfind(warning, 0), 0u);
    EXPECT_EQ(r.err.find(warning, r.err.find(warning) + 1), std::string::npos);  // once
    EXPECT_EQ(runProgram(REKULO_BIN, {motifs.path(), groups.path()}).err.find("Warning"),
              std::string::npos);
}

// HOMER's .motif and CIS-BP's PWM.txt, written by hand from the library's probabilities:
// the same report as those probabilities in the native format; a native file whose titles
// carry a number in their third field stays native; log-odds files and broken rows are
// refused with what they are and where.
TEST(MotifFormats, HomerAndCisBpReadAsTheirProbabilities) {
    const std::string folder = DATA_DIR "/same-library/";
    const RunResult expected =
        runRekul({"-p", "0.01", "-g", "4", "-k", "2"}, folder + "library-probabilities.native",
                 folder + "genes.fa");
    ASSERT_EQ(expected.status, 0);
    ASSERT_NE(expected.out, "");
    const RunResult homer = runRekul({"-p", "0.01", "-g", "4", "-k", "2"}, folder + "library.homer",
                                     folder + "genes.fa");
    EXPECT_NE(homer.err.find("Read: 4 motifs (HOMER)"), std::string::npos) << homer.err;
    EXPECT_EQ(homer.out, expected.out);
    // CIS-BP: one matrix, named by its file, the same frequencies as the native file's.
    Args settings;
    settings.motifFile = folder + "MA0001.1.txt";
    const MotifA cisbp(settings);
    settings.motifFile = folder + "MA0001.1.native";
    const MotifA single(settings);
    ASSERT_EQ(cisbp.motifs.size(), 1u);
    EXPECT_EQ(cisbp.motifs[0].name, "MA0001.1");
    EXPECT_EQ(cisbp.motifs[0].freq, single.motifs[0].freq);
    EXPECT_EQ(cisbp.formatName, "CIS-BP");
    // --homer-cutoffs: each motif's hits score at least its own listed cutoff, and a motif
    // whose cutoff lies above its best sites (CCAAT's, raised to 6.3) has none.
    TempFile raised(replaceAll(readFile(folder + "library.homer"), "CCAAT\tMA0003.1\t3.500000",
                               "CCAAT\tMA0003.1\t6.300000"),
                    "raised.motif");
    const RunResult listed = runRekul({"--homer-cutoffs", "-p", "0.01", "-g", "2", "-k", "2"},
                                      raised.path(), folder + "genes.fa");
    ASSERT_EQ(listed.status, 0) << listed.err;
    const std::map<std::string, double> cutoffs{
        {"MA0001.1", 4.2}, {"MA0002.1", 5.6}, {"MA0004.1", 5.6}};
    std::map<std::string, double> lowest;
    std::istringstream report(listed.out);
    for (std::string line; std::getline(report, line);) {
        if (line.empty() || line[0] != '\t') continue;
        std::istringstream fields(line);
        std::string motif, start, end, strand;
        double score = 0;
        fields >> motif >> start >> end >> strand >> score;
        lowest[motif] = lowest.count(motif) ? std::min(lowest[motif], score) : score;
    }
    ASSERT_EQ(lowest.size(), 3u) << listed.out.substr(0, 300);
    for (const auto& [motif, score] : lowest) EXPECT_GE(score, cutoffs.at(motif) - 0.01) << motif;
    EXPECT_REFUSED(runRekul({"--homer-cutoffs"}, folder + "library.native", folder + "genes.fa"),
                   "Error: --homer-cutoffs takes each motif's cutoff from a HOMER motif file, "
                   "and motif MA0001.1 lists none (the file is native)");
    // Counts under tab-separated titles with a number third are native, not HOMER.
    EXPECT_EQ(detectMotifFormat(linesOf(">M1\tV$A\t5\n7 1 1 1\n1 1 1 7\n")), MotifFormat::Native);
    TempFile seqs(">g1\nACGTACGTAC\n");
    auto run = [&](const std::string& motifText) {
        TempFile motifs(motifText);
        return runRekul({}, motifs.path(), seqs.path());
    };
    EXPECT_REFUSED(run(">M1\n-1.2 0.8 -0.5 0.1\n0.9 -2.1 -1.0 0.2\n-1 -1 1 -1\n1 -2 -2 -2\n"),
                   "holds log-odds matrices (negative values in most rows, as HOCOMOCO's .pwm "
                   "files do); rekul reads counts or frequencies: take the collection's counts "
                   "(.pcm), frequencies (.pfm), or its MEME or JASPAR file");
    // A MEME motif that gives only its log-odds matrix; with a letter-probability matrix too,
    // that one is read.
    const std::string meme =
        "MEME version 4\n\nALPHABET= ACGT\n\nMOTIF M1 one\nlog-odds matrix: alength= 4 w= 2\n"
        " -1 2 -1 -1\n 2 -1 -1 -1\n";
    EXPECT_REFUSED(run(meme), "Error: MEME motif M1 on line 6 gives only a log-odds matrix");
    EXPECT_EQ(run(meme + "letter-probability matrix: alength= 4 w= 2\n 0.1 0.7 0.1 0.1\n"
                         " 0.7 0.1 0.1 0.1\n")
                  .status,
              0);
    EXPECT_REFUSED(run(">ACG\tX\t3.2\n0.1\t0.2\t0.3\t0.4\n0.1\t0.9\t0\t0\t0\n"),
                   "Error: HOMER motif row on line 3 does not hold four numbers");
    EXPECT_REFUSED(run("Pos\tA\tC\tG\tT\n1\t0.1\t0.2\t0.3\t0.4\n3\t0.1\t0.2\t0.3\t0.4\n"),
                   "Error: CIS-BP matrix row on line 3 does not hold its position (2)");
}
