// The statistics table: background holders counted per module in parallel, Fisher p, E and q,
// the permutations' fwer and fdr, p_vs_parts from the holders of each part, and the writer.
#include "modules/ModuleStats.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <mutex>
#include <numeric>
#include <shared_mutex>
#include <unordered_map>

#include "common/DiscardStream.hpp"
#include "common/Log.hpp"
#include "common/Parallel.hpp"
#include "common/Random.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "modules/ModuleGenes.hpp"
#include "modules/Probability.hpp"

namespace {

// Genes of a set with an instance of each module, modules in parallel.
std::vector<int64_t> holderCounts(const std::vector<std::vector<int32_t>>& modules,
                                  const HitStage& genes, const Args& settings) {
    const ModuleGenes holders(genes, settings);
    std::vector<int64_t> counts(modules.size());
    orderedParallelFor(
        modules.size(), std::max(1, settings.threads),
        [&](size_t k) {
            ModuleGenes::Scratch space(genes.motifNames.size());
            counts[k] = holders.count(modules[k], space);
        },
        [](size_t) {});
    return counts;
}

// The distinct sub-modules of one motif fewer of every module of k >= 2 motifs (modules share
// most of theirs), and for each module the indexes of its k parts in that list.
std::vector<std::vector<int32_t>> subModules(const std::vector<ModuleRecord>& records,
                                             std::vector<std::vector<size_t>>& partsOf) {
    std::vector<std::vector<int32_t>> parts;
    std::map<std::vector<int32_t>, size_t> indexOf;
    for (const ModuleRecord& record : records) {
        partsOf.emplace_back();
        if (record.motifs.size() < 2) continue;
        for (size_t left = 0; left < record.motifs.size(); ++left) {
            std::vector<int32_t> part = record.motifs;
            part.erase(part.begin() + static_cast<std::ptrdiff_t>(left));
            const auto [at, added] = indexOf.emplace(part, parts.size());
            if (added) parts.push_back(std::move(part));
            partsOf.back().push_back(at->second);
        }
    }
    return parts;
}

}  // namespace

ModuleStatistics::ModuleStatistics(const Args& settings, const Discovery& discovery,
                                   const HitStage& foreground, const HitStage* background,
                                   std::optional<uint32_t> seed, const PermutationWatch& watch)
    : tests(discovery.moduleTests()),
      genesTotal(static_cast<int64_t>(foreground.seqHits.size())),
      hasBackground_(background != nullptr) {
    const std::vector<ModuleRecord>& records = discovery.records;
    rows.resize(records.size());
    std::vector<double> p(records.size());
    if (background) {
        backgroundTotal = static_cast<int64_t>(background->seqHits.size());
        std::vector<std::vector<int32_t>> modules;
        for (const ModuleRecord& record : records) modules.push_back(record.motifs);
        const std::vector<int64_t> counts = holderCounts(modules, *background, settings);
        const LogFactorials logs(genesTotal + backgroundTotal);
        for (size_t k = 0; k < records.size(); ++k) {
            const int64_t a = records[k].genes, b = counts[k];
            rows[k].backgroundGenes = b;
            rows[k].foldEnrichment =
                b == 0 ? std::numeric_limits<double>::infinity()
                       : (static_cast<double>(a) / static_cast<double>(genesTotal)) /
                             (static_cast<double>(b) / static_cast<double>(backgroundTotal));
            p[k] = fisherUpperTail(a, genesTotal, a + b, genesTotal + backgroundTotal, logs);
        }
        if (settings.stratifying())
            p = stratifiedTests(settings, records, foreground, *background);
        else
            compareWithParts(settings, records, counts, foreground, *background, logs);
    } else {
        for (size_t k = 0; k < records.size(); ++k) p[k] = records[k].probability;
    }
    const std::vector<double> q = benjaminiHochberg(p, tests);
    for (size_t k = 0; k < records.size(); ++k) {
        rows[k].pValue = p[k];
        rows[k].eValue = p[k] * static_cast<double>(tests);
        rows[k].qValue = q[k];
    }
    if (settings.permutations <= 0 || !background || !seed) return;
    const PermutationOutcome outcome =
        runPermutations(settings, foreground, *background, PermutationSlice::of(settings), *seed,
                        records.size(), watch, strata ? &*strata : nullptr);
    permutationsRequested = outcome.requested;
    interrupted = outcome.interrupted();
    fdrSummarised = outcome.pValues.summarised();
    fdrExactBelow = outcome.fdrExactBelow;
    permutationMinima = outcome.minima;
    if (settings.shardCount > 0) permutedPValues = outcome.pValues.values();
    const std::vector<PermutationColumns> columns = permutationColumns(p, outcome);
    for (size_t k = 0; k < columns.size(); ++k) {
        rows[k].fwer = columns[k].fwer;
        rows[k].fdr = columns[k].fdr;
        rows[k].fdrExact = columns[k].exact;
    }
}

