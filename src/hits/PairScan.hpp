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
    for (size_t a = 0; a < hits.size(); ++a) {
        for (size_t b = a + 1; b < hits.size(); ++b) {
            if (!endsWithinWindow(hits[a], hits[b], windowSize)) break;
            if (hits[b].motif == hits[a].motif) continue;
            visit(a, b);
        }
    }
}

// The distinct pair keys of one hit list, ascending. Repeats are squeezed out whenever a
// batch of new keys has piled up, so that a long sequence with a wide window holds no more
// than its distinct pairs and one batch at any time.
inline std::vector<uint64_t> distinctPairKeys(const std::vector<MHit>& hits, int32_t windowSize) {
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
