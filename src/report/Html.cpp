// The page: the report's modules and the tables as JSON in one script element, with the page's
// own style and script compiled in; markup in names escaped.
#include "report/Html.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/Text.hpp"
#include "modules/Grammar.hpp"
#include "report/GrammarTable.hpp"
#include "report/PageAssets.hpp"
#include "report/StatsTable.hpp"
#include "report/Writers.hpp"

namespace {

const char* const kPageStart = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>@TITLE@</title>
<style>
@STYLE@</style>
</head>
<body>
<h1>@TITLE@</h1>
<p id="failure" hidden></p>
<p id="summary"></p>
<section id="motif-stats-section" hidden><h2>Single motifs</h2><p>Each motif alone against the background (rekul --motif-stats): a module matters where it does better than its motifs do. Click a column heading to sort.</p><table id="motif-stats"><thead></thead><tbody></tbody></table></section>
<section id="plots">
<figure id="heatmap-figure"><figcaption>Motif pairs: how many reported modules hold each pair (rows and columns clustered by average linkage on 1 - cosine similarity; the tree on the right)</figcaption></figure>
<figure id="network-figure"><figcaption>Module network: the motifs in most modules as nodes, their pairs as edges as thick as the most genes a module holding both has (as many of the strongest as there are motifs, and each motif's strongest)</figcaption></figure>
<figure id="volcano-figure" hidden><figcaption>Significance: fold enrichment against fwer (q, nominal, for a run without permutations); click a point to open its module</figcaption></figure>
</section>
<table id="modules">
<thead><tr><th>module</th><th>motifs</th><th class="sortable" data-key="motifCount">motif count</th><th class="number">instances</th><th class="sortable" data-key="genes">genes</th><th class="sortable" data-key="p">probability</th></tr></thead>
<tbody></tbody>
</table>
<div id="views"></div>
<footer id="provenance"></footer>
<script id="report-data" type="application/json">
)PAGE";

const char* const kPageEnd = R"PAGE(
</script>
<script>
@SCRIPT@</script>
</body>
</html>
)PAGE";

std::string htmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A number as printed ("inf" too), or not a number where the text is none.
double textNumber(const std::string& text) {
    double value = std::nan("");
    parseDouble(text, value);
    return value;
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

}  // namespace

