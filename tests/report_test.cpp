// rekul-report: every form agrees with the report it was made from, genomic placement puts
// each hit on the chromosome letters it matched (both conventions, both strands), GFF3 keeps
// the rules validators check, malformed reports are refused, and the page draws in Chromium.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "TestUtil.hpp"
#include "common/Text.hpp"
#include "report/Coordinates.hpp"

namespace {

RunResult report(std::vector<std::string> args) {
    return runProgram(REKUL_REPORT_BIN, args);
}

// What a report holds, counted from its text: per module the instances, distinct genes and
// hit lines.
struct Counts {
    std::vector<int> instances, genes, hits;
};

Counts countReport(const std::string& text) {
    Counts counts;
    std::set<std::string> genes;
    for (const auto& fields : rows(text)) {
        const std::string& first = fields[0];
        if (!first.empty() && first[0] == '>') {
            if (!counts.instances.empty()) counts.genes.push_back(static_cast<int>(genes.size()));
            genes.clear();
            counts.instances.push_back(0);
            counts.hits.push_back(0);
        } else if (first.empty()) {
            ++counts.hits.back();
        } else {
            ++counts.instances.back();
            genes.insert(first);
        }
    }
    counts.genes.push_back(static_cast<int>(genes.size()));
    return counts;
}

std::string reverseComplement(const std::string& text) {
    std::string out(text.rbegin(), text.rend());
    for (char& c : out) c = c == 'A' ? 'T' : c == 'C' ? 'G' : c == 'G' ? 'C' : c == 'T' ? 'A' : c;
    return out;
}

// The motif of a BED hit line's name, M<n>:<gene>:<motif>.
std::string motifOf(const std::string& name) {
    return name.substr(name.rfind(':') + 1);
}

const std::map<std::string, std::string> kWords{
    {"X1", "AAC"}, {"X2", "GAT"}, {"X3", "CTA"}, {"X4", "TGC"}};

}  // namespace

TEST(ReportForms, AgreeWithTheReport) {
    RunResult example =
        runProgram(REKUL_BIN, {"--quiet", kExamples + "example.motifs", kExamples + "example.fa"});
    for (const std::string& text :
         {example.out, readFile(kGolden + "four.out"), readFile(kGolden + "four.ortho.out")}) {
        TempFile file(text);
        const Counts counts = countReport(text);
        auto tsv = rows(report({file.path()}).out);
        ASSERT_EQ(tsv.size(), counts.instances.size() + 1);
        EXPECT_EQ(tsv[0][0], "module");
        for (size_t m = 0; m < counts.instances.size(); ++m) {
            EXPECT_EQ(tsv[m + 1][0], std::string("M").append(std::to_string(m + 1)));
            EXPECT_EQ(tsv[m + 1][3], std::to_string(counts.instances[m]));
            EXPECT_EQ(tsv[m + 1][4], std::to_string(counts.genes[m]));
        }
        const auto hitRows = rows(report({"--hits", file.path()}).out);
        EXPECT_EQ(hitRows.size(), std::accumulate(counts.hits.begin(), counts.hits.end(), 1u));
        // BED tells each instance once: the span of its hits, named by module and gene.
        std::map<std::string, std::pair<long, long>> spans;
        for (size_t r = 1; r < hitRows.size(); ++r) {
            const auto& f = hitRows[r];
            auto [at, added] = spans.try_emplace(f[0] + ":" + f[1] + "\t" + f[2], std::stol(f[4]),
                                                 std::stol(f[5]) + 1);
            at->second = {std::min(at->second.first, std::stol(f[4])),
                          std::max(at->second.second, std::stol(f[5]) + 1)};
        }
        std::set<std::vector<std::string>> expected, bed;
        for (const auto& [key, span] : spans) {
            const std::string gene = key.substr(key.find('\t') + 1);
            expected.insert({gene, std::to_string(span.first), std::to_string(span.second),
                             key.substr(0, key.find(':')) + ":" + gene});
        }
        const auto bedRows = rows(report({"--bed", file.path()}).out);
        for (size_t r = 0; r < bedRows.size(); ++r) {
            const auto& f = bedRows[r];
            EXPECT_TRUE(bed.insert({f[0], f[1], f[2], f[3]}).second) << "repeated: " << f[3];
            // In sort -k1,1 -k2,2n order.
            if (r == 0) continue;
            EXPECT_TRUE(
                bedRows[r - 1][0] < f[0] ||
                (bedRows[r - 1][0] == f[0] && std::stol(bedRows[r - 1][1]) <= std::stol(f[1])))
                << f[0] << " " << f[1];
        }
        EXPECT_EQ(bed, expected);
        // and each hit of a module in a gene once.
        std::set<std::vector<std::string>> hitSet;
        for (size_t r = 1; r < hitRows.size(); ++r) {
            const auto& f = hitRows[r];
            hitSet.insert({f[2], f[4], std::to_string(std::stol(f[5]) + 1),
                           f[0] + ":" + f[2] + ":" + f[3], f[6]});
        }
        const auto bedHits = rows(report({"--bed", "--hits", file.path()}).out);
        EXPECT_EQ(bedHits.size(), hitSet.size());
        for (const auto& f : bedHits) EXPECT_TRUE(hitSet.count({f[0], f[1], f[2], f[3], f[5]}));
    }
}

