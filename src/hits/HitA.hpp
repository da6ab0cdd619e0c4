// Hit stage of rekul: reads one sequence per gene, sets the cutoffs, scans every gene on
// both strands and keeps one thinned hit list per gene; the sequence texts are then dropped.
#pragma once

#include <string>
#include <vector>

#include "hits/HitStage.hpp"

struct Seq {
    std::string name;
    std::string seq;
};

class HitA : public HitStage {
  public:
    std::vector<Seq> seqs;

    // With a foreground stage: a background, scored with the foreground's tables and cutoffs.
    HitA(Args settings, MotifA& motifs, Progress progress = Progress(),
         const HitStage* foreground = nullptr);
    void ReadSeq();
    void SeqMotifHit(MotifA& motifs);
};
