// Module grammar. Each reported module is read over one instance per gene (the first the
// report prints), each instance as the first hit of each of its motifs. Four features:
// the left-to-right order of the motifs (by start, ties by the module's motif order), the
// strand pattern relative to the module's first motif, and per pair of motifs (a before b
// in the module's order) the distance start(b) - start(a), binned, and its helical phase
// (|distance| within 2 letters of a multiple of 10.5), counted only where the two sites do
// not overlap. A feature's statistic is the number
// of genes showing its most frequent value (for phase: the genes in phase). The null deals
// each instance's sites (start and width kept) to its motifs at random and flips each
// site's strand with probability 1/2; each module draws from its own generator. p is
// (1 + draws at least as large) / (N + 1). fwer is Westfall and Young's single-step
// adjustment over every row on one scale: each row's statistic x is read as its null tail
// T(x), worked out from the dealing (per instance the chance of each value; the count of a
// value is Poisson-binomial; T sums the tails over values), and fwer is
// (1 + draws whose smallest T over all rows is at most the row's) / (N + 1).
#include "modules/Grammar.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>

#include "common/Random.hpp"
#include "common/Text.hpp"

namespace {

// The grammar's own stream of draws, apart from the permutations' and the background's.
constexpr uint32_t kGrammarStream = 0x6772616d;
// A module holds at most eight motifs: an order is eight positions of three bits.
constexpr size_t kMostMotifs = 8;

// The most frequent of the values (the smallest among equally frequent: the shortest
// distance, the first order or strand pattern) and its count. Values are few (one per
// instance) and sorted many times per draw: an insertion sort while they are few.
std::pair<int64_t, int64_t> modeOf(std::vector<int64_t>& values) {
    if (values.size() <= 32) {
        for (size_t i = 1; i < values.size(); ++i) {
            const int64_t v = values[i];
            size_t at = i;
            for (; at > 0 && values[at - 1] > v; --at) values[at] = values[at - 1];
            values[at] = v;
        }
    } else {
        std::sort(values.begin(), values.end());
    }
    std::pair<int64_t, int64_t> best{0, 0};
    for (size_t i = 0; i < values.size();) {
        size_t j = i + 1;
        while (j < values.size() && values[j] == values[i]) ++j;
        if (static_cast<int64_t>(j - i) > best.second)
            best = {values[i], static_cast<int64_t>(j - i)};
        i = j;
    }
    return best;
}

// How many times the most frequent of the values occurs: what a null draw needs. A small
// open-addressed table for the few values of one draw, a sort for many.
int64_t largestCount(std::vector<int64_t>& values) {
    constexpr size_t kSlots = 64;
    if (values.size() > kSlots / 2) return modeOf(values).second;
    std::array<int64_t, kSlots> keys;
    std::array<uint8_t, kSlots> counts{};
    int64_t most = 0;
    for (int64_t v : values) {
        size_t at = static_cast<size_t>((static_cast<uint64_t>(v) * 0x9E3779B97F4A7C15ull) >> 58);
        while (counts[at] != 0 && keys[at] != v) at = (at + 1) % kSlots;
        keys[at] = v;
        most = std::max<int64_t>(most, ++counts[at]);
    }
    return most;
}

// The motifs of an instance from left to right, three bits each, the leftmost highest: keys
// compare as the orders do, position by position in the module's motif order.
int64_t orderKey(const GrammarInstance& sites) {
    // An insertion sort of at most eight motifs, stable: ties keep the module's order.
    std::array<int32_t, kMostMotifs> order{};
    const size_t k = std::min(sites.size(), kMostMotifs);
    for (size_t m = 0; m < k; ++m) {
        size_t at = m;
        while (at > 0 && sites[static_cast<size_t>(order[at - 1])].start > sites[m].start) {
            order[at] = order[at - 1];
            --at;
        }
        order[at] = static_cast<int32_t>(m);
    }
    int64_t key = 0;
    for (size_t m = 0; m < k; ++m) key = key << 3 | order[m];
    return key;
}

// A bit per motif, the first motif highest: set where the motif lies on the other strand
// than the module's first motif. Keys compare as the patterns do ('+' before '-').
int64_t strandKey(const GrammarInstance& sites) {
    int64_t key = 0;
    for (const GrammarSite& site : sites) key = key << 1 | (site.strand != sites[0].strand);
    return key;
}

int64_t spacingOf(const GrammarInstance& sites, size_t a, size_t b) {
    return int64_t{sites[b].start} - sites[a].start;
}

// Two sites that share a letter are two matrices reading one stretch of DNA, which similar
// matrices do at a fixed offset wherever either binds: such a pair has no spacing.
bool separate(const GrammarInstance& sites, size_t a, size_t b) {
    const GrammarSite& x = sites[a];
    const GrammarSite& y = sites[b];
    return int64_t{x.start} + x.width <= y.start || int64_t{y.start} + y.width <= x.start;
}

int64_t binned(int64_t distance, int32_t bin) {
    const int64_t q = distance / bin;
    return (q * bin > distance ? q - 1 : q) * bin;
}

// Within 2 letters of a multiple of 10.5: twice the distance within 4 of a multiple of 21,
// in whole numbers.
bool inPhase(int64_t distance) {
    const int64_t r = 2 * std::llabs(distance) % 21;
    return r <= 4 || 21 - r <= 4;
}

// The pairs (a, b), a before b, in row order.
std::vector<std::pair<size_t, size_t>> pairsOf(size_t k) {
    std::vector<std::pair<size_t, size_t>> out;
    for (size_t a = 0; a < k; ++a)
        for (size_t b = a + 1; b < k; ++b) out.emplace_back(a, b);
    return out;
}

// Each row's most frequent value and the instances that show it, in row order: order,
// strands, the pairs' spacings, their phases (value and count: the instances in phase).
// One rule for the observed rows and every null draw; `values` is room for one value per
// instance.
void modesOf(const std::vector<GrammarInstance>& instances,
             const std::vector<std::pair<size_t, size_t>>& pairs, int32_t bin,
             std::vector<std::pair<int64_t, int64_t>>& out, std::vector<int64_t>& values,
             bool countsOnly = false) {
    // A draw needs only the counts; the observed rows their values too.
    auto mode = [&] {
        return countsOnly ? std::pair<int64_t, int64_t>{0, largestCount(values)} : modeOf(values);
    };
    out.clear();
    const size_t n = instances.size();
    values.resize(n);
    for (size_t i = 0; i < n; ++i) values[i] = orderKey(instances[i]);
    out.push_back(mode());
    for (size_t i = 0; i < n; ++i) values[i] = strandKey(instances[i]);
    out.push_back(mode());
    // Every pair's distance in one pass over each instance (pair-major), overlapping sites
    // marked; then each pair's most frequent distance.
    constexpr int64_t kOverlap = INT64_MIN;
    std::vector<int64_t> distances(pairs.size() * n);
    std::vector<int64_t> phased(pairs.size(), 0);
    for (size_t i = 0; i < n; ++i) {
        const GrammarInstance& sites = instances[i];
        for (size_t p = 0; p < pairs.size(); ++p) {
            const auto [a, b] = pairs[p];
            const int64_t d = spacingOf(sites, a, b);
            const bool apart = separate(sites, a, b);
            distances[p * n + i] = !apart ? kOverlap : bin == 1 ? d : binned(d, bin);
            phased[p] += apart && inPhase(d);
        }
    }
    for (size_t p = 0; p < pairs.size(); ++p) {
        values.clear();
        for (size_t i = 0; i < n; ++i)
            if (distances[p * n + i] != kOverlap) values.push_back(distances[p * n + i]);
        out.push_back(mode());
    }
    for (int64_t count : phased) out.emplace_back(count, count);
}

// The quantile q of sorted values, interpolated linearly between neighbours.
double quantile(const std::vector<int64_t>& sorted, double q) {
    if (sorted.empty()) return 0;
    const double at = q * static_cast<double>(sorted.size() - 1);
    const auto low = static_cast<size_t>(std::floor(at));
    const size_t high = std::min(low + 1, sorted.size() - 1);
    return static_cast<double>(sorted[low]) +
           (at - static_cast<double>(low)) * static_cast<double>(sorted[high] - sorted[low]);
}

std::string orderText(int64_t key, const std::vector<int32_t>& motifs,
                      const std::vector<std::string>& names) {
    std::string out;
    for (size_t k = 0; k < motifs.size(); ++k) {
        if (k) out += ',';
        const auto at = static_cast<size_t>((key >> (3 * (motifs.size() - 1 - k))) & 7);
        out += names[static_cast<size_t>(motifs[at])];
    }
    return out;
}

std::string strandText(int64_t key, size_t k) {
    std::string out;
    for (size_t m = 0; m < k; ++m) out += (key >> (k - 1 - m)) & 1 ? '-' : '+';
    return out;
}

// The distribution of a sum of independent Bernoulli trials of the given chances (a
// Poisson-binomial count) over 0..most, counts of `most` or more pooled at `most`.
std::vector<double> countMass(const std::vector<double>& chances, size_t most) {
    std::vector<double> mass(most + 1, 0.0);
    mass[0] = 1;
    if (most == 0) return mass;
    for (double q : chances) {
        mass[most] += mass[most - 1] * q;
        for (size_t c = most - 1; c > 0; --c) mass[c] = mass[c] * (1 - q) + mass[c - 1] * q;
        mass[0] *= 1 - q;
    }
    return mass;
}

// P(count >= x) for x = 0..most of that count.
std::vector<double> tailsOfCount(const std::vector<double>& chances, size_t most) {
    std::vector<double> tails(most + 1, 0.0);
    // Counts above the number of trials never happen: the work follows the smaller.
    const std::vector<double> mass = countMass(chances, std::min(most, chances.size()));
    double sum = 0;
    for (size_t c = mass.size(); c-- > 0;) tails[c] = sum += mass[c];
    return tails;
}

// Per instance, the chance of each binned spacing of a pair under the null: the pair's two
// sites are an ordered pair of distinct sites drawn evenly.
std::vector<std::pair<int64_t, double>> spacingChances(const GrammarInstance& sites, int32_t bin) {
    std::vector<std::pair<int64_t, double>> out;
    const double each = 1.0 / static_cast<double>(sites.size() * (sites.size() - 1));
    for (size_t a = 0; a < sites.size(); ++a)
        for (size_t b = 0; b < sites.size(); ++b)
            if (a != b && separate(sites, a, b))
                out.emplace_back(binned(spacingOf(sites, a, b), bin), each);
    std::sort(out.begin(), out.end());
    size_t kept = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (kept && out[kept - 1].first == out[i].first)
            out[kept - 1].second += out[i].second;
        else
            out[kept++] = out[i];
    }
    out.resize(kept);
    return out;
}

