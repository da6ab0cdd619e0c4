// Strata: length bins at the quantiles of the pooled lengths crossed with the GC bins, the
// strata without both kinds of gene left out, within-stratum draws for the permutations, and
// the stratified test from the strata's margins.
#include "modules/Strata.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

#include "common/Random.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"

namespace {

constexpr int kGcBins = 11;
const char* const kGcEdges[] = {"0",    "0.20", "0.25", "0.30", "0.35", "0.40",
                                "0.45", "0.50", "0.60", "0.70", "0.80", "1"};

// The lower edges of the length bins: the (i/N)-quantiles of the pooled lengths. Where many
// genes share one length (regions cut to 2,000 letters), a quantile that falls on an earlier
// edge moves to the next longer length, so that the genes beyond are still told apart.
std::vector<int64_t> lengthEdges(std::vector<int64_t> lengths, int32_t bins) {
    std::sort(lengths.begin(), lengths.end());
    std::vector<int64_t> edges{0};
    for (int32_t i = 1; i < bins; ++i) {
        int64_t edge = lengths[lengths.size() * static_cast<size_t>(i) / static_cast<size_t>(bins)];
        if (edge <= edges.back()) {
            const auto longer = std::upper_bound(lengths.begin(), lengths.end(), edges.back());
            if (longer == lengths.end()) break;
            edge = *longer;
        }
        edges.push_back(edge);
    }
    return edges;
}

std::string lengthRange(const std::vector<int64_t>& edges, size_t bin) {
    const std::string from = withThousands(edges[bin]);
    if (bin + 1 == edges.size()) return "length >= " + from;
    return "length " + from + "-" + withThousands(edges[bin + 1] - 1);
}

}  // namespace

Strata stratify(const std::vector<GeneShape>& foreground, const std::vector<GeneShape>& background,
                bool byLength, bool byGc, int32_t lengthBins) {
    std::vector<GeneShape> genes = foreground;
    genes.insert(genes.end(), background.begin(), background.end());
    std::vector<int64_t> lengths;
    for (const GeneShape& gene : genes) lengths.push_back(gene.length);
    const std::vector<int64_t> edges =
        byLength && !genes.empty() ? lengthEdges(lengths, lengthBins) : std::vector<int64_t>{0};
    // Cells by (length bin, GC bin), then the informative ones numbered in that order.
    std::vector<int32_t> cell(genes.size());
    std::map<int32_t, std::pair<int64_t, int64_t>> counts;  // foreground, background genes
    for (size_t g = 0; g < genes.size(); ++g) {
        const auto bin =
            std::upper_bound(edges.begin(), edges.end(), genes[g].length) - edges.begin() - 1;
        cell[g] = static_cast<int32_t>(bin) * kGcBins + (byGc ? gcBin(genes[g].gc()) : 0);
        auto& [inForeground, inBackground] = counts[cell[g]];
        ++(g < foreground.size() ? inForeground : inBackground);
    }
    Strata strata;
    std::map<int32_t, int32_t> stratumOf;
    for (const auto& [key, count] : counts) {
        if (count.first == 0 || count.second == 0) continue;
        stratumOf[key] = static_cast<int32_t>(strata.all.size());
        strata.foreground.push_back(count.first);
        strata.all.push_back(count.first + count.second);
        std::string what;
        if (byLength) what = lengthRange(edges, static_cast<size_t>(key / kGcBins));
        if (byGc)
            what += std::string(what.empty() ? "" : ", ") + "GC " + kGcEdges[key % kGcBins] + "-" +
                    kGcEdges[key % kGcBins + 1];
        strata.notes.push_back("# stratum " + std::to_string(strata.all.size()) + ": " + what +
                               ", " + withThousands(count.first) + " foreground and " +
                               withThousands(count.second) + " background genes");
    }
    for (size_t g = 0; g < genes.size(); ++g) {
        const auto it = stratumOf.find(cell[g]);
        strata.of.push_back(it == stratumOf.end() ? -1 : it->second);
        if (it == stratumOf.end())
            ++(g < foreground.size() ? strata.leftForeground : strata.leftBackground);
    }
    if (strata.all.empty())
        die("Error: --stratify finds no stratum that holds both foreground and background "
            "genes (every foreground gene differs from every background gene in length or GC): "
            "there is nothing to compare; give a background of the foreground's kind");
    return strata;
}

std::string strataNotes(const Strata& strata) {
    std::string out =
        "# strata: " + std::to_string(strata.size()) +
        "; the test is the exact stratified test (the conditional form of Cochran-Mantel-"
        "Haenszel): p = P(sum over strata of hypergeometric foreground holders >= observed), "
        "and permutations draw labels within each stratum; left out: " +
        withThousands(strata.leftForeground) + " foreground and " +
        withThousands(strata.leftBackground) + " background genes in strata without both\n";
    for (const std::string& line : strata.notes) out += line + "\n";
    return out;
}

