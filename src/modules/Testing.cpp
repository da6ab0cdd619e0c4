// Module tests on hit positions. FindGeneShared narrows a node's genes to those where the new
// motif pairs with every motif of the node and, from three motifs on, where the enlarged
// module fits one window. TestCRM collects every instance of a module in the given genes.
// Within the search, gene lists are kept in ascending gene index, so that narrowing them is
// a merge with the pair gene lists; the order by name that the report shows for modules of
// three or more motifs is made only when a module is tested.
#include <algorithm>

#include "modules/Discovery.hpp"

std::vector<int32_t> Discovery::FindGeneShared(int32_t newMotif, const Node& node,
                                               const HitStage& hits) {
    ensureIndex(hits);
    std::vector<int32_t> shared = sharedGenes(newMotif, node, hits, scratch_, 0);
    sortByName(shared);
    return shared;
}

std::vector<Crm> Discovery::TestCRM(const std::vector<int32_t>& module,
                                    const std::vector<int32_t>& geneList, const HitStage& hits) {
    ensureIndex(hits);
    testModule(module, geneList, hits, scratch_);
    std::vector<Crm> crms;
    for (const ModuleInstances::Run& run : scratch_.found.runs) {
        crms.push_back({run.gene, {}});
        for (uint32_t k = 0; k < run.count; ++k)
            crms.back().hits.push_back(*scratch_.found.hits[run.first + k]);
    }
    return crms;
}

// The index pays where genes hold many hits (low cutoffs); where they hold few, a pass over
// a gene's hits is as fast and the index's memory is saved.
void Discovery::ensureIndex(const HitStage& hits) {
    if (indexed_) return;
    indexed_ = true;
    size_t total = 0;
    for (const SeqHit& gene : hits.seqHits) total += gene.hits.size();
    useIndex_ = total >= kIndexedHitsPerGene * hits.seqHits.size();
    if (useIndex_) hitIndex_ = HitIndex(hits.seqHits, hits.motifNames.size());
}

void Discovery::scanGene(const HitStage& hits, int32_t gene, SearchScratch& space,
                         bool firstOnly) const {
    if (useIndex_)
        space.scan.run(hits.seqHits[gene].hits, hitIndex_, gene, space.slots, windowSize,
                       firstOnly);
    else
        space.scan.run(hits.seqHits[gene].hits, space.slots, windowSize, firstOnly);
}

void Discovery::sortByName(std::vector<int32_t>& geneList) const {
    std::sort(geneList.begin(), geneList.end(),
              [this](int32_t a, int32_t b) { return geneRank_[a] < geneRank_[b]; });
}

std::vector<int32_t> Discovery::sharedGenes(int32_t newMotif, const Node& node,
                                            const HitStage& hits, SearchScratch& space,
                                            size_t enough) const {
    // A result with fewer than `enough` genes is of no use to the caller: give up early.
    std::vector<int32_t>& shared = space.genes;
    shared = node.genes;
    for (int32_t m : node.motifs) {
        const GeneSet* pair = pairGenes.genes(newMotif, m);
        if (pair == nullptr || pair->size() < enough) return {};
        space.narrowed.clear();
        pair->intersect(shared, space.narrowed);
        shared.swap(space.narrowed);
        if (shared.size() < enough) return {};
    }
    if (node.level > 1) {
        space.module = node.motifs;
        space.module.push_back(newMotif);
        space.slots.assign(space.module);
        keepHolders(shared, hits.seqHits, useIndex_ ? &hitIndex_ : nullptr, space.slots, windowSize,
                    space.scan);
    }
    return shared;
}

void Discovery::testModule(const std::vector<int32_t>& module, const std::vector<int32_t>& geneList,
                           const HitStage& hits, SearchScratch& space) const {
    space.slots.assign(module);
    space.found.clear();
    for (int32_t g : geneList) {
        scanGene(hits, g, space, false);
        for (auto [first, last] : space.scan.instances) {
            space.found.runs.push_back({g, static_cast<uint32_t>(space.found.hits.size()),
                                        static_cast<uint32_t>(last - first + 1)});
            space.found.hits.insert(space.found.hits.end(), space.scan.filtered.begin() + first,
                                    space.scan.filtered.begin() + last + 1);
        }
    }
}