// A row's tail under the null, T(x) >= P(statistic >= x) for x = 0..most: for order,
// strands and spacing, the sum over every value of P(that value's count >= x) (a bound on
// the most frequent value's tail, close where values are many and rare); for phase, the
// exact tail. The per-instance chances follow from the dealing alone, so T is worked out
// once per row, and rows of every feature and module share its scale: fwer compares these
// tails, which a rare coincidence and a planted arrangement are measured on alike.
std::vector<double> nullTails(GrammarFeature feature, const std::vector<GrammarInstance>& instances,
                              size_t k, int32_t bin, size_t most) {
    std::vector<double> out(most + 1, 0.0);
    auto addTails = [&](const std::vector<double>& chances, double times) {
        const std::vector<double> tails = tailsOfCount(chances, most);
        for (size_t x = 0; x <= most; ++x) out[x] += times * tails[x];
    };
    if (feature == GrammarFeature::Order) {
        // Sites that share a start fall in the module's order whoever holds them: an order
        // is dealt with chance (product of the tied groups' factorials) / k! at most.
        std::vector<double> chances;
        double orders = 1;
        for (size_t m = 2; m <= k; ++m) orders *= static_cast<double>(m);
        for (const GrammarInstance& sites : instances) {
            std::vector<int32_t> starts;
            for (const GrammarSite& site : sites) starts.push_back(site.start);
            std::sort(starts.begin(), starts.end());
            double tied = 1;
            for (size_t i = 0, run = 1; i + 1 < starts.size(); ++i) {
                run = starts[i + 1] == starts[i] ? run + 1 : 1;
                tied *= static_cast<double>(run);
            }
            chances.push_back(tied / orders);
        }
        addTails(chances, orders);
    } else if (feature == GrammarFeature::Strands) {
        const double patterns = std::ldexp(1.0, static_cast<int>(k) - 1);
        addTails(std::vector<double>(instances.size(), 1 / patterns), patterns);
    } else if (feature == GrammarFeature::Spacing) {
        std::vector<std::pair<int64_t, double>> all;  // (value, chance), one per instance
        for (const GrammarInstance& sites : instances) {
            const auto chances = spacingChances(sites, bin);
            all.insert(all.end(), chances.begin(), chances.end());
        }
        std::stable_sort(all.begin(), all.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        for (size_t i = 0; i < all.size();) {
            std::vector<double> chances;
            size_t j = i;
            for (; j < all.size() && all[j].first == all[i].first; ++j)
                chances.push_back(all[j].second);
            addTails(chances, 1);
            i = j;
        }
    } else {
        std::vector<double> chances;
        for (const GrammarInstance& sites : instances) {
            double phased = 0;
            for (size_t a = 0; a < k; ++a)
                for (size_t b = 0; b < k; ++b)
                    phased += a != b && separate(sites, a, b) && inPhase(spacingOf(sites, a, b));
            chances.push_back(phased / static_cast<double>(k * (k - 1)));
        }
        addTails(chances, 1);
    }
    for (double& t : out) t = std::min(t, 1.0);
    return out;
}

// The hashes of the letters around each of an instance's sites (0 where a site is not in
// its gene's hit list).
std::vector<uint64_t> siteHashes(const GrammarInstance& sites, int32_t gene,
                                 const SiteContexts& contexts) {
    const std::vector<MHit>& hits = (*contexts.genes)[static_cast<size_t>(gene)].hits;
    const std::vector<uint64_t>& hashes = (*contexts.hashes)[static_cast<size_t>(gene)];
    std::vector<uint64_t> out;
    for (const GrammarSite& site : sites) {
        auto at = std::lower_bound(hits.begin(), hits.end(), site.start,
                                   [](const MHit& h, int32_t start) { return h.start < start; });
        while (at != hits.end() && at->start == site.start &&
               (at->end - at->start + 1 != site.width || at->strand != site.strand))
            ++at;
        const bool found = at != hits.end() && at->start == site.start;
        out.push_back(found ? hashes[static_cast<size_t>(at - hits.begin())] : 0);
    }
    return out;
}

}  // namespace

