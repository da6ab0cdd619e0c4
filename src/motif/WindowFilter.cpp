// The per-motif filter: partial sums of each k-mer tabulated on both strands, with the bound on
// the rest, so that most windows are decided without scoring them. The table is walked base by
// base, and a prefix that even the largest terms cannot lift past the cutoff is not walked on.
#include "motif/WindowFilter.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/BitCount.hpp"
#include "motif/ScoreBounds.hpp"

namespace {

constexpr int32_t kCheckpointStep = 4;
// Positions per table of the real-sum bound: 64 entries of 16 bytes, so that a wide
// motif's tables stay in the first-level cache (four positions, 4 KB a table, measured
// slower for it; two, twice the reads).
constexpr int kBlock = 3;
// The share of k-mers a table may let through and still be decided by a shared lookup.
constexpr double kSparseShare = 0.02;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Visits every k-mer with its float partial sums on both strands, adding the terms in the
// scan's order: each sum rounded to float after every addition. Skips the k-mers that begin
// with a prefix for which skip(depth, forward, reverse) holds.
template <typename Skip, typename Visit>
void walkPrefixes(const MotifTable& table, int k, int depth, uint32_t code, float forward,
                  float reverse, Skip&& skip, Visit&& visit) {
    if (depth == k) {
        visit(code, forward, reverse);
        return;
    }
    if (skip(depth, forward, reverse)) return;
    for (int b = 0; b < 4; ++b) {
        float f = addRounded(forward, table.term(depth, b, 0));
        float r = addRounded(reverse, table.term(depth, b, 1));
        walkPrefixes(table, k, depth + 1, (code << 2) | static_cast<uint32_t>(b), f, r, skip,
                     visit);
    }
}

// Whether every k-mer with a given prefix fails the prefix table's test (a proof; false
// where it cannot tell). fl(s + t) grows with s and with t, so the largest terms added in
// order bound every k-mer's float sum, and the test grows with that sum (its exact value
// with slope 1 - (w - k) 2^-23 or more; the margin covers the rounding of its double
// arithmetic). Off where a term is NaN or plus infinity.
class HopelessPrefix {
  public:
    HopelessPrefix(const MotifTable& table, const RestBounds& rest, int k, float cutoff)
        : rest_(rest), k_(k), whole_(k == table.width()), cutoff_(cutoff) {
        for (int strand = 0; strand < 2; ++strand)
            for (int i = 0; i < k; ++i) {
                double most = -kInfinity;
                for (int b = 0; b < 4; ++b) {
                    const double t = table.term(i, b, strand);
                    on_ = on_ && !std::isnan(t) && t != kInfinity;
                    most = std::max(most, t);
                }
                largest_[strand].push_back(most);
            }
    }
    bool operator()(int depth, float forward, float reverse) const {
        return on_ && fails(0, depth, forward) && fails(1, depth, reverse);
    }

  private:
    bool fails(int strand, int depth, float sum) const {
        for (int i = depth; i < k_; ++i) sum = addRounded(sum, largest_[strand][i]);
        if (whole_ || !std::isfinite(sum)) return !(sum > cutoff_);
        const double bound = rest_.upper(strand, k_, sum);
        const double scale = std::fabs(sum) + std::fabs(rest_.maxRest[strand][k_]) +
                             std::fabs(bound - sum - rest_.maxRest[strand][k_]) +
                             std::fabs(cutoff_);
        return bound + 0x1p-40 * scale <= cutoff_;
    }

