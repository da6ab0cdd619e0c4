// Site files: BED lines read as hits, placed on genes by name or by genome coordinates.
#include "hits/Sites.hpp"

#include <algorithm>
#include <cmath>
#include <set>
#include <unordered_map>

#include "common/LineReader.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "hits/Regions.hpp"

namespace {

// One line of a site file, checked.
struct Site {
    std::string chrom, motif;
    int64_t start = 0, end = 0;
    float score = 1;
    char strand = '+';
};

class SiteReader {
  public:
    explicit SiteReader(const std::string& path) : reader_(path) {
        if (!reader_.isOpen())
            dieIo("Error: cannot open --sites file " + path + ": " + reader_.openError());
    }

    bool next(Site& site) {
        std::string line;
        do {
            if (!reader_.next(line)) return false;
        } while (bedLineSkipped(line));
        const std::vector<std::string> fields = bedFields(line);
        if (fields.size() < 4 || fields[3].empty())
            fail("a site needs chromosome, start, end and the motif's name (BED columns 1-4)");
        site.chrom = fields[0];
        site.motif = fields[3];
        if (!readBedCoordinate(fields[1], site.start)) fail(badBedCoordinate("start", fields[1]));
        if (!readBedCoordinate(fields[2], site.end)) fail(badBedCoordinate("end", fields[2]));
        if (site.end <= site.start) fail("the site ends before it starts");
        site.score = fields.size() > 4 ? scoreOf(fields[4]) : 1.0f;
        site.strand = fields.size() > 5 ? strandOf(fields[5]) : '+';
        return true;
    }

    [[noreturn]] void fail(const std::string& what) const {
        die("Error: " + reader_.displayName() + " line " + std::to_string(reader_.lineNumber()) +
            ": " + what);
    }

  private:
    // A score kept to two decimals toward zero, as a scan keeps its own (the hair absorbs
    // the decimal's rounding, so that a score written with two decimals reads back as itself).
    float scoreOf(const std::string& text) const {
        if (text == ".") return 1.0f;
        double value = 0;
        if (!parseDouble(text, value) || !std::isfinite(value))
            fail("the score " + printable(text) + " is not a number");
        const double cents = std::trunc(value * 100 * (1 + 1e-12));
        return static_cast<float>(cents / 100.0);
    }
    char strandOf(const std::string& text) const {
        if (text == "+" || text == ".") return '+';
        if (text == "-") return '-';
        fail("the strand " + printable(text) + " is not +, - or .");
    }

    LineReader reader_;
};

// The genes a site of genome coordinates may lie within, by chromosome and start.
class PlaceIndex {
  public:
    explicit PlaceIndex(const std::vector<Seq>& genes) : genes_(genes) {
        for (size_t g = 0; g < genes.size(); ++g) {
            const GenePlace& place = *genes[g].place;
            byChrom_[place.chrom].push_back(g);
            longest_ = std::max(longest_, place.end - place.start);
        }
        for (auto& [chrom, list] : byChrom_)
            std::sort(list.begin(), list.end(), [&](size_t a, size_t b) {
                return genes_[a].place->start < genes_[b].place->start;
            });
    }
    // Calls take(g) for each gene that holds the whole site.
    template <typename Take>
    void within(const Site& site, Take&& take) const {
        const auto found = byChrom_.find(site.chrom);
        if (found == byChrom_.end()) return;
        const std::vector<size_t>& list = found->second;
        auto from = std::lower_bound(
            list.begin(), list.end(), site.end - longest_,
            [&](size_t g, int64_t start) { return genes_[g].place->start < start; });
        for (auto it = from; it != list.end() && genes_[*it].place->start <= site.start; ++it)
            if (genes_[*it].place->end >= site.end) take(*it);
    }

  private:
    const std::vector<Seq>& genes_;
    std::unordered_map<std::string, std::vector<size_t>> byChrom_;
    int64_t longest_ = 0;
};

// The site as a hit of gene `gene`: on the minus strand of a reverse-complemented gene, its
// positions counted from the gene's other end and its strand turned.
MHit hitOn(const Site& site, int32_t motif, const Seq& gene) {
    MHit hit;
    hit.motif = motif;
    hit.score = site.score;
    if (gene.place && gene.place->minus) {
        hit.start = static_cast<int32_t>(gene.place->end - site.end);
        hit.end = static_cast<int32_t>(gene.place->end - 1 - site.start);
        hit.strand = site.strand == '+' ? '-' : '+';
    } else {
        const int64_t offset = gene.place ? gene.place->start : 0;
        hit.start = static_cast<int32_t>(site.start - offset);
        hit.end = static_cast<int32_t>(site.end - 1 - offset);
        hit.strand = site.strand;
    }
    return hit;
}

}  // namespace

std::vector<std::string> siteMotifNames(const std::vector<std::string>& paths) {
    std::set<std::string> names;
    for (const std::string& path : paths) {
        if (path.empty()) continue;
        SiteReader reader(path);
        for (Site site; reader.next(site);) names.insert(site.motif);
    }
    return {names.begin(), names.end()};
}

MotifA siteMotifs(const Args& settings, Progress progress) {
    const std::vector<std::string> names =
        siteMotifNames({settings.sitesFile, settings.backgroundSitesFile});
    if (names.empty())
        die("Error: --sites file " + printable(settings.sitesFile) + " holds no site");
    std::string files = printable(settings.sitesFile);
    if (!settings.backgroundSitesFile.empty())
        files += " and " + printable(settings.backgroundSitesFile);
    progress.line("Read: " + withThousands(static_cast<int64_t>(names.size())) +
                  " motifs (BED sites) named in " + files);
    return MotifA(settings, names, "BED sites");
}

std::vector<std::vector<MHit>> readSites(const std::string& path, const MotifNames& names,
                                         const std::vector<Seq>& genes, SiteCounts& counts) {
    std::vector<std::vector<MHit>> sites(genes.size());
    const bool placed = !genes.empty() && genes.front().place.has_value();
    std::optional<PlaceIndex> places;
    std::unordered_multimap<std::string, size_t> byName;
    if (placed)
        places.emplace(genes);
    else
        for (size_t g = 0; g < genes.size(); ++g) byName.emplace(genes[g].name, g);
    SiteReader reader(path);
    for (Site site; reader.next(site);) {
        ++counts.read;
        const auto id = static_cast<int32_t>(
            std::lower_bound(names.names.begin(), names.names.end(), site.motif) -
            names.names.begin());
        bool onGene = false;
        auto take = [&](size_t g) {
            onGene = true;
            ++counts.placed;
            counts.zeroScore += site.score == 0;
            sites[g].push_back(hitOn(site, id, genes[g]));
        };
        if (placed) {
            places->within(site, take);
        } else {
            const auto [first, last] = byName.equal_range(site.chrom);
            for (auto it = first; it != last; ++it) {
                const auto length = static_cast<int64_t>(genes[it->second].seq.size());
                if (site.end > length)
                    reader.fail("the site ends at " + std::to_string(site.end) +
                                ", past the end of gene " + printable(site.chrom) + " (" +
                                std::to_string(length) + " letters)");
                take(it->second);
            }
        }
        counts.elsewhere += !onGene;
    }
    for (std::vector<MHit>& hits : sites) std::stable_sort(hits.begin(), hits.end(), CompHitPos);
    return sites;
}
