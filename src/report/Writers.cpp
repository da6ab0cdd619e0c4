// The forms: TSV rows, BED lines (sorted as bedtools sorts), BEDPE pairs and GFF3 features,
// each formatted from one module at a time.
#include "report/Writers.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "common/Text.hpp"
#include "report/GrammarTable.hpp"
#include "report/StatsTable.hpp"

namespace {

std::string joined(const std::vector<std::string>& parts, char separator) {
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

// Percent-encodes every character outside `keep` (and every control character).
std::string percentEncode(const std::string& text, bool (*keep)(unsigned char)) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (keep(c) && c >= 0x20 && c != 0x7f) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// The span of an instance's hits.
std::pair<int64_t, int64_t> span(const ReportInstance& instance) {
    int64_t first = instance.hits.front().start, last = instance.hits.front().end;
    for (const ReportHit& hit : instance.hits) {
        first = std::min(first, hit.start);
        last = std::max(last, hit.end);
    }
    return {first, last};
}

// The labels of a module's motifs, in its order; a motif the file does not hold has none.
std::string motifLabels(const ReportModule& module, const MotifCatalog& motifs) {
    std::vector<std::string> labels;
    for (const std::string& motif : module.motifs) {
        const MotifDetails* details = motifs.find(motif);
        labels.push_back(details ? details->label : "");
    }
    return joined(labels, ',');
}

std::string tsvRow(const ReportModule& module, const FormContext& context) {
    std::string row = module.id() + '\t' + joined(module.motifs, ',') + '\t';
    if (context.motifs) row.append(motifLabels(module, *context.motifs)).append("\t");
    row.append(std::to_string(module.motifs.size()) + '\t' +
               std::to_string(module.instances.size()) + '\t' + std::to_string(module.geneCount()) +
               '\t' + module.probabilityText);
    if (module.significance) row.append("\t").append(StatsTable::fields(*module.significance));
    if (module.grammar) row.append("\t").append(GrammarTable::joined(*module.grammar));
    // The parent column stays empty here: the caller fills it once every module is read.
    row.append("\t");
    return row + '\n';
}

std::string hitRows(const ReportModule& module) {
    std::string out;
    for (size_t i = 0; i < module.instances.size(); ++i)
        for (const ReportHit& hit : module.instances[i].hits)
            out += module.id() + '\t' + std::to_string(i + 1) + '\t' + module.instances[i].gene +
                   '\t' + hit.motif + '\t' + std::to_string(hit.start) + '\t' +
                   std::to_string(hit.end) + '\t' + hit.strand + '\t' + hit.score + '\n';
    return out;
}

std::string bedPlace(const Placement& place) {
    return place.seqid + '\t' + std::to_string(place.start) + '\t' + std::to_string(place.end);
}

// A motif as BED and GFF3 name it: with its factor name (MA0205.1_Trl) where the motif file
// gives one, so that the name stays unique.
std::string motifName(const std::string& motif, const MotifCatalog* motifs) {
    const MotifDetails* details = motifs ? motifs->find(motif) : nullptr;
    return details && !details->label.empty() ? motif + "_" + details->label : motif;
}

std::string bedRows(const ReportModule& module, const FormContext& context, bool hits) {
    const GeneCoordinates& coordinates = context.coordinates;
    std::string out;
    const std::string score = std::to_string(bedScore(module));
    for (const ReportInstance& instance : module.instances) {
        const std::string name = module.id() + ':' + instance.gene;
        if (!hits) {
            auto [first, last] = span(instance);
            out += bedPlace(coordinates.place(instance.gene, first, last, '.')) + '\t' + name +
                   '\t' + score + "\t.\n";
            continue;
        }
        for (const ReportHit& hit : instance.hits) {
            Placement place = coordinates.place(instance.gene, hit.start, hit.end, hit.strand);
            out += bedPlace(place) + '\t' + name + ':' + motifName(hit.motif, context.motifs) +
                   '\t' + score + '\t' + place.strand + '\n';
        }
    }
    return out;
}

// Every pair of an instance's hits, in the instance's order.
std::string bedpeRows(const ReportModule& module, const GeneCoordinates& coordinates) {
    std::string out;
    const std::string score = std::to_string(bedScore(module));
    for (const ReportInstance& instance : module.instances) {
        std::vector<Placement> places;
        for (const ReportHit& hit : instance.hits)
            places.push_back(coordinates.place(instance.gene, hit.start, hit.end, hit.strand));
        for (size_t i = 0; i < places.size(); ++i)
            for (size_t j = i + 1; j < places.size(); ++j)
                out += bedPlace(places[i]) + '\t' + bedPlace(places[j]) + '\t' + module.id() + ':' +
                       instance.gene + ':' + instance.hits[i].motif + ':' + instance.hits[j].motif +
                       '\t' + score + '\t' + places[i].strand + '\t' + places[j].strand + '\n';
    }
    return out;
}

std::string gffLine(const Placement& place, const char* type, const std::string& score,
                    const std::string& attributes) {
    return gffSeqid(place.seqid) + "\trekul\t" + type + '\t' + std::to_string(place.start + 1) +
           '\t' + std::to_string(place.end) + '\t' + score + '\t' + place.strand + "\t.\t" +
           attributes + '\n';
}

// The statistics of a module as GFF3 attributes: those the table holds.
std::string gffStatistics(const ReportModule& module) {
    const ModuleSignificance* s = module.significance;
    if (s == nullptr) return "";
    std::string out;
    for (const auto& [key, value] :
         {std::pair<const char*, const std::string*>{"p_value", &s->pValue},
          {"q_value", &s->qValue},
          {"fwer", &s->fwer},
          {"fdr", &s->fdr}})
        if (!value->empty()) out.append(";").append(key).append("=").append(gffValue(*value));
    return out;
}

// A CRM (SO:0000727) per instance and a TF_binding_site (SO:0000235) per hit, tied to its
// CRM by the attribute crm: the Sequence Ontology says that a CRM has TF binding sites as
// parts but not that a site is part of a CRM, and validators (gt gff3validator -typecheck
// so) accept a Parent only along part_of.
std::string gffRows(const ReportModule& module, const FormContext& context) {
    const GeneCoordinates& coordinates = context.coordinates;
    std::string out, motifs, factors;
    for (const std::string& motif : module.motifs) {
        motifs.append(motifs.empty() ? "" : ",").append(gffValue(motif));
        const MotifDetails* details = context.motifs ? context.motifs->find(motif) : nullptr;
        factors.append(factors.empty() ? "" : ",").append(gffValue(details ? details->label : ""));
    }
    const std::string statistics = gffStatistics(module);
    for (size_t i = 0; i < module.instances.size(); ++i) {
        const ReportInstance& instance = module.instances[i];
        const std::string id = module.id() + '.' + std::to_string(i + 1);
        auto [first, last] = span(instance);
        out += gffLine(coordinates.place(instance.gene, first, last, '.'), "CRM", ".",
                       "ID=" + id + ";Name=" + module.id() + ";module=" + module.id() +
                           ";motifs=" + motifs + (context.motifs ? ";factors=" + factors : "") +
                           ";probability=" + module.probabilityText + statistics);
        for (size_t h = 0; h < instance.hits.size(); ++h) {
            const ReportHit& hit = instance.hits[h];
            out += gffLine(coordinates.place(instance.gene, hit.start, hit.end, hit.strand),
                           "TF_binding_site", hit.score,
                           "ID=" + id + '.' + std::to_string(h + 1) + ";crm=" + id +
                               ";Name=" + gffValue(motifName(hit.motif, context.motifs)) +
                               ";module=" + module.id() + ";motif=" + gffValue(hit.motif) +
                               ";score=" + hit.score);
        }
    }
    return out;
}

}  // namespace

bool moreSignificant(double a, double b) {
    if (std::isnan(b)) return !std::isnan(a);
    return a < b;
}

std::string gffSeqid(const std::string& text) {
    return percentEncode(text, [](unsigned char c) {
        return std::isalnum(c) || std::strchr(".:^*$@!+_?-|", c) != nullptr;
    });
}

std::string gffValue(const std::string& text) {
    return percentEncode(text, [](unsigned char c) { return std::strchr(";=&,%", c) == nullptr; });
}

int bedScore(const ReportModule& module) {
    const ModuleSignificance* s = module.significance;
    const double x = s == nullptr               ? module.probability
                     : std::isnan(s->fwerValue) ? s->q
                                                : s->fwerValue;
    if (std::isnan(x)) return 0;
    if (x <= 0) return 1000;
    return static_cast<int>(std::clamp(std::round(-10 * std::log10(x)), 0.0, 1000.0));
}

std::string gffSequenceRegions(const std::map<std::string, std::pair<int64_t, int64_t>>& extents) {
    std::string out;
    for (const auto& [seqid, extent] : extents)
        out += "##sequence-region " + gffSeqid(seqid) + ' ' + std::to_string(extent.first + 1) +
               ' ' + std::to_string(extent.second) + '\n';
    return out;
}

void writeSortedBed(std::ostream& out, const std::string& lines) {
    struct Line {
        std::string_view text, chrom;
        int64_t start;
    };
    std::vector<Line> sorted;
    for (size_t at = 0; at < lines.size();) {
        const size_t end = lines.find('\n', at);
        const std::string_view text(lines.data() + at, end - at);
        const size_t tab = text.find('\t');
        int64_t start = 0;
        parseInt64(text.substr(tab + 1, text.find('\t', tab + 1) - tab - 1), start);
        sorted.push_back({text, text.substr(0, tab), start});
        at = end + 1;
    }
    std::sort(sorted.begin(), sorted.end(), [](const Line& a, const Line& b) {
        if (a.chrom != b.chrom) return a.chrom < b.chrom;
        if (a.start != b.start) return a.start < b.start;
        return a.text < b.text;
    });
    for (size_t i = 0; i < sorted.size(); ++i)
        if (i == 0 || sorted[i].text != sorted[i - 1].text) out << sorted[i].text << '\n';
}

std::string formHeader(OutputForm form, const FormContext& context) {
    switch (form) {
        case OutputForm::Tsv:
            return std::string("module\tmotifs\t") + (context.motifs ? "motif_labels\t" : "") +
                   "motif_count\tinstances\tgenes\tprobability" +
                   (context.statistics ? std::string("\t") + StatsTable::kColumns : "") +
                   (context.grammar ? "\tgrammar" : "") + "\tparent\n";
        case OutputForm::Hits:
            return "module\tinstance\tgene\tmotif\tstart\tend\tstrand\tscore\n";
        case OutputForm::Gff:
            return "##gff-version 3\n";
        case OutputForm::BedInstances:
        case OutputForm::BedHits:
        case OutputForm::Bedpe: {
            // A track line's values cannot hold a double quote.
            std::string description = context.provenance.empty() ? "" : context.provenance[0];
            for (size_t i = 1; i < context.provenance.size() && i < 2; ++i)
                description.append("; ").append(context.provenance[i]);
            description.append("; score: min(1000, -10 log10 " + context.scoreMeasure + ")");
            std::replace(description.begin(), description.end(), '"', '\'');
            std::string out = "track name=rekul-modules description=\"" + description + "\"\n";
            for (size_t i = 2; i < context.provenance.size(); ++i)
                out.append("# ").append(context.provenance[i]).append("\n");
            return out;
        }
        case OutputForm::Html:
            break;
    }
    return "";
}

std::string formFooter(OutputForm form, const FormContext& context) {
    if (form != OutputForm::Tsv && form != OutputForm::Hits && form != OutputForm::Gff) return "";
    std::string out;
    for (const std::string& line : context.provenance) out.append("# ").append(line).append("\n");
    return out;
}

std::string formatModuleAs(OutputForm form, const ReportModule& module,
                           const FormContext& context) {
    switch (form) {
        case OutputForm::Tsv:
            return tsvRow(module, context);
        case OutputForm::Hits:
            return hitRows(module);
        case OutputForm::BedInstances:
            return bedRows(module, context, false);
        case OutputForm::BedHits:
            return bedRows(module, context, true);
        case OutputForm::Bedpe:
            return bedpeRows(module, context.coordinates);
        case OutputForm::Gff:
            return gffRows(module, context);
        case OutputForm::Html:
            break;
    }
    return "";
}
