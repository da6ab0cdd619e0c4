// The motif library: the motif file is read whole (plain, gzip or standard input), its
// format recognised from the content, and every motif named, given the pseudocount and
// normalised to frequencies in single precision, whatever the format.
#include "motif/MotifA.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "common/LineReader.hpp"
#include "common/die.hpp"
#include "motif/MotifFormats.hpp"

bool appendRow(const std::array<double, 4>& row, float pseudocount, std::vector<float>& freq) {
    float value[4];
    for (int b = 0; b < 4; ++b) value[b] = static_cast<float>(row[b] + pseudocount);
    float sum = value[0];
    sum += value[1];
    sum += value[2];
    sum += value[3];
    if (sum == 0) return false;
    for (float v : value) freq.push_back(v / sum);
    return true;
}

namespace {

// Names the motif (with -t the two labels swap roles) and turns its rows into frequencies.
Motif finishMotif(const RawMotif& raw, bool useTfName, float pseudocount) {
    Motif motif;
    motif.name = useTfName ? raw.tfName : raw.index;
    motif.label = useTfName ? raw.index : raw.tfName;
    if (useTfName && motif.name.empty())
        die("Error: motif title line " + std::to_string(raw.titleLine) +
            " has no transcription-factor name");
    for (size_t r = 0; r < raw.rows.size(); ++r) {
        const std::string where = "Error: motif row on line " + std::to_string(raw.rowLines[r]);
        for (double value : raw.rows[r])
            if (!(value >= 0) || std::isinf(value))
                die(where + " has a negative or non-finite value");
        if (!appendRow(raw.rows[r], pseudocount, motif.freq)) die(where + " sums to zero");
        ++motif.length;
    }
    return motif;
}

}  // namespace

MotifA::MotifA(Args settings)
    : useTfName(settings.useTfName),
      motifFile(settings.motifFile),
      pseudocount(settings.pseudocount),
      program(settings.program) {
    ReadMotif();
}

void MotifA::ReadMotif() {
    LineReader reader(motifFile);
    if (!reader.isOpen())
        die("Can't open matrix file!!!\n" + program + ": " + motifFile + ": " + reader.openError());
    std::vector<std::string> lines;
    for (std::string line; reader.next(line);) lines.push_back(std::move(line));
    if (lines.empty()) die("Error: motif file has no motifs");
    bool anyRows = false;
    for (const RawMotif& raw : parseMotifs(lines, detectMotifFormat(lines))) {
        motifs.push_back(finishMotif(raw, useTfName, pseudocount));
        anyRows |= !raw.rows.empty();
        if (raw.rows.empty())
            std::cerr << "Warning: motif " << motifs.back().name << " (line " << raw.titleLine
                      << ") has no matrix rows; it cannot match\n";
    }
    if (!anyRows)
        die("Error: no motif in " + reader.displayName() +
            " has matrix rows (lines of four numbers: A C G T)");
}

MotifNames MotifA::nameTable() const {
    MotifNames table;
    for (const Motif& motif : motifs) table.names.push_back(motif.name);
    std::sort(table.names.begin(), table.names.end());
    table.names.erase(std::unique(table.names.begin(), table.names.end()), table.names.end());
    for (const Motif& motif : motifs) {
        auto it = std::lower_bound(table.names.begin(), table.names.end(), motif.name);
        table.idOfMotif.push_back(static_cast<int32_t>(it - table.names.begin()));
    }
    return table;
}
