// Overlap removal: visit hits from the highest score down; a hit is kept when no hit kept
// before it starts within the overlap distance. The visiting order is one sort of 64-bit keys
// (score, then place in the list); kept starts are bits over the span of the starts (an
// ordered set where that span is far wider than the hits, or the distance is wide), so each
// visit is one look at the bits around its start.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <set>

#include "hits/Hit.hpp"

namespace {

constexpr int32_t kWideDistance = 4096;

// The starts kept so far, and whether one lies within the distance of a start.
class KeptStarts {
  public:
    KeptStarts(const std::vector<MHit>& hits, int32_t distance) : distance_(distance) {
        if (hits.empty()) return;
        const auto [low, high] =
            std::minmax_element(hits.begin(), hits.end(),
                                [](const MHit& a, const MHit& b) { return a.start < b.start; });
        first_ = low->start;
        const auto span = static_cast<uint64_t>(static_cast<int64_t>(high->start) - first_ + 1);
        // Bits where they take little room and a look reads few words.
        if (span / 64 <= 4 * hits.size() + 1024 && distance <= kWideDistance)
            bits_.assign(span / 64 + 1, 0);
    }
    bool near(int32_t start) const {
        if (bits_.empty()) {
            auto next = set_.lower_bound(static_cast<int64_t>(start) - distance_ + 1);
            return next != set_.end() && *next < static_cast<int64_t>(start) + distance_;
        }
        // The bits of starts start - distance + 1 .. start + distance - 1 within the span.
        const int64_t at = static_cast<int64_t>(start) - first_;
        const int64_t last = static_cast<int64_t>(bits_.size()) * 64 - 1;
        const auto from = static_cast<uint64_t>(std::max<int64_t>(0, at - distance_ + 1));
        const auto to = static_cast<uint64_t>(std::min<int64_t>(last, at + distance_ - 1));
        for (uint64_t w = from / 64; w <= to / 64; ++w) {
            uint64_t word = bits_[w];
            if (w == from / 64) word &= ~uint64_t{0} << (from % 64);
            if (w == to / 64) word &= ~uint64_t{0} >> (63 - to % 64);
            if (word) return true;
        }
        return false;
    }
    void add(int32_t start) {
        if (bits_.empty()) {
            set_.insert(start);
            return;
        }
        const auto at = static_cast<uint64_t>(static_cast<int64_t>(start) - first_);
        bits_[at / 64] |= uint64_t{1} << (at % 64);
    }

  private:
    int64_t distance_, first_ = 0;
    std::vector<uint64_t> bits_;
    std::set<int64_t> set_;
};

// A score's bits, turned so that unsigned order is the scores' order (both zeros alike).
uint32_t orderedBits(float score) {
    const auto bits = std::bit_cast<uint32_t>(score == 0 ? 0.0f : score);
    return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}

}  // namespace

namespace {

// The visiting order: the positions of a stable sort by ascending score, read from the end.
std::vector<size_t> byScore(const std::vector<MHit>& hits) {
    std::vector<size_t> order(hits.size());
    if (hits.size() >> 32) {  // beyond the keys' room for a position
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return CompHitScore(hits[a], hits[b]); });
        return order;
    }
    std::vector<uint64_t> keys(hits.size());
    for (size_t i = 0; i < hits.size(); ++i)
        keys[i] = static_cast<uint64_t>(orderedBits(hits[i].score)) << 32 | i;
    std::sort(keys.begin(), keys.end());
    for (size_t i = 0; i < keys.size(); ++i) order[i] = keys[i] & 0xffffffffu;
    return order;
}

}  // namespace

std::vector<MHit> delHitOverlap(std::vector<MHit> hits, int32_t overlapDistance) {
    const std::vector<size_t> order = byScore(hits);
    std::vector<MHit> kept;
    if (overlapDistance <= 0) {  // no hit drops another: all but those scoring 0, by start
        for (auto at = order.rbegin(); at != order.rend(); ++at)
            if (hits[*at].score != 0) kept.push_back(hits[*at]);
        std::stable_sort(kept.begin(), kept.end(), CompHitPos);
        return kept;
    }
    KeptStarts keptStarts(hits, overlapDistance);
    std::vector<bool> keep(hits.size());
    for (auto at = order.rbegin(); at != order.rend(); ++at) {
        const MHit& hit = hits[*at];
        if (hit.score == 0 || keptStarts.near(hit.start)) continue;
        keep[*at] = true;
        keptStarts.add(hit.start);
    }
    // No two kept hits share a start: any order by start is the one order, and a list in
    // scan order needs none.
    for (size_t i = 0; i < hits.size(); ++i)
        if (keep[i]) kept.push_back(hits[i]);
    if (!std::is_sorted(kept.begin(), kept.end(), CompHitPos))
        std::stable_sort(kept.begin(), kept.end(), CompHitPos);
    return kept;
}

float truncateScore(float sum) {
    float scaled = sum * 100;
    return static_cast<float>(std::trunc(static_cast<double>(scaled)) / 100.0);
}
