// The motif formats: the first meaningful lines tell native, JASPAR, MEME or TRANSFAC apart, and
// each parser turns its blocks into title labels and rows of four values.
#include "motif/MotifFormats.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

#include "common/Log.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"

namespace {

const char* const kBlanks = " \t";

std::string where(long line) {
    return " on line " + std::to_string(line);
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool isBlank(const std::string& line) {
    return line.find_first_not_of(kBlanks) == std::string::npos;
}

bool isComment(const std::string& line) {
    size_t first = line.find_first_not_of(kBlanks);
    return first != std::string::npos && line[first] == '#';
}

bool isTitle(const std::string& line) {
    return !line.empty() && line[0] == '>';
}

// The numbers of a line whose every field is a number; nothing otherwise. Read in place,
// without splitting the line into strings.
std::optional<std::vector<double>> numbersOf(const std::string& line) {
    std::vector<double> numbers;
    const char* at = line.c_str();
    for (;;) {
        while (*at == ' ' || *at == '\t') ++at;
        if (*at == '\0') break;
        char* end = nullptr;
        const double value = std::strtod(at, &end);
        if (end == at || (*end != '\0' && *end != ' ' && *end != '\t')) return std::nullopt;
        numbers.push_back(value);
        at = end;
    }
    if (numbers.empty()) return std::nullopt;
    return numbers;
}

std::string dropPrefix(const std::string& text, size_t count) {
    return text.size() > count ? text.substr(count) : std::string();
}

// ---- Native: title lines split at tabs, rows of exactly four fields read with atof ----

// Whether atof reads a number from the start of a field (not 0 for want of one).
bool startsLikeNumber(const std::string& field) {
    char* end = nullptr;
    std::strtod(field.c_str(), &end);
    return end != field.c_str();
}

std::vector<RawMotif> parseNative(const std::vector<std::string>& lines) {
    std::vector<RawMotif> motifs;
    long wordRowLine = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const long lineNumber = static_cast<long>(i) + 1;
        if (i == 0 || isTitle(lines[i])) {  // the first line is a title whatever it holds
            std::vector<std::string> fields = splitWords(lines[i], "\t", 2);
            RawMotif motif;
            motif.index = fields.empty() ? "" : dropPrefix(fields[0], 1);
            motif.tfName = fields.size() < 2 ? "" : dropPrefix(fields[1], 2);
            motif.titleLine = lineNumber;
            motifs.push_back(std::move(motif));
            continue;
        }
        // Five fields are enough to tell that a line is not a row.
        std::vector<std::string> fields = splitWords(lines[i], kBlanks, 5);
        if (fields.size() != 4) continue;
        std::array<double, 4> row;
        for (int b = 0; b < 4; ++b) row[b] = std::atof(fields[b].c_str());
        // Four words such as a header "A C G T" read as a row of zeros, which the
        // pseudocount makes a uniform position; say so, once per file.
        if (std::none_of(fields.begin(), fields.end(), startsLikeNumber)) {
            ++motifs.back().wordRows;
            if (!wordRowLine) wordRowLine = lineNumber;
        }
        motifs.back().rows.push_back(row);
        motifs.back().rowLines.push_back(lineNumber);
    }
    if (wordRowLine)
        warn(FileContext::currentFile() + " line " + std::to_string(wordRowLine) +
             " has four words and no number; read as a uniform position");
    return motifs;
}

// ---- JASPAR: ">ID name" titles, matrices given as four rows (one per base) ----

// A title ">MA0004.1 Arnt": the first word without '>' and the next word.
RawMotif jasparTitle(const std::string& line, long lineNumber) {
    std::vector<std::string> words = splitWords(line.substr(1), kBlanks, 2);
    RawMotif motif;
    motif.index = words.empty() ? "" : words[0];
    motif.tfName = words.size() < 2 ? "" : words[1];
    motif.titleLine = lineNumber;
    return motif;
}

// A base row "A [ 4 19 0 ]" (brackets optional): the base's index and its numbers.
std::optional<std::pair<int, std::vector<double>>> letterRow(std::string line) {
    for (char& c : line)
        if (c == '[' || c == ']') c = ' ';
    size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos || first + 1 >= line.size()) return std::nullopt;
    const char* bases = "ACGT";
    const char* base = std::strchr(bases, std::toupper(static_cast<unsigned char>(line[first])));
    if (line[first] == '\0' || base == nullptr || !std::strchr(kBlanks, line[first + 1]))
        return std::nullopt;
    auto numbers = numbersOf(line.substr(first + 1));
    if (!numbers) return std::nullopt;
    return std::make_pair(static_cast<int>(base - bases), std::move(*numbers));
}

