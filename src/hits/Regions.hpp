// Genomic regions as genes: the intervals of a BED file (BED3 to BED6 and more columns;
// `track`, `browser`, `#` and empty lines skipped; 0-based starts, ends excluded) read from a
// genome. Each becomes a gene titled as `bedtools getfasta -name -s` titles it,
// NAME::CHROM:START-END(STRAND), so that reports place its hits on the genome: NAME is the
// BED name where one is given and no other line has it, else CHROM:START-END; STRAND is the
// sixth column (+, - or .), empty without one. A minus-strand region is read
// reverse-complemented. Refusals name the file and line: a malformed line, start not below
// end, a chromosome the genome lacks, an interval past its chromosome's end, and a region
// given twice. With summits (narrowPeak's column 10, or another named column), each region
// becomes the letters centred on its summit; with a top count, the regions of highest signal
// (column 7) are kept, highest first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hits/Genome.hpp"
#include "hits/HitA.hpp"

struct Region {
    std::string chrom;
    int64_t start = 0, end = 0;
    std::string name;    // empty where the line has no fourth column
    std::string strand;  // "+", "-", "." or empty where the line has no sixth column
    long line = 0;
    size_t chromIndex = 0;       // in the genome, once checked
    std::string summit, signal;  // the summit and signal columns, where asked for
};

// Peaks as the peak callers write them: `width` letters centred on each region's summit (its
// offset from the start in column `column`, 1-based), and the `top` regions of highest signal.
struct SummitSettings {
    int64_t width = 0;  // 0: the regions as given
    int32_t column = 10;
    int64_t top = 0;  // 0: every region
    static constexpr int32_t kSignalColumn = 7;
};
// What the summits did, for the run's Read: lines.
struct SummitCounts {
    int64_t clipped = 0;  // windows cut at a chromosome end
    int64_t read = 0;     // regions in the file, before --top
};

// BED lines: a line that BED readers skip (empty, '#', track or browser), the fields of a
// line split at tabs, a start or end read as a whole number, and why one was refused,
// quoting it as written.
bool bedLineSkipped(const std::string& line);
std::vector<std::string> bedFields(const std::string& line);
bool readBedCoordinate(const std::string& text, int64_t& value);
std::string badBedCoordinate(const char* what, const std::string& text);

// The regions of a BED file, checked against the genome; every refusal ends the run.
std::vector<Region> readRegions(const std::string& path, const Genome& genome,
                                const SummitSettings& summits = {}, SummitCounts* counts = nullptr);
// Intervals to keep clear of (a blacklist, gaps): as readRegions, but chromosomes the genome
// lacks are left out and intervals cut at their chromosome's end.
std::vector<Region> readExcluded(const std::string& path, const Genome& genome);

// The gene names of the regions, in their order.
std::vector<std::string> regionNames(const std::vector<Region>& regions);

// The regions as genes: their letters from the genome, reverse-complemented on the minus
// strand, named by regionNames.
std::vector<Seq> regionGenes(const std::vector<Region>& regions, const Genome& genome);

// Intervals of one chromosome, sorted and merged, for overlap tests.
class IntervalSet {
  public:
    explicit IntervalSet(size_t chromosomes = 0) : byChrom_(chromosomes) {}
    void add(size_t chrom, int64_t start, int64_t end);
    // Sorts and merges; call once all are added.
    void settle();
    bool overlaps(size_t chrom, int64_t start, int64_t end) const;

  private:
    std::vector<std::vector<std::pair<int64_t, int64_t>>> byChrom_;
};
