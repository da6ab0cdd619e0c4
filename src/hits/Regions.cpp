// BED regions: lines split at tabs, coordinates read as whole numbers, each region checked
// against the genome, named as bedtools getfasta -name -s names it; interval sets merged and
// searched by binary search for the overlap tests.
#include "hits/Regions.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "common/LineReader.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "hits/SeqReader.hpp"

namespace {

// The largest coordinate read: no genome has a chromosome this long.
constexpr uint64_t kLargestCoordinate = 999999999999999999;

}  // namespace

bool bedLineSkipped(const std::string& line) {
    auto startsWord = [&](const std::string& word) {
        return line.rfind(word, 0) == 0 && (line.size() == word.size() ||
                                            line[word.size()] == ' ' || line[word.size()] == '\t');
    };
    return line.empty() || line[0] == '#' || startsWord("track") || startsWord("browser");
}

std::vector<std::string> bedFields(const std::string& line) {
    return splitAt(line, '\t');
}

bool readBedCoordinate(const std::string& text, int64_t& value) {
    uint64_t digits = 0;
    if (!parseDigits(text, kLargestCoordinate, digits)) return false;
    value = static_cast<int64_t>(digits);
    return true;
}

std::string badBedCoordinate(const char* what, const std::string& text) {
    const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    return std::string("the ") + what + " " + printable(text) +
           (digits ? " lies outside the range this reader takes, 0 to " +
                         std::to_string(kLargestCoordinate)
                   : " is not a whole number of 0 or more");
}

namespace {

std::string place(const Region& region) {
    return region.chrom + ":" + std::to_string(region.start) + "-" + std::to_string(region.end);
}

// The regions of a BED file; `strict`: every chromosome in the genome and every region within
// it, else those outside are left out or cut.
std::vector<Region> bedRegions(const std::string& path, const Genome& genome, bool strict,
                               const SummitSettings& summits = {}) {
    LineReader reader(path);
    const std::string file = printable(reader.displayName());
    if (!reader.isOpen())
        dieIo("Error: cannot open the regions " + file + ": " + reader.openError());
    std::vector<Region> regions;
    std::string line;
    while (reader.next(line)) {
        if (bedLineSkipped(line)) continue;
        auto refuse = [&](const std::string& what) {
            die("Error: " + file + " line " + std::to_string(reader.lineNumber()) + ": " + what);
        };
        const std::vector<std::string> fields = bedFields(line);
        if (fields.size() < 3)
            refuse("a BED line holds a chromosome, a start and an end, separated by tabs");
        Region region{fields[0],
                      0,
                      0,
                      fields.size() > 3 ? fields[3] : "",
                      fields.size() > 5 ? fields[5] : "",
                      reader.lineNumber(),
                      0,
                      "",
                      ""};
        if (region.chrom.empty()) refuse("the chromosome is empty");
        auto column = [&](const char* option, int32_t number, std::string& field) {
            if (static_cast<size_t>(number) > fields.size())
                refuse(std::string(option) + " reads column " + std::to_string(number) +
                       ", and the line has " + std::to_string(fields.size()));
            field = fields[static_cast<size_t>(number) - 1];
        };
        if (summits.width > 0) column("--summits", summits.column, region.summit);
        if (summits.top > 0) column("--top", SummitSettings::kSignalColumn, region.signal);
        // A gene line of the report that starts with '>' would read as a module's header.
        if (strict && !region.name.empty() && region.name[0] == '>')
            refuse("the name " + printable(region.name) +
                   " starts with '>', which marks a module in the report");
        if (!readBedCoordinate(fields[1], region.start))
            refuse(badBedCoordinate("start", fields[1]));
        if (!readBedCoordinate(fields[2], region.end)) refuse(badBedCoordinate("end", fields[2]));
        if (region.start >= region.end)
            refuse("the start " + fields[1] + " is not below the end " + fields[2]);
        if (!region.strand.empty() && region.strand != "+" && region.strand != "-" &&
            region.strand != ".")
            refuse("the strand " + printable(region.strand) + " is not +, - or .");
        const int64_t chrom = genome.find(region.chrom);
        if (chrom < 0 && !strict) continue;
        if (chrom < 0)
            refuse("the chromosome " + printable(region.chrom) + " is not in the genome " +
                   printable(genome.path()));
        region.chromIndex = static_cast<size_t>(chrom);
        if (!strict) {
            region.end = std::min(region.end, genome.length(region.chromIndex));
            if (region.start < region.end) regions.push_back(std::move(region));
            continue;
        }
        if (region.end > genome.length(region.chromIndex))
            refuse("the region " + printable(place(region)) + " ends past the end of " +
                   printable(region.chrom) + " (" +
                   withThousands(genome.length(region.chromIndex)) + " letters)");
        checkSequenceLength(place(region), static_cast<size_t>(region.end - region.start));
        regions.push_back(std::move(region));
    }
    return regions;
}

}  // namespace

std::vector<Region> readExcluded(const std::string& path, const Genome& genome) {
    return bedRegions(path, genome, false);
}

