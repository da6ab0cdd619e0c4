// A hit stage with given hit lists, standing in for a scanned sequence file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "hits/HitStage.hpp"

struct FakeHits : HitStage {
    FakeHits(std::vector<SeqHit> genes, std::vector<std::string> names = {"A", "B", "C", "D"})
        : HitStage(Args(), Progress::silent()) {
        seqHits = std::move(genes);
        motifNames = std::move(names);
    }
};
