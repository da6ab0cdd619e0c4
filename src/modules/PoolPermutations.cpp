// The pool enumeration: a depth-first walk over motif sets with their pool holders, the
// permutations in batches of 1,024 as bit sets, holder counts per permutation by bit counts,
// and branches cut where no permutation can still reach -g holders or a smaller p (Tarone).
#include "modules/PoolPermutations.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <numeric>
#include <optional>

#include "common/BitCount.hpp"
#include "common/Parallel.hpp"
#include "common/Select.hpp"
#include "modules/ModuleGenes.hpp"
#include "modules/Probability.hpp"
#include "modules/WindowScan.hpp"

namespace {

constexpr size_t kBatch = 1024;
constexpr double kFdrExactBelow = 0.25;
// A computed Fisher p may lie a few rounding steps below its minimum attainable value: a
// branch is cut only where that minimum exceeds a bound by kPruneSlack, and the p-values up
// to kKeptSlack above the bound B are all kept.
constexpr double kPruneSlack = 4 * kPValueTolerance;
constexpr double kKeptSlack = 2 * kPValueTolerance;
// A thread hands its kept p-values on in chunks; B is lowered once a quarter more than the
// wanted number, and at least kLowerAfter more, are held.
constexpr size_t kHandOn = 1024;
constexpr size_t kLowerAfter = 4096;

using Mask = std::vector<uint64_t>;

bool anyBit(const uint64_t* mask, size_t words) {
    for (size_t w = 0; w < words; ++w)
        if (mask[w]) return true;
    return false;
}

// Calls visit(j) for each set bit j of the mask, ascending.
template <typename Visit>
void forEachBit(const uint64_t* mask, size_t words, Visit&& visit) {
    for (size_t w = 0; w < words; ++w)
        for (uint64_t rest = mask[w]; rest != 0; rest &= rest - 1)
            visit(64 * w + static_cast<size_t>(__builtin_ctzll(rest)));
}

// What every batch reads: the pooled genes, their pair table, the sets' rules, and with
// strata the stratified test.
struct Pool {
    Pool(const Args& settings, const HitStage& foreground, const HitStage& background,
         const Strata* strata);

    // Whether enough pool genes hold the pair for some permutation to find it.
    bool strongPair(int32_t a, int32_t b) const {
        const GeneSet* genes = holders.pairs().genes(a, b);
        return genes != nullptr && static_cast<int64_t>(genes->size()) >= enough;
    }

    HitStage genes;  // foreground, then background
    uint32_t drawn, total;
    size_t motifCount, geneWords;
    int32_t window, enough, minMotifs, maxMotifs;
    int threads;
    ModuleGenes holders;  // the pair table, each motif's genes and the hit index of the pool
    LogFactorials logs;
    std::vector<double> floorP;  // by holders c in the foreground: C(drawn, c) / C(total, c)
    const Strata* strata;
    std::optional<StratifiedTest> test;
    size_t strataCount = 0;
};

Pool::Pool(const Args& settings, const HitStage& foreground, const HitStage& background,
           const Strata* strata)
    : genes(pooledGenes(foreground, background)),
      drawn(static_cast<uint32_t>(foreground.seqHits.size())),
      total(static_cast<uint32_t>(genes.seqHits.size())),
      motifCount(genes.motifNames.size()),
      geneWords((total + 63) / 64),
      window(settings.windowSize),
      // A set without a gene is never reported, so -g 0 finds what -g 1 finds.
      enough(std::max(settings.geneNumber, 1)),
      minMotifs(settings.minMotifNumber),
      maxMotifs(settings.maxMotifNumber),
      threads(std::max(1, settings.threads)),
      holders(genes, settings),
      logs(total),
      strata(strata) {
    if (strata) {
        test.emplace(*strata);
        strataCount = strata->size();
    }
    for (uint32_t c = 0; c <= drawn; ++c)
        floorP.push_back(std::exp(logs(drawn) - logs(drawn - c) - logs(total) + logs(total - c)));
}

// Counts holders among the pseudo-foregrounds of a batch: by gene (each holder's bits of
// the permutations that drew it) or by permutation (a popcount of the holders against the
// permutation's genes), whichever is cheaper for the holders and permutations asked.
struct Counter {
    std::vector<int32_t> counts;     // by permutation of the batch
    Mask holderBits;                 // a bit per pool gene, cleared after use
    std::vector<int32_t> byStratum;  // with strata: by permutation and stratum
};

// One batch of permutations: the genes each drew, and the search order of each.
struct Batch {
    Batch(const Pool& pool, uint32_t seed, uint32_t first, size_t width);