// Genes cut from a known chromosome, titled as bedtools (0-based, exclusive end, (+)/(-),
// the region beside the name or in it) and the UCSC browser (1-based, inclusive end,
// strand= or _r) write them: every hit placed on the chromosome covers the motif's word on
// its strand.
TEST(ReportForms, GenomicPlacementInBothConventionsAndStrands) {
    std::string chromosome;
    const std::string filler = "TTTGGGTTTGGGTTTGGGTTTGGGTTTGGGTT";
    for (int block = 0; block < 8; ++block)
        chromosome += filler + "AACNGATNCTANTGC" + filler.substr(block);
    auto cut = [&](int64_t start0, int64_t length, bool minus) {
        std::string text = chromosome.substr(start0, length);
        return minus ? reverseComplement(text) : text;
    };
    const int64_t L = 120;
    std::string fasta = ">g1 chr9:10-130(+)\n" + cut(10, L, false) + "\n" +
                        ">g2::chr9:140-260(-)\n" + cut(140, L, true) + "\n" +
                        ">g3 range=chr9:281-400 strand=+\n" + cut(280, L, false) + "\n" +
                        ">NM_1_up_120_chr9_401_r chr9:401-520\n" + cut(400, L, true) + "\n";
    TempFile seqs(fasta, "genes.fa");
    RunResult run = runProgram(REKUL_BIN, {"--quiet", "-p", "0", "-m", "1", "-g", "4", "-k", "2",
                                           kGolden + "four.motifs", seqs.path()});
    ASSERT_NE(run.out, "") << run.err;
    TempFile out(run.out);
    RunResult bed = report({"--bed", "--hits", "--fasta", seqs.path(), out.path()});
    ASSERT_EQ(bed.status, 0) << bed.err;
    std::set<std::string> placed;
    for (const auto& f : rows(bed.out)) {
        EXPECT_EQ(f[0], "chr9");
        const int64_t start = std::stol(f[1]), end = std::stol(f[2]);
        std::string site = chromosome.substr(start, end - start);
        EXPECT_EQ(f[5] == "+" ? site : reverseComplement(site), kWords.at(motifOf(f[3])))
            << f[1] << " " << f[5];
        placed.insert(f[5]);
    }
    EXPECT_EQ(placed.size(), 2u);  // hits on both strands of the chromosome
    // A title whose region fits neither convention keeps relative positions, with a warning.
    TempFile odd(">g1 chr9:10-200\n" + cut(10, L, false) + "\n", "odd.fa");
    RunResult relative = report({"--bed", "--fasta", odd.path(), out.path()});
    EXPECT_NE(relative.err.find("Warning: the region chr9:10-200 in the title of g1"),
              std::string::npos);
}

TEST(ReportForms, GffKeepsTheRulesValidatorsCheck) {
    RunResult gff = report({"--gff", "--fasta", kGolden + "four.fa", kGolden + "four.out"});
    ASSERT_EQ(gff.status, 0);
    EXPECT_EQ(gff.out.rfind("##gff-version 3\n", 0), 0u);
    // How it was made names the sequence file the places come from.
    EXPECT_NE(gff.out.find("\n# fasta: " + kGolden + "four.fa\n"), std::string::npos);
    // Every sequence's extent is named before its features, and holds them.
    std::map<std::string, std::pair<long, long>> regions;
    std::istringstream lines(gff.out);
    for (std::string line; std::getline(lines, line) && line.rfind("##", 0) == 0;) {
        if (line.rfind("##sequence-region ", 0) != 0) continue;
        std::istringstream words(line.substr(18));
        std::string seqid;
        long start = 0, end = 0;
        if (words >> seqid >> start >> end) regions[seqid] = {start, end};
    }
    std::set<std::string> ids;
    for (const auto& f : rows(gff.out)) {
        ASSERT_EQ(f.size(), 9u);
        EXPECT_GE(std::stol(f[3]), 1);
        EXPECT_LE(std::stol(f[3]), std::stol(f[4]));
        ASSERT_TRUE(regions.count(f[0])) << f[0];
        EXPECT_LE(regions[f[0]].first, std::stol(f[3]));
        EXPECT_GE(regions[f[0]].second, std::stol(f[4]));
        std::string id = f[8].substr(3, f[8].find(';') - 3);
        EXPECT_TRUE(ids.insert(id).second) << id;
        size_t parent = f[8].find(";crm=");
        if (f[2] == "TF_binding_site") {
            ASSERT_NE(parent, std::string::npos);
            std::string p = f[8].substr(parent + 5, f[8].find(';', parent + 1) - parent - 5);
            EXPECT_TRUE(ids.count(p)) << p;  // its module instance came before
        } else {
            EXPECT_EQ(f[2], "CRM");  // SO:0000727, a module instance
        }
    }
    // GenomeTools' validator, with Sequence Ontology types, on the golden reports' GFF3.
    if (std::system("command -v gt >/dev/null 2>&1") != 0) GTEST_SKIP() << "gt is not installed";
    for (const char* name : {"four", "four.ortho"}) {
        const std::string out = kGolden + name + ".out";
        if (!std::filesystem::exists(out)) continue;
        TempFile file(report({"--gff", out}).out, "report.gff3");
        const RunResult checked =
            runProgram("gt", {"gff3validator", "-typecheck", "so", file.path()});
        EXPECT_EQ(checked.status, 0) << name << ": " << checked.out << checked.err;
    }
}

TEST(ReportForms, SortKeepsModuleNumbers) {
    RunResult sorted = report({"--sort", "probability", kGolden + "four.out"});
    auto t = rows(sorted.out);
    ASSERT_GT(t.size(), 2u);
    std::set<std::string> numbers;
    for (size_t i = 2; i < t.size(); ++i) EXPECT_LE(std::stod(t[i - 1][5]), std::stod(t[i][5]));
    for (size_t i = 1; i < t.size(); ++i) numbers.insert(t[i][0]);
    EXPECT_EQ(numbers.size(), t.size() - 1);
}

