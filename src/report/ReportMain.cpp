// rekul-report: reads a report of rekul or rekulo (a file, or standard input) and writes it
// as TSV, hit rows, BED, GFF3 or an HTML page on standard output. Without sorting, modules
// stream through one at a time; sorting by probability holds the report's modules in memory.
#include "report/ReportMain.hpp"

#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <sstream>
#include <utility>

#include "common/LineReader.hpp"
#include "common/Log.hpp"
#include "common/OptionText.hpp"
#include "common/OutputFile.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "hits/Genome.hpp"
#include "modules/PermutationShard.hpp"
#include "report/GrammarTable.hpp"
#include "report/Html.hpp"
#include "report/ModuleFamilies.hpp"
#include "report/StatsTable.hpp"
#include "report/SvgExport.hpp"
#include "report/Writers.hpp"

namespace {

const char* const kUsage =
    "Usage: rekul-report [--tsv | --hits | --bed | --bedpe | --gff | --html | --svg DIR]\n"
    "                    [--fasta SEQFILE] [--motifs MOTIFFILE] [--closed]\n"
    "                    [--sort probability] [--html-instances N] [--html-modules N]\n"
    "                    [--motif-stats TABLE] [--gff --genome GENOME.fa]\n"
    "                    [--stats TABLE [--max-q X] [--max-fwer X] [--max-parts-p X]\n"
    "                     [--sort p_value | q_value | fwer]] [REPORT | -]\n";

const char* const kHelpIntro = R"(
rekul-report reads a module report of rekul or rekulo (a file, gzip-compressed or not, or
standard input when REPORT is - or absent) and writes it to standard output in the form
that other tools take. Modules are numbered M1, M2, ... in report order; the number stays
with the module whatever the sort.

)";

const char* const kHelpClosing =
    R"(Every form records how it was made (program, version, command line, input files): '#'
lines at the end of TSV, hit rows and GFF3, the track line and '#' lines at the top of
BED, the page's footer.
)";

// --help's text, with the list of options from the option table below.
std::string helpText();

[[noreturn]] void usageError(const std::string& message) {
    die(message + "\n" + kUsage);
}

enum class SortKey { None, Probability, PValue, QValue, Fwer };

struct Options {
    OutputForm form = OutputForm::Tsv;
    std::string report = "-", fasta, stats, grammar, motifs, motifStats, genome;
    std::string svgFolder;  // --svg: the page's figures as files there, not the page
    bool svgAll = false;    // --svg-all: every module's drawing, not the first 20
    bool closed = false;
    SortKey sort = SortKey::None;
    double maxQ = 0, maxFwer = 0, maxParts = 0;
    bool filterQ = false, filterFwer = false, filterParts = false;
    size_t instancesDrawn = 20, modulesDrawn = 10000;
    std::vector<std::string> shards;  // --merge-permutations: the shard files to join
};

// The value that --sort orders by: smaller first, a value that is not a number last.
double sortValue(SortKey key, const ReportModule& module) {
    switch (key) {
        case SortKey::PValue:
            return module.significance->p;
        case SortKey::QValue:
            return module.significance->q;
        case SortKey::Fwer:
            return module.significance->fwerValue;
        default:
            return module.probability;
    }
}

SortKey sortKey(const char* text) {
    const std::pair<const char*, SortKey> keys[] = {{"probability", SortKey::Probability},
                                                    {"p_value", SortKey::PValue},
                                                    {"q_value", SortKey::QValue},
                                                    {"fwer", SortKey::Fwer}};
    for (const auto& [name, key] : keys)
        if (std::strcmp(text, name) == 0) return key;
    usageError(std::string("Error: --sort takes probability, p_value, q_value or fwer, not ") +
               text);
}

double thresholdOption(const char* name, const char* text) {
    double value = 0;
    if (!parseDouble(text, value) || !(value >= 0 && value <= 1))
        usageError(std::string("Error: ") + name + " takes a number from 0 to 1, not " + text);
    return value;
}

size_t countOption(const char* name, const char* text) {
    int64_t value = 0;
    if (!parseInt64(text, value) || value < 1 || value > 10000000)
        usageError(std::string("Error: ") + name + " takes a number from 1 to 10000000, not " +
                   text);
    return static_cast<size_t>(value);
}

// The options, each with what it does to the settings: a table, as rekul's are.
struct ParsedOptions {
    Options options;
    int forms = 0;
    bool hits = false;
    int given = 0;  // options given
    bool merge = false;
};

struct ReportOption {
    OptionText text;
    void (*apply)(ParsedOptions& parsed, const char* value);
};

void setForm(ParsedOptions& parsed, OutputForm form) {
    ++parsed.forms;
    parsed.options.form = form;
}

// A filter of the table's values: its limit, and that it applies.
void setLimit(ParsedOptions& parsed, const char* option, const char* value, double Options::*limit,
              bool Options::*filter) {
    parsed.options.*limit = thresholdOption(option, value);
    parsed.options.*filter = true;
}