// One matrix given as four rows of equally many numbers, A, C, G, T in that order.
struct RowMatrix {
    RawMotif motif;
    std::vector<std::vector<double>> baseRows;
    std::vector<long> lines;
};

// A matrix without a title line: named matrix1, matrix2, ..., without a label.
RowMatrix untitledMatrix(size_t number, long lineNumber) {
    RowMatrix matrix;
    matrix.motif.index = "matrix" + std::to_string(number);
    matrix.motif.titleLine = lineNumber;
    return matrix;
}

void transpose(RowMatrix& matrix) {
    const std::vector<std::vector<double>>& rows = matrix.baseRows;
    for (size_t k = 0; k < rows[0].size(); ++k) {
        matrix.motif.rows.push_back({rows[0][k], rows[1][k], rows[2][k], rows[3][k]});
        matrix.motif.rowLines.push_back(matrix.lines[0]);
    }
}

bool wellFormed(const RowMatrix& matrix) {
    if (matrix.baseRows.size() != 4) return false;
    for (const auto& row : matrix.baseRows)
        if (row.size() != matrix.baseRows[0].size()) return false;
    return true;
}

std::vector<RawMotif> parseJasparBrackets(const std::vector<std::string>& lines) {
    std::vector<RowMatrix> matrices;
    for (size_t i = 0; i < lines.size(); ++i) {
        const long lineNumber = static_cast<long>(i) + 1;
        if (isTitle(lines[i])) {
            matrices.push_back({jasparTitle(lines[i], lineNumber), {}, {}});
            continue;
        }
        auto row = letterRow(lines[i]);
        if (!row) continue;  // blank lines and comments
        if (matrices.empty() || matrices.back().baseRows.size() == 4)
            matrices.push_back(untitledMatrix(matrices.size() + 1, lineNumber));
        RowMatrix& matrix = matrices.back();
        if (row->first != static_cast<int>(matrix.baseRows.size()))
            die("Error: JASPAR matrix row" + where(lineNumber) +
                " is out of order: the rows must be A, C, G and T");
        matrix.baseRows.push_back(std::move(row->second));
        matrix.lines.push_back(lineNumber);
    }
    std::vector<RawMotif> motifs;
    for (RowMatrix& matrix : matrices) {
        if (!matrix.baseRows.empty()) {
            if (!wellFormed(matrix))
                die("Error: JASPAR matrix" + where(matrix.motif.titleLine) +
                    " needs rows A, C, G and T of equal length");
            transpose(matrix);
        }
        motifs.push_back(std::move(matrix.motif));
    }
    return motifs;
}

// The matrices of a file of four number rows per matrix, each after a '>' title or, in an
// untitled file, four consecutive rows; nothing when a line or a matrix does not fit.
std::optional<std::vector<RowMatrix>> rowMatrices(const std::vector<std::string>& lines) {
    std::vector<RowMatrix> matrices;
    bool titled = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const long lineNumber = static_cast<long>(i) + 1;
        if (isTitle(lines[i])) {
            titled = true;
            matrices.push_back({jasparTitle(lines[i], lineNumber), {}, {}});
            continue;
        }
        if (isBlank(lines[i]) || isComment(lines[i])) continue;
        auto numbers = numbersOf(lines[i]);
        if (!numbers) return std::nullopt;
        if (matrices.empty() || (!titled && matrices.back().baseRows.size() == 4))
            matrices.push_back(untitledMatrix(matrices.size() + 1, lineNumber));
        matrices.back().baseRows.push_back(std::move(*numbers));
        matrices.back().lines.push_back(lineNumber);
    }
    bool notFourWide = false;
    for (const RowMatrix& matrix : matrices) {
        if (!wellFormed(matrix)) return std::nullopt;
        notFourWide |= matrix.baseRows[0].size() != 4;
    }
    if (!notFourWide) return std::nullopt;  // four-wide matrices read as the native format
    return matrices;
}

std::vector<RawMotif> parseJasparRows(const std::vector<std::string>& lines) {
    std::vector<RawMotif> motifs;
    std::vector<RowMatrix> matrices = rowMatrices(lines).value();
    for (RowMatrix& matrix : matrices) {
        transpose(matrix);
        motifs.push_back(std::move(matrix.motif));
    }
    return motifs;
}

// ---- MEME: "MOTIF id [alt]" and its "letter-probability matrix:" block ----

// The number after "key=" on a line, or the fallback when the key is absent.
double keyValue(const std::string& line, const char* key, double fallback) {
    size_t at = line.find(key);
    if (at == std::string::npos) return fallback;
    return std::strtod(line.c_str() + at + std::strlen(key), nullptr);
}

