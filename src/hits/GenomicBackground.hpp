// A background drawn from the genome and matched to the regions (--genomic-background R):
// for each region, R windows of its length whose GC falls in the region's GC bin (GC of the
// upper-case bases, as for any gene), outside every region and every excluded interval, with
// at most 70 % letters that are no upper-case base (N, or masked by -l), each window once.
// A window's chromosome is drawn in proportion to chromosome length and its start uniformly
// among those that keep it inside the chromosome (a chromosome too short is drawn again); a
// region makes up to 50 draws per window wanted, plus 1,000, and those short of R windows
// are counted. Region r draws from its own generator, seeded with (seed, r); the regions
// take their windows in their order, so that the background is the same on every run with
// the same seed.
#pragma once

#include <cstdint>
#include <vector>

#include "hits/Genome.hpp"
#include "hits/HitA.hpp"
#include "hits/Regions.hpp"

struct GenomicOptions {
    int32_t ratio = 1;
    uint32_t seed = 0;
    bool maskLowercase = false;
};

struct GenomicBackground {
    std::vector<Seq> windows;    // named CHROM:START-END (0-based, end excluded)
    int64_t regionsMatched = 0;  // regions given all `ratio` windows
};

// `genes` are the regions as genes (their letters give length and GC); `excluded` holds
// every interval no window may touch.
GenomicBackground genomicBackground(const Genome& genome, const std::vector<Seq>& genes,
                                    const IntervalSet& excluded, const GenomicOptions& options);
