// The whole pipeline of both programs on a small input: the motif library, the hit stage,
// discovery and the report, which the report reader of rekul-report must then read back
// whole. The first two bytes choose the options; the rest holds the motif file, a NUL byte,
// and the sequence file. A refusal of the input is expected; a report that the reader
// refuses is a finding.
#include <cstdlib>
#include <sstream>

#include "FuzzInput.hpp"
#include "hits/HitA.hpp"
#include "hits/HitAO.hpp"
#include "modules/Tree.hpp"
#include "report/ReportReader.hpp"

namespace {

// -w, -k and -o from the option bytes.
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
    return settings;
}

template <typename HitStage, typename DiscoveryStage>
std::string report(const Args& settings) {
    MotifA motifs(settings, Progress::silent());
    HitStage hits(settings, motifs, Progress::silent());
    std::ostringstream out;
    DiscoveryStage discovery(settings, hits, out, Progress::silent());
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const size_t split = text.find('\0');
    if (split == std::string::npos) return 0;
    const std::string motifText = text.substr(0, split), seqText = text.substr(split + 1);
    MemoryFile motifFile(reinterpret_cast<const uint8_t*>(motifText.data()), motifText.size());
    MemoryFile seqFile(reinterpret_cast<const uint8_t*>(seqText.data()), seqText.size());
    Args settings = settingsOf(data[0], data[1]);
    settings.motifFile = motifFile.path();
    settings.seqFile = seqFile.path();
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
