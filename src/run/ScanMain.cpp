// rekul-scan: the instances of a report's modules on a target (FASTA genes, or regions of a
// genome), found by discovery's window scan over the target's hits (the same scanner, cutoffs
// and overlap removal as a run of rekul with the same options), each with its p-value and
// E-value (modules/ModuleScan.hpp), written as BED6+ sorted as bedtools sorts.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "common/OutputFile.hpp"
#include "common/Text.hpp"
#include "hits/Genome.hpp"
#include "modules/ModuleScan.hpp"
#include "modules/Probability.hpp"
#include "rekul.hpp"
#include "report/Coordinates.hpp"
#include "report/ReportReader.hpp"
#include "report/StatsTable.hpp"

namespace {

// What rekul-scan takes beside rekul's scan options.
struct ScanOptions {
    std::string modules;  // --modules: the report whose modules are looked for
    std::string module;   // --module: only this one (M3)
    std::string summary;  // --summary: a line per module, with the held-out counts
    std::string stats;    // --stats: the report's table, for its filters and run settings
    double maxFwer = -1, maxQ = -1;  // --max-fwer, --max-q: the table's filters (-1: none)
    bool hits = false;               // --hits: a BED line per hit of each instance
    bool wholeGenome = false;        // --genome without --regions: each chromosome a sequence
    std::vector<std::string> rest;
};

const char* const kScanHelp = R"(
rekul-scan finds the instances of a report's modules on a target: FASTA sequences, regions
of a genome (--regions with --genome), or a whole genome (--genome alone). The target is
scanned as rekul scans it, and an instance is what discovery's instance test finds: a window
of at most -w letters holding a hit of each of the module's motifs. Each instance gets a
p-value and an E-value (hits of each motif uniform at its own rate on the target); with a
background (--genomic-background R, --background, --background-regions), an empirical fdr
from the same scan over the matched windows. BED6+ on standard output, sorted as bedtools
sorts: chrom, start, end, module:motifs, score, strand, p, E, fdr.

Options of rekul-scan:
  --modules REPORT   the report whose modules are looked for
  --module M         only module M (M3: the third of the report)
  --stats TABLE      the report's table: its run's scan settings and seed are taken
  --max-fwer X       with --stats: only the modules with fwer at most X
  --max-q X          with --stats: only the modules with q_value at most X
  --hits             a line per hit of each instance (module.instance:motif)
  --summary FILE     a line per module: instances, per Mb, at fdr <= 0.05, and with a
                     background the held-out counts (enrichment, Fisher p)
  --help, --version

The scan takes rekul's options where they mean the same: -m, -p, -o, -w, -t, -l,
--exact-cutoffs, --homer-cutoffs, --threads, --seed, --quiet, --regions, --genome,
--summits, --top, --exclude and the backgrounds (rekul --help describes them).
)";

const char* const kScanUsage =
    "Usage: rekul-scan --modules REPORT [--module M] [--hits] [--summary FILE]\n"
    "                  [rekul's scan options and background] motifFile "
    "(seqFile.fa | --regions R.bed --genome G.fa)";

