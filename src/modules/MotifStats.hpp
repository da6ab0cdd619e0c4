// The single-motif baseline (--motif-stats): for each motif (after -t merging), the
// foreground and background genes with at least one of its hits, fold enrichment, the
// one-sided Fisher exact p that the motif is over-represented in the foreground, the
// Benjamini-Hochberg q over all motifs (every motif is tested, so the correction is valid),
// and with permutations the Westfall-Young family-wise error over motifs, from the same
// label draws as the modules' permutations: for each, the smallest p of any motif; and the
// foreground's hits of the motif before and after overlap removal.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hits/HitStage.hpp"
#include "modules/ModuleStats.hpp"
#include "modules/Strata.hpp"

struct MotifStatsRow {
    int64_t genes = 0, backgroundGenes = 0;
    double foldEnrichment = 0, pValue = 1, qValue = 1;
    std::optional<double> fwer;
    // The foreground's hits above the cutoff, and those that overlap removal keeps.
    int64_t hitsScanned = 0, hitsKept = 0;
};

class MotifStatistics {
  public:
    // `permutations` draws (0 for none; the number the modules' permutations did).
    // With `strata`, the test and the label draws are those of --stratify.
    MotifStatistics(const HitStage& foreground, const HitStage& background, int32_t permutations,
                    std::optional<uint32_t> seed, const Strata* strata = nullptr);

    std::vector<MotifStatsRow> rows;  // by motif id
    int64_t genesTotal = 0, backgroundTotal = 0;
    int32_t permutations = 0;

    // The table: a header row, a row per motif in name order, then the notes.
    void write(std::ostream& out, const std::vector<std::string>& motifNames,
               const std::vector<std::string>& labels, const StatsNotes& notes) const;

  private:
    std::string strataNotes_;  // with strata: the '#' lines that name them
};

// The genes of a set that hold at least one hit of each motif id (`motifs` ids in all).
std::vector<int64_t> genesWithMotif(const std::vector<SeqHit>& genes, size_t motifs);
