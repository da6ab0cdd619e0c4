// Permutations: pseudo-foregrounds drawn per permutation, either found by one enumeration over
// the pool (PoolPermutations) or by a whole search each, and fwer and fdr from their p-values.
#include "modules/Permutations.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <numeric>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "common/DiscardStream.hpp"
#include "common/Parallel.hpp"
#include "common/Random.hpp"
#include "common/Text.hpp"
#include "modules/Discovery.hpp"
#include "modules/ModuleGenes.hpp"
#include "modules/PoolPermutations.hpp"
#include "modules/Probability.hpp"

namespace {

// The grid: bins of 0.001 decades from p = 1e-330 (all smaller p, 0 included, in the
// first) to 1.
constexpr double kDecadesPerBin = 0.001;
constexpr size_t kBins = 330001;

}  // namespace

size_t PermutationPValues::binOf(double p) {
    if (!(p > 0)) return 0;
    const double decades = std::log10(std::min(p, 1.0)) + 330;
    return std::min(kBins - 1, static_cast<size_t>(std::max(0.0, decades / kDecadesPerBin)));
}

void PermutationPValues::add(const std::vector<double>& pValues) {
    if (grid_.empty() && values_.size() + pValues.size() <= kept_) {
        values_.insert(values_.end(), pValues.begin(), pValues.end());
        sorted_ = false;
        return;
    }
    if (grid_.empty()) {
        grid_.assign(kBins, 0);
        for (double p : values_) ++grid_[binOf(p)];
        std::vector<double>().swap(values_);
    }
    for (double p : pValues) ++grid_[binOf(p)];
    cumulative_.clear();
}

void PermutationPValues::add(std::vector<double>&& pValues) {
    if (grid_.empty() && values_.empty() && pValues.size() <= kept_) {
        values_ = std::move(pValues);
        sorted_ = false;
        return;
    }
    add(pValues);
}

double PermutationPValues::countAtMost(double p) const {
    if (grid_.empty()) {
        if (!sorted_) std::sort(values_.begin(), values_.end());
        sorted_ = true;
        return static_cast<double>(std::upper_bound(values_.begin(), values_.end(), p) -
                                   values_.begin());
    }
    if (cumulative_.empty()) {
        cumulative_.resize(kBins);
        std::partial_sum(grid_.begin(), grid_.end(), cumulative_.begin());
    }
    return static_cast<double>(cumulative_[binOf(p)]);
}

HitStage pooledGenes(const HitStage& foreground, const HitStage& background) {
    std::vector<SeqHit> genes = foreground.seqHits;
    genes.insert(genes.end(), background.seqHits.begin(), background.seqHits.end());
    return HitStage(foreground, std::move(genes));
}

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

std::vector<uint32_t> drawForeground(const Strata* strata, uint32_t seed, uint32_t permutation,
                                     uint32_t drawn, uint32_t total) {
    return strata ? stratifiedForeground(*strata, seed, permutation)
                  : permutedForeground(seed, permutation, drawn, total);
}

double familyWiseError(const std::vector<double>& sortedMinima, double p) {
    const auto atMost =
        std::upper_bound(sortedMinima.begin(), sortedMinima.end(), p * (1 + kPValueTolerance)) -
        sortedMinima.begin();
    return (1 + static_cast<double>(atMost)) / (static_cast<double>(sortedMinima.size()) + 1);
}

std::vector<double> permutationFdr(const std::vector<double>& observed,
                                   const PermutationPValues& permuted, int32_t permutations) {
    std::vector<size_t> order(observed.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return observed[a] < observed[b]; });
    std::vector<double> fdr(observed.size(), 1.0);
    if (permutations <= 0) return fdr;
    // From the largest p down, the running minimum of E(p') / R(p') over p' >= p.
    double best = 1.0;
    size_t end = order.size();
    while (end > 0) {
        const double p = observed[order[end - 1]];
        // The observed p-values tied with p (within the tolerance) share its value.
        size_t begin = end - 1;
        while (begin > 0 && observed[order[begin - 1]] >= p / (1 + kPValueTolerance)) --begin;
        const double limit = p * (1 + kPValueTolerance);
        const double expected = permuted.countAtMost(limit) / permutations;
        best = std::min(best, expected / static_cast<double>(end));
        for (size_t i = begin; i < end; ++i) fdr[order[i]] = std::min(1.0, best);
        end = begin;
    }
    return fdr;
}

PermutationProgress::PermutationProgress(Progress progress, int32_t count)
    : progress_(progress), count_(count), start_(Clock::now()), last_(start_) {}

void PermutationProgress::done(int32_t done) {
    if (progress_.silentSink() || done == lastDone_) return;
    lastDone_ = done;
    const auto now = Clock::now();
    const bool last = done == count_;
    if (progress_.terminal()) {
        if (!last && now - last_ < std::chrono::seconds(1)) return;
        last_ = now;
        const std::string text = status(done, now);
        if (last)
            progress_.rewrite(text + "\n");
        else
            progress_.rewrite(text);
        return;
    }
    const int64_t tenth = 10 * static_cast<int64_t>(done) / count_;
    if (tenth == lastTenth_) return;
    lastTenth_ = tenth;
    progress_.line(status(done, now));
}

