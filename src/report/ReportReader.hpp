// Reads a module report of rekul or rekulo one module at a time, so that a report of any
// size streams through in little memory. A block is a header line (">" motifs, a tab, the
// number of instances, a comma and the probability), then per instance a gene line and its
// hit lines (a tab, then motif, start, end, strand and score). Modules are numbered from 1
// in report order. A malformed block ends the run with the file's name and line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/LineReader.hpp"

struct ReportHit {
    std::string motif;
    int64_t start = 0, end = 0;  // 0-based, inclusive, on the gene's sequence
    char strand = '+';
    std::string score;  // as printed
};

struct ReportInstance {
    std::string gene;
    std::vector<ReportHit> hits;
};

struct ModuleSignificance;  // report/StatsTable.hpp
struct ModuleGrammar;       // report/GrammarTable.hpp

struct ReportModule {
    int64_t number = 0;  // 1-based position in the report
    std::vector<std::string> motifs;
    std::string probabilityText;  // as printed
    double probability = 0;
    std::vector<ReportInstance> instances;
    const ModuleSignificance* significance = nullptr;  // its row of a statistics table
    const ModuleGrammar* grammar = nullptr;            // its rows of a grammar table

    std::string id() const { return std::string(1, 'M').append(std::to_string(number)); }
    // The number of distinct genes holding an instance.
    int64_t geneCount() const;
};

class ReportReader {
  public:
    // "-" reads standard input; `shownAs` and `warnings` as for LineReader.
    explicit ReportReader(const std::string& path, const std::string& shownAs = "",
                          bool warnings = true);

    // Reads the next module; false at the end of the report.
    bool next(ReportModule& module);

  private:
    [[noreturn]] void fail(const std::string& what) const;  // at the line just read
    [[noreturn]] void failAt(long line, const std::string& what) const;
    bool nextLine();  // the next non-empty line into line_; false at the end
    int64_t readHeader(ReportModule& module);  // returns the announced number of instances
    void readHit(ReportModule& module);

    LineReader reader_;
    std::string line_;
    bool pending_ = false;  // line_ holds an unread header
    int64_t count_ = 0;
};
