// The pair scan shared by the conserved-hit filter and the motif pair table: each hit pairs
// with the later hits of other motifs up to the first later hit that ends more than
// `windowSize` past its start; that hit stops the scan even if a later one would fit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "hits/Hit.hpp"

// Pair key of two motif ids, independent of their order: the smaller id (so the smaller
// name) first.
inline uint64_t CompName(int32_t a, int32_t b) {
    auto [low, high] = std::minmax(a, b);
    return (static_cast<uint64_t>(static_cast<uint32_t>(low)) << 32) | static_cast<uint32_t>(high);
}

template <typename Visit>
void forEachPair(const std::vector<MHit>& hits, int32_t windowSize, Visit&& visit) {
    // Read through a local pointer and count: the visit's stores cannot move them.
    const MHit* hit = hits.data();
    const size_t n = hits.size();
    for (size_t a = 0; a < n; ++a) {
        const MHit first = hit[a];
        for (size_t b = a + 1; b < n; ++b) {
            if (!endsWithinWindow(first, hit[b], windowSize)) break;
            if (hit[b].motif == first.motif) continue;
            visit(a, b);
        }
    }
}

// The distinct pair keys of one hit list, ascending. Repeats are squeezed out whenever a
// batch of new keys has piled up, so that a long sequence with a wide window holds no more
// than its distinct pairs and one batch at any time.
inline std::vector<uint64_t> sortedPairKeys(const std::vector<MHit>& hits, int32_t windowSize) {
    constexpr size_t kBatch = size_t{1} << 20;
    std::vector<uint64_t> keys;
    auto squeeze = [&keys] {
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    };
    size_t squeezeAt = kBatch;
    forEachPair(hits, windowSize, [&](size_t a, size_t b) {
        keys.push_back(CompName(hits[a].motif, hits[b].motif));
        if (keys.size() < squeezeAt) return;
        squeeze();
        squeezeAt = keys.size() + kBatch;
    });
    squeeze();
    keys.shrink_to_fit();
    return keys;
}

// Motif ids below this are paired through a bit per id pair (2 MB at most per thread).
constexpr int32_t kSeenPairIds = 4096;

// The same keys, for hit lists of motif ids below kSeenPairIds: each pair is marked in a bit
// table (row: the smaller id) as it is met and kept the first time, so that only distinct
// keys are ordered. The table is left cleared, ready for the next list.
inline std::vector<uint64_t> distinctPairKeys(const std::vector<MHit>& hits, int32_t windowSize) {
    int32_t ids = 0;
    for (const MHit& hit : hits) ids = std::max(ids, hit.motif + 1);
    if (ids > kSeenPairIds) return sortedPairKeys(hits, windowSize);
    thread_local std::vector<uint64_t> seen;
    thread_local int32_t stride = 0;
    if (ids > stride) {
        stride = ids;
        seen.assign((static_cast<size_t>(stride) * static_cast<size_t>(stride) + 63) / 64, 0);
    }
    std::vector<uint64_t> keys;
    uint64_t* table = seen.data();  // the thread's table, read once, not at every pair
    const auto row = static_cast<size_t>(stride);
    const MHit* hit = hits.data();
    forEachPair(hits, windowSize, [&](size_t a, size_t b) {
        const uint64_t key = CompName(hit[a].motif, hit[b].motif);
        const size_t bit = static_cast<size_t>(key >> 32) * row + (key & 0xffffffffu);
        uint64_t& word = table[bit >> 6];
        const uint64_t mask = uint64_t{1} << (bit & 63);
        if (word & mask) return;
        word |= mask;
        keys.push_back(key);
    });
    // Ascending keys are the set bits in table order: read them off where the table is
    // small beside the keys, else sort the keys and clear their bits.
    const size_t words = (static_cast<size_t>(ids) * static_cast<size_t>(stride) + 63) / 64;
    if (words <= 16 * keys.size()) {
        keys.clear();
        for (size_t w = 0; w < words; ++w)
            for (; seen[w] != 0; seen[w] &= seen[w] - 1) {
                const size_t bit = 64 * w + static_cast<size_t>(__builtin_ctzll(seen[w]));
                keys.push_back((static_cast<uint64_t>(bit / static_cast<size_t>(stride)) << 32) |
                               (bit % static_cast<size_t>(stride)));
            }
    } else {
        for (uint64_t key : keys) {
            const size_t bit =
                static_cast<size_t>(key >> 32) * static_cast<size_t>(stride) + (key & 0xffffffffu);
            seen[bit >> 6] &= ~(uint64_t{1} << (bit & 63));
        }
        std::sort(keys.begin(), keys.end());
    }
    keys.shrink_to_fit();
    return keys;
}
