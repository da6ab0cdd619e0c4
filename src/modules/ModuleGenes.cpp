#include "modules/ModuleGenes.hpp"

#include <algorithm>
#include <iterator>

ModuleGenes::ModuleGenes(const std::vector<SeqHit>& genes, size_t motifCount, int32_t windowSize)
    : genes_(genes), windowSize_(windowSize), genesOfMotif_(motifCount) {
    for (size_t g = 0; g < genes.size(); ++g)
        for (const MHit& hit : genes[g].hits) {
            std::vector<int32_t>& list = genesOfMotif_[static_cast<size_t>(hit.motif)];
            if (list.empty() || list.back() != static_cast<int32_t>(g))
                list.push_back(static_cast<int32_t>(g));
        }
}

int64_t ModuleGenes::count(const std::vector<int32_t>& module, Scratch& space) const {
    if (module.empty()) return 0;
    space.shared = genesOfMotif_[static_cast<size_t>(module.front())];
    for (size_t i = 1; i < module.size() && !space.shared.empty(); ++i) {
        const std::vector<int32_t>& list = genesOfMotif_[static_cast<size_t>(module[i])];
        space.narrowed.clear();
        std::set_intersection(space.shared.begin(), space.shared.end(), list.begin(), list.end(),
                              std::back_inserter(space.narrowed));
        space.shared.swap(space.narrowed);
    }
    space.slots.assign(module);
    int64_t holding = 0;
    for (int32_t g : space.shared) {
        space.scan.run(genes_[static_cast<size_t>(g)].hits, space.slots, windowSize_, true);
        holding += !space.scan.instances.empty();
    }
    return holding;
}
