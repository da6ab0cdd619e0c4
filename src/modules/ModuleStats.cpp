#include "modules/ModuleStats.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <numeric>
#include <shared_mutex>
#include <unordered_map>

#include "common/DiscardStream.hpp"
#include "common/Parallel.hpp"
#include "common/Random.hpp"
#include "common/die.hpp"
#include "modules/Enrichment.hpp"
#include "modules/ModuleGenes.hpp"

namespace {

std::string number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Genes of the background with an instance of each module, modules in parallel.
std::vector<int64_t> backgroundCounts(const std::vector<ModuleRecord>& records,
                                      const HitStage& background, const Args& settings) {
    const ModuleGenes genes(background, settings);
    std::vector<int64_t> counts(records.size());
    orderedParallelFor(
        records.size(), std::max(1, settings.threads),
        [&](size_t k) {
            ModuleGenes::Scratch space(background.motifNames.size());
            counts[k] = genes.count(records[k].motifs, space);
        },
        [](size_t) {});
    return counts;
}

}  // namespace

std::vector<uint32_t> permutedForeground(uint32_t seed, uint32_t permutation, uint32_t drawn,
                                         uint32_t total) {
    std::mt19937 generator = drawGenerator({seed, permutation});
    // A partial Fisher-Yates shuffle: the first `drawn` places take a uniform sample.
    std::vector<uint32_t> order(total);
    std::iota(order.begin(), order.end(), 0u);
    for (uint32_t i = 0; i < drawn; ++i)
        std::swap(order[i], order[i + uniformBelow(generator, total - i)]);
    order.resize(drawn);
    std::sort(order.begin(), order.end());  // genes in input order
    return order;
}

ModuleStatistics::ModuleStatistics(const Args& settings, const Discovery& discovery,
                                   const HitStage& foreground, const HitStage* background,
                                   std::optional<uint32_t> seed)
    : tests(discovery.moduleTests()),
      genesTotal(static_cast<int64_t>(foreground.seqHits.size())),
      hasBackground_(background != nullptr) {
    const std::vector<ModuleRecord>& records = discovery.records;
    rows.resize(records.size());
    std::vector<double> p(records.size());
    if (background) {
        backgroundTotal = static_cast<int64_t>(background->seqHits.size());
        const std::vector<int64_t> counts = backgroundCounts(records, *background, settings);
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
    permutationMinima =
        ::permutationMinima(settings, foreground, *background, settings.permutations, *seed);
    std::vector<double> sorted = permutationMinima;
    std::sort(sorted.begin(), sorted.end());
    for (size_t k = 0; k < records.size(); ++k) rows[k].fwer = familyWiseError(sorted, p[k]);
}

double familyWiseError(const std::vector<double>& sortedMinima, double p) {
    const auto atMost = std::upper_bound(sortedMinima.begin(), sortedMinima.end(),
                                         p * (1 + kPValueTolerance)) -
                        sortedMinima.begin();
    return (1 + static_cast<double>(atMost)) / (static_cast<double>(sortedMinima.size()) + 1);
}

std::vector<double> permutationMinima(const Args& settings, const HitStage& foreground,
                                      const HitStage& background, int32_t count, uint32_t seed) {
    std::vector<SeqHit> genes = foreground.seqHits;
    genes.insert(genes.end(), background.seqHits.begin(), background.seqHits.end());
    const HitStage pool(foreground, std::move(genes));
    const auto drawn = static_cast<uint32_t>(foreground.seqHits.size());
    const auto total = static_cast<uint32_t>(pool.seqHits.size());
    const ModuleGenes poolGenes(pool, settings);
    const LogFactorials logs(total);

    // Genes of the pool holding a module, by module: the same in every permutation.
    std::unordered_map<std::string, int64_t> holdersOf;
    std::shared_mutex holdersLock;
    auto holders = [&](const std::vector<int32_t>& motifs, ModuleGenes::Scratch& space) {
        const std::string key(reinterpret_cast<const char*>(motifs.data()),
                              motifs.size() * sizeof(int32_t));
        {
            std::shared_lock<std::shared_mutex> lock(holdersLock);
            if (auto it = holdersOf.find(key); it != holdersOf.end()) return it->second;
        }
        const int64_t found = poolGenes.count(motifs, space);
        std::unique_lock<std::shared_mutex> lock(holdersLock);
        holdersOf.emplace(key, found);
        return found;
    };

    Args one = settings;
    one.threads = 1;  // permutations, not the searches within them, run in parallel
    DiscardStream nowhere;
    std::vector<double> minima(static_cast<size_t>(count), 1.0);
    orderedParallelFor(
        minima.size(), std::max(1, settings.threads),
        [&](size_t k) {
            std::vector<SeqHit> sample;
            for (uint32_t g : permutedForeground(seed, static_cast<uint32_t>(k), drawn, total))
                sample.push_back(pool.seqHits[g]);
            const HitStage sampleHits(foreground, std::move(sample));
            const Discovery search(one, sampleHits, nowhere, Progress::silent(),
                                   ModuleOutput::RecordsOnly);
            ModuleGenes::Scratch space(foreground.motifNames.size());
            for (const ModuleRecord& record : search.records) {
                const double p = fisherUpperTail(record.genes, drawn, holders(record.motifs, space),
                                                 total, logs);
                minima[k] = std::min(minima[k], p);
            }
        },
        [](size_t) {});
    return minima;
}

void ModuleStatistics::write(std::ostream& out, const std::vector<ModuleRecord>& records,
                             const std::vector<std::string>& motifNames,
                             const StatsNotes& notes) const {
    out << "module\tmotifs\tmotif_count\tinstances\tgenes\tgenes_total\tprobability\t"
           "background_genes\tbackground_total\tfold_enrichment\tp_value\te_value\tq_value\t"
           "fwer\n";
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
        line += number("%.6g", record.probability);
        if (row.backgroundGenes) {
            for (const std::string& field :
                 {std::to_string(*row.backgroundGenes), std::to_string(backgroundTotal),
                  number("%.4g", row.foldEnrichment)}) {
                line += '\t';
                line += field;
            }
        } else {
            line += "\t\t\t";
        }
        for (double value : {row.pValue, row.eValue, row.qValue}) {
            line += '\t';
            line += number("%.6g", value);
        }
        line += '\t';
        if (row.fwer) line += number("%.6g", *row.fwer);
        line += '\n';
        out << line;
    }
    out << "# program: " << notes.program << "\n"
        << "# command: " << notes.commandLine << "\n"
        << "# random seed: " << (notes.seed ? std::to_string(*notes.seed) : "none") << "\n"
        << "# test: "
        << (hasBackground_ ? "one-sided Fisher exact test, foreground vs background genes"
                           : "binomial probability from the input's own hit rates")
        << "\n"
        << "# tests (T): " << tests << "\n"
        << "# permutations: " << permutationMinima.size() << "\n";
    for (const std::string& line : notes.more) out << line << "\n";
}
