// The controls as a user runs them: the refusals of options that do not fit together, a
// written background that reproduces its run, the lines of a matched background, and the
// calibration the controls exist for.
// Calibration: datasets simulated from one second-order Markov model, so that foreground
// and a proper control are exchangeable under the null; a foreground twice as long as the
// plain background's genes, or richer in GC, must fool the plain background (with its
// warning) and must not fool a shuffled or a matched background, which keep the share of
// datasets with any fwer <= 0.05 near 0.05; a planted module is still found under both.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <iostream>
#include <random>

#include "TestUtil.hpp"
#include "common/Random.hpp"

namespace {

const std::string kMotifs = DATA_DIR "/insect30.motifs";

// Transition probabilities of A, C, G, T after each two bases (AA, AC, ..., TT), estimated
// from 2,000 distinct Drosophila upstream regions.
constexpr double kMarkov[16][4] = {
    {0.3763, 0.1716, 0.1732, 0.2789}, {0.3419, 0.1982, 0.1835, 0.2765},
    {0.2645, 0.2755, 0.1940, 0.2660}, {0.2704, 0.1843, 0.2058, 0.3395},
    {0.3142, 0.2142, 0.2233, 0.2483}, {0.3527, 0.2007, 0.2137, 0.2328},
    {0.2954, 0.2633, 0.2220, 0.2193}, {0.1857, 0.2259, 0.2755, 0.3129},
    {0.3379, 0.1739, 0.2163, 0.2719}, {0.3028, 0.2310, 0.2021, 0.2640},
    {0.2828, 0.2882, 0.2029, 0.2262}, {0.2215, 0.1883, 0.2697, 0.3206},
    {0.3324, 0.1759, 0.1558, 0.3359}, {0.2734, 0.2346, 0.2339, 0.2582},
    {0.2289, 0.2578, 0.2442, 0.2691}, {0.2186, 0.1906, 0.2162, 0.3745}};

// A sequence of the model, with `shift` moved from A and T to C and G at every step.
std::string markovText(std::mt19937& random, size_t length, double shift) {
    std::uniform_real_distribution<double> unit(0, 1);
    std::string text;
    int context = static_cast<int>(random() % 16);
    for (size_t i = 0; i < length; ++i) {
        const double* p = kMarkov[context];
        const double weights[4] = {p[0] - shift, p[1] + shift, p[2] + shift, p[3] - shift};
        double x = unit(random);
        int base = 0;
        while (base < 3 && x >= weights[base]) x -= weights[base++];
        text += "ACGT"[base];
        context = (context * 4 + base) % 16;
    }
    return text;
}

std::string fastaOf(const std::string& prefix, const std::vector<std::string>& texts) {
    std::string out;
    for (size_t i = 0; i < texts.size(); ++i)
        out.append(">")
            .append(prefix)
            .append(std::to_string(i))
            .append("\n")
            .append(texts[i])
            .append("\n");
    return out;
}

// The most likely letters of a matrix of the motif file, by name.
std::string consensus(const std::string& name) {
    std::istringstream in(readFile(kMotifs));
    std::string line, letters;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind('>', 0) == 0) {
            if (inside) break;
            inside = line.substr(1, name.size()) == name;
            continue;
        }
        if (!inside) continue;
        std::istringstream row(line);
        double best = -1, count;
        char letter = 'A';
        for (char base : std::string("ACGT"))
            if (row >> count && count > best) best = count, letter = base;
        letters += letter;
    }
    return letters;
}

enum class Design { Longer, GcRicher, Alike };
enum class Control { Plain, Shuffled, Matched };

struct Outcome {
    double bestFwer = 1, bestFdr = 1, bestQ = 1;
    bool planted = false;  // the planted module passed fwer <= 0.05
    std::string err;
};

