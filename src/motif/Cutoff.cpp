#include "motif/Cutoff.hpp"

#include <algorithm>
#include <functional>
#include <limits>
#include <random>

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

float sampleCutoff(const MotifTable& table, const std::vector<uint8_t>& sample, float t) {
    const int64_t windows = static_cast<int64_t>(sample.size()) - table.width() + 1;
    const int64_t count = 2 * windows;
    const size_t keep = static_cast<size_t>(count - cutoffIndex(count, t));
    // Min-heap of the `keep` highest scores; its top ends as the score at the cutoff index.
    std::vector<float> highest;
    highest.reserve(keep + 1);
    auto offer = [&](float score) {
        if (score != score) score = -std::numeric_limits<float>::infinity();  // NaN ranks lowest
        if (highest.size() < keep) {
            highest.push_back(score);
            std::push_heap(highest.begin(), highest.end(), std::greater<float>());
        } else if (score > highest.front()) {
            std::pop_heap(highest.begin(), highest.end(), std::greater<float>());
            highest.back() = score;
            std::push_heap(highest.begin(), highest.end(), std::greater<float>());
        }
    };
    scanPlacements(table, sample, [&](int64_t, float forward, float reverse) {
        offer(forward);
        offer(reverse);
    });
    return highest.front();
}
