// The motif library: position frequency matrices read from the motif file, in file order.
// Each count row gets the pseudocount and is normalised to frequencies in single precision.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Args.hpp"
#include "common/Progress.hpp"

struct Motif {
    std::string name;   // name used in all output: index label, or TF name with -t
    std::string label;  // the other title label
    int32_t length = 0;
    float cutoff = 0;
    std::vector<float> freq;  // row-major: freq[4 * i + b] for base b at position i
    // The score cutoff the motif file lists (HOMER's third title field), used with
    // --homer-cutoffs.
    std::optional<float> listedCutoff;
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
    std::string seqFile;  // looked at only to tell swapped files apart
    std::vector<Motif> motifs;
    std::string formatName;  // the format the file was read in ("JASPAR", "native", ...)

    // Writes its "Read:" line to `progress`.
    explicit MotifA(Args settings, Progress progress = Progress());
    // A library of names only, without matrices, for hits that come from elsewhere (--sites).
    MotifA(const Args& settings, const std::vector<std::string>& names, std::string format);
    void ReadMotif();
    MotifNames nameTable() const;

  private:
    // The refusal of a file in which no motif has rows.
    [[noreturn]] void refuseRowless(const std::string& displayName,
                                    const std::vector<std::string>& lines) const;
    // With -t: one warning per factor name that several matrices share.
    void warnSharedNames() const;

    Progress progress_;
};

// Whether lines look like a sequence file: a title and then lines of bases only.
bool looksLikeFasta(const std::vector<std::string>& lines);

// Appends the frequencies of one row of four values (A, C, G, T) plus the pseudocount.
// Returns false when the row sums to zero and so has no frequencies.
bool appendRow(const std::array<double, 4>& row, float pseudocount, std::vector<float>& freq);