    const uint64_t* permutationsOf(int32_t gene) const {
        return &permsOf[static_cast<size_t>(gene) * words];
    }
    bool drew(size_t permutation, int32_t gene) const {
        return (sample[permutation * pool.geneWords + (static_cast<size_t>(gene) >> 6)] >>
                (gene & 63)) &
               1;
    }
    int32_t positionOf(size_t permutation, int32_t motif) const {
        return position[permutation * pool.motifCount + static_cast<size_t>(motif)];
    }
    int32_t motifAt(size_t permutation, int32_t at) const {
        return order[permutation * pool.motifCount + static_cast<size_t>(at)];
    }
    // counter.counts[j], for each permutation j of `open`: the holders j drew.
    void count(const std::vector<int32_t>& holders, const uint64_t* open, Counter& counter) const;

    const Pool& pool;
    size_t width, words;
    Mask permsOf;  // by gene, `words` words: the permutations that drew it
    Mask sample;   // by permutation, pool.geneWords words: the genes it drew
    Mask inOrder;  // by motif, `words` words: the permutations whose search order holds it
    std::vector<int32_t> order;     // by permutation, its search order (motifCount places)
    std::vector<int32_t> position;  // by permutation and motif, its place in the order or -1
};

void Batch::count(const std::vector<int32_t>& holders, const uint64_t* open,
                  Counter& counter) const {
    const size_t asked = bitCount(open, words);
    const double byGene = static_cast<double>(holders.size()) *
                          (static_cast<double>(words) +
                           static_cast<double>(asked) * pool.drawn / std::max(pool.total, 1u));
    const double byPermutation = static_cast<double>(asked * pool.geneWords + 2 * holders.size());
    forEachBit(open, words, [&](size_t j) { counter.counts[j] = 0; });
    if (pool.test) {
        // Holders by stratum too, for the stratified test and its bound.
        const size_t strata = pool.strataCount;
        counter.byStratum.resize(width * strata);
        forEachBit(open, words,
                   [&](size_t j) { std::fill_n(&counter.byStratum[j * strata], strata, 0); });
        for (int32_t g : holders) {
            const int32_t s = pool.strata->of[static_cast<size_t>(g)];
            const uint64_t* drewIt = permutationsOf(g);
            for (size_t w = 0; w < words; ++w)
                for (uint64_t rest = drewIt[w] & open[w]; rest != 0; rest &= rest - 1) {
                    const size_t j = 64 * w + static_cast<size_t>(__builtin_ctzll(rest));
                    ++counter.counts[j];
                    if (s >= 0) ++counter.byStratum[j * strata + static_cast<size_t>(s)];
                }
        }
        return;
    }
    if (byGene <= byPermutation) {
        for (int32_t g : holders) {
            const uint64_t* drewIt = permutationsOf(g);
            for (size_t w = 0; w < words; ++w)
                for (uint64_t rest = drewIt[w] & open[w]; rest != 0; rest &= rest - 1)
                    ++counter.counts[64 * w + static_cast<size_t>(__builtin_ctzll(rest))];
        }
        return;
    }
    Mask& bits = counter.holderBits;
    for (int32_t g : holders) bits[static_cast<size_t>(g) >> 6] |= uint64_t{1} << (g & 63);
    andBitCounts(bits.data(), sample.data(), pool.geneWords, open, words, counter.counts.data());
    for (int32_t g : holders) bits[static_cast<size_t>(g) >> 6] = 0;
}

Batch::Batch(const Pool& pool, uint32_t seed, uint32_t first, size_t width)
    : pool(pool),
      width(width),
      words((width + 63) / 64),
      permsOf(pool.total * words, 0),
      sample(width * pool.geneWords, 0),
      inOrder(pool.motifCount * words, 0),
      order(width * pool.motifCount, -1),
      position(width * pool.motifCount, -1) {
    for (size_t j = 0; j < width; ++j)
        for (uint32_t g : drawForeground(pool.strata, seed, first + static_cast<uint32_t>(j),
                                         pool.drawn, pool.total)) {
            permsOf[g * words + j / 64] |= uint64_t{1} << (j & 63);
            sample[j * pool.geneWords + g / 64] |= uint64_t{1} << (g & 63);
        }
    // Each permutation's frequent partners of each motif, from the pairs -g pool genes hold.
    std::vector<int32_t> partners(width * pool.motifCount, 0);
    Counter counter{std::vector<int32_t>(width), Mask(pool.geneWords, 0), {}};
    Mask all(words, ~uint64_t{0});
    if (width % 64) all.back() = (uint64_t{1} << (width % 64)) - 1;
    std::vector<int32_t> holders;
    const PairTable& pairs = pool.holders.pairs();
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (static_cast<int64_t>(pairs.genesAt(i).size()) < pool.enough) continue;
        holders.clear();
        pairs.genesAt(i).appendTo(holders);
        count(holders, all.data(), counter);
        for (size_t j = 0; j < width; ++j) {
            if (counter.counts[j] < pool.enough) continue;
            ++partners[j * pool.motifCount + static_cast<size_t>(pairs.first(i))];
            ++partners[j * pool.motifCount + static_cast<size_t>(pairs.second(i))];
        }
    }
    // The search order: motifs with enough partners, fewest first, ties by id.
    for (size_t j = 0; j < width; ++j) {
        const int32_t* partnersOf = &partners[j * pool.motifCount];
        std::vector<int32_t> motifs;
        for (size_t m = 0; m < pool.motifCount; ++m)
            if (partnersOf[m] > 0 && partnersOf[m] >= pool.minMotifs)
                motifs.push_back(static_cast<int32_t>(m));
        std::stable_sort(motifs.begin(), motifs.end(),
                         [&](int32_t a, int32_t b) { return partnersOf[a] < partnersOf[b]; });
        for (size_t at = 0; at < motifs.size(); ++at) {
            const auto m = static_cast<size_t>(motifs[at]);
            order[j * pool.motifCount + at] = motifs[at];
            position[j * pool.motifCount + m] = static_cast<int32_t>(at);
            inOrder[m * words + j / 64] |= uint64_t{1} << (j & 63);
        }
    }
}

