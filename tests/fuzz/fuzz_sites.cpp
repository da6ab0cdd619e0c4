// The site reader of --sites, placing sites on genes by name and on genes cut from a genome
// (both strands), then the overlap removal that follows.
#include "FuzzInput.hpp"
#include "hits/Hit.hpp"
#include "hits/Sites.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryFile file(data, size);
    refusalsAllowed([&] {
        MotifNames names;
        names.names = siteMotifNames({file.path()});
        const std::vector<Seq> named{{"g1", std::string(40, 'A')}, {"g2", std::string(9, 'C')}};
        const std::vector<Seq> placed{
            {"r1", std::string(30, 'A'), GenePlace{"chr1", 10, 40}},
            {"r2", std::string(25, 'G'), GenePlace{"chr1", 20, 45, true}}};
        for (const std::vector<Seq>* genes : {&named, &placed}) {
            SiteCounts counts;
            for (std::vector<MHit>& hits : readSites(file.path(), names, *genes, counts))
                delHitOverlap(std::move(hits), 5);
        }
    });
    return 0;
}
