// The motif catalog: the run's motif file read with the library's reader, labels by name, and
// the information content of each position for the logos.
#include "report/MotifCatalog.hpp"

#include <cmath>

#include "motif/MotifA.hpp"

std::array<double, 4> logoColumn(const float freq[4]) {
    double information = 2;
    for (int b = 0; b < 4; ++b)
        if (freq[b] > 0) information += freq[b] * std::log2(static_cast<double>(freq[b]));
    std::array<double, 4> heights{};
    for (int b = 0; b < 4; ++b) heights[b] = freq[b] * information;
    return heights;
}

MotifCatalog::MotifCatalog(const std::string& path) {
    Args settings;
    settings.motifFile = path;
    settings.program = "rekul-report";
    const MotifA library(settings, Progress::silent());
    for (const Motif& motif : library.motifs) {
        MotifDetails details;
        for (int32_t i = 0; i < motif.length; ++i)
            details.logo.push_back(logoColumn(&motif.freq[4 * static_cast<size_t>(i)]));
        details.label = motif.label;
        byName_.emplace(motif.name, details);
        details.label = motif.name;
        byLabel_.emplace(motif.label, std::move(details));
    }
}

const MotifDetails* MotifCatalog::find(const std::string& name) const {
    auto named = byName_.find(name);
    if (named != byName_.end()) return &named->second;
    auto labelled = byLabel_.find(name);
    return labelled != byLabel_.end() ? &labelled->second : nullptr;
}