const ReportOption kReportOptions[] = {
    {{"tsv", "", "", "one row per module (the default)",
      "one row per module (the default): module, motifs (comma-separated), motif_count, "
      "instances, genes (distinct genes with an instance), probability, parent (the largest "
      "module whose motifs include all of this module's, empty if none)",
      "One row per module (the default): module, motifs (comma-separated), motif_labels "
      "(with `--motifs`), motif_count, instances, genes (distinct genes with an instance), "
      "probability, the statistics columns (with `--stats`), and parent: the module, of the "
      "largest ones whose motifs include all of this module's and more, that comes first in "
      "the report; empty where there is none."},
     [](ParsedOptions& p, const char*) { setForm(p, OutputForm::Tsv); }},
    {{"hits", "", "", "one row per hit",
      "one row per hit: module, instance (1-based within the module), gene, motif, start, "
      "end (0-based inclusive, as in the report), strand, score",
      "One row per hit: module, instance (1-based within the module), gene, motif, start, "
      "end (0-based inclusive, as in the report), strand, score."},
     [](ParsedOptions& p, const char*) { p.hits = true; }},
    {{"bed", "", "", "BED6, one line per instance (with `--hits`, per hit)",
      "BED6, one line per instance: the span of its hits, name M<n>:<gene>, score min(1000, "
      "round(-10 log10 probability)), strand '.'; with --hits, one line per hit, named "
      "M<n>:<gene>:<motif> and on its strand. Lines are sorted by chromosome and start (sort "
      "-k1,1 -k2,2n), each once",
      "BED6, one line per instance: the span of its hits (end exclusive), name M<n>:<gene>, "
      "score min(1000, round(-10 log10 probability)) (with `--stats`, of the fwer, or of the "
      "q-value for a table without fwer; the track line says which), strand '.'. With "
      "`--hits`, one line per hit, named M<n>:<gene>:<motif> (with `--motifs`, "
      "<motif>_<factor>) and on its strand. Lines are sorted by chromosome and start, as "
      "`sort -k1,1 -k2,2n` sorts them, and identical lines are written once (an instance that "
      "several modules share is one line per module)."},
     [](ParsedOptions& p, const char*) { setForm(p, OutputForm::BedInstances); }},
    {{"bedpe", "", "", "BEDPE, one line per pair of hits of every instance",
      "BEDPE, one line per pair of hits of every instance, named M<n>:<gene>:<motif>:<motif>, "
      "scored as BED, in report order",
      "BEDPE, one line per pair of hits of every instance: the two hits' places, name "
      "M<n>:<gene>:<motif>:<motif>, the BED score, and the two strands, in report order (an "
      "instance of n hits has n(n-1)/2 lines, so they stream instead of being sorted)."},
     [](ParsedOptions& p, const char*) { setForm(p, OutputForm::Bedpe); }},
    {{"gff", "", "", "GFF3: a CRM per instance, a TF_binding_site per hit",
      "GFF3: a CRM feature per instance and a TF_binding_site child per hit (1-based "
      "inclusive positions)",
      "GFF3 with a ##sequence-region line per sequence, a CRM (SO:0000727) per instance, "
      "with the table's p_value, q_value, fwer and fdr where given, and a TF_binding_site "
      "(SO:0000235) per hit, named by its motif and factor and tied to its instance by the "
      "attribute crm (the Sequence Ontology states that a CRM has binding sites as parts, but "
      "not the part_of that a Parent needs); 1-based inclusive. `gt gff3validator -typecheck "
      "so` accepts it."},
     [](ParsedOptions& p, const char*) { setForm(p, OutputForm::Gff); }},
    {{"html", "", "", "one self-contained page",
      "one self-contained page: a sortable table of the modules, each module's instances "
      "drawn (on genomic axes with --fasta), its motifs' logos with --motifs, modules grouped "
      "under the largest module holding their motifs, a heatmap and a network of the motifs "
      "that modules pair, and with --stats a volcano plot",
      "One self-contained page (no network access): a heatmap of the motif pairs (how many "
      "modules hold each pair, rows and columns clustered, with the tree), a network of the "
      "motifs (the strongest pairs as edges as thick as the most genes a module holding the "
      "pair has), with `--stats` a volcano plot (log2 fold enrichment against -log10 fwer, "
      "or q without permutations, each point a link to its module, the most significant "
      "labelled, infinite folds past a break in the axis), a table of the modules sortable by "
      "probability, genes and motif "
      "count, and for each module its motifs' logos (with `--motifs`) and a drawing of its "
      "instances on one scale under a title with its statistics: hits as boxes in colours that "
      "colour-blind readers tell apart "
      "(striped and dotted beyond eight motifs), forward hits above the gene's line and "
      "reverse hits below, with an axis in chromosome positions where `--fasta` places the "
      "gene. Each module sits under the largest module that holds its motifs, in a "
      "collapsible group, closed modules first."},
     [](ParsedOptions& p, const char*) { setForm(p, OutputForm::Html); }},
    {{"svg", "DIR", "", "the page's figures as SVG files",
      "the page's figures as SVG files in DIR: heatmap.svg, network.svg, volcano.svg (with "
      "--stats) and M1.svg, M2.svg, ... (each module's drawing), as the page's SVG buttons "
      "save them. The page's own script draws them in a headless Chromium (chromium on the "
      "PATH, or the program REKUL_CHROMIUM names), so that files and page are one drawing",
      "The page's figures as SVG files in *DIR*: heatmap.svg, network.svg, volcano.svg (with "
      "`--stats`) and M1.svg, M2.svg, ... for the drawings of the first 20 modules (those "
      "the page opens; all with `--svg-all`), as the page's SVG buttons save them. The page's own "
      "script draws them in a headless Chromium (chromium "
      "on the PATH, or the program the environment variable REKUL_CHROMIUM names)."},
     [](ParsedOptions& p, const char* value) {
         setForm(p, OutputForm::Html);
         p.options.svgFolder = value;
         if (p.options.svgFolder.empty()) usageError("Error: --svg takes a folder");
     }},
    {{"svg-all", "", "", "with `--svg`: every module's drawing",
      "with --svg: the drawings of every module, not only of the 20 the page opens",
      "With `--svg`: the drawing of every module, not only of the first 20, those the page "
      "opens (a report of thousands of modules makes thousands of files)."},
     [](ParsedOptions& p, const char*) { p.options.svgAll = true; }},
    {{"fasta", "SEQFILE", "", "the run's sequence file: genes placed on their chromosomes",
      "the sequence file of the run: genes whose titles hold a region (chrom:start-end, as "
      "bedtools getfasta or the UCSC browser write them, with an optional (+) or (-), "
      "strand= word or UCSC _f/_r name suffix) are placed on the chromosome in BED and GFF3; "
      "the page draws genes at their true length, on the chromosome's coordinates",
      "The sequence file of the run. Where a gene's title holds a region chrom:start-end (as "
      "bedtools getfasta writes it, 0-based and end-exclusive, or the UCSC browser, 1-based "
      "and inclusive; the convention is told from the sequence's length), BED and GFF3 rows "
      "are placed on the chromosome; a minus-strand region, marked by (-), strand=- or the "
      "_r suffix of UCSC upstream files, maps positions and strands in reverse. The page "
      "draws genes at their true length, on an axis of chromosome positions that runs from "
      "high to low along a minus-strand gene."},
     [](ParsedOptions& p, const char* v) { p.options.fasta = v; }},
    {{"genome", "GENOME.fa", "", "with `--gff`: the genome, for each chromosome's length",
      "with --gff: the genome of the run's regions (read through its faidx index), so that "
      "each chromosome's ##sequence-region line gives its whole length",
      "With `--gff`: the genome the run's regions come from, read through its faidx index (as "
      "`rekul --genome` reads it), so that the ##sequence-region line of each chromosome "
      "runs from 1 to its length; without it (and without `--fasta` for genes not placed on a "
      "chromosome) a line gives the span of the features. A feature past its chromosome's "
      "end is refused: the report comes from another genome."},
     [](ParsedOptions& p, const char* v) { p.options.genome = v; }},
    {{"motifs", "MOTIFFILE", "", "the run's motif file: labels and logos",
      "the motif file of the run (any format rekul reads): the TSV gains motif_labels (each "
      "motif's other title field, as the factor name beside a matrix id), the page shows both "
      "and draws each motif's logo",
      "The motif file of the run, in any format `rekul` reads. Each motif is shown with its "
      "label, the other field of its title (the factor name beside a matrix id, or the id "
      "for a run with `-t`): the TSV gains motif_labels, and the page shows both and draws "
      "each motif's logo (letter heights in bits: the frequency times the column's "
      "information content, with the pseudocount of `rekul`)."},
     [](ParsedOptions& p, const char* v) { p.options.motifs = v; }},
    {{"stats", "TABLE", "", "the run's statistics table: its columns, filters and sorts",
      "the statistics table that rekul or rekulo wrote with --stats for this report: the TSV "
      "gains its columns (background_genes, background_total, fold_enrichment, p_value, "
      "e_value, q_value, fwer, fdr, p_vs_parts), the page shows them, sortable, and stars the "
      "modules with fwer <= 0.05 (those with fdr <= 0.05 apart)",
      "The statistics table that `rekul` or `rekulo` wrote with `--stats` for this report. "
      "The TSV gains its columns background_genes, background_total, fold_enrichment, "
      "p_value, e_value, q_value, fwer, fdr and p_vs_parts; the page shows them, sortable, "
      "stars the modules with fwer at most 0.05 and marks apart those with fdr at most 0.05; "
      "a table without permutations stars nothing. A table whose rows do not match the "
      "report's modules, or that holds a p, q, fwer, fdr or p_vs_parts outside [0, 1] or not "
      "a number, is refused before anything is written."},
     [](ParsedOptions& p, const char* v) { p.options.stats = v; }},
    {{"grammar", "TABLE", "", "the run's grammar table: its significant rows and figures",
      "the grammar table that rekul or rekulo wrote with --grammar for this report: the TSV "
      "gains a grammar column of its rows at fwer <= 0.05, and the page draws each module's "
      "arrangement (its motifs as arrows in the most frequent order and strands, the spacing "
      "histograms of its pairs against the null's band)",
      "The grammar table that `rekul` or `rekulo` wrote with `--grammar` for this report. The "
      "TSV gains a column grammar, before parent, of the module's rows at fwer at most 0.05, "
      "each as `feature[:motif_a:motif_b]=value (genes/genes_total, fwer X)`, joined by `; `. "
      "The page draws, under each module's instances, its arrangement: the motifs as arrows in "
      "their most frequent order, on the strands of the most frequent pattern, and for the six "
      "pairs of smallest spacing p the histogram of the distances between their starts over "
      "one instance per gene (the first the report prints; sites that overlap left out, as the "
      "table does), with the mean and the 95 % band of each bin under the null that deals each "
      "instance's sites to the motifs at random; `--svg` writes it as M1-grammar.svg, ... A "
      "table whose rows do not match the report's modules is refused before anything is "
      "written."},
     [](ParsedOptions& p, const char* v) { p.options.grammar = v; }},
    {{"motif-stats", "TABLE", "", "with `--html`: the single-motif table at the top of the page",
      "with --html: the single-motif table of rekul --motif-stats, sortable, at the top of "
      "the page",
      "With `--html`: the single-motif table that `rekul --motif-stats` wrote, shown sortable "
      "at the top of the page."},
     [](ParsedOptions& p, const char* v) { p.options.motifStats = v; }},
    {{"closed", "", "", "only the closed modules",
      "keep only closed modules: those that no module with more motifs, including all of "
      "theirs, holds in the same genes",
      "Keep only closed modules: those that no module with more motifs, including all of "
      "theirs, holds in the same genes (the report is read twice; standard input from a "
      "temporary copy)."},
     [](ParsedOptions& p, const char*) { p.options.closed = true; }},
    {{"sort", "KEY", "", "modules by increasing probability, p_value, q_value or fwer",
      "modules by increasing probability (the most significant first), or with --stats by "
      "increasing p_value, q_value or fwer",
      "Modules by increasing `probability`, the most significant first, or, with `--stats`, "
      "by increasing `p_value`, `q_value` or `fwer`; this holds the report's modules in "
      "memory. Without it modules stream through one at a time."},
     [](ParsedOptions& p, const char* v) { p.options.sort = sortKey(v); }},
    {{"max-q", "X", "", "with `--stats`: only the modules with q_value at most X",
      "with --stats: keep only the modules with q_value <= X, in every form",
      "With `--stats`, keep only the modules whose q-value is at most *X*, in every output "
      "form."},
     [](ParsedOptions& p, const char* v) {
         setLimit(p, "--max-q", v, &Options::maxQ, &Options::filterQ);
     }},
    {{"max-fwer", "X", "", "with `--stats`: only the modules with fwer at most X",
      "with --stats: keep only the modules with fwer <= X (the table must come from a run "
      "with --permutations)",
      "With `--stats`, keep only the modules whose fwer is at most *X* (the table must come "
      "from a run with `--permutations`)."},
     [](ParsedOptions& p, const char* v) {
         setLimit(p, "--max-fwer", v, &Options::maxFwer, &Options::filterFwer);
     }},
    {{"max-parts-p", "X", "", "with `--stats`: only the modules with p_vs_parts at most X",
      "with --stats: keep only the modules with p_vs_parts <= X, those that beat each of "
      "their parts of one motif fewer (the table must come from a run with a background)",
      "With `--stats`, keep only the modules whose p_vs_parts is at most *X*: those that "
      "beat each of their parts of one motif fewer (the table must come from a run with a "
      "background)."},
     [](ParsedOptions& p, const char* v) {
         setLimit(p, "--max-parts-p", v, &Options::maxParts, &Options::filterParts);
     }},
    {{"html-instances", "N", "20", "instances drawn per module in the page",
      "instances drawn per module in the page (default 20)",
      "Instances drawn per module in the page; the page says how many were left out."},
     [](ParsedOptions& p, const char* v) {
         p.options.instancesDrawn = countOption("--html-instances", v);
     }},
    {{"html-modules", "N", "10000", "modules the page holds",
      "modules the page holds (default 10000): the first in report order, or with --sort the "
      "first in that order",
      "Modules the page holds: the first in report order, or with `--sort` the first in that "
      "order; the page says how many were left out."},
     [](ParsedOptions& p, const char* v) {
         p.options.modulesDrawn = countOption("--html-modules", v);
     }},
    {{"merge-permutations", "", "", "join the shard files of rekul --permutation-shard",
      "join the N shard files that rekul --permutation-shard K/N wrote (given as the files, "
      "in any order) into the statistics table one run of all the permutations writes, on "
      "standard output; goes alone",
      "Join the *N* shard files that `rekul --permutation-shard K/N` wrote, given in any order "
      "in place of the report, into the statistics table that one run of all the "
      "permutations writes, byte for byte but for its `# command` line (that of shard 1), on "
      "standard output. Shards of other runs, a shard twice, a missing or a stopped shard "
      "are refused, and nothing is written. Goes alone."},
     [](ParsedOptions& p, const char*) { p.merge = true; }},
    {{"help", "", "", "this text", "this text", "Print the help and stop."},
     [](ParsedOptions&, const char*) { exitAfterWriting(std::string(kUsage) + helpText()); }},
    {{"version", "", "", "the program's name and version", "the program's name and version",
      "Print the program's name and version and stop."},
     [](ParsedOptions&, const char*) {
         exitAfterWriting(std::string("rekul-report ") + REKUL_VERSION + "\n");
     }},
};

}  // namespace