namespace {

// The regions of highest signal, highest first (ties in file order).
void keepTop(std::vector<Region>& regions, int64_t top, const std::string& file) {
    std::vector<std::pair<double, size_t>> ranked;
    for (size_t r = 0; r < regions.size(); ++r) {
        double signal = 0;
        if (!parseDouble(regions[r].signal, signal) || !std::isfinite(signal))
            die("Error: " + file + " line " + std::to_string(regions[r].line) +
                ": --top ranks by the signal in column 7, and " + printable(regions[r].signal) +
                " is not a number");
        ranked.emplace_back(signal, r);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    ranked.resize(std::min(ranked.size(), static_cast<size_t>(top)));
    std::vector<Region> kept;
    for (const auto& [signal, r] : ranked) kept.push_back(std::move(regions[r]));
    regions = std::move(kept);
}

// Each region as the `width` letters from its summit less width / 2, cut at its chromosome's
// ends; a summit outside its region is refused with its line.
int64_t centreOnSummits(std::vector<Region>& regions, const SummitSettings& summits,
                        const Genome& genome, const std::string& file) {
    int64_t clipped = 0;
    for (Region& region : regions) {
        int64_t offset = 0;
        const int64_t length = region.end - region.start;
        if (!readBedCoordinate(region.summit, offset) || offset >= length)
            die("Error: " + file + " line " + std::to_string(region.line) + ": the summit " +
                printable(region.summit) + " (column " + std::to_string(summits.column) +
                ") is not an offset within the region's " + std::to_string(length) +
                " letters (0 to " + std::to_string(length - 1) + ")");
        const int64_t from = region.start + offset - summits.width / 2;
        const int64_t to = from + summits.width;
        region.start = std::max<int64_t>(0, from);
        region.end = std::min(to, genome.length(region.chromIndex));
        clipped += region.start != from || region.end != to;
    }
    return clipped;
}

}  // namespace

std::vector<Region> readRegions(const std::string& path, const Genome& genome,
                                const SummitSettings& summits, SummitCounts* counts) {
    std::vector<Region> regions = bedRegions(path, genome, true, summits);
    const std::string file = printable(path == "-" ? "standard input" : path);
    if (regions.empty())
        die("Error: " + file +
            " holds no region: a BED line holds a chromosome, a start and "
            "an end, separated by tabs");
    if (counts) counts->read = static_cast<int64_t>(regions.size());
    if (summits.top > 0) keepTop(regions, summits.top, file);
    if (summits.width > 0) {
        const int64_t clipped = centreOnSummits(regions, summits, genome, file);
        if (counts) counts->clipped = clipped;
    }
    // Two regions of one name could not be told apart in the report.
    const std::vector<std::string> names = regionNames(regions);
    std::unordered_map<std::string, long> lineOf;
    for (size_t r = 0; r < regions.size(); ++r) {
        const auto [it, added] = lineOf.emplace(names[r], regions[r].line);
        if (!added)
            die("Error: " + file + " line " + std::to_string(regions[r].line) + ": the region " +
                printable(names[r]) + " is given on line " + std::to_string(it->second) +
                " too (sort -u leaves one of each)");
    }
    return regions;
}

std::vector<std::string> regionNames(const std::vector<Region>& regions) {
    std::unordered_map<std::string, int> uses;
    for (const Region& region : regions)
        if (!region.name.empty()) ++uses[region.name];
    std::vector<std::string> names;
    for (const Region& region : regions) {
        const bool own = !region.name.empty() && uses[region.name] == 1;
        names.push_back((own ? region.name : place(region)) + "::" + place(region) + "(" +
                        region.strand + ")");
    }
    return names;
}

std::vector<Seq> regionGenes(const std::vector<Region>& regions, const Genome& genome) {
    const std::vector<std::string> names = regionNames(regions);
    std::vector<Seq> genes;
    genes.reserve(regions.size());
    for (size_t r = 0; r < regions.size(); ++r) {
        const Region& region = regions[r];
        std::string letters = genome.fetch(region.chromIndex, region.start, region.end);
        if (region.strand == "-") letters = reverseComplement(std::move(letters));
        genes.push_back({names[r], std::move(letters),
                         GenePlace{region.chrom, region.start, region.end, region.strand == "-"}});
    }
    return genes;
}

void IntervalSet::add(size_t chrom, int64_t start, int64_t end) {
    byChrom_[chrom].emplace_back(start, end);
}

void IntervalSet::settle() {
    for (auto& intervals : byChrom_) {
        std::sort(intervals.begin(), intervals.end());
        size_t kept = 0;
        for (const auto& [start, end] : intervals) {
            if (kept > 0 && start <= intervals[kept - 1].second) {
                intervals[kept - 1].second = std::max(intervals[kept - 1].second, end);
                continue;
            }
            intervals[kept++] = {start, end};
        }
        intervals.resize(kept);
    }
}

bool IntervalSet::overlaps(size_t chrom, int64_t start, int64_t end) const {
    const auto& intervals = byChrom_[chrom];
    // The first interval that ends after `start`; it overlaps when it starts before `end`.
    const auto it = std::upper_bound(intervals.begin(), intervals.end(), start,
                                     [](int64_t at, const std::pair<int64_t, int64_t>& interval) {
                                         return at < interval.second;
                                     });
    return it != intervals.end() && it->first < end;
}