TEST(ReportForms, MalformedReportsAreRefusedWithTheirLineAndNothingWritten) {
    const std::string good = ">A\tB\t1,0.5\ng1\n\tA\t1\t3\t+\t2.5\n\tB\t5\t8\t-\t3\n";
    // A refused report leaves standard output empty, even where good modules came first: a
    // caller that sees status 1 has no partial table to mistake for a whole one.
    const std::vector<std::pair<std::string, std::string>> cases{
        {good + ">A\tB\t2,0.1\ng1\n\tA\t1\t3\t+\t2\n", "line 5: module M2 announces 2 instances"},
        {good + ">A\tB\t1,0.1\n\tA\t1\t3\t+\t2\n", "line 6: hit line before any gene line"},
        {good + ">A\tB\t1,0.1\ng2\n\tC\t1\t3\t+\t2\n", "line 7: hit of motif C is not one of"},
        {good + ">A\tB\t1,0.1\ng2\n\tA\t4\t3\t+\t2\n", "line 7: hit positions must be"},
        {good + ">A\tB\t1;0.1\n", "line 5: module header needs"},
        {good + "g7\n", "line 5: module M1 ends without an instance with hits"},
        {"g7\n" + good, "line 1: expected a module header"},
    };
    for (const auto& [text, message] : cases) {
        TempFile file(text, "bad.txt");
        for (const char* form : {"--hits", "--tsv", "--bedpe"}) {
            RunResult r = report({form, file.path()});
            EXPECT_EQ(r.status, 1) << message;
            EXPECT_NE(r.err.find("Error: " + file.path() + " " + message), std::string::npos)
                << r.err;
            EXPECT_EQ(r.out, "") << form << " " << message;
        }
    }
}

TEST(ReportHtml, DrawsInHeadlessChromium) {
    SKIP_WITHOUT_CHROMIUM();
    RunResult example =
        runProgram(REKUL_BIN, {"--quiet", kExamples + "example.motifs", kExamples + "example.fa"});
    TempFile out(example.out);
    const std::string page = std::string(BUILD_DIR) + "/report-example.html";
    std::ofstream(page) << report({"--html", "--fasta", kExamples + "example.fa", "--motifs",
                                   kExamples + "example.motifs", out.path()})
                               .out;
    const std::string html = readFile(page);
    // Self-contained: no external script, style sheet, image or font; url() only names the
    // page's own patterns.
    for (const char* fetch : {"src=", "<link", "@import"})
        EXPECT_EQ(html.find(fetch), std::string::npos) << fetch;
    EXPECT_EQ(occurrences(html, "url("), occurrences(html, "url(#"));
    RunResult dom = chromiumDom(page, "chromium-profile");
    ASSERT_NE(dom.out.find("</html>"), std::string::npos) << dom.err;
    // Modules that are no other's sub-module open drawn, with a logo per motif; sub-modules
    // wait, closed, under their parent.
    size_t drawn = 0, motifs = 0;
    const auto tsv = rows(report({out.path()}).out);
    for (size_t r = 1; r < tsv.size(); ++r)
        if (tsv[r].size() == 6) {  // an empty parent column
            ++drawn;
            motifs += std::stoul(tsv[r][2]);
        }
    ASSERT_GT(drawn, 0u);
    ASSERT_LT(drawn, tsv.size() - 1);
    EXPECT_EQ(occurrences(dom.out, "aria-label=\"instances of module"), drawn);
    EXPECT_EQ(occurrences(dom.out, "aria-label=\"logo of"), motifs);
    EXPECT_EQ(occurrences(dom.out, "<details class=\"submodules\""), drawn);
    // Modules that hold the genes of a larger one say so (closed ones lead their group).
    auto modulesOf = [](const std::vector<std::vector<std::string>>& table) {
        return std::count_if(table.begin(), table.end(),
                             [](const auto& row) { return row[0][0] == 'M'; });
    };
    const auto closed = modulesOf(rows(report({"--closed", out.path()}).out));
    const std::string notClosed = "not closed: a larger module holds the same genes";
    EXPECT_EQ(static_cast<std::ptrdiff_t>(occurrences(dom.out, notClosed) -
                                          occurrences(html, notClosed)),  // the script's own
              modulesOf(tsv) - closed);
    EXPECT_NE(dom.out.find("M0001 (GATA_01)"), std::string::npos);
    EXPECT_EQ(occurrences(dom.out, "<svg id=\"heatmap\""), 1u);
    EXPECT_EQ(occurrences(dom.out, "<svg id=\"network\""), 1u);
    EXPECT_NE(dom.out.find("<footer id=\"provenance\"><pre>program: rekul-report"),
              std::string::npos);
    EXPECT_NE(dom.out.find("id=\"failure\" hidden"), std::string::npos);
    EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err;
    chromium(
        page, "chromium-profile",
        "--window-size=1200,1400 --screenshot=" + std::string(BUILD_DIR) + "/report-example.png");
}

