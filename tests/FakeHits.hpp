// A hit stage with given hit lists, standing in for a scanned sequence file, and the hits
// and settings of a module search.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "hits/HitStage.hpp"

// A plus-strand hit of score 5.
inline MHit hit(int32_t motif, int32_t start, int32_t end) {
    return MHit{motif, start, end, '+', 5.0f};
}

// The settings of a module search.
inline Args searchSettings(int32_t window, int32_t genes, int32_t minMotifs, int threads = 1) {
    Args args;
    args.windowSize = window;
    args.geneNumber = genes;
    args.minMotifNumber = minMotifs;
    args.threads = threads;
    return args;
}

struct FakeHits : HitStage {
    FakeHits(std::vector<SeqHit> genes, std::vector<std::string> names = {"A", "B", "C", "D"})
        : HitStage(Args(), Progress::silent()) {
        seqHits = std::move(genes);
        motifNames = std::move(names);
    }
};