std::vector<GrammarInstance> grammarInstances(const ModuleRecord& module,
                                              const SiteContexts* contexts) {
    std::vector<GrammarInstance> out;
    std::vector<int32_t> seen;
    std::vector<uint64_t> seenSites;
    for (const InstanceRecord& instance : module.found) {
        if (std::find(seen.begin(), seen.end(), instance.gene) != seen.end()) continue;
        seen.push_back(instance.gene);
        GrammarInstance sites(module.motifs.size());
        std::vector<char> found(module.motifs.size(), 0);
        for (const MHit& hit : instance.hits) {
            const auto at = std::lower_bound(module.motifs.begin(), module.motifs.end(), hit.motif);
            if (at == module.motifs.end() || *at != hit.motif) continue;
            const auto k = static_cast<size_t>(at - module.motifs.begin());
            if (found[k] && sites[k].start <= hit.start) continue;
            sites[k] = {hit.start, hit.end - hit.start + 1, hit.strand};
            found[k] = 1;
        }
        if (!std::all_of(found.begin(), found.end(), [](char f) { return f != 0; })) continue;
        if (contexts) {
            // A site in letters already seen (with their flanks) is the same DNA again.
            const std::vector<uint64_t> hashes = siteHashes(sites, instance.gene, *contexts);
            const bool again = std::any_of(hashes.begin(), hashes.end(), [&](uint64_t h) {
                return h != 0 &&
                       std::find(seenSites.begin(), seenSites.end(), h) != seenSites.end();
            });
            if (again) continue;
            seenSites.insert(seenSites.end(), hashes.begin(), hashes.end());
        }
        out.push_back(std::move(sites));
    }
    return out;
}

