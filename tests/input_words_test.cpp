// What a run says about what it read: the Read and Done lines, and the warnings and errors
// for files that are not what they should be (not FASTA, protein, compressed otherwise than
// with gzip, swapped, all lower case with -l, shared factor names with -t).
#include <gtest/gtest.h>

#include "TestUtil.hpp"

static const std::string kMotifs =
    ">X1\tV$AAC\n1 0 0 0\n1 0 0 0\n0 1 0 0\n>X2\tV$GAT\n0 0 1 0\n1 0 0 0\n0 0 0 1\n";

TEST(InputWords, ReadAndDoneLines) {
    TempFile meme(
        "MEME version 4\n\nALPHABET= ACGT\n\nMOTIF M1 one\nletter-probability matrix: "
        "alength= 4 w= 2\n1 0 0 0\n0 1 0 0\n");
    RunResult r = runProgram(REKUL_BIN, {"-g", "1", meme.path(), kExamples + "example.fa"});
    EXPECT_EQ(r.err.rfind("Read: 1 motifs (MEME) from " + meme.path() +
                              "\nRead: 40 genes, 24,000 letters from " + kExamples + "example.fa\n",
                          0),
              0u)
        << r.err;
    RunResult found =
        runProgram(REKUL_BIN, {kExamples + "example.motifs", kExamples + "example.fa"});
    EXPECT_NE(found.err.find("\nDone: 5 modules written\n"), std::string::npos);
}

TEST(InputWords, SequenceFilesThatAreNotDna) {
    TempFile motifs(kMotifs);
    // A BED file: no '>' on line 1; its only "gene" is text.
    TempFile bed("chr2L\t100\t200\tgene1\nchr2L\t300\t400\tgene2\n");
    RunResult r = runProgram(REKUL_BIN, {motifs.path(), bed.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(occurrences(r.err, "Warning: " + bed.path() +
                                     " line 1 does not start with '>'; is it FASTA?\n"),
              1u);
    TempFile protein(">p1\nMKVLAAGIVGLLLAQW\n>p2\nMSTNPKPQRKTKRNTN\n>d1\nACGTNNACGT\n");
    RunResult p = runProgram(REKUL_BIN, {motifs.path(), protein.path()});
    EXPECT_EQ(p.status, 0);
    EXPECT_NE(p.err.find("Warning: gene p1 looks like protein or text, not DNA (2 of 3 genes of " +
                         protein.path() + " do)\n"),
              std::string::npos);
    EXPECT_EQ(occurrences(p.err, "looks like protein"), 1u);
    // Other compressions and binary files are refused on their first bytes.
    const std::vector<std::pair<std::string, std::string>> binaries{
        {std::string("BZh91AY&SY", 10), "is bzip2-compressed; only gzip is read"},
        {std::string("\xFD"
                     "7zXZ\0\0",
                     7),
         "is xz-compressed; only gzip is read"},
        {std::string("\x28\xB5\x2F\xFD\x24", 5), "is zstd-compressed; only gzip is read"},
        {std::string(">g1\nAC\0GT\n", 10), "holds NUL bytes; it is not a text file"}};
    for (const auto& [content, kind] : binaries) {
        TempFile file(content);
        RunResult b = runProgram(REKUL_BIN, {motifs.path(), file.path()});
        EXPECT_REFUSED(b, "Error: " + file.path() + " " + kind + "\n");
    }
}

TEST(InputWords, SwappedFilesAreNamedAndRowlessWarningsCapped) {
    TempFile motifs(kMotifs), genes(">g1\nAACGAT\n>g2\nGATTAC\n");
    RunResult swapped = runProgram(REKUL_BIN, {genes.path(), motifs.path()});
    EXPECT_REFUSED(swapped,
                   "Error: the files may be in the wrong order: motifs first, then sequences\n");
    // Many titles without rows: ten warnings, then one line for the rest.
    std::string titles;
    for (int i = 0; i < 25; ++i) titles.append(">t").append(std::to_string(i)).append("\nxyz\n");
    TempFile text(titles);
    RunResult many = runProgram(REKUL_BIN, {text.path(), genes.path()});
    EXPECT_EQ(many.status, 1);
    EXPECT_EQ(occurrences(many.err, "has no matrix rows; it cannot match\n"), 10u);
    EXPECT_NE(many.err.find("Warning: 15 more motifs have no matrix rows\n"), std::string::npos);
    EXPECT_EQ(many.err.find("wrong order"), std::string::npos);  // neither file is swapped
}

TEST(InputWords, MaskedFilesAndSharedFactorNames) {
    TempFile motifs(kMotifs + ">X3\tV$AAC\n1 0 0 0\n0 1 0 0\n>X4\tV$AAC\n0 0 0 1\n0 0 1 0\n");
    TempFile lower(">g1\naacgat\n>g2\nAACgat\n>g3\ngattac\n");
    const std::vector<std::string> files{motifs.path(), lower.path()};
    RunResult masked = runProgram(REKUL_BIN, {"-l", files[0], files[1]});
    EXPECT_NE(masked.err.find("Warning: -l masked every letter of 2 of 3 genes (first: g1)\n"),
              std::string::npos);
    TempFile allLower(">g1\naacgat\n>g2\ngattac\n");
    EXPECT_NE(runProgram(REKUL_BIN, {"-l", files[0], allLower.path()})
                  .err.find("of 2 of 2 genes (first: g1); the file is lower case\n"),
              std::string::npos);
    EXPECT_EQ(runProgram(REKUL_BIN, files).err.find("masked"), std::string::npos);
    RunResult named = runProgram(REKUL_BIN, {"-t", files[0], files[1]});
    EXPECT_EQ(occurrences(named.err,
                          "Warning: 3 matrices share the factor name AAC; with -t they "
                          "act as one factor\n"),
              1u);
    EXPECT_EQ(occurrences(named.err, "share the factor name"), 1u);
    EXPECT_EQ(runProgram(REKUL_BIN, files).err.find("share the factor name"), std::string::npos);
}
