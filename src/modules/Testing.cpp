// Module tests on hit positions. FindGeneShared narrows a node's genes to those where the new
// motif pairs with every motif of the node and, from three motifs on, where the enlarged
// module fits one window. TestCRM collects every instance of a module in the given genes.
#include <algorithm>

#include "modules/Discovery.hpp"

std::vector<int32_t> Discovery::FindGeneShared(int32_t newMotif, const Node& node,
                                               const HitStage& hits) {
    return sharedGenes(newMotif, node, hits, scratch_);
}

std::vector<Crm> Discovery::TestCRM(const std::vector<int32_t>& module,
                                    const std::vector<int32_t>& geneList, const HitStage& hits) {
    return testModule(module, geneList, hits, scratch_);
}

std::vector<int32_t> Discovery::sharedGenes(int32_t newMotif, const Node& node,
                                            const HitStage& hits, SearchScratch& space) const {
    std::vector<const std::vector<int32_t>*> lists;
    for (int32_t m : node.motifs) {
        const std::vector<int32_t>* list = pairGenes.genes(newMotif, m);
        if (list == nullptr) return {};
        lists.push_back(list);
    }
    // Pair gene lists are ascending, so membership is a binary search.
    std::vector<int32_t> shared;
    for (int32_t g : node.genes)
        if (std::all_of(lists.begin(), lists.end(), [g](const std::vector<int32_t>* list) {
                return std::binary_search(list->begin(), list->end(), g);
            }))
            shared.push_back(g);
    if (node.level > 1) {
        std::vector<int32_t> module = node.motifs;
        module.push_back(newMotif);
        space.slots.assign(module);
        std::erase_if(shared, [&](int32_t g) {
            space.scan.run(hits.seqHits[g].hits, space.slots, windowSize, true);
            return space.scan.instances.empty();
        });
    }
    std::sort(shared.begin(), shared.end(),
              [this](int32_t a, int32_t b) { return geneRank_[a] < geneRank_[b]; });
    return shared;
}

std::vector<Crm> Discovery::testModule(const std::vector<int32_t>& module,
                                       const std::vector<int32_t>& geneList, const HitStage& hits,
                                       SearchScratch& space) const {
    space.slots.assign(module);
    std::vector<Crm> crms;
    for (int32_t g : geneList) {
        space.scan.run(hits.seqHits[g].hits, space.slots, windowSize, false);
        for (auto [first, last] : space.scan.instances) {
            Crm crm{g, {}};
            for (size_t k = first; k <= last; ++k) crm.hits.push_back(*space.scan.filtered[k]);
            crms.push_back(std::move(crm));
        }
    }
    return crms;
}