void drawNull(const GrammarInstance& instance, GrammarInstance& out, std::mt19937& generator) {
    out.assign(instance.begin(), instance.end());
    for (size_t k = out.size(); k > 1; --k)
        std::swap(out[k - 1], out[uniformBelow(generator, static_cast<uint32_t>(k))]);
    // One word of the generator flips up to 32 strands, a bit each.
    uint32_t bits = 0;
    for (size_t k = 0; k < out.size(); ++k) {
        if (k % 32 == 0) bits = static_cast<uint32_t>(generator());
        if ((bits >> (k % 32)) & 1) out[k].strand = out[k].strand == '+' ? '-' : '+';
    }
}

GrammarInstance nullInstance(const GrammarInstance& instance, std::mt19937& generator) {
    GrammarInstance out;
    drawNull(instance, out, generator);
    return out;
}

GrammarObserved observeGrammar(int32_t module, const std::vector<int32_t>& motifs,
                               const std::vector<GrammarInstance>& instances,
                               const std::vector<std::string>& motifNames, int32_t bin) {
    GrammarObserved out;
    const size_t k = motifs.size();
    const auto total = static_cast<int64_t>(instances.size());
    std::vector<std::pair<int64_t, int64_t>> modes;
    std::vector<int64_t> values;
    modesOf(instances, pairsOf(k), bin, modes, values);
    auto add = [&](GrammarFeature feature, int32_t a, int32_t b, std::string value) {
        const int64_t genes = modes[out.rows.size()].second;
        out.rows.push_back({module, feature, a, b, std::move(value), genes, total, 0, 0, 1, 1});
        out.statistics.push_back(genes);
    };
    add(GrammarFeature::Order, -1, -1, orderText(modes[0].first, motifs, motifNames));
    add(GrammarFeature::Strands, -1, -1, strandText(modes[1].first, k));
    const auto pairs = pairsOf(k);
    for (const auto& [a, b] : pairs) {
        add(GrammarFeature::Spacing, static_cast<int32_t>(a), static_cast<int32_t>(b),
            std::to_string(modes[out.rows.size()].first));
        values.clear();
        for (const GrammarInstance& sites : instances)
            if (separate(sites, a, b)) values.push_back(spacingOf(sites, a, b));
        std::sort(values.begin(), values.end());
        out.rows.back().median = quantile(values, 0.5);
        out.rows.back().iqr = quantile(values, 0.75) - quantile(values, 0.25);
    }
    for (const auto& [a, b] : pairs) {
        const auto phased = static_cast<double>(modes[out.rows.size()].second);
        add(GrammarFeature::Phase, static_cast<int32_t>(a), static_cast<int32_t>(b),
            formatted("%.6g", total ? phased / static_cast<double>(total) : 0));
    }
    return out;
}

