// The motif library: position frequency matrices read from the motif file, in file order.
// Each count row gets the pseudocount and is normalised to frequencies in single precision.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Args.hpp"

struct Motif {
    std::string name;   // name used in all output: index label, or TF name with -t
    std::string label;  // the other title label
    int32_t length = 0;
    float cutoff = 0;
    std::vector<float> freq;  // row-major: freq[4 * i + b] for base b at position i
};

// Distinct motif names in byte-wise order, and each motif's position in that order.
// Later stages identify motifs by these compact ids; comparing ids compares names.
struct MotifNames {
    std::vector<std::string> names;
    std::vector<int32_t> idOfMotif;
};

class MotifA {
  public:
    bool useTfName;
    std::string motifFile;
    float pseudocount;
    std::string program;  // names the program in messages
    std::vector<Motif> motifs;

    explicit MotifA(Args settings);
    void ReadMotif();
    MotifNames nameTable() const;
};

// Appends the frequencies of one row of four values (A, C, G, T) plus the pseudocount.
// Returns false when the row sums to zero and so has no frequencies.
bool appendRow(const std::array<double, 4>& row, float pseudocount, std::vector<float>& freq);
