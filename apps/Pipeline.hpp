// The run pipeline shared by both programs: settings, motif library, hit stage and
// discovery stage, each built from a fresh copy of the settings in this fixed order. The
// report goes to standard output; progress lines go to standard error unless --quiet.
#pragma once

#include <iostream>

#include "common/Args.hpp"
#include "common/Progress.hpp"
#include "motif/MotifA.hpp"

template <typename HitStage, typename DiscoveryStage>
int runPipeline(const char* program, int argc, char** argv) {
    Args settings(argc, argv, program);
    const Progress progress = settings.quiet ? Progress::silent() : Progress(&std::cerr);
    MotifA motifs(settings);
    HitStage hits(settings, motifs, progress);
    DiscoveryStage discovery(settings, hits, std::cout, progress);
    return 0;
}