// Takes rekul-scan's own options out of the command line; the rest is rekul's.
ScanOptions scanOptions(int argc, char** argv) {
    ScanOptions options;
    options.rest.push_back("rekul-scan");
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        auto value = [&](const char* name, std::string& into) {
            const std::string flag = std::string("--") + name;
            if (word == flag) {
                if (i + 1 >= argc) dieUsage("Error: " + flag + " needs a value\n" + kScanUsage);
                into = argv[++i];
                return true;
            }
            if (word.rfind(flag + "=", 0) == 0) {
                into = word.substr(flag.size() + 1);
                return true;
            }
            return false;
        };
        std::string limit;
        if (value("modules", options.modules) || value("module", options.module) ||
            value("summary", options.summary) || value("stats", options.stats))
            continue;
        if (value("max-fwer", limit) || value("max-q", limit)) {
            double number = 0;
            if (!parseDouble(limit, number) || !(number >= 0 && number <= 1))
                dieUsage("Error: " + word.substr(0, word.find('=')) +
                         " takes a number from 0 to 1, not " + limit);
            (word.rfind("--max-fwer", 0) == 0 ? options.maxFwer : options.maxQ) = number;
            continue;
        }
        if (word == "--help" || word == "-h")
            exitAfterWriting(std::string(kScanUsage) + "\n" + kScanHelp);
        if (word == "--version")
            exitAfterWriting(std::string("rekul-scan ") + REKUL_VERSION + "\n");
        if (word == "--hits") {
            options.hits = true;
            continue;
        }
        options.rest.push_back(word);
    }
    // A genome without regions is the target whole: each chromosome a gene.
    auto has = [&](const char* flag) {
        return std::any_of(options.rest.begin(), options.rest.end(), [&](const std::string& w) {
            return w == flag || w.rfind(std::string(flag) + "=", 0) == 0;
        });
    };
    options.wholeGenome = has("--genome") && !has("--regions");
    if (options.wholeGenome) {
        for (size_t i = 1; i < options.rest.size(); ++i) {
            std::string& word = options.rest[i];
            if (word.rfind("--genome=", 0) == 0) {
                options.rest.push_back(word.substr(9));
            } else if (word == "--genome" && i + 1 < options.rest.size()) {
                options.rest.push_back(options.rest[i + 1]);
                options.rest.erase(options.rest.begin() + static_cast<long>(i) + 1);
            } else {
                continue;
            }
            options.rest.erase(options.rest.begin() + static_cast<long>(i));
            break;
        }
    }
    if ((options.maxFwer >= 0 || options.maxQ >= 0) && options.stats.empty())
        dieUsage("Error: --max-fwer and --max-q filter by the report's table: they need --stats");
    if (options.modules.empty())
        dieUsage(std::string("Error: rekul-scan needs --modules REPORT\n") + kScanUsage);
    return options;
}

// The report's modules (or the one of --module, or those within the table's filters), their
// motifs as ids of the target's scan.
std::vector<ScanModule> reportModules(const ScanOptions& options,
                                      const std::vector<std::string>& motifNames) {
    std::vector<ScanModule> modules;
    const std::unique_ptr<StatsTable> table =
        options.stats.empty() ? nullptr : std::make_unique<StatsTable>(options.stats);
    if (table && options.maxFwer >= 0 && !table->hasFwer())
        die("Error: --max-fwer needs a table with fwer: " + options.stats +
            " was written without --permutations");
    ReportReader reader(options.modules);
    for (ReportModule module; reader.next(module);) {
        if (!options.module.empty() && module.id() != options.module) continue;
        if (table) {
            const ModuleSignificance& row = table->of(module);
            if (options.maxFwer >= 0 && !(row.fwerValue <= options.maxFwer)) continue;
            if (options.maxQ >= 0 && !(row.q <= options.maxQ)) continue;
        }
        ScanModule wanted{module.id(), {}};
        for (const std::string& name : module.motifs) {
            const auto at = std::lower_bound(motifNames.begin(), motifNames.end(), name);
            if (at == motifNames.end() || *at != name)
                die("Error: motif " + printable(name) + " of module " + module.id() + " of " +
                    options.modules + " is not in the motif file");
            wanted.motifs.push_back(static_cast<int32_t>(at - motifNames.begin()));
        }
        modules.push_back(std::move(wanted));
    }
    if (!options.module.empty() && modules.empty())
        die("Error: " + options.modules + " holds no module " + options.module);
    return modules;
}

