// Sampled cutoffs: one background sample of 50 / t letters, every window scored on both strands
// per motif, and the cutoff read off the sorted scores.
#include "motif/Cutoff.hpp"

#include <algorithm>
#include <functional>
#include <limits>
#include <random>

#include "motif/ExactCutoff.hpp"

int64_t sampleLength(float t) {
    if (t <= 0) return 1000000;
    return static_cast<int64_t>(50.0 / static_cast<double>(t));
}

int64_t cutoffIndex(int64_t scoreCount, float t) {
    float q = 1.0f - t;
    int64_t index = static_cast<int64_t>(static_cast<double>(scoreCount) * q) - 1;
    return std::max<int64_t>(index, 0);
}

std::vector<uint8_t> FreqToSeq(const float baseFreq[4], int64_t n, uint32_t seed) {
    float sum = baseFreq[0];
    const float thresholdA = sum * 32767;
    sum += baseFreq[1];
    const float thresholdC = sum * 32767;
    sum += baseFreq[2];
    const float thresholdG = sum * 32767;
    std::mt19937 generator(seed);
    std::vector<uint8_t> codes(static_cast<size_t>(std::max<int64_t>(n, 0)));
    for (uint8_t& code : codes) {
        float r = static_cast<float>(generator() >> 17);  // uniform over 0 to 32767
        code = thresholdA > r ? 0 : thresholdC > r ? 1 : thresholdG > r ? 2 : 3;
    }
    return codes;
}

namespace {

// The `keep` highest of the scores offered; NaN ranks lowest.
class HighestScores {
  public:
    explicit HighestScores(size_t keep) : keep_(keep) { heap_.reserve(keep + 1); }
    void offer(float score) {
        if (score != score) score = -std::numeric_limits<float>::infinity();
        if (heap_.size() < keep_) {
            heap_.push_back(score);
            std::push_heap(heap_.begin(), heap_.end(), std::greater<float>());
        } else if (score > heap_.front()) {
            std::pop_heap(heap_.begin(), heap_.end(), std::greater<float>());
            heap_.back() = score;
            std::push_heap(heap_.begin(), heap_.end(), std::greater<float>());
        }
    }
    // The lowest of those kept: the score at the cutoff index once all are offered.
    float lowest() const { return heap_.front(); }

  private:
    size_t keep_;
    std::vector<float> heap_;  // a min-heap
};

size_t keptScores(const MotifTable& table, const std::vector<uint8_t>& sample, float t) {
    const int64_t count = 2 * (static_cast<int64_t>(sample.size()) - table.width() + 1);
    return static_cast<size_t>(count - cutoffIndex(count, t));
}

}  // namespace

float sampleCutoff(const MotifTable& table, const std::vector<uint8_t>& sample, float t) {
    HighestScores highest(keptScores(table, sample, t));
    scanPlacements(table, sample, [&](int64_t, float forward, float reverse) {
        highest.offer(forward);
        highest.offer(reverse);
    });
    return highest.lowest();
}

float sampleCutoffAbove(const MotifTable& table, const std::vector<uint8_t>& sample,
                        const SequenceCodes& codes, float t, float floor) {
    const size_t keep = keptScores(table, sample, t);
    HighestScores highest(keep);
    const WindowFilter filter(table, floor);
    const int64_t windows = codes.size() - table.width() + 1;
    std::vector<int32_t> starts(static_cast<size_t>(std::max<int64_t>(windows, 0)));
    const size_t passed = windows > 0 ? filter.candidates(codes.kmers.data() + filter.offset(),
                                                          windows, starts.data())
                                      : 0;
    // Every score above the floor is offered: the filter and the bounds of score() drop only
    // windows whose both strands lie at or below it.
    size_t above = 0;
    for (size_t k = 0; k < passed; ++k) {
        float forward, reverse;
        if (!filter.score(table, codes.codes.data() + starts[k], codes.kmers.data() + starts[k],
                          forward, reverse))
            continue;
        above += (forward > floor) + (reverse > floor);
        highest.offer(forward);
        highest.offer(reverse);
    }
    return above >= keep ? highest.lowest() : sampleCutoff(table, sample, t);
}

float sampleFloor(const MotifTable& table, const float baseFreq[4], float t) {
    const double p = std::min(1.0, 4.0 * static_cast<double>(t));
    const double low = scoreBracket(table, baseFreq, p).low;
    return low > -std::numeric_limits<double>::infinity() ? static_cast<float>(low)
                                                          : -std::numeric_limits<float>::infinity();
}