// The p-values kept for the fdr and their bound B (see the header): those of the batches
// done, exact up to B, and those of the running batch.
class KeptPValues {
  public:
    // `wanted`: the permuted modules at or below B that make the fdr exact below 0.25.
    explicit KeptPValues(int64_t wanted)
        : wanted_(wanted), bound_(wanted > 0 ? 1.0 : 0.0), settledBound_(bound_.load()) {}

    double bound() const { return bound_.load(std::memory_order_relaxed); }

    // Takes (and clears) a thread's p-values of the running batch.
    void add(std::vector<double>& values) {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.insert(running_.end(), values.begin(), values.end());
        values.clear();
        const size_t held = settled_.size() + running_.size();
        const auto wanted = static_cast<size_t>(wanted_);
        if (wanted > 0 && held >= wanted + std::max(wanted / 4, kLowerAfter)) lower();
    }

    // At a batch's end: keeps its p-values when it completed, drops them when it did not.
    void settle(bool completed) {
        if (!completed) {
            running_.clear();
            bound_ = settledBound_;
            return;
        }
        settled_.insert(settled_.end(), running_.begin(), running_.end());
        running_.clear();
        double bound = bound_;
        if (wanted_ > 0 && settled_.size() >= static_cast<size_t>(wanted_))
            bound = std::min(bound, nth(settled_));
        keepAtMost(settled_, bound);
        bound_ = settledBound_ = bound;
    }

    // The kept p-values, handed over.
    std::vector<double> take() { return std::move(settled_); }

    // Where the fdr of `observed` modules over `done` permutations stops being exact.
    double exactBelow(int32_t done, size_t observed) const {
        if (settledBound_ >= 1 || done == 0 || observed == 0) return 1;
        const auto atMost = std::count_if(settled_.begin(), settled_.end(),
                                          [&](double p) { return p <= settledBound_; });
        return std::min(1.0, static_cast<double>(atMost) / done / static_cast<double>(observed));
    }

