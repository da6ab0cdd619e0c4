// A filter that decides most windows of a motif without scoring them. The float partial sum
// of a window's first k positions depends only on those k bases, so it is tabulated per
// k-mer (k = the motif's width, at most kFilterPrefix) on both strands, exactly as the scan
// adds it up. One bit per k-mer says whether a window that starts with it can score above
// the cutoff on either strand: for a motif no wider than kFilterPrefix the bit is the exact
// answer; for a wider one it compares the cutoff with the prefix plus the largest sum the
// rest can add, with the proven rounding margin of RestBounds. A window whose bit is clear
// cannot be a hit; a window whose bit is set is scored in full, in the scan's exact order,
// unless a cheaper bound rejects it first: for a wide motif with finite terms its real sum
// plus that margin, otherwise checkpoints along the rounded sum. A wide motif with finite
// terms also takes a pair bound (PairBound), which on a processor with AVX2 replaces the
// k-mer table for the motifs scanned on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "motif/PairBound.hpp"
#include "motif/ScoreBounds.hpp"
#include "motif/WindowScore.hpp"

// Bases in a k-mer code; the first base of the window sits in the code's highest bits.
constexpr int kFilterPrefix = 8;

struct SequenceCodes;

class WindowFilter {
  public:
    // Tabulates the first min(width, prefix) bases; prefix is at most kFilterPrefix.
    WindowFilter(const MotifTable& table, float cutoff, int prefix = kFilterPrefix);

    // Right shift that turns an kFilterPrefix-mer code into this motif's k-mer code.
    int shift() const { return shift_; }
    // The window position whose k-mer the table is indexed by: 0, or for a motif wider than
    // the table the start of its most telling positions.
    int32_t offset() const { return offset_; }
    // Writes to `out` (room for `count`) the q < count, ascending, whose k-mer passes (give
    // the k-mers from the offset on); returns how many.
    size_t candidates(const uint16_t* kmers, int64_t count, int32_t* out) const;
    // The same for the starts from..from + count - 1 of a sequence (written as q - from), by
    // the pair bound where it serves (lanes(), unless `vectorPaths` is false), else by the
    // k-mer table: either lets through every start that can be a hit.
    size_t candidates(const SequenceCodes& sequence, int64_t from, int64_t count, int32_t* out,
                      bool vectorPaths = true) const;
    // Scores the window at codes[0] as MotifTable::score does; returns false, without
    // finishing, where a bound proves that neither strand can end above the cutoff: for a
    // wide motif with finite terms its real sum, read from `kmers` (the window's
    // kFilterPrefix-mer codes, SequenceCodes::kmers from the window's start), otherwise
    // checkpoints along the rounded sum (the same bound as the k-mer table, later on).
    bool score(const MotifTable& table, const uint8_t* codes, const uint16_t* kmers, float& forward,
               float& reverse) const;
    // Whether candidates(sequence, ...) reads the pair bound: a wide motif with finite terms,
    // on a processor with AVX2.
    bool lanes() const { return pairBound_.has_value() && vectorPaths(); }
    // How many of the 4^kSharedPrefix codes of the first kSharedPrefix bases at the offset
    // begin some k-mer that may pass.
    int64_t passingPrefixes(int sharedPrefix) const;
    // Calls visit(first, last) for each run of kFilterPrefix-mer codes first..last that the
    // table lets through (one per set bit: a table of fewer bases spans 4^(missing) codes).
    template <typename Visit>
    void forEachPassing(Visit&& visit) const {
        for (size_t w = 0; w < bits_.size(); ++w)
            for (uint64_t word = bits_[w]; word != 0; word &= word - 1) {
                const auto code = static_cast<uint32_t>(64 * w + __builtin_ctzll(word));
                visit(code << shift_, ((code + 1) << shift_) - 1);
            }
    }
    // Whether a window whose kFilterPrefix-mer code is `kmer` may pass.
    bool passes(uint16_t kmer) const {
        const uint32_t code = static_cast<uint32_t>(kmer) >> shift_;
        return (bits_[code >> 6] >> (code & 63)) & 1;
    }

  private:
    // After position k, a window whose float sums are f and r can end above the cutoff only
    // if f + maxRest[0] + slope[0] (|f| + absRest[0]) > cutoff, or the same for r.
    struct Checkpoint {
        int32_t k;
        double maxRest[2], absRest[2], slope;
    };
    bool beyondReach(const Checkpoint& point, float forward, float reverse) const;
    bool realSumOutOfReach(const uint16_t* kmers) const;
    void tabulateBlocks(const MotifTable& table);
    void tabulatePrefix(const MotifTable& table, const RestBounds& rest, int k);
    void tabulateAtOffset(const MotifTable& table, const RestBounds& rest, int k);

    int shift_;
    int32_t offset_ = 0;
    float cutoff_;
    std::vector<uint64_t> bits_;
    std::vector<Checkpoint> checkpoints_;  // ascending k
    bool realBound_ = false;  // bound the real sum first (wide motifs with finite terms)
    double delta_ = 0;        // the largest gap between the float and the real window sum
    // The real sums (forward, reverse) of every 4-mer at positions 4j..4j+3, 256 per block,
    // then of every tail k-mer past the last whole block (4^tailWidth_ entries).
    std::vector<PairD> blockSums_;
    int32_t wholeBlocks_ = 0, tailWidth_ = 0;
    std::optional<PairBound> pairBound_;  // wide motifs with finite terms, where usable
};

// The base codes of one sequence with what the filtered scan needs: the kFilterPrefix-mer
// code at every position (bases past the end, and non-bases, count as A) and, where the
// sequence holds non-bases, how many bases follow each position before the next non-base
// (capped at 255, one byte a position): 3 bytes a letter, 4 with non-bases.
struct SequenceCodes {
    std::vector<uint8_t> codes;
    std::vector<uint16_t> kmers;      // size() + 1 entries
    std::vector<uint8_t> basesAhead;  // size() + 1 entries, only where anyNonBase
    std::vector<uint8_t> pairs;       // pairCodes(codes), only where vectorPaths()
    bool anyNonBase = false;

    explicit SequenceCodes(const std::string& text);
    explicit SequenceCodes(std::vector<uint8_t> baseCodes);  // codes as encodeBases gives
    int64_t size() const { return static_cast<int64_t>(codes.size()); }
    // Whether the window of `width` letters at q holds bases only.
    bool allBases(int64_t q, int64_t width) const {
        if (!anyNonBase || basesAhead[static_cast<size_t>(q)] >= width) return true;
        return basesAhead[static_cast<size_t>(q)] == kAheadCap &&
               basesFrom(q + kAheadCap, width - kAheadCap);
    }

  private:
    static constexpr int64_t kAheadCap = 255;
    bool basesFrom(int64_t q, int64_t width) const;  // by the codes, past the cap
};
