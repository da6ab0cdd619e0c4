// The check of a genome's faidx index against the genome: the input is a genome followed, after
// a line "@@", by an index of it (or, without that line, a genome alone, indexed by htslib).
// Whatever the two hold, the check ends with a verdict: no crash, no read outside the file.
#include <htslib/faidx.h>
#include <htslib/hts_log.h>
#include <stdlib.h>

#include <fstream>
#include <string>

#include "hits/GenomeIndex.hpp"

namespace {

const std::string& folder() {
    static const std::string path = [] {
        char pattern[] = "/tmp/rekul-fuzz-index-XXXXXX";
        hts_set_log_level(HTS_LOG_OFF);
        return std::string(mkdtemp(pattern));
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find("\n@@\n");
    const std::string genome = folder() + "/genome.fa", fai = folder() + "/genome.fa.fai";
    std::ofstream(genome, std::ios::binary | std::ios::trunc) << input.substr(0, split);
    if (split != std::string::npos) {
        std::ofstream(fai, std::ios::binary | std::ios::trunc) << input.substr(split + 4);
    } else if (fai_build3(genome.c_str(), fai.c_str(), nullptr) != 0) {
        return 0;
    }
    checkGenomeIndex(genome, fai, "");
    return 0;
}
