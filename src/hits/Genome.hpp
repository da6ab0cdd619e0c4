// A genome FASTA read through htslib's faidx index, plain or bgzip-compressed: only the
// letters asked for are read, so memory follows the regions, not the genome. Where the index
// (.fai, and .gzi for bgzip) is missing it is built beside the genome when its folder is
// writable; otherwise, or where the index is older than the genome, one is built for this
// run alone in a temporary folder, with a warning. An index is checked against the genome
// (hits/GenomeIndex.hpp): one that does not describe the file is replaced for the run in the
// same way, and a genome that names a sequence twice is refused. Letters come as stored:
// case is kept. The letters are read once: a plain genome is mapped into memory and its
// letters cut from the mapping by the index's line layout; a bgzip genome's chromosomes are
// decompressed whole on their first use and kept (up to 4 GB, the least recently used
// dropped beyond), instead of one faidx fetch, with its seeks and block decompressions, per
// region and per drawn window.
#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct faidx_t;
struct IndexCheck;

// The path of a genome's index: the genome's path and ".fai" (".gzi" for the block offsets
// of a bgzip genome); empty without a genome.
std::string genomeIndexPath(const std::string& genome, const std::string& suffix);

class Genome {
  public:
    // Opens the genome and its index; a genome that cannot be read ends the run.
    explicit Genome(const std::string& path);
    ~Genome();
    Genome(const Genome&) = delete;
    Genome& operator=(const Genome&) = delete;

    const std::string& path() const { return path_; }
    size_t chromosomes() const { return names_.size(); }
    const std::string& name(size_t c) const { return names_[c]; }
    int64_t length(size_t c) const { return lengths_[c]; }
    // The index of a chromosome, or -1.
    int64_t find(const std::string& name) const;
    // Letters [start, end) of chromosome c, which must lie within it.
    std::string fetch(size_t c, int64_t start, int64_t end) const;

  private:
    // Where a chromosome's letters lie in a plain genome file.
    struct Layout {
        int64_t offset = 0, lineBases = 0, lineWidth = 0;
    };
    void open();
    void mapLetters(const std::string& fai);
    std::string cut(size_t c, int64_t start, int64_t end) const;
    std::string cachedLetters(size_t c, int64_t start, int64_t end) const;
    std::string refuseDuplicate(const IndexCheck& check) const;
    std::string path_;
    faidx_t* index_ = nullptr;
    std::vector<std::string> names_;
    std::vector<int64_t> lengths_;
    std::unordered_map<std::string, size_t> byName_;
    std::vector<Layout> layout_;  // plain genomes, by chromosome
    const char* mapped_ = nullptr;
    size_t mappedSize_ = 0;
    mutable std::vector<std::string> loaded_;  // bgzip genomes: chromosomes read whole
    mutable std::list<size_t> recent_;         // loaded chromosomes, the latest first
    mutable int64_t loadedLetters_ = 0;
    mutable std::mutex loading_;
};

// The reverse complement of a text, as bedtools writes it: A, C, G, T, N and their lower-case
// forms and the IUPAC codes complemented, case kept, anything else left as it is.
std::string reverseComplement(std::string text);
