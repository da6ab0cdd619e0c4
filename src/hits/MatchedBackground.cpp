// Matched windows: per foreground gene, the pool's windows of its length counted per sequence,
// base counts slid along each sequence for GC, and a uniform draw among the windows that fit.
#include "hits/MatchedBackground.hpp"

#include <algorithm>
#include <iterator>
#include <map>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/Random.hpp"
#include "hits/GeneShape.hpp"

GeneShape shapeOf(std::string_view text) {
    GeneShape shape;
    shape.length = static_cast<int64_t>(text.size());
    for (char letter : text) {
        const bool gc = letter == 'C' || letter == 'G';
        shape.gcBases += gc;
        shape.bases += gc || letter == 'A' || letter == 'T';
    }
    return shape;
}

bool mostlyBases(const GeneShape& shape) {
    return shape.length > 0 && 10 * (shape.length - shape.bases) <= 7 * shape.length;
}

int gcBin(double gc) {
    static const double kEdges[] = {0.20, 0.25, 0.30, 0.35, 0.40, 0.45, 0.50, 0.60, 0.70, 0.80};
    return static_cast<int>(std::upper_bound(std::begin(kEdges), std::end(kEdges), gc) -
                            std::begin(kEdges));
}

std::string matchedProperties(const MatchOptions& options) {
    if (options.length && options.gc) return "length, GC";
    return options.length ? "length" : "GC";
}

namespace {

constexpr uint32_t kMatchDraws = 0x6d617463;  // sets these draws apart from other uses of the seed

// A window that may join the background: enough bases, and in the bin when GC is matched.
bool fitsShape(const GeneShape& shape, const MatchOptions& options, int bin) {
    if (!mostlyBases(shape)) return false;
    return !options.gc || gcBin(shape.gc()) == bin;
}

bool fits(std::string_view window, const MatchOptions& options, int bin) {
    return fitsShape(shapeOf(window), options, bin);
}

// The windows of one foreground gene's length: where each pool sequence's windows start in
// the run of all of them.
struct WindowSpace {
    std::vector<size_t> sequences;  // pool sequences long enough
    std::vector<uint64_t> firstOf;  // index of each one's first window; total at the end
};

WindowSpace windowSpace(const std::vector<Seq>& pool, int64_t length, bool whole) {
    WindowSpace space;
    uint64_t total = 0;
    for (size_t s = 0; s < pool.size(); ++s) {
        const auto size = static_cast<int64_t>(pool[s].seq.size());
        if (!whole && size < length) continue;
        space.sequences.push_back(s);
        space.firstOf.push_back(total);
        total += whole ? 1 : static_cast<uint64_t>(size - length + 1);
    }
    space.firstOf.push_back(total);
    return space;
}

class Drawer {
  public:
    Drawer(const std::vector<Seq>& pool, const MatchOptions& options)
        : pool_(pool), options_(options) {}

    // Up to `wanted` new windows like `gene` (index g), appended to `out`; how many.
    int64_t draw(const Seq& gene, uint32_t g, int64_t wanted, std::vector<Seq>& out) {
        const auto length = static_cast<int64_t>(gene.seq.size());
        const bool whole = !options_.length;
        const int bin = gcBin(shapeOf(gene.seq).gc());
        const WindowSpace space = windowSpace(pool_, length, whole);
        const uint64_t total = space.firstOf.back();
        if (total == 0 || wanted <= 0) return 0;
        std::mt19937 generator = drawGenerator({options_.seed, kMatchDraws, g});
        int64_t taken = 0;
        for (int64_t tries = 50 * wanted + 1000; taken < wanted && tries > 0; --tries)
            taken += take(space, uniformBelow64(generator, total), length, bin, out);
        if (taken == wanted) return taken;
        // Every window that still fits, then a uniform draw among them.
        std::vector<uint64_t> fitting = everyFitting(space, length, bin);
        for (size_t i = 0; taken < wanted && i < fitting.size(); ++i) {
            const size_t pick = i + uniformBelow64(generator, fitting.size() - i);
            std::swap(fitting[i], fitting[pick]);
            taken += take(space, fitting[i], length, bin, out);
        }
        return taken;
    }