std::vector<OptionText> reportOptionTexts() {
    std::vector<OptionText> texts;
    for (const ReportOption& entry : kReportOptions) texts.push_back(entry.text);
    return texts;
}

namespace {

std::string helpText() {
    std::string text = kHelpIntro;
    return text + helpList(reportOptionTexts(), 19) + kHelpClosing;
}

Options parseOptions(int argc, char** argv) {
    std::vector<option> table;
    for (const ReportOption& entry : kReportOptions)
        table.push_back({entry.text.name, *entry.text.value ? required_argument : no_argument,
                         nullptr, static_cast<int>(table.size())});
    table.push_back({nullptr, 0, nullptr, 0});
    ParsedOptions parsed;
    Options& options = parsed.options;
    int option;
    while ((option = getopt_long(argc, argv, "", table.data(), nullptr)) != -1) {
        if (option < 0 || option >= static_cast<int>(std::size(kReportOptions))) die(kUsage);
        kReportOptions[option].apply(parsed, optarg);
        ++parsed.given;
    }
    if (parsed.merge) {
        if (parsed.given > 1)
            usageError("Error: --merge-permutations goes alone, with the shard files");
        if (optind >= argc) usageError("Error: --merge-permutations needs the shard files");
        options.shards.assign(argv + optind, argv + argc);
        return options;
    }
    const int forms = parsed.forms;
    const bool hits = parsed.hits;
    if (forms > 1)
        usageError("Error: choose one of --tsv, --bed, --bedpe, --gff, --html and --svg");
    if (hits) {
        if (forms == 0)
            options.form = OutputForm::Hits;
        else if (options.form == OutputForm::BedInstances)
            options.form = OutputForm::BedHits;
        else
            usageError("Error: --hits goes alone or with --bed");
    }
    if (argc - optind > 1) usageError("Error: give one report (or - for standard input)");
    const bool needsStats = options.filterQ || options.filterFwer || options.filterParts ||
                            (options.sort != SortKey::None && options.sort != SortKey::Probability);
    if (needsStats && options.stats.empty())
        usageError(
            "Error: --max-q, --max-fwer, --max-parts-p and --sort p_value, q_value or fwer need "
            "--stats");
    if (optind < argc) options.report = argv[optind];
    if (options.svgAll && options.svgFolder.empty())
        usageError("Error: --svg-all chooses the drawings of --svg: it needs --svg DIR");
    if (!options.genome.empty() && options.form != OutputForm::Gff)
        usageError("Error: --genome gives GFF3's sequence lengths: it needs --gff");
    if (!options.motifStats.empty() && options.form != OutputForm::Html)
        usageError("Error: --motif-stats shows its table in the page: it needs --html");
    if ((options.report == "-") + (options.stats == "-") + (options.grammar == "-") +
            (options.motifs == "-") + (options.fasta == "-") + (options.motifStats == "-") >
        1)
        die("Error: only one input can be standard input (-)");
    return options;
}

void finish(std::ostream& out) {
    checkWritten(out, "the output");
}

// A form held back in a temporary file until it is complete, so that a report refused half
// way leaves nothing on standard output: a caller sees either the whole form or none.
class HeldOutput {
  public:
    HeldOutput() {
        const char* base = std::getenv("TMPDIR");
        std::string path = std::string(base && *base ? base : "/tmp") + "/rekul-report-XXXXXX";
        const int fd = mkstemp(path.data());
        if (fd < 0) die("Error: cannot hold the output in " + path + ": " + std::strerror(errno));
        ::close(fd);
        file_.open(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
        ::unlink(path.c_str());  // the open stream keeps the file until it closes
        if (!file_) die("Error: cannot hold the output in " + path);
    }
    std::ostream& stream() { return file_; }
    // Copies the whole form to `out`.
    void release(std::ostream& out) {
        file_.flush();
        if (!file_)
            die(std::string("Error: cannot hold the output: ") +
                std::strerror(errno ? errno : EIO));
        file_.seekg(0);
        if (file_.peek() != std::char_traits<char>::eof()) out << file_.rdbuf();
        finish(out);
    }

  private:
    std::fstream file_;
};

// Whether a module passes --max-q and --max-fwer.
bool kept(const Options& options, const ReportModule& module) {
    if (!module.significance) return true;
    if (options.filterQ && !(module.significance->q <= options.maxQ)) return false;
    if (options.filterParts && !(module.significance->partsValue <= options.maxParts)) return false;
    return !options.filterFwer || module.significance->fwerValue <= options.maxFwer;
}

// The report to read, for a report that is read twice: standard input, or any input that is
// not a regular file (a pipe, a process substitution), is first copied to a temporary file
// (removed when the run ends).
class SpooledInput {
  public:
    SpooledInput(const std::string& report, bool twice) : path_(report) {
        struct stat status;
        if (!twice ||
            (report != "-" && stat(report.c_str(), &status) == 0 && S_ISREG(status.st_mode)))
            return;
        shownAs_ = report == "-" ? "standard input" : report;
        const int from = report == "-" ? dup(STDIN_FILENO) : open(report.c_str(), O_RDONLY);
        if (from < 0) return;  // the reader says why it cannot be opened
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/rekul-report.XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            close(from);
            die("Error: cannot make a temporary file for " + shownAs_ + ": " + pattern);
        }
        path_ = temporary_ = pattern;
        char buffer[1 << 16];
        ssize_t got;
        bool copied = true;
        while (copied && (got = read(from, buffer, sizeof buffer)) > 0)
            copied = write(fd, buffer, static_cast<size_t>(got)) == got;
        copied = close(fd) == 0 && copied && got == 0;
        close(from);
        if (!copied) {
            unlink(temporary_.c_str());  // the destructor does not run for a refused copy
            die("Error: cannot copy " + shownAs_ + " to " + temporary_);
        }
    }
    ~SpooledInput() {
        if (!temporary_.empty()) unlink(temporary_.c_str());
    }
    SpooledInput(const SpooledInput&) = delete;
    SpooledInput& operator=(const SpooledInput&) = delete;