std::string PermutationProgress::status(int32_t done, Clock::time_point now) const {
    std::string text = "Permutations: " + withThousands(done) + " of " + withThousands(count_);
    if (done == count_) return text + ", done";
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double left = seconds / std::max(done, 1) * (count_ - done);
    return text + ", about " + withThousands(std::llround(left)) + " s left";
}

PermutationSlice PermutationSlice::of(const Args& settings) {
    if (settings.shardCount == 0) return all(settings.permutations);
    const int64_t p = settings.permutations, n = settings.shardCount, k = settings.shardIndex;
    const auto first = static_cast<int32_t>((k - 1) * p / n);
    return {first, static_cast<int32_t>(k * p / n) - first, settings.permutations, true};
}

PermutationOutcome runPermutations(const Args& settings, const HitStage& foreground,
                                   const HitStage& background, const PermutationSlice& slice,
                                   uint32_t seed, size_t observed, const PermutationWatch& watch,
                                   const Strata* strata) {
    if (settings.permutationMethod == PermutationMethod::Search)
        return searchPermutations(settings, foreground, background, slice, seed, watch, strata);
    return poolPermutations(settings, foreground, background, slice, seed, observed, watch, strata);
}

PermutationOutcome searchPermutations(const Args& settings, const HitStage& foreground,
                                      const HitStage& background, const PermutationSlice& slice,
                                      uint32_t seed, const PermutationWatch& watch,
                                      const Strata* strata) {
    const int32_t count = slice.count;
    const HitStage pool = pooledGenes(foreground, background);
    const std::optional<StratifiedTest> test =
        strata ? std::optional<StratifiedTest>(*strata) : std::nullopt;
    const auto drawn = static_cast<uint32_t>(foreground.seqHits.size());
    const auto total = static_cast<uint32_t>(pool.seqHits.size());
    const ModuleGenes poolGenes(pool, settings);
    const LogFactorials logs(total);

    // Genes of the pool holding a module, by module: the same in every permutation (their
    // number, or with strata the genes themselves).
    using Holders = std::pair<int64_t, std::vector<int32_t>>;
    std::unordered_map<std::string, Holders> holdersOf;
    std::shared_mutex holdersLock;
    auto holders = [&](const std::vector<int32_t>& motifs,
                       ModuleGenes::Scratch& space) -> const Holders& {
        const std::string key(reinterpret_cast<const char*>(motifs.data()),
                              motifs.size() * sizeof(int32_t));
        {
            std::shared_lock<std::shared_mutex> lock(holdersLock);
            if (auto it = holdersOf.find(key); it != holdersOf.end()) return it->second;
        }
        const std::vector<int32_t>& genes = poolGenes.holders(motifs, space);
        Holders found{static_cast<int64_t>(genes.size()), {}};
        if (strata) found.second = genes;
        std::unique_lock<std::shared_mutex> lock(holdersLock);
        return holdersOf.emplace(key, std::move(found)).first->second;
    };

    Args one = settings;
    one.threads = 1;  // permutations, not the searches within them, run in parallel
    DiscardStream nowhere;
    PermutationOutcome outcome;
    if (slice.shard) outcome.pValues = PermutationPValues(SIZE_MAX);
    outcome.requested = count;
    std::vector<std::vector<double>> found(static_cast<size_t>(count));
    std::vector<char> complete(static_cast<size_t>(count), 0);
    bool stopped = false;
    PermutationProgress progress(watch.progress, count);
    auto stopRequested = [&] { return watch.stop && watch.stop->load(); };
    orderedParallelFor(
        found.size(), std::max(1, settings.threads),
        [&](size_t k) {
            if (stopRequested()) return;
            std::vector<SeqHit> sample;
            const std::vector<uint32_t> drew = drawForeground(
                strata, seed, static_cast<uint32_t>(slice.first) + static_cast<uint32_t>(k), drawn,
                total);
            for (uint32_t g : drew) sample.push_back(pool.seqHits[g]);
            const HitStage sampleHits(foreground, std::move(sample));
            const Discovery search(one, sampleHits, nowhere, Progress::silent(),
                                   ModuleOutput::RecordsOnly);
            ModuleGenes::Scratch space(foreground.motifNames.size());
            for (const ModuleRecord& record : search.records) {
                const Holders& held = holders(record.motifs, space);
                found[k].push_back(
                    test ? test->permutedP(held.second, drew)
                         : fisherUpperTail(record.genes, drawn, held.first, total, logs));
            }
            complete[k] = 1;
        },
        [&](size_t k) {
            // The permutations kept are the first ones, up to the first one not done.
            if (stopped || !complete[k]) {
                stopped = true;
                return;
            }
            const std::vector<double>& p = found[k];
            outcome.minima.push_back(p.empty() ? 1.0 : *std::min_element(p.begin(), p.end()));
            outcome.pValues.add(p);
            std::vector<double>().swap(found[k]);
            ++outcome.done;
            progress.done(outcome.done);
        });
    return outcome;
}

std::vector<double> permutationMinima(const Args& settings, const HitStage& foreground,
                                      const HitStage& background, int32_t count, uint32_t seed) {
    return runPermutations(settings, foreground, background, PermutationSlice::all(count), seed)
        .minima;
}