// The best fwer, fdr and q of a run's table, and whether the planted module (MA0010.1,
// MA0016.1, MA0085.1; with `within`, or a module that holds them) passed fwer <= 0.05.
Outcome outcomeOf(const RunResult& run, const std::string& table, bool within) {
    EXPECT_EQ(run.status, 0) << run.err;
    Outcome outcome{1, 1, 1, false, run.err};
    for (const std::vector<std::string>& row : rows(readFile(table))) {
        if (row.size() < 14 || row[0] == "module" || row[13].empty()) continue;
        const double fwer = std::stod(row[13]);
        outcome.bestFwer = std::min(outcome.bestFwer, fwer);
        outcome.bestFdr = std::min(outcome.bestFdr, std::stod(row[14]));
        outcome.bestQ = std::min(outcome.bestQ, std::stod(row[12]));
        const bool holds = within ? row[1].find("MA0010.1") != std::string::npos &&
                                        row[1].find("MA0016.1") != std::string::npos &&
                                        row[1].find("MA0085.1") != std::string::npos
                                  : row[1] == "MA0010.1,MA0016.1,MA0085.1";
        if (holds && fwer <= 0.05) outcome.planted = true;
    }
    return outcome;
}

// One simulated dataset: 20 foreground genes against a control, searched at -g 5 with 19
// permutations (fwer 0.05 at best); at -m 0.001 without a planted module, at -m 0.0003 (where
// three given motifs meet by chance in few genes) with one planted in 12 genes.
Outcome runDataset(Design design, Control control, uint32_t dataset, bool plant) {
    std::mt19937 random = drawGenerator({dataset, static_cast<uint32_t>(design), 77});
    const bool longer = design == Design::Longer;
    const double shift = design == Design::GcRicher ? 0.06 : 0.0;
    std::vector<std::string> foreground, background, pool;
    for (int g = 0; g < 20; ++g)
        foreground.push_back(markovText(random, longer ? 1000 : 500, shift));
    if (plant) {
        const std::string sites[] = {consensus("MA0085.1"), consensus("MA0010.1"),
                                     consensus("MA0016.1")};
        for (int g = 0; g < 12; ++g)
            for (int m = 0; m < 3; ++m)
                foreground[static_cast<size_t>(g)].replace(static_cast<size_t>(200 + 50 * m),
                                                           sites[m].size(), sites[m]);
    }
    for (int g = 0; g < 200; ++g) background.push_back(markovText(random, 500, 0.0));
    for (int g = 0; g < 20; ++g) pool.push_back(markovText(random, 20000, g % 2 ? shift : 0.0));
    TempFile genes(fastaOf("f", foreground), "fg.fa"), table("", "s.tsv");
    TempFile other(fastaOf(control == Control::Matched ? "p" : "b",
                           control == Control::Matched ? pool : background),
                   "bg.fa");
    std::vector<std::string> args{
        "--quiet",   "--seed", std::to_string(dataset), "-m", plant ? "0.0003" : "0.001",
        "-g",        "5",      "--permutations",        "19", "--stats",
        table.path()};
    if (control == Control::Shuffled)
        args.insert(args.end(), {"--shuffled-background", "10"});
    else
        args.insert(args.end(), {"--background", other.path()});
    if (control == Control::Matched) args.insert(args.end(), {"--match", "length,gc"});
    args.insert(args.end(), {kMotifs, genes.path()});
    return outcomeOf(runProgram(REKUL_BIN, args), table.path(), false);
}

// How many of `count` datasets give a module at fwer <= 0.05.
int fooled(Design design, Control control, uint32_t count) {
    int passed = 0;
    for (uint32_t d = 0; d < count; ++d)
        passed += runDataset(design, control, d, false).bestFwer <= 0.05;
    return passed;
}

#ifdef REKUL_SANITIZED
#define SKIP_WHEN_SANITIZED() \
    GTEST_SKIP() << "calibration runs hundreds of searches; the plain build checks it"
#else
#define SKIP_WHEN_SANITIZED()
#endif

}  // namespace

TEST(Calibration, APlainBackgroundIsFooledByLengthAndGcAndSaysSo) {
    SKIP_WHEN_SANITIZED();
    int longerFooled = 0;
    for (uint32_t d = 0; d < 12; ++d) {
        const Outcome outcome = runDataset(Design::Longer, Control::Plain, d, false);
        longerFooled += outcome.bestFwer <= 0.05;
        EXPECT_NE(outcome.err.find("Warning: foreground genes are longer than the background "
                                   "(median 1,000 vs 500 letters)"),
                  std::string::npos);
    }
    EXPECT_GE(longerFooled, 9);
    const Outcome richer = runDataset(Design::GcRicher, Control::Plain, 0, false);
    EXPECT_NE(richer.err.find("Warning: foreground genes are GC-richer than the background"),
              std::string::npos);
    EXPECT_EQ(richer.err.find("longer"), std::string::npos);
}

