// The two properties of a gene that change how many modules it holds by chance, whatever its
// role: its length and its GC content. GC is counted over the upper-case bases only (letters
// that -l masks, N and other symbols are left out), and genes fall into GC bins with edges
// 0.20, 0.25, 0.30, 0.35, 0.40, 0.45, 0.50, 0.60, 0.70 and 0.80, as matched genomic
// backgrounds commonly use.
#pragma once

#include <cstdint>
#include <string_view>

struct GeneShape {
    int64_t length = 0;
    int64_t bases = 0;  // upper-case A, C, G, T
    int64_t gcBases = 0;
    double gc() const { return bases > 0 ? static_cast<double>(gcBases) / bases : 0.0; }
};

GeneShape shapeOf(std::string_view text);

// The GC bin (0 to 10) of a GC content.
int gcBin(double gc);

// Whether a stretch may stand in a drawn background: not empty, and at most 70 % of its
// letters no upper-case base (N, or masked by -l).
bool mostlyBases(const GeneShape& shape);
