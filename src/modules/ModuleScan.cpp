// Module instances on a target and their p-values (see ModuleScan.hpp).
#include "modules/ModuleScan.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "modules/WindowScan.hpp"

ScanNull targetNull(const std::vector<SeqHit>& genes, size_t motifCount) {
    ScanNull null;
    null.rates.assign(motifCount, 0);
    for (const SeqHit& gene : genes) {
        null.letters += gene.length;
        for (const MHit& hit : gene.hits) ++null.rates[static_cast<size_t>(hit.motif)];
    }
    for (double& rate : null.rates) rate = null.letters > 0 ? rate / null.letters : 0;
    return null;
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
                                                const std::vector<SeqHit>& genes,
                                                const ScanNull& null, int32_t windowSize) {
    const std::vector<double>& rates = null.rates;
    const double letters = null.letters;
    std::vector<ModuleInstance> found;
    ModuleSlots slots(rates.size());
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

std::vector<double> empiricalFdr(const std::vector<ModuleInstance>& target,
                                 const std::vector<ModuleInstance>& matched, double targetLetters,
                                 double backgroundLetters) {
    std::vector<double> fdr(target.size(), 1.0);
    const double scale = backgroundLetters > 0 ? targetLetters / backgroundLetters : 0;
    size_t modules = 0;
    for (const ModuleInstance& instance : target) modules = std::max(modules, instance.module + 1);
    for (size_t m = 0; m < modules; ++m) {
        std::vector<size_t> order;
        for (size_t i = 0; i < target.size(); ++i)
            if (target[i].module == m) order.push_back(i);
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return target[a].pValue < target[b].pValue; });
        std::vector<double> nulls;
        for (const ModuleInstance& instance : matched)
            if (instance.module == m) nulls.push_back(instance.pValue);
        std::sort(nulls.begin(), nulls.end());
        // From the largest p down, the running minimum of the ratio at each threshold (ties
        // share the threshold of their value).
        double best = 1.0;
        for (size_t end = order.size(); end > 0;) {
            const double p = target[order[end - 1]].pValue;
            size_t begin = end - 1;
            while (begin > 0 && target[order[begin - 1]].pValue == p) --begin;
            const auto null = static_cast<double>(std::upper_bound(nulls.begin(), nulls.end(), p) -
                                                  nulls.begin());
            best = std::min(best, null * scale / static_cast<double>(end));
            for (size_t i = begin; i < end; ++i) fdr[order[i]] = best;
            end = begin;
        }
    }
    return fdr;
}