  private:
    // The wanted-th smallest of the values.
    double nth(const std::vector<double>& values) const {
        return nthSmallest(values, static_cast<size_t>(wanted_ - 1));
    }
    static void keepAtMost(std::vector<double>& values, double bound) {
        std::erase_if(values, [&](double p) { return p > bound * (1 + kKeptSlack); });
    }
    // Lowers B to the wanted-th smallest p so far; the batches done keep theirs, in case
    // this one does not complete.
    void lower() {
        double smallest;
        if (settled_.empty()) {
            smallest = nth(running_);
        } else {
            std::vector<double> all = settled_;
            all.insert(all.end(), running_.begin(), running_.end());
            smallest = nth(all);
        }
        const double bound = std::min(bound_.load(), smallest);
        bound_ = bound;
        keepAtMost(running_, bound);
    }

    int64_t wanted_;
    std::atomic<double> bound_;
    double settledBound_;
    std::mutex mutex_;
    std::vector<double> settled_, running_;
};

// The enumeration of one batch.
class BatchSearch {
  public:
    BatchSearch(const Pool& pool, const Batch& batch, KeptPValues& kept,
                const std::atomic<bool>* stop)
        : pool_(pool), batch_(batch), kept_(kept), stop_(stop), minima_(batch.width) {
        for (std::atomic<double>& minimum : minima_) minimum = 1.0;
    }

    // Runs the enumeration; false when a stop request cut it short. `advanced(share)` hears
    // the share of the enumeration's parts done so far, in order.
    template <typename Advanced>
    bool run(Advanced&& advanced);
    std::vector<double> minima() const {
        return std::vector<double>(minima_.begin(), minima_.end());
    }

  private:
    struct Node {
        std::vector<int32_t> motifs;      // ascending ids
        std::vector<int32_t> holders;     // pool genes, ascending (not kept for a motif alone)
        std::vector<int32_t> candidates;  // larger ids pairing with every motif, ascending
        Mask open;                        // the permutations that may still find a superset
    };
    struct Scratch {
        Scratch(const Pool& pool, const Batch& batch)
            : counter{std::vector<int32_t>(batch.width), Mask(pool.geneWords, 0), {}},
              nodes(static_cast<size_t>(std::max(pool.maxMotifs, 1)) + 1),
              slots(pool.motifCount),
              pOfCount(pool.drawn + 1),
              stampOf(pool.drawn + 1, 0) {}
        Counter counter;
        std::vector<Node> nodes;  // by number of motifs
        ModuleSlots slots;
        WindowScan scan;
        std::vector<int32_t> narrowed, pairGenes;
        std::vector<double> pOfCount;  // Fisher p by count, for the node being evaluated
        std::vector<uint32_t> stampOf;
        uint32_t stamp = 0;
        std::vector<double> tails;  // with strata: the node's p by foreground holders
        uint32_t tailsStamp = 0;
        std::vector<int64_t> inForeground, all;
        std::vector<double> kept;  // p-values for the fdr, handed on in chunks
    };

    bool stopping() const { return stop_ && stop_->load(std::memory_order_relaxed); }
    double limit(size_t permutation) const {
        return std::max(minima_[permutation].load(std::memory_order_relaxed), kept_.bound()) *
               (1 + kPruneSlack);
    }
    Node root(int32_t motif, Scratch& space);
    void searchFrom(const Node& root, size_t at, Scratch& space);
    void extend(const Node& node, Scratch& space);
    bool grow(const Node& parent, size_t at, Node& child, Scratch& space);
    // Drops from node.open the permutations where too few holders, or holders too many to
    // reach a useful p, are drawn; counts are left in space.counter.
    bool narrow(Node& node, Scratch& space) const;
    void evaluate(const Node& node, Scratch& space);
    // Whether permutation j's search reaches the set of seven as a node with candidates left,
    // and so tests its extensions instead of the set.
    bool testsExtensionsOnly(const std::vector<int32_t>& motifs, size_t j, Scratch& space) const;
    bool drawnPair(int32_t a, int32_t b, size_t j, Scratch& space) const;
    // The p of permutation j's count of the node's `holders`.
    double pOf(size_t j, int32_t count, const std::vector<int32_t>& holders, Scratch& space) const;
    // Whether no superset can reach a p below permutation j's limit, for `count` holders drawn.
    bool beyondReach(size_t j, int32_t count, const Scratch& space) const;
    void record(size_t j, double p, Scratch& space);

