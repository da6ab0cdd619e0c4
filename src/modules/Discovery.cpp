// Motif rates, motif pairs and the search order. A pair of two different motifs occurs in a
// gene when the pair scan finds it there; a pair is frequent when at least geneNumber genes
// hold it. Motifs with at least minMotifNumber frequent partners are searched, fewest first.
#include "modules/Discovery.hpp"

#include <algorithm>
#include <numeric>

#include "common/Parallel.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "hits/PairScan.hpp"

Discovery::Discovery(const Args& settings, const HitStage& hits, std::ostream& report,
                     Progress progress, ModuleOutput output)
    : windowSize(settings.windowSize),
      geneNumber(settings.geneNumber),
      minMotifNumber(settings.minMotifNumber),
      maxMotifNumber(settings.maxMotifNumber),
      pairGenes(static_cast<int32_t>(hits.motifNames.size()),
                static_cast<int32_t>(hits.seqHits.size())),
      report_(report),
      progress_(progress),
      threads_(std::max(1, settings.threads)),
      output_(output),
      scratch_(hits.motifNames.size()) {
    MotifRate(hits);
    BuildMP(hits);
    FindCRM(hits);
    if (modulesPrinted_ == 0) {
        noModule = noModuleReason(hits);
        progress_.line(noModule);
    } else {
        progress_.line("Done: " + std::to_string(modulesPrinted_.load()) + " modules written");
    }
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
    // The pair scan of each gene in parallel; the genes enter the pair table in input order.
    std::vector<std::vector<uint64_t>> keysOfGene(hits.seqHits.size());
    orderedParallelFor(
        hits.seqHits.size(), threads_,
        [&](size_t g) { keysOfGene[g] = distinctPairKeys(hits.seqHits[g].hits, windowSize); },
        [&](size_t g) {
            genes.push_back(hits.seqHits[g].name);
            progress_.line("Gene " + std::to_string(g) + ":\t" + printable(genes.back()));
            for (uint64_t key : keysOfGene[g])
                pairGenes.addGene(static_cast<int32_t>(key >> 32),
                                  static_cast<int32_t>(key & 0xffffffffu), static_cast<int32_t>(g));
            std::vector<uint64_t>().swap(keysOfGene[g]);
        });
    std::vector<int32_t> partners = frequentPartnerCounts();
    // Only motifs in some frequent pair have a partner count at all, also with -k 0.
    std::vector<MNum> order;
    for (size_t m = 0; m < partners.size(); ++m)
        if (partners[m] > 0 && partners[m] >= minMotifNumber)
            order.push_back({static_cast<int32_t>(m), partners[m]});
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
        if (static_cast<int64_t>(pairGenes.genesAt(i).size()) < geneNumber) continue;
        ++partners[pairGenes.first(i)];
        ++partners[pairGenes.second(i)];
    }
    return partners;
}

std::string Discovery::noModuleReason(const HitStage& hits) const {
    const auto hasHits = [](const SeqHit& gene) { return !gene.hits.empty(); };
    const std::string g = std::to_string(geneNumber), k = std::to_string(minMotifNumber);
    if (std::none_of(hits.seqHits.begin(), hits.seqHits.end(), hasHits))
        return "No module: no motif hit scores above its cutoff (-m " +
               tostring(hits.scoreThreshold) + ")";
    bool anyFrequentPair = false;
    for (size_t i = 0; i < pairGenes.size(); ++i)
        anyFrequentPair |= static_cast<int64_t>(pairGenes.genesAt(i).size()) >= geneNumber;
    if (!anyFrequentPair)
        return "No module: no motif pair occurs in " + g + " or more genes (-g " + g + ")";
    if (motifs.empty())
        return "No module: no motif has " + k + " or more frequent partners (-k " + k +
               (minMotifNumber > maxMotifNumber
                    ? "; a module has at most " + std::to_string(maxMotifNumber) + " motifs)"
                    : ")");
    return "No module: no set of " + std::to_string(std::max(minMotifNumber, 1)) +
           " or more motifs occurs within one window (-w " + std::to_string(windowSize) + ") in " +
           g + " or more genes (-g " + g + ")";
}