// The scan settings of the table's run (its `# command` line: -m, -p, -o, -w, -t, -l,
// --exact-cutoffs, --homer-cutoffs; and its seed), placed before the command line's own so
// that those given to rekul-scan win.
std::vector<std::string> runSettings(const std::string& statsPath, Progress progress) {
    const StatsTable table(statsPath);
    std::string command;
    std::string seed;
    for (const std::string& note : table.notes()) {
        if (note.rfind("# command: ", 0) == 0) command = note.substr(11);
        if (note.rfind("# random seed: ", 0) == 0 && note != "# random seed: none")
            seed = note.substr(15);
    }
    std::vector<std::string> words, taken;
    std::istringstream in(command);
    for (std::string word; in >> word;) words.push_back(word);
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool valued = word == "-m" || word == "-p" || word == "-o" || word == "-w";
        if (valued && i + 1 < words.size()) {
            taken.insert(taken.end(), {word, words[i + 1]});
            ++i;
        } else if (word == "-t" || word == "-l" || word == "--exact-cutoffs" ||
                   word == "--homer-cutoffs") {
            taken.push_back(word);
        }
    }
    // The run's seed, so that cutoffs read off a sample are drawn alike.
    if (!seed.empty()) taken.insert(taken.end(), {"--seed", seed});
    std::string said;
    for (const std::string& word : taken) said += " " + word;
    progress.line("Read: the scan settings of the run of " + printable(statsPath) + ":" +
                  (said.empty() ? " the defaults" : said));
    return taken;
}

struct BedLine {
    Placement place;
    std::string rest;  // from the name on
};

// min(1000, -10 log10 p), BED's score of 0 to 1000, as rekul-report scores a probability.
int bedScore(double p) {
    if (!(p > 0)) return 1000;
    return static_cast<int>(std::min(1000.0, std::floor(-10 * std::log10(p))));
}

// The module's motifs by name, joined by commas.
std::string motifList(const ScanModule& module, const std::vector<std::string>& names) {
    std::string list;
    for (int32_t motif : module.motifs) {
        if (!list.empty()) list += ',';
        list += names[static_cast<size_t>(motif)];
    }
    return list;
}

// The genes of `genes` that hold an instance of each module.
std::vector<int64_t> holders(const std::vector<ModuleInstance>& instances, size_t modules) {
    std::vector<int64_t> count(modules, 0);
    std::vector<size_t> lastGene(modules, SIZE_MAX);
    for (const ModuleInstance& instance : instances) {
        if (lastGene[instance.module] == instance.gene) continue;
        lastGene[instance.module] = instance.gene;
        ++count[instance.module];
    }
    return count;
}

// A line per module: its instances, per Mb of target, those at fdr <= 0.05, and with matched
// windows the genes holding one against the windows holding one (enrichment, Fisher p).
std::string summaryText(const std::vector<ScanModule>& modules,
                        const std::vector<std::string>& motifNames, const ScanResult& target,
                        const std::vector<ModuleInstance>& found, const std::vector<double>& fdr,
                        const std::vector<ModuleInstance>& matched, const ScanNull& null,
                        const std::string& commandLine) {
    std::ostringstream out;
    const bool background = !target.background.empty();
    const std::vector<int64_t> held = holders(found, modules.size());
    const std::vector<int64_t> heldThere = holders(matched, modules.size());
    std::vector<int64_t> instances(modules.size(), 0), passing(modules.size(), 0);
    for (size_t i = 0; i < found.size(); ++i) {
        ++instances[found[i].module];
        passing[found[i].module] += background && fdr[i] <= 0.05;
    }
    const auto genes = static_cast<int64_t>(target.genes.size());
    const auto windows = static_cast<int64_t>(target.background.size());
    out << "module\tmotifs\tinstances\tper_mb\tat_fdr_0.05\tgenes\tgenes_total\t"
           "background_genes\tbackground_total\tenrichment\tfisher_p\n";
    for (size_t m = 0; m < modules.size(); ++m) {
        out << modules[m].id << '\t' << motifList(modules[m], motifNames) << '\t' << instances[m]
            << '\t' << formatted("%.4g", static_cast<double>(instances[m]) * 1e6 / null.letters)
            << '\t' << (background ? std::to_string(passing[m]) : "") << '\t' << held[m] << '\t'
            << genes << '\t';
        if (background) {
            const int64_t a = held[m], b = heldThere[m];
            const double enrichment =
                b == 0 ? INFINITY
                       : (static_cast<double>(a) / static_cast<double>(genes)) /
                             (static_cast<double>(b) / static_cast<double>(windows));
            out << b << '\t' << windows << '\t' << formatted("%.4g", enrichment) << '\t'
                << formatted("%.6g", fisherUpperTail(a, genes, a + b, genes + windows));
        } else {
            out << "\t\t\t";
        }
        out << '\n';
    }
    out << "# program: rekul-scan " << REKUL_VERSION << "\n# command: " << commandLine << "\n"
        << "# p: the chance that the target holds an instance at least as tight anywhere, "
           "1 - exp(-E), E = L * P(t), P(t) = sum over motifs m of r_m * prod over the other "
           "motifs m' of (1 - exp(-r_m' (t + 1))), r the target's hits per letter, L its "
           "letters, t the instance's smallest start-to-start span holding every motif\n";
    if (background)
        out << "# fdr: at a threshold p*, the matched windows' instances at p <= p* times "
               "(target letters / window letters) over the target's instances at p <= p*, the "
               "smallest over thresholds at or above an instance's p, per module; held-out: "
               "target genes against matched windows holding an instance, one-sided Fisher p\n";
    return out.str();
}

}  // namespace

