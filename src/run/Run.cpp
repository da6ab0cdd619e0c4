// The library's entry points (rekul.hpp): the stages of a run built in their fixed order,
// settings, motif library, hit stage (with its background) and discovery, for either
// program, and the programs' own bodies around them: the seed, the output files written
// whole or not at all, and the exit status.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>
#include <new>
#include <sstream>

#include "common/Interrupt.hpp"
#include "common/Text.hpp"
#include "hits/Backgrounds.hpp"
#include "hits/Genome.hpp"
#include "hits/HitA.hpp"
#include "hits/HitAO.hpp"
#include "hits/SeqReader.hpp"
#include "hits/Sites.hpp"
#include "modules/Grammar.hpp"
#include "modules/PermutationShard.hpp"
#include "modules/Strata.hpp"
#include "modules/Tree.hpp"
#include "rekul.hpp"

namespace {

const char* nameOf(Program program) {
    return program == Program::Rekul ? "rekul" : "rekulo";
}

// The label of each motif id: that of the first matrix of its name.
std::vector<std::string> motifLabels(const MotifA& motifs) {
    const MotifNames table = motifs.nameTable();
    std::vector<std::string> labels(table.names.size());
    std::vector<char> set(table.names.size(), 0);
    for (size_t m = 0; m < motifs.motifs.size(); ++m) {
        const auto id = static_cast<size_t>(table.idOfMotif[m]);
        if (!set[id]) labels[id] = motifs.motifs[m].label;
        set[id] = 1;
    }
    return labels;
}

// With --permutation-shard, the shard file in place of the table: the table of this slice's
// permutations with what the merge of all the slices needs.
void writeShard(const Args& settings, const ModuleStatistics& table,
                const std::vector<ModuleRecord>& records, const std::vector<std::string>& names,
                const StatsNotes& notes, std::ostream& out) {
    const PermutationSlice slice = PermutationSlice::of(settings);
    PermutationShard shard;
    shard.index = settings.shardIndex;
    shard.count = settings.shardCount;
    shard.first = slice.first;
    shard.size = slice.count;
    shard.requested = slice.total;
    shard.done = static_cast<int32_t>(table.permutationMinima.size());
    shard.method = settings.permutationMethod == PermutationMethod::Pool ? "pool" : "search";
    for (const ModuleStatsRow& row : table.rows) shard.observed.push_back(row.pValue);
    shard.minima = table.permutationMinima;
    shard.permuted = table.permutedPValues;
    std::ostringstream text;
    table.write(text, records, names, notes);
    shard.table = text.str();
    writePermutationShard(out, shard);
}

// The statistics of the discovered modules, written to the tables and kept in `found`.
template <typename HitStage, typename DiscoveryStage>
void runStatistics(const Args& settings, const DiscoverOutputs& outputs, Progress progress,
                   const DiscoveryStage& discovery, const HitStages<HitStage>& stages,
                   Discovered& found) {
    const HitStage& hits = *stages.foreground;
    const HitStage* background = stages.background ? &*stages.background : nullptr;
    const std::optional<uint32_t> seed = settings.seed;
    const bool sampleDrawn = settings.pValueCutoff() && !settings.exactCutoffs;
    if (settings.permutations > 0 && !sampleDrawn && !settings.seedShown)
        progress.line("Random seed: " + std::to_string(*seed));
    // Ctrl-C or SIGTERM during the permutations stops them; the table keeps those done.
    std::optional<InterruptScope> stoppable;
    if (settings.permutations > 0 && background && outputs.catchSignals) stoppable.emplace();
    const ModuleStatistics table(settings, discovery, hits, background, seed,
                                 {progress, &InterruptScope::requested()});
    const StatsNotes notes{settings.versionText(), settings.commandLine, seed, stages.notes};
    if (settings.shardCount > 0)
        writeShard(settings, table, discovery.records, hits.motifNames, notes, *outputs.stats);
    else
        table.write(*outputs.stats, discovery.records, hits.motifNames, notes);
    if (outputs.motifStats) {
        // The same label draws as the modules' permutations, as many as were done.
        const MotifStatistics baseline(hits, *background,
                                       static_cast<int32_t>(table.permutationMinima.size()), seed,
                                       table.strata ? &*table.strata : nullptr);
        baseline.write(*outputs.motifStats, hits.motifNames, found.motifLabels, notes);
        found.motifRows = baseline.rows;
    }
    found.interrupted = table.interrupted;
    found.permutationsDone = table.permutationMinima.size();
    found.rows = table.rows;
    found.genesTotal = table.genesTotal;
    found.backgroundTotal = table.backgroundTotal;
}

// The grammar of the reported modules, from their instances in memory: rows and table.
void findGrammar(const Args& settings, Progress progress, const HitStage& hits, Discovered& found) {
    const bool sampleDrawn = settings.pValueCutoff() && !settings.exactCutoffs;
    if (!sampleDrawn && !settings.seedShown && settings.permutations == 0)
        progress.line("Random seed: " + std::to_string(*settings.seed));
    const GrammarSettings grammar{settings.grammarBin, settings.grammarPermutations,
                                  *settings.seed};
    const SiteContexts contexts{&hits.seqHits, &hits.siteContexts};
    const bool known = hits.siteContexts.size() == hits.seqHits.size();
    found.grammar =
        moduleGrammar(found.modules, found.motifNames, grammar, known ? &contexts : nullptr);
    std::ostringstream text;
    writeGrammar(text, found.grammar, found.modules, found.motifNames, grammar,
                 {settings.versionText(), settings.commandLine, settings.seed, {}});
    found.grammarText = text.str();
}

// The settings of discovery: -g from --min-gene-share once the genes are counted.
Args discoverySettings(const Args& given, size_t genes, Progress progress) {
    if (given.minGeneShare == 0) return given;
    Args settings = given;
    settings.geneNumber = geneNumberOfShare(given.minGeneShare, genes);
    progress.line("Read: --min-gene-share " + tostring(given.minGeneShare) + " of " +
                  withThousands(static_cast<int64_t>(genes)) + " genes: -g " +
                  std::to_string(settings.geneNumber));
    return settings;
}

template <typename HitStage, typename DiscoveryStage>
Discovered runStages(const Args& given, const DiscoverOutputs& outputs, Progress progress) {
    MotifA motifs = given.sitesFile.empty() ? MotifA(given, progress) : siteMotifs(given, progress);
    HitStages<HitStage> stages = buildHitStages<HitStage>(given, motifs, progress);
    HitStage& hits = *stages.foreground;
    const Args settings = discoverySettings(given, hits.seqHits.size(), progress);
    // Sets without a shared stratum are refused before the search, not after the report.
    if (settings.stratifying() && stages.background)
        stratify(hits.shapes, stages.background->shapes, settings.stratifyLength,
                 settings.stratifyGc, settings.lengthStrata);
    const ModuleOutput output = outputs.keepInstances ? ModuleOutput::ReportAndInstances
                                : outputs.stats       ? ModuleOutput::ReportAndRecords
                                                      : ModuleOutput::Report;
    DiscoveryStage discovery(settings, hits, outputs.report, progress, output);
    Discovered found;
    found.modulesFound = discovery.modulesFound();
    found.noModule = discovery.noModule;
    found.motifNames = hits.motifNames;
    found.motifLabels = motifLabels(motifs);
    for (const SeqHit& gene : hits.seqHits) found.geneNames.push_back(gene.name);
    // Every write of the report is checked, the last ones by this flush.
    checkWritten(outputs.report, "the report");
    if (outputs.stats) runStatistics(settings, outputs, progress, discovery, stages, found);
    found.modules = std::move(discovery.records);
    if (!settings.grammarFile.empty() || settings.grammarInMemory)
        findGrammar(settings, progress, hits, found);
    return found;
}

// A program's run: settings from the command line, outputs opened before the work, the
// report on standard output, and the tables renamed into place when complete.
template <typename HitStage, typename DiscoveryStage>
int runProgram(const char* program, int argc, char** argv) {
    std::set_new_handler(outOfMemory);
    Args settings(argc, argv, program);
    const Progress progress =
        settings.quiet ? Progress::silent()
                       : Progress(&std::cerr, isatty(STDERR_FILENO), settings.progressSummary);
    const std::optional<uint32_t> seed = runSeed(settings);
    if (seed) settings.seed = seed;  // the sample, the drawn background and the permutations
    refuseClashingOutputs(settings);
    // At once, so that a path that cannot be written fails before the work.
    std::optional<OutputFile> stats, motifStats;
    if (!settings.statsFile.empty()) stats.emplace(settings.statsFile, "--stats");
    if (!settings.motifStatsFile.empty())
        motifStats.emplace(settings.motifStatsFile, "--motif-stats");
    std::optional<OutputFile> grammar;
    if (!settings.grammarFile.empty()) grammar.emplace(settings.grammarFile, "--grammar");
    if (settings.shuffledCopies > 0 || settings.matching() || settings.genomicRatio > 0) {
        progress.line("Random seed: " + std::to_string(*seed));
        settings.seedShown = true;
    }
    const Discovered found = runStages<HitStage, DiscoveryStage>(
        settings,
        {std::cout, stats ? &stats->stream() : nullptr,
         motifStats ? &motifStats->stream() : nullptr, grammar.has_value(), true},
        progress);
    if (grammar) {
        grammar->stream() << found.grammarText;
        checkWritten(grammar->stream(), "--grammar");
        grammar->commit();
    }
    // A quiet run that finds nothing still says so.
    if (settings.quiet && found.modulesFound == 0) std::cerr << found.noModule << '\n';
    if (motifStats) motifStats->commit();
    if (!stats) return 0;
    stats->commit();
    if (!found.interrupted) return 0;
    std::cerr << "Permutations: stopped after " << found.permutationsDone << " of "
              << PermutationSlice::of(settings).count << "; the table holds those done\n";
    return 128 + InterruptScope::signalNumber();
}

}  // namespace

