// Foreground against background in the two properties that bias module counts (length and
// GC content): medians, means and a two-sided Mann-Whitney test of each. The test uses the
// normal approximation of the rank-sum U with the correction for ties and a continuity
// correction of 1/2. A background that differs is named in warnings: median lengths more
// than 10 % apart, mean GC more than 0.02 apart, or either test below 0.001.
#pragma once

#include <string>
#include <vector>

#include "hits/GeneShape.hpp"

struct PropertyComparison {
    double medianForeground = 0, medianBackground = 0;
    double meanForeground = 0, meanBackground = 0;
    double pValue = 1;  // two-sided Mann-Whitney
};

struct SetComparison {
    PropertyComparison length, gc;
};

// Two-sided Mann-Whitney p-value of samples a and b (1 where either is empty).
double mannWhitneyP(const std::vector<double>& a, const std::vector<double>& b);

// GC is compared over the genes that hold bases.
SetComparison compareSets(const std::vector<GeneShape>& foreground,
                          const std::vector<GeneShape>& background);

// One "Warning: " line (without newline) for each property in which the sets differ.
std::vector<std::string> confoundWarnings(const SetComparison& comparison);

// The statistics table's lines on the comparison, each starting "# ".
std::vector<std::string> comparisonNotes(const SetComparison& comparison);