TEST(Calibration, ShuffledAndMatchedBackgroundsKeepFalseModulesNearFivePercent) {
    SKIP_WHEN_SANITIZED();
    // 40 null datasets each: at a true rate of 0.05, 7 or more would happen by chance once in
    // 70; a control that lets length or GC through passes in most datasets.
    for (Design design : {Design::Longer, Design::GcRicher})
        for (Control control : {Control::Shuffled, Control::Matched})
            EXPECT_LE(fooled(design, control, 40), 6) << "design " << static_cast<int>(design)
                                                      << ", control " << static_cast<int>(control);
}

TEST(Calibration, FwerAndFdrHoldTheirLevelOnNullDataWhereTheNominalQDoesNot) {
    SKIP_WHEN_SANITIZED();
    // Foreground and background alike (500 letters each, one model): every module is false.
    // fwer and fdr come from the permutations, which repeat the search; q corrects only
    // over the modules the search found frequent, and calls some in most datasets.
    int fwer = 0, fdr = 0, q = 0;
    for (uint32_t d = 0; d < 40; ++d) {
        const Outcome outcome = runDataset(Design::Alike, Control::Plain, d, false);
        fwer += outcome.bestFwer <= 0.05;
        fdr += outcome.bestFdr <= 0.05;
        q += outcome.bestQ <= 0.05;
    }
    EXPECT_LE(fwer, 6);
    EXPECT_LE(fdr, 6);
    EXPECT_GE(q, 12);
}

TEST(Calibration, APlantedModuleIsStillFoundUnderEitherControl) {
    SKIP_WHEN_SANITIZED();
    for (Control control : {Control::Shuffled, Control::Matched}) {
        int found = 0;
        for (uint32_t d = 0; d < 5; ++d)
            found += runDataset(Design::Longer, control, d, true).planted;
        EXPECT_GE(found, 4) << static_cast<int>(control);
    }
}

TEST(ControlsCli, OptionsThatDoNotFitTogetherAreRefused) {
    const std::string motifs = kGolden + "four.motifs", genes = kGolden + "four.fa";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--shuffled-background", "2", "--background", genes, "--stats", "t.tsv"},
         "cannot be used together"},
        {{"--shuffled-background", "2"}, "--shuffled-background needs --stats"},
        {{"--shuffled-background", "0", "--stats", "t.tsv"}, "from 1 to 1000"},
        {{"--shuffle-k", "7", "--shuffled-background", "2", "--stats", "t.tsv"}, "from 1 to 6"},
        {{"--shuffle-k", "2", "--stats", "t.tsv"}, "--shuffle-k needs --shuffled-background"},
        {{"--match", "length", "--stats", "t.tsv"}, "--match needs --background POOL"},
        {{"--match", "size", "--background", genes, "--stats", "t.tsv"},
         "--match takes length,gc, length or gc, not size"},
        {{"--match-ratio", "5", "--background", genes, "--stats", "t.tsv"},
         "--match-ratio needs --match"},
        {{"--write-background", "w.fa"}, "--write-background needs a background"}};
    for (const auto& [options, message] : cases) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {motifs, genes});
        EXPECT_REFUSED(runProgram(REKUL_BIN, args), message);
    }
    EXPECT_REFUSED(runProgram(REKULO_BIN, {"--shuffled-background", "2", "--stats", "t.tsv", motifs,
                                           kExamples + "example.ortho.fa"}),
                   "rekulo takes no --shuffled-background");
    EXPECT_REFUSED(runProgram(REKULO_BIN, {"--match", "gc", "--background", genes, "--stats",
                                           "t.tsv", motifs, kExamples + "example.ortho.fa"}),
                   "rekulo takes no --match");
}

