// Module instances on a target and their p-values (see ModuleScan.hpp).
#include "modules/ModuleScan.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "modules/WindowScan.hpp"

std::vector<double> hitRates(const std::vector<SeqHit>& genes, size_t motifCount) {
    std::vector<double> hits(motifCount, 0);
    double letters = 0;
    for (const SeqHit& gene : genes) {
        letters += gene.length;
        for (const MHit& hit : gene.hits) ++hits[static_cast<size_t>(hit.motif)];
    }
    for (double& rate : hits) rate = letters > 0 ? rate / letters : 0;
    return hits;
}

double startProbability(const std::vector<int32_t>& motifs, const std::vector<double>& rates,
                        int64_t tightness) {
    const double positions = static_cast<double>(tightness) + 1;
    double sum = 0;
    for (size_t i = 0; i < motifs.size(); ++i) {
        double product = rates[static_cast<size_t>(motifs[i])];
        for (size_t j = 0; j < motifs.size() && product > 0; ++j)
            if (j != i) product *= -std::expm1(-rates[static_cast<size_t>(motifs[j])] * positions);
        sum += product;
    }
    return sum;
}

namespace {

// The smallest distance between the starts of the first and the last hit of a run of
// consecutive hits holding every motif of the module (the hits ascend by start).
int64_t tightestSpan(const std::vector<MHit>& hits, const std::vector<int32_t>& motifs) {
    std::vector<int32_t> held(motifs.size(), 0);
    auto slot = [&](const MHit& hit) {
        return static_cast<size_t>(std::find(motifs.begin(), motifs.end(), hit.motif) -
                                   motifs.begin());
    };
    size_t missing = motifs.size();
    int64_t best = INT64_MAX;
    for (size_t first = 0, last = 0; last < hits.size(); ++last) {
        if (held[slot(hits[last])]++ == 0) --missing;
        for (; missing == 0; ++first) {
            best = std::min<int64_t>(best, hits[last].start - hits[first].start);
            if (--held[slot(hits[first])] == 0) ++missing;
        }
    }
    return best;
}

}  // namespace

std::vector<ModuleInstance> findModuleInstances(const std::vector<ScanModule>& modules,
                                                const std::vector<SeqHit>& genes, size_t motifCount,
                                                int32_t windowSize) {
    const std::vector<double> rates = hitRates(genes, motifCount);
    double letters = 0;
    for (const SeqHit& gene : genes) letters += gene.length;
    std::vector<ModuleInstance> found;
    ModuleSlots slots(motifCount);
    WindowScan scan;
    for (size_t m = 0; m < modules.size(); ++m) {
        slots.assign(modules[m].motifs);
        for (size_t g = 0; g < genes.size(); ++g) {
            scan.run(genes[g].hits, slots, windowSize, false);
            for (const auto& [first, last] : scan.instances) {
                ModuleInstance instance;
                instance.module = m;
                instance.gene = g;
                for (size_t h = first; h <= last; ++h) instance.hits.push_back(*scan.filtered[h]);
                instance.tightness = tightestSpan(instance.hits, modules[m].motifs);
                instance.eValue =
                    letters * startProbability(modules[m].motifs, rates, instance.tightness);
                instance.pValue = -std::expm1(-instance.eValue);
                found.push_back(std::move(instance));
            }
        }
    }
    return found;
}
