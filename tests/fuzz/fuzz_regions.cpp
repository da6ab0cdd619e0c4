// The BED reader of --regions and --exclude over a small genome, and what follows from the
// regions it accepts: their letters, a matched genomic background and the overlap tests.
#include <stdlib.h>

#include <fstream>

#include "FuzzInput.hpp"
#include "hits/Genome.hpp"
#include "hits/GenomicBackground.hpp"
#include "hits/Regions.hpp"

namespace {

// A genome of two chromosomes in a folder of its own, indexed at its first opening.
const std::string& genomePath() {
    static const std::string path = [] {
        char folder[] = "/tmp/rekul-fuzz-genome-XXXXXX";
        const std::string dir = mkdtemp(folder);
        std::ofstream(dir + "/genome.fa") << ">chr1 first\nACGTacgtNNACGTTTGACCA\nGGCATTACGA\n"
                                          << ">chr2\nAAAAACCCCCGGGGGTTTTT\n";
        return dir + "/genome.fa";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Genome genome(genomePath());
    MemoryFile file(data, size);
    refusalsAllowed([&] {
        IntervalSet excluded(genome.chromosomes());
        for (const Region& region : readExcluded(file.path(), genome))
            excluded.add(region.chromIndex, region.start, region.end);
        excluded.settle();
        const std::vector<Region> regions = readRegions(file.path(), genome);
        const std::vector<Seq> genes = regionGenes(regions, genome);
        genomicBackground(genome, genes, excluded, {2, 7, false});
    });
    return 0;
}
