// k-mer preserving shuffles: for each stretch of bases, a uniform random arborescence of last
// edges towards the final (k-1)-mer (Wilson's loop-erased walks), then the other edges of each
// node in random order, and the Eulerian walk that follows them.
#include "hits/Shuffle.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "common/Parallel.hpp"
#include "common/Random.hpp"
#include "motif/WindowScore.hpp"

namespace {

// Shuffles one stretch of bases in place (every letter a base).
void shuffleStretch(char* letters, size_t length, int k, std::mt19937& generator) {
    if (length <= static_cast<size_t>(k)) return;  // one k-mer at most: nothing can move
    const int context = k - 1;
    const uint32_t nodes = 1u << (2 * context), mask = nodes - 1;
    auto nodeAt = [&](size_t i) {  // the (k-1)-mer that starts at i
        uint32_t node = 0;
        for (int j = 0; j < context; ++j) node = (node << 2) | baseCode(letters[i + j]);
        return node;
    };
    // Each node's exit edges, as the base each adds.
    std::vector<std::vector<uint8_t>> exits(nodes);
    uint32_t node = nodeAt(0);
    const uint32_t first = node;
    for (size_t i = context; i < length; ++i) {
        const auto base = static_cast<uint8_t>(baseCode(letters[i]));
        exits[node].push_back(base);
        node = ((node << 2) | base) & mask;
    }
    const uint32_t last = node;
    // Wilson's algorithm: from each node with exits, a random walk until it meets the tree;
    // the walk's last exit from each node it passes, loops erased, joins the tree.
    std::vector<char> inTree(nodes, 0);
    std::vector<int32_t> lastExit(nodes, -1);  // index into exits[node]
    inTree[last] = 1;
    for (uint32_t start = 0; start < nodes; ++start) {
        if (inTree[start] || exits[start].empty()) continue;
        for (uint32_t u = start; !inTree[u];) {
            const uint32_t e = uniformBelow(generator, static_cast<uint32_t>(exits[u].size()));
            lastExit[u] = static_cast<int32_t>(e);
            u = ((u << 2) | exits[u][e]) & mask;
        }
        for (uint32_t u = start; !inTree[u];) {
            inTree[u] = 1;
            u = ((u << 2) | exits[u][static_cast<size_t>(lastExit[u])]) & mask;
        }
    }
    // The other exits in a uniform order, the tree's exit last.
    for (uint32_t u = 0; u < nodes; ++u) {
        std::vector<uint8_t>& out = exits[u];
        if (out.empty()) continue;
        if (u != last) std::swap(out[static_cast<size_t>(lastExit[u])], out.back());
        const size_t free = u == last ? out.size() : out.size() - 1;
        for (size_t i = free; i > 1; --i)
            std::swap(out[i - 1], out[uniformBelow(generator, static_cast<uint32_t>(i))]);
    }
    std::vector<size_t> used(nodes, 0);
    node = first;
    for (size_t i = context; i < length; ++i) {
        const uint8_t base = exits[node][used[node]++];
        letters[i] = "ACGT"[base];
        node = ((node << 2) | base) & mask;
    }
}

}  // namespace

std::string shuffleKeepingKmers(std::string_view text, int k, std::mt19937& generator) {
    std::string copy(text);
    for (size_t i = 0; i < copy.size();) {
        if (baseCode(copy[i]) == kNotBase) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < copy.size() && baseCode(copy[end]) != kNotBase) ++end;
        shuffleStretch(copy.data() + i, end - i, k, generator);
        i = end;
    }
    return copy;
}

std::vector<Seq> shuffledCopies(const std::vector<Seq>& genes, int32_t copies, int k, uint32_t seed,
                                int threads) {
    constexpr uint32_t kShuffleDraws = 0x73687566;  // sets these draws apart from other uses
    const auto count = static_cast<size_t>(copies);
    std::vector<Seq> out(genes.size() * count);
    orderedParallelFor(
        out.size(), threads,
        [&](size_t i) {
            const size_t g = i / count, c = i % count;
            std::mt19937 generator = drawGenerator(
                {seed, kShuffleDraws, static_cast<uint32_t>(g), static_cast<uint32_t>(c)});
            out[i] = {genes[g].name + "_shuf" + std::to_string(c + 1),
                      shuffleKeepingKmers(genes[g].seq, k, generator)};
        },
        [](size_t) {});
    return out;
}
