// The statistics options as a user runs them: the table beside an unchanged report, the same
// table at every thread count, repeated sequences, background genes named like foreground
// genes, and the refusals of options that need each other.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "TestUtil.hpp"
#include "common/Text.hpp"

namespace {

// The file with every title's name prefixed, so that its genes can serve as a background.
std::string renamed(const std::string& path, const std::string& prefix) {
    return replaceAll("\n" + readFile(path), "\n>", "\n>" + prefix).substr(1);
}

}  // namespace

TEST(StatsCli, ReportUnchangedAndTableTheSameOnAnyNumberOfThreads) {
    const std::vector<std::pair<std::string, std::string>> runs{
        {REKUL_BIN, kExamples + "example.fa"}, {REKULO_BIN, kExamples + "example.ortho.fa"}};
    for (const auto& [program, genes] : runs) {
        TempFile background(renamed(genes, "bg_")), one("", "one.tsv"), two("", "two.tsv");
        const std::vector<std::string> plain{"--quiet", kExamples + "example.motifs", genes};
        RunResult base = runProgram(program, plain);
        std::vector<std::string> args = plain;
        args.insert(args.begin(), {"--background", background.path(), "--permutations", "30",
                                   "--seed", "3", "--stats"});
        auto withStats = [&](const TempFile& table, const std::string& threads) {
            std::vector<std::string> all = args;
            all.insert(all.begin() + 7, table.path());
            all.insert(all.begin(), {"--threads", threads});
            return runProgram(program, all);
        };
        RunResult r1 = withStats(one, "1"), r2 = withStats(two, "2");
        EXPECT_EQ(r1.status, 0) << r1.err;
        EXPECT_EQ(r1.out, base.out);
        EXPECT_EQ(r2.out, base.out);
        const std::string table = readFile(one.path());
        // The notes name the command line, which differs in the thread count and file name.
        auto rows = [](const std::string& text) { return text.substr(0, text.find("\n#")); };
        EXPECT_EQ(rows(table), rows(readFile(two.path())));
        // The reference method, a search per permutation, gives the same table, where the
        // fdr is not marked as a lower limit.
        args.insert(args.end() - 2, {"--permutation-method", "search"});
        RunResult searched = withStats(two, "2");
        EXPECT_EQ(searched.out, base.out);
        const auto pooled = ::rows(table), reference = ::rows(readFile(two.path()));
        const std::smatch bound = [&] {
            std::smatch found;
            std::regex_search(table, found, std::regex("exact below ([0-9.]+); values from"));
            return found;
        }();
        const double exactBelow = bound.empty() ? 1.0 : std::stod(bound[1]);
        ASSERT_EQ(pooled.size(), reference.size());
        for (size_t r = 1; r < pooled.size() && pooled[r][0][0] == 'M'; ++r) {
            for (size_t c = 0; c < pooled[r].size(); ++c) {
                // No fdr below the floor of 30 permutations, 1/31, where none is as good.
                EXPECT_GE(std::stod(pooled[r][14]), 0.032258);
                const bool lowerLimit = std::stod(pooled[r][14]) >= exactBelow;
                if (c == 14 && lowerLimit) continue;
                // fdr_exact says which: 0 for a lower limit, 1 for every value of a search.
                if (c == 16) {
                    EXPECT_EQ(pooled[r][c], lowerLimit ? "0" : "1") << program << " row " << r;
                    EXPECT_EQ(reference[r][c], "1");
                    continue;
                }
                EXPECT_EQ(pooled[r][c], reference[r][c]) << program << " row " << r;
            }
        }
        EXPECT_EQ(std::count(table.begin(), table.end(), '\n'),
                  std::count(base.out.begin(), base.out.end(), '>') + 1 + 13);
        EXPECT_NE(table.find("# test: one-sided Fisher exact test, foreground vs background "
                             "genes\n"),
                  std::string::npos);
        EXPECT_NE(table.find("# random seed: 3\n# "), std::string::npos);
        EXPECT_NE(table.find("# permutations: 30\n"), std::string::npos);
        // Every row: 17 fields, the background the same size as the foreground.
        EXPECT_TRUE(std::regex_search(table, std::regex("\nM1\t[^\t\n]+(\t[^\t\n]*){15}\n")));
        EXPECT_TRUE(std::regex_search(table, std::regex("\t([0-9]+)\t[^\t]+\t[0-9]+\t\\1\t")));
    }
}

TEST(StatsCli, RepeatedSequencesAreNamedAndDroppedWithUnique) {
    // g2 repeats g1; g3 does too once upper-cased; g4 is its own.
    TempFile genes(">g1\nAACTGATCTA\n>g2\nAACTGATCTA\n>g3\naactgatcta\n>g4\nAACTG\n");
    const std::vector<std::string> args{"-g", "1", kGolden + "four.motifs", genes.path()};
    RunResult plain = runProgram(REKUL_BIN, args);
    EXPECT_NE(plain.err.find("Warning: 2 genes repeat the sequence of an earlier gene (first: g2 "
                             "repeats g1)\n"),
              std::string::npos);
    EXPECT_NE(plain.err.find("Gene 2:\tg3\n"), std::string::npos);
    std::vector<std::string> masked = args;
    masked.insert(masked.begin(), "-l");
    EXPECT_NE(runProgram(REKUL_BIN, masked).err.find("Warning: 1 genes repeat"), std::string::npos);
    std::vector<std::string> unique = args;
    unique.insert(unique.begin(), "--unique");
    RunResult dropped = runProgram(REKUL_BIN, unique);
    EXPECT_NE(dropped.err.find("(first: g2 repeats g1); --unique left them out\n"),
              std::string::npos);
    EXPECT_NE(dropped.err.find("Gene 1:\tg4\n"), std::string::npos);
    EXPECT_EQ(dropped.err.find("g3"), std::string::npos);
}

