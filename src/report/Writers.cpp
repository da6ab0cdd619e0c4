#include "report/Writers.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

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

std::string tsvRow(const ReportModule& module) {
    std::string row = module.id() + '\t' + joined(module.motifs, ',') + '\t' +
                      std::to_string(module.motifs.size()) + '\t' +
                      std::to_string(module.instances.size()) + '\t' +
                      std::to_string(module.geneCount()) + '\t' + module.probabilityText;
    if (module.significance) row.append("\t").append(StatsTable::fields(*module.significance));
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

std::string bedLine(const Placement& place, const std::string& name, char strand) {
    return place.seqid + '\t' + std::to_string(place.start) + '\t' + std::to_string(place.end) +
           '\t' + name + "\t0\t" + strand + '\n';
}

std::string bedRows(const ReportModule& module, const GeneCoordinates& coordinates, bool hits) {
    std::string out;
    const std::string name = module.id() + ':' + joined(module.motifs, ',');
    for (const ReportInstance& instance : module.instances) {
        if (!hits) {
            auto [first, last] = span(instance);
            out += bedLine(coordinates.place(instance.gene, first, last, '.'), name, '.');
            continue;
        }
        for (const ReportHit& hit : instance.hits) {
            Placement place = coordinates.place(instance.gene, hit.start, hit.end, hit.strand);
            out += bedLine(place, hit.motif, place.strand);
        }
    }
    return out;
}

std::string gffLine(const Placement& place, const char* type, const std::string& score,
                    const std::string& attributes) {
    return gffSeqid(place.seqid) + "\trekul\t" + type + '\t' + std::to_string(place.start + 1) +
           '\t' + std::to_string(place.end) + '\t' + score + '\t' + place.strand + "\t.\t" +
           attributes + '\n';
}

std::string gffRows(const ReportModule& module, const GeneCoordinates& coordinates) {
    std::string out, motifs;
    for (const std::string& motif : module.motifs)
        motifs.append(motifs.empty() ? "" : ",").append(gffValue(motif));
    for (size_t i = 0; i < module.instances.size(); ++i) {
        const ReportInstance& instance = module.instances[i];
        const std::string id = module.id() + '.' + std::to_string(i + 1);
        auto [first, last] = span(instance);
        out += gffLine(coordinates.place(instance.gene, first, last, '.'), "motif_module", ".",
                       "ID=" + id + ";Name=" + module.id() + ";module=" + module.id() +
                           ";motifs=" + motifs + ";probability=" + module.probabilityText);
        for (size_t h = 0; h < instance.hits.size(); ++h) {
            const ReportHit& hit = instance.hits[h];
            out += gffLine(coordinates.place(instance.gene, hit.start, hit.end, hit.strand),
                           "TF_binding_site", hit.score,
                           "ID=" + id + '.' + std::to_string(h + 1) + ";Parent=" + id +
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

std::string formHeader(OutputForm form, bool withStatistics) {
    switch (form) {
        case OutputForm::Tsv:
            return std::string("module\tmotifs\tmotif_count\tinstances\tgenes\tprobability") +
                   (withStatistics ? std::string("\t") + StatsTable::kColumns : "") + "\n";
        case OutputForm::Hits:
            return "module\tinstance\tgene\tmotif\tstart\tend\tstrand\tscore\n";
        case OutputForm::Gff:
            return "##gff-version 3\n";
        default:
            return "";
    }
}

std::string formatModuleAs(OutputForm form, const ReportModule& module,
                           const GeneCoordinates& coordinates) {
    switch (form) {
        case OutputForm::Tsv:
            return tsvRow(module);
        case OutputForm::Hits:
            return hitRows(module);
        case OutputForm::BedInstances:
            return bedRows(module, coordinates, false);
        case OutputForm::BedHits:
            return bedRows(module, coordinates, true);
        case OutputForm::Gff:
            return gffRows(module, coordinates);
        case OutputForm::Html:
            break;
    }
    return "";
}