  private:
    // Every window not yet taken whose letters fit, its base counts slid along each sequence.
    std::vector<uint64_t> everyFitting(const WindowSpace& space, int64_t length, int bin) const {
        std::vector<uint64_t> fitting;
        for (size_t k = 0; k + 1 < space.firstOf.size(); ++k) {
            const size_t s = space.sequences[k];
            const std::string& seq = pool_[s].seq;
            if (!options_.length) {
                if (free(s, 0, static_cast<int64_t>(seq.size())) && fits(seq, options_, bin))
                    fitting.push_back(space.firstOf[k]);
                continue;
            }
            GeneShape shape = shapeOf(std::string_view(seq).substr(0, static_cast<size_t>(length)));
            for (int64_t start = 0;; ++start) {
                if (free(s, start, length) && fitsCounts(shape, bin))
                    fitting.push_back(space.firstOf[k] + static_cast<uint64_t>(start));
                if (start + length >= static_cast<int64_t>(seq.size())) break;
                slide(shape, seq[static_cast<size_t>(start)], -1);
                slide(shape, seq[static_cast<size_t>(start + length)], 1);
            }
        }
        return fitting;
    }
    static void slide(GeneShape& shape, char letter, int by) {
        const bool gc = letter == 'C' || letter == 'G';
        shape.gcBases += gc ? by : 0;
        shape.bases += gc || letter == 'A' || letter == 'T' ? by : 0;
    }
    bool fitsCounts(const GeneShape& shape, int bin) const {
        return fitsShape(shape, options_, bin);
    }
    // The pool sequence and start of window w.
    std::pair<size_t, int64_t> place(const WindowSpace& space, uint64_t w) const {
        const size_t k =
            static_cast<size_t>(std::upper_bound(space.firstOf.begin(), space.firstOf.end(), w) -
                                space.firstOf.begin() - 1);
        return {space.sequences[k], static_cast<int64_t>(w - space.firstOf[k])};
    }
    std::string_view text(size_t s, int64_t start, int64_t length) const {
        const std::string& seq = pool_[s].seq;
        return options_.length ? std::string_view(seq).substr(static_cast<size_t>(start),
                                                              static_cast<size_t>(length))
                               : std::string_view(seq);
    }
    bool usable(const WindowSpace& space, uint64_t w, int64_t length, int bin) const {
        const auto [s, start] = place(space, w);
        const std::string_view window = text(s, start, length);
        return free(s, start, static_cast<int64_t>(window.size())) && !texts_.count(window) &&
               fits(window, options_, bin);
    }
    int64_t take(const WindowSpace& space, uint64_t w, int64_t length, int bin,
                 std::vector<Seq>& out) {
        if (!usable(space, w, length, bin)) return 0;
        const auto [s, start] = place(space, w);
        const std::string_view window = text(s, start, length);
        taken_[s].emplace(start, start + static_cast<int64_t>(window.size()));
        texts_.insert(window);
        const std::string& name = pool_[s].name;
        out.push_back({options_.length ? name + ":" + std::to_string(start) + "-" +
                                             std::to_string(start + length)
                                       : name,
                       std::string(window)});
        return 1;
    }
    // Whether a window of pool sequence s overlaps none taken before.
    bool free(size_t s, int64_t start, int64_t length) const {
        const auto found = taken_.find(s);
        if (found == taken_.end()) return true;
        const std::map<int64_t, int64_t>& windows = found->second;  // start to end
        const auto next = windows.lower_bound(start);
        if (next != windows.end() && next->first < start + length) return false;
        return next == windows.begin() || std::prev(next)->second <= start;
    }

    const std::vector<Seq>& pool_;
    const MatchOptions& options_;
    std::unordered_map<size_t, std::map<int64_t, int64_t>> taken_;  // windows of each sequence
    std::unordered_set<std::string_view> texts_;
};

}  // namespace

MatchedBackground matchBackground(const std::vector<Seq>& pool, const std::vector<Seq>& foreground,
                                  const MatchOptions& options) {
    MatchedBackground result;
    int64_t longest = 0;
    for (const Seq& gene : pool) longest = std::max(longest, static_cast<int64_t>(gene.seq.size()));
    Drawer drawer(pool, options);
    for (size_t g = 0; g < foreground.size(); ++g) {
        const auto length = static_cast<int64_t>(foreground[g].seq.size());
        if (options.length && length > longest) {
            ++result.longerThanPool;
            continue;
        }
        const int64_t taken =
            drawer.draw(foreground[g], static_cast<uint32_t>(g), options.ratio, result.windows);
        result.genesMatched += taken == options.ratio;
    }
    return result;
}