std::vector<GrammarRow> moduleGrammar(const std::vector<ModuleRecord>& modules,
                                      const std::vector<std::string>& motifNames,
                                      const GrammarSettings& settings,
                                      const SiteContexts* contexts) {
    const auto draws = static_cast<size_t>(settings.draws);
    std::vector<GrammarRow> rows;
    // Per row the null tail of its observed statistic; per draw the smallest over every row.
    std::vector<double> observedTails, drawMinima(draws, 1.0);
    for (size_t m = 0; m < modules.size(); ++m) {
        const std::vector<GrammarInstance> instances = grammarInstances(modules[m], contexts);
        GrammarObserved observed = observeGrammar(static_cast<int32_t>(m), modules[m].motifs,
                                                  instances, motifNames, settings.bin);
        const size_t k = modules[m].motifs.size();
        std::vector<std::vector<int64_t>> nulls(observed.rows.size(), std::vector<int64_t>(draws));
        std::mt19937 generator =
            drawGenerator({settings.seed, kGrammarStream, static_cast<uint32_t>(m)});
        std::vector<GrammarInstance> drawn(instances.size());
        const auto pairs = pairsOf(k);
        std::vector<std::pair<int64_t, int64_t>> modes;
        std::vector<int64_t> values;
        for (size_t j = 0; j < draws; ++j) {
            for (size_t i = 0; i < instances.size(); ++i)
                drawNull(instances[i], drawn[i], generator);
            modesOf(drawn, pairs, settings.bin, modes, values, true);
            for (size_t r = 0; r < modes.size(); ++r) nulls[r][j] = modes[r].second;
        }
        // The dealing gives every pair of a module the same chances: one table of tails per
        // feature, as long as the largest statistic of its rows needs.
        std::array<int64_t, 4> most{1, 1, 1, 1};
        for (size_t r = 0; r < observed.rows.size(); ++r) {
            int64_t& longest = most[static_cast<size_t>(observed.rows[r].feature)];
            longest = std::max({longest, observed.statistics[r],
                                *std::max_element(nulls[r].begin(), nulls[r].end())});
        }
        std::array<std::vector<double>, 4> tails;
        for (size_t f = 0; f < tails.size(); ++f)
            tails[f] = nullTails(static_cast<GrammarFeature>(f), instances, k, settings.bin,
                                 static_cast<size_t>(most[f]));
        for (size_t r = 0; r < observed.rows.size(); ++r) {
            const int64_t observedValue = observed.statistics[r];
            const auto asLarge = std::count_if(nulls[r].begin(), nulls[r].end(),
                                               [&](int64_t v) { return v >= observedValue; });
            observed.rows[r].pValue =
                static_cast<double>(1 + asLarge) / static_cast<double>(draws + 1);
            const std::vector<double>& tail = tails[static_cast<size_t>(observed.rows[r].feature)];
            observedTails.push_back(tail[static_cast<size_t>(observedValue)]);
            for (size_t j = 0; j < draws; ++j)
                drawMinima[j] = std::min(drawMinima[j], tail[static_cast<size_t>(nulls[r][j])]);
        }
        rows.insert(rows.end(), observed.rows.begin(), observed.rows.end());
    }
    std::sort(drawMinima.begin(), drawMinima.end());
    for (size_t r = 0; r < rows.size(); ++r) {
        const auto atMostAsLow =
            std::upper_bound(drawMinima.begin(), drawMinima.end(), observedTails[r]) -
            drawMinima.begin();
        rows[r].fwer = static_cast<double>(1 + atMostAsLow) / static_cast<double>(draws + 1);
    }
    return rows;
}

