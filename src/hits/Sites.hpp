// Binding sites from another scanner (--sites): a BED file whose lines are the hits, in place
// of scanning. Column 4 names the motif, column 5 is the score (kept to two decimals, as a
// scan's; "." or absent counts 1) and column 6 the strand ("." or absent counts +). A site
// belongs to a gene named like its chromosome (FASTA genes), or, for genes cut from a genome
// (--regions, --background-regions, --genomic-background), to every gene it lies within,
// placed on the gene's strand. Each gene's sites are ordered by start, ties in file order, as
// a scan orders its hits, and then thinned by the same overlap removal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hits/HitA.hpp"
#include "motif/MotifA.hpp"

// The distinct motif names of the site files (column 4), in byte-wise order.
std::vector<std::string> siteMotifNames(const std::vector<std::string>& paths);

// The motifs of a run on sites: the names of --sites and --background-sites, said in a
// "Read:" line.
MotifA siteMotifs(const Args& settings, Progress progress);

// What the reading of a site file for one set of genes found.
struct SiteCounts {
    int64_t read = 0;       // sites in the file
    int64_t placed = 0;     // placements on genes (a site within two genes counts twice)
    int64_t elsewhere = 0;  // sites on no gene of the set
    int64_t zeroScore = 0;  // placed sites of score 0, which overlap removal drops
};

// The sites of each gene, by motif id of `names` (see siteMotifNames), in scan order.
// A site that does not fit its gene (FASTA genes) is refused with its line.
std::vector<std::vector<MHit>> readSites(const std::string& path, const MotifNames& names,
                                         const std::vector<Seq>& genes, SiteCounts& counts);