TEST(StatsCli, BackgroundGenesNamedLikeForegroundGenesAreLeftOut) {
    TempFile background(">g1\nAACTGATCTA\n>b1\nAACCTA\n>b2\nGATTGC\n"), table("", "t.tsv");
    RunResult r = runProgram(
        REKUL_BIN, {"-p", "0", "-m", "1", "-g", "3", "--stats", table.path(), "--background",
                    background.path(), kGolden + "four.motifs", kGolden + "four.fa"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(headers(r.out), headers(readFile(kGolden + "four.out")));
    EXPECT_NE(r.err.find("Warning: 1 background genes share a name with a foreground gene and are "
                         "left out of the background (first: g1)\n"),
              std::string::npos);
    EXPECT_NE(readFile(table.path()).find("\t4\t"), std::string::npos);  // genes_total
    EXPECT_TRUE(std::regex_search(readFile(table.path()), std::regex("\t[0-9]+\t2\t")));
}

TEST(StatsCli, OptionsThatNeedEachOtherAreRefused) {
    const std::string motifs = kGolden + "four.motifs", genes = kGolden + "four.fa";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--stats", "t.tsv", "--permutations", "10", motifs, genes},
          {"--background", genes, motifs, genes},
          {"--stats", "-", motifs, genes},
          {"--stats", "/nonexistent/dir/t.tsv", motifs, genes},
          {"--permutations", "1000001", "--stats", "t.tsv", motifs, genes}}) {
        RunResult r = runProgram(REKUL_BIN, args);
        EXPECT_REFUSED(r, "Error: ");
        EXPECT_EQ(r.err.rfind("Error: ", 0), 0u) << r.err;
    }
}

namespace {

// Random genes that hold none of the example's planted modules.
std::string randomGenes(int count, int length) {
    std::mt19937 random(9);
    std::string text;
    for (int g = 0; g < count; ++g) {
        text += ">r" + std::to_string(g) + "\n";
        for (int i = 0; i < length; ++i) text += "ACGT"[random() % 4];
        text += "\n";
    }
    return text;
}

// A report of the example, its statistics table against random genes, and the table's rows.
struct ExampleStats {
    TempFile background{randomGenes(150, 600), "bg.fa"};
    TempFile table{"", "stats.tsv"};
    TempFile report{""};
    explicit ExampleStats(bool permute) {
        std::vector<std::string> args{"--quiet",    "--seed",       "5",
                                      "-g",         "10",           "--stats",
                                      table.path(), "--background", background.path()};
        if (permute) args.insert(args.end(), {"--permutations", "20"});
        args.insert(args.end(), {kExamples + "example.motifs", kExamples + "example.fa"});
        std::ofstream(report.path()) << runProgram(REKUL_BIN, args).out;
    }
};

}  // namespace