    const Pool& pool_;
    const Batch& batch_;
    KeptPValues& kept_;
    const std::atomic<bool>* stop_;
    std::vector<std::atomic<double>> minima_;
};

template <typename Advanced>
bool BatchSearch::run(Advanced&& advanced) {
    const int threads = pool_.threads;
    std::vector<Scratch> scratch;
    for (int t = 0; t < threads; ++t) scratch.emplace_back(pool_, batch_);
    std::vector<Node> roots(pool_.motifCount);
    orderedParallelFor(
        roots.size(), threads,
        [&](size_t m, int thread) {
            if (!stopping()) roots[m] = root(static_cast<int32_t>(m), scratch[thread]);
        },
        [](size_t) {});
    std::vector<std::pair<size_t, size_t>> items;  // (root, candidate)
    for (size_t m = 0; m < roots.size(); ++m)
        for (size_t at = 0; at < roots[m].candidates.size(); ++at) items.emplace_back(m, at);
    orderedParallelFor(
        items.size(), threads,
        [&](size_t k, int thread) {
            if (!stopping()) searchFrom(roots[items[k].first], items[k].second, scratch[thread]);
        },
        [&](size_t k) {
            advanced(static_cast<double>(k + 1) / static_cast<double>(items.size()));
        });
    for (Scratch& space : scratch) kept_.add(space.kept);
    return !stopping();
}

BatchSearch::Node BatchSearch::root(int32_t motif, Scratch& space) {
    Node node;
    const std::vector<int32_t>& holders = pool_.holders.genesOf(motif);
    const uint64_t* inOrder = &batch_.inOrder[static_cast<size_t>(motif) * batch_.words];
    if (holders.empty() || !anyBit(inOrder, batch_.words)) return node;
    node.motifs = {motif};
    node.open.assign(batch_.words, 0);
    batch_.count(holders, inOrder, space.counter);
    ++space.stamp;
    forEachBit(inOrder, batch_.words, [&](size_t j) {
        const int32_t c = space.counter.counts[j];
        if (c == 0 || beyondReach(j, c, space)) return;
        // A motif alone is found in every permutation whose genes hold it.
        if (pool_.minMotifs <= 1) record(j, pOf(j, c, holders, space), space);
        if (c >= pool_.enough) node.open[j / 64] |= uint64_t{1} << (j & 63);
    });
    if (!anyBit(node.open.data(), batch_.words)) return node;
    for (size_t m = static_cast<size_t>(motif) + 1; m < pool_.motifCount; ++m) {
        const uint64_t* partnerInOrder = &batch_.inOrder[m * batch_.words];
        bool shared = false;
        for (size_t w = 0; w < batch_.words; ++w) shared |= (partnerInOrder[w] & node.open[w]) != 0;
        if (shared && pool_.strongPair(motif, static_cast<int32_t>(m)))
            node.candidates.push_back(static_cast<int32_t>(m));
    }
    return node;
}

void BatchSearch::searchFrom(const Node& root, size_t at, Scratch& space) {
    Node& pair = space.nodes[2];
    if (grow(root, at, pair, space) && !pair.candidates.empty()) extend(pair, space);
}

void BatchSearch::extend(const Node& node, Scratch& space) {
    Node& child = space.nodes[node.motifs.size() + 1];
    for (size_t at = 0; at < node.candidates.size(); ++at) {
        if (stopping()) return;
        if (grow(node, at, child, space) && !child.candidates.empty()) extend(child, space);
    }
}