// Names that hold markup are shown as text: no element, no script, in the page's source and
// in the DOM Chromium builds from it.
TEST(ReportHtml, NamesWithMarkupStayText) {
    const std::string motif = "<img src=x onerror=\"document.title='pwned'\">";
    const std::string gene = "</script><script>document.title='pwned2'</script>&amp;'\"";
    TempFile text(">" + motif + "\tB&C\t1,0.5\n" + gene + "\n\t" + motif +
                  "\t1\t3\t+\t3\n\tB&C\t5\t8\t-\t3\n");
    const std::string page = std::string(BUILD_DIR) + "/report-markup.html";
    const std::string html = report({"--html", text.path()}).out;
    std::ofstream(page) << html;
    // Without a browser too: in the page's data, <, >, & and " are escaped, so that no name
    // closes the script it sits in or opens an element.
    EXPECT_EQ(html.find("</script><script>document"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_NE(html.find("\"\\u003cimg src=x onerror=\\\"document.title='pwned'\\\"\\u003e\""),
              std::string::npos);
    EXPECT_NE(html.find("\"B\\u0026C\""), std::string::npos);
    EXPECT_NE(html.find("\\u003c/script\\u003e\\u003cscript\\u003edocument.title='pwned2'"),
              std::string::npos);
    SKIP_WITHOUT_CHROMIUM();
    RunResult dom = chromiumDom(page, "chromium-profile-markup");
    ASSERT_NE(dom.out.find("</html>"), std::string::npos) << dom.err;
    EXPECT_EQ(dom.out.find("<title>pwned"), std::string::npos);
    EXPECT_EQ(dom.out.find("<img"), std::string::npos);
    EXPECT_EQ(dom.out.find("<script>document"), std::string::npos);
    // The names, escaped once, as the text of the table's cells and of the drawing's labels.
    EXPECT_NE(dom.out.find("&lt;img src=x onerror=\"document.title='pwned'\"&gt;, B&amp;C"),
              std::string::npos);
    EXPECT_NE(dom.out.find("&lt;/script&gt;&lt;script&gt;document.title='pwned2'"),
              std::string::npos);
    EXPECT_NE(dom.out.find("id=\"failure\" hidden"), std::string::npos);
    EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err;
}

// Genes cut from chr2 at known places, one on each strand, one hit each at gene positions
// 10-12: the page's tooltips put the hit where BED does (1-based), and the ticks count the
// chromosome's positions, falling along a minus-strand gene.
TEST(ReportHtml, GenomicAxesRunAlongTheChromosome) {
    SKIP_WITHOUT_CHROMIUM();
    const std::string bases(100, 'A');
    TempFile fasta(">g1 chr2:1001-1101(+)\n" + bases + "\n>g2 chr2:2001-2101(-)\n" + bases + "\n",
                   "genes.fa");
    TempFile text(
        ">A\tB\t1,0.5\ng1\n\tA\t10\t12\t+\t3\n\tB\t40\t45\t+\t3\n"
        ">A\tC\t1,0.5\ng2\n\tA\t10\t12\t+\t3\n\tC\t40\t45\t+\t3\n");
    const std::string page = std::string(BUILD_DIR) + "/report-genomic.html";
    std::ofstream(page) << report({"--html", "--fasta", fasta.path(), text.path()}).out;
    RunResult dom = chromiumDom(page, "chromium-profile-genomic");
    ASSERT_NE(dom.out.find("</html>"), std::string::npos) << dom.err;
    // BED: g1's hit at chr2 1011-1014 (0-based, end exclusive), g2's at 2088-2091 on '-'.
    auto bed = rows(report({"--bed", "--hits", "--fasta", fasta.path(), text.path()}).out);
    std::set<std::string> placed;
    for (const auto& f : bed)
        placed.insert(f[0] + ":" + std::to_string(std::stol(f[1]) + 1) + "-" + f[2] + " " + f[5]);
    EXPECT_TRUE(placed.count("chr2:1012-1014 +"));
    EXPECT_TRUE(placed.count("chr2:2089-2091 -"));
    EXPECT_NE(dom.out.find("A chr2:2,089-2,091 - (gene 10-12 +)"), std::string::npos);
    EXPECT_NE(dom.out.find("A chr2:1,012-1,014 + (gene 10-12 +)"), std::string::npos);
    // Ticks every 20 chromosome positions: rising along g1, falling along g2.
    auto ticksOf = [&](const std::string& module) {
        const size_t from = dom.out.find("aria-label=\"instances of module " + module + "\"");
        const size_t to = dom.out.find("</svg>", from);
        std::vector<std::string> ticks;
        for (size_t at = dom.out.find("class=\"tick\">", from); at < to;
             at = dom.out.find("class=\"tick\">", at + 1)) {
            const size_t text = at + std::string("class=\"tick\">").size();
            ticks.push_back(dom.out.substr(text, dom.out.find('<', text) - text));
        }
        return ticks;
    };
    EXPECT_EQ(ticksOf("M1"),
              (std::vector<std::string>{"1,020", "1,040", "1,060", "1,080", "1,100"}));
    EXPECT_EQ(ticksOf("M2"),
              (std::vector<std::string>{"2,100", "2,080", "2,060", "2,040", "2,020"}));
    EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err;
    chromium(
        page, "chromium-profile-genomic",
        "--window-size=1100,1300 --screenshot=" + std::string(BUILD_DIR) + "/report-genomic.png");
}

// An ortholog group's length is its reference species', split as rekulo splits it (an empty
// first species text is dropped); a hit past that length is refused.
TEST(ReportForms, OrthologReferenceLengthBoundsTheHits) {
    TempFile groups(">g1\n<\n<ACGTAC\nGG\n<TTTTTTTTTTTT\n>g2\nACG\n<TTTTT\n", "groups.fa");
    const GeneCoordinates coordinates(groups.path());
    EXPECT_EQ(coordinates.length("g1"), 8);
    EXPECT_EQ(coordinates.length("g2"), 3);
    TempFile inside(">A\tB\t1,0.5\ng1\n\tA\t0\t2\t+\t3\n\tB\t5\t7\t+\t3\n");
    TempFile past(">A\tB\t1,0.5\ng1\n\tA\t0\t2\t+\t3\n\tB\t6\t8\t+\t3\n");
    EXPECT_EQ(report({"--bed", "--hits", "--fasta", groups.path(), inside.path()}).status, 0);
    RunResult refused = report({"--bed", "--hits", "--fasta", groups.path(), past.path()});
    EXPECT_REFUSED(refused, "positions 6-8 of gene g1 lie beyond its length 8");
}

// Every pair of hits of every instance is one BEDPE line, on the hits' own placements.
TEST(ReportForms, BedpeHoldsEveryPairOfEachInstance) {
    const std::string report4 = kGolden + "four.out";
    std::set<std::string> expected;
    const auto hits = rows(report({"--hits", report4}).out);
    for (size_t a = 1; a < hits.size(); ++a)
        for (size_t b = a + 1;
             b < hits.size() && hits[b][0] == hits[a][0] && hits[b][1] == hits[a][1]; ++b)
            expected.insert(hits[a][2] + "\t" + hits[a][4] + "\t" +
                            std::to_string(std::stol(hits[a][5]) + 1) + "\t" + hits[b][2] + "\t" +
                            hits[b][4] + "\t" + std::to_string(std::stol(hits[b][5]) + 1) + "\t" +
                            hits[a][0] + ":" + hits[a][2] + ":" + hits[a][3] + ":" + hits[b][3] +
                            "\t" + hits[a][6] + "\t" + hits[b][6]);
    std::set<std::string> bedpe;
    for (const auto& f : rows(report({"--bedpe", report4}).out)) {
        ASSERT_EQ(f.size(), 10u);
        bedpe.insert(f[0] + "\t" + f[1] + "\t" + f[2] + "\t" + f[3] + "\t" + f[4] + "\t" + f[5] +
                     "\t" + f[6] + "\t" + f[8] + "\t" + f[9]);  // both hits' own strands
    }
    EXPECT_EQ(bedpe, expected);
}

// The golden reports' M1 holds every motif and M2-M5 its three-motif subsets in the same
// genes: all have parent M1, and --closed keeps M1 alone, from a file or standard input.
TEST(ReportForms, ClosedModulesAndParents) {
    for (const std::string name : {"four.out", "four.ortho.out"}) {
        const auto tsv = rows(report({kGolden + name}).out);
        ASSERT_GE(tsv.size(), 3u);
        EXPECT_EQ(tsv[0].back(), "parent");
        for (size_t r = 2; r < tsv.size(); ++r)
            if (tsv[r][2] == "3") {
                EXPECT_EQ(tsv[r].back(), "M1") << name << " " << tsv[r][0];
            }
        const auto closed = rows(report({"--closed", "--hits", kGolden + name}).out);
        for (size_t r = 1; r < closed.size(); ++r) EXPECT_EQ(closed[r][0], "M1");
        RunResult piped = runProgram(
            "sh", {"-c", std::string(REKUL_REPORT_BIN) + " --closed --hits < " + kGolden + name});
        EXPECT_EQ(rows(piped.out), closed);
    }
    // A fault in standard input's report is told there, not in a temporary copy.
    RunResult bad = runProgram("sh", {"-c", "printf '>A\\tB\\t1,0.5\\ng1\\n' | " +
                                                std::string(REKUL_REPORT_BIN) + " --closed"});
    EXPECT_REFUSED(bad, "Error: standard input line");
}

// An instance of 200,000 hits: the page must draw it (spreading the hits into one call's
// arguments overflowed the stack, and nothing was drawn).
TEST(ReportHtml, DrawsAnInstanceOfTwoHundredThousandHits) {
    SKIP_WITHOUT_CHROMIUM();
    std::string text = ">A\tB\t1,0.5\ng1\n";
    for (int h = 0; h < 200000; ++h)
        text.append("\t")
            .append(h % 2 ? "B" : "A")
            .append("\t")
            .append(std::to_string(10 * h))
            .append("\t")
            .append(std::to_string(10 * h + 5))
            .append("\t+\t3\n");
    TempFile report(text);
    const std::string page = std::string(BUILD_DIR) + "/report-large-instance.html";
    std::ofstream(page) << runProgram(REKUL_REPORT_BIN, {"--html", report.path()}).out;
    RunResult dom = chromiumDom(page, "chromium-profile-large");
    ASSERT_NE(dom.out.find("</html>"), std::string::npos) << dom.err;
    EXPECT_NE(dom.out.find("id=\"failure\" hidden"), std::string::npos);
    EXPECT_NE(dom.out.find("<svg"), std::string::npos);
    EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err.substr(0, 500);
}

// Edges that each writer must keep: the BED span of a lone instance, instances numbered from
// 1, a page that holds only the modules it is allowed, a one-letter hit, a gene line without
// hits before the next gene, and a region in a title that does not fit its gene.
TEST(ReportForms, EdgesTheWritersMustKeep) {
    const std::string one = ">A\tB\t1,0.5\ng1\n\tA\t1\t3\t+\t2.5\n\tB\t5\t8\t-\t3\n";
    TempFile single(one),
        two(std::string(one).append(">A\tB\t1,0.2\ng2\n\tA\t4\t4\t+\t2\n\tB\t6\t9\t+\t3\n"));
    EXPECT_EQ(rows(report({"--bed", single.path()}).out),
              (std::vector<std::vector<std::string>>{{"g1", "1", "9", "M1:g1", "3", "."}}));
    const auto hits = rows(report({"--hits", single.path()}).out);
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[1][1], "1");
    EXPECT_EQ(hits[2][1], "1");
    // One module of two on the page; the one-letter hit (start 4, end 4) is read.
    const std::string page = report({"--html", "--html-modules", "1", two.path()}).out;
    EXPECT_NE(page.find("{\"total\":2,"), std::string::npos);
    EXPECT_EQ(page.find("\"id\":\"M2\""), std::string::npos);
    EXPECT_NE(page.find("\"id\":\"M1\""), std::string::npos);
    EXPECT_NE(report({"--hits", two.path()}).out.find("M2\t1\tg2\tA\t4\t4\t+\t2\n"),
              std::string::npos);
    TempFile bare(">A\tB\t2,0.5\ng1\ng2\n\tA\t1\t3\t+\t2\n\tB\t5\t8\t-\t3\n");
    RunResult refused = report({bare.path()});
    EXPECT_EQ(refused.status, 1);  // after the header row
    EXPECT_NE(refused.err.find("line 3: gene g1 of module M1 has no hit lines"), std::string::npos);
    // chr1:0-9 fits a 10-letter gene in neither convention: positions stay on the gene.
    TempFile fasta(">g1 chr1:0-9\nACGTACGTAC\n");
    RunResult placed = report({"--bed", "--fasta", fasta.path(), single.path()});
    EXPECT_EQ(rows(placed.out),
              (std::vector<std::vector<std::string>>{{"g1", "1", "9", "M1:g1", "3", "."}}));
}

// The #self-check reading of one figure: its entry in the JSON, and a number of it (NaN where
// the entry lacks the key).
struct FigureCheck {
    std::string entry;
    double number(const std::string& key) const {
        const size_t at = entry.find("\"" + key + "\":");
        if (at == std::string::npos) return std::nan("");
        const std::string value = entry.substr(at + key.size() + 3);
        return value.rfind("true", 0) == 0    ? 1
               : value.rfind("false", 0) == 0 ? 0
                                              : std::atof(value.c_str());
    }
};

std::map<std::string, FigureCheck> figureChecks(const std::string& json) {
    std::map<std::string, FigureCheck> out;
    for (size_t at = json.find("{\"name\":"); at != std::string::npos;) {
        const size_t next = json.find("{\"name\":", at + 1);
        const size_t nameEnd = json.find('"', at + 9);
        out[json.substr(at + 9, nameEnd - at - 9)].entry = json.substr(at, next - at);
        at = next;
    }
    return out;
}

// What each figure promises a reviewer: the volcano labels its significant points and draws
// infinite folds past a marked break, the heatmap's tree joins every row, the network draws
// no more edges than it can show, and a module drawing has a title, whole words in its gene
// names, sites at least 5 pixels wide and motif colours that stand out from the page and
// from each other in normal and red-green blind vision.
void expectFiguresAsPromised(const std::map<std::string, FigureCheck>& figures) {
    size_t drawings = 0;
    for (const auto& [name, figure] : figures) {
        if (name == "volcano") {
            EXPECT_GT(figure.number("pointLabels"), 0) << figure.entry;
            EXPECT_LE(figure.number("pointLabels"), figure.number("significant"));
            EXPECT_GT(figure.number("breaks"), 0) << figure.entry;
            EXPECT_GT(figure.number("infinityTicks"), 0) << figure.entry;
            EXPECT_EQ(figure.number("pastBreak"), figure.number("triangles")) << figure.entry;
        } else if (name == "heatmap") {
            EXPECT_EQ(figure.number("joins"), figure.number("rows") - 1) << figure.entry;
        } else if (name == "network") {
            EXPECT_LE(figure.number("edges"), 2 * figure.number("nodes")) << figure.entry;
        } else if (name.find("instances of module") != std::string::npos) {
            ++drawings;
            EXPECT_EQ(figure.number("title"), 1) << name;
            EXPECT_EQ(figure.number("cutNames"), 0) << name;
            EXPECT_GE(figure.number("narrowest"), 5) << name;
            EXPECT_GE(figure.number("contrast"), 2) << name;
            EXPECT_GE(figure.number("gap"), 17.5) << name;
        }
    }
    EXPECT_GT(drawings, 0u);
}

// The figures as a reader of the paper gets them, read by the page itself at #self-check in
// Chromium: tick labels on both axes of the volcano and the heatmap, a legend in every plot
// and module drawing, no two text boxes overlapping in any of them, no number of the table
// wrapping, each figure as promised; and rekul-report --svg writes the same figures as files
// that Python's XML parser reads, with the elements of the page's own.
TEST(ReportFigures, FinishedInTheBrowserAndTheSameAsFiles) {
    SKIP_WITHOUT_CHROMIUM();
    // Shuffled copies hold none of the planted module: significant points, infinite folds.
    TempFile table("", "stats.tsv");
    const RunResult run =
        runProgram(REKUL_BIN, {"--quiet", "--seed", "2", "--shuffled-background", "3", "--stats",
                               table.path(), "--permutations", "50", "-g", "10",
                               kExamples + "example.motifs", kExamples + "example.fa"});
    ASSERT_EQ(run.status, 0) << run.err;
    TempFile out(run.out, "report.txt");
    const std::vector<std::string> inputs{"--stats",  table.path(),
                                          "--motifs", kExamples + "example.motifs",
                                          "--fasta",  kExamples + "example.fa",
                                          out.path()};
    std::vector<std::string> html{"--html"};
    html.insert(html.end(), inputs.begin(), inputs.end());
    const std::string page = std::string(BUILD_DIR) + "/report-figures.html";
    std::ofstream(page) << report(html).out;
    const RunResult checked =
        chromium(page + "#self-check", "chromium-profile-figures", "--dump-dom");
    const std::string open = "<script type=\"application/json\" id=\"self-check\">";
    const size_t from = checked.out.find(open);
    ASSERT_NE(from, std::string::npos) << checked.err;
    const std::string json = checked.out.substr(
        from + open.size(), checked.out.find("</script>", from) - from - open.size());
    // Each figure's entry: {"name":...,"xTicks":n,"yTicks":n,"legend":bool,"overlaps":[...]}.
    auto field = [&](size_t at, const std::string& key) {
        const size_t start = json.find("\"" + key + "\":", at) + key.size() + 3;
        return json.substr(start, json.find_first_of(",}", start) - start);
    };
    std::map<std::string, size_t> figureAt;
    for (size_t at = json.find("{\"name\":"); at != std::string::npos;
         at = json.find("{\"name\":", at + 1))
        figureAt[field(at, "name")] = at;
    for (const char* plot : {"\"heatmap\"", "\"volcano\""}) {
        ASSERT_TRUE(figureAt.count(plot)) << plot;
        EXPECT_GT(std::stoi(field(figureAt[plot], "xTicks")), 1) << plot;
        EXPECT_GT(std::stoi(field(figureAt[plot], "yTicks")), 1) << plot;
    }
    size_t drawings = 0;
    for (const auto& [name, at] : figureAt) {
        if (name.find("logo of") != std::string::npos) {
            EXPECT_EQ(field(at, "yTicks"), "3") << name;  // 0, 1 and 2 bits
            continue;
        }
        drawings += name.find("instances of module") != std::string::npos;
        EXPECT_EQ(field(at, "legend"), "true") << name;
        EXPECT_EQ(json.substr(json.find("\"overlaps\":", at), 13), "\"overlaps\":[]") << name;
    }
    EXPECT_GT(drawings, 0u);
    EXPECT_NE(json.find("\"wrapped\":[]"), std::string::npos)
        << json.substr(json.find("\"wrapped\""));
    expectFiguresAsPromised(figureChecks(json));
    // A crowded page: 24 motifs of long names in 40 modules, drawn in a narrow window.
    std::mt19937 random(4);
    std::string crowded;
    for (int m = 0; m < 40; ++m) {
        std::vector<int> motifs(24);
        std::iota(motifs.begin(), motifs.end(), 0);
        std::shuffle(motifs.begin(), motifs.end(), random);
        motifs.resize(3 + m % 4);
        std::sort(motifs.begin(), motifs.end());
        std::string header = ">", hits = "gene_with_a_rather_long_name_and_more_words_" +
                                         std::to_string(m) + "\n";
        for (size_t k = 0; k < motifs.size(); ++k) {
            const std::string name = "FACTOR_OF_LONG_NAME_" + std::to_string(motifs[k]);
            header += name + "\t";
            hits += "\t" + name + "\t" + std::to_string(10 + 30 * k) + "\t" +
                    std::to_string(17 + 30 * k) + "\t+\t5\n";
        }
        // A site far off: on this scale its 8 letters are about one pixel.
        hits += "\tFACTOR_OF_LONG_NAME_" + std::to_string(motifs[0]) + "\t6000\t6007\t-\t5\n";
        crowded +=
            header + "1," + std::to_string(m + 1) + "e-" + std::to_string(3 + m) + "\n" + hits;
    }
    TempFile crowdedReport(crowded, "crowded.txt");
    const std::string crowdedPage = std::string(BUILD_DIR) + "/report-crowded.html";
    std::ofstream(crowdedPage) << report({"--html", crowdedReport.path()}).out;
    const std::string crowdedCheck =
        chromium(crowdedPage + "#self-check", "chromium-profile-figures",
                 "--window-size=520,900 --dump-dom")
            .out;
    ASSERT_NE(crowdedCheck.find(open), std::string::npos);
    EXPECT_EQ(occurrences(crowdedCheck, "\"overlaps\":[]"),
              occurrences(crowdedCheck, "\"overlaps\":"));
    EXPECT_NE(crowdedCheck.find("\"wrapped\":[]"), std::string::npos);
    const size_t crowdedFrom = crowdedCheck.find(open) + open.size();
    expectFiguresAsPromised(figureChecks(crowdedCheck.substr(
        crowdedFrom, crowdedCheck.find("</script>", crowdedFrom) - crowdedFrom)));
    // The same figures as files, one per plot and module drawn.
    TempFile folderHolder("", "unused");
    const std::string folder =
        std::filesystem::path(folderHolder.path()).parent_path().string() + "/svg";
    std::vector<std::string> svg{"--svg", folder};
    svg.insert(svg.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(report(svg).status, 0);
    const auto modulesTsv = rows(report({out.path()}).out);
    const size_t modules = modulesTsv.size() - 1;
    // The page opens the first 20 modules of the top level (sub-modules fold under them).
    const auto topLevel = std::count_if(
        modulesTsv.begin() + 1, modulesTsv.end(),
        [&](const auto& row) { return row.size() < modulesTsv[0].size() || row.back().empty(); });
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path());
    // The drawings of the modules the page opens; all with --svg-all.
    ASSERT_LT(topLevel, static_cast<std::ptrdiff_t>(modules));
    EXPECT_EQ(files.size(), static_cast<size_t>(std::min<std::ptrdiff_t>(topLevel, 20)) + 3);
    // A temporary folder whose name holds URL marks still reaches the browser.
    const std::string marked = folder + "-tmp #?%";
    std::filesystem::create_directories(marked);
    std::vector<std::string> underMarks{"TMPDIR=" + marked, REKUL_REPORT_BIN, "--svg-all", "--svg",
                                        folder + "-marked"};
    underMarks.insert(underMarks.end(), inputs.begin(), inputs.end());
    const RunResult drawn = runProgram("env", underMarks);
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder + "-marked"),
                            std::filesystem::directory_iterator()),
              static_cast<std::ptrdiff_t>(modules + 3));
    std::vector<std::string> parse{"-c",
                                   "import sys, xml.etree.ElementTree as tree\n"
                                   "for name in sys.argv[1:]: tree.parse(name)"};
    parse.insert(parse.end(), files.begin(), files.end());
    const RunResult parsed = runProgram("python3", parse);
    EXPECT_EQ(parsed.status, 0) << parsed.err;
    const std::string dom = chromiumDom(page, "chromium-profile-figures").out;
    for (const char* plot : {"heatmap", "network", "volcano"}) {
        const size_t at = dom.find(std::string("<svg id=\"") + plot + "\"");
        const std::string inPage = dom.substr(at, dom.find("</svg>", at) - at);
        const std::string inFile = readFile(folder + "/" + plot + ".svg");
        for (const char* element : {"<rect", "<text", "<circle", "<line", "<path"})
            EXPECT_EQ(occurrences(inFile, element), occurrences(inPage, element))
                << plot << element;
    }
    // Without a browser, --svg says so and writes nothing.
    const RunResult none = runProgram("env", {"REKUL_CHROMIUM=/bin/false", REKUL_REPORT_BIN,
                                              "--svg", folder + "/none", out.path()});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("Error: "), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder + "/none"));
}