    const RestBounds& rest_;
    std::vector<double> largest_[2];
    int k_;
    bool whole_, on_ = true;
    float cutoff_;
};

// The start of the k positions of a wide motif that tell windows apart best: the largest
// sum, over both strands, of the spread between the largest and the smallest finite term.
int32_t mostTellingOffset(const MotifTable& table, int k) {
    int32_t best = 0;
    double bestSpread = -1;
    for (int32_t o = 0; o + k <= table.width(); ++o) {
        double spread = 0;
        for (int32_t i = o; i < o + k; ++i)
            for (int strand = 0; strand < 2; ++strand) {
                double low = kInfinity, high = -kInfinity;
                for (int b = 0; b < 4; ++b) {
                    const double t = table.term(i, b, strand);
                    if (!std::isfinite(t)) continue;
                    low = std::min(low, t);
                    high = std::max(high, t);
                }
                if (high >= low) spread += high - low;
            }
        if (spread > bestSpread) {
            bestSpread = spread;
            best = o;
        }
    }
    return best;
}

int64_t setBits(const std::vector<uint64_t>& bits) {
    return static_cast<int64_t>(bitCount(bits.data(), bits.size()));
}

// The sums of the k terms of every k-mer at positions o..o+k-1, in double precision.
// Skips the k-mers that begin with a prefix for which skip(depth, forward, reverse) holds.
template <typename Skip, typename Visit>
void walkRealSums(const MotifTable& table, int32_t o, int k, int depth, uint32_t code,
                  double forward, double reverse, Skip&& skip, Visit&& visit) {
    if (depth == k) {
        visit(code, forward, reverse);
        return;
    }
    if (skip(depth, forward, reverse)) return;
    for (int b = 0; b < 4; ++b)
        walkRealSums(table, o, k, depth + 1, (code << 2) | static_cast<uint32_t>(b),
                     forward + table.term(o + depth, b, 0), reverse + table.term(o + depth, b, 1),
                     skip, visit);
}

const auto kWalkAll = [](int, double, double) { return false; };

}  // namespace

void WindowFilter::tabulatePrefix(const MotifTable& table, const RestBounds& rest, int k) {
    const bool whole = k == table.width();
    // NaN compares false: such a window is no hit, as in the scan.
    const auto pass = [&](int strand, float sum) {
        return (whole ? sum : rest.upper(strand, k, sum)) > cutoff_;
    };
    walkPrefixes(table, k, 0, 0, 0.0f, 0.0f, HopelessPrefix(table, rest, k, cutoff_),
                 [&](uint32_t code, float forward, float reverse) {
                     if (pass(0, forward) || pass(1, reverse))
                         bits_[code >> 6] |= uint64_t{1} << (code & 63);
                 });
}

// A window's float sum differs from its real sum by at most delta, and its real sum is at
// most the real sum of the k terms at the offset plus the largest terms elsewhere: where
// that bound plus delta is no more than the cutoff on both strands, no window with that
// k-mer at the offset can pass.
void WindowFilter::tabulateAtOffset(const MotifTable& table, const RestBounds& rest, int k) {
    double outside[2];
    for (int strand = 0; strand < 2; ++strand)
        outside[strand] = rest.maxRest[strand][0] -
                          (rest.maxRest[strand][offset_] - rest.maxRest[strand][offset_ + k]);
    const double delta = rest.delta();
    const auto pass = [&](int strand, double sum) {
        return sum + outside[strand] + delta > cutoff_;
    };
    // A prefix's k-mers all fail where its sum plus the largest terms after it fails: the
    // terms are finite, and a double sum and the test grow with each term.
    double largest[2][kFilterPrefix];
    for (int strand = 0; strand < 2; ++strand)
        for (int i = 0; i < k; ++i) {
            largest[strand][i] = table.term(offset_ + i, 0, strand);
            for (int b = 1; b < 4; ++b)
                largest[strand][i] =
                    std::max(largest[strand][i], table.term(offset_ + i, b, strand));
        }
    const auto hopeless = [&](int depth, double forward, double reverse) {
        for (int i = depth; i < k; ++i) {
            forward += largest[0][i];
            reverse += largest[1][i];
        }
        return !pass(0, forward) && !pass(1, reverse);
    };
    walkRealSums(table, offset_, k, 0, 0, 0.0, 0.0, hopeless,
                 [&](uint32_t code, double forward, double reverse) {
                     if (pass(0, forward) || pass(1, reverse))
                         bits_[code >> 6] |= uint64_t{1} << (code & 63);
                 });
}

