// Holder counts: the pair table's gene sets intersected, then the instance test (keepHolders)
// on each candidate through the per-gene hit index.
#include "modules/ModuleGenes.hpp"

#include <algorithm>

ModuleGenes::ModuleGenes(const HitStage& hits, const Args& settings)
    : hits_(hits),
      windowSize_(settings.windowSize),
      pairs_(pairTableOf(hits.seqHits, static_cast<int32_t>(hits.motifNames.size()),
                         settings.windowSize, settings.threads)),
      genesOfMotif_(hits.motifNames.size()),
      index_(hits.seqHits, hits.motifNames.size()) {
    for (size_t g = 0; g < hits.seqHits.size(); ++g)
        for (const MHit& hit : hits.seqHits[g].hits) {
            std::vector<int32_t>& list = genesOfMotif_[static_cast<size_t>(hit.motif)];
            if (list.empty() || list.back() != static_cast<int32_t>(g))
                list.push_back(static_cast<int32_t>(g));
        }
}

int64_t ModuleGenes::count(const std::vector<int32_t>& module, Scratch& space) const {
    return static_cast<int64_t>(holders(module, space).size());
}

const std::vector<int32_t>& ModuleGenes::holders(const std::vector<int32_t>& module,
                                                 Scratch& space) const {
    space.shared.clear();
    if (module.empty()) return space.shared;
    if (module.size() == 1) return genesOfMotif_[static_cast<size_t>(module[0])];
    bool first = true;
    for (size_t i = 0; i < module.size(); ++i)
        for (size_t j = i + 1; j < module.size(); ++j) {
            const GeneSet* pair = pairs_.genes(module[i], module[j]);
            if (pair == nullptr) {
                space.shared.clear();
                return space.shared;
            }
            if (first) {
                pair->appendTo(space.shared);
                first = false;
                continue;
            }
            space.narrowed.clear();
            pair->intersect(space.shared, space.narrowed);
            space.shared.swap(space.narrowed);
            if (space.shared.empty()) return space.shared;
        }
    space.slots.assign(module);
    keepHolders(space.shared, hits_.seqHits, &index_, space.slots, windowSize_, space.scan);
    return space.shared;
}
