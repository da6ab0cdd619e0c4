// Motif file reader. A title line (the first line, and every line starting with '>') is split
// at tabs: field 1 without its first character is the index label, field 2 without its first
// two characters the transcription-factor name. Lines of exactly four fields are matrix rows;
// all other lines are skipped.
#include "motif/MotifA.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/LineReader.hpp"
#include "common/die.hpp"

std::vector<std::string> splitFields(const std::string& line, const char* separators) {
    std::vector<std::string> fields;
    size_t pos = line.find_first_not_of(separators);
    while (pos != std::string::npos) {
        size_t end = line.find_first_of(separators, pos);
        fields.push_back(line.substr(pos, end == std::string::npos ? end : end - pos));
        pos = end == std::string::npos ? end : line.find_first_not_of(separators, end);
    }
    return fields;
}

bool appendRow(const std::vector<std::string>& fields, float pseudocount,
               std::vector<float>& freq) {
    float value[4];
    for (int b = 0; b < 4; ++b)
        value[b] = static_cast<float>(std::atof(fields[b].c_str()) + pseudocount);
    float sum = value[0];
    sum += value[1];
    sum += value[2];
    sum += value[3];
    if (sum == 0) return false;
    for (float v : value) freq.push_back(v / sum);
    return true;
}

namespace {

std::string dropPrefix(const std::string& text, size_t count) {
    return text.size() > count ? text.substr(count) : std::string();
}

// Fills name and label from a title line; with -t the two labels swap roles.
void readTitle(const std::string& line, long lineNumber, bool useTfName, Motif& motif) {
    std::vector<std::string> fields = splitFields(line, "\t");
    std::string index = fields.empty() ? "" : dropPrefix(fields[0], 1);
    std::string tfName = fields.size() < 2 ? "" : dropPrefix(fields[1], 2);
    motif.name = useTfName ? tfName : index;
    motif.label = useTfName ? index : tfName;
    if (useTfName && motif.name.empty())
        die("Error: motif title line " + std::to_string(lineNumber) +
            " has no transcription-factor name");
}

}  // namespace

MotifA::MotifA(Args settings)
    : useTfName(settings.useTfName),
      motifFile(settings.motifFile),
      pseudocount(settings.pseudocount) {
    ReadMotif();
}

void MotifA::ReadMotif() {
    LineReader reader(motifFile);
    if (!reader.isOpen()) die("Can't open matrix file!!!");
    std::string title;
    if (!reader.next(title)) die("Error: motif file has no motifs");
    bool anotherTitle = true;
    while (anotherTitle) {
        Motif motif;
        readTitle(title, reader.lineNumber(), useTfName, motif);
        anotherTitle = false;
        std::string line;
        while (reader.next(line)) {
            if (!line.empty() && line[0] == '>') {
                title = line;
                anotherTitle = true;
                break;
            }
            std::vector<std::string> fields = splitFields(line, " \t");
            if (fields.size() != 4) continue;
            if (!appendRow(fields, pseudocount, motif.freq))
                die("Error: motif row on line " + std::to_string(reader.lineNumber()) +
                    " sums to zero");
            ++motif.length;
        }
        motifs.push_back(std::move(motif));
    }
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
