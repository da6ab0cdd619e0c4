// The single-motif baseline: genes with a hit of each motif in both sets, Fisher p, q over all
// motifs, and the fwer from the same label draws as the modules' permutations.
#include "modules/MotifStats.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "common/Text.hpp"
#include "modules/Permutations.hpp"
#include "modules/Probability.hpp"

namespace {

// The distinct motif ids of a gene's hits, ascending.
std::vector<int32_t> distinctMotifs(const SeqHit& gene) {
    std::vector<int32_t> ids;
    for (const MHit& hit : gene.hits) ids.push_back(hit.motif);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

}  // namespace

std::vector<int64_t> genesWithMotif(const std::vector<SeqHit>& genes, size_t motifs) {
    std::vector<int64_t> counts(motifs, 0);
    for (const SeqHit& gene : genes)
        for (int32_t id : distinctMotifs(gene)) ++counts[static_cast<size_t>(id)];
    return counts;
}

MotifStatistics::MotifStatistics(const HitStage& foreground, const HitStage& background,
                                 int32_t permutationCount, std::optional<uint32_t> seed,
                                 const Strata* strata)
    : genesTotal(static_cast<int64_t>(foreground.seqHits.size())),
      backgroundTotal(static_cast<int64_t>(background.seqHits.size())) {
    const size_t motifs = foreground.motifNames.size();
    const std::vector<int64_t> inForeground = genesWithMotif(foreground.seqHits, motifs);
    const std::vector<int64_t> inBackground = genesWithMotif(background.seqHits, motifs);
    const int64_t total = genesTotal + backgroundTotal;
    const LogFactorials logs(total);
    rows.resize(motifs);
    std::vector<double> p(motifs);
    for (size_t m = 0; m < motifs; ++m) {
        MotifStatsRow& row = rows[m];
        row.genes = inForeground[m];
        row.hitsScanned = foreground.hitsScanned.empty() ? 0 : foreground.hitsScanned[m];
        row.hitsKept = foreground.hitsKept.empty() ? 0 : foreground.hitsKept[m];
        row.backgroundGenes = inBackground[m];
        row.foldEnrichment =
            row.backgroundGenes == 0
                ? (row.genes == 0 ? std::numeric_limits<double>::quiet_NaN()
                                  : std::numeric_limits<double>::infinity())
                : (static_cast<double>(row.genes) / static_cast<double>(genesTotal)) /
                      (static_cast<double>(row.backgroundGenes) /
                       static_cast<double>(backgroundTotal));
        p[m] = row.pValue =
            fisherUpperTail(row.genes, genesTotal, row.genes + row.backgroundGenes, total, logs);
    }
    // The pool in the permutations' order: foreground genes, then background genes.
    std::vector<std::vector<int32_t>> motifsOfGene;
    for (const HitStage* set : {&foreground, &background})
        for (const SeqHit& gene : set->seqHits) motifsOfGene.push_back(distinctMotifs(gene));
    // With strata: each motif's holders by stratum, and the stratified p of the foreground's.
    const std::optional<StratifiedTest> test =
        strata ? std::optional<StratifiedTest>(*strata) : std::nullopt;
    const size_t strataCount = strata ? strata->size() : 0;
    if (strata) strataNotes_ = strataNotes(*strata);
    std::vector<std::vector<int64_t>> byStratum(motifs, std::vector<int64_t>(strataCount, 0));
    auto stratifiedP = [&](size_t m, const std::vector<int64_t>& drawnCounts) {
        return test->upperTail(byStratum[m], drawnCounts[m]);
    };
    if (test) {
        std::vector<int64_t> drawnCounts(motifs, 0);
        for (size_t g = 0; g < motifsOfGene.size(); ++g) {
            const int32_t s = strata->of[g];
            if (s < 0) continue;
            for (int32_t id : motifsOfGene[g]) {
                ++byStratum[static_cast<size_t>(id)][static_cast<size_t>(s)];
                if (g < static_cast<size_t>(genesTotal)) ++drawnCounts[static_cast<size_t>(id)];
            }
        }
        for (size_t m = 0; m < motifs; ++m) p[m] = rows[m].pValue = stratifiedP(m, drawnCounts);
    }
    const std::vector<double> q = benjaminiHochberg(p, static_cast<int64_t>(motifs));
    for (size_t m = 0; m < motifs; ++m) rows[m].qValue = q[m];
    if (permutationCount <= 0 || !seed) return;
    permutations = permutationCount;
    const std::vector<int64_t> holders = [&] {
        std::vector<int64_t> all(motifs);
        for (size_t m = 0; m < motifs; ++m) all[m] = inForeground[m] + inBackground[m];
        return all;
    }();
    std::vector<double> minima;
    std::vector<int64_t> drawnHolders(motifs);
    for (int32_t k = 0; k < permutationCount; ++k) {
        std::fill(drawnHolders.begin(), drawnHolders.end(), 0);
        const std::vector<uint32_t> drew =
            drawForeground(strata, *seed, static_cast<uint32_t>(k),
                           static_cast<uint32_t>(genesTotal), static_cast<uint32_t>(total));
        for (uint32_t g : drew)
            if (!strata || strata->of[g] >= 0)  // with strata, holders within them
                for (int32_t id : motifsOfGene[g]) ++drawnHolders[static_cast<size_t>(id)];
        double smallest = 1;
        for (size_t m = 0; m < motifs; ++m)
            if (drawnHolders[m] > 0)
                smallest = std::min(smallest, test ? stratifiedP(m, drawnHolders)
                                                   : fisherUpperTail(drawnHolders[m], genesTotal,
                                                                     holders[m], total, logs));
        minima.push_back(smallest);
    }
    std::sort(minima.begin(), minima.end());
    for (size_t m = 0; m < motifs; ++m) rows[m].fwer = familyWiseError(minima, p[m]);
}

void MotifStatistics::write(std::ostream& out, const std::vector<std::string>& motifNames,
                            const std::vector<std::string>& labels, const StatsNotes& notes) const {
    out << "motif\tlabel\tgenes\tgenes_total\tbackground_genes\tbackground_total\t"
           "fold_enrichment\tp_value\tq_value\tfwer\thits_scanned\thits_kept\n";
    for (size_t m = 0; m < rows.size(); ++m) {
        const MotifStatsRow& row = rows[m];
        out << motifNames[m] << '\t' << labels[m] << '\t' << row.genes << '\t' << genesTotal << '\t'
            << row.backgroundGenes << '\t' << backgroundTotal << '\t'
            << formatted("%.4g", row.foldEnrichment) << '\t' << formatted("%.6g", row.pValue)
            << '\t' << formatted("%.6g", row.qValue) << '\t'
            << (row.fwer ? formatted("%.6g", *row.fwer) : std::string()) << '\t' << row.hitsScanned
            << '\t' << row.hitsKept << '\n';
    }
    out << "# program: " << notes.program << "\n"
        << "# command: " << notes.commandLine << "\n"
        << "# random seed: " << (notes.seed ? std::to_string(*notes.seed) : "none") << "\n"
        << "# test: one-sided " << (strataNotes_.empty() ? "Fisher" : "stratified")
        << " exact test, foreground vs background genes with a hit of the motif\n"
        << strataNotes_ << "# tests (T): " << rows.size()
        << " motifs; q_value is Benjamini-Hochberg over all "
           "of them\n"
        << "# permutations: " << permutations << "\n";
    for (const std::string& line : notes.more) out << line << "\n";
}