    // A reader of the report; the second reading keeps quiet about what the first said.
    ReportReader reader(bool warnings) const {
        return ReportReader(path_, temporary_.empty() ? "" : shownAs_, warnings);
    }

  private:
    std::string path_, temporary_, shownAs_;
};

// The modules of a report that pass the filters, each with its row of the statistics table;
// with `closed`, only the closed modules. Refuses a table of another report at the end.
class ModuleSource {
  public:
    ModuleSource(const SpooledInput& input, bool warnings, const Options& options,
                 const StatsTable* stats, const GrammarTable* grammar, const ModuleFamilies* closed)
        : reader_(input.reader(warnings)),
          options_(options),
          stats_(stats),
          grammar_(grammar),
          closed_(closed) {}

    bool next(ReportModule& module) {
        while (reader_.next(module)) {
            ++read_;
            if (stats_) module.significance = &stats_->of(module);
            if (grammar_) module.grammar = &grammar_->of(module);
            if (kept(options_, module) && (!closed_ || closed_->closed(module.number))) return true;
        }
        if (stats_ && read_ != stats_->rows())
            die("Error: statistics table " + options_.stats + " has " +
                std::to_string(stats_->rows()) + " rows, the report " + std::to_string(read_) +
                " modules; it belongs to another report");
        if (grammar_ && read_ != grammar_->modules())
            die("Error: grammar table " + options_.grammar + " has rows of " +
                std::to_string(grammar_->modules()) + " modules, the report " +
                std::to_string(read_) + "; it belongs to another report");
        return false;
    }