bool BatchSearch::grow(const Node& parent, size_t at, Node& child, Scratch& space) {
    const int32_t added = parent.candidates[at];
    child.motifs = parent.motifs;
    child.motifs.push_back(added);
    child.holders.clear();
    if (parent.motifs.size() == 1) {
        pool_.holders.pairs().genes(parent.motifs[0], added)->appendTo(child.holders);
    } else {
        child.holders = parent.holders;
        for (int32_t m : parent.motifs) {
            space.narrowed.clear();
            pool_.holders.pairs().genes(added, m)->intersect(child.holders, space.narrowed);
            child.holders.swap(space.narrowed);
            if (static_cast<int64_t>(child.holders.size()) < pool_.enough) return false;
        }
    }
    const uint64_t* inOrder = &batch_.inOrder[static_cast<size_t>(added) * batch_.words];
    child.open.resize(batch_.words);
    for (size_t w = 0; w < batch_.words; ++w) child.open[w] = parent.open[w] & inOrder[w];
    // Counts before the window scan bound those after it: a first cut without scanning.
    if (!narrow(child, space)) return false;
    if (child.motifs.size() >= 3) {
        const size_t before = child.holders.size();
        space.slots.assign(child.motifs);
        keepHolders(child.holders, pool_.genes.seqHits, &pool_.holders.index(), space.slots,
                    pool_.window, space.scan);
        if (child.holders.size() != before && !narrow(child, space)) return false;
    }
    evaluate(child, space);
    child.candidates.clear();
    if (static_cast<int32_t>(child.motifs.size()) >= pool_.maxMotifs) return true;
    for (size_t k = at + 1; k < parent.candidates.size(); ++k) {
        const int32_t next = parent.candidates[k];
        const uint64_t* nextInOrder = &batch_.inOrder[static_cast<size_t>(next) * batch_.words];
        bool shared = false;
        for (size_t w = 0; w < batch_.words; ++w) shared |= (nextInOrder[w] & child.open[w]) != 0;
        if (shared && pool_.strongPair(added, next)) child.candidates.push_back(next);
    }
    return true;
}

bool BatchSearch::narrow(Node& node, Scratch& space) const {
    if (static_cast<int64_t>(node.holders.size()) < pool_.enough) return false;
    batch_.count(node.holders, node.open.data(), space.counter);
    bool any = false;
    forEachBit(node.open.data(), batch_.words, [&](size_t j) {
        const int32_t c = space.counter.counts[j];
        if (c < pool_.enough || beyondReach(j, c, space))
            node.open[j / 64] &= ~(uint64_t{1} << (j & 63));
        else
            any = true;
    });
    return any;
}

void BatchSearch::evaluate(const Node& node, Scratch& space) {
    const auto size = static_cast<int32_t>(node.motifs.size());
    // The search tests sets of -k motifs or more, and every set of the largest size.
    if (size < pool_.maxMotifs && size < pool_.minMotifs) return;
    ++space.stamp;
    forEachBit(node.open.data(), batch_.words, [&](size_t j) {
        if (size == pool_.maxMotifs - 1 && testsExtensionsOnly(node.motifs, j, space)) return;
        record(j, pOf(j, space.counter.counts[j], node.holders, space), space);
    });
}

bool BatchSearch::testsExtensionsOnly(const std::vector<int32_t>& motifs, size_t j,
                                      Scratch& space) const {
    // The search reaches the set from its first motif in j's order, adding the others from
    // the last back; the node's candidates lie between its first two.
    std::vector<int32_t> places;
    for (int32_t m : motifs) places.push_back(batch_.positionOf(j, m));
    std::partial_sort(places.begin(), places.begin() + 2, places.end());
    for (int32_t at = places[0] + 1; at < places[1]; ++at) {
        const int32_t candidate = batch_.motifAt(j, at);
        if (std::all_of(motifs.begin(), motifs.end(),
                        [&](int32_t m) { return drawnPair(candidate, m, j, space); }))
            return true;
    }
    return false;
}

bool BatchSearch::drawnPair(int32_t a, int32_t b, size_t j, Scratch& space) const {
    const GeneSet* genes = pool_.holders.pairs().genes(a, b);
    if (genes == nullptr) return false;
    space.pairGenes.clear();
    genes->appendTo(space.pairGenes);
    return std::any_of(space.pairGenes.begin(), space.pairGenes.end(),
                       [&](int32_t g) { return batch_.drew(j, g); });
}