TEST(ReportStats, ColumnsJoinedByModuleFilteredAndSorted) {
    ExampleStats run(true);
    const auto table = rows(readFile(run.table.path()));
    ASSERT_GE(table.size(), 4u);
    RunResult tsv = runProgram(REKUL_REPORT_BIN, {"--stats", run.table.path(), run.report.path()});
    const auto joined = rows(tsv.out);
    ASSERT_EQ(joined.size(), table.size());
    EXPECT_EQ(joined[0].size(), 16u);
    EXPECT_EQ(joined[0].back(), "parent");
    for (size_t r = 1; r < joined.size(); ++r) {
        EXPECT_EQ(joined[r][0], table[r][0]);
        ASSERT_GE(joined[r].size(), 15u);
        // The table's columns from background_genes to p_vs_parts (fdr_exact stays behind).
        EXPECT_EQ(std::vector<std::string>(joined[r].begin() + 6, joined[r].begin() + 15),
                  std::vector<std::string>(table[r].begin() + 7, table[r].begin() + 16));
    }
    // The page says what a value at the floor of 20 permutations, 1/21, is: at most that.
    const std::string page =
        runProgram(REKUL_REPORT_BIN, {"--html", "--stats", run.table.path(), run.report.path()})
            .out;
    EXPECT_EQ(table[1][13], "0.047619");
    EXPECT_NE(page.find("\"fwert\":\"\u22640.047619\""), std::string::npos);
    // The q value in the middle keeps the modules at or below it, in every form.
    std::vector<double> q;
    for (size_t r = 1; r < table.size(); ++r) q.push_back(std::stod(table[r][12]));
    std::vector<double> sorted = q;
    std::sort(sorted.begin(), sorted.end());
    const double middle = sorted[sorted.size() / 2];
    const auto atMost = std::count_if(q.begin(), q.end(), [&](double v) { return v <= middle; });
    std::ostringstream limit;
    limit << std::setprecision(17) << middle;
    RunResult kept =
        runProgram(REKUL_REPORT_BIN, {"--stats", run.table.path(), "--max-q", limit.str(), "--sort",
                                      "q_value", run.report.path()});
    const auto keptRows = rows(kept.out);
    ASSERT_EQ(static_cast<long>(keptRows.size()) - 1, atMost);
    for (size_t r = 2; r < keptRows.size(); ++r)
        EXPECT_LE(std::stod(keptRows[r - 1][11]), std::stod(keptRows[r][11]));
    // --max-fwer keeps a module whose fwer is the limit itself, as the table writes it.
    const std::string fwer = table[1][13];
    const auto atFwer = rows(runProgram(REKUL_REPORT_BIN, {"--stats", run.table.path(),
                                                           "--max-fwer", fwer, run.report.path()})
                                 .out);
    EXPECT_TRUE(
        std::any_of(atFwer.begin(), atFwer.end(), [&](const auto& row) { return row[0] == "M1"; }))
        << "fwer " << fwer;
    RunResult bed = runProgram(REKUL_REPORT_BIN, {"--bed", "--stats", run.table.path(), "--max-q",
                                                  limit.str(), run.report.path()});
    std::set<std::string> keptIds, bedIds;
    for (const auto& row : keptRows)
        if (row[0] != "module") keptIds.insert(row[0]);
    for (const auto& row : rows(bed.out))
        if (!row[0].starts_with("track ")) bedIds.insert(row[3].substr(0, row[3].find(':')));
    EXPECT_EQ(bedIds, keptIds);
    // The modules that beat their parts: p_vs_parts at most the middle value, with --closed.
    std::vector<double> parts;
    for (size_t r = 1; r < table.size(); ++r) parts.push_back(std::stod(table[r][15]));
    std::vector<double> ordered = parts;
    std::sort(ordered.begin(), ordered.end());
    std::ostringstream partsLimit;
    partsLimit << std::setprecision(17) << ordered[ordered.size() / 2];
    for (const bool closed : {false, true}) {
        std::vector<std::string> args{"--stats", run.table.path(), "--max-parts-p",
                                      partsLimit.str(), run.report.path()};
        if (closed) args.insert(args.begin(), "--closed");
        const auto beating = rows(runProgram(REKUL_REPORT_BIN, args).out);
        ASSERT_GT(beating.size(), 1u);
        for (size_t r = 1; r < beating.size(); ++r)
            EXPECT_LE(std::stod(beating[r][14]), ordered[ordered.size() / 2]);
        if (closed) continue;
        EXPECT_EQ(beating.size() - 1,
                  static_cast<size_t>(std::count_if(parts.begin(), parts.end(), [&](double v) {
                      return v <= ordered[ordered.size() / 2];
                  })));
    }
}

// With a statistics table, the page opens ranked by fwer, then p: its table's rows and its
// first views in that order.
TEST(ReportStats, ThePageOpensRankedByFwer) {
    ExampleStats run(true);
    const auto table = rows(readFile(run.table.path()));
    const std::string page =
        runProgram(REKUL_REPORT_BIN, {"--html", "--stats", run.table.path(), run.report.path()})
            .out;
    // The page opens ranked by fwer, then p: the table's rows in that order.
    std::vector<size_t> expected;
    for (size_t r = 1; r < table.size() && table[r][0][0] == 'M'; ++r) expected.push_back(r);
    std::stable_sort(expected.begin(), expected.end(), [&](size_t a, size_t b) {
        const double fa = std::stod(table[a][13]), fb = std::stod(table[b][13]);
        if (fa != fb) return fa < fb;
        return std::stod(table[a][10]) < std::stod(table[b][10]);
    });
    SKIP_WITHOUT_CHROMIUM();
    const std::string pagePath = std::string(BUILD_DIR) + "/report-ranked.html";
    std::ofstream(pagePath) << page;
    const std::string dom = chromiumDom(pagePath, "chromium-profile-ranked").out;
    const size_t body = dom.find("<tbody>", dom.find("<table id=\"modules\""));
    ASSERT_NE(body, std::string::npos);
    std::vector<std::string> shown;
    const std::regex link("<tr[^>]*><td><a href=\"#(M[0-9]+)\"");
    const std::string rowsText = dom.substr(body, dom.find("</tbody>", body) - body);
    for (std::sregex_iterator at(rowsText.begin(), rowsText.end(), link), end; at != end; ++at)
        shown.push_back((*at)[1]);
    ASSERT_EQ(shown.size(), expected.size());
    EXPECT_EQ(shown.front(), table[expected.front()][0]);
    for (size_t k = 0; k < shown.size(); ++k) EXPECT_EQ(shown[k], table[expected[k]][0]) << k;
    // The order differs from the report's, or the test would not tell.
    EXPECT_FALSE(std::is_sorted(expected.begin(), expected.end()));
}

