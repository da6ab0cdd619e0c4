#include "report/Html.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/Text.hpp"
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
body { font: 14px/1.4 sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.4em; }
#failure { background: #fdd; border: 1px solid #c00; padding: 0.5em; }
table { border-collapse: collapse; margin-bottom: 1.5em; }
th, td { border-bottom: 1px solid #ddd; padding: 0.2em 0.7em; text-align: left; }
th.sortable { cursor: pointer; text-decoration: underline dotted; }
th.sorted-up::after { content: " \25B2"; }
th.sorted-down::after { content: " \25BC"; }
td.number { text-align: right; font-variant-numeric: tabular-nums; }
details { margin: 0.6em 0; border: 1px solid #ddd; padding: 0.3em 0.6em; }
summary { cursor: pointer; font-weight: bold; }
.legend span { display: inline-block; margin-right: 1em; }
.legend i { display: inline-block; width: 0.9em; height: 0.9em; margin-right: 0.3em; vertical-align: middle; }
.note { color: #555; }
tr.significant { background: #eef6ee; }
tr.significant td:first-child::before { content: "\2605 "; color: #2a7; }
svg text { font: 11px sans-serif; }
</style>
</head>
<body>
<h1>@TITLE@</h1>
<p id="failure" hidden></p>
<p id="summary"></p>
<table id="modules">
<thead><tr><th>module</th><th>motifs</th><th class="sortable" data-key="motifCount">motif count</th><th class="number">instances</th><th class="sortable" data-key="genes">genes</th><th class="sortable" data-key="p">probability</th></tr></thead>
<tbody></tbody>
</table>
<div id="views"></div>
<script id="report-data" type="application/json">
)PAGE";

const char* const kPageEnd = R"PAGE(
</script>
<script>
"use strict";
window.addEventListener("error", function (event) {
  const failure = document.getElementById("failure");
  failure.hidden = false;
  failure.textContent = "This page failed to draw: " + event.message;
});
const data = JSON.parse(document.getElementById("report-data").textContent);
const modules = data.modules;
const openAtStart = 20;
// With a statistics table: its columns, sortable; key, heading, text field.
const statColumns = data.stats ? [["bg", "background genes", null], ["fold", "fold enrichment", "foldt"],
  ["pv", "p value", "pvt"], ["q", "q value", "qt"], ["fwer", "fwer", "fwert"]] : [];
statColumns.forEach(function (column) {
  const heading = document.createElement("th");
  heading.textContent = column[1];
  if (column[2] !== null) {
    heading.className = "sortable";
    heading.dataset.key = column[0];
  }
  document.querySelector("#modules thead tr").appendChild(heading);
});
// A module that passes both corrections at 0.05 (fwer where the run permuted).
function significant(module) {
  return module.st !== undefined && module.st.q !== null && module.st.q <= 0.05 &&
    (module.st.fwert === "" || (module.st.fwer !== null && module.st.fwer <= 0.05));
}
// Each motif keeps its colour in every module.
// Loops, not spread or apply, over data: an instance may hold hundreds of thousands of hits.
const motifSet = new Set();
modules.forEach(function (m) { m.motifs.forEach(function (name) { motifSet.add(name); }); });
const motifNames = Array.from(motifSet).sort();
const motifIndex = new Map(motifNames.map(function (name, index) { return [name, index]; }));

function colour(motif) {
  return "hsl(" + Math.round((motifIndex.get(motif) * 137.508) % 360) + ", 65%, 45%)";
}

function svgElement(name, attributes) {
  const element = document.createElementNS("http://www.w3.org/2000/svg", name);
  for (const key in attributes) element.setAttribute(key, attributes[key]);
  return element;
}

// One row per instance: the gene as a line, forward hits above it, reverse hits below.
function drawModule(module) {
  const rowHeight = 42, labelWidth = 170, lineWidth = 720;
  const svg = svgElement("svg", {
    width: labelWidth + lineWidth + 110, height: module.shown.length * rowHeight + 10,
    role: "img", "aria-label": "instances of module " + module.id });
  module.shown.forEach(function (instance, row) {
    const y = row * rowHeight + rowHeight / 2 + 5;
    let from = 0, to = instance.length;
    if (instance.length === null) {
      from = Infinity;
      to = -Infinity;
      instance.hits.forEach(function (h) {
        from = Math.min(from, h[0]);
        to = Math.max(to, h[1] + 1);
      });
      const pad = Math.max(5, Math.round((to - from) * 0.05));
      from = Math.max(0, from - pad);
      to += pad;
    }
    const scale = lineWidth / Math.max(1, to - from);
    const label = svgElement("text", { x: 4, y: y + 4 });
    label.textContent = instance.gene;
    svg.appendChild(label);
    svg.appendChild(svgElement("line", { x1: labelWidth, x2: labelWidth + lineWidth, y1: y, y2: y,
                                         stroke: "#999" }));
    const range = svgElement("text", { x: labelWidth + lineWidth + 6, y: y + 4, fill: "#777" });
    range.textContent = from + "-" + (to - 1);
    svg.appendChild(range);
    instance.hits.forEach(function (hit) {
      const box = svgElement("rect", {
        x: labelWidth + (hit[0] - from) * scale, width: Math.max(2, (hit[1] + 1 - hit[0]) * scale),
        y: hit[2] === "+" ? y - 15 : y + 2, height: 13, fill: colour(module.motifs[hit[3]]) });
      const tip = svgElement("title", {});
      tip.textContent = module.motifs[hit[3]] + " " + hit[0] + "-" + hit[1] + " " + hit[2] +
                        " score " + hit[4];
      box.appendChild(tip);
      svg.appendChild(box);
    });
  });
  return svg;
}

function view(module, open) {
  const details = document.createElement("details");
  details.id = module.id;
  const summary = document.createElement("summary");
  summary.textContent = module.id + ": " + module.motifs.join(", ") + " (" + module.instances +
                        " instances in " + module.genes + " genes, probability " + module.pt + ")";
  details.appendChild(summary);
  const legend = document.createElement("p");
  legend.className = "legend";
  module.motifs.forEach(function (motif) {
    const item = document.createElement("span");
    const swatch = document.createElement("i");
    swatch.style.background = colour(motif);
    item.appendChild(swatch);
    item.appendChild(document.createTextNode(motif));
    legend.appendChild(item);
  });
  details.appendChild(legend);
  const note = document.createElement("p");
  note.className = "note";
  note.textContent = "Forward hits above the line, reverse hits below. " +
    (module.shown.length < module.instances
       ? "Showing the first " + module.shown.length + " of " + module.instances +
         " instances; " + (module.instances - module.shown.length) + " left out."
       : "All " + module.instances + " instances shown.");
  details.appendChild(note);
  const draw = function () {
    if (details.open && !details.querySelector("svg")) details.appendChild(drawModule(module));
  };
  details.addEventListener("toggle", draw);
  details.open = open;
  draw();
  return details;
}

function render(order) {
  const body = document.querySelector("#modules tbody");
  const views = document.getElementById("views");
  body.textContent = "";
  views.textContent = "";
  order.forEach(function (module, index) {
    const row = body.insertRow();
    const link = document.createElement("a");
    link.href = "#" + module.id;
    link.textContent = module.id;
    row.insertCell().appendChild(link);
    row.insertCell().textContent = module.motifs.join(", ");
    [module.motifs.length, module.instances, module.genes].forEach(function (value) {
      const cell = row.insertCell();
      cell.className = "number";
      cell.textContent = value;
    });
    const probability = row.insertCell();
    probability.className = "number";
    probability.textContent = module.pt;
    statColumns.forEach(function (column) {
      const cell = row.insertCell();
      cell.className = "number";
      cell.textContent = module.st[column[2] === null ? column[0] : column[2]];
    });
    if (significant(module)) row.classList.add("significant");
    views.appendChild(view(module, index < openAtStart));
  });
}

function sortBy(key, ascending) {
  const value = function (module) {
    if (key === "motifCount") return module.motifs.length;
    if (key === "p") return module.p === null ? Infinity : module.p;
    if (module.st !== undefined && key in module.st) return module.st[key] === null ? Infinity : module.st[key];
    return module[key];
  };
  const order = modules.slice().sort(function (a, b) {
    const d = value(a) - value(b);
    return (ascending ? d : -d) || a.number - b.number;
  });
  render(order);
}

document.querySelectorAll("th.sortable").forEach(function (header) {
  header.addEventListener("click", function () {
    const ascending = !header.classList.contains("sorted-up");
    document.querySelectorAll("th.sortable").forEach(function (other) {
      other.classList.remove("sorted-up", "sorted-down");
    });
    header.classList.add(ascending ? "sorted-up" : "sorted-down");
    sortBy(header.dataset.key, ascending);
  });
});

document.getElementById("summary").textContent = (modules.length < data.total
  ? "The page holds " + modules.length + " of the report's " + data.total + " modules; " +
    (data.total - modules.length) + " left out (rekul-report --html-modules sets the number). "
  : modules.length + " modules. ") +
  "Click a column heading to sort; the first " + openAtStart + " modules are drawn, open any other to draw it." +
  (data.stats ? " \u2605 marks the modules with q \u2264 0.05 and fwer \u2264 0.05." : "");
render(modules);
</script>
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

}  // namespace

bool HtmlPage::before(const Kept& a, const Kept& b) {
    if (moreSignificant(a.rank, b.rank)) return true;
    if (moreSignificant(b.rank, a.rank)) return false;
    return a.number < b.number;
}

void HtmlPage::add(const ReportModule& module, double rank) {
    ++total_;
    statistics_ |= module.significance != nullptr;
    if (!limits_.mostSignificant && kept_.size() >= limits_.modules) return;
    std::string json;
    put(json, "{\"id\":", jsonString(module.id()), ",\"number\":", std::to_string(module.number),
        ",\"motifs\":[");
    for (size_t m = 0; m < module.motifs.size(); ++m)
        put(json, m ? "," : "", jsonString(module.motifs[m]));
    put(json, "],\"instances\":", std::to_string(module.instances.size()),
        ",\"genes\":", std::to_string(module.geneCount()),
        ",\"p\":", jsonNumber(module.probability), ",\"pt\":", jsonString(module.probabilityText));
    if (const ModuleSignificance* s = module.significance)
        put(json, ",\"st\":{\"bg\":", jsonString(s->backgroundGenes),
            ",\"fold\":", jsonNumber(textNumber(s->foldEnrichment)),
            ",\"foldt\":", jsonString(s->foldEnrichment), ",\"pv\":", jsonNumber(s->p),
            ",\"pvt\":", jsonString(s->pValue), ",\"q\":", jsonNumber(s->q),
            ",\"qt\":", jsonString(s->qValue), ",\"fwer\":", jsonNumber(s->fwerValue),
            ",\"fwert\":", jsonString(s->fwer), "}");
    put(json, ",\"shown\":[");
    const size_t shown = std::min(limits_.instancesPerModule, module.instances.size());
    for (size_t i = 0; i < shown; ++i) {
        const ReportInstance& instance = module.instances[i];
        const auto length = coordinates_.length(instance.gene);
        put(json, i ? "," : "", "{\"gene\":", jsonString(instance.gene),
            ",\"length\":", length ? std::to_string(*length) : "null", ",\"hits\":[");
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

void HtmlPage::write(std::ostream& out, const std::string& title) {
    if (limits_.mostSignificant) std::sort_heap(kept_.begin(), kept_.end(), before);
    out << replaceAll(kPageStart, "@TITLE@", htmlEscaped(title)) << "{\"total\":" << total_
        << ",\"stats\":" << (statistics_ ? "true" : "false") << ",\"modules\":[\n";
    for (size_t m = 0; m < kept_.size(); ++m) out << (m ? ",\n" : "") << kept_[m].json;
    out << "\n]}" << kPageEnd;
}
