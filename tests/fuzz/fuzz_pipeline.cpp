// The whole pipeline of both programs on a small input: the motif library, the hit stages
// (with a background: a file, or shuffled copies), discovery, the report, which the report
// reader of rekul-report must then read back whole, and the statistics table with two
// permutations. The first two bytes choose the options; the rest holds the motif file, a
// NUL byte, the sequence file and, after another NUL byte, the background. A refusal of the
// input is expected; a report that the reader refuses is a finding.
#include <cstdlib>
#include <sstream>

#include "FuzzInput.hpp"
#include "hits/Backgrounds.hpp"
#include "hits/HitA.hpp"
#include "hits/HitAO.hpp"
#include "modules/ModuleStats.hpp"
#include "modules/Tree.hpp"
#include "report/ReportReader.hpp"

namespace {

// -w, -k, -o, --unique, --permutations and a shuffled background from the option bytes.
Args settingsOf(uint8_t first, uint8_t second) {
    Args settings;
    settings.maskLowercase = first & 2;
    settings.useTfName = first & 4;
    settings.minMotifNumber = (first >> 3) & 3;
    settings.windowSize = 10 + 20 * ((first >> 5) & 7);
    settings.geneNumber = 1 + (second & 3);
    settings.overlapDistance = (second >> 2) & 7;
    settings.scoreThreshold = 1;
    settings.threads = 1;
    settings.uniqueSequences = second & 0x40;
    settings.permutations = second & 0x80 ? 2 : 0;
    settings.shuffledCopies = !(first & 1) && (second & 0x20) ? 1 : 0;
    settings.shuffleK = 1 + (second >> 5 & 1) * 2;
    settings.matchRatio = 10;
    settings.seed = 1;
    return settings;
}

template <typename HitStage, typename DiscoveryStage>
std::string report(const Args& settings) {
    MotifA motifs(settings, Progress::silent());
    HitStages<HitStage> stages = buildHitStages<HitStage>(settings, motifs, Progress::silent());
    std::ostringstream out;
    const bool stats = stages.background.has_value();
    DiscoveryStage discovery(settings, *stages.foreground, out, Progress::silent(),
                             stats ? ModuleOutput::ReportAndRecords : ModuleOutput::Report);
    if (stats) {
        const ModuleStatistics table(settings, discovery, *stages.foreground, &*stages.background,
                                     settings.seed);
        std::ostringstream rows;
        table.write(rows, discovery.records, stages.foreground->motifNames,
                    {"fuzz", "", settings.seed, stages.notes});
    }
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const size_t split = text.find('\0');
    if (split == std::string::npos) return 0;
    const size_t second = text.find('\0', split + 1);
    const std::string motifText = text.substr(0, split);
    const std::string seqText = text.substr(split + 1, second - split - 1);
    const std::string backgroundText = second == std::string::npos ? "" : text.substr(second + 1);
    MemoryFile motifFile(reinterpret_cast<const uint8_t*>(motifText.data()), motifText.size());
    MemoryFile seqFile(reinterpret_cast<const uint8_t*>(seqText.data()), seqText.size());
    MemoryFile backgroundFile(reinterpret_cast<const uint8_t*>(backgroundText.data()),
                              backgroundText.size());
    Args settings = settingsOf(data[0], data[1]);
    settings.motifFile = motifFile.path();
    settings.seqFile = seqFile.path();
    if (second != std::string::npos) {
        settings.backgroundFile = backgroundFile.path();
        settings.shuffledCopies = 0;
    }
    if (!settings.hasBackground()) settings.permutations = 0;
    std::string written;
    refusalsAllowed([&] {
        written = data[0] & 1 ? report<HitAO, TreeO>(settings) : report<HitA, Tree>(settings);
    });
    if (written.empty()) return 0;
    MemoryFile reportFile(reinterpret_cast<const uint8_t*>(written.data()), written.size());
    // The programs' own report must always read back.
    try {
        ReportReader reader(reportFile.path());
        for (ReportModule module; reader.next(module);) {
        }
    } catch (const RunEnd& refusal) {
        std::fprintf(stderr, "the report reader refused the report: %s\n", refusal.what());
        std::abort();
    }
    return 0;
}