bool BatchSearch::beyondReach(size_t j, int32_t count, const Scratch& space) const {
    if (!pool_.test) return pool_.floorP[static_cast<size_t>(count)] > limit(j);
    const int32_t* drawn = &space.counter.byStratum[j * pool_.strataCount];
    return std::exp(pool_.test->logFloor(drawn)) > limit(j);
}

double BatchSearch::pOf(size_t j, int32_t count, const std::vector<int32_t>& holders,
                        Scratch& space) const {
    if (pool_.test) {
        // The node's distribution of foreground holders, once per node.
        if (space.tailsStamp != space.stamp) {
            space.tailsStamp = space.stamp;
            pool_.test->countHolders(holders, 0, space.inForeground, space.all);
            space.tails = pool_.test->tails(space.all);
        }
        const int32_t* drawn = &space.counter.byStratum[j * pool_.strataCount];
        const int64_t a = std::accumulate(drawn, drawn + pool_.strataCount, int64_t{0});
        if (pool_.strataCount == 1) return pool_.test->upperTail(space.all, a);
        return space.tails[static_cast<size_t>(
            std::min<int64_t>(a, static_cast<int64_t>(space.tails.size()) - 1))];
    }
    const auto c = static_cast<size_t>(count);
    if (space.stampOf[c] != space.stamp) {
        space.stampOf[c] = space.stamp;
        space.pOfCount[c] = fisherUpperTail(
            count, pool_.drawn, static_cast<int64_t>(holders.size()), pool_.total, pool_.logs);
    }
    return space.pOfCount[c];
}

void BatchSearch::record(size_t j, double p, Scratch& space) {
    std::atomic<double>& minimum = minima_[j];
    for (double now = minimum.load(); p < now && !minimum.compare_exchange_weak(now, p);) {
    }
    if (p > kept_.bound() * (1 + kKeptSlack)) return;
    space.kept.push_back(p);
    if (space.kept.size() >= kHandOn) kept_.add(space.kept);
}

// The permuted p-values that keep the fdr of `observed` modules over `total` permutations
// exact below kFdrExactBelow.
int64_t wantedPValues(size_t observed, int32_t total) {
    return static_cast<int64_t>(
        std::ceil(kFdrExactBelow * static_cast<double>(observed) * std::max(total, 0)));
}

}  // namespace

PermutationOutcome poolPermutations(const Args& settings, const HitStage& foreground,
                                    const HitStage& background, const PermutationSlice& slice,
                                    uint32_t seed, size_t observed, const PermutationWatch& watch,
                                    const Strata* strata) {
    const Pool pool(settings, foreground, background, strata);
    // A shard keeps as many as the whole run wants: at least all those the whole run keeps.
    KeptPValues kept(wantedPValues(observed, slice.total));
    const int32_t count = slice.count;
    PermutationOutcome outcome;
    if (slice.shard) outcome.pValues = PermutationPValues(SIZE_MAX);
    outcome.requested = count;
    PermutationProgress progress(watch.progress, count);
    for (int32_t first = 0; first < count; first += static_cast<int32_t>(kBatch)) {
        const size_t width = std::min(kBatch, static_cast<size_t>(count - first));
        const Batch batch(pool, seed, static_cast<uint32_t>(slice.first + first), width);
        BatchSearch search(pool, batch, kept, watch.stop);
        // Within a batch, the share of its enumeration done stands for its permutations.
        const bool completed = search.run([&](double share) {
            progress.done(outcome.done + static_cast<int32_t>(static_cast<double>(width) * share));
        });
        kept.settle(completed);
        if (!completed) break;
        const std::vector<double> minima = search.minima();
        outcome.minima.insert(outcome.minima.end(), minima.begin(), minima.end());
        outcome.done += static_cast<int32_t>(width);
        progress.done(outcome.done);
    }
    outcome.fdrExactBelow = kept.exactBelow(outcome.done, observed);
    outcome.pValues.add(kept.take());
    return outcome;
}

void keepMergedPValues(std::vector<double> values, int32_t total, size_t observed,
                       PermutationOutcome& outcome) {
    KeptPValues kept(wantedPValues(observed, total));
    kept.add(values);
    kept.settle(true);
    outcome.fdrExactBelow = kept.exactBelow(outcome.done, observed);
    outcome.pValues.add(kept.take());
}