TEST(ControlsCli, AWrittenBackgroundReproducesItsRunOnAnyNumberOfThreads) {
    TempFile written("", "written.fa"), shuffled("", "a.tsv"), again("", "b.tsv"), two("", "c.tsv");
    const std::string motifs = kExamples + "example.motifs", genes = kExamples + "example.fa";
    auto run = [&](const std::vector<std::string>& background, const TempFile& table,
                   const std::string& threads) {
        std::vector<std::string> args{
            "--quiet",        "--seed", "8",         "-m",    "0.001",   "-g",        "8",
            "--permutations", "20",     "--threads", threads, "--stats", table.path()};
        args.insert(args.end(), background.begin(), background.end());
        args.insert(args.end(), {motifs, genes});
        return runProgram(REKUL_BIN, args);
    };
    const RunResult first =
        run({"--shuffled-background", "3", "--write-background", written.path()}, shuffled, "1");
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(occurrences(readFile(written.path()), "_shuf"), 120u);
    const RunResult parallel = run({"--shuffled-background", "3"}, two, "2");
    const RunResult reread = run({"--background", written.path()}, again, "2");
    ASSERT_EQ(reread.status, 0) << reread.err;
    EXPECT_EQ(parallel.out, first.out);
    EXPECT_EQ(reread.out, first.out);
    auto tableRows = [](const TempFile& table) { return rows(readFile(table.path())); };
    EXPECT_EQ(tableRows(two), tableRows(shuffled));
    EXPECT_EQ(tableRows(again), tableRows(shuffled));
    EXPECT_GT(tableRows(shuffled).size(), 1u);
}

