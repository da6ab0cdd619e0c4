// Gene coordinates for BED and GFF3 output. Without a sequence file, a hit is placed on the
// gene itself (the gene name is the sequence name, positions as in the report). With one,
// each gene's title line may give its genomic region, "chrom:start-end" as bedtools
// getfasta (0-based start, exclusive end) or the UCSC browser (1-based start, inclusive end)
// write it, optionally with a "range=" prefix, a "(+)" or "(-)" suffix, a "strand=+" or
// "strand=-" word, or the "_f"/"_r" name suffix of UCSC upstream files. Which convention a
// title uses is decided from the sequence's length; a minus-strand region maps positions and
// strands in reverse. Where neither convention fits, positions stay relative (with one
// warning for the file).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <unordered_map>

// A genomic region as a title states it, before its convention is known.
struct TitleRegion {
    std::string chrom;
    int64_t start = 0, end = 0;
    bool minus = false;
};

// The region stated in a title line (with or without its '>'), if any; for an ortholog
// `group`, the reference species' region, the first the title names.
std::optional<TitleRegion> regionInTitle(const std::string& title, bool group = false);

// Where a stretch of a gene lies: sequence name, 0-based start, exclusive end, strand.
struct Placement {
    std::string seqid;
    int64_t start = 0, end = 0;
    char strand = '+';
};

class GeneCoordinates {
  public:
    // Positions relative to the genes, except for genes named as bedtools getfasta -name -s
    // names a region (NAME::CHROM:START-END(STRAND), as a regions run of rekul names them),
    // which are placed on that region.
    GeneCoordinates() = default;
    // Reads the titles and sequence lengths of a rekul or rekulo sequence file, with the
    // programs' own reader (which refuses a name given twice).
    explicit GeneCoordinates(const std::string& fastaPath);

    // Places the gene's positions start..end (0-based, inclusive) on strand + or - (or '.').
    // Refuses positions beyond the end of a gene whose length is known.
    Placement place(const std::string& gene, int64_t start, int64_t end, char strand) const;
    // The gene's sequence length, where a sequence file gave it.
    std::optional<int64_t> length(const std::string& gene) const;
    // The gene's genomic region (0-based start, exclusive end), where its title places it.
    std::optional<TitleRegion> region(const std::string& gene) const;

  private:
    struct Gene {
        int64_t length = 0;
        std::optional<TitleRegion> region;  // start converted to 0-based
        long titleLine = 0;
    };
    static Placement onRegion(const TitleRegion& region, int64_t length, int64_t start, int64_t end,
                              char strand);
    void addGene(const std::string& title, long titleLine, int64_t length, bool group);

    std::unordered_map<std::string, Gene> genes_;
    bool warned_ = false;
};
