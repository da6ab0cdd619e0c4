// Permutations split across machines (--permutation-shard K/N). A shard file holds the
// statistics table of its run, the p of each module, and for its slice of the permutations
// each one's smallest p and the permuted p-values the fdr needs (with the pool method, at
// least every one the whole run keeps), numbers in hexadecimal floating point so that they
// read back bit for bit. The merge checks that the N shards are the slices of one run (the
// same table but for the permutation columns and notes, the same seed and settings, each
// slice once), then writes the table again with fwer and fdr from all the permutations: the
// same functions over the same values as a single run, so the same bytes.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct PermutationShard {
    int32_t index = 0, count = 0;  // shard K of N
    int32_t first = 0, size = 0;   // its permutations: `size` from `first`
    int32_t requested = 0;         // the permutations of the whole table
    int32_t done = 0;              // those this shard finished (fewer when stopped)
    std::string method;            // pool or search
    std::vector<double> observed;  // each module's p, in table order
    std::vector<double> minima;    // each permutation's smallest p
    std::vector<double> permuted;  // the permuted p-values kept for the fdr
    std::string table;             // the table as the shard's run wrote it
};

void writePermutationShard(std::ostream& out, const PermutationShard& shard);
// Reads a shard file; a file of another kind or a damaged one is refused with its line.
PermutationShard readPermutationShard(const std::string& path);
// The table of all the shards' permutations; `paths` name the shards in messages.
std::string mergePermutationShards(const std::vector<PermutationShard>& shards,
                                   const std::vector<std::string>& paths);