void readMemeMatrix(const std::vector<std::string>& lines, size_t& i, RawMotif& motif) {
    const long lineNumber = static_cast<long>(i) + 1;
    const double alength = keyValue(lines[i], "alength=", 4);
    if (alength != 4)
        die("Error: MEME motif " + motif.index + where(lineNumber) + " has alength= " +
            tostring(alength) + "; only DNA motifs (alength= 4: A C G T) can be read");
    const double width = keyValue(lines[i], "w=", -1);
    const double sites = keyValue(lines[i], "nsites=", 20);
    if (!(width >= 0 && width < 1e6))
        die("Error: MEME matrix" + where(lineNumber) + " has no width (w=)");
    // Probabilities become counts, so that the pseudocount means what it means for counts.
    while (motif.rows.size() < static_cast<size_t>(width)) {
        if (++i == lines.size())
            die("Error: MEME motif " + motif.index + " ends before its " +
                tostring(static_cast<int>(width)) + " matrix rows" + where(lineNumber));
        if (isBlank(lines[i])) continue;
        auto numbers = numbersOf(lines[i]);
        if (!numbers || numbers->size() != 4)
            die("Error: MEME matrix row" + where(static_cast<long>(i) + 1) +
                " does not hold four numbers");
        motif.rows.push_back({(*numbers)[0] * sites, (*numbers)[1] * sites, (*numbers)[2] * sites,
                              (*numbers)[3] * sites});
        motif.rowLines.push_back(static_cast<long>(i) + 1);
    }
}

// The label of a MOTIF line. The text output of motif finders follows the id with
// "width = ...": newer versions write "MOTIF CONSENSUS MEME-1", older ones "MOTIF 1 MEME",
// whose label is then the numbered name MEME-1, as the newer ones write it (the bare
// program name would name every motif alike). A line with only an id is its own label.
std::string memeLabel(const std::string& line, const std::vector<std::string>& words,
                      const std::string& id) {
    if (words.size() < 3 || startsWith(words[2], "width")) return id;
    const bool textOutput = line.find("width") != std::string::npos;
    const bool programName = std::none_of(words[2].begin(), words[2].end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    return textOutput && programName ? words[2] + "-" + id : words[2];
}

std::vector<RawMotif> parseMeme(const std::vector<std::string>& lines) {
    std::vector<RawMotif> motifs;
    for (size_t i = 0; i < lines.size(); ++i) {
        const long lineNumber = static_cast<long>(i) + 1;
        if (startsWith(lines[i], "MOTIF")) {
            std::vector<std::string> words = splitWords(lines[i], kBlanks, 3);
            RawMotif motif;
            motif.index = words.size() > 1 ? words[1] : "";
            motif.tfName = memeLabel(lines[i], words, motif.index);
            motif.titleLine = lineNumber;
            motifs.push_back(std::move(motif));
        } else if (lines[i].find("letter-probability matrix") != std::string::npos) {
            if (motifs.empty())
                die("Error: MEME matrix" + where(lineNumber) + " follows no MOTIF line");
            if (motifs.back().rows.empty()) readMemeMatrix(lines, i, motifs.back());
            motifs.back().logOddsLine = 0;
        } else if (lines[i].find("log-odds matrix") != std::string::npos && !motifs.empty() &&
                   motifs.back().rows.empty() && motifs.back().logOddsLine == 0) {
            motifs.back().logOddsLine = lineNumber;
        }
    }
    // A motif that declares a log-odds matrix and no letter-probability one holds no
    // frequencies: refused, with what to take instead.
    for (const RawMotif& motif : motifs)
        if (motif.rows.empty() && motif.logOddsLine > 0)
            die("Error: MEME motif " + motif.index + where(motif.logOddsLine) +
                " gives only a log-odds matrix, and motifs are read from letter-probability "
                "matrices: take the MEME file that holds them (a log-odds matrix turns back "
                "into frequencies only with the background it was made against)");
    return motifs;
}

// ---- TRANSFAC: two-letter codes, a P0/PO header and numbered rows, entries end at // ----

struct TransfacEntry {
    std::string accession, id;
    RawMotif motif;
    bool empty() const { return accession.empty() && id.empty() && motif.rows.empty(); }
};

RawMotif finishTransfac(TransfacEntry& entry) {
    const std::string& id = entry.id;
    entry.motif.index = entry.accession.empty() ? id : entry.accession;
    entry.motif.tfName = id.size() > 2 && id[1] == '$' ? id.substr(2) : id;
    return std::move(entry.motif);
}

void readTransfacRow(const std::vector<std::string>& words, long lineNumber, RawMotif& motif) {
    std::array<double, 4> row;
    for (int b = 0; b < 4; ++b) {
        auto number =
            b + 1 < static_cast<int>(words.size()) ? numbersOf(words[b + 1]) : std::nullopt;
        if (!number)
            die("Error: TRANSFAC matrix row" + where(lineNumber) +
                " does not hold four numbers after its position");
        row[b] = (*number)[0];
    }
    motif.rows.push_back(row);
    motif.rowLines.push_back(lineNumber);
}

std::vector<RawMotif> parseTransfac(const std::vector<std::string>& lines) {
    std::vector<RawMotif> motifs;
    TransfacEntry entry;
    bool inMatrix = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const long lineNumber = static_cast<long>(i) + 1;
        std::vector<std::string> words = splitWords(lines[i], kBlanks, 6);
        const std::string code = words.empty() ? "" : words[0];
        if (inMatrix && !code.empty() && std::isdigit(static_cast<unsigned char>(code[0]))) {
            readTransfacRow(words, lineNumber, entry.motif);
            continue;
        }
        inMatrix = code == "P0" || code == "PO";
        // The entry's first AC or ID line names it; without one, its matrix header.
        if ((code == "AC" || code == "ID" || inMatrix) && entry.motif.titleLine == 0)
            entry.motif.titleLine = lineNumber;
        if (code == "AC" && words.size() > 1) entry.accession = words[1];
        if (code == "ID" && words.size() > 1) entry.id = words[1];
        if (code == "//") {
            if (!entry.empty()) motifs.push_back(finishTransfac(entry));
            entry = TransfacEntry();
        }
    }
    if (!entry.empty()) motifs.push_back(finishTransfac(entry));
    return motifs;
}

