// Genome windows matched to regions: per region, chromosomes drawn by length and starts drawn
// uniformly until R windows of its length and GC bin are found clear of regions and exclusions.
#include "hits/GenomicBackground.hpp"

#include <algorithm>
#include <unordered_set>

#include "common/Random.hpp"
#include "hits/GeneShape.hpp"
#include "hits/SeqReader.hpp"

namespace {

constexpr uint32_t kGenomicDraws =
    0x67656e6f;  // sets these draws apart from other uses of the seed

// The shape of letters as a gene of the run has them: upper-cased unless -l masks.
GeneShape shapeAsGene(std::string& letters, bool maskLowercase) {
    if (!maskLowercase) upperCase(letters);
    return shapeOf(letters);
}

class WindowDraws {
  public:
    WindowDraws(const Genome& genome, const IntervalSet& excluded, bool maskLowercase)
        : genome_(genome), excluded_(excluded), mask_(maskLowercase) {
        int64_t total = 0;
        for (size_t c = 0; c < genome.chromosomes(); ++c)
            ends_.push_back(total += genome.length(c));
    }

    // Up to `wanted` new windows of `length` letters in GC bin `bin`, appended to `out`.
    int64_t draw(std::mt19937& generator, int64_t length, int bin, int32_t wanted,
                 std::vector<Seq>& out) {
        int32_t taken = 0;
        const int64_t draws = 50 * static_cast<int64_t>(wanted) + 1000;
        for (int64_t d = 0; d < draws && taken < wanted && !ends_.empty() && ends_.back() > 0;
             ++d) {
            const auto at = static_cast<int64_t>(
                uniformBelow64(generator, static_cast<uint64_t>(ends_.back())));
            const auto c = static_cast<size_t>(std::upper_bound(ends_.begin(), ends_.end(), at) -
                                               ends_.begin());
            const int64_t room = genome_.length(c) - length;
            if (room < 0) continue;
            const auto start =
                static_cast<int64_t>(uniformBelow64(generator, static_cast<uint64_t>(room) + 1));
            if (excluded_.overlaps(c, start, start + length)) continue;
            const uint64_t key = (static_cast<uint64_t>(c) << 40) | static_cast<uint64_t>(start);
            if (taken_.count(key)) continue;
            std::string letters = genome_.fetch(c, start, start + length);
            const GeneShape shape = shapeAsGene(letters, mask_);
            if (!mostlyBases(shape) || gcBin(shape.gc()) != bin) continue;
            taken_.insert(key);
            out.push_back({genome_.name(c) + ":" + std::to_string(start) + "-" +
                               std::to_string(start + length),
                           std::move(letters), GenePlace{genome_.name(c), start, start + length}});
            ++taken;
        }
        return taken;
    }

  private:
    const Genome& genome_;
    const IntervalSet& excluded_;
    bool mask_;
    std::vector<int64_t> ends_;  // cumulative chromosome lengths
    std::unordered_set<uint64_t> taken_;
};

}  // namespace

GenomicBackground genomicBackground(const Genome& genome, const std::vector<Seq>& genes,
                                    const IntervalSet& excluded, const GenomicOptions& options) {
    GenomicBackground background;
    WindowDraws draws(genome, excluded, options.maskLowercase);
    for (size_t r = 0; r < genes.size(); ++r) {
        std::string letters = genes[r].seq;
        const int bin = gcBin(shapeAsGene(letters, options.maskLowercase).gc());
        std::mt19937 generator =
            drawGenerator({options.seed, kGenomicDraws, static_cast<uint32_t>(r)});
        const auto length = static_cast<int64_t>(genes[r].seq.size());
        if (draws.draw(generator, length, bin, options.ratio, background.windows) == options.ratio)
            ++background.regionsMatched;
    }
    return background;
}