// With the motif file, BED hit lines and GFF3 hits carry the factor name beside the matrix
// id, and the GFF3 instances the table's values; BED scores follow fwer, as the track says.
TEST(ReportForms, FilesCarryFactorNamesAndTheTablesValues) {
    TempFile background(
        replaceAll("\n" + readFile(kExamples + "example.fa"), "\n>", "\n>bg_").substr(1), "bg.fa");
    TempFile table("", "stats.tsv");
    const RunResult run =
        runProgram(REKUL_BIN, {"--quiet", "--seed", "2", "--background", background.path(),
                               "--stats", table.path(), "--permutations", "20",
                               kExamples + "example.motifs", kExamples + "example.fa"});
    ASSERT_EQ(run.status, 0) << run.err;
    TempFile out(run.out, "report.txt");
    const std::string bed = report({"--bed", "--hits", "--motifs", kExamples + "example.motifs",
                                    "--stats", table.path(), out.path()})
                                .out;
    EXPECT_NE(bed.find("score: min(1000, -10 log10 fwer)"), std::string::npos);
    const auto stats = rows(readFile(table.path()));
    const double fwer = std::stod(stats[1][13]);
    const auto lines = rows(bed);
    ASSERT_FALSE(lines.empty());
    for (const auto& f : lines) {
        const std::string motif = f[3].substr(f[3].rfind(':') + 1);
        EXPECT_TRUE(motif == "M0001_GATA_01" || motif == "M0002_CREB_01" ||
                    motif == "M0003_HOX_01" || motif == "M0004_EBOX_01")
            << f[3];
        if (f[3].rfind("M1:", 0) != 0) continue;
        EXPECT_EQ(std::stoi(f[4]),
                  std::min(1000, static_cast<int>(std::lround(-10 * std::log10(fwer)))));
    }
    const std::string gff = report({"--gff", "--motifs", kExamples + "example.motifs", "--stats",
                                    table.path(), out.path()})
                                .out;
    EXPECT_NE(gff.find("\tCRM\t"), std::string::npos);
    EXPECT_NE(gff.find(";factors=GATA_01,CREB_01,HOX_01,EBOX_01;"), std::string::npos);
    EXPECT_NE(gff.find(";fwer=" + stats[1][13]), std::string::npos);
    EXPECT_NE(gff.find(";q_value=" + stats[1][12]), std::string::npos);
    EXPECT_NE(gff.find(";Name=M0001_GATA_01;"), std::string::npos);
}

