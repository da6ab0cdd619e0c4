// The run pipeline shared by both programs: settings, motif library, hit stage and
// discovery stage, each built from a fresh copy of the settings in this fixed order. The
// report goes to standard output; progress lines go to standard error unless --quiet.
#pragma once

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>

#include "common/Args.hpp"
#include "common/Progress.hpp"
#include "common/die.hpp"
#include "motif/MotifA.hpp"

template <typename HitStage, typename DiscoveryStage>
int runPipeline(const char* program, int argc, char** argv) {
    std::set_new_handler(outOfMemory);
    Args settings(argc, argv, program);
    const Progress progress = settings.quiet ? Progress::silent() : Progress(&std::cerr);
    MotifA motifs(settings);
    HitStage hits(settings, motifs, progress);
    DiscoveryStage discovery(settings, hits, std::cout, progress);
    // Every write of the report is checked, the last ones by this flush.
    errno = 0;
    if (!std::cout.flush())
        die(std::string("Error: cannot write the report: ") + std::strerror(errno ? errno : EIO));
    return 0;
}
