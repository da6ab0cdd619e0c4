// FASTA entries read line by line: the name from the title, letters upper-cased unless -l, and
// refusals of names and lengths that a report could not carry.
#include "hits/SeqReader.hpp"

#include <cstdint>
#include <cstring>
#include <iostream>

#include "common/Log.hpp"
#include "common/die.hpp"
#include "motif/WindowScore.hpp"

std::string geneNameFromTitle(const std::string& title) {
    const size_t blank = title.find_first_of(" \t");
    if (blank == 0 || blank == std::string::npos) {
        // A title starting with a blank names the gene by the rest of its line, up to a tab:
        // the report's gene lines cannot hold one.
        return title.size() > 1 ? title.substr(1, title.find('\t', 1) - 1) : "";
    }
    return title.substr(1, blank - 1);
}

void upperCase(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void BaseCounts::add(std::string_view text) {
    for (char c : text) {
        uint8_t code = baseCode(c);
        if (code != kNotBase) ++counts_[code];
    }
}

std::array<float, 4> BaseCounts::frequencies(float pseudocount) const {
    std::array<float, 4> freq;
    float sum = 0;
    for (int b = 0; b < 4; ++b) {
        freq[b] = static_cast<float>(counts_[b]) + pseudocount;
        sum += freq[b];
    }
    for (float& f : freq) f /= sum;
    return freq;
}

namespace {

// Per character: 1 for an upper-case letter, 2 for anything but A, C, G, T, N in any case.
struct LetterClasses {
    uint8_t of[256];
    LetterClasses() {
        for (int c = 0; c < 256; ++c)
            of[c] = static_cast<uint8_t>((c >= 'A' && c <= 'Z') |
                                         (c == 0 || !std::strchr("ACGTNacgtn", c)) << 1);
    }
};

}  // namespace

void SequenceLetters::add(std::string_view text) {
    static const LetterClasses classes;
    total += static_cast<int64_t>(text.size());
    for (char c : text) {
        const uint8_t kind = classes.of[static_cast<unsigned char>(c)];
        upper += kind & 1;
        other += kind >> 1;
    }
}

SeqEntries::SeqEntries(const std::string& path, const std::string& program)
    : reader_(path), context_(program, reader_.displayName()) {
    if (path.empty())
        dieIo("Can't open sequence file!!!\n" + program +
              ": no sequence file given: motifs first, then sequences");
    if (!reader_.isOpen())
        dieIo("Can't open sequence file!!!\n" + program + ": " + path + ": " + reader_.openError());
    if (!reader_.next(title_) || title_.empty()) die("Error: sequence file has no title line");
    if (title_[0] != '>')
        warn(reader_.displayName() + " line 1 does not start with '>'; is it FASTA?");
}

bool SeqEntries::nextEntry(std::string& name) {
    if (!titleWaiting_) return false;
    name = geneNameFromTitle(title_);
    if (name.empty())
        die("Error: sequence title on line " + std::to_string(titleLine_) + " has no name");
    // A report would show such a gene line as a module header.
    if (name[0] == '>')
        die("Error: sequence title on line " + std::to_string(titleLine_) +
            ": a gene name may not start with '>'");
    if (!names_.insert(name).second)
        die("Error: duplicate gene name " + name + " in sequence file");
    titleWaiting_ = false;
    inBody_ = true;
    return true;
}

bool SeqEntries::nextLine(std::string& line) {
    if (!inBody_ || !reader_.next(line)) return inBody_ = false;
    if (line.empty() || line[0] != '>') return true;
    title_ = line;
    titleLine_ = reader_.lineNumber();
    titleWaiting_ = true;
    return inBody_ = false;
}

std::vector<std::string> splitSpecies(const std::vector<std::string>& body) {
    std::vector<std::string> species;
    std::string text;
    for (const std::string& line : body) {
        if (!line.empty() && line[0] == '<') {
            if (!text.empty()) species.push_back(std::move(text));
            text = line.substr(1);
        } else {
            text += line;
        }
    }
    species.push_back(std::move(text));
    return species;
}

void checkSequenceLength(const std::string& name, size_t length) {
    if (length > static_cast<size_t>(INT32_MAX))
        die("Error: sequence " + name + " is longer than " + std::to_string(INT32_MAX) +
            " letters");
}
