// The run pipeline shared by both programs: settings, motif library, hit stage and
// discovery stage, each built from a fresh copy of the settings in this fixed order.
#pragma once

#include "common/Args.hpp"
#include "motif/MotifA.hpp"

template <typename HitStage, typename DiscoveryStage>
int runPipeline(int argc, char** argv) {
    Args settings(argc, argv);
    MotifA motifs(settings);
    HitStage hits(settings, motifs);
    DiscoveryStage discovery(settings, hits);
    return 0;
}
