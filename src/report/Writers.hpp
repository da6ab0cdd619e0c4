// Tabular, BED and GFF3 forms of a module report, one module at a time.
//   TSV     one row per module: module, motifs, motif_count, instances, genes, probability,
//           and the columns of a statistics table where the modules carry its rows
//   hits    one row per hit: module, instance, gene, motif, start, end, strand, score
//           (0-based inclusive positions, as in the report)
//   BED6    one line per instance (the span of its hits, end exclusive, name M<n>:<motifs>),
//           or with hits one line per hit (the motif as name, the hit's strand)
//   GFF3    a motif_module feature per instance and a TF_binding_site child per hit
// Positions are placed through GeneCoordinates: relative to each gene, or genomic where the
// sequence file's titles give regions.
#pragma once

#include <ostream>
#include <string>

#include "report/Coordinates.hpp"
#include "report/ReportReader.hpp"

enum class OutputForm { Tsv, Hits, BedInstances, BedHits, Gff, Html };

// Lines that precede the first module (header rows, the GFF3 version line); the TSV header
// names the statistics columns too when modules carry them.
std::string formHeader(OutputForm form, bool withStatistics = false);

// The lines of one module in a tabular, BED or GFF3 form.
std::string formatModuleAs(OutputForm form, const ReportModule& module,
                           const GeneCoordinates& coordinates);

// The order of --sort probability: increasing, a probability that is not a number last.
bool moreSignificant(double a, double b);

// GFF3 percent-encoding of a sequence id and of an attribute value.
std::string gffSeqid(const std::string& text);
std::string gffValue(const std::string& text);