std::vector<PermutationColumns> permutationColumns(const std::vector<double>& p,
                                                   const PermutationOutcome& outcome) {
    if (outcome.done == 0) return {};
    std::vector<double> sorted = outcome.minima;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<double> fdr = permutationFdr(p, outcome.pValues, outcome.done);
    // No fdr is smaller than the permutations can tell: the floor of fwer, 1 / (N + 1).
    const double floor = 1.0 / (outcome.done + 1.0);
    std::vector<PermutationColumns> columns(p.size());
    for (size_t k = 0; k < p.size(); ++k) {
        columns[k].fwer = familyWiseError(sorted, p[k]);
        columns[k].fdr = std::max(fdr[k], floor);
        columns[k].exact = columns[k].fdr < outcome.fdrExactBelow;
    }
    return columns;
}

std::string statsValue(double value) {
    return formatted("%.6g", value);
}

std::string permutationsNote(size_t done, int32_t requested, bool interrupted) {
    std::string note = "# permutations: " + std::to_string(done) + "\n";
    if (interrupted)
        note += "# interrupted: the run was stopped after " + std::to_string(done) + " of " +
                std::to_string(requested) + " permutations; fwer and fdr come from those done\n";
    return note;
}

std::string fdrNote(bool summarised, double exactBelow) {
    std::string note = "# fdr: permutation false discovery rate, ";
    note += summarised ? "the permutations' p-values counted on a grid of 0.001 decades "
                         "(an upper bound, within 0.23 % in p)"
                       : "exact";
    if (exactBelow < 1) {
        // Rounded down, so that the fdr is exact below the number shown.
        const double scale = std::pow(10.0, 2 - std::floor(std::log10(exactBelow)));
        const std::string shown = formatted("%.3g", std::floor(exactBelow * scale) / scale);
        note += " below " + shown + "; values from " + shown +
                " up are lower limits (permuted p-values are counted only as far as needed; "
                "fdr_exact is 0 for them)";
    }
    return note + "; no fwer or fdr is below 1/(N+1), the floor of N permutations\n";
}

std::vector<double> ModuleStatistics::stratifiedTests(const Args& settings,
                                                      const std::vector<ModuleRecord>& records,
                                                      const HitStage& foreground,
                                                      const HitStage& background) {
    strata.emplace(stratify(foreground.shapes, background.shapes, settings.stratifyLength,
                            settings.stratifyGc, settings.lengthStrata));
    if (strata->leftForeground + strata->leftBackground > 0)
        warn("--stratify leaves out " + withThousands(strata->leftForeground) + " foreground and " +
             withThousands(strata->leftBackground) +
             " background genes, in strata that hold no gene of the other set");
    const StratifiedTest test(*strata);
    const HitStage pool = pooledGenes(foreground, background);
    const ModuleGenes inPool(pool, settings);
    const size_t drawn = foreground.seqHits.size();
    std::vector<std::vector<size_t>> partsOf;
    const std::vector<std::vector<int32_t>> parts = subModules(records, partsOf);
    std::vector<double> p(records.size());
    orderedParallelFor(
        records.size(), std::max(1, settings.threads),
        [&](size_t k) {
            ModuleGenes::Scratch space(pool.motifNames.size());
            std::vector<int64_t> inForeground, all, partForeground, partAll;
            const std::vector<int32_t> holders = inPool.holders(records[k].motifs, space);
            test.countHolders(holders, drawn, inForeground, all);
            const int64_t a = std::accumulate(inForeground.begin(), inForeground.end(), int64_t{0});
            p[k] = test.upperTail(all, a);
            if (partsOf[k].empty()) return;
            // Among the holders of each part, stratum by stratum, as without strata.
            double largest = 0;
            for (size_t part : partsOf[k]) {
                test.countHolders(inPool.holders(parts[part], space), drawn, partForeground,
                                  partAll);
                largest = std::max(largest, test.partsTail(partForeground, partAll, all, a));
            }
            rows[k].pVsParts = largest;
        },
        [](size_t) {});
    return p;
}

