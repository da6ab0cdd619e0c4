// Motif rates, motif pairs and the search order. A pair of two different motifs occurs in a
// gene when the pair scan finds it there; a pair is frequent when at least geneNumber genes
// hold it. Motifs with at least minMotifNumber frequent partners are searched, fewest first.
#include <algorithm>
#include <numeric>

#include "common/die.hpp"
#include "hits/PairScan.hpp"
#include "modules/Tree.hpp"

Discovery::Discovery(const Args& settings, const HitStage& hits)
    : windowSize(settings.windowSize),
      geneNumber(settings.geneNumber),
      minMotifNumber(settings.minMotifNumber),
      maxMotifNumber(settings.maxMotifNumber),
      pairGenes(static_cast<int32_t>(hits.motifNames.size())),
      slots_(hits.motifNames.size()) {
    MotifRate(hits);
    BuildMP(hits);
    FindCRM(hits);
}

void Discovery::MotifRate(const HitStage& hits) {
    geneCount = static_cast<int32_t>(hits.seqHits.size());
    int64_t total = 0;
    std::vector<int64_t> counts(hits.motifNames.size(), 0);
    for (const SeqHit& gene : hits.seqHits) {
        total += gene.length;
        for (const MHit& hit : gene.hits) ++counts[hit.motif];
    }
    motifRate.assign(counts.size(), 0.0f);
    if (total == 0) return;
    avgSeqLength = static_cast<int32_t>(total / geneCount);
    for (size_t m = 0; m < counts.size(); ++m)
        motifRate[m] = static_cast<float>(counts[m]) / static_cast<float>(total);
}

void Discovery::BuildMP(const HitStage& hits) {
    for (size_t g = 0; g < hits.seqHits.size(); ++g) {
        const SeqHit& gene = hits.seqHits[g];
        genes.push_back(gene.name);
        progress("Gene " + std::to_string(g) + ":\t" + gene.name);
        forEachPair(gene.hits, windowSize, [&](size_t a, size_t b) {
            pairGenes.addGene(gene.hits[a].motif, gene.hits[b].motif, static_cast<int32_t>(g));
        });
    }
    std::vector<int32_t> partners = frequentPartnerCounts();
    std::vector<MNum> order;
    for (size_t m = 0; m < partners.size(); ++m)
        if (partners[m] >= minMotifNumber) order.push_back({static_cast<int32_t>(m), partners[m]});
    std::stable_sort(order.begin(), order.end(), CompFreq);
    for (const MNum& entry : order) motifs.push_back(entry.motif);

    std::vector<int32_t> byName(genes.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::sort(byName.begin(), byName.end(),
              [&](int32_t a, int32_t b) { return genes[a] < genes[b]; });
    geneRank_.resize(genes.size());
    for (size_t r = 0; r < byName.size(); ++r) geneRank_[byName[r]] = static_cast<int32_t>(r);
}

std::vector<int32_t> Discovery::frequentPartnerCounts() const {
    std::vector<int32_t> partners(motifRate.size(), 0);
    for (size_t i = 0; i < pairGenes.size(); ++i) {
        if (static_cast<int64_t>(pairGenes.listAt(i).size()) < geneNumber) continue;
        ++partners[pairGenes.first(i)];
        ++partners[pairGenes.second(i)];
    }
    return partners;
}
