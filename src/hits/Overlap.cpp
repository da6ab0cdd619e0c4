// Overlap removal: visit hits from the highest score down; a hit is kept when no hit kept
// before it starts within the overlap distance. Kept starts live in an ordered set, so each
// visit costs a logarithmic lookup instead of a pass over all weaker hits.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "hits/Hit.hpp"

namespace {

bool conflictsWithKept(const std::set<int64_t>& keptStarts, int64_t start, int64_t distance) {
    auto next = keptStarts.lower_bound(start - distance + 1);
    return next != keptStarts.end() && *next < start + distance;
}

}  // namespace

std::vector<MHit> delHitOverlap(std::vector<MHit> hits, int32_t overlapDistance) {
    std::stable_sort(hits.begin(), hits.end(), CompHitScore);
    std::vector<MHit> kept;
    std::set<int64_t> keptStarts;
    for (auto hit = hits.rbegin(); hit != hits.rend(); ++hit) {
        if (hit->score == 0) continue;
        if (overlapDistance > 0 && conflictsWithKept(keptStarts, hit->start, overlapDistance))
            continue;
        kept.push_back(*hit);
        keptStarts.insert(hit->start);
    }
    std::stable_sort(kept.begin(), kept.end(), CompHitPos);
    return kept;
}

float truncateScore(float sum) {
    float scaled = sum * 100;
    return static_cast<float>(std::trunc(static_cast<double>(scaled)) / 100.0);
}