  private:
    ReportReader reader_;
    const Options& options_;
    const StatsTable* stats_;
    const GrammarTable* grammar_;
    const ModuleFamilies* closed_;
    int64_t read_ = 0;
};

// How the output was made, a line each without its "# ".
std::vector<std::string> provenance(const Options& options, int argc, char** argv,
                                    const StatsTable* stats, const GrammarTable* grammar) {
    std::vector<std::string> lines = {
        std::string("program: rekul-report ") + REKUL_VERSION,
        std::string("command: ").append(commandLineOf(argc, argv)),
        std::string("report: ")
            .append(options.report == "-" ? "standard input" : printable(options.report))};
    if (!options.fasta.empty())
        lines.push_back(std::string("fasta: ").append(printable(options.fasta)));
    if (!options.motifs.empty())
        lines.push_back(std::string("motifs: ").append(printable(options.motifs)));
    auto table = [&](const char* name, const std::string& path,
                     const std::vector<std::string>& notes) {
        lines.push_back(std::string(name).append(": ").append(printable(path)));
        for (const std::string& note : notes) {
            const size_t text = note.find_first_not_of("# ");
            if (text != std::string::npos)
                lines.push_back(std::string(name).append(" table ").append(note.substr(text)));
        }
    };
    if (stats) table("stats", options.stats, stats->notes());
    if (grammar) table("grammar", options.grammar, grammar->notes());
    return lines;
}

// BED readers (bedtools among them) skip lines that start with '#', "track" or "browser": a
// gene placed by its name that starts so would lose its lines without a word.
// The extent of every sequence that the module's features lie on: the whole gene where its
// length is known and it is not placed on a chromosome, else the span of the features.
void addExtents(const ReportModule& module, const GeneCoordinates& coordinates,
                std::map<std::string, std::pair<int64_t, int64_t>>& extents) {
    for (const ReportInstance& instance : module.instances)
        for (const ReportHit& hit : instance.hits) {
            const Placement place =
                coordinates.place(instance.gene, hit.start, hit.end, hit.strand);
            int64_t from = place.start, to = place.end;
            const auto length = coordinates.length(instance.gene);
            if (length && !coordinates.region(instance.gene)) from = 0, to = *length;
            const auto [it, added] = extents.emplace(place.seqid, std::make_pair(from, to));
            if (!added)
                it->second = {std::min(it->second.first, from), std::max(it->second.second, to)};
        }
}

// GFF3's extent of each chromosome of the genome: all of it, 1 to its length.
void wholeChromosomes(const Genome& genome,
                      std::map<std::string, std::pair<int64_t, int64_t>>& extents) {
    for (auto& [seqid, extent] : extents) {
        const int64_t c = genome.find(seqid);
        if (c < 0) continue;
        const int64_t length = genome.length(static_cast<size_t>(c));
        if (extent.second > length)
            die("Error: a feature on " + printable(seqid) + " ends at " +
                std::to_string(extent.second) + ", past its length in " + genome.path() + " (" +
                std::to_string(length) + "): the report comes from another genome");
        extent = {0, length};
    }
}

void refuseSkippedBedLines(const ReportModule& module, const GeneCoordinates& coordinates) {
    for (const ReportInstance& instance : module.instances) {
        const Placement place = coordinates.place(instance.gene, 0, 0, '.');
        const std::string_view seqid = place.seqid;
        if (seqid.starts_with('#') || seqid.starts_with("track") || seqid.starts_with("browser"))
            die("Error: gene " + printable(instance.gene) +
                " would begin BED lines with '#', 'track' or 'browser', which BED readers skip; "
                "rename it, or place it on its chromosome with --fasta");
    }
}

// The single-motif table of rekul --motif-stats: its header and rows ('#' lines left out),
// every row as wide as the header.
std::pair<std::vector<std::string>, std::vector<std::vector<std::string>>> readMotifTable(
    const std::string& path) {
    LineReader reader(path);
    if (!reader.isOpen())
        dieIo("Error: cannot open motif statistics table " + path + ": " + reader.openError());
    std::string line;
    if (!reader.next(line) || line.rfind("motif\t", 0) != 0)
        die("Error: " + reader.displayName() +
            " line 1: expected the header of a table written by --motif-stats");
    std::vector<std::string> columns = splitAt(line, '\t');
    std::vector<std::vector<std::string>> rows;
    while (reader.next(line)) {
        if (line.empty() || line[0] == '#') continue;
        rows.push_back(splitAt(line, '\t'));
        if (rows.back().size() != columns.size())
            die("Error: " + reader.displayName() + " line " + std::to_string(reader.lineNumber()) +
                ": a row needs " + std::to_string(columns.size()) + " fields");
    }
    return {std::move(columns), std::move(rows)};
}

// The distinct motifs of the modules read, to tell those a motif file lacks.
class MotifsSeen {
  public:
    void add(const ReportModule& module) {
        names_.insert(module.motifs.begin(), module.motifs.end());
    }
    // One warning for the motifs the file does not hold.
    void warnMissing(const MotifCatalog& catalog, const std::string& file) const {
        const auto missing = std::count_if(names_.begin(), names_.end(), [&](const auto& name) {
            return catalog.find(name) == nullptr;
        });
        if (missing > 0)
            warn(std::to_string(missing) + " of the report's " + std::to_string(names_.size()) +
                 " motifs are not in " + printable(file) + "; they have no label and no logo");
    }

