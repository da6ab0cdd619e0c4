// A self-contained HTML view of a module report: no network access, no external scripts or
// fonts. A table of the modules, sortable by probability, genes and motif count, and per
// module a drawing of its instances: each instance's gene as a line (at the gene's length
// where a sequence file gives it, else the span of its hits) with each hit as a box coloured
// by motif, forward hits above the line and reverse hits below, and a legend. The data sit
// in the page as JSON and each module is drawn as an inline SVG when it is opened, so that a
// report of many thousand modules stays usable; only the first instances of a module are
// kept for drawing, at most a set number of modules are kept (the first, or the most
// significant), and the page says how many of each were left out.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "report/Coordinates.hpp"
#include "report/ModuleFamilies.hpp"
#include "report/MotifCatalog.hpp"
#include "report/ReportReader.hpp"

struct PageLimits {
    size_t instancesPerModule = 20;
    size_t modules = 10000;
    bool mostSignificant = false;  // keep the modules of smallest rank, in that order
};

class HtmlPage {
  public:
    HtmlPage(PageLimits limits, const GeneCoordinates& coordinates, const MotifCatalog& motifs)
        : limits_(limits), coordinates_(coordinates), motifs_(motifs) {}

    // `rank` orders the modules when the most significant are kept: the probability, or a
    // value of the module's statistics.
    void add(const ReportModule& module, double rank);
    // A table to show above the plots (the single-motif baseline): its header's columns and
    // its rows, each as many fields.
    void addMotifTable(std::vector<std::string> columns,
                       std::vector<std::vector<std::string>> rows);
    // `provenance`: how the page was made, a line each, shown in its footer.
    void write(std::ostream& out, const std::string& title,
               const std::vector<std::string>& provenance);

  private:
    struct Kept {
        double rank;
        int64_t number;
        std::string json;
    };
    static bool before(const Kept& a, const Kept& b);

    PageLimits limits_;
    const GeneCoordinates& coordinates_;
    const MotifCatalog& motifs_;
    std::map<std::string, std::string> logos_;  // JSON of the logo of each motif drawn
    ModuleFamilies families_;                   // of every module added, for the parents
    std::vector<Kept> kept_;  // a heap, worst on top, while the most significant are kept
    int64_t total_ = 0;
    bool statistics_ = false;  // the modules carry rows of a statistics table
    std::vector<std::string> motifColumns_;
    std::vector<std::vector<std::string>> motifRows_;
};

// A JSON string literal that is also safe inside an HTML script element.
std::string jsonString(const std::string& text);