// With the grammar table: the TSV joins exactly the rows at fwer <= 0.05, a table of another
// report is refused with nothing written, and the page draws the planted module's motifs as
// arrows in the table's order and strands, with a histogram per pair, without overlaps.
TEST(ReportGrammar, JoinsTheSignificantRowsAndDrawsTheArrangement) {
    TempFile grammar("", "grammar.tsv"), other("", "other.tsv");
    const RunResult run =
        runProgram(REKUL_BIN, {"--quiet", "--seed", "1", "--grammar", grammar.path(),
                               kExamples + "example.motifs", kExamples + "example.fa"});
    ASSERT_EQ(run.status, 0) << run.err;
    TempFile out(run.out, "report.txt");
    const auto table = rows(readFile(grammar.path()));
    const auto joined = rows(report({"--grammar", grammar.path(), out.path()}).out);
    ASSERT_EQ(joined[0][6], "grammar");
    for (size_t r = 1; r < joined.size() && joined[r][0][0] == 'M'; ++r) {
        std::string expected;
        for (const auto& row : table)
            if (row.size() == 12 && row[0] == joined[r][0] && std::stod(row[11]) <= 0.05)
                expected += (expected.empty() ? "" : "; ") + row[2] +
                            (row[3].empty() ? "" : ":" + row[3] + ":" + row[4]) + "=" + row[5] +
                            " (" + row[6] + "/" + row[7] + ", fwer " + row[11] + ")";
        EXPECT_EQ(joined[r][6], expected) << joined[r][0];
    }
    EXPECT_EQ(joined[1][6].rfind("order=M0001,M0002,M0003,M0004 (", 0), 0u) << joined[1][6];
    // A table of another report names other motifs for its modules.
    std::ofstream(other.path()) << replaceAll(readFile(grammar.path()),
                                              "M1\tM0001,M0002,M0003,M0004\t", "M1\tM0001,M0002\t");
    const RunResult refused = report({"--grammar", other.path(), out.path()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.empty());
    EXPECT_NE(refused.err.find("belongs to another report"), std::string::npos) << refused.err;
    SKIP_WITHOUT_CHROMIUM();
    const std::string page = std::string(BUILD_DIR) + "/report-grammar.html";
    std::ofstream(page) << report({"--html", "--grammar", grammar.path(), out.path()}).out;
    const std::string dom = chromiumDom(page, "chromium-profile-grammar").out;
    const size_t at = dom.find("aria-label=\"arrangement of module M1\"");
    ASSERT_NE(at, std::string::npos);
    const std::string figure = dom.substr(at, dom.find("</svg>", at) - at);
    std::string order, strands;
    const std::regex arrow("data-strand=\"([+-])\" data-motif=\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(figure.begin(), figure.end(), arrow);
         it != std::sregex_iterator(); ++it)
        order += (order.empty() ? "" : ",") + (*it)[2].str(), strands += (*it)[1].str();
    EXPECT_EQ(order, table[1][5]);
    // Strands are listed in the module's motif order; the planted order is that order.
    EXPECT_EQ(strands, table[2][5]);
    EXPECT_EQ(occurrences(figure, "class=\"spacing\""), 6u);
    const std::string checked =
        chromium(page + "#self-check", "chromium-profile-grammar", "--dump-dom").out;
    const size_t entry = checked.find("\"name\":\"arrangement of module M1\"");
    ASSERT_NE(entry, std::string::npos);
    EXPECT_EQ(checked.substr(checked.find("\"overlaps\":", entry), 13), "\"overlaps\":[]");
}