Args settingsOf(Program program, const std::vector<std::pair<std::string, std::string>>& options,
                const std::vector<std::string>& files, bool grammarInMemory) {
    Args settings;
    settings.program = nameOf(program);
    settings.tableInMemory = true;
    settings.grammarInMemory = grammarInMemory;
    std::vector<std::string> words{settings.program};
    for (const auto& [name, value] : options) {
        settings.apply(name, value);
        std::string flag(name.size() == 1 ? 1 : 2, '-');
        flag.append(name);
        words.push_back(std::move(flag));
        if (!value.empty() || Args::takesValue(name)) words.push_back(value);
    }
    words.insert(words.end(), files.begin(), files.end());
    for (const std::string& word : words) {
        if (!settings.commandLine.empty()) settings.commandLine += ' ';
        settings.commandLine += shellWord(word);
    }
    settings.finish(files);
    if (const std::optional<uint32_t> seed = runSeed(settings)) settings.seed = seed;
    return settings;
}

std::optional<uint32_t> runSeed(const Args& settings) {
    const bool sample = settings.pValueCutoff() && !settings.exactCutoffs;
    const bool drawn =
        settings.shuffledCopies > 0 || settings.matching() || settings.genomicRatio > 0;
    if (!sample && !drawn && settings.permutations == 0 && settings.grammarFile.empty() &&
        !settings.grammarInMemory)
        return std::nullopt;
    return settings.seed ? *settings.seed : static_cast<uint32_t>(std::time(nullptr));
}