TEST(ReportStats, TablesThatDoNotFitAreRefused) {
    ExampleStats run(false);
    const std::string other = kGolden + "four.out";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--stats", run.table.path(), other},
          {"--max-q", "0.05", run.report.path()},
          {"--sort", "fwer", run.report.path()},
          {"--stats", run.table.path(), "--max-fwer", "0.05", run.report.path()},
          {"--stats", run.table.path(), "--max-q", "2", run.report.path()},
          {"--max-parts-p", "0.5", run.report.path()},
          {"--stats", run.report.path(), run.report.path()}}) {
        RunResult r = runProgram(REKUL_REPORT_BIN, args);
        EXPECT_REFUSED(r, "Error: ");
    }
    // A table of another report that holds this report's first modules: nothing is written
    // in any form before the refusal.
    TempFile shorter(
        readFile(run.report.path()).substr(0, readFile(run.report.path()).find('>', 1)),
        "short.txt");
    for (const char* form : {"--hits", "--bedpe", "--gff", "--tsv"})
        EXPECT_REFUSED(
            runProgram(REKUL_REPORT_BIN, {form, "--stats", run.table.path(), shorter.path()}),
            "it belongs to another report");
    // Values that are no probabilities, named with their line.
    const std::string table = readFile(run.table.path());
    const size_t row = table.find("\nM1\t") + 1, end = table.find('\n', row);
    std::vector<std::string> fields = splitAt(table.substr(row, end - row), '\t');
    for (const auto& [column, value] : {std::pair<size_t, const char*>{10, "inf"}, {12, "1.5"}}) {
        std::vector<std::string> damaged = fields;
        damaged[column] = value;
        std::string line;
        for (const std::string& field : damaged) line += (line.empty() ? "" : "\t") + field;
        TempFile bad(table.substr(0, row) + line + table.substr(end), "bad.tsv");
        EXPECT_REFUSED(runProgram(REKUL_REPORT_BIN, {"--stats", bad.path(), run.report.path()}),
                       "line 2: " + std::string(column == 10 ? "p_value inf" : "q_value 1.5") +
                           " lies outside [0, 1]");
    }
    // "nan" reads as a number but would pass no filter: --max-fwer would drop the module.
    for (const auto& [column, name] :
         {std::pair<size_t, std::string>{10, "p_value"}, {12, "q_value"}, {15, "p_vs_parts"}}) {
        std::vector<std::string> damaged = fields;
        damaged[column] = "nan";
        std::string line;
        for (const std::string& field : damaged) line += (line.empty() ? "" : "\t") + field;
        TempFile bad(table.substr(0, row) + line + table.substr(end), "nan.tsv");
        EXPECT_REFUSED(runProgram(REKUL_REPORT_BIN, {"--stats", bad.path(), run.report.path()}),
                       "line 2: " + name + " nan is not a number");
    }
}

TEST(ReportStats, InputsReadTwiceOrFromStandardInputAndNamesBedReadersWouldSkip) {
    ExampleStats run(false);
    const std::string report = run.report.path();
    const RunResult plain = runProgram(REKUL_REPORT_BIN, {"--closed", report});
    ASSERT_EQ(plain.status, 0);
    // A pipe is copied before it is read twice, as standard input is.
    const RunResult piped = runProgram(
        "bash",
        {"-c", shellQuote(REKUL_REPORT_BIN) + " --closed <(cat " + shellQuote(report) + ")"});
    EXPECT_EQ(rows(piped.out), rows(plain.out));
    EXPECT_GT(rows(piped.out).size(), 1u);
    for (const char* option : {"--stats", "--motifs", "--fasta"})
        EXPECT_REFUSED(runProgram(REKUL_REPORT_BIN, {option, "-", "-"}),
                       "only one input can be standard input");
    EXPECT_REFUSED(runProgram(REKUL_REPORT_BIN, {"--stats", "-"}),
                   "only one input can be standard input");
    // A motif file that holds none of the report's motifs.
    const RunResult unlabelled =
        runProgram(REKUL_REPORT_BIN, {"--motifs", kGolden + "four.motifs", report});
    EXPECT_EQ(unlabelled.status, 0);
    EXPECT_NE(unlabelled.err.find("Warning: 4 of the report's 4 motifs are not in " + kGolden +
                                  "four.motifs; they have no label and no logo\n"),
              std::string::npos)
        << unlabelled.err;
    // Genes whose names would begin lines that BED readers skip.
    for (const std::string name : {"#g", "track1", "browserX"}) {
        TempFile renamed(replaceAll(readFile(report), "\ngene01\n", "\n" + name + "\n"), "r.txt");
        for (const char* form : {"--bed", "--bedpe"})
            EXPECT_REFUSED(runProgram(REKUL_REPORT_BIN, {form, renamed.path()}),
                           "Error: gene " + name + " would begin BED lines");
        EXPECT_EQ(runProgram(REKUL_REPORT_BIN, {"--gff", renamed.path()}).status, 0);
    }
}

