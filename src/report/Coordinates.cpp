// Coordinates: regions parsed from titles (getfasta, UCSC, range= forms) or gene names, and hit
// positions turned to the genome's, strand-aware.
#include "report/Coordinates.hpp"

#include <cctype>
#include <ostream>
#include <vector>

#include "common/LineReader.hpp"
#include "common/Log.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "hits/SeqReader.hpp"

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A position: digits only, below 10^15 (no chromosome is longer).
bool readPosition(const std::string& text, int64_t& value) {
    uint64_t digits = 0;
    if (!parseDigits(text, 999999999999999, digits)) return false;
    value = static_cast<int64_t>(digits);
    return true;
}

// "chrom:start-end", with an optional "range=" prefix, "name::" prefix and "(+)"/"(-)".
std::optional<TitleRegion> regionInWord(std::string word) {
    if (word.rfind("range=", 0) == 0) word = word.substr(6);
    if (size_t names = word.rfind("::"); names != std::string::npos) word = word.substr(names + 2);
    TitleRegion region;
    // bedtools getfasta -s writes the BED strand: +, -, '.', or nothing without one.
    if (endsWith(word, "(+)") || endsWith(word, "(-)") || endsWith(word, "(.)")) {
        region.minus = endsWith(word, "(-)");
        word.resize(word.size() - 3);
    } else if (endsWith(word, "()")) {
        word.resize(word.size() - 2);
    }
    const size_t colon = word.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    const size_t dash = word.find('-', colon);
    if (dash == std::string::npos ||
        !readPosition(word.substr(colon + 1, dash - colon - 1), region.start) ||
        !readPosition(word.substr(dash + 1), region.end) || region.end < region.start)
        return std::nullopt;
    region.chrom = word.substr(0, colon);
    return region;
}

// A gene named as bedtools getfasta -name -s names a region, NAME::CHROM:START-END(STRAND),
// which a regions run of rekul gives its genes: its region, with no sequence file needed.
std::optional<TitleRegion> regionOfName(const std::string& gene) {
    const size_t names = gene.rfind("::");
    if (names == std::string::npos || gene.empty() || gene.back() != ')') return std::nullopt;
    return regionInWord(gene);
}

}  // namespace

std::optional<TitleRegion> regionInTitle(const std::string& title, bool group) {
    std::vector<std::string> all =
        splitWords(!title.empty() && title[0] == '>' ? title.substr(1) : title);
    if (all.empty()) return std::nullopt;
    std::optional<TitleRegion> region;
    if (group) {
        // An ortholog group names a region per species, the reference species first, its
        // chromosome after the species' own prefix (hg19_chr11): the reference's region.
        for (size_t i = 0; i < all.size() && !region; ++i) region = regionInWord(all[i]);
        if (region)
            if (const size_t at = region->chrom.find("_chr"); at != std::string::npos)
                region->chrom = region->chrom.substr(at + 1);
        return region;
    }
    for (size_t i = 1; i < all.size() && !region; ++i) region = regionInWord(all[i]);
    if (!region) region = regionInWord(all[0]);
    if (!region) return std::nullopt;
    const std::string& name = all[0];
    // UCSC upstream and downstream files mark the strand in the name: ..._up_2000_chr2L_..._r.
    const bool ucscName =
        name.find("_up_") != std::string::npos || name.find("_down_") != std::string::npos;
    if (ucscName && endsWith(name, "_r")) region->minus = true;
    for (const std::string& word : all) {
        if (word == "strand=-") region->minus = true;
        if (word == "strand=+") region->minus = false;
    }
    return region;
}

GeneCoordinates::GeneCoordinates(const std::string& fastaPath) {
    // The length of each gene, or of an ortholog group's reference species, split off as
    // rekulo splits it.
    SeqEntries entries(fastaPath, "rekul-report");
    std::string name, line;
    std::vector<std::string> body;
    while (entries.nextEntry(name)) {
        const std::string title = entries.title();
        const long titleLine = entries.titleLine();
        body.clear();
        while (entries.nextLine(line)) body.push_back(line);
        const bool group = !body.empty() && !body.front().empty() && body.front()[0] == '<';
        addGene(title, titleLine, static_cast<int64_t>(splitSpecies(body).front().size()), group);
    }
}

void GeneCoordinates::addGene(const std::string& title, long titleLine, int64_t length,
                              bool group) {
    Gene gene{length, regionInTitle(title, group), titleLine};
    if (gene.region) {
        TitleRegion& region = *gene.region;
        if (region.end - region.start == length) {
            // bedtools: 0-based start, exclusive end
        } else if (region.end - region.start + 1 == length && region.start >= 1) {
            region.start -= 1;  // UCSC: 1-based start, inclusive end
        } else {
            if (!warned_)
                warn("the region " + region.chrom + ":" + std::to_string(region.start) + "-" +
                     std::to_string(region.end) + " in the title of " + geneNameFromTitle(title) +
                     " does not fit its length " + std::to_string(length) +
                     "; positions stay relative to the genes");
            warned_ = true;
            gene.region.reset();
        }
    }
    // The reader refuses a name given twice, which could not be told apart.
    genes_.emplace(geneNameFromTitle(title), gene);
}

std::optional<int64_t> GeneCoordinates::length(const std::string& gene) const {
    if (genes_.empty()) {
        const std::optional<TitleRegion> region = regionOfName(gene);
        if (!region) return std::nullopt;
        return region->end - region->start;
    }
    auto it = genes_.find(gene);
    if (it == genes_.end()) return std::nullopt;
    return it->second.length;
}

std::optional<TitleRegion> GeneCoordinates::region(const std::string& gene) const {
    if (genes_.empty()) return regionOfName(gene);
    auto it = genes_.find(gene);
    if (it == genes_.end()) return std::nullopt;
    return it->second.region;
}

Placement GeneCoordinates::place(const std::string& gene, int64_t start, int64_t end,
                                 char strand) const {
    if (genes_.empty()) {
        const std::optional<TitleRegion> region = regionOfName(gene);
        if (!region) return {gene, start, end + 1, strand};
        return onRegion(*region, region->end - region->start, start, end, strand);
    }
    auto it = genes_.find(gene);
    if (it == genes_.end())
        die("Error: gene " + gene + " of the report is not in the sequence file");
    const Gene& info = it->second;
    if (end >= info.length)
        die("Error: positions " + std::to_string(start) + "-" + std::to_string(end) + " of gene " +
            gene + " lie beyond its length " + std::to_string(info.length));
    if (!info.region) return {gene, start, end + 1, strand};
    return onRegion(*info.region, info.length, start, end, strand);
}

Placement GeneCoordinates::onRegion(const TitleRegion& region, int64_t length, int64_t start,
                                    int64_t end, char strand) {
    if (!region.minus) return {region.chrom, region.start + start, region.start + end + 1, strand};
    const char flipped = strand == '+' ? '-' : strand == '-' ? '+' : strand;
    return {region.chrom, region.start + length - 1 - end, region.start + length - start, flipped};
}
