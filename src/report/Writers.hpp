// Tabular, BED and GFF3 forms of a module report, one module at a time.
//   TSV     one row per module: module, motifs (and motif_labels with a motif file),
//           motif_count, instances, genes, probability, the columns of a statistics table
//           where the modules carry its rows, and parent (the largest module holding its
//           motifs), written empty for the caller to fill once every module is read
//   hits    one row per hit: module, instance, gene, motif, start, end, strand, score
//           (0-based inclusive positions, as in the report)
//   BED6    one line per instance (the span of its hits, end exclusive, name M<n>:<gene>),
//           or with hits one line per hit (name M<n>:<gene>:<motif>, with the factor name
//           as <motif>_<factor> where a motif file gives one, the hit's strand); the score
//           is min(1000, round(-10 log10 p)) of the module's probability, or with a
//           statistics table of its fwer (its q value where the table has no fwer)
//   BEDPE   one line per pair of hits of an instance, name M<n>:<gene>:<motif>:<motif>, in
//           report order (its lines grow with the square of an instance's hits)
//   GFF3    a CRM (SO:0000727) per instance, with the table's p, q, fwer and fdr where
//           given, and a TF_binding_site (SO:0000235) per hit, named by its motif (and
//           factor) and tied to its CRM by crm=; a ##sequence-region line per sequence
//           before the features
// Positions are placed through GeneCoordinates: relative to each gene, or genomic where the
// sequence file's titles give regions. BED lines are sorted (chromosome, then start) and
// told once by writeSortedBed. Each form carries how it was made: '#' lines at the end
// of TSV and GFF3, a track line's description and '#' lines at the top of BED.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "report/Coordinates.hpp"
#include "report/MotifCatalog.hpp"
#include "report/ReportReader.hpp"

enum class OutputForm { Tsv, Hits, BedInstances, BedHits, Bedpe, Gff, Html };

// What the forms need beside the modules.
struct FormContext {
    const GeneCoordinates& coordinates;
    const MotifCatalog* motifs = nullptr;      // where given: the TSV's motif_labels column
    bool statistics = false;                   // the modules carry rows of a statistics table
    bool grammar = false;                      // the modules carry rows of a grammar table
    std::string scoreMeasure = "probability";  // what BED scores are of, told in the track line
    // How the output was made: program and version, command line, input files, and the
    // notes of a statistics table; each line without its "# ".
    std::vector<std::string> provenance;
};

// Lines that precede the first module (header rows, the GFF3 version line, BED's track).
std::string formHeader(OutputForm form, const FormContext& context);
// Lines that follow the last module: the provenance of TSV, hit rows and GFF3.
std::string formFooter(OutputForm form, const FormContext& context);

// The lines of one module in a tabular, BED or GFF3 form.
std::string formatModuleAs(OutputForm form, const ReportModule& module, const FormContext& context);

// Writes BED lines in `sort -k1,1 -k2,2n` order (ties by the whole line), each once.
void writeSortedBed(std::ostream& out, const std::string& lines);

// The BED score of a module: min(1000, round(-10 log10 x)) of its fwer where it carries
// statistics (of its q value where the table has no fwer), else of its probability; 0 where x
// is not a number.
int bedScore(const ReportModule& module);

// The order of --sort probability: increasing, a probability that is not a number last.
bool moreSignificant(double a, double b);

// The ##sequence-region lines of GFF3 for the given extents (0-based start, end excluded).
std::string gffSequenceRegions(const std::map<std::string, std::pair<int64_t, int64_t>>& extents);

// GFF3 percent-encoding of a sequence id and of an attribute value.
std::string gffSeqid(const std::string& text);
std::string gffValue(const std::string& text);