ModuleScanRun scanModulesOf(const std::vector<std::string>& commandWords) {
    std::vector<char*> given;
    for (const std::string& word : commandWords) given.push_back(const_cast<char*>(word.c_str()));
    ScanOptions options = scanOptions(static_cast<int>(given.size()), given.data());
    const bool quiet =
        std::find(options.rest.begin(), options.rest.end(), "--quiet") != options.rest.end();
    if (!options.stats.empty()) {
        const std::vector<std::string> taken =
            runSettings(options.stats, quiet ? Progress::silent() : Progress(&std::cerr, false));
        options.rest.insert(options.rest.begin() + 1, taken.begin(), taken.end());
    }
    std::vector<char*> words;
    for (const std::string& word : options.rest) words.push_back(const_cast<char*>(word.c_str()));
    words.push_back(nullptr);
    Args settings(static_cast<int>(options.rest.size()), words.data(), "rekul-scan");
    if (const std::optional<uint32_t> seed = runSeed(settings)) settings.seed = seed;
    // No output may land on an input: rekul's own, the report, the table.
    refuseClashingOutputs(settings);
    if (!options.summary.empty())
        refuseClashingOutput(options.summary, "--summary",
                             {{"the motif file", settings.motifFile},
                              {"the sequence file", settings.seqFile},
                              {"the genome", settings.genomeFile},
                              {"the genome's index", genomeIndexPath(settings.genomeFile, ".fai")},
                              {"the genome's index", genomeIndexPath(settings.genomeFile, ".gzi")},
                              {"the excluded regions", settings.excludeFile},
                              {"the background", settings.backgroundFile},
                              {"the background regions", settings.backgroundRegionsFile},
                              {"the report", options.modules},
                              {"the table", options.stats},
                              {"the file of --write-background", settings.writeBackgroundFile}});
    const Progress progress =
        settings.quiet ? Progress::silent()
                       : Progress(&std::cerr, isatty(STDERR_FILENO), settings.progressSummary);
    if (settings.shuffledCopies > 0 || settings.genomicRatio > 0 || settings.matching()) {
        progress.line("Random seed: " + std::to_string(*settings.seed));
        settings.seedShown = true;
    }
    const ScanResult target = scanHits(settings, progress);
    const std::vector<ScanModule> modules = reportModules(options, target.motifNames);
    const ScanNull null = targetNull(target.genes, target.motifNames.size());
    const std::vector<ModuleInstance> found =
        findModuleInstances(modules, target.genes, null, settings.windowSize);
    std::vector<ModuleInstance> matched;
    std::vector<double> fdr(found.size(), 1.0);
    const bool background = !target.background.empty();
    if (background) {
        matched = findModuleInstances(modules, target.background, null, settings.windowSize);
        double windowLetters = 0;
        for (const SeqHit& window : target.background) windowLetters += window.length;
        fdr = empiricalFdr(found, matched, null.letters, windowLetters);
    }
    // A chromosome's positions are its own; FASTA titles may place their sequences.
    const GeneCoordinates coordinates = settings.regionsFile.empty() && !options.wholeGenome
                                            ? GeneCoordinates(settings.seqFile)
                                            : GeneCoordinates();
    ModuleScanRun run;
    for (size_t i = 0; i < found.size(); ++i) {
        const ModuleInstance& instance = found[i];
        const SeqHit& gene = target.genes[instance.gene];
        const ScanModule& module = modules[instance.module];
        FoundInstance out;
        out.module = module.id;
        out.motifs = motifList(module, target.motifNames);
        out.gene = gene.name;
        int32_t end = 0;
        for (const MHit& hit : instance.hits) {
            end = std::max(end, hit.end);
            out.hits.push_back({coordinates.place(gene.name, hit.start, hit.end, hit.strand),
                                target.motifNames[static_cast<size_t>(hit.motif)]});
        }
        out.place = coordinates.place(gene.name, instance.hits.front().start, end,
                                      instance.hits.front().strand);
        out.pValue = instance.pValue;
        out.eValue = instance.eValue;
        if (background) out.fdr = fdr[i];
        run.instances.push_back(std::move(out));
    }
    run.summary = summaryText(modules, target.motifNames, target, found, fdr, matched, null,
                              commandLineOf(static_cast<int>(given.size()), given.data()));
    run.modules = modules.size();
    run.genes = target.genes.size();
    progress.line("Done: " + withThousands(static_cast<int64_t>(found.size())) + " instances of " +
                  withThousands(static_cast<int64_t>(modules.size())) + " modules on " +
                  withThousands(static_cast<int64_t>(target.genes.size())) + " genes");
    return run;
}

