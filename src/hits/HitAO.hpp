// Hit stage of rekulo: each gene is an ortholog group, reference species first. Every species
// sequence is scanned as rekul scans a gene; a reference hit is kept when it takes part in at
// least minMotifNumber - 1 motif pairs whose pair key occurs in every species of the group.
#pragma once

#include <string>
#include <vector>

#include "hits/HitStage.hpp"

struct SeqO {
    std::string name;
    std::vector<std::string> species;
};

class HitAO : public HitStage {
  public:
    int32_t minMotifNumber;
    int32_t windowSize;
    std::vector<SeqO> seqs;

    // With a foreground stage: a background, scored with the foreground's tables and cutoffs.
    HitAO(Args settings, MotifA& motifs, Progress progress = Progress(),
          const HitStage* foreground = nullptr);
    // A stage in two steps (see HitA): this reads and settles the groups, scan() scans them.
    HitAO(Args settings, Progress progress, const HitStage* foreground);
    void scan(MotifA& motifs, const HitStage* pooledWith = nullptr);
    void ReadSeq();
    void SeqMotifHit(MotifA& motifs);
    std::vector<MHit> FindHitArray(const std::vector<SeqHit>& speciesHits) const;
};

// The conserved reference hits of one group, in reference order.
std::vector<MHit> conservedHits(const std::vector<SeqHit>& speciesHits, int32_t windowSize,
                                int32_t minMotifNumber);