TEST(ReportStats, PageStarsTheModulesThatPassTheFamilyWiseError) {
    SKIP_WITHOUT_CHROMIUM();
    ExampleStats run(true);
    // Every other module made to fail fwer (its q passes all the same), one of them passing
    // fdr: the stars follow fwer alone, the open star fdr.
    std::string edited;
    int64_t passing = 0, discovered = 0, row = 0;
    std::istringstream lines(readFile(run.table.path()));
    for (std::string line; std::getline(lines, line); edited += line + "\n") {
        if (line.rfind("M", 0) != 0) continue;
        std::vector<std::string> fields = splitAt(line, '\t');
        ASSERT_LE(std::stod(fields[12]), 0.05);
        if (row++ % 2) {
            fields[13] = "0.5";
            fields[14] = row == 2 ? "0.01" : "0.5";
            discovered += row == 2;
        } else {
            passing += std::stod(fields[13]) <= 0.05;
        }
        line.clear();
        for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + field;
    }
    ASSERT_GT(row, 2);
    std::ofstream(run.table.path()) << edited;
    const std::string page = std::string(BUILD_DIR) + "/report-stats.html";
    RunResult html = runProgram(REKUL_REPORT_BIN, {"--html", "--stats", run.table.path(), "--sort",
                                                   "fwer", run.report.path()});
    std::ofstream(page) << html.out;
    RunResult dom = chromiumDom(page, "chromium-profile-stats");
    ASSERT_NE(dom.out.find("</html>"), std::string::npos) << dom.err;
    EXPECT_NE(dom.out.find("id=\"failure\" hidden"), std::string::npos);
    EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err;
    EXPECT_NE(dom.out.find("data-key=\"fwer\">fwer</th>"), std::string::npos);
    EXPECT_EQ(static_cast<int64_t>(occurrences(dom.out, "class=\"significant\"")), passing);
    EXPECT_EQ(static_cast<int64_t>(occurrences(dom.out, "class=\"discovered\"")), discovered);
    EXPECT_NE(dom.out.find("\u2605 marks the modules with fwer \u2264 0.05"), std::string::npos);
    // The volcano plot links a point to each module (every one has a q and a fold, "inf"
    // included).
    const size_t from = dom.out.find("<svg id=\"volcano\""), to = dom.out.find("</svg>", from);
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(occurrences(dom.out.substr(from, to - from), "<a href=\"#M"),
              rows(readFile(run.table.path())).size() - 1);
    // Without a background no module has a fold: no plot, and the caption says why.
    TempFile table("", "plain.tsv");
    TempFile report(runProgram(REKUL_BIN, {"--quiet", "-g", "10", "--stats", table.path(),
                                           kExamples + "example.motifs", kExamples + "example.fa"})
                        .out);
    std::ofstream(page)
        << runProgram(REKUL_REPORT_BIN, {"--html", "--stats", table.path(), report.path()}).out;
    RunResult bare = chromiumDom(page, "chromium-profile-stats");
    ASSERT_NE(bare.out.find("</html>"), std::string::npos) << bare.err;
    EXPECT_EQ(bare.out.find("<svg id=\"volcano\""), std::string::npos);
    EXPECT_EQ(occurrences(bare.out, "class=\"significant\""), 0u);
    EXPECT_NE(bare.out.find("No module is starred: the statistics table comes from a run "
                            "without permutations"),
              std::string::npos);
    EXPECT_NE(bare.out.find("No volcano plot: the statistics table comes from a run without a "
                            "background"),
              std::string::npos);
}

// Every form says how it was made, the statistics table's own notes included.
TEST(ReportStats, EveryFormSaysHowItWasMade) {
    ExampleStats run(false);
    const std::vector<std::string> base{"--stats", run.table.path(), run.report.path()};
    for (const char* form : {"--tsv", "--hits", "--gff", "--bed", "--bedpe", "--html"}) {
        std::vector<std::string> args{form};
        args.insert(args.end(), base.begin(), base.end());
        const std::string out = runProgram(REKUL_REPORT_BIN, args).out;
        const std::string command = std::string(REKUL_REPORT_BIN) + " " + form + " --stats";
        EXPECT_NE(out.find("program: rekul-report " REKUL_VERSION), std::string::npos) << form;
        EXPECT_NE(out.find(command), std::string::npos) << form;
        EXPECT_NE(out.find("stats table program: rekul " REKUL_VERSION), std::string::npos) << form;
        EXPECT_NE(out.find("stats table test: one-sided Fisher"), std::string::npos) << form;
    }
    const std::string bed = runProgram(REKUL_REPORT_BIN, {"--bed", run.report.path()}).out;
    EXPECT_EQ(bed.rfind("track name=rekul-modules description=\"program: rekul-report", 0), 0u);
}