void refuseClashingOutputs(const Args& settings) {
    const std::vector<std::pair<std::string, std::string>> inputs{
        {"the motif file", settings.motifFile},
        {"the sequence file", settings.seqFile},
        {"the background", settings.backgroundFile},
        {"the genome", settings.genomeFile},
        {"the genome's index", genomeIndexPath(settings.genomeFile, ".fai")},
        {"the genome's index", genomeIndexPath(settings.genomeFile, ".gzi")},
        {"the background regions", settings.backgroundRegionsFile},
        {"the excluded regions", settings.excludeFile},
        {"the sites", settings.sitesFile},
        {"the background's sites", settings.backgroundSitesFile}};
    const std::vector<std::pair<std::string, std::string>> outputs{
        {"--stats", settings.statsFile},
        {"--write-background", settings.writeBackgroundFile},
        {"--motif-stats", settings.motifStatsFile},
        {"--grammar", settings.grammarFile}};
    for (size_t i = 0; i < outputs.size(); ++i) {
        const auto& [option, path] = outputs[i];
        if (path.empty()) continue;
        std::vector<std::pair<std::string, std::string>> others = inputs;
        for (size_t j = 0; j < outputs.size(); ++j) {
            if (j == i || outputs[j].second.empty()) continue;
            if (outputs[j].second == path)
                dieUsage("Error: " + option + " and " + outputs[j].first + " name the same file");
            others.emplace_back("the file of " + outputs[j].first, outputs[j].second);
        }
        refuseClashingOutput(path, option, others);
    }
}

MotifA readMotifs(const Args& settings, Progress progress) {
    return MotifA(settings, progress);
}

std::vector<std::pair<std::string, std::string>> readSequences(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    SeqEntries reader(path, "rekul");
    std::string name, line;
    while (reader.nextEntry(name)) {
        out.emplace_back(name, "");
        while (reader.nextLine(line)) out.back().second += line;
    }
    return out;
}

ScanResult scanHits(const Args& settings, Progress progress) {
    // The stages of a run, so that regions, sites and a background are read as a run reads
    // them (the cutoffs of foreground and background together).
    MotifA library =
        settings.sitesFile.empty() ? MotifA(settings, progress) : siteMotifs(settings, progress);
    HitStages<HitA> stages = buildHitStages<HitA>(settings, library, progress);
    ScanResult result{
        std::move(stages.foreground->motifNames), std::move(stages.foreground->seqHits), {}};
    if (stages.background) result.background = std::move(stages.background->seqHits);
    return result;
}

Discovered discover(Program program, const Args& settings, const DiscoverOutputs& outputs,
                    Progress progress) {
    return program == Program::Rekul ? runStages<HitA, Tree>(settings, outputs, progress)
                                     : runStages<HitAO, TreeO>(settings, outputs, progress);
}

int rekulMain(int argc, char** argv) {
    return runProgram<HitA, Tree>("rekul", argc, argv);
}

int rekuloMain(int argc, char** argv) {
    return runProgram<HitAO, TreeO>("rekulo", argc, argv);
}
