// Hit stage of rekul: reads one sequence per gene, sets the cutoffs, scans every gene on
// both strands and keeps one thinned hit list per gene; the sequence texts are then dropped.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hits/HitStage.hpp"

// Where a gene cut from a genome lies: chromosome, start and end (0-based, end exclusive),
// and whether its letters are the minus strand's (reverse-complemented).
struct GenePlace {
    std::string chrom;
    int64_t start = 0, end = 0;
    bool minus = false;
};

struct Seq {
    std::string name;
    std::string seq;
    std::optional<GenePlace> place = {};  // for genes cut from a genome
};

class HitA : public HitStage {
  public:
    std::vector<Seq> seqs;

    // With a foreground stage: a background, scored with the foreground's tables and cutoffs.
    HitA(Args settings, MotifA& motifs, Progress progress = Progress(),
         const HitStage* foreground = nullptr);
    // A stage in two steps, for a run whose foreground and background are scored together:
    // this reads and settles the genes (of the file, or `genes` where given, announced by
    // `readLine`), and scan() scans them.
    HitA(Args settings, Progress progress, const HitStage* foreground,
         std::optional<std::vector<Seq>> genes = std::nullopt, std::string readLine = "");
    // Sets the cutoffs (a foreground, from its composition pooled with `pooledWith`'s) or
    // takes the foreground's, scans every gene and drops the texts.
    void scan(MotifA& motifs, const HitStage* pooledWith = nullptr);
    void ReadSeq();
    void SeqMotifHit(MotifA& motifs);

  private:
    // With --sites: the hits of every gene are the sites of the BED file, thinned as a
    // scan's hits are.
    void takeSites(const MotifA& motifs);
};