TEST(StatsCli, OutputsNeverDestroyInputsEarlierTablesOrTheReport) {
    const std::string motifs = kGolden + "four.motifs";
    TempFile genes(readFile(kGolden + "four.fa"), "genes.fa");
    const std::string folder = genes.path().substr(0, genes.path().rfind('/'));
    const std::string link = folder + "/other-name.fa";
    ASSERT_EQ(::link(genes.path().c_str(), link.c_str()), 0);
    for (const std::string& table : {genes.path(), link}) {
        EXPECT_REFUSED(runProgram(REKUL_BIN, {"--stats", table, motifs, genes.path()}),
                       "is the sequence file of this run");
        EXPECT_EQ(readFile(genes.path()), readFile(kGolden + "four.fa"));
    }
    EXPECT_REFUSED(runProgram(REKUL_BIN, {"--stats", motifs, motifs, genes.path()}),
                   "is the motif file of this run");
    // The file that standard output writes to, by its name or as /dev/stdout.
    const std::string out = folder + "/out.txt";
    for (const std::string& table : {out, std::string("/dev/stdout")}) {
        const RunResult run =
            runProgram("sh", {"-c", shellQuote(REKUL_BIN) + " --stats " + table + " " + motifs +
                                        " " + genes.path() + " > " + out});
        EXPECT_EQ(run.status, 1) << table;
        EXPECT_NE(run.err.find("the report would be overwritten"), std::string::npos) << run.err;
    }
    // A run that fails leaves the earlier table as it was, and no temporary file.
    const std::string table = folder + "/stats.tsv";
    std::ofstream(table) << "earlier\n";
    RunResult failed = runProgram(REKUL_BIN, {"--stats", table, "missing.motifs", genes.path()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(readFile(table), "earlier\n");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++files;
    EXPECT_EQ(files, 4u);  // genes, its link, out.txt and the table
    // Stopped by SIGINT or SIGTERM in the middle of its permutations: the table of the
    // permutations done, marked, and the signal's status.
    TempFile background(renamed(kExamples + "example.fa", "bg_"), "bg.fa");
    for (const auto& [signal, status] :
         {std::pair<const char*, const char*>{"INT", "130"}, {"TERM", "143"}}) {
        const RunResult stopped = runProgram(
            "sh", {"-c", shellQuote(REKUL_BIN) + " --seed 1 --permutations 1000000 --stats " +
                             table + " --background " + background.path() + " " + kExamples +
                             "example.motifs " + kExamples + "example.fa > /dev/null 2>" + folder +
                             "/err & sleep 1; kill -" + signal + " $!; wait $!; echo $?"});
        EXPECT_EQ(stopped.out, std::string(status) + "\n");
        const std::string written = readFile(table);
        EXPECT_EQ(written.rfind("module\t", 0), 0u);
        EXPECT_NE(written.find(" of 1000000 permutations; fwer and fdr come from those done\n"),
                  std::string::npos);
        EXPECT_GT(rows(written).size(), 1u);
        EXPECT_NE(readFile(folder + "/err").find("Permutations: stopped after "),
                  std::string::npos);
        std::filesystem::remove(folder + "/err");
        files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
            ++files;
        EXPECT_EQ(files, 4u);
    }
    RunResult done = runProgram(REKUL_BIN, {"-g", "3", "--stats", table, motifs, genes.path()});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(readFile(table).rfind("module\t", 0), 0u);
}

TEST(StatsCli, BackgroundGenesThatRepeatTheForegroundOrHoldNoBaseAreNamed) {
    const std::string motifs = kGolden + "four.motifs";
    // b1 is g1 renamed, b2 holds only N, b3 nothing, b4 is its own.
    TempFile background(">b1\nAACNGATNCTANTGC\n>b2\nNNNN\n>b3\n>b4\nGATTGCAACC\n", "bg.fa");
    TempFile genes(readFile(kGolden + "four.fa"), "genes.fa"), table("", "t.tsv");
    const std::vector<std::string> args{"-p",           "0",
                                        "-m",           "1",
                                        "-g",           "3",
                                        "--stats",      table.path(),
                                        "--background", background.path(),
                                        motifs,         genes.path()};
    RunResult plain = runProgram(REKUL_BIN, args);
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.err.find("Warning: 2 genes of the background hold no base and are left out "
                             "of it (first: b2)\n"),
              std::string::npos);
    EXPECT_NE(plain.err.find("Warning: 1 genes of the background repeat the sequence of a "
                             "foreground gene (first: b1 repeats g1); --unique leaves them out\n"),
              std::string::npos);
    ASSERT_GT(rows(readFile(table.path())).size(), 1u);
    EXPECT_EQ(rows(readFile(table.path()))[1][8], "2");  // background_total: b1 and b4
    std::vector<std::string> unique = args;
    unique.insert(unique.begin(), "--unique");
    RunResult dropped = runProgram(REKUL_BIN, unique);
    EXPECT_NE(dropped.err.find("(first: b1 repeats g1); --unique left them out\n"),
              std::string::npos);
    ASSERT_GT(rows(readFile(table.path())).size(), 1u);
    EXPECT_EQ(rows(readFile(table.path()))[1][8], "1");
    // Standard input is named so, and rekulo counts groups.
    TempFile empty(">b1\n", "empty.fa");
    RunResult none = runProgram(
        "sh", {"-c", shellQuote(REKUL_BIN) + " --stats " + table.path() + " --background - " +
                         motifs + " " + genes.path() + " < " + empty.path()});
    EXPECT_NE(none.err.find("Error: background standard input has no gene to compare with"),
              std::string::npos)
        << none.err;
    TempFile groups(">o1\n<AACT\n<AACT\n>o2\n<AACT\n<AACT\n", "groups.fa");
    EXPECT_NE(runProgram(REKULO_BIN, {motifs, groups.path()})
                  .err.find("Warning: 1 groups repeat the sequences of an earlier group"),
              std::string::npos);
}

TEST(ReportStats, TheSingleMotifBaselineIsWrittenAndShownAtTheTopOfThePage) {
    TempFile background(renamed(kExamples + "example.fa", "bg_"), "bg.fa"), table("", "t.tsv"),
        motifTable("", "m.tsv");
    const std::vector<std::string> inputs{kExamples + "example.motifs", kExamples + "example.fa"};
    EXPECT_REFUSED(
        runProgram(REKUL_BIN, {"--motif-stats", motifTable.path(), inputs[0], inputs[1]}),
        "Error: --motif-stats needs a background");
    const RunResult run =
        runProgram(REKUL_BIN, {"--quiet", "--seed", "2", "-g", "10", "--permutations", "10",
                               "--stats", table.path(), "--background", background.path(),
                               "--motif-stats", motifTable.path(), inputs[0], inputs[1]});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("Permutations: "), std::string::npos);  // --quiet
    // Off a terminal, the permutations' progress is a line for each tenth done.
    const RunResult told = runProgram(
        REKUL_BIN, {"--seed", "2", "-g", "10", "--permutations", "20", "--stats", table.path(),
                    "--background", background.path(), inputs[0], inputs[1]});
    EXPECT_EQ(occurrences(told.err, "Permutations: "), 10u);
    EXPECT_NE(told.err.find("Permutations: 2 of 20, about "), std::string::npos);
    EXPECT_NE(told.err.find("Permutations: 20 of 20, done\n"), std::string::npos);
    const auto motifRows = rows(readFile(motifTable.path()));
    ASSERT_EQ(motifRows.size(), 1u + 8);  // the header and the example's eight motifs
    EXPECT_EQ(motifRows[0][0], "motif");
    EXPECT_EQ(motifRows[1][2], motifRows[1][4]);  // the background is the foreground renamed
    EXPECT_NE(readFile(motifTable.path()).find("# permutations: 10\n"), std::string::npos);
    TempFile report(run.out, "r.txt");
    EXPECT_REFUSED(
        runProgram(REKUL_REPORT_BIN, {"--motif-stats", motifTable.path(), report.path()}),
        "--motif-stats shows its table in the page: it needs --html");
    const RunResult html =
        runProgram(REKUL_REPORT_BIN, {"--html", "--motif-stats", motifTable.path(), report.path()});
    ASSERT_EQ(html.status, 0) << html.err;
    SKIP_WITHOUT_CHROMIUM();
    const std::string page = std::string(BUILD_DIR) + "/report-motif-stats.html";
    std::ofstream(page) << html.out;
    const RunResult dom = chromiumDom(page, "chromium-profile-motif-stats");
    ASSERT_NE(dom.out.find("</html>"), std::string::npos) << dom.err;
    EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err;
    const size_t from = dom.out.find("<table id=\"motif-stats\">");
    const size_t to = dom.out.find("</table>", from);
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(occurrences(dom.out.substr(from, to - from), "<tr>"), 1u + 8);
    EXPECT_EQ(occurrences(dom.out.substr(from, to - from), "<th class=\"sortable\">"), 12u);
}

