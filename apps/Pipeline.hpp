// The run pipeline shared by both programs: settings, motif library, hit stage and
// discovery stage, each built from a fresh copy of the settings in this fixed order. The
// report goes to standard output; progress lines go to standard error unless --quiet.
// With a background (see hits/Backgrounds.hpp) the two hit stages are built together, and
// the statistics table is written once the report is complete.
#pragma once

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
#include "modules/ModuleStats.hpp"
#include "motif/MotifA.hpp"

// The run draws random numbers for a background sample (-m below 1 without
// --exact-cutoffs), a drawn background or permutations; all come from one seed, the time
// unless --seed.
inline std::optional<uint32_t> runSeed(const Args& settings) {
    const bool sample = settings.pValueCutoff() && !settings.exactCutoffs;
    const bool drawn = settings.shuffledCopies > 0 || settings.matching();
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
        {"the background", settings.backgroundFile}};
    if (!settings.statsFile.empty()) refuseClashingOutput(settings.statsFile, "--stats", inputs);
    if (settings.writeBackgroundFile.empty()) return;
    if (settings.writeBackgroundFile == settings.statsFile)
        die("Error: --write-background and --stats name the same file");
    std::vector<std::pair<std::string, std::string>> others = inputs;
    others.emplace_back("the statistics table", settings.statsFile);
    refuseClashingOutput(settings.writeBackgroundFile, "--write-background", others);
}

template <typename HitStage, typename DiscoveryStage>
int runPipeline(const char* program, int argc, char** argv) {
    std::set_new_handler(outOfMemory);
    Args settings(argc, argv, program);
    const Progress progress = settings.quiet ? Progress::silent() : Progress(&std::cerr);
    const std::optional<uint32_t> seed = runSeed(settings);
    if (seed) settings.seed = seed;  // the sample, the drawn background and the permutations
    refuseClashingOutputs(settings);
    // At once, so that a path that cannot be written fails before the work.
    std::optional<OutputFile> stats;
    if (!settings.statsFile.empty()) stats.emplace(settings.statsFile, "--stats");
    if (settings.shuffledCopies > 0 || settings.matching()) {
        progress.line("Random seed: " + std::to_string(*seed));
        settings.seedShown = true;
    }
    MotifA motifs(settings, progress);
    HitStages<HitStage> stages = buildHitStages<HitStage>(settings, motifs, progress);
    HitStage& hits = *stages.foreground;
    const HitStage* background = stages.background ? &*stages.background : nullptr;
    const ModuleOutput output = stats ? ModuleOutput::ReportAndRecords : ModuleOutput::Report;
    DiscoveryStage discovery(settings, hits, std::cout, progress, output);
    // Every write of the report is checked, the last ones by this flush.
    checkWritten(std::cout, "the report");
    // A quiet run that finds nothing still says so.
    if (settings.quiet && discovery.modulesFound() == 0) std::cerr << discovery.noModule << '\n';
    if (!stats) return 0;
    const bool sampleDrawn = settings.pValueCutoff() && !settings.exactCutoffs;
    if (settings.permutations > 0 && !sampleDrawn && !settings.seedShown)
        progress.line("Random seed: " + std::to_string(*seed));
    // Ctrl-C or SIGTERM during the permutations stops them; the table keeps those done.
    std::optional<InterruptScope> stoppable;
    if (settings.permutations > 0 && background) stoppable.emplace();
    const ModuleStatistics table(settings, discovery, hits, background, seed,
                                 {progress, &InterruptScope::requested()});
    table.write(stats->stream(), discovery.records, hits.motifNames,
                {settings.versionText(), settings.commandLine, seed, stages.notes});
    stats->commit();
    if (!table.interrupted) return 0;
    std::cerr << "Permutations: stopped after " << table.permutationMinima.size() << " of "
              << settings.permutations << "; the table holds those done\n";
    return 128 + InterruptScope::signalNumber();
}