namespace {

// The point of a count's distribution where its cumulative share first reaches `share`.
int64_t countPoint(const std::vector<double>& mass, double share) {
    double sum = 0;
    for (size_t c = 0; c < mass.size(); ++c)
        if ((sum += mass[c]) >= share - 1e-12) return static_cast<int64_t>(c);
    return static_cast<int64_t>(mass.size()) - 1;
}

}  // namespace

SpacingHistogram spacingHistogram(const std::vector<GrammarInstance>& instances, size_t a, size_t b,
                                  int32_t bin, size_t mostBins) {
    SpacingHistogram out;
    int64_t reach = 0;
    for (const GrammarInstance& sites : instances)
        for (size_t x = 0; x < sites.size(); ++x)
            for (size_t y = 0; y < sites.size(); ++y)
                if (x != y && separate(sites, x, y))
                    reach = std::max<int64_t>(reach, std::llabs(spacingOf(sites, x, y)));
    const auto bins = static_cast<int64_t>(std::max<size_t>(mostBins, 1));
    const int64_t wide = (2 * reach + bins) / bins;  // ceil((2 reach + 1) / bins)
    out.bin = std::max<int64_t>(bin, (wide + bin - 1) / bin * bin);
    out.from = binned(-reach, static_cast<int32_t>(out.bin));
    const auto count = static_cast<size_t>((reach - out.from) / out.bin + 1);
    out.observed.assign(count, 0);
    std::vector<std::vector<double>> chances(count);
    for (const GrammarInstance& sites : instances) {
        if (sites.size() > a && sites.size() > b && separate(sites, a, b))
            ++out.observed[static_cast<size_t>((spacingOf(sites, a, b) - out.from) / out.bin)];
        std::vector<double> here(count, 0.0);
        const double each = 1.0 / static_cast<double>(sites.size() * (sites.size() - 1));
        for (size_t x = 0; x < sites.size(); ++x)
            for (size_t y = 0; y < sites.size(); ++y)
                if (x != y && separate(sites, x, y))
                    here[static_cast<size_t>((spacingOf(sites, x, y) - out.from) / out.bin)] +=
                        each;
        for (size_t c = 0; c < count; ++c)
            if (here[c] > 0) chances[c].push_back(here[c]);
    }
    for (const std::vector<double>& bin_chances : chances) {
        double mean = 0, variance = 0;
        for (double q : bin_chances) mean += q, variance += q * (1 - q);
        // The band's top lies far below the trials where the chances are small.
        const auto most =
            std::min(bin_chances.size(), static_cast<size_t>(mean + 8 * std::sqrt(variance) + 10));
        const std::vector<double> mass = countMass(bin_chances, most);
        out.mean.push_back(mean);
        out.low.push_back(countPoint(mass, 0.025));
        out.high.push_back(countPoint(mass, 0.975));
    }
    return out;
}

