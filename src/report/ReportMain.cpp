// rekul-report: reads a report of rekul or rekulo (a file, or standard input) and writes it
// as TSV, hit rows, BED, GFF3 or an HTML page on standard output. Without sorting, modules
// stream through one at a time; sorting by probability holds the report's modules in memory.
#include "report/ReportMain.hpp"

#include <getopt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <utility>

#include "common/Text.hpp"
#include "common/die.hpp"
#include "report/Html.hpp"
#include "report/StatsTable.hpp"
#include "report/Writers.hpp"

namespace {

const char* const kUsage =
    "Usage: rekul-report [--tsv | --hits | --bed | --gff | --html] [--fasta SEQFILE]\n"
    "                    [--sort probability] [--html-instances N] [--html-modules N]\n"
    "                    [--stats TABLE [--max-q X] [--max-fwer X]\n"
    "                     [--sort p_value | q_value | fwer]] [REPORT | -]\n";

const char* const kHelp = R"(
rekul-report reads a module report of rekul or rekulo (a file, gzip-compressed or not, or
standard input when REPORT is - or absent) and writes it to standard output in the form
that other tools take. Modules are numbered M1, M2, ... in report order; the number stays
with the module whatever the sort.

--tsv              one row per module (the default): module, motifs (comma-separated),
                   motif_count, instances, genes (distinct genes with an instance),
                   probability
--hits             one row per hit: module, instance (1-based within the module), gene,
                   motif, start, end (0-based inclusive, as in the report), strand, score
--bed              BED6, one line per instance: the span of its hits, name M<n>:<motifs>,
                   score 0, strand '.'; with --hits, one line per hit, named by its motif
                   and on its strand
--gff              GFF3: a motif_module feature per instance and a TF_binding_site child per
                   hit (1-based inclusive positions)
--html             one self-contained page: a sortable table of the modules and a drawing of
                   each module's instances
--fasta SEQFILE    the sequence file of the run: genes whose titles hold a region
                   (chrom:start-end, as bedtools getfasta or the UCSC browser write them,
                   with an optional (+) or (-), strand= word or UCSC _f/_r name suffix) are
                   placed on the chromosome in BED and GFF3; the page draws genes at their
                   true length
--sort probability modules by increasing probability (the most significant first)
--stats TABLE      the statistics table that rekul or rekulo wrote with --stats for
                   this report: the TSV gains its columns (background_genes,
                   background_total, fold_enrichment, p_value, e_value, q_value,
                   fwer), the page shows them, sortable, and marks the modules with
                   q <= 0.05 and fwer <= 0.05
--max-q X          with --stats: keep only the modules with q_value <= X, in every form
--max-fwer X       with --stats: keep only the modules with fwer <= X (the table must
                   come from a run with --permutations)
--sort p_value, --sort q_value, --sort fwer
                   with --stats: modules by increasing p, q or fwer
--html-instances N instances drawn per module in the page (default 20)
--html-modules N   modules the page holds (default 10000): the first in report order, or
                   with --sort probability the most significant
--help, --version  this text; the program's name and version
)";

[[noreturn]] void usageError(const std::string& message) {
    die(message + "\n" + kUsage);
}

enum class SortKey { None, Probability, PValue, QValue, Fwer };

struct Options {
    OutputForm form = OutputForm::Tsv;
    std::string report = "-", fasta, stats;
    SortKey sort = SortKey::None;
    double maxQ = 0, maxFwer = 0;
    bool filterQ = false, filterFwer = false;
    size_t instancesDrawn = 20, modulesDrawn = 10000;
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
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 10000000)
        usageError(std::string("Error: ") + name + " takes a number from 1 to 10000000, not " +
                   text);
    return static_cast<size_t>(value);
}

