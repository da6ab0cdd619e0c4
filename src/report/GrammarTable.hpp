// Reads the grammar table that rekul and rekulo write with --grammar: a header row naming the
// columns, rows grouped by module (M1, M2, ... in report order, each module's order and
// strands rows first), and '#' notes at the end. Each module of the report must have its rows,
// with the same motifs, so that a table of another run is refused instead of being joined.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/ReportReader.hpp"

struct GrammarTableRow {
    std::string feature, motifA, motifB, value;
    int64_t genes = 0, total = 0;
    double pValue = 1, fwer = 1;
    std::string fwerText;
};

struct ModuleGrammar {
    std::string motifs;
    std::vector<GrammarTableRow> rows;
    int32_t bin = 1;  // the table's spacing bin, in letters
};

class GrammarTable {
  public:
    explicit GrammarTable(const std::string& path);

    // The module's rows; ends the run when the table has none or names other motifs.
    const ModuleGrammar& of(const ReportModule& module) const;
    int64_t modules() const { return static_cast<int64_t>(modules_.size()); }
    const std::vector<std::string>& notes() const { return notes_; }

    // The rows a TSV joins: those at fwer <= kJoinedFwer, as
    // "feature[:motif_a:motif_b]=value (genes/total, fwer X)" joined by "; ".
    static constexpr double kJoinedFwer = 0.05;
    static std::string joined(const ModuleGrammar& module);

  private:
    std::string path_;
    std::vector<ModuleGrammar> modules_;  // module number - 1
    std::vector<std::string> notes_;
};