void ModuleStatistics::compareWithParts(const Args& settings,
                                        const std::vector<ModuleRecord>& records,
                                        const std::vector<int64_t>& backgroundHolders,
                                        const HitStage& foreground, const HitStage& background,
                                        const LogFactorials& logs) {
    std::vector<std::vector<size_t>> partsOf;
    const std::vector<std::vector<int32_t>> parts = subModules(records, partsOf);
    const std::vector<int64_t> inForeground = holderCounts(parts, foreground, settings);
    const std::vector<int64_t> inBackground = holderCounts(parts, background, settings);
    for (size_t k = 0; k < records.size(); ++k) {
        if (partsOf[k].empty()) continue;
        const int64_t a = records[k].genes, b = backgroundHolders[k];
        double largest = 0;
        for (size_t s : partsOf[k]) {
            // Holders of M hold each of its parts: M's genes are drawn from S's.
            const int64_t n1 = std::max(inForeground[s], a), n2 = std::max(inBackground[s], b);
            largest = std::max(largest, fisherUpperTail(a, n1, a + b, n1 + n2, logs));
        }
        rows[k].pVsParts = largest;
    }
}

void ModuleStatistics::write(std::ostream& out, const std::vector<ModuleRecord>& records,
                             const std::vector<std::string>& motifNames,
                             const StatsNotes& notes) const {
    out << "module\tmotifs\tmotif_count\tinstances\tgenes\tgenes_total\tprobability\t"
           "background_genes\tbackground_total\tfold_enrichment\tp_value\te_value\tq_value\t"
           "fwer\tfdr\tp_vs_parts\tfdr_exact\n";
    for (size_t k = 0; k < records.size(); ++k) {
        const ModuleRecord& record = records[k];
        const ModuleStatsRow& row = rows[k];
        std::string line = "M";
        line += std::to_string(k + 1);
        line += '\t';
        for (size_t m = 0; m < record.motifs.size(); ++m) {
            if (m) line += ',';
            line += motifNames[static_cast<size_t>(record.motifs[m])];
        }
        for (int64_t count : {static_cast<int64_t>(record.motifs.size()), record.instances,
                              record.genes, genesTotal}) {
            line += '\t';
            line += std::to_string(count);
        }
        line += '\t';
        line += formatted("%.6g", record.probability);
        if (row.backgroundGenes) {
            for (const std::string& field :
                 {std::to_string(*row.backgroundGenes), std::to_string(backgroundTotal),
                  formatted("%.4g", row.foldEnrichment)}) {
                line += '\t';
                line += field;
            }
        } else {
            line += "\t\t\t";
        }
        for (double value : {row.pValue, row.eValue, row.qValue}) {
            line += '\t';
            line += statsValue(value);
        }
        for (const std::optional<double>& value : {row.fwer, row.fdr, row.pVsParts}) {
            line += '\t';
            if (value) line += statsValue(*value);
        }
        line += '\t';
        if (row.fdrExact) line += *row.fdrExact ? '1' : '0';
        line += '\n';
        out << line;
    }
    out << "# program: " << notes.program << "\n"
        << "# command: " << notes.commandLine << "\n"
        << "# random seed: " << (notes.seed ? std::to_string(*notes.seed) : "none") << "\n"
        << "# test: "
        << (strata           ? "one-sided stratified exact test, foreground vs background genes "
                               "of the same stratum of length and GC"
            : hasBackground_ ? "one-sided Fisher exact test, foreground vs background genes"
                             : "binomial probability from the input's own hit rates")
        << "\n"
        << (strata ? strataNotes(*strata) : "") << "# tests (T): " << tests << "\n"
        << permutationsNote(permutationMinima.size(), permutationsRequested, interrupted);
    out << "# e_value, q_value: nominal, corrected over the T candidate modules the search "
           "tested but not for the search that picked them; fwer and fdr account for it\n";
    if (!permutationMinima.empty()) out << fdrNote(fdrSummarised, fdrExactBelow);
    if (hasBackground_)
        out << "# p_vs_parts: the largest one-sided " << (strata ? "stratified" : "Fisher")
            << " p of the module among the genes that hold each of its parts of one motif "
               "fewer\n";
    for (const std::string& line : notes.more) out << line << "\n";
}
