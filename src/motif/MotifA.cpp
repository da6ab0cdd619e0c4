// The motif library: the motif file is read whole (plain, gzip or standard input), its
// format recognised from the content, and every motif named, given the pseudocount and
// normalised to frequencies in single precision, whatever the format.
#include "motif/MotifA.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>

#include "common/LineReader.hpp"
#include "common/Log.hpp"
#include "common/Text.hpp"
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
    // A nameless motif could not be told apart from others, nor read back from a report.
    if (motif.name.empty())
        die("Error: motif on line " + std::to_string(raw.titleLine) + " has no name");
    for (size_t r = 0; r < raw.rows.size(); ++r) {
        const std::string where = "Error: motif row on line " + std::to_string(raw.rowLines[r]);
        // Frequencies are single precision: a value beyond its range is as unusable as inf.
        float sum = 0;
        for (double value : raw.rows[r]) {
            if (!(value >= 0) || !(value <= FLT_MAX))
                die(where + " has a negative or non-finite value");
            sum += static_cast<float>(value + pseudocount);
        }
        if (std::isinf(sum)) die(where + " sums to more than single precision holds");
        if (!appendRow(raw.rows[r], pseudocount, motif.freq)) die(where + " sums to zero");
        ++motif.length;
    }
    if (raw.hasListedCutoff) motif.listedCutoff = static_cast<float>(raw.listedCutoff);
    return motif;
}

}  // namespace

MotifA::MotifA(Args settings, Progress progress)
    : useTfName(settings.useTfName),
      motifFile(settings.motifFile),
      pseudocount(settings.pseudocount),
      program(settings.program),
      seqFile(settings.seqFile),
      progress_(progress) {
    ReadMotif();
}

MotifA::MotifA(const Args& settings, const std::vector<std::string>& names, std::string format)
    : useTfName(false),
      pseudocount(settings.pseudocount),
      program(settings.program),
      seqFile(settings.seqFile),
      formatName(std::move(format)) {
    for (const std::string& name : names) motifs.push_back(Motif{name, name, 0, 0, {}, {}});
}

namespace {

constexpr int kRowlessWarnings = 10;
constexpr size_t kMaxMotifFileLines = 10000000;

// Sequence letters: bases, N, and the gaps and masks of alignments.
bool isSequenceLine(const std::string& line) {
    return !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
        return std::strchr("ACGTNacgtn-.", c) != nullptr;
    });
}

// The first lines of a file, or none when it cannot be read again (standard input).
std::vector<std::string> firstLines(const std::string& path, size_t count) {
    std::vector<std::string> lines;
    if (path.empty() || path == "-") return lines;
    LineReader reader(path);
    if (!reader.isOpen()) return lines;
    for (std::string line; lines.size() < count && reader.next(line);) lines.push_back(line);
    return lines;
}

}  // namespace

bool looksLikeFasta(const std::vector<std::string>& lines) {
    size_t titles = 0, sequence = 0;
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '>')
            ++titles;
        else if (isSequenceLine(line))
            ++sequence;
        else if (!line.empty())
            return false;
    }
    return titles > 0 && sequence > 0;
}

namespace {

// Matrices of probabilities (every row sums to 1, as HOMER and CIS-BP write them) take the
// pseudocount as if it were counts: 0.375 in a row of total 1 flattens every position.
void warnOfProbabilities(const std::vector<RawMotif>& raws, float pseudocount,
                         const std::string& file) {
    // A fraction tells them from the counts of a single site, whose rows sum to 1 as well.
    bool fraction = false;
    for (const RawMotif& raw : raws)
        for (const std::array<double, 4>& row : raw.rows) {
            if (!(std::fabs(row[0] + row[1] + row[2] + row[3] - 1) <= 0.02)) return;
            for (double value : row) fraction |= value > 0 && value < 1;
        }
    if (!fraction || 4 * pseudocount <= 0.1f) return;
    warn("the matrices of " + file + " hold probabilities (every row sums to 1), which the " +
         "pseudocount of " + tostring(pseudocount) +
         " per base flattens: give -p a value near 0, such as -p 0.01");
}

// Log-odds matrices (negative values in most rows of every matrix, each of 4 rows or more)
// hold no frequencies that could be recovered without the background they were made
// against: refused with what to take instead. A stray negative value is refused row by row.
constexpr size_t kLogOddsRows = 4;

void refuseLogOdds(const std::vector<RawMotif>& raws, const std::string& file,
                   const std::string& program) {
    bool any = false;
    for (const RawMotif& raw : raws) {
        if (raw.rows.empty()) continue;
        const auto negative = std::count_if(raw.rows.begin(), raw.rows.end(), [](const auto& row) {
            return std::any_of(row.begin(), row.end(), [](double v) { return v < 0; });
        });
        // A log-odds collection's matrices are several rows long; a short one with a
        // negative value is a slip, refused row by row.
        if (raw.rows.size() < kLogOddsRows || 2 * static_cast<size_t>(negative) <= raw.rows.size())
            return;
        any = true;
    }
    if (any)
        die("Error: " + file + " holds log-odds matrices (negative values in most rows, as " +
            "HOCOMOCO's .pwm files do); " + program + " reads counts or frequencies: take the " +
            "collection's counts (.pcm), frequencies (.pfm), or its MEME or JASPAR file");
}

}  // namespace

