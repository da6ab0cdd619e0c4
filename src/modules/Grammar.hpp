// The arrangement of each reported module's motifs (order, strands, spacing, helical phase)
// and its test against a null that keeps every site and redraws which motif sits there.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <random>
#include <string>
#include <vector>

#include "modules/Discovery.hpp"
#include "modules/ModuleStats.hpp"

// One site of a module's instance: the first hit of one of its motifs.
struct GrammarSite {
    int32_t start = 0, width = 0;
    char strand = '+';
};

// The sites of one instance, one per motif of the module, in the module's motif order.
using GrammarInstance = std::vector<GrammarSite>;

// The letters around every hit of the genes (HitStage::siteContexts), by which instances
// on one stretch of DNA (regions that overlap, repeated copies) are known as one.
struct SiteContexts {
    const std::vector<SeqHit>* genes = nullptr;
    const std::vector<std::vector<uint64_t>>* hashes = nullptr;
};

// One instance per gene (the first the report prints), each with the first hit of each of
// the module's motifs. With `contexts`, an instance with a site whose letters (and flanks)
// an instance taken before has is left out: it is the same stretch of DNA again (regions
// that overlap, copies of a repeat).
std::vector<GrammarInstance> grammarInstances(const ModuleRecord& module,
                                              const SiteContexts* contexts = nullptr);

// A null draw of one instance: the same sites (start, width) dealt to the motifs in a
// random order, each site's strand flipped with probability 1/2.
GrammarInstance nullInstance(const GrammarInstance& instance, std::mt19937& generator);
// The same draw into `out`, reusing its room.
void drawNull(const GrammarInstance& instance, GrammarInstance& out, std::mt19937& generator);

enum class GrammarFeature { Order, Strands, Spacing, Phase };

// One row of the table. `a` and `b` index the module's motifs (for spacing and phase).
struct GrammarRow {
    int32_t module = 0;  // index in report order
    GrammarFeature feature = GrammarFeature::Order;
    int32_t a = -1, b = -1;
    std::string value;
    int64_t genes = 0, genesTotal = 0;
    double median = 0, iqr = 0;  // spacing rows only
    double pValue = 1, fwer = 1;
};

struct GrammarSettings {
    int32_t bin = 1;       // spacing bin in letters
    int32_t draws = 1000;  // null draws
    uint32_t seed = 0;
};

// The observed rows of one module's instances, with the statistic each is tested on (the
// count of the most frequent value, or of distances in phase), without p-values.
struct GrammarObserved {
    std::vector<GrammarRow> rows;
    std::vector<int64_t> statistics;
};
GrammarObserved observeGrammar(int32_t module, const std::vector<int32_t>& motifs,
                               const std::vector<GrammarInstance>& instances,
                               const std::vector<std::string>& motifNames, int32_t bin);

// Every module's rows, in report order, with their p-values and fwer.
std::vector<GrammarRow> moduleGrammar(const std::vector<ModuleRecord>& modules,
                                      const std::vector<std::string>& motifNames,
                                      const GrammarSettings& settings,
                                      const SiteContexts* contexts = nullptr);

// The distances start(b) - start(a) of one pair over the instances (sites that overlap left
// out), in bins of `bin` letters from `from` (at least the grammar's bin, wide enough that
// the distances of every two sites fit in `mostBins` bins), with, per bin, the null's mean
// count and its 95 % band: the 2.5 % and 97.5 % points of the count under the dealing.
struct SpacingHistogram {
    int64_t from = 0;
    int64_t bin = 1;
    std::vector<int64_t> observed, low, high;
    std::vector<double> mean;
};
SpacingHistogram spacingHistogram(const std::vector<GrammarInstance>& instances, size_t a, size_t b,
                                  int32_t bin, size_t mostBins);

// The table: a header, a row per feature, then `#` lines.
void writeGrammar(std::ostream& out, const std::vector<GrammarRow>& rows,
                  const std::vector<ModuleRecord>& modules,
                  const std::vector<std::string>& motifNames, const GrammarSettings& settings,
                  const StatsNotes& notes);