WindowFilter::WindowFilter(const MotifTable& table, float cutoff, int prefix) : cutoff_(cutoff) {
    const int k = std::min<int>(table.width(), std::min(prefix, kFilterPrefix));
    shift_ = 2 * (kFilterPrefix - k);
    bits_.assign(std::max<size_t>(1, (size_t{1} << (2 * k)) / 64), 0);
    const RestBounds rest(table, allBases());
    // A wide motif is told apart at its most telling positions, a bound on real sums that
    // holds only where every term is finite; otherwise, and for narrow motifs, at its start.
    const bool finite =
        !rest.unbounded && std::isfinite(rest.maxRest[0][0]) && std::isfinite(rest.maxRest[1][0]);
    tabulatePrefix(table, rest, k);
    // A prefix table that lets few k-mers through is kept: motifs decided at the window's
    // start share one lookup per block (SharedFilter).
    const bool fewPass = static_cast<double>(setBits(bits_)) <=
                         kSparseShare * static_cast<double>(size_t{1} << (2 * k));
    const int32_t telling =
        k < table.width() && finite && !fewPass ? mostTellingOffset(table, k) : 0;
    if (telling > 0) {
        // The table that lets fewer k-mers through is kept.
        std::vector<uint64_t> prefixBits;
        prefixBits.swap(bits_);
        bits_.assign(prefixBits.size(), 0);
        offset_ = telling;
        tabulateAtOffset(table, rest, k);
        if (setBits(bits_) >= setBits(prefixBits)) {
            bits_.swap(prefixBits);
            offset_ = 0;
        }
    }
    // Wide motifs with finite terms are first bounded by their real sum (see score).
    if (k < table.width() && finite) {
        realBound_ = true;
        delta_ = rest.delta();
        tabulateBlocks(table);
        if (PairBound bound(table, cutoff_, delta_); bound.usable()) pairBound_ = std::move(bound);
        return;
    }
    // Checkpoints every four positions past the table's, while enough of the motif is left
    // for one to pay; none where a term can be infinite.
    if (rest.unbounded) return;
    for (int32_t at = k + kCheckpointStep; at + kCheckpointStep <= table.width();
         at += kCheckpointStep) {
        const double left = static_cast<double>(table.width() - at);
        checkpoints_.push_back({at,
                                {rest.maxRest[0][at], rest.maxRest[1][at]},
                                {rest.absRest[0][at], rest.absRest[1][at]},
                                left * kRoundingBound});
    }
}

int64_t WindowFilter::passingPrefixes(int sharedPrefix) const {
    const int k = kFilterPrefix - shift_ / 2;
    if (k <= sharedPrefix) return setBits(bits_) << (2 * (sharedPrefix - k));
    // One base longer (the only case, kFilterPrefix = kSharedPrefix + 1): the four codes that
    // share a prefix sit side by side in a table word.
    int64_t count = 0;
    for (uint64_t word : bits_)
        count += __builtin_popcountll((word | word >> 1 | word >> 2 | word >> 3) &
                                      0x1111111111111111ull);
    return count;
}

bool WindowFilter::beyondReach(const Checkpoint& point, float forward, float reverse) const {
    // RestBounds::upper at position k, from the stored sums. NaN never counts as beyond reach.
    const double f = forward, r = reverse;
    return f + point.maxRest[0] + point.slope * (std::fabs(f) + point.absRest[0]) <= cutoff_ &&
           r + point.maxRest[1] + point.slope * (std::fabs(r) + point.absRest[1]) <= cutoff_;
}

// The real sums of a wide motif's window read kBlock positions at a time from the window's
// kFilterPrefix-mer codes: a window of w positions takes about w / kBlock code and table
// reads, from tables small enough to stay in the first-level cache.
void WindowFilter::tabulateBlocks(const MotifTable& table) {
    wholeBlocks_ = table.width() / kBlock;
    tailWidth_ = table.width() % kBlock;
    constexpr size_t entries = size_t{1} << (2 * kBlock);
    blockSums_.assign(entries * static_cast<size_t>(wholeBlocks_) + (size_t{1} << (2 * tailWidth_)),
                      PairD{0, 0});
    auto tabulate = [&](int32_t from, int k, PairD* out) {
        walkRealSums(table, from, k, 0, 0, 0.0, 0.0, kWalkAll,
                     [&](uint32_t code, double forward, double reverse) {
                         out[code] = PairD{forward, reverse};
                     });
    };
    for (int32_t j = 0; j < wholeBlocks_; ++j)
        tabulate(kBlock * j, kBlock, &blockSums_[entries * static_cast<size_t>(j)]);
    tabulate(kBlock * wholeBlocks_, tailWidth_,
             &blockSums_[entries * static_cast<size_t>(wholeBlocks_)]);
}

// The float sum is within delta of the real sum (the block sums' double arithmetic is within
// the margin delta holds for it), so a window whose real sum plus delta is no more than the
// cutoff on both strands cannot pass.
bool WindowFilter::realSumOutOfReach(const uint16_t* kmers) const {
    constexpr int drop = 2 * (kFilterPrefix - kBlock);
    constexpr size_t entries = size_t{1} << (2 * kBlock);
    PairD even = {0, 0}, odd = {0, 0};
    const PairD* block = blockSums_.data();
    int32_t j = 0;
    for (; j + 1 < wholeBlocks_; j += 2, block += 2 * entries) {
        even += block[kmers[kBlock * j] >> drop];
        odd += block[entries + (kmers[kBlock * (j + 1)] >> drop)];
    }
    if (j < wholeBlocks_) {
        even += block[kmers[kBlock * j] >> drop];
        block += entries;
    }
    odd += block[kmers[kBlock * wholeBlocks_] >> (2 * (kFilterPrefix - tailWidth_))];
    const PairD sum = even + odd;
    return sum[0] + delta_ <= cutoff_ && sum[1] + delta_ <= cutoff_;
}