TEST(ControlsCli, AMatchedBackgroundSaysWhatItMatchedAndWhatItCouldNot) {
    std::mt19937 random(2);
    TempFile genes(fastaOf("f", {markovText(random, 300, 0), markovText(random, 5000, 0)}), "f.fa");
    TempFile pool(fastaOf("p", {markovText(random, 4000, 0), markovText(random, 4000, 0)}), "p.fa");
    TempFile table("", "t.tsv"), written("", "w.fa");
    const RunResult run = runProgram(
        REKUL_BIN, {"-g", "1", "--seed", "2", "--background", pool.path(), "--match", "length,gc",
                    "--match-ratio", "4", "--write-background", written.path(), "--stats",
                    table.path(), kGolden + "four.motifs", genes.path()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Random seed: 2\n"), std::string::npos);
    EXPECT_NE(run.err.find("Warning: the background matches 1 of 2 foreground genes at ratio 4 (1 "
                           "longer than every pool sequence)\n"),
              std::string::npos);
    EXPECT_NE(run.err.find("Read: background of 4 windows matched to 2 genes (length, GC) from " +
                           pool.path() + "\nRead: median length 2,650 vs 300 letters"),
              std::string::npos);
    EXPECT_EQ(occurrences(readFile(written.path()), ">p"), 4u);
    EXPECT_NE(readFile(table.path()).find("# background: 4 windows matched to 2 genes"),
              std::string::npos);
}

namespace {

// The 126 insect matrices of JASPAR (the 30 of kMotifs among them).
const std::string kInsectMotifs = DATA_DIR "/insect126.motifs";

// 300 distinct Drosophila upstream regions of 2,000 letters (dm3_upstream2000.fa of Debian's
// r-bioc-biostrings, the first 300 with distinct sequences and at most 100 N), as real DNA
// for the calibrations that simulated sequences cannot stand in for.
std::vector<std::string> upstreamRegions() {
    static const std::vector<std::string> regions = [] {
        std::vector<std::string> texts;
        gzFile in = gzopen(DATA_DIR "/upstream300.fa.gz", "rb");
        char buffer[4096];
        std::string line;
        while (gzgets(in, buffer, sizeof buffer) != nullptr) {
            line = buffer;
            if (!line.empty() && line.back() == '\n') line.pop_back();
            if (line.rfind('>', 0) == 0)
                texts.emplace_back();
            else if (!texts.empty())
                texts.back() += line;
        }
        gzclose(in);
        return texts;
    }();
    return regions;
}

double gcOf(const std::string& text) {
    const auto gc = std::count_if(text.begin(), text.end(), [](char c) {
        return c == 'G' || c == 'C' || c == 'g' || c == 'c';
    });
    return static_cast<double>(gc) / static_cast<double>(std::max<size_t>(text.size(), 1));
}

enum class RealDesign { Longer, GcRicher };

// One dataset of real DNA with lengths or GC that differ but overlap, as real peak sets do:
// foreground pieces of 2.5-6 kb (distinct regions joined and cut) against background pieces of
// 1-4 kb, or 20 of the 40 most GC-rich regions against the others and the other 20.
std::pair<std::vector<std::string>, std::vector<std::string>> realDataset(RealDesign design,
                                                                          uint32_t dataset) {
    std::mt19937 random = drawGenerator({dataset, static_cast<uint32_t>(design), 91});
    std::vector<std::string> regions = upstreamRegions();
    std::shuffle(regions.begin(), regions.end(), random);
    std::vector<std::string> foreground, background;
    if (design == RealDesign::Longer) {
        std::string joined;
        for (const std::string& region : regions) joined += region;
        size_t at = 0;
        auto piece = [&](int least, int most) {
            const auto length = static_cast<size_t>(least + random() % (most - least + 1));
            std::string text = joined.substr(at, length);
            at += length;
            return text;
        };
        while (foreground.size() < 20) foreground.push_back(piece(2500, 6000));
        while (background.size() < 120) background.push_back(piece(1000, 4000));
    } else {
        std::stable_sort(regions.begin(), regions.end(),
                         [](const auto& a, const auto& b) { return gcOf(a) > gcOf(b); });
        std::shuffle(regions.begin(), regions.begin() + 40, random);
        foreground.assign(regions.begin(), regions.begin() + 20);
        background.assign(regions.begin() + 20, regions.begin() + 190);
    }
    return {foreground, background};
}

// The best fwer of a dataset's modules against the plain pooled background, with or without
// --stratify length,gc; with `plant`, whether the planted module passes fwer <= 0.05.
Outcome runRealDataset(RealDesign design, uint32_t dataset, bool stratify, bool plant) {
    auto [foreground, background] = realDataset(design, dataset);
    if (plant) {
        const std::string sites[] = {consensus("MA0085.1"), consensus("MA0010.1"),
                                     consensus("MA0016.1")};
        for (size_t g = 0; g < 12; ++g)  // 60 % of the foreground
            for (size_t m = 0; m < 3; ++m)
                foreground[g].replace(300 + 50 * m, sites[m].size(), sites[m]);
    }
    TempFile genes(fastaOf("f", foreground), "fg.fa"), other(fastaOf("b", background), "bg.fa"),
        table("", "s.tsv");
    std::vector<std::string> args{"--quiet",
                                  "--seed",
                                  std::to_string(dataset),
                                  "-m",
                                  plant ? "0.0003" : "0.0005",
                                  "-g",
                                  "6",
                                  "--permutations",
                                  "99",
                                  "--stats",
                                  table.path(),
                                  "--background",
                                  other.path()};
    if (stratify) args.insert(args.end(), {"--stratify", "length,gc"});
    args.insert(args.end(), {kInsectMotifs, genes.path()});
    return outcomeOf(runProgram(REKUL_BIN, args), table.path(), true);
}

}  // namespace

TEST(Calibration, StratifiedTestHoldsItsLevelOnRealDnaWhereThePlainTestDoesNot) {
    SKIP_WHEN_SANITIZED();
    // 30 datasets each: at a true rate of 0.05, 6 or more would happen by chance once in 160;
    // without --stratify, the same datasets pass that bound.
    for (RealDesign design : {RealDesign::Longer, RealDesign::GcRicher}) {
        int stratified = 0, plain = 0;
        for (uint32_t d = 0; d < 30; ++d) {
            stratified += runRealDataset(design, d, true, false).bestFwer <= 0.05;
            plain += runRealDataset(design, d, false, false).bestFwer <= 0.05;
        }
        const int shown = static_cast<int>(design);
        EXPECT_LE(stratified, 5) << "design " << shown;
        EXPECT_GE(plain, 6) << "design " << shown;  // beyond the bound: the test can fail
    }
    int found = 0;
    for (uint32_t d = 0; d < 5; ++d)
        found += runRealDataset(RealDesign::Longer, d, true, true).planted;
    EXPECT_GE(found, 3);  // of 5, at fwer <= 0.05 after 99 permutations
}

// The parts of --stratify: one stratum is today's Fisher test; pool and search give the same
// fwer within strata; sets without a shared stratum are refused before the search; the
// refusals of options that do not fit.
TEST(Stratify, OneStratumIsFisherAndPoolEqualsSearch) {
    const auto [foreground, background] = realDataset(RealDesign::Longer, 3);
    TempFile genes(fastaOf("f", foreground), "fg.fa"), other(fastaOf("b", background), "bg.fa"),
        table("", "s.tsv");
    auto tableOf = [&](std::vector<std::string> more) {
        std::vector<std::string> args{"--quiet",    "--seed",       "4",         "-m",
                                      "0.0005",     "-g",           "6",         "--stats",
                                      table.path(), "--background", other.path()};
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), {kMotifs, genes.path()});
        const RunResult run = runProgram(REKUL_BIN, args);
        EXPECT_EQ(run.status, 0) << run.err;
        return rows(readFile(table.path()));
    };
    const auto plain = tableOf({});
    const auto one = tableOf({"--stratify", "length", "--length-strata", "1"});
    ASSERT_EQ(plain.size(), one.size());
    ASSERT_GT(plain.size(), 3u);
    for (size_t r = 1; r < plain.size() && plain[r][0][0] == 'M'; ++r)
        for (size_t c : {10u, 11u, 12u, 15u})  // p, E, q and p_vs_parts, bit for bit
            EXPECT_EQ(one[r][c], plain[r][c]) << "row " << r << " column " << c;
    const auto pool = tableOf({"--stratify", "length,gc", "--permutations", "30"});
    const auto search = tableOf(
        {"--stratify", "length,gc", "--permutations", "30", "--permutation-method", "search"});
    ASSERT_EQ(pool.size(), search.size());
    int differ = 0;
    for (size_t r = 1; r < pool.size() && pool[r][0][0] == 'M'; ++r) {
        for (size_t c = 0; c <= 13; ++c) EXPECT_EQ(pool[r][c], search[r][c]) << "row " << r;
        differ += pool[r][10] != plain[r][10];
    }
    EXPECT_GT(differ, 0);  // the strata change the test
    const std::string notes = readFile(table.path());
    EXPECT_NE(notes.find("# test: one-sided stratified exact test"), std::string::npos);
    // The single-motif table takes the same strata: its p-values change with them.
    TempFile motifTable("", "m.tsv");
    tableOf({"--motif-stats", motifTable.path()});
    const auto motifPlain = rows(readFile(motifTable.path()));
    tableOf({"--stratify", "length,gc", "--motif-stats", motifTable.path()});
    const std::string motifNotes = readFile(motifTable.path());
    EXPECT_NE(motifNotes.find("# test: one-sided stratified exact test"), std::string::npos);
    const auto motifStratified = rows(motifNotes);
    ASSERT_EQ(motifPlain.size(), motifStratified.size());
    int motifsDiffer = 0;
    for (size_t r = 1; r < motifPlain.size() && motifPlain[r][0][0] != '#'; ++r)
        motifsDiffer += motifPlain[r][7] != motifStratified[r][7];
    EXPECT_GT(motifsDiffer, 0);
    EXPECT_NE(notes.find("# stratum 1: length "), std::string::npos);
}

