// A genome's faidx index checked against the genome itself, so that an index made for
// another version of the file (re-wrapped, edited, moved in with an older time) is never
// trusted: for every indexed sequence, in the order of its offset, the line before its
// letters is its own '>' title, its lines break where the index says, and after its last
// letter come only line ends and then the next indexed title or the end of the file. A title
// the index does not know is told apart: a name the index holds already is a sequence named
// twice; any other means the index does not describe the file. The check reads a few bytes
// around each sequence's start and end (through the .gzi for a bgzip genome), never the
// letters in between.
#pragma once

#include <string>

struct IndexCheck {
    bool matches = true;
    std::string mismatch;   // what does not match, where it does not
    std::string duplicate;  // a name given to two sequences, and the lines of both titles
};

// `gzi` is empty for a plain genome.
IndexCheck checkGenomeIndex(const std::string& genome, const std::string& fai,
                            const std::string& gzi);
