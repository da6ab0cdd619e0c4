// The command line as a user meets it: texts on the right stream, refusals with their
// messages, and exit status 1 for every failure, 0 for help and completed runs.
#include <getopt.h>
#include <gtest/gtest.h>

#include "TestUtil.hpp"
#include "common/Args.hpp"

namespace {

const std::string kExampleMotifs = EXAMPLES_DIR "/example.motifs";
const std::string kExampleGenes = EXAMPLES_DIR "/example.fa";

Args parse(std::vector<std::string> words) {
    words.insert(words.begin(), "rekul");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    optind = 0;  // restart the option scanner for each parse
    return Args(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

// -m 0 is a p-value of zero (the largest score), not a fixed cutoff.
TEST(ArgsParse, ReadsValuesAsAtoiAndKeepsTheLast) {
    const Args zero = parse({"-m", "0", "m"});
    EXPECT_EQ(zero.scoreThreshold, 0.0f);
    EXPECT_TRUE(zero.pValueCutoff());
    EXPECT_FALSE(parse({"-m", "1", "m"}).pValueCutoff());
    EXPECT_EQ(parse({"-w", "abc", "m"}).windowSize, 0);
    EXPECT_EQ(parse({"-w", "12abc", "m"}).windowSize, 12);
    EXPECT_EQ(parse({"-w", "300", "-w", "100", "m"}).windowSize, 100);
    EXPECT_EQ(parse({"-w200", "m"}).windowSize, 200);
    EXPECT_FLOAT_EQ(parse({"-m", "1", "m"}).scoreThreshold, 1.0f);
    EXPECT_FLOAT_EQ(parse({"-p", "0", "m"}).pseudocount, 0.0f);
    EXPECT_FLOAT_EQ(parse({"-m", "5e-07", "m"}).scoreThreshold, 5e-7f);  // the smallest p-value
}

TEST(ArgsParse, DefaultsSwitchesAndFileArguments) {
    Args grouped = parse({"-tl", "m", "s"});
    EXPECT_TRUE(grouped.useTfName);
    EXPECT_TRUE(grouped.maskLowercase);
    Args mixed = parse({"m.txt", "-w", "100", "s.fa", "third", "-g", "4"});
    EXPECT_EQ(mixed.motifFile, "m.txt");
    EXPECT_EQ(mixed.seqFile, "s.fa");
    EXPECT_EQ(mixed.windowSize, 100);
    EXPECT_EQ(mixed.geneNumber, 4);
}

TEST(ArgsParse, IntegerRange) {
    int32_t value = 0;
    EXPECT_TRUE(parseIntOption("2147483647", value));
    EXPECT_EQ(value, 2147483647);
    EXPECT_TRUE(parseIntOption("-2147483648", value));
    EXPECT_FALSE(parseIntOption("2147483648", value));
    EXPECT_FALSE(parseIntOption("99999999999999999999999", value));
    EXPECT_TRUE(parseIntOption("  7x", value));
    EXPECT_EQ(value, 7);
}

// Help and version go to standard output with status 0, after any valid option; usage goes
// to standard error with status 1, alone without arguments, after the option scanner's one
// line for an unknown option or a missing value.
TEST(Cli, HelpVersionAndUsageStreams) {
    for (const std::string& program : bothPrograms()) {
        const std::string name = std::filesystem::path(program).filename();
        Args initial;
        initial.program = name;
        const std::string help = initial.helpText() + "\n", text = initial.usageText() + "\n";
        for (auto args : {std::vector<std::string>{"-h"}, {"-w", "100", "-h"}, {"--help"}}) {
            RunResult r = runProgram(program, args);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, help);
            EXPECT_EQ(r.err, "");
        }
        EXPECT_NE(help.find("Example usage: " + name + " -w"), std::string::npos);
        RunResult version = runProgram(program, {"--version"});
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, name + " " + REKUL_VERSION + "\n");
        RunResult refused = runProgram(program, {"-w", "-5", "-h"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, "windowSize threshold should be >= zero\n");
        RunResult bare = runProgram(program, {});
        EXPECT_EQ(bare.status, 1);
        EXPECT_EQ(bare.out, "");
        EXPECT_EQ(bare.err, text);
        for (auto args :
             {std::vector<std::string>{"-x", "m", "s"}, {"m", "s", "-w"}, {"--bogus", "m", "s"}}) {
            RunResult r = runProgram(program, args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            ASSERT_GT(r.err.size(), text.size());
            EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), text) << args[0];
        }
        EXPECT_NE(runProgram(program, {"--bogus"}).err.find("'--bogus'"), std::string::npos);
        EXPECT_EQ(text.rfind("Usage: " + name + " [options]", 0), 0u);
    }
    // Texts that scripts and users have read for years, their odd spots included.
    const std::string help = Args().helpText() + "\n", text = Args().usageText();
    EXPECT_NE(help.find("-w windowSize threshold (default = 200).Print details\n"),
              std::string::npos);
    EXPECT_NE(help.find("-m Motif score threshold (default = 5).\n"), std::string::npos);
    EXPECT_EQ(help.substr(help.size() - 2), "\n\n");
    EXPECT_NE(text.find("-w windowSize threshold (default = 200)\n"), std::string::npos);
    EXPECT_NE(text.find("-p Pseudocount (default = 0.375)\n"), std::string::npos);
}

// Each refused value with its message; -p nan is no pseudocount, --threads starts at 1.
TEST(Cli, RefusedValues) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-p", "nan", "m", "s"}, "Pseudocount should be >= zero\n"},
        {{"--threads", "0", "m", "s"},
         "Error: --threads takes a whole number from 1 to 4096, not 0\n"},
        {{"-p", "-0.1", "m", "s"}, "Pseudocount should be >= zero\n"},
        {{"-p", "inf", "m", "s"}, "Pseudocount should be finite\n"},
        {{"-p", "1e39", "m", "s"}, "Pseudocount should be finite\n"},
        {{"-m", "1e-300", "m", "s"}, "motif score threshold p-value must be >= 5e-07\n"},
        {{"-m", "-1", "m", "s"}, "motif score threshold should be >= zero\n"},
        {{"-m", "nan", "m", "s"}, "motif score threshold should be >= zero\n"},
        {{"-m", "1e-7", "m", "s"}, "motif score threshold p-value must be >= 5e-07\n"},
        {{"-k", "-1", "m", "s"}, "minimum motif number threshold should be >= zero\n"},
        {{"-g", "-3", "m", "s"}, "gene number threshold should be >= zero\n"},
        {{"-o", "-3", "m", "s"}, "overlap distance threshold should be >= zero\n"},
        {{"-w", "3000000000", "m", "s"}, "-w value out of range: 3000000000\n"},
        {{"-k", "-3000000000", "m", "s"}, "-k value out of range: -3000000000\n"},
    };
    for (const std::string& program : bothPrograms()) {
        for (const auto& [args, message] : cases) {
            RunResult r = runProgram(program, args);
            EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, message);
        }
    }
}

