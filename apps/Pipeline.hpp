// The run pipeline shared by both programs: settings, motif library, hit stage and
// discovery stage, each built from a fresh copy of the settings in this fixed order. The
// report goes to standard output; progress lines go to standard error unless --quiet.
// With a background (see hits/Backgrounds.hpp) the two hit stages are built together, and
// the statistics table is written once the report is complete.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>

#include "common/Args.hpp"
#include "common/Interrupt.hpp"
#include "common/OutputFile.hpp"
#include "common/Progress.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "hits/Backgrounds.hpp"
#include "hits/Genome.hpp"
#include "modules/ModuleStats.hpp"
#include "modules/MotifStats.hpp"
#include "motif/MotifA.hpp"

// The run draws random numbers for a background sample (-m below 1 without
// --exact-cutoffs), a drawn background or permutations; all come from one seed, the time
// unless --seed.
inline std::optional<uint32_t> runSeed(const Args& settings) {
    const bool sample = settings.pValueCutoff() && !settings.exactCutoffs;
    const bool drawn =
        settings.shuffledCopies > 0 || settings.matching() || settings.genomicRatio > 0;
    if (!sample && !drawn && settings.permutations == 0) return std::nullopt;
    return settings.seed ? *settings.seed : static_cast<uint32_t>(std::time(nullptr));
}

inline void checkWritten(std::ostream& out, const std::string& what) {
    errno = 0;
    if (!out.flush())
        die("Error: cannot write " + what + ": " + std::strerror(errno ? errno : EIO));
}

// The output files may be none of the inputs, not each other, and not standard output.
inline void refuseClashingOutputs(const Args& settings) {
    const std::vector<std::pair<std::string, std::string>> inputs{
        {"the motif file", settings.motifFile},
        {"the sequence file", settings.seqFile},
        {"the background", settings.backgroundFile},
        {"the genome", settings.genomeFile},
        {"the genome's index", genomeIndexPath(settings.genomeFile, ".fai")},
        {"the genome's index", genomeIndexPath(settings.genomeFile, ".gzi")},
        {"the background regions", settings.backgroundRegionsFile},
        {"the excluded regions", settings.excludeFile}};
    const std::vector<std::pair<std::string, std::string>> outputs{
        {"--stats", settings.statsFile},
        {"--write-background", settings.writeBackgroundFile},
        {"--motif-stats", settings.motifStatsFile}};
    for (size_t i = 0; i < outputs.size(); ++i) {
        const auto& [option, path] = outputs[i];
        if (path.empty()) continue;
        std::vector<std::pair<std::string, std::string>> others = inputs;
        for (size_t j = 0; j < outputs.size(); ++j) {
            if (j == i || outputs[j].second.empty()) continue;
            if (outputs[j].second == path)
                die("Error: " + option + " and " + outputs[j].first + " name the same file");
            others.emplace_back("the file of " + outputs[j].first, outputs[j].second);
        }
        refuseClashingOutput(path, option, others);
    }
}

// The label of each motif id: that of the first matrix of its name.
inline std::vector<std::string> motifLabels(const MotifA& motifs) {
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

// What a run of the stages tells its caller.
struct RunOutcome {
    int64_t modulesFound = 0;
    std::string noModule;      // the line that says why no module was found
    bool interrupted = false;  // a stop request ended the permutations early
    size_t permutationsDone = 0;
};

// The stages of one run: motifs, hits (with the background), discovery writing the report to
// `report`, and with `stats` the statistics table (and `motifStats`, the single-motif table).
// `settings.seed` must hold the run's seed where it draws. Shared by the programs and the
// Python module.
// `catchSignals`: SIGINT and SIGTERM stop the permutations (a caller that watches signals
// itself raises InterruptScope's flag instead).
template <typename HitStage, typename DiscoveryStage>
RunOutcome runStages(const Args& settings, Progress progress, std::ostream& report,
                     std::ostream* stats, std::ostream* motifStats, bool catchSignals = true) {
    const std::optional<uint32_t> seed = settings.seed;
    MotifA motifs(settings, progress);
    HitStages<HitStage> stages = buildHitStages<HitStage>(settings, motifs, progress);
    HitStage& hits = *stages.foreground;
    const HitStage* background = stages.background ? &*stages.background : nullptr;
    const ModuleOutput output = stats ? ModuleOutput::ReportAndRecords : ModuleOutput::Report;
    DiscoveryStage discovery(settings, hits, report, progress, output);
    RunOutcome outcome{discovery.modulesFound(), discovery.noModule};
    // Every write of the report is checked, the last ones by this flush.
    checkWritten(report, "the report");
    if (!stats) return outcome;
    const bool sampleDrawn = settings.pValueCutoff() && !settings.exactCutoffs;
    if (settings.permutations > 0 && !sampleDrawn && !settings.seedShown)
        progress.line("Random seed: " + std::to_string(*seed));
    // Ctrl-C or SIGTERM during the permutations stops them; the table keeps those done.
    std::optional<InterruptScope> stoppable;
    if (settings.permutations > 0 && background && catchSignals) stoppable.emplace();
    const ModuleStatistics table(settings, discovery, hits, background, seed,
                                 {progress, &InterruptScope::requested()});
    const StatsNotes notes{settings.versionText(), settings.commandLine, seed, stages.notes};
    table.write(*stats, discovery.records, hits.motifNames, notes);
    if (motifStats) {
        // The same label draws as the modules' permutations, as many as were done.
        const MotifStatistics baseline(hits, *background,
                                       static_cast<int32_t>(table.permutationMinima.size()), seed);
        baseline.write(*motifStats, hits.motifNames, motifLabels(motifs), notes);
    }
    outcome.interrupted = table.interrupted;
    outcome.permutationsDone = table.permutationMinima.size();
    return outcome;
}

template <typename HitStage, typename DiscoveryStage>
int runPipeline(const char* program, int argc, char** argv) {
    std::set_new_handler(outOfMemory);
    Args settings(argc, argv, program);
    const Progress progress =
        settings.quiet ? Progress::silent() : Progress(&std::cerr, isatty(STDERR_FILENO));
    const std::optional<uint32_t> seed = runSeed(settings);
    if (seed) settings.seed = seed;  // the sample, the drawn background and the permutations
    refuseClashingOutputs(settings);
    // At once, so that a path that cannot be written fails before the work.
    std::optional<OutputFile> stats, motifStats;
    if (!settings.statsFile.empty()) stats.emplace(settings.statsFile, "--stats");
    if (!settings.motifStatsFile.empty())
        motifStats.emplace(settings.motifStatsFile, "--motif-stats");
    if (settings.shuffledCopies > 0 || settings.matching() || settings.genomicRatio > 0) {
        progress.line("Random seed: " + std::to_string(*seed));
        settings.seedShown = true;
    }
    const RunOutcome outcome = runStages<HitStage, DiscoveryStage>(
        settings, progress, std::cout, stats ? &stats->stream() : nullptr,
        motifStats ? &motifStats->stream() : nullptr);
    // A quiet run that finds nothing still says so.
    if (settings.quiet && outcome.modulesFound == 0) std::cerr << outcome.noModule << '\n';
    if (motifStats) motifStats->commit();
    if (!stats) return 0;
    stats->commit();
    if (!outcome.interrupted) return 0;
    std::cerr << "Permutations: stopped after " << outcome.permutationsDone << " of "
              << settings.permutations << "; the table holds those done\n";
    return 128 + InterruptScope::signalNumber();
}