void writeGrammar(std::ostream& out, const std::vector<GrammarRow>& rows,
                  const std::vector<ModuleRecord>& modules,
                  const std::vector<std::string>& motifNames, const GrammarSettings& settings,
                  const StatsNotes& notes) {
    static const char* const kFeatures[] = {"order", "strands", "spacing", "phase"};
    out << "module\tmotifs\tfeature\tmotif_a\tmotif_b\tvalue\tgenes\tgenes_total\tmedian\tiqr"
           "\tp_value\tfwer\n";
    for (const GrammarRow& row : rows) {
        const ModuleRecord& module = modules[static_cast<size_t>(row.module)];
        std::string line = "M";
        line.append(std::to_string(row.module + 1)).append("\t");
        for (size_t k = 0; k < module.motifs.size(); ++k)
            line.append(k ? "," : "").append(motifNames[static_cast<size_t>(module.motifs[k])]);
        line.append("\t").append(kFeatures[static_cast<int>(row.feature)]).append("\t");
        if (row.a >= 0)
            line.append(motifNames[static_cast<size_t>(module.motifs[static_cast<size_t>(row.a)])])
                .append("\t")
                .append(motifNames[static_cast<size_t>(module.motifs[static_cast<size_t>(row.b)])]);
        else
            line.append("\t");
        line.append("\t").append(row.value);
        line.append("\t").append(std::to_string(row.genes));
        line.append("\t").append(std::to_string(row.genesTotal)).append("\t");
        if (row.feature == GrammarFeature::Spacing)
            line.append(formatted("%.6g", row.median))
                .append("\t")
                .append(formatted("%.6g", row.iqr));
        else
            line.append("\t");
        line.append("\t").append(formatted("%.6g", row.pValue));
        line.append("\t").append(formatted("%.6g", row.fwer)).append("\n");
        out << line;
    }
    out << "# program: " << notes.program << "\n"
        << "# command: " << notes.commandLine << "\n"
        << "# random seed: " << (notes.seed ? std::to_string(*notes.seed) : "none") << "\n"
        << "# instances: one per gene, the first the report prints; per motif its first hit; "
           "an instance with a site in the same letters (and 16 on each side, on either strand) "
           "as a site of an instance taken before is the same stretch of DNA and left out\n"
        << "# order: motifs by start, ties in the module's order; strands: relative to the "
           "module's first motif; spacing: start(motif_b) - start(motif_a), in bins of "
        << settings.bin
        << " letters (value: the bin's lower edge); phase: share of |spacing| within 2 letters "
           "of a multiple of 10.5; spacing and phase count only sites that do not overlap\n"
        << "# null: " << settings.draws
        << " draws; in each instance the sites (start, width) are dealt to the motifs at "
           "random and each strand is flipped with probability 1/2\n"
        << "# p_value: (1 + draws whose most frequent value is in as many genes, or whose "
           "phase share is as large) / (N + 1)\n"
        << "# fwer: Westfall and Young's single-step adjustment over the " << rows.size()
        << " rows of the table: (1 + draws whose smallest null tail over all rows is at most "
           "the row's) / (N + 1); a row's null tail T(x) >= P(statistic >= x) follows from the "
           "dealing: per instance the chance of each value, the count of a value "
           "Poisson-binomial, T the sum of its tails over the values\n";
}
