// Reads the statistics table that rekul and rekulo write with --stats: a header row naming
// the columns, one row per module (M1, M2, ... in report order), and '#' notes at the end.
// Columns are found by name (fdr and p_vs_parts may be missing, in tables of earlier
// versions). Each module of the report must have its row, with the same
// motifs, so that a table of another run is refused instead of being joined wrongly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/ReportReader.hpp"

// The statistics of one module: the fields as printed, and the values that filter and sort.
struct ModuleSignificance {
    std::string motifs;
    std::string backgroundGenes, backgroundTotal, foldEnrichment, pValue, eValue, qValue, fwer, fdr,
        pVsParts;
    double p = 0, q = 0;
    // Not a number where the table has none: no permutations, or no background.
    double fwerValue = 0, fdrValue = 0, partsValue = 0;
    // The page's texts: "≥" before an fdr that is a lower limit (fdr_exact 0), "≤" before a
    // value at the floor of the permutations, 1/(N+1).
    bool fdrLowerLimit = false;
    std::string fwerShown, fdrShown;
};

class StatsTable {
  public:
    explicit StatsTable(const std::string& path);

    // The module's row; ends the run when the table has none or names other motifs.
    const ModuleSignificance& of(const ReportModule& module) const;
    bool hasFwer() const { return hasFwer_; }
    bool hasParts() const { return hasParts_; }
    int64_t rows() const { return static_cast<int64_t>(rows_.size()); }
    const std::vector<std::string>& notes() const { return notes_; }

    // The columns the table adds to rekul-report's TSV, tab-separated, and a row's fields.
    static const char* const kColumns;
    static std::string fields(const ModuleSignificance& row);

  private:
    void markBounds();
    std::string path_;
    std::vector<ModuleSignificance> rows_;  // module number - 1
    std::vector<std::string> notes_;
    bool hasFwer_ = true, hasParts_ = true;
};
