// Shuffled control sequences that keep every k-mer count of the original (Altschul and
// Erickson 1985, generalised to k-mers by Kandel et al. 1996). A stretch of bases is an
// Eulerian path through the graph whose nodes are its (k-1)-mers and whose edges are its
// k-mers, from its first (k-1)-mer to its last. A uniform draw among all stretches with the
// same k-mer counts is a uniform draw among those paths:
//   1. a uniform spanning arborescence towards the last node, drawn with Wilson's
//      loop-erased random walks, gives each other node its last exit edge;
//   2. each node's other exit edges are put in a uniform random order before that last one;
//   3. walking from the first node, always leaving by the next unused edge, spells the copy.
// The first and last k-1 letters stay in place. Letters that are no upper-case base (N,
// other symbols, and lower case letters, which -l masks) stay where they are and split the
// sequence into stretches that are shuffled one by one.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "hits/HitA.hpp"

// A copy of `text` that keeps the counts of every k-mer (1 <= k <= 6) of each stretch of
// upper-case bases, drawn uniformly among all such copies with `generator`.
std::string shuffleKeepingKmers(std::string_view text, int k, std::mt19937& generator);

// `copies` shuffled copies of every gene, named GENE_shuf1, GENE_shuf2, ..., gene by gene;
// copy c of gene g draws from its own generator, seeded with (seed, g, c).
std::vector<Seq> shuffledCopies(const std::vector<Seq>& genes, int32_t copies, int k, uint32_t seed,
                                int threads);