// ---- HOMER: tab-separated titles (consensus, name, log-odds cutoff, ...), probability rows ----

// The fields of a HOMER title line, or nothing where the line is not one: at least three
// tab-separated fields after the '>', the third a number.
std::optional<std::vector<std::string>> homerTitle(const std::string& line) {
    if (!isTitle(line)) return std::nullopt;
    std::vector<std::string> fields = splitAt(line.substr(1), '\t');
    double cutoff = 0;
    if (fields.size() < 3 || fields[0].empty() || fields[1].empty() ||
        !parseDouble(fields[2], cutoff))
        return std::nullopt;
    // The first field is the motif's consensus, in IUPAC letters.
    for (char c : fields[0])
        if (!std::strchr("ACGTRYSWKMBDHVNacgtryswkmbdhvn", c)) return std::nullopt;
    return fields;
}

std::vector<RawMotif> parseHomer(const std::vector<std::string>& lines) {
    std::vector<RawMotif> motifs;
    for (size_t i = 0; i < lines.size(); ++i) {
        const long lineNumber = static_cast<long>(i) + 1;
        if (isBlank(lines[i]) || isComment(lines[i])) continue;
        if (auto title = homerTitle(lines[i])) {
            RawMotif motif;
            // The name, as "FOXA1(Forkhead)/LNCAP-FOXA1-ChIP-Seq/Homer"; the factor before the
            // first slash.
            motif.index = (*title)[1];
            motif.tfName = motif.index.substr(0, motif.index.find('/'));
            motif.titleLine = lineNumber;
            motif.hasListedCutoff = parseDouble((*title)[2], motif.listedCutoff);
            motifs.push_back(std::move(motif));
            continue;
        }
        const auto row = numbersOf(lines[i]);
        if (motifs.empty() || !row || row->size() != 4)
            die("Error: HOMER motif row" + where(lineNumber) +
                " does not hold four numbers (A C G T) after a title line");
        motifs.back().rows.push_back({(*row)[0], (*row)[1], (*row)[2], (*row)[3]});
        motifs.back().rowLines.push_back(lineNumber);
    }
    return motifs;
}

// Every title is HOMER's (a consensus, a name, a number), and every row of four numbers sums
// to 1: HOMER's rows are probabilities, where a native file titled so would hold counts.
// Other lines are left to the parser, which refuses them with their line.
bool looksLikeHomer(const std::vector<std::string>& lines) {
    bool titled = false, rows = false;
    for (const std::string& line : lines) {
        if (isBlank(line) || isComment(line)) continue;
        if (isTitle(line)) {
            if (!homerTitle(line)) return false;
            titled = true;
            continue;
        }
        const auto row = numbersOf(line);
        if (!row || row->size() != 4) continue;
        const double sum = (*row)[0] + (*row)[1] + (*row)[2] + (*row)[3];
        if (std::fabs(sum - 1) > 0.02) return false;
        rows = true;
    }
    return titled && rows;
}