  private:
    std::set<std::string> names_;
};

}  // namespace

namespace {

// The statistics table of --stats, refused where the options ask for what it lacks.
std::unique_ptr<StatsTable> loadStats(const Options& options) {
    if (options.stats.empty()) return nullptr;
    auto stats = std::make_unique<StatsTable>(options.stats);
    const std::string from = "; the table " + options.stats + " comes from a run without ";
    if (options.filterFwer && !stats->hasFwer())
        die("Error: --max-fwer needs fwer values" + from + "--permutations");
    if (options.filterParts && !stats->hasParts())
        die("Error: --max-parts-p needs p_vs_parts values" + from + "a background");
    if (options.sort == SortKey::Fwer && !stats->hasFwer())
        die("Error: --sort fwer needs fwer values" + from + "--permutations");
    return stats;
}

// What the first reading of a report learns before anything is written.
struct FirstReading {
    std::unique_ptr<ModuleFamilies> families;                    // --closed
    std::map<std::string, std::pair<int64_t, int64_t>> extents;  // GFF3's sequence regions
};

// The page (or its figures as SVG files, --svg).
void writePage(const Options& options, const FormContext& context, const MotifCatalog& motifs,
               ModuleSource& source, MotifsSeen& seen, bool seenAll) {
    HtmlPage page({options.instancesDrawn, options.modulesDrawn, options.sort != SortKey::None},
                  context.coordinates, motifs);
    if (!options.motifStats.empty()) {
        auto [columns, rows] = readMotifTable(options.motifStats);
        page.addMotifTable(std::move(columns), std::move(rows));
    }
    ReportModule module;
    while (source.next(module)) {
        if (!seenAll) seen.add(module);
        page.add(module, sortValue(options.sort, module));
    }
    if (!options.motifs.empty()) seen.warnMissing(motifs, options.motifs);
    if (!options.svgFolder.empty()) {
        std::ostringstream text;
        page.write(text, "Motif modules", context.provenance);
        writeSvgFiles(text.str(), options.svgFolder, options.svgAll);
        return;
    }
    page.write(std::cout, "Motif modules", context.provenance);
    finish(std::cout);
}

// The tabular, BED and GFF3 forms. BED lines are gathered and sorted, TSV rows wait for
// their parents (a module's parent may come after it), the other forms stream.
void writeForm(const Options& options, const FormContext& context, ModuleSource& source,
               const FirstReading& first, bool withTable, MotifsSeen& seen, bool seenAll) {
    HeldOutput held;
    std::ostream& out = held.stream();
    ReportModule module;
    // With a table, the first module is read before anything is written, so that a table of
    // another report is refused with nothing on standard output.
    bool more = withTable && source.next(module);
    // BEDPE streams: its lines grow with the square of an instance's hits.
    const bool bed =
        options.form == OutputForm::BedInstances || options.form == OutputForm::BedHits;
    const std::string header = formHeader(options.form, context);
    if (!bed)
        out << header << (options.form == OutputForm::Gff ? gffSequenceRegions(first.extents) : "");
    if (!withTable) more = source.next(module);
    std::vector<ReportModule> modules;
    if (options.sort != SortKey::None) {
        for (; more; more = source.next(module)) modules.push_back(std::move(module));
        std::stable_sort(modules.begin(), modules.end(), [&](const auto& a, const auto& b) {
            return moreSignificant(sortValue(options.sort, a), sortValue(options.sort, b));
        });
    }
    std::string lines;
    ModuleFamilies parents;
    std::vector<std::pair<int64_t, std::string>> rows;
    auto emit = [&](const ReportModule& each) {
        if (!seenAll) seen.add(each);
        if (options.form == OutputForm::Tsv) {
            parents.add(each);
            rows.emplace_back(each.number, formatModuleAs(options.form, each, context));
        } else if (bed) {
            lines += formatModuleAs(options.form, each, context);
        } else {
            out << formatModuleAs(options.form, each, context);
        }
    };
    for (const ReportModule& each : modules) emit(each);
    for (; more; more = source.next(module)) emit(module);
    if (bed) {
        out << header;
        writeSortedBed(out, lines);
    }
    parents.resolve(false);
    for (auto& [number, row] : rows) {
        // The row ends in its empty parent column.
        if (const int64_t parent = parents.parent(number))
            row.insert(row.size() - 1, std::string("M").append(std::to_string(parent)));
        out << row;
    }
    out << formFooter(options.form, context);
    held.release(std::cout);
}

}  // namespace