bool WindowFilter::score(const MotifTable& table, const uint8_t* codes, const uint16_t* kmers,
                         float& forward, float& reverse) const {
    if (realBound_ && realSumOutOfReach(kmers)) return false;
    PairD sum = {0, 0};
    int32_t i = 0;
    for (const Checkpoint& point : checkpoints_) {
        for (; i < point.k; ++i) sum = addRounded(sum, table.terms(i, codes[i] & 3));
        if (beyondReach(point, static_cast<float>(sum[0]), static_cast<float>(sum[1])))
            return false;
    }
    for (; i < table.width(); ++i) sum = addRounded(sum, table.terms(i, codes[i] & 3));
    forward = static_cast<float>(sum[0]);
    reverse = static_cast<float>(sum[1]);
    return true;
}

SequenceCodes::SequenceCodes(const std::string& text) : SequenceCodes(encodeBases(text)) {}

SequenceCodes::SequenceCodes(std::vector<uint8_t> baseCodes)
    : codes(std::move(baseCodes)), kmers(codes.size() + 1, 0) {
    if (vectorPaths()) pairs = pairCodes(codes);
    // Sequences are refused beyond 2^31 - 1 letters, so positions fit 32 bits.
    const int64_t n = size();
    anyNonBase = std::find(codes.begin(), codes.end(), kNotBase) != codes.end();
    if (anyNonBase) {
        basesAhead.assign(static_cast<size_t>(n) + 1, 0);
        int64_t ahead = 0;
        for (int64_t q = n - 1; q >= 0; --q) {
            ahead = codes[static_cast<size_t>(q)] == kNotBase ? 0 : std::min(ahead + 1, kAheadCap);
            basesAhead[static_cast<size_t>(q)] = static_cast<uint8_t>(ahead);
        }
    }
    // Rolling code of the kFilterPrefix letters from q on.
    uint32_t code = 0;
    const uint32_t mask = (uint32_t{1} << (2 * kFilterPrefix)) - 1;
    for (int64_t i = 0; i < n + kFilterPrefix; ++i) {
        const uint32_t base = i < n && codes[i] != kNotBase ? codes[i] : 0;
        code = ((code << 2) | base) & mask;
        const int64_t q = i - (kFilterPrefix - 1);
        if (q >= 0 && q <= n) kmers[q] = static_cast<uint16_t>(code);
    }
}

bool SequenceCodes::basesFrom(int64_t q, int64_t width) const {
    const auto from = codes.begin() + static_cast<std::ptrdiff_t>(std::min(q, size()));
    const auto to = codes.begin() + static_cast<std::ptrdiff_t>(std::min(q + width, size()));
    return q + width <= size() && std::find(from, to, kNotBase) == to;
}

namespace {

size_t candidatesPortable(const uint64_t* bits, int shift, const uint16_t* kmers, int64_t from,
                          int64_t count, int32_t* out) {
    size_t n = 0;
    for (int64_t q = from; q < count; ++q) {  // branch-free: a pass is rare and unpredictable
        const uint32_t code = kmers[q] >> shift;
        out[n] = static_cast<int32_t>(q);
        n += (bits[code >> 6] >> (code & 63)) & 1;
    }
    return n;
}

}  // namespace

// An AVX2 form that gathers eight codes' table words at once measured no faster than this
// loop on the machines it was tried on (the gather is the bottleneck), so there is one form.
size_t WindowFilter::candidates(const uint16_t* kmers, int64_t count, int32_t* out) const {
    return candidatesPortable(bits_.data(), shift_, kmers, 0, count, out);
}

size_t WindowFilter::candidates(const SequenceCodes& sequence, int64_t from, int64_t count,
                                int32_t* out, bool vectorPaths) const {
    if (vectorPaths && lanes() && !sequence.pairs.empty())
        return pairBound_->candidatesAvx2(sequence.pairs.data() + from, count, out);
    return candidates(sequence.kmers.data() + from + offset_, count, out);
}