TEST(Stratify, RefusalsAndWhatShufflesAre) {
    std::vector<std::string> longer, shorter;
    for (int g = 0; g < 8; ++g) {
        longer.push_back(upstreamRegions()[static_cast<size_t>(g)] +
                         upstreamRegions()[static_cast<size_t>(g + 8)]);
        shorter.push_back(upstreamRegions()[static_cast<size_t>(g + 16)].substr(0, 1000));
    }
    TempFile genes(fastaOf("f", longer), "fg.fa"), other(fastaOf("b", shorter), "bg.fa"),
        table("", "s.tsv");
    const std::vector<std::string> base{"-g", "6", "-m", "0.0005", "--stats", table.path()};
    auto run = [&](std::vector<std::string> more) {
        std::vector<std::string> args = base;
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), {kMotifs, genes.path()});
        return runProgram(REKUL_BIN, args);
    };
    // Every foreground gene is longer than every background gene: nothing to compare.
    EXPECT_REFUSED(run({"--background", other.path(), "--stratify", "length"}),
                   "Error: --stratify finds no stratum that holds both foreground and background");
    EXPECT_REFUSED(run({"--shuffled-background", "2", "--stratify", "gc"}),
                   "Error: --stratify needs genomic DNA to compare with");
    EXPECT_REFUSED(run({"--stratify", "gc"}), "Error: --stratify needs a background");
    EXPECT_REFUSED(run({"--background", other.path(), "--stratify", "gc", "--length-strata", "3"}),
                   "Error: --length-strata needs --stratify length");
    const RunResult shuffled = run({"--shuffled-background", "2", "--seed", "1"});
    EXPECT_NE(shuffled.err.find("Warning: shuffled copies test against random sequence with the "
                                "foreground's k-mer counts, not against genomic DNA"),
              std::string::npos)
        << shuffled.err;
    EXPECT_NE(readFile(table.path()).find("# shuffled copies test against random sequence"),
              std::string::npos);
}