// Overlap removal gives a short matrix's sites to a longer one that scores better at the
// same start; the run says which motifs are left without a hit, and the baseline counts
// each motif's hits before and after.
TEST(ReportStats, MotifsThatLoseEveryHitToOverlapAreSaid) {
    TempFile motifs(
        ">LONG\tV$LONG\n9 0 0 0\n0 9 0 0\n0 0 9 0\n0 0 0 9\n9 0 0 0\n0 9 0 0\n"
        ">SHORT\tV$SHORT\n9 0 0 0\n0 9 0 0\n0 0 9 0\n0 0 0 9\n",
        "m.motifs");
    std::string genes;
    for (int g = 0; g < 4; ++g) genes += ">g" + std::to_string(g) + "\nTTTTACGTACTTTTACGTACTTTT\n";
    TempFile fg(genes, "fg.fa"), bg(renamed(fg.path(), "bg_"), "bg.fa"), table("", "t.tsv"),
        motifTable("", "m.tsv");
    const RunResult run =
        runProgram(REKUL_BIN, {"--quiet", "-m", "3", "-g", "2", "-k", "1", "--stats", table.path(),
                               "--background", bg.path(), "--motif-stats", motifTable.path(),
                               motifs.path(), fg.path()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Warning: 1 motif loses every hit to overlapping hits of other "
                           "motifs, e.g. SHORT (16 hits)\n"),
              std::string::npos)
        << run.err;
    const auto motifRows = rows(readFile(motifTable.path()));
    ASSERT_EQ(motifRows.size(), 3u);
    EXPECT_EQ(motifRows[0][10], "hits_scanned");
    EXPECT_EQ(motifRows[0][11], "hits_kept");
    EXPECT_EQ(motifRows[1][0] + " " + motifRows[1][10] + " " + motifRows[1][11], "LONG 24 8");
    EXPECT_EQ(motifRows[2][0] + " " + motifRows[2][10] + " " + motifRows[2][11], "SHORT 16 0");
}