Options parseOptions(int argc, char** argv) {
    enum {
        kTsv = 256,
        kHits,
        kBed,
        kGff,
        kHtml,
        kFasta,
        kSort,
        kDrawn,
        kModules,
        kHelpOption,
        kVersion,
        kStats,
        kMaxQ,
        kMaxFwer
    };
    const option table[] = {{"tsv", no_argument, nullptr, kTsv},
                            {"hits", no_argument, nullptr, kHits},
                            {"bed", no_argument, nullptr, kBed},
                            {"gff", no_argument, nullptr, kGff},
                            {"html", no_argument, nullptr, kHtml},
                            {"fasta", required_argument, nullptr, kFasta},
                            {"sort", required_argument, nullptr, kSort},
                            {"html-instances", required_argument, nullptr, kDrawn},
                            {"html-modules", required_argument, nullptr, kModules},
                            {"help", no_argument, nullptr, kHelpOption},
                            {"version", no_argument, nullptr, kVersion},
                            {"stats", required_argument, nullptr, kStats},
                            {"max-q", required_argument, nullptr, kMaxQ},
                            {"max-fwer", required_argument, nullptr, kMaxFwer},
                            {nullptr, 0, nullptr, 0}};
    Options options;
    int forms = 0;
    bool hits = false;
    int option;
    while ((option = getopt_long(argc, argv, "", table, nullptr)) != -1) {
        switch (option) {
            case kTsv:
            case kBed:
            case kGff:
            case kHtml:
                ++forms;
                options.form = option == kTsv   ? OutputForm::Tsv
                               : option == kBed ? OutputForm::BedInstances
                               : option == kGff ? OutputForm::Gff
                                                : OutputForm::Html;
                break;
            case kHits:
                hits = true;
                break;
            case kFasta:
                options.fasta = optarg;
                break;
            case kSort:
                options.sort = sortKey(optarg);
                break;
            case kStats:
                options.stats = optarg;
                break;
            case kMaxQ:
                options.maxQ = thresholdOption("--max-q", optarg);
                options.filterQ = true;
                break;
            case kMaxFwer:
                options.maxFwer = thresholdOption("--max-fwer", optarg);
                options.filterFwer = true;
                break;
            case kDrawn:
                options.instancesDrawn = countOption("--html-instances", optarg);
                break;
            case kModules:
                options.modulesDrawn = countOption("--html-modules", optarg);
                break;
            case kHelpOption:
                exitAfterWriting(std::string(kUsage) + kHelp);
            case kVersion:
                exitAfterWriting(std::string("rekul-report ") + REKUL_VERSION + "\n");
            default:
                die(kUsage);
        }
    }
    if (forms > 1) usageError("Error: choose one of --tsv, --bed, --gff and --html");
    if (hits) {
        if (forms == 0)
            options.form = OutputForm::Hits;
        else if (options.form == OutputForm::BedInstances)
            options.form = OutputForm::BedHits;
        else
            usageError("Error: --hits goes alone or with --bed");
    }
    if (argc - optind > 1) usageError("Error: give one report (or - for standard input)");
    const bool needsStats = options.filterQ || options.filterFwer ||
                            (options.sort != SortKey::None && options.sort != SortKey::Probability);
    if (needsStats && options.stats.empty())
        usageError("Error: --max-q, --max-fwer and --sort p_value, q_value or fwer need --stats");
    if (optind < argc) options.report = argv[optind];
    return options;
}

void finish(std::ostream& out) {
    out.flush();
    if (!out) die("Error: cannot write the output");
}

}  // namespace

// Whether a module passes --max-q and --max-fwer.
bool kept(const Options& options, const ReportModule& module) {
    if (!module.significance) return true;
    if (options.filterQ && !(module.significance->q <= options.maxQ)) return false;
    return !options.filterFwer || module.significance->fwerValue <= options.maxFwer;
}

int reportMain(int argc, char** argv) {
    std::set_new_handler(outOfMemory);
    const Options options = parseOptions(argc, argv);
    const auto coordinates = options.fasta.empty()
                                 ? std::make_unique<GeneCoordinates>()
                                 : std::make_unique<GeneCoordinates>(options.fasta, std::cerr);
    std::unique_ptr<StatsTable> stats;
    if (!options.stats.empty()) {
        stats = std::make_unique<StatsTable>(options.stats);
        if (options.filterFwer && !stats->hasFwer())
            die("Error: --max-fwer needs fwer values; the table " + options.stats +
                " comes from a run without --permutations");
        if (options.sort == SortKey::Fwer && !stats->hasFwer())
            die("Error: --sort fwer needs fwer values; the table " + options.stats +
                " comes from a run without --permutations");
    }
    // Reads the next module that passes the filters, with its statistics.
    ReportReader reader(options.report);
    int64_t read = 0;
    auto next = [&](ReportModule& module) {
        while (reader.next(module)) {
            ++read;
            if (stats) module.significance = &stats->of(module);
            if (kept(options, module)) return true;
        }
        if (stats && read != stats->rows())
            die("Error: statistics table " + options.stats + " has " +
                std::to_string(stats->rows()) + " rows, the report " + std::to_string(read) +
                " modules; it belongs to another report");
        return false;
    };
    std::ostream& out = std::cout;
    ReportModule module;
    if (options.form == OutputForm::Html) {
        HtmlPage page({options.instancesDrawn, options.modulesDrawn, options.sort != SortKey::None},
                      *coordinates);
        while (next(module)) page.add(module, sortValue(options.sort, module));
        page.write(out, "Motif modules");
        finish(out);
        return 0;
    }
    // With a table, the first module is read before anything is written, so that a table of
    // another report is refused with nothing on standard output.
    bool more = stats && next(module);
    out << formHeader(options.form, stats != nullptr);
    if (!stats) more = next(module);
    if (options.sort == SortKey::None) {
        for (; more; more = next(module)) out << formatModuleAs(options.form, module, *coordinates);
        finish(out);
        return 0;
    }
    std::vector<ReportModule> modules;
    for (; more; more = next(module)) modules.push_back(std::move(module));
    std::stable_sort(modules.begin(), modules.end(), [&](const auto& a, const auto& b) {
        return moreSignificant(sortValue(options.sort, a), sortValue(options.sort, b));
    });
    for (const ReportModule& each : modules)
        out << formatModuleAs(options.form, each, *coordinates);
    finish(out);
    return 0;
}