// ---- CIS-BP: one matrix a file, a "Pos A C G T" header, rows "position a c g t" ----

bool isCisBpHeader(const std::string& line) {
    return splitWords(line, kBlanks, 6) == std::vector<std::string>{"Pos", "A", "C", "G", "T"};
}

std::vector<RawMotif> parseCisBp(const std::vector<std::string>& lines) {
    RawMotif motif;
    for (size_t i = 0; i < lines.size(); ++i) {
        const long lineNumber = static_cast<long>(i) + 1;
        if (isBlank(lines[i]) || isComment(lines[i])) continue;
        if (isCisBpHeader(lines[i])) {
            if (motif.titleLine != 0)
                die("Error: CIS-BP file holds a second \"Pos A C G T\" header" + where(lineNumber) +
                    "; give one matrix a file");
            motif.titleLine = lineNumber;
            continue;
        }
        const auto row = numbersOf(lines[i]);
        if (motif.titleLine == 0 || !row || row->size() != 5 ||
            (*row)[0] != static_cast<double>(motif.rows.size() + 1))
            die("Error: CIS-BP matrix row" + where(lineNumber) + " does not hold its position (" +
                std::to_string(motif.rows.size() + 1) + ") and four numbers (A C G T)");
        motif.rows.push_back({(*row)[1], (*row)[2], (*row)[3], (*row)[4]});
        motif.rowLines.push_back(lineNumber);
    }
    return {motif};
}

bool looksLikeCisBp(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (!isBlank(line) && !isComment(line)) return isCisBpHeader(line);
    return false;
}

// ---- Detection ----

bool looksLikeTransfac(const std::vector<std::string>& lines) {
    bool header = false, end = false;
    for (const std::string& line : lines) {
        header |= (startsWith(line, "P0") || startsWith(line, "PO")) && line.size() > 2 &&
                  std::strchr(kBlanks, line[2]);
        end |= startsWith(line, "//");
    }
    return header && end;
}

// Every body line is a base row, and the rows are not plain four-number rows: they have
// brackets, or other than three numbers, or their letters run A, C, G, T matrix by matrix.
bool looksLikeJasparBrackets(const std::vector<std::string>& lines) {
    bool any = false, distinct = false, inOrder = true;
    int next = 0;  // the base the next row of a matrix should have
    for (const std::string& line : lines) {
        if (isTitle(line)) next = 0;
        if (isTitle(line) || isBlank(line) || isComment(line)) continue;
        auto row = letterRow(line);
        if (!row) return false;
        any = true;
        distinct |= line.find('[') != std::string::npos || row->second.size() != 3;
        inOrder &= row->first == next;
        next = (next + 1) % 4;
    }
    return any && (distinct || inOrder);
}

}  // namespace

MotifFormat detectMotifFormat(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (startsWith(line, "MEME version")) return MotifFormat::Meme;
    if (looksLikeTransfac(lines)) return MotifFormat::Transfac;
    if (looksLikeCisBp(lines)) return MotifFormat::CisBp;
    if (looksLikeHomer(lines)) return MotifFormat::Homer;
    if (looksLikeJasparBrackets(lines)) return MotifFormat::JasparBrackets;
    if (rowMatrices(lines)) return MotifFormat::JasparRows;
    return MotifFormat::Native;
}

const char* motifFormatName(MotifFormat format) {
    switch (format) {
        case MotifFormat::JasparBrackets:
            return "JASPAR";
        case MotifFormat::JasparRows:
            return "JASPAR rows";
        case MotifFormat::Meme:
            return "MEME";
        case MotifFormat::Transfac:
            return "TRANSFAC";
        case MotifFormat::Homer:
            return "HOMER";
        case MotifFormat::CisBp:
            return "CIS-BP";
        case MotifFormat::Native:
            break;
    }
    return "native";
}

std::vector<RawMotif> parseMotifs(const std::vector<std::string>& lines, MotifFormat format) {
    switch (format) {
        case MotifFormat::JasparBrackets:
            return parseJasparBrackets(lines);
        case MotifFormat::JasparRows:
            return parseJasparRows(lines);
        case MotifFormat::Meme:
            return parseMeme(lines);
        case MotifFormat::Transfac:
            return parseTransfac(lines);
        case MotifFormat::Homer:
            return parseHomer(lines);
        case MotifFormat::CisBp:
            return parseCisBp(lines);
        case MotifFormat::Native:
            break;
    }
    return parseNative(lines);
}