// --grammar beside the report: the report unchanged, the same table for the same seed, the
// planted order of the example's module found (its gaps, drawn at random, are not), and
// the grammar options refused without --grammar or onto an input.
TEST(GrammarCli, TheExamplesPlantedOrderBesideAnUnchangedReport) {
    const std::string motifs = kExamples + "example.motifs", genes = kExamples + "example.fa";
    const RunResult plain = runProgram(REKUL_BIN, {"--quiet", motifs, genes});
    TempFile first("", "grammar1.tsv"), second("", "grammar2.tsv");
    for (const TempFile* table : {&first, &second}) {
        const RunResult run = runProgram(
            REKUL_BIN, {"--quiet", "--seed", "3", "--grammar", table->path(), motifs, genes});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, plain.out);
    }
    const std::string text = readFile(first.path());
    auto withoutCommand = [](std::string table) {
        const size_t at = table.find("# command: ");
        return table.erase(at, table.find('\n', at) - at);
    };
    EXPECT_EQ(withoutCommand(text), withoutCommand(readFile(second.path())));
    const auto table = rows(text);
    ASSERT_GT(table.size(), 3u);
    EXPECT_EQ(table[0].size(), 12u);
    EXPECT_EQ(table[0][11], "fwer");
    EXPECT_EQ(table[1][2], "order");
    EXPECT_EQ(table[1][5], "M0001,M0002,M0003,M0004");
    EXPECT_LE(std::stod(table[1][11]), 0.01);
    for (const auto& row : table)
        if (row.size() == 12 && row[0] == "M1" && row[2] == "spacing") {
            EXPECT_GT(std::stod(row[11]), 0.05) << row[3] << " " << row[4];
        }
    EXPECT_NE(text.find("\n# null: 1000 draws;"), std::string::npos);
    const RunResult lonely = runProgram(REKUL_BIN, {"--grammar-bin", "5", motifs, genes});
    EXPECT_EQ(lonely.status, 1);
    EXPECT_NE(lonely.err.find("Error: --grammar-bin and --grammar-permutations need --grammar"),
              std::string::npos);
    const RunResult clash = runProgram(REKUL_BIN, {"--grammar", genes, motifs, genes});
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.err.find("is the sequence file of this run"), std::string::npos) << clash.err;
}

// Regions that overlap on the genome repeat an instance: the grammar counts the stretch once.
// Fifteen genes of the example come again, shifted by 30 letters (the same DNA, cut elsewhere),
// every other one as its reverse complement, and for rekulo 15 ortholog groups twice; the planted
// module's grammar holds as many instances as without the copies.
TEST(GrammarCli, OverlappingRegionsCountOnce) {
    const std::string motifs = kExamples + "example.motifs";
    std::string copies = readFile(kExamples + "example.fa");
    std::istringstream genes(copies);
    std::string line, name, letters;
    std::vector<std::pair<std::string, std::string>> entries;
    while (std::getline(genes, line)) {
        if (!line.empty() && line[0] == '>') {
            if (!name.empty()) entries.emplace_back(name, letters);
            name = line.substr(1, line.find(' ') - 1), letters.clear();
        } else {
            letters += line;
        }
    }
    entries.emplace_back(name, letters);
    auto reverseComplement = [](std::string text) {
        std::reverse(text.begin(), text.end());
        for (char& c : text)
            c = c == 'A' ? 'T' : c == 'C' ? 'G' : c == 'G' ? 'C' : c == 'T' ? 'A' : c;
        return text;
    };
    for (size_t g = 0; g < 15; ++g) {
        const std::string shifted =
            std::string(30, 'T') + entries[g].second.substr(0, entries[g].second.size() - 30);
        // Every other copy as the other strand: a region facing the other way.
        copies += ">" + entries[g].first + "_shifted\n" +
                  (g % 2 ? reverseComplement(shifted) : shifted) + "\n";
    }
    TempFile withCopies(copies, "copies.fa"), table("", "copies.tsv"), plain("", "plain.tsv");
    // The grammar table's rows of one program's run on one sequence file.
    auto grammarOf = [&](const std::string& program, const std::string& genes,
                         const TempFile& out) {
        const RunResult run =
            runProgram(program, {"--quiet", "--seed", "1", "--grammar", out.path(), motifs, genes});
        EXPECT_EQ(run.status, 0) << run.err;
        return rows(readFile(out.path()));
    };
    const auto before = grammarOf(REKUL_BIN, kExamples + "example.fa", plain);
    const auto after = grammarOf(REKUL_BIN, withCopies.path(), table);
    ASSERT_EQ(after[1][1], "M0001,M0002,M0003,M0004");
    EXPECT_EQ(after[1][7], before[1][7]);  // genes_total of the planted module's order row
    EXPECT_EQ(after[1][6], before[1][6]);
    // rekulo alike, on the reference species: 15 ortholog groups given again.
    const std::string groups = readFile(kExamples + "example.ortho.fa");
    std::string twice = groups;
    for (size_t at = groups.find('>'), n = 0; at != std::string::npos && n < 15; ++n) {
        const size_t next = groups.find('>', at + 1);
        const std::string group = groups.substr(at, next - at);
        twice +=
            group.substr(0, group.find_first_of(" \n")) + "_again" + group.substr(group.find('\n'));
        at = next;
    }
    TempFile groupsTwice(twice, "groups.fa"), once("", "once.tsv");
    EXPECT_EQ(grammarOf(REKULO_BIN, groupsTwice.path(), table)[1][7],
              grammarOf(REKULO_BIN, kExamples + "example.ortho.fa", once)[1][7]);
}