// The short options keep atoi's and atof's readings, but say when a value held no number
// or a count held a fraction; -g 0 (every set of motifs is in at least 0 genes) and -o 0 (hits
// of similar matrices at one site all stay) are refused.
TEST(Cli, ValuesReadOtherwiseThanWrittenAreSaid) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> said = {
        {{"-w", "abc"}, "Warning: -w abc holds no number; it is read as 0\n"},
        {{"-m", "five"}, "Warning: -m five holds no number; it is read as 0\n"},
        {{"-p", "x"}, "Warning: -p x holds no number; it is read as 0\n"},
        {{"-g", "1.5"}, "Warning: -g takes a whole number, not 1.5; it is read as 1\n"},
        {{"-k", "2.9"}, "Warning: -k takes a whole number, not 2.9; it is read as 2\n"},
        {{"-w", " 12abc"}, ""},
        {{"-m", ".5"}, ""},
        {{"-m", "-0"}, ""},
        {{"-m", "inf"}, ""},
    };
    for (const auto& [args, warning] : said) {
        std::vector<std::string> line = args;
        line.insert(line.end(), {"--quiet", "-g", "1000", kExampleMotifs, kExampleGenes});
        if (args[0] == "-g") line.erase(line.end() - 4, line.end() - 2);
        const RunResult r = runProgram(REKUL_BIN, line);
        EXPECT_EQ(r.err.substr(0, warning.size()), warning) << args[0] << " " << args[1];
        EXPECT_EQ(r.err.find("Warning: -"), warning.empty() ? std::string::npos : 0) << r.err;
    }
    for (const char* zero : {"0", "ten"}) {
        const RunResult r = runProgram(REKUL_BIN, {"-g", zero, kExampleMotifs, kExampleGenes});
        EXPECT_REFUSED(r, "Error: -g 0 would report every set of motifs");
        const RunResult o = runProgram(REKULO_BIN, {"-o", zero, kExampleMotifs, kExampleGenes});
        EXPECT_REFUSED(o, "Error: -o 0 keeps hits that start at the same letter");
    }
}