std::string jsonString(const std::string& text) {
    static const char* hex = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

namespace {

// Appends each piece to the text.
template <typename... Pieces>
void put(std::string& text, const Pieces&... pieces) {
    (text.append(pieces), ...);
}

// A logo as rows of four letter heights, to a thousandth of a bit.
std::string logoJson(const std::vector<std::array<double, 4>>& logo) {
    std::string json = "[";
    for (size_t i = 0; i < logo.size(); ++i) {
        json += i ? ",[" : "[";
        for (int b = 0; b < 4; ++b) {
            json.append(b ? "," : "").append(formatted("%.3f", std::max(0.0, logo[i][b])));
        }
        json += "]";
    }
    return json + "]";
}

// One instance per gene, the first the report prints, with the first hit of each motif: the
// instances the grammar table counts (but for the stretches of DNA it counts once, which
// the report cannot tell).
std::vector<GrammarInstance> reportInstances(const ReportModule& module) {
    ModuleRecord record;
    for (size_t m = 0; m < module.motifs.size(); ++m)
        record.motifs.push_back(static_cast<int32_t>(m));
    std::map<std::string, int32_t> genes;
    for (const ReportInstance& instance : module.instances) {
        InstanceRecord found;
        found.gene = genes.emplace(instance.gene, static_cast<int32_t>(genes.size())).first->second;
        for (const ReportHit& hit : instance.hits) {
            const auto motif = std::find(module.motifs.begin(), module.motifs.end(), hit.motif) -
                               module.motifs.begin();
            found.hits.push_back({static_cast<int32_t>(motif), static_cast<int32_t>(hit.start),
                                  static_cast<int32_t>(hit.end), hit.strand, 0});
        }
        record.found.push_back(std::move(found));
    }
    return grammarInstances(record);
}

std::string intList(const std::vector<int64_t>& values) {
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i)
        out.append(i ? "," : "").append(std::to_string(values[i]));
    return out + "]";
}

// A grammar row as the page shows it: [value, genes, genes_total, fwer as printed].
std::string rowJson(const GrammarTableRow& row) {
    std::string json = "[";
    put(json, jsonString(row.value), ",", std::to_string(row.genes), ",", std::to_string(row.total),
        ",", jsonString(row.fwerText), "]");
    return json;
}

// The arrangement figure's data: the order and strands rows, and for the pairs of smallest
// spacing p (at most six) the row and the histogram against the null's band.
std::string grammarJson(const ReportModule& module, const ModuleGrammar& grammar) {
    constexpr size_t kPairsDrawn = 6, kBins = 60;
    const std::vector<GrammarInstance> instances = reportInstances(module);
    std::string json = "{\"instances\":";
    json.append(std::to_string(instances.size()));
    std::vector<const GrammarTableRow*> spacings;
    for (const GrammarTableRow& row : grammar.rows) {
        if (row.feature == "order" || row.feature == "strands")
            put(json, ",\"", row.feature, "\":", rowJson(row));
        if (row.feature == "spacing") spacings.push_back(&row);
    }
    std::stable_sort(spacings.begin(), spacings.end(),
                     [](const auto* x, const auto* y) { return x->pValue < y->pValue; });
    if (spacings.size() > kPairsDrawn) spacings.resize(kPairsDrawn);
    put(json, ",\"pairs\":[");
    auto indexOf = [&](const std::string& motif) {
        return static_cast<size_t>(std::find(module.motifs.begin(), module.motifs.end(), motif) -
                                   module.motifs.begin());
    };
    bool first = true;
    for (size_t p = 0; p < spacings.size(); ++p) {
        const size_t a = indexOf(spacings[p]->motifA), b = indexOf(spacings[p]->motifB);
        if (a >= module.motifs.size() || b >= module.motifs.size()) continue;
        const SpacingHistogram histogram = spacingHistogram(instances, a, b, grammar.bin, kBins);
        std::string mean = "[";
        for (size_t i = 0; i < histogram.mean.size(); ++i)
            mean.append(i ? "," : "").append(formatted("%.4g", histogram.mean[i]));
        put(json, first ? "" : ",", "{\"a\":", std::to_string(a), ",\"b\":", std::to_string(b),
            ",\"row\":", rowJson(*spacings[p]), ",\"p\":", jsonNumber(spacings[p]->pValue),
            ",\"from\":", std::to_string(histogram.from),
            ",\"bin\":", std::to_string(histogram.bin),
            ",\"observed\":", intList(histogram.observed), ",\"mean\":", mean, "]",
            ",\"low\":", intList(histogram.low), ",\"high\":", intList(histogram.high), "}");
        first = false;
    }
    return json + "]}";
}

}  // namespace

bool HtmlPage::before(const Kept& a, const Kept& b) {
    if (moreSignificant(a.rank, b.rank)) return true;
    if (moreSignificant(b.rank, a.rank)) return false;
    return a.number < b.number;
}

