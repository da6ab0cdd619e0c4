// The grammar table reader: columns by name, rows checked against module numbers and motifs,
// counts and probabilities checked to be numbers in range.
#include "report/GrammarTable.hpp"

#include <algorithm>

#include "common/LineReader.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"

namespace {

const char* const kNames[] = {"module", "motifs", "feature",     "motif_a", "motif_b",
                              "value",  "genes",  "genes_total", "p_value", "fwer"};
enum Column { kModule, kMotifs, kFeature, kA, kB, kValue, kGenes, kTotal, kP, kFwer, kCount };

bool knownFeature(const std::string& name) {
    return name == "order" || name == "strands" || name == "spacing" || name == "phase";
}

}  // namespace

GrammarTable::GrammarTable(const std::string& path) : path_(path) {
    LineReader reader(path);
    if (!reader.isOpen())
        dieIo("Error: cannot open grammar table " + path + ": " + reader.openError());
    auto fail = [&](const std::string& what) {
        die("Error: " + reader.displayName() + " line " + std::to_string(reader.lineNumber()) +
            ": " + what);
    };
    std::string line;
    if (!reader.next(line)) fail("empty file; expected the header row of a grammar table");
    const std::vector<std::string> header = splitAt(line, '\t');
    size_t at[kCount];
    for (int c = 0; c < kCount; ++c) {
        at[c] = static_cast<size_t>(std::find(header.begin(), header.end(), kNames[c]) -
                                    header.begin());
        if (at[c] == header.size())
            fail(std::string("no column ") + kNames[c] + "; is this a table written by --grammar?");
    }
    const std::string binMark = "in bins of ";
    int32_t spacingBin = 1;
    while (reader.next(line)) {
        if (line.empty()) continue;
        if (line[0] == '#') {
            notes_.push_back(line);
            const size_t bin = line.find(binMark);
            int64_t letters = 0;
            if (bin != std::string::npos &&
                parseInt64(line.substr(bin + binMark.size(),
                                       line.find(' ', bin + binMark.size()) - bin - binMark.size()),
                           letters) &&
                letters > 0 && letters < (1 << 20))
                spacingBin = static_cast<int32_t>(letters);
            continue;
        }
        const std::vector<std::string> f = splitAt(line, '\t');
        int64_t number = 0;
        GrammarTableRow row;
        const auto count = static_cast<int64_t>(modules_.size());
        if (f.size() != header.size() || f[at[kModule]].size() < 2 || f[at[kModule]][0] != 'M' ||
            !parseInt64(f[at[kModule]].substr(1), number) || number < count || number > count + 1 ||
            number < 1)
            fail("a row needs " + std::to_string(header.size()) +
                 " fields, beginning with module M" + std::to_string(std::max<int64_t>(count, 1)) +
                 " or M" + std::to_string(count + 1));
        row.feature = f[at[kFeature]];
        row.motifA = f[at[kA]];
        row.motifB = f[at[kB]];
        row.value = f[at[kValue]];
        row.fwerText = f[at[kFwer]];
        if (!knownFeature(row.feature))
            fail("feature " + printable(row.feature) +
                 " is none of order, strands, spacing and phase");
        if (!parseInt64(f[at[kGenes]], row.genes) || !parseInt64(f[at[kTotal]], row.total) ||
            row.genes < 0 || row.genes > row.total)
            fail("genes and genes_total must be counts, genes at most genes_total");
        if (!parseDouble(f[at[kP]], row.pValue) || !parseDouble(row.fwerText, row.fwer) ||
            !(row.pValue >= 0 && row.pValue <= 1) || !(row.fwer >= 0 && row.fwer <= 1))
            fail("p_value and fwer must be numbers in [0, 1]");
        if (number > count) modules_.push_back({f[at[kMotifs]], {}});
        if (modules_.back().motifs != f[at[kMotifs]])
            fail("module M" + std::to_string(number) + " names other motifs than on its first row");
        modules_.back().rows.push_back(std::move(row));
    }
    for (ModuleGrammar& module : modules_) module.bin = spacingBin;
}

const ModuleGrammar& GrammarTable::of(const ReportModule& module) const {
    if (module.number < 1 || module.number > modules())
        die("Error: grammar table " + path_ + " has no rows for module " + module.id() +
            "; it belongs to another report");
    const ModuleGrammar& rows = modules_[static_cast<size_t>(module.number - 1)];
    std::string motifs;
    for (const std::string& motif : module.motifs)
        motifs.append(motifs.empty() ? "" : ",").append(motif);
    if (rows.motifs != motifs)
        die("Error: grammar table " + path_ + " names motifs " + rows.motifs + " for module " +
            module.id() + ", the report " + motifs + "; it belongs to another report");
    return rows;
}

std::string GrammarTable::joined(const ModuleGrammar& module) {
    std::string out;
    for (const GrammarTableRow& row : module.rows) {
        if (!(row.fwer <= kJoinedFwer)) continue;
        out.append(out.empty() ? "" : "; ").append(row.feature);
        if (!row.motifA.empty()) out.append(":").append(row.motifA).append(":").append(row.motifB);
        out.append("=")
            .append(row.value)
            .append(" (")
            .append(std::to_string(row.genes))
            .append("/")
            .append(std::to_string(row.total))
            .append(", fwer ")
            .append(row.fwerText)
            .append(")");
    }
    return out;
}