TEST(Cli, FileArguments) {
    for (const std::string& program : bothPrograms()) {
        const std::string name = std::filesystem::path(program).filename();
        RunResult one = runProgram(program, {kExampleMotifs});
        EXPECT_EQ(one.status, 1);
        EXPECT_EQ(one.err, "Read: 8 motifs (native) from " + kExampleMotifs +
                               "\nCan't open sequence file!!!\n" + name +
                               ": no sequence file given: motifs first, then sequences\n");
        RunResult noMotifs = runProgram(program, {"/nonexistent/m", kExampleGenes});
        EXPECT_EQ(noMotifs.status, 1);
        EXPECT_EQ(noMotifs.err, "Can't open matrix file!!!\n" + name +
                                    ": /nonexistent/m: No such file or directory\n");
        EXPECT_EQ(noMotifs.out, "");
        EXPECT_EQ(runProgram(program, {"/", kExampleGenes}).err,
                  "Can't open matrix file!!!\n" + name + ": /: Is a directory\n");
        RunResult folder = runProgram(program, {kExampleMotifs, "/"});
        EXPECT_EQ(folder.err.substr(folder.err.find('\n') + 1),
                  "Can't open sequence file!!!\n" + name + ": /: Is a directory\n");
    }
    RunResult three = runProgram(REKUL_BIN, {"-g", "100", kExampleMotifs, kExampleGenes, "extra"});
    EXPECT_EQ(three.status, 0);
    EXPECT_EQ(three.out, "");
}

TEST(Cli, SeedValues) {
    EXPECT_EQ(parse({"--seed", "4294967295", "m"}).seed, 4294967295u);
    EXPECT_EQ(parse({"--seed=0", "m"}).seed, 0u);
    EXPECT_FALSE(parse({"m"}).seed.has_value());
    for (std::string bad : {"4294967296", "-1", "12x", ""}) {
        RunResult r = runProgram(REKUL_BIN, {"--seed", bad, "m", "s"});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_EQ(r.err,
                  "Error: --seed takes a whole number from 0 to 4294967295, not " + bad + "\n");
    }
}

TEST(Cli, QuietRunWritesOnlyTheReport) {
    for (const std::string& program : bothPrograms()) {
        for (auto args : {std::vector<std::string>{"--seed", "3", "-m", "0.01"}, {"-g", "1000"}}) {
            args.insert(args.end(), {kExampleMotifs, kExampleGenes});
            RunResult loud = runProgram(program, args);
            args.insert(args.begin(), "--quiet");
            RunResult quiet = runProgram(program, args);
            EXPECT_EQ(quiet.status, 0);
            // Nothing, but for the line that says why no module was found.
            const size_t why = std::min(loud.err.rfind("No module: "), loud.err.size());
            EXPECT_EQ(quiet.err, loud.err.substr(why));
            EXPECT_EQ(loud.out.empty(), why < loud.err.size());
            EXPECT_EQ(quiet.out, loud.out);
            EXPECT_NE(loud.err, "");
        }
    }
}

// A share of the genes sets -g once they are counted: 0.85 of the example's 40 genes is -g 34
// (rounded up, not past 34 for a product a hair above it), where no pair is frequent
// enough; with -g, or outside (0, 1], it is refused.
TEST(Cli, AShareOfTheGenesIsTheLeastNumberOfGenes) {
    const RunResult byShare =
        runProgram(REKUL_BIN, {"--min-gene-share", "0.85", kExampleMotifs, kExampleGenes});
    ASSERT_EQ(byShare.status, 0) << byShare.err;
    EXPECT_EQ(byShare.out, "");
    EXPECT_NE(byShare.err.find("Read: --min-gene-share 0.85 of 40 genes: -g 34\n"),
              std::string::npos);
    EXPECT_NE(byShare.err.find("(-g 34)\n"), std::string::npos);
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"-g", "10", "--min-gene-share", "0.5", kExampleMotifs,
                                          kExampleGenes}),
                   "Error: --min-gene-share and -g cannot be used together");
    for (const char* share : {"0", "1.5", "half"})
        EXPECT_REFUSED(
            runProgram(REKUL_BIN, {"--min-gene-share", share, kExampleMotifs, kExampleGenes}),
            "Error: --min-gene-share takes a number above 0 and at most 1");
}

// --progress summary keeps the lines that sum a run up, and the report as it is.
TEST(Cli, ProgressSummaryKeepsOnlyTheLinesThatSumARunUp) {
    const RunResult all = runProgram(REKUL_BIN, {"-m", "0.001", kExampleMotifs, kExampleGenes});
    const RunResult summary = runProgram(REKUL_BIN, {"--progress", "summary", "-m", "0.001",
                                                     "--seed", "1", kExampleMotifs, kExampleGenes});
    ASSERT_EQ(summary.status, 0) << summary.err;
    EXPECT_NE(all.err.find("motifHit for gene gene01\n"), std::string::npos);
    std::istringstream lines(summary.err);
    int kept = 0;
    for (std::string line; std::getline(lines, line); ++kept)
        EXPECT_TRUE(line.rfind("Read: ", 0) == 0 || line.rfind("Random seed: ", 0) == 0 ||
                    line.rfind("Done: ", 0) == 0)
            << line;
    EXPECT_EQ(kept, 4);  // motifs, genes, seed, done
    EXPECT_EQ(summary.out, runProgram(REKUL_BIN, {"--quiet", "-m", "0.001", "--seed", "1",
                                                  kExampleMotifs, kExampleGenes})
                               .out);
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--progress", "some", kExampleMotifs, kExampleGenes}),
                   "Error: --progress takes all or summary, not some");
}