int scanMain(int argc, char** argv) {
    std::set_new_handler(outOfMemory);
    const std::vector<std::string> words(argv, argv + argc);
    bool hits = false;
    std::string summary;
    // The outputs' options, read here; scanModulesOf reads them too and leaves them be.
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--hits") hits = true;
        if (word == "--summary" && i + 1 < argc) summary = argv[i + 1];
        if (word.rfind("--summary=", 0) == 0) summary = word.substr(10);
    }
    std::optional<OutputFile> summaryFile;
    if (!summary.empty()) summaryFile.emplace(summary, "--summary");
    const ModuleScanRun run = scanModulesOf(words);
    std::vector<BedLine> lines;
    std::map<std::string, int64_t> numbered;
    for (const FoundInstance& instance : run.instances) {
        const std::string tail =
            "\t" + formatted("%.6g", instance.pValue) + "\t" + formatted("%.6g", instance.eValue) +
            "\t" + (instance.fdr ? formatted("%.6g", *instance.fdr) : std::string("."));
        const std::string score = std::to_string(bedScore(instance.pValue));
        if (!hits) {
            lines.push_back({instance.place, instance.module + ":" + instance.motifs + "\t" +
                                                 score + "\t" +
                                                 std::string(1, instance.place.strand) + tail});
            continue;
        }
        // Each hit, named by its module, the instance's number and its motif.
        const std::string number = std::to_string(++numbered[instance.module]);
        for (const PlacedHit& hit : instance.hits)
            lines.push_back({hit.place, instance.module + "." + number + ":" + hit.motif + "\t" +
                                            score + "\t" + std::string(1, hit.place.strand) +
                                            tail});
    }
    std::stable_sort(lines.begin(), lines.end(), [](const BedLine& a, const BedLine& b) {
        return a.place.seqid != b.place.seqid ? a.place.seqid < b.place.seqid
                                              : a.place.start < b.place.start;
    });
    for (const BedLine& line : lines)
        std::cout << line.place.seqid << '\t' << line.place.start << '\t' << line.place.end << '\t'
                  << line.rest << '\n';
    checkWritten(std::cout, "the instances");
    if (summaryFile) {
        summaryFile->stream() << run.summary;
        checkWritten(summaryFile->stream(), "--summary");
        summaryFile->commit();
    }
    return 0;
}
