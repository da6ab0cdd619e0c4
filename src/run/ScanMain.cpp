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
#include <new>
#include <string>
#include <vector>

#include "common/Text.hpp"
#include "modules/ModuleScan.hpp"
#include "rekul.hpp"
#include "report/Coordinates.hpp"
#include "report/ReportReader.hpp"

namespace {

// What rekul-scan takes beside rekul's scan options.
struct ScanOptions {
    std::string modules;  // --modules: the report whose modules are looked for
    std::string module;   // --module: only this one (M3)
    std::vector<std::string> rest;
};

const char* const kScanUsage =
    "Usage: rekul-scan --modules REPORT [--module M] [rekul's scan options] motifFile "
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
        if (value("modules", options.modules) || value("module", options.module)) continue;
        options.rest.push_back(word);
    }
    if (options.modules.empty())
        dieUsage(std::string("Error: rekul-scan needs --modules REPORT\n") + kScanUsage);
    return options;
}

// The report's modules (or the one of --module), their motifs as ids of the target's scan.
std::vector<ScanModule> reportModules(const ScanOptions& options,
                                      const std::vector<std::string>& motifNames) {
    std::vector<ScanModule> modules;
    ReportReader reader(options.modules);
    for (ReportModule module; reader.next(module);) {
        if (!options.module.empty() && module.id() != options.module) continue;
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

struct BedLine {
    Placement place;
    std::string rest;  // from the name on
};

// min(1000, 100 * -log10 p), BED's score of 0 to 1000.
int bedScore(double p) {
    if (!(p > 0)) return 1000;
    return static_cast<int>(std::min(1000.0, std::floor(-100 * std::log10(p))));
}

}  // namespace

int scanMain(int argc, char** argv) {
    std::set_new_handler(outOfMemory);
    const ScanOptions options = scanOptions(argc, argv);
    std::vector<char*> words;
    for (const std::string& word : options.rest) words.push_back(const_cast<char*>(word.c_str()));
    words.push_back(nullptr);
    Args settings(static_cast<int>(options.rest.size()), words.data(), "rekul-scan");
    if (const std::optional<uint32_t> seed = runSeed(settings)) settings.seed = seed;
    const Progress progress =
        settings.quiet ? Progress::silent()
                       : Progress(&std::cerr, isatty(STDERR_FILENO), settings.progressSummary);
    const ScanResult target = scanHits(settings, progress);
    const std::vector<ScanModule> modules = reportModules(options, target.motifNames);
    const std::vector<ModuleInstance> found =
        findModuleInstances(modules, target.genes, target.motifNames.size(), settings.windowSize);
    const GeneCoordinates coordinates =
        settings.regionsFile.empty() ? GeneCoordinates(settings.seqFile) : GeneCoordinates();
    std::vector<BedLine> lines;
    for (const ModuleInstance& instance : found) {
        const SeqHit& gene = target.genes[instance.gene];
        const ScanModule& module = modules[instance.module];
        std::string motifs;
        for (int32_t motif : module.motifs)
            motifs += (motifs.empty() ? "" : ",") + target.motifNames[static_cast<size_t>(motif)];
        int32_t end = 0;
        for (const MHit& hit : instance.hits) end = std::max(end, hit.end);
        BedLine line{coordinates.place(gene.name, instance.hits.front().start, end,
                                       instance.hits.front().strand),
                     ""};
        line.rest = module.id + ":" + motifs + "\t" + std::to_string(bedScore(instance.pValue)) +
                    "\t" + std::string(1, line.place.strand) + "\t" +
                    formatted("%.6g", instance.pValue) + "\t" + formatted("%.6g", instance.eValue) +
                    "\t.";
        lines.push_back(std::move(line));
    }
    std::stable_sort(lines.begin(), lines.end(), [](const BedLine& a, const BedLine& b) {
        return a.place.seqid != b.place.seqid ? a.place.seqid < b.place.seqid
                                              : a.place.start < b.place.start;
    });
    for (const BedLine& line : lines)
        std::cout << line.place.seqid << '\t' << line.place.start << '\t' << line.place.end << '\t'
                  << line.rest << '\n';
    checkWritten(std::cout, "the instances");
    progress.line("Done: " + withThousands(static_cast<int64_t>(found.size())) + " instances of " +
                  withThousands(static_cast<int64_t>(modules.size())) + " modules on " +
                  withThousands(static_cast<int64_t>(target.genes.size())) + " genes");
    return 0;
}