void MotifA::ReadMotif() {
    LineReader reader(motifFile);
    if (!reader.isOpen())
        dieIo("Can't open matrix file!!!\n" + program + ": " + motifFile + ": " +
              reader.openError());
    const FileContext context(program, reader.displayName());
    std::vector<std::string> lines;
    for (std::string line; reader.next(line);) {
        // Libraries hold far fewer lines; this keeps a file of blank lines off the memory.
        if (lines.size() == kMaxMotifFileLines)
            die("Error: " + reader.displayName() + " has more than " +
                withThousands(kMaxMotifFileLines) + " lines; is it a motif file?");
        lines.push_back(std::move(line));
    }
    if (lines.empty()) die("Error: motif file has no motifs");
    const MotifFormat format = detectMotifFormat(lines);
    bool anyRows = false;
    int rowless = 0;
    std::vector<RawMotif> raws = parseMotifs(lines, format);
    if (format == MotifFormat::CisBp && !raws.empty()) {
        // A CIS-BP file holds one matrix and no name: the file's own name is the motif's.
        std::string stem = std::filesystem::path(motifFile).stem().string();
        if (motifFile == "-" || stem.empty()) stem = "motif";
        raws[0].index = raws[0].tfName = stem;
    }
    refuseLogOdds(raws, reader.displayName(), program);
    warnOfProbabilities(raws, pseudocount, reader.displayName());
    for (const RawMotif& raw : raws) {
        motifs.push_back(finishMotif(raw, useTfName, pseudocount));
        // Text whose lines of four words hold no number is no matrix (a README, say).
        anyRows |= raw.rows.size() > raw.wordRows;
        if (!raw.rows.empty() || ++rowless > kRowlessWarnings) continue;
        warn("motif " + motifs.back().name + " (line " + std::to_string(raw.titleLine) +
             ") has no matrix rows; it cannot match");
    }
    if (rowless > kRowlessWarnings)
        warn(std::to_string(rowless - kRowlessWarnings) + " more motifs have no matrix rows");
    if (!anyRows) refuseRowless(reader.displayName(), lines);
    if (useTfName) warnSharedNames();
    progress_.line("Read: " + std::to_string(motifs.size()) + " motifs (" +
                   motifFormatName(format) + ") from " + printable(reader.displayName()));
    formatName = motifFormatName(format);
}

void MotifA::refuseRowless(const std::string& displayName,
                           const std::vector<std::string>& lines) const {
    std::string message =
        "Error: no motif in " + displayName + " has matrix rows (lines of four numbers: A C G T)";
    // Sequences given first and motifs second: the motif file reads as FASTA, or the
    // sequence file holds the matrices.
    const std::vector<std::string> other = firstLines(seqFile, 2000);
    bool swapped = looksLikeFasta(std::vector<std::string>(
        lines.begin(),
        lines.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(lines.size(), 2000))));
    if (!swapped && !other.empty()) {
        for (const RawMotif& raw : parseMotifs(other, detectMotifFormat(other)))
            swapped |= !raw.rows.empty();
    }
    if (swapped)
        message += "\nError: the files may be in the wrong order: motifs first, then sequences";
    die(message);
}

void MotifA::warnSharedNames() const {
    std::map<std::string, int> count;
    for (const Motif& motif : motifs) ++count[motif.name];
    for (const Motif& motif : motifs) {
        auto it = count.find(motif.name);
        if (it == count.end() || it->second < 2) continue;
        warn(std::to_string(it->second) + " matrices share the factor name " + motif.name +
             "; with -t they act as one factor");
        count.erase(it);  // one line per name, at its first matrix
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