// --merge-permutations: the shards read whole first, so that a refusal writes nothing.
int mergeMain(const Options& options) {
    std::vector<PermutationShard> shards;
    for (const std::string& path : options.shards) shards.push_back(readPermutationShard(path));
    std::cout << mergePermutationShards(shards, options.shards);
    finish(std::cout);
    return 0;
}

int reportMain(int argc, char** argv) {
    std::set_new_handler(outOfMemory);
    const Options options = parseOptions(argc, argv);
    if (!options.shards.empty()) return mergeMain(options);
    const auto coordinates = options.fasta.empty()
                                 ? std::make_unique<GeneCoordinates>()
                                 : std::make_unique<GeneCoordinates>(options.fasta);
    const auto motifs = options.motifs.empty() ? std::make_unique<MotifCatalog>()
                                               : std::make_unique<MotifCatalog>(options.motifs);
    const std::unique_ptr<StatsTable> stats = loadStats(options);
    const auto grammar =
        options.grammar.empty() ? nullptr : std::make_unique<GrammarTable>(options.grammar);
    const FormContext context{*coordinates,
                              options.motifs.empty() ? nullptr : motifs.get(),
                              stats != nullptr,
                              grammar != nullptr,
                              !stats             ? "probability"
                              : stats->hasFwer() ? "fwer"
                                                 : "q value",
                              provenance(options, argc, argv, stats.get(), grammar.get())};
    // The report is read twice where something must be known before the first line is
    // written: every module's motifs and genes (--closed), that the statistics table
    // (and the grammar table) belong to this report, that no gene begins a line that BED
    // readers skip, and GFF3's extents.
    const bool bedLines = options.form == OutputForm::BedInstances ||
                          options.form == OutputForm::BedHits || options.form == OutputForm::Bedpe;
    const bool gff = options.form == OutputForm::Gff;
    const bool twice = options.closed || stats || grammar || bedLines || gff;
    const SpooledInput input(options.report, twice);
    FirstReading first;
    if (options.closed) first.families = std::make_unique<ModuleFamilies>();
    MotifsSeen seen;
    if (twice) {
        ModuleSource reading(input, true, options, stats.get(), grammar.get(), nullptr);
        for (ReportModule module; reading.next(module);) {
            if (first.families) first.families->add(module);
            if (bedLines) refuseSkippedBedLines(module, *coordinates);
            if (gff) addExtents(module, *coordinates, first.extents);
            seen.add(module);
        }
        if (first.families) first.families->resolve();
    }
    if (gff && !options.genome.empty()) wholeChromosomes(Genome(options.genome), first.extents);
    ModuleSource source(input, !twice, options, stats.get(), grammar.get(), first.families.get());
    if (options.form == OutputForm::Html) {
        writePage(options, context, *motifs, source, seen, twice);
        return 0;
    }
    writeForm(options, context, source, first, stats || grammar, seen, twice);
    if (!options.motifs.empty()) seen.warnMissing(*motifs, options.motifs);
    finish(std::cout);
    return 0;
}