void HtmlPage::add(const ReportModule& module, double rank) {
    ++total_;
    statistics_ |= module.significance != nullptr;
    families_.add(module);
    if (!limits_.mostSignificant && kept_.size() >= limits_.modules) return;
    std::string json;
    put(json, "{\"id\":", jsonString(module.id()), ",\"number\":", std::to_string(module.number),
        ",\"motifs\":[");
    for (size_t m = 0; m < module.motifs.size(); ++m)
        put(json, m ? "," : "", jsonString(module.motifs[m]));
    put(json, "],\"labels\":[");
    for (size_t m = 0; m < module.motifs.size(); ++m) {
        const MotifDetails* details = motifs_.find(module.motifs[m]);
        put(json, m ? "," : "", jsonString(details ? details->label : ""));
        if (details && !logos_.count(module.motifs[m]))
            logos_.emplace(module.motifs[m], logoJson(details->logo));
    }
    put(json, "],\"instances\":", std::to_string(module.instances.size()),
        ",\"genes\":", std::to_string(module.geneCount()),
        ",\"p\":", jsonNumber(module.probability), ",\"pt\":", jsonString(module.probabilityText));
    if (const ModuleSignificance* s = module.significance)
        put(json, ",\"st\":{\"bg\":", jsonString(s->backgroundGenes),
            ",\"fold\":", jsonNumber(textNumber(s->foldEnrichment)),
            ",\"foldt\":", jsonString(s->foldEnrichment), ",\"pv\":", jsonNumber(s->p),
            ",\"pvt\":", jsonString(s->pValue), ",\"q\":", jsonNumber(s->q),
            ",\"qt\":", jsonString(s->qValue), ",\"fwer\":", jsonNumber(s->fwerValue),
            ",\"fwert\":", jsonString(s->fwerShown), ",\"fdr\":", jsonNumber(s->fdrValue),
            ",\"fdrt\":", jsonString(s->fdrShown), ",\"parts\":", jsonNumber(s->partsValue),
            ",\"partst\":", jsonString(s->pVsParts), "}");
    if (module.grammar) put(json, ",\"grammar\":", grammarJson(module, *module.grammar));
    put(json, ",\"shown\":[");
    const size_t shown = std::min(limits_.instancesPerModule, module.instances.size());
    for (size_t i = 0; i < shown; ++i) {
        const ReportInstance& instance = module.instances[i];
        const auto length = coordinates_.length(instance.gene);
        const auto region = coordinates_.region(instance.gene);
        put(json, i ? "," : "", "{\"gene\":", jsonString(instance.gene),
            ",\"length\":", length ? std::to_string(*length) : "null", ",\"region\":");
        if (region)
            put(json, "[", jsonString(region->chrom), ",", std::to_string(region->start),
                region->minus ? ",true]" : ",false]");
        else
            put(json, "null");
        put(json, ",\"hits\":[");
        for (size_t h = 0; h < instance.hits.size(); ++h) {
            const ReportHit& hit = instance.hits[h];
            const auto motif = std::find(module.motifs.begin(), module.motifs.end(), hit.motif) -
                               module.motifs.begin();
            put(json, h ? ",[" : "[", std::to_string(hit.start), ",", std::to_string(hit.end),
                hit.strand == '+' ? ",\"+\"," : ",\"-\",", std::to_string(motif), ",",
                jsonString(hit.score), "]");
        }
        put(json, "]}");
    }
    put(json, "]}");
    kept_.push_back({rank, module.number, std::move(json)});
    if (!limits_.mostSignificant) return;
    std::push_heap(kept_.begin(), kept_.end(), before);
    if (kept_.size() > limits_.modules) {
        std::pop_heap(kept_.begin(), kept_.end(), before);
        kept_.pop_back();
    }
}

void HtmlPage::addMotifTable(std::vector<std::string> columns,
                             std::vector<std::vector<std::string>> rows) {
    motifColumns_ = std::move(columns);
    motifRows_ = std::move(rows);
}

void HtmlPage::write(std::ostream& out, const std::string& title,
                     const std::vector<std::string>& provenance) {
    if (limits_.mostSignificant) std::sort_heap(kept_.begin(), kept_.end(), before);
    out << replaceAll(replaceAll(kPageStart, "@TITLE@", htmlEscaped(title)), "@STYLE@", kPageStyle)
        << "{\"total\":" << total_ << ",\"stats\":" << (statistics_ ? "true" : "false")
        << ",\"provenance\":[";
    for (size_t i = 0; i < provenance.size(); ++i)
        out << (i ? "," : "") << jsonString(provenance[i]);
    out << "],\"motifStats\":";
    if (motifColumns_.empty()) {
        out << "null";
    } else {
        auto list = [&](const std::vector<std::string>& fields) {
            out << "[";
            for (size_t i = 0; i < fields.size(); ++i)
                out << (i ? "," : "") << jsonString(fields[i]);
            out << "]";
        };
        out << "{\"columns\":";
        list(motifColumns_);
        out << ",\"rows\":[";
        for (size_t r = 0; r < motifRows_.size(); ++r) {
            out << (r ? ",\n" : "\n");
            list(motifRows_[r]);
        }
        out << "]}";
    }
    out << ",\"logos\":{";
    bool first = true;
    for (const auto& [name, logo] : logos_) {
        out << (first ? "" : ",") << jsonString(name) << ":" << logo;
        first = false;
    }
    out << "},\"modules\":[\n";
    // Each module's JSON gains its parent and whether it is closed, known now that every
    // module has been added.
    families_.resolve(true);
    for (size_t m = 0; m < kept_.size(); ++m)
        out << (m ? ",\n" : "") << "{\"parent\":" << families_.parent(kept_[m].number)
            << ",\"closed\":" << (families_.closed(kept_[m].number) ? "true" : "false") << ","
            << std::string_view(kept_[m].json).substr(1);
    std::string script;
    for (const char* part : kPageScriptParts) script += part;
    out << "\n]}" << replaceAll(kPageEnd, "@SCRIPT@", script);
}
