// The statistics table reader: columns found by name, rows checked against module numbers, and
// every probability checked to be a number in [0, 1].
#include "report/StatsTable.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/LineReader.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"

const char* const StatsTable::kColumns =
    "background_genes\tbackground_total\tfold_enrichment\tp_value\te_value\tq_value\tfwer\t"
    "fdr\tp_vs_parts";

namespace {

const char* const kNames[] = {"module",
                              "motifs",
                              "background_genes",
                              "background_total",
                              "fold_enrichment",
                              "p_value",
                              "e_value",
                              "q_value",
                              "fwer",
                              "fdr",
                              "p_vs_parts",
                              "fdr_exact"};
enum Column {
    kModule,
    kMotifs,
    kBackground,
    kBackgroundTotal,
    kFold,
    kP,
    kE,
    kQ,
    kFwer,
    kRequired,  // the columns after it may be missing
    kFdr = kRequired,
    kParts,
    kFdrExact,
    kCount
};

// A field that may be empty: its value, or not a number.
bool optionalValue(const std::string& field, double& value) {
    value = std::numeric_limits<double>::quiet_NaN();
    return field.empty() || parseDouble(field, value);
}

}  // namespace

StatsTable::StatsTable(const std::string& path) : path_(path) {
    LineReader reader(path);
    if (!reader.isOpen())
        dieIo("Error: cannot open statistics table " + path + ": " + reader.openError());
    auto fail = [&](const std::string& what) {
        die("Error: " + reader.displayName() + " line " + std::to_string(reader.lineNumber()) +
            ": " + what);
    };
    std::string line;
    if (!reader.next(line)) fail("empty file; expected the header row of a statistics table");
    const std::vector<std::string> header = splitAt(line, '\t');
    size_t at[kCount];
    for (int c = 0; c < kCount; ++c) {
        at[c] = static_cast<size_t>(std::find(header.begin(), header.end(), kNames[c]) -
                                    header.begin());
        if (at[c] == header.size() && c < kRequired)
            fail(std::string("no column ") + kNames[c] + "; is this a table written by --stats?");
    }
    while (reader.next(line)) {
        if (line.empty()) continue;
        if (line[0] == '#') {
            notes_.push_back(line);
            continue;
        }
        const std::vector<std::string> f = splitAt(line, '\t');
        int64_t number = 0;
        ModuleSignificance row;
        if (f.size() != header.size() || f[at[kModule]].size() < 2 || f[at[kModule]][0] != 'M' ||
            !parseInt64(f[at[kModule]].substr(1), number) ||
            number != static_cast<int64_t>(rows_.size()) + 1 || !parseDouble(f[at[kP]], row.p) ||
            !parseDouble(f[at[kQ]], row.q))
            fail("a row needs " + std::to_string(header.size()) + " fields: module M" +
                 std::to_string(rows_.size() + 1) + ", its motifs and its p and q values");
        row.motifs = f[at[kMotifs]];
        row.backgroundGenes = f[at[kBackground]];
        row.backgroundTotal = f[at[kBackgroundTotal]];
        row.foldEnrichment = f[at[kFold]];
        row.pValue = f[at[kP]];
        row.eValue = f[at[kE]];
        row.qValue = f[at[kQ]];
        row.fwer = f[at[kFwer]];
        row.fdr = at[kFdr] < f.size() ? f[at[kFdr]] : "";
        row.pVsParts = at[kParts] < f.size() ? f[at[kParts]] : "";
        row.fdrLowerLimit = at[kFdrExact] < f.size() && f[at[kFdrExact]] == "0";
        if (!optionalValue(row.fwer, row.fwerValue)) fail("fwer is not a number");
        if (!optionalValue(row.fdr, row.fdrValue)) fail("fdr is not a number");
        if (!optionalValue(row.pVsParts, row.partsValue)) fail("p_vs_parts is not a number");
        // Probabilities and rates lie in [0, 1]; a value outside is a damaged table.
        // "nan" reads as a number but passes no filter: a table never holds one.
        const struct {
            const char* name;
            const std::string& text;
            double value;
        } probabilities[] = {{"p_value", row.pValue, row.p},
                             {"q_value", row.qValue, row.q},
                             {"fwer", row.fwer, row.fwerValue},
                             {"fdr", row.fdr, row.fdrValue},
                             {"p_vs_parts", row.pVsParts, row.partsValue}};
        for (const auto& [name, text, value] : probabilities) {
            if (!text.empty() && std::isnan(value))
                fail(std::string(name) + " " + printable(text) + " is not a number");
            if (value < 0 || value > 1)
                fail(std::string(name) + " " + tostring(value) + " lies outside [0, 1]");
        }
        hasFwer_ &= !row.fwer.empty();
        hasParts_ &= !row.pVsParts.empty() || row.motifs.find(',') == std::string::npos;
        rows_.push_back(std::move(row));
    }
    markBounds();
}

void StatsTable::markBounds() {
    // fwer and fdr are never below 1/(N+1), the floor of N permutations (a '#' line).
    double floor = -1;
    const std::string mark = "# permutations: ";
    for (const std::string& note : notes_) {
        int64_t done = 0;
        if (note.rfind(mark, 0) == 0 && parseInt64(note.substr(mark.size()), done) && done > 0)
            floor = 1.0 / (static_cast<double>(done) + 1);
    }
    auto atFloor = [&](const std::string& text, double value) {
        return !text.empty() && std::fabs(value - floor) <= floor * 1e-5;
    };
    for (ModuleSignificance& row : rows_) {
        row.fwerShown = (atFloor(row.fwer, row.fwerValue) ? "\u2264" : "") + row.fwer;
        row.fdrShown = (row.fdrLowerLimit                ? "\u2265"
                        : atFloor(row.fdr, row.fdrValue) ? "\u2264"
                                                         : "") +
                       row.fdr;
    }
}

const ModuleSignificance& StatsTable::of(const ReportModule& module) const {
    if (module.number < 1 || module.number > static_cast<int64_t>(rows_.size()))
        die("Error: statistics table " + path_ + " has no row for module " + module.id() +
            "; it belongs to another report");
    const ModuleSignificance& row = rows_[static_cast<size_t>(module.number - 1)];
    std::string motifs;
    for (const std::string& motif : module.motifs)
        motifs.append(motifs.empty() ? "" : ",").append(motif);
    if (row.motifs != motifs)
        die("Error: statistics table " + path_ + " names motifs " + row.motifs + " for module " +
            module.id() + ", the report " + motifs + "; it belongs to another report");
    return row;
}

std::string StatsTable::fields(const ModuleSignificance& row) {
    std::string out;
    for (const std::string* field :
         {&row.backgroundGenes, &row.backgroundTotal, &row.foldEnrichment, &row.pValue, &row.eValue,
          &row.qValue, &row.fwer, &row.fdr, &row.pVsParts}) {
        if (!out.empty() || field != &row.backgroundGenes) out += '\t';
        out += *field;
    }
    return out;
}
