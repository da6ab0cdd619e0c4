// Motif file formats, recognised from the file's content. Each parser yields the motifs as
// the file gives them: two title labels and rows of four values for A, C, G, T. Naming,
// the pseudocount and the normalisation are the library's, the same for every format.
//   Native           title lines split at tabs, rows of exactly four numbers
//   JasparBrackets   ">ID name" and rows "A [ ... ]", "C [ ... ]", "G [ ... ]", "T [ ... ]"
//   JasparRows       four rows of equally many numbers per matrix (".pfm"), titled or not
//   Meme             "MEME version", "MOTIF id [alt]", "letter-probability matrix:" blocks
//   Transfac         "AC", "ID", a "P0"/"PO" header with numbered rows, "XX", "//"
//   Homer            ">consensus<TAB>name<TAB>log-odds cutoff..." and rows of four
//                    probabilities (HOMER's .motif files)
//   CisBp            a "Pos A C G T" header and numbered rows of four probabilities, one
//                    motif a file (CIS-BP's PWM.txt), named by the caller
// Only an unambiguous file is taken for another format than Native.
#pragma once

#include <array>
#include <string>
#include <vector>

enum class MotifFormat { Native, JasparBrackets, JasparRows, Meme, Transfac, Homer, CisBp };

// One motif as its file gives it.
struct RawMotif {
    std::string index;   // the index label or accession (the name without -t)
    std::string tfName;  // the transcription-factor name (the name with -t)
    long titleLine = 0;  // the line that names the motif
    std::vector<std::array<double, 4>> rows;
    std::vector<long> rowLines;  // the line of each row
    size_t wordRows = 0;         // rows of four words without a number ("A C G T")
    double listedCutoff = 0;     // HOMER's log-odds cutoff, where the file lists one
    bool hasListedCutoff = false;
    long logOddsLine = 0;  // MEME: the line of a log-odds matrix, where the motif has one
};

MotifFormat detectMotifFormat(const std::vector<std::string>& lines);

// The format's name for messages: native, JASPAR, JASPAR rows, MEME, TRANSFAC, HOMER, CIS-BP.
const char* motifFormatName(MotifFormat format);

// The motifs of the file's lines in file order. Refuses malformed matrices of the formats
// other than Native with the line they start on.
std::vector<RawMotif> parseMotifs(const std::vector<std::string>& lines, MotifFormat format);