std::vector<uint32_t> stratifiedForeground(const Strata& strata, uint32_t seed,
                                           uint32_t permutation) {
    std::vector<std::vector<uint32_t>> members(strata.size());
    std::vector<uint32_t> drawn;
    const auto foregroundSize = static_cast<size_t>(
        std::accumulate(strata.foreground.begin(), strata.foreground.end(), int64_t{0}) +
        strata.leftForeground);
    for (size_t g = 0; g < strata.of.size(); ++g) {
        if (strata.of[g] >= 0)
            members[static_cast<size_t>(strata.of[g])].push_back(static_cast<uint32_t>(g));
        else if (g < foregroundSize)
            drawn.push_back(static_cast<uint32_t>(g));  // left out: keeps its label
    }
    std::mt19937 generator = drawGenerator({seed, permutation});
    for (size_t s = 0; s < strata.size(); ++s) {
        std::vector<uint32_t>& genes = members[s];
        const auto want = static_cast<uint32_t>(strata.foreground[s]);
        const auto size = static_cast<uint32_t>(genes.size());
        // A partial Fisher-Yates shuffle: the first `want` places take a uniform sample.
        for (uint32_t i = 0; i < want; ++i)
            std::swap(genes[i], genes[i + uniformBelow(generator, size - i)]);
        drawn.insert(drawn.end(), genes.begin(), genes.begin() + want);
    }
    std::sort(drawn.begin(), drawn.end());
    return drawn;
}

StratifiedTest::StratifiedTest(const Strata& strata)
    : strata_(strata),
      logs_(strata.all.empty() ? 0 : *std::max_element(strata.all.begin(), strata.all.end())) {
    for (size_t s = 0; s < strata.size(); ++s) {
        const int64_t n = strata.foreground[s], N = strata.all[s];
        std::vector<double> floors{0.0};
        for (int64_t c = 1; c <= n; ++c)
            floors.push_back(floors.back() + std::log(static_cast<double>(n - c + 1)) -
                             std::log(static_cast<double>(N - c + 1)));
        logFloors_.push_back(std::move(floors));
    }
}

double StratifiedTest::upperTail(const std::vector<int64_t>& holders, int64_t a) const {
    // One stratum: Fisher's exact test itself.
    if (strata_.size() == 1)
        return fisherUpperTail(a, strata_.foreground[0], holders[0], strata_.all[0], logs_);
    const std::vector<double> all = tails(holders);
    return a < 0 ? 1.0 : all[static_cast<size_t>(std::min<int64_t>(a, all.size() - 1))];
}

std::vector<double> StratifiedTest::tails(const std::vector<int64_t>& holders) const {
    return stratifiedTails(strata_.foreground, holders, strata_.all, logs_);
}

double StratifiedTest::partsTail(const std::vector<int64_t>& partForeground,
                                 const std::vector<int64_t>& partAll,
                                 const std::vector<int64_t>& holders, int64_t a) const {
    if (strata_.size() == 1) {
        // As without strata: the module's genes are drawn from the part's.
        const int64_t n1 = std::max(partForeground[0], a);
        const int64_t n2 = std::max(partAll[0] - partForeground[0], holders[0] - a);
        return fisherUpperTail(a, n1, holders[0], n1 + n2, logs_);
    }
    const std::vector<double> all = stratifiedTails(partForeground, holders, partAll, logs_);
    return all[static_cast<size_t>(std::min<int64_t>(a, static_cast<int64_t>(all.size()) - 1))];
}

double StratifiedTest::logFloor(const int32_t* inForeground) const {
    double sum = 0;
    for (size_t s = 0; s < strata_.size(); ++s)
        sum += logFloors_[s][static_cast<size_t>(inForeground[s])];
    return sum;
}

double StratifiedTest::permutedP(const std::vector<int32_t>& holders,
                                 const std::vector<uint32_t>& drawn) const {
    std::vector<int64_t> all(strata_.size(), 0);
    int64_t a = 0;
    auto next = drawn.begin();
    for (int32_t g : holders) {
        const int32_t s = strata_.of[static_cast<size_t>(g)];
        if (s < 0) continue;
        ++all[static_cast<size_t>(s)];
        next = std::lower_bound(next, drawn.end(), static_cast<uint32_t>(g));
        a += next != drawn.end() && *next == static_cast<uint32_t>(g);
    }
    return upperTail(all, a);
}

void StratifiedTest::countHolders(const std::vector<int32_t>& genes, size_t foregroundGenes,
                                  std::vector<int64_t>& inForeground,
                                  std::vector<int64_t>& all) const {
    inForeground.assign(strata_.size(), 0);
    all.assign(strata_.size(), 0);
    for (int32_t g : genes) {
        const int32_t s = strata_.of[static_cast<size_t>(g)];
        if (s < 0) continue;
        ++all[static_cast<size_t>(s)];
        if (static_cast<size_t>(g) < foregroundGenes) ++inForeground[static_cast<size_t>(s)];
    }
}
