// Script of rekul-report's HTML page: draws the modules from the JSON data that the page
// embeds (no network, no external script); embedded into the page at build time.
// Loops, not spread or apply, over data: an instance may hold hundreds of thousands of hits.
// The whole script runs in one function, so that it leaves no name in the page's globals.
(function () {
"use strict";
window.addEventListener("error", function (event) {
  const failure = document.getElementById("failure");
  failure.hidden = false;
  failure.textContent = "This page failed to draw: " + event.message;
});
const data = JSON.parse(document.getElementById("report-data").textContent);
const modules = data.modules;
const openAtStart = 20;
const svgNamespace = "http://www.w3.org/2000/svg";

// With a statistics table: its columns, sortable; key, heading, text field.
const statColumns = data.stats ? [["bg", "background genes", null], ["fold", "fold enrichment", "foldt"],
  ["pv", "p value", "pvt"], ["q", "q value (nominal)", "qt"], ["fwer", "fwer", "fwert"],
  ["fdr", "fdr", "fdrt"], ["parts", "p vs parts", "partst"]] : [];

// Whether the table comes from a run with permutations: only they account for the search.
const permuted = modules.some(function (m) { return m.st !== undefined && m.st.fwert !== ""; });

// The page's order: with a statistics table, by fwer (by p for a run without permutations),
// then p, the most significant first; without one, the report's order.
function rankValue(module) {
  if (module.st === undefined) return Infinity;
  const value = permuted ? module.st.fwer : module.st.pv;
  return value === null ? Infinity : value;
}
const ranked = !data.stats ? modules : modules.slice().sort(function (a, b) {
  const pa = a.st === undefined || a.st.pv === null ? Infinity : a.st.pv;
  const pb = b.st === undefined || b.st.pv === null ? Infinity : b.st.pv;
  return (rankValue(a) - rankValue(b)) || (pa - pb) || a.number - b.number;
});
// The modules whose drawings the page opens at the start (the first 20 at the top level).
const openedModules = [];

// A module whose family-wise error is at most 0.05: starred. The nominal q never stars.
function significant(module) {
  return module.st !== undefined && module.st.fwer !== null && module.st.fwer <= 0.05;
}

// A module that passes fdr <= 0.05 without passing fwer: marked apart.
function discovered(module) {
  return !significant(module) && module.st !== undefined && module.st.fdr !== null &&
    module.st.fdr <= 0.05;
}

// The sentence that says what the marks mean.
function markRule() {
  if (!data.stats) return "";
  if (!permuted) {
    return " No module is starred: the statistics table comes from a run without permutations," +
      " and its q values are nominal (they do not account for the search).";
  }
  return " \u2605 marks the modules with fwer \u2264 0.05, \u2606 those with fdr \u2264 0.05" +
    " that do not pass fwer.";
}

// ---- Motif colours: the Okabe-Ito palette with wine in place of its yellow (which orange
// hides on small sites and for red-green blind readers), then the same colours striped and
// dotted: 24 motifs apart. Each motif keeps its style in every module where the page holds
// no more motifs than that, else within each module.
const palette = ["#E69F00", "#56B4E9", "#009E73", "#882255", "#0072B2", "#D55E00", "#CC79A7", "#000000"];
const motifSet = new Set();
modules.forEach(function (m) { m.motifs.forEach(function (name) { motifSet.add(name); }); });
const motifNames = Array.from(motifSet).sort();
const motifIndex = new Map(motifNames.map(function (name, index) { return [name, index]; }));
const stylesApart = palette.length * 3;

function styleIndex(module, k) {
  return motifNames.length <= stylesApart ? motifIndex.get(module.motifs[k]) : k;
}

function svgElement(name, attributes) {
  const element = document.createElementNS(svgNamespace, name);
  for (const key in attributes) element.setAttribute(key, attributes[key]);
  return element;
}

function svgText(attributes, text) {
  const element = svgElement("text", attributes);
  element.textContent = text;
  return element;
}

function titled(element, text) {
  const tip = svgElement("title", {});
  tip.textContent = text;
  element.appendChild(tip);
  return element;
}

// The fill of style s inside an SVG whose <defs> are `defs`: a plain colour, or a pattern of
// that colour made once per SVG under a name unique in the page.
let patternCount = 0;
function fillOf(s, defs) {
  const colour = palette[s % palette.length];
  const kind = Math.floor(s / palette.length) % 3;
  if (kind === 0) return colour;
  const id = "pattern-" + (++patternCount);
  const pattern = svgElement("pattern", { id: id, width: 6, height: 6, patternUnits: "userSpaceOnUse" });
  pattern.appendChild(svgElement("rect", { width: 6, height: 6, fill: "#fff" }));
  if (kind === 1) {
    pattern.setAttribute("patternTransform", "rotate(45)");
    pattern.appendChild(svgElement("rect", { width: 3, height: 6, fill: colour }));
  } else {
    pattern.appendChild(svgElement("circle", { cx: 3, cy: 3, r: 2, fill: colour }));
  }
  defs.appendChild(pattern);
  return "url(#" + id + ")";
}

// A motif's name, with its label where a motif file gave one.
function motifTitle(module, k) {
  return module.labels[k] ? module.motifs[k] + " (" + module.labels[k] + ")" : module.motifs[k];
}

// ---- Genomic axes. A gene position p (0-based) lies at chromosome position (1-based)
// start + p + 1 on a plus-strand region and start + length - p on a minus-strand one, whose
// drawing therefore runs from high to low chromosome positions.
function genomic(instance, p) {
  const region = instance.region;
  if (region === null) return p;
  return region[2] ? region[1] + instance.length - p : region[1] + p + 1;
}

function placeText(instance, from, to, strand) {
  if (instance.region === null) return from + "-" + to + " " + strand;
  const a = genomic(instance, from), b = genomic(instance, to);
  const genomicStrand = instance.region[2] ? (strand === "+" ? "-" : "+") : strand;
  return instance.region[0] + ":" + Math.min(a, b).toLocaleString("en-US") + "-" +
    Math.max(a, b).toLocaleString("en-US") + " " + genomicStrand + " (gene " + from + "-" + to + " " + strand + ")";
}

// A step of 1, 2 or 5 times a power of ten that puts a handful of ticks along `span`.
function tickStep(span) {
  const raw = Math.max(1, span / 5);
  const power = Math.pow(10, Math.floor(Math.log10(raw)));
  const steps = [1, 2, 5, 10];
  for (let i = 0; i < steps.length; ++i) if (steps[i] * power >= raw) return steps[i] * power;
  return 10 * power;
}

// Gene positions of the ticks between from and to (exclusive): where the axis value (the
// chromosome position, else the gene position) is a multiple of the step.
function ticks(instance, from, to) {
  const step = tickStep(to - from);
  const out = [];
  for (let p = from; p < to; ++p) if (genomic(instance, p) % step === 0) out.push(p);
  return out;
}

function shortLabel(text, limit) {
  return text.length <= limit ? text : text.slice(0, limit - 1) + "\u2026";
}

// ---- Numbers as figures show them: 3 significant digits, and a x 10^n form (superscript
// digits) below 0.001 and from 100,000 up, so that no number runs long or wraps.
const superscripts = { "-": "\u207B", 0: "\u2070", 1: "\u00B9", 2: "\u00B2", 3: "\u00B3", 4: "\u2074",
  5: "\u2075", 6: "\u2076", 7: "\u2077", 8: "\u2078", 9: "\u2079" };
function formatNumber(value) {
  if (value === null || value === undefined || value === "") return "";
  if (value === "inf" || value === Infinity) return "\u221E";
  if (typeof value === "string") {
    if (isNaN(Number(value))) return value;
    value = Number(value);
  }
  if (value === 0) return "0";
  const magnitude = Math.abs(value);
  if (magnitude >= 1e-3 && magnitude < 1e5) return String(Number(value.toPrecision(3)));
  const parts = value.toExponential(2).split("e");
  const mantissa = parts[0].replace(/\.?0+$/, "");
  const exponent = String(Number(parts[1])).split("").map(function (c) { return superscripts[c]; }).join("");
  return (mantissa === "1" ? "" : mantissa + "\u00D7") + "10" + exponent;
}

// Round tick values (1, 2 or 5 times a power of ten) from low to high, about `count` of them.
function niceTicks(low, high, count) {
  const span = high - low;
  if (!(span > 0)) return [low];
  const raw = span / Math.max(1, count);
  const power = Math.pow(10, Math.floor(Math.log10(raw)));
  let step = 10 * power;
  [1, 2, 5].some(function (m) {
    if (m * power >= raw) {
      step = m * power;
      return true;
    }
    return false;
  });
  const out = [];
  for (let v = Math.ceil(low / step) * step; v <= high + step * 1e-9; v += step)
    out.push(Math.abs(v) < step * 1e-9 ? 0 : Number(v.toPrecision(12)));
  return out;
}

// The width of a text in the page's 11px sans-serif (10px for ticks), near enough to keep
// labels apart: 0.6 of the font size per character.
function textWidth(text, size) {
  return 0.6 * (size || 11) * String(text).length;
}

// An axis of tick marks and labels, in a group of class `axis-x` or `axis-y`; a label that
// would run into the one before it is left out (its tick mark stays).
function drawAxis(svg, horizontal, values, place, across, format) {
  const axis = svgElement("g", { class: horizontal ? "axis-x" : "axis-y" });
  let lastEnd = -Infinity;
  values.forEach(function (value) {
    const at = place(value), label = format(value);
    if (horizontal) {
      axis.appendChild(svgElement("line", { x1: at, x2: at, y1: across, y2: across + 4, stroke: "#999" }));
      const half = textWidth(label, 10) / 2;
      if (at - half < lastEnd + 3) return;
      lastEnd = at + half;
      axis.appendChild(svgText({ x: at, y: across + 14, "text-anchor": "middle", class: "tick" }, label));
    } else {
      axis.appendChild(svgElement("line", { x1: across - 4, x2: across, y1: at, y2: at, stroke: "#999" }));
      if (lastEnd !== -Infinity && Math.abs(at - lastEnd) < 12) return;
      lastEnd = at;
      axis.appendChild(svgText({ x: across - 6, y: at + 3.5, "text-anchor": "end", class: "tick" }, label));
    }
  });
  svg.appendChild(axis);
  return axis;
}

// A legend inside a figure: one row per item, a swatch (a drawn element) and its text.
function drawLegend(svg, x, y, items) {
  const legend = svgElement("g", { class: "legend" });
  items.forEach(function (item, i) {
    const swatch = item.swatch(x + 6, y + i * 16);
    legend.appendChild(swatch);
    legend.appendChild(svgText({ x: x + 16, y: y + i * 16 + 4 }, item.text));
  });
  svg.appendChild(legend);
  return legend;
}

// The stretch of an instance to draw: the whole gene where its length is known, else the
// span of its hits with a margin.
function stretch(instance) {
  if (instance.length !== null) return [0, instance.length];
  let from = Infinity, to = -Infinity;
  instance.hits.forEach(function (h) {
    from = Math.min(from, h[0]);
    to = Math.max(to, h[1] + 1);
  });
  const pad = Math.max(5, Math.round((to - from) * 0.05));
  return [Math.max(0, from - pad), to + pad];
}

// A gene name in at most `lines` lines of at most `width` letters, broken after a separator
// (_ - . : | or a space) where the name has one, so that no word is cut; a word longer than a
// line, or a name longer than the lines, ends in an ellipsis. The whole name is the tooltip.
function nameLines(name, width, lines) {
  const words = name.match(/[^_\-.:| ]*[_\-.:| ]*/g).filter(function (w) { return w !== ""; });
  const out = [];
  let line = "";
  words.forEach(function (word) {
    if (line !== "" && line.length + word.length > width) {
      out.push(line);
      line = "";
    }
    line += word;
  });
  if (line !== "") out.push(line);
  const shown = out.slice(0, lines).map(function (l) { return shortLabel(l, width); });
  if (out.length > lines) shown[lines - 1] = shown[lines - 1].slice(0, width - 1) + "\u2026";
  return shown;
}

function wrappedName(x, y, name, width, lines) {
  const text = titled(svgText({ x: x, y: y, class: "gene" }, ""), name);
  nameLines(name, width, lines).forEach(function (part, line) {
    const span = svgElement("tspan", { x: x, dy: line === 0 ? 0 : 12 });
    span.textContent = part;
    text.appendChild(span);
  });
  return text;
}

// The drawing's title: the module, its instances and genes, its probability and, with a
// statistics table, its fold enrichment, p and fwer.
function moduleHeadline(module) {
  let text = module.id + ": " + module.instances + " instances in " + module.genes + " genes, probability " +
    formatNumber(module.p === null ? module.pt : module.p);
  if (module.st !== undefined) {
    text += "; fold " + formatNumber(module.st.fold === null ? module.st.foldt : module.st.fold) +
      ", p " + formatNumber(module.st.pv === null ? module.st.pvt : module.st.pv);
    if (module.st.fwert !== "") text += ", fwer " + formatNumber(module.st.fwer);
  }
  return text;
}

// One row per instance on one scale for the module (letters per pixel): the gene as a line
// with its axis below, forward hits above it, reverse hits below; the motifs' legend on top.
// Sites narrower than `siteWidth` pixels are widened about their centre, so that each shows.
const siteWidth = 5;
function drawModule(module) {
  const rowHeight = 62, lineWidth = 720, titleHeight = 20, legendHeight = 22 + titleHeight;
  // Room for the longest gene name, on at most two lines of at most 32 letters.
  let labelChars = 10;
  module.shown.forEach(function (i) { labelChars = Math.max(labelChars, Math.min(32, i.gene.length)); });
  const labelWidth = textWidth("m".repeat(labelChars)) + 12;
  const svg = svgElement("svg", {
    width: labelWidth + lineWidth + 40, height: module.shown.length * rowHeight + 10 + legendHeight,
    role: "img", "aria-label": "instances of module " + module.id });
  const defs = svgElement("defs", {});
  svg.appendChild(defs);
  const fills = module.motifs.map(function (name, k) { return fillOf(styleIndex(module, k), defs); });
  const headline = moduleHeadline(module);
  svg.appendChild(svgText({ x: 4, y: 14, class: "title", "font-weight": "bold" }, headline));
  const legend = svgElement("g", { class: "legend" });
  let legendX = 4;
  module.motifs.forEach(function (name, k) {
    legend.appendChild(svgElement("rect", { x: legendX, y: 4 + titleHeight, width: 12, height: 12, fill: fills[k],
      stroke: "#333", "stroke-width": 0.5, "data-colour": palette[styleIndex(module, k) % palette.length] }));
    const text = motifTitle(module, k);
    legend.appendChild(svgText({ x: legendX + 16, y: 14 + titleHeight }, text));
    legendX += 16 + textWidth(text) + 14;
  });
  // The unit of the axes below each gene.
  const unit = module.shown.some(function (i) { return i.region !== null; })
    ? "axis: chromosome position (bp)" : "axis: position in the gene (bp)";
  legend.appendChild(svgText({ x: legendX + 10, y: 14 + titleHeight, class: "note" }, unit));
  legendX += 10 + textWidth(unit, 10);
  svg.appendChild(legend);
  svg.setAttribute("width", Math.max(labelWidth + lineWidth + 40, legendX, 8 + textWidth(headline) * 1.1));
  const stretches = module.shown.map(stretch);
  let longest = 1;
  stretches.forEach(function (s) { longest = Math.max(longest, s[1] - s[0]); });
  const scale = lineWidth / longest;
  module.shown.forEach(function (instance, row) {
    const y = legendHeight + row * rowHeight + 24;
    const from = stretches[row][0], to = stretches[row][1];
    const x = function (p) { return labelWidth + (p - from) * scale; };
    svg.appendChild(wrappedName(4, y - 4, instance.gene, labelChars, 2));
    if (instance.region !== null)
      svg.appendChild(svgText({ x: 4, y: y + 31, class: "note" }, instance.region[0] + " (" +
        (instance.region[2] ? "minus" : "plus") + " strand)"));
    svg.appendChild(svgElement("line", { x1: x(from), x2: x(to), y1: y, y2: y, stroke: "#999" }));
    const axis = svgElement("g", { class: "axis-x", fill: "#666" });
    let lastEnd = -Infinity;
    ticks(instance, from, to).forEach(function (p) {
      axis.appendChild(svgElement("line", { x1: x(p), x2: x(p), y1: y + 17, y2: y + 21, stroke: "#999" }));
      const label = genomic(instance, p).toLocaleString("en-US"), half = textWidth(label, 10) / 2;
      if (x(p) - half < lastEnd + 4 || x(p) + half > labelWidth + lineWidth + 38) return;
      lastEnd = x(p) + half;
      axis.appendChild(svgText({ x: x(p), y: y + 31, "text-anchor": "middle", class: "tick" }, label));
    });
    svg.appendChild(axis);
    instance.hits.forEach(function (hit) {
      const k = hit[3], width = (hit[1] + 1 - hit[0]) * scale;
      const box = svgElement("rect", {
        class: "site", x: x(hit[0]) - Math.max(0, siteWidth - width) / 2, width: Math.max(siteWidth, width),
        y: hit[2] === "+" ? y - 15 : y + 2, height: 13, fill: fills[k], stroke: "#333",
        "stroke-width": 0.5 });
      svg.appendChild(titled(box, motifTitle(module, k) + " " + placeText(instance, hit[0], hit[1], hit[2]) +
        " score " + hit[4]));
    });
  });
  return svg;
}

// ---- A module's arrangement (rekul-report --grammar): its motifs as arrows in their most
// frequent order, each on its strand of the most frequent pattern (relative to the first
// motif), and for the pairs of smallest spacing p the histogram of the distances between
// their starts, one instance per gene, over the null's mean (line) and 95 % band (grey).
function grammarText(row) {
  return row[1] + " of " + row[2] + " genes, fwer " + formatNumber(row[3]);
}

function drawGrammar(module) {
  const grammar = module.grammar;
  const panelWidth = 230, panelHeight = 70, columns = 3, top = 92;
  const rows = Math.ceil(grammar.pairs.length / columns);
  const svg = svgElement("svg", { width: 40 + columns * (panelWidth + 40),
    height: top + rows * (panelHeight + 62) + 10, role: "img", "aria-label": "arrangement of module " + module.id });
  const defs = svgElement("defs", {});
  svg.appendChild(defs);
  const fills = module.motifs.map(function (name, k) { return fillOf(styleIndex(module, k), defs); });
  svg.appendChild(svgText({ x: 4, y: 14, class: "title", "font-weight": "bold" },
    module.id + ": arrangement over " + grammar.instances + " genes (one instance each)"));
  // The arrows, in the most frequent order; strands relative to the module's first motif.
  const order = grammar.order ? grammar.order[0].split(",") : module.motifs;
  const strands = grammar.strands ? grammar.strands[0] : "+".repeat(module.motifs.length);
  let x = 8;
  const arrows = svgElement("g", { class: "arrows" });
  order.forEach(function (name) {
    const k = module.motifs.indexOf(name), label = motifTitle(module, k);
    const width = Math.max(40, textWidth(label) + 16), forward = strands[k] !== "-", y = 30;
    const tip = forward ? x + width : x, tail = forward ? x : x + width, neck = forward ? tip - 8 : tip + 8;
    const arrow = svgElement("polygon", { class: "arrow", "data-strand": forward ? "+" : "-",
      "data-motif": name, fill: fills[k], stroke: "#333", "stroke-width": 0.5,
      points: [[tail, y], [neck, y], [tip, y + 9], [neck, y + 18], [tail, y + 18]].map(function (p) { return p.join(","); }).join(" ") });
    arrows.appendChild(titled(arrow, label + (forward ? " (same strand as the first motif)" : " (other strand)")));
    arrows.appendChild(svgText({ x: x + width / 2, y: y + 32, "text-anchor": "middle", class: "note" }, label));
    x += width + 10;
  });
  svg.appendChild(arrows);
  const lines = [];
  if (grammar.order) lines.push("order in " + grammarText(grammar.order));
  if (grammar.strands) lines.push("strands " + grammar.strands[0] + " in " + grammarText(grammar.strands));
  svg.appendChild(svgText({ x: 4, y: 80, class: "note" }, lines.join("; ")));
  let widest = Math.max(x, 8 + textWidth(lines.join("; "), 10));
  grammar.pairs.forEach(function (pair, i) {
    const left = 40 + (i % columns) * (panelWidth + 40), base = top + Math.floor(i / columns) * (panelHeight + 62) + 20 + panelHeight;
    const bins = pair.observed.length;
    let most = 1;
    pair.observed.forEach(function (c, b) { most = Math.max(most, c, pair.high[b]); });
    const px = function (distance) { return left + (distance - pair.from) / (bins * pair.bin) * panelWidth; };
    const py = function (count) { return base - count / most * panelHeight; };
    const panel = svgElement("g", { class: "spacing", "data-pair": module.motifs[pair.a] + ">" + module.motifs[pair.b] });
    const title = motifTitle(module, pair.a) + " \u2192 " + motifTitle(module, pair.b) + ": " + pair.row[0] +
      " bp in " + grammarText(pair.row);
    panel.appendChild(svgText({ x: left - 30, y: base - panelHeight - 8, class: "note" }, title));
    widest = Math.max(widest, left - 30 + textWidth(title, 10));
    // The null's band as steps over the bins, its mean as a line.
    const band = [], mean = [];
    for (let b = 0; b < bins; ++b) {
      const x0 = px(pair.from + b * pair.bin), x1 = px(pair.from + (b + 1) * pair.bin);
      band.push([x0, py(pair.high[b])], [x1, py(pair.high[b])]);
      mean.push([x0, py(pair.mean[b])], [x1, py(pair.mean[b])]);
    }
    for (let b = bins - 1; b >= 0; --b)
      band.push([px(pair.from + (b + 1) * pair.bin), py(pair.low[b])], [px(pair.from + b * pair.bin), py(pair.low[b])]);
    panel.appendChild(svgElement("polygon", { class: "null-band", fill: "#ddd", stroke: "none",
      points: band.map(function (p) { return p.join(","); }).join(" ") }));
    pair.observed.forEach(function (count, b) {
      if (count === 0) return;
      const x0 = px(pair.from + b * pair.bin), x1 = px(pair.from + (b + 1) * pair.bin);
      const bar = svgElement("rect", { class: "observed", x: x0, width: Math.max(1.5, x1 - x0 - 0.5), y: py(count),
        height: base - py(count), fill: count > pair.high[b] ? "#882255" : "#0072B2" });
      panel.appendChild(titled(bar, count + " genes at " + (pair.from + b * pair.bin) +
        (pair.bin > 1 ? " to " + (pair.from + (b + 1) * pair.bin - 1) : "") + " bp (null band " +
        pair.low[b] + " to " + pair.high[b] + ")"));
    });
    panel.appendChild(svgElement("polyline", { class: "null-mean", fill: "none", stroke: "#555", "stroke-width": 1,
      points: mean.map(function (p) { return p.join(","); }).join(" ") }));
    panel.appendChild(svgElement("line", { x1: left, x2: left + panelWidth, y1: base, y2: base, stroke: "#999" }));
    drawAxis(panel, true, niceTicks(pair.from, pair.from + bins * pair.bin, 4), px, base, formatNumber);
    drawAxis(panel, false, niceTicks(0, most, 2).filter(function (v) { return v === Math.round(v); }), py, left, formatNumber);
    svg.appendChild(panel);
  });
  const legendY = top + rows * (panelHeight + 62) - 4;
  svg.appendChild(svgText({ x: 4, y: legendY, class: "note" }, "distance start(b) \u2212 start(a) in bp; bars: genes (wine above the null's band); line and grey: the null's mean and 95 % band per bin"));
  svg.setAttribute("width", Math.max(Number(svg.getAttribute("width")), widest + 10, 8 + textWidth("distance start(b) \u2212 start(a) in bp; bars: genes (wine above the null's band); line and grey: the null's mean and 95 % band per bin", 10)));
  return svg;
}

// ---- Sequence logos: letter heights in bits, the tallest letter on top.
const letterColours = { A: "#109648", C: "#255C99", G: "#F7B32B", T: "#D62839" };
function drawLogo(name) {
  const columns = data.logos[name];
  const columnWidth = 14, bitHeight = 30, top = 6, left = 34;
  const svg = svgElement("svg", { width: columns.length * columnWidth + left + 6, height: 2 * bitHeight + 14,
    class: "logo", role: "img", "aria-label": "logo of " + name });
  svg.appendChild(svgElement("line", { x1: left - 2, x2: left - 2, y1: top, y2: top + 2 * bitHeight, stroke: "#999" }));
  drawAxis(svg, false, [2, 1, 0], function (bits) { return top + (2 - bits) * bitHeight; }, left - 2, String);
  svg.appendChild(svgText({ x: 0, y: 0, transform: "translate(9," + (top + bitHeight) + ") rotate(-90)",
    "text-anchor": "middle", class: "tick" }, "bits"));
  columns.forEach(function (heights, i) {
    const order = [0, 1, 2, 3].sort(function (a, b) { return heights[a] - heights[b]; });
    let base = top + 2 * bitHeight;
    order.forEach(function (b) {
      const h = heights[b] * bitHeight;
      if (h < 0.5) return;
      // A 20px sans-serif capital is about 14.4px tall and 13px wide.
      const letter = svgText({ x: 0, y: 0, fill: letterColours["ACGT"[b]], "data-bits": heights[b],
        transform: "translate(" + (left + i * columnWidth) + "," + base + ") scale(" + (columnWidth / 13.5) +
          "," + (h / 14.4) + ")", style: "font: bold 20px sans-serif" }, "ACGT"[b]);
      svg.appendChild(letter);
      base -= h;
    });
  });
  return svg;
}

// ---- The module views, each sub-module under the largest module on the page that holds
// its motifs.
function motifLegend(module) {
  const paragraph = document.createElement("div");
  paragraph.className = "legend";
  module.motifs.forEach(function (motif, k) {
    const item = document.createElement("span");
    const swatch = svgElement("svg", { width: 14, height: 14, class: "swatch" });
    const defs = svgElement("defs", {});
    swatch.appendChild(defs);
    swatch.appendChild(svgElement("rect", { width: 13, height: 13, x: 0.5, y: 0.5,
      fill: fillOf(styleIndex(module, k), defs), stroke: "#333" }));
    item.appendChild(swatch);
    item.appendChild(document.createTextNode(" " + motifTitle(module, k)));
    if (data.logos[motif] !== undefined) {
      item.appendChild(document.createElement("br"));
      item.appendChild(drawLogo(motif));
    }
    paragraph.appendChild(item);
  });
  return paragraph;
}

function view(module) {
  const details = document.createElement("details");
  details.id = module.id;
  const summary = document.createElement("summary");
  summary.textContent = module.id + ": " + module.motifs.map(function (n, k) { return motifTitle(module, k); }).join(", ") +
    " (" + module.instances + " instances in " + module.genes + " genes, probability " +
    formatNumber(module.p === null ? module.pt : module.p) + ")" +
    (module.closed ? "" : ", not closed: a larger module holds the same genes");
  details.appendChild(summary);
  const note = document.createElement("p");
  note.className = "note";
  note.textContent = "Forward hits above the line, reverse hits below; genes on one scale" +
    (module.shown.some(function (i) { return i.region !== null; }) ? ", positions on the chromosome. " : ". ") +
    (module.shown.length < module.instances
      ? "Showing the first " + module.shown.length + " of " + module.instances +
        " instances; " + (module.instances - module.shown.length) + " left out."
      : "All " + module.instances + " instances shown.");
  const draw = function () {
    if (!details.open || details.querySelector(":scope > .drawing")) return;
    const drawing = document.createElement("div");
    drawing.className = "drawing";
    drawing.appendChild(motifLegend(module));
    drawing.appendChild(note);
    const figure = drawModule(module);
    drawing.appendChild(exportButtons(module.id, function () { return figure; }));
    drawing.appendChild(figure);
    if (module.grammar !== undefined) {
      const arrangement = drawGrammar(module);
      drawing.appendChild(exportButtons(module.id + "-grammar", function () { return arrangement; }));
      drawing.appendChild(arrangement);
    }
    details.insertBefore(drawing, summary.nextSibling);
  };
  details.addEventListener("toggle", draw);
  return { details: details, draw: draw };
}

function renderViews() {
  const views = document.getElementById("views");
  const made = new Map();
  modules.forEach(function (module) { made.set(module.id, view(module)); });
  // Closed modules first: in each group of sub-modules, those with genes of their own come
  // before those that hold the same genes as a larger module (and add nothing but motifs).
  let opened = 0;
  ranked.filter(function (m) { return m.closed; }).concat(ranked.filter(function (m) { return !m.closed; })).forEach(function (module) {
    const own = made.get(module.id);
    const parent = module.parent ? made.get("M" + module.parent) : undefined;
    if (parent === undefined) {
      views.appendChild(own.details);
      if (opened++ < openAtStart) {
        own.details.open = true;
        own.draw();
        openedModules.push(module);
      }
      return;
    }
    let group = parent.details.querySelector(":scope > details.submodules");
    if (group === null) {
      group = document.createElement("details");
      group.className = "submodules";
      group.appendChild(document.createElement("summary"));
      parent.details.appendChild(group);
    }
    group.appendChild(own.details);
    group.firstChild.textContent = "sub-modules (" + (group.children.length - 1) + ")";
  });
}

// Opens every enclosing group of a module, so that a link to it lands on it.
function reveal(id) {
  let element = document.getElementById(id);
  if (element === null) return;
  element.open = true;
  for (element = element.parentElement; element !== null; element = element.parentElement)
    if (element.tagName === "DETAILS") element.open = true;
}

function moduleLink(id) {
  const link = document.createElement("a");
  link.href = "#" + id;
  link.textContent = id;
  link.addEventListener("click", function () { reveal(id); });
  return link;
}

// ---- The table, sortable by its headings.
// A cell of a number as the figures write it, the table's own text as its tooltip.
function numberCell(row, value, text) {
  const cell = row.insertCell();
  cell.className = "number";
  cell.textContent = formatNumber(value);
  if (text !== undefined && String(text) !== cell.textContent) cell.title = text;
  return cell;
}

function renderTable(order) {
  const body = document.querySelector("#modules tbody");
  body.textContent = "";
  order.forEach(function (module) {
    const row = body.insertRow();
    row.insertCell().appendChild(moduleLink(module.id));
    row.insertCell().textContent = module.motifs.map(function (n, k) { return motifTitle(module, k); }).join(", ");
    [module.motifs.length, module.instances, module.genes].forEach(function (value) {
      const cell = row.insertCell();
      cell.className = "number";
      cell.textContent = value;
    });
    numberCell(row, module.p === null ? module.pt : module.p, module.pt);
    statColumns.forEach(function (column) {
      const text = module.st[column[2] === null ? column[0] : column[2]];
      const value = column[2] === null || module.st[column[0]] === null ? text : module.st[column[0]];
      numberCell(row, column[0] === "bg" ? text : value, text);
    });
    const parent = row.insertCell();
    if (module.parent) parent.appendChild(moduleLink("M" + module.parent));
    if (significant(module)) row.classList.add("significant");
    if (discovered(module)) row.classList.add("discovered");
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
  renderTable(order);
}

function setUpTable() {
  const headings = document.querySelector("#modules thead tr");
  statColumns.forEach(function (column) {
    const heading = document.createElement("th");
    heading.textContent = column[1];
    if (column[2] !== null) {
      heading.className = "sortable";
      heading.dataset.key = column[0];
    }
    headings.appendChild(heading);
  });
  const parent = document.createElement("th");
  parent.textContent = "parent";
  headings.appendChild(parent);
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
}

// ---- Motif pairs: per pair, the modules holding it and the most genes one of them has.
const plotMotifLimit = 40, networkMotifLimit = 24;
// The motif as plots name it: its label (a factor name) where it has one.
const plotName = new Map();
modules.forEach(function (m) {
  m.motifs.forEach(function (name, k) { if (m.labels[k]) plotName.set(name, m.labels[k] + " " + name); });
});
function shownName(name) { return plotName.has(name) ? plotName.get(name) : name; }

function pairCounts() {
  const frequency = new Map();
  modules.forEach(function (m) {
    m.motifs.forEach(function (name) { frequency.set(name, (frequency.get(name) || 0) + 1); });
  });
  const names = Array.from(frequency.keys()).sort(function (a, b) {
    return frequency.get(b) - frequency.get(a) || (a < b ? -1 : a > b ? 1 : 0);
  }).slice(0, plotMotifLimit);
  const at = new Map(names.map(function (name, i) { return [name, i]; }));
  const count = names.map(function () { return names.map(function () { return 0; }); });
  const genes = names.map(function () { return names.map(function () { return 0; }); });
  modules.forEach(function (m) {
    for (let a = 0; a < m.motifs.length; ++a)
      for (let b = a + 1; b < m.motifs.length; ++b) {
        const i = at.get(m.motifs[a]), j = at.get(m.motifs[b]);
        if (i === undefined || j === undefined || i === j) continue;
        count[i][j] += 1;
        count[j][i] += 1;
        genes[i][j] = genes[j][i] = Math.max(genes[i][j], m.genes);
      }
  });
  return { names: names, count: count, genes: genes };
}

// Average-linkage clustering of the rows (distance 1 - cosine similarity): the tree, each
// node a leaf { row } or a merge { a, b, height } at the average distance of its two sides,
// and its leaf order.
function cluster(matrix) {
  const n = matrix.length;
  const norm = matrix.map(function (row) {
    let s = 0;
    row.forEach(function (v) { s += v * v; });
    return Math.sqrt(s);
  });
  const distances = matrix.map(function (row, i) {
    return matrix.map(function (other, j) {
      if (norm[i] === 0 || norm[j] === 0) return 1;
      let dot = 0;
      for (let k = 0; k < n; ++k) dot += row[k] * other[k];
      return 1 - dot / (norm[i] * norm[j]);
    });
  });
  let clusters = matrix.map(function (row, i) { return { leaves: [i], node: { row: i } }; });
  while (clusters.length > 1) {
    let best = [0, 1], bestDistance = Infinity;
    for (let a = 0; a < clusters.length; ++a)
      for (let b = a + 1; b < clusters.length; ++b) {
        let sum = 0;
        clusters[a].leaves.forEach(function (i) { clusters[b].leaves.forEach(function (j) { sum += distances[i][j]; }); });
        const d = sum / (clusters[a].leaves.length * clusters[b].leaves.length);
        if (d < bestDistance) {
          bestDistance = d;
          best = [a, b];
        }
      }
    const a = clusters[best[0]], b = clusters[best[1]];
    const merged = { leaves: a.leaves.concat(b.leaves), node: { a: a.node, b: b.node, height: Math.max(0, bestDistance) } };
    clusters = clusters.filter(function (c, k) { return k !== best[0] && k !== best[1]; });
    clusters.push(merged);
  }
  return clusters.length ? { order: clusters[0].leaves, tree: clusters[0].node } : { order: [], tree: null };
}

// The tree of the heatmap's rows to the right of its cells: leaves at the rows' middles,
// each merge at its distance (0 at the cells, the largest at `width`), one path per merge.
function drawDendrogram(svg, tree, rowOf, left, width) {
  const group = svgElement("g", { class: "dendrogram" });
  let highest = 0;
  const measure = function (node) {
    if (node.row === undefined) highest = Math.max(highest, node.height, measure(node.a), measure(node.b));
    return highest;
  };
  if (tree !== null) measure(tree);
  const place = function (node) {
    if (node.row !== undefined) return [left, rowOf(node.row)];
    const a = place(node.a), b = place(node.b);
    const x = left + (highest > 0 ? node.height / highest : 1) * width;
    group.appendChild(titled(svgElement("path", { d: "M" + a[0] + "," + a[1] + "H" + x + "V" + b[1] + "H" + b[0],
      fill: "none", stroke: "#666", "stroke-width": 1 }), "distance " + formatNumber(node.height) + " (1 \u2212 cosine)"));
    return [x, (a[1] + b[1]) / 2];
  };
  if (tree !== null) place(tree);
  svg.appendChild(group);
  return group;
}

// Pairs of the motifs in most modules, clustered; the colour of a cell is the number of
// modules that hold the pair, read off the scale beside it.
function drawHeatmap(pairs) {
  const clustered = cluster(pairs.count), order = clustered.order;
  const n = order.length, cell = 16, margin = 110, treeWidth = 60, scaleWidth = 90 + treeWidth;
  let most = 1;
  pairs.count.forEach(function (row) { row.forEach(function (v) { most = Math.max(most, v); }); });
  const shadeOf = function (v) { return Math.round(255 - 200 * v / most); };
  const svg = svgElement("svg", { id: "heatmap", width: margin + n * cell + scaleWidth + 20,
    height: Math.max(margin + n * cell + 10, margin + 160), role: "img", "aria-label": "heatmap of motif pairs" });
  const rows = svgElement("g", { class: "axis-y" }), columns = svgElement("g", { class: "axis-x" });
  order.forEach(function (i, r) {
    rows.appendChild(titled(svgText({ x: margin - 4, y: margin + r * cell + 12, "text-anchor": "end" },
      shortLabel(shownName(pairs.names[i]), 18)), shownName(pairs.names[i])));
    columns.appendChild(titled(svgText({ x: 0, y: 0, transform: "translate(" + (margin + r * cell + 11) + "," +
      (margin - 4) + ") rotate(-60)" }, shortLabel(shownName(pairs.names[i]), 18)), shownName(pairs.names[i])));
    order.forEach(function (j, c) {
      const v = pairs.count[i][j], shade = shadeOf(v);
      const square = svgElement("rect", { x: margin + c * cell, y: margin + r * cell, width: cell - 1,
        height: cell - 1, fill: i === j ? "#eee" : "rgb(" + shade + "," + shade + ",255)" });
      if (i !== j)
        titled(square, shownName(pairs.names[i]) + " + " + shownName(pairs.names[j]) + ": " + v + " modules, at most " +
          pairs.genes[i][j] + " genes in one");
      svg.appendChild(square);
    });
  });
  svg.appendChild(rows);
  svg.appendChild(columns);
  const rowOf = new Map(order.map(function (i, r) { return [i, margin + r * cell + (cell - 1) / 2]; }));
  drawDendrogram(svg, clustered.tree, function (i) { return rowOf.get(i); }, margin + n * cell + 2, treeWidth - 8);
  // The colour scale: the number of modules holding a pair, from 0 at the bottom.
  const defs = svgElement("defs", {});
  const gradient = svgElement("linearGradient", { id: "heatmap-scale", x1: 0, x2: 0, y1: 1, y2: 0 });
  gradient.appendChild(svgElement("stop", { offset: 0, "stop-color": "rgb(255,255,255)" }));
  gradient.appendChild(svgElement("stop", { offset: 1, "stop-color": "rgb(55,55,255)" }));
  defs.appendChild(gradient);
  svg.appendChild(defs);
  const scaleLeft = margin + n * cell + treeWidth + 24, scaleTop = margin, scaleHeight = 120;
  const legend = svgElement("g", { class: "legend" });
  legend.appendChild(svgText({ x: scaleLeft - 4, y: scaleTop - 8 }, "modules"));
  legend.appendChild(svgElement("rect", { x: scaleLeft, y: scaleTop, width: 12, height: scaleHeight,
    fill: "url(#heatmap-scale)", stroke: "#999" }));
  niceTicks(0, most, 4).forEach(function (v) {
    const y = scaleTop + scaleHeight - v / most * scaleHeight;
    legend.appendChild(svgElement("line", { x1: scaleLeft + 12, x2: scaleLeft + 16, y1: y, y2: y, stroke: "#999" }));
    legend.appendChild(svgText({ x: scaleLeft + 18, y: y + 3.5, class: "tick" }, formatNumber(v)));
  });
  svg.appendChild(legend);
  return svg;
}

// The motifs in most modules on a circle, in the heatmap's cluster order so that motifs that
// pair with the same partners sit side by side; as edges, the pairs that the most genes
// share: as many as there are motifs, and each motif's strongest pair, so that the drawing
// stays readable and no motif with a pair is left bare.
function networkEdges(pairs, n) {
  const all = [];
  for (let i = 0; i < n; ++i)
    for (let j = i + 1; j < n; ++j) if (pairs.count[i][j] > 0) all.push([i, j]);
  all.sort(function (a, b) { return pairs.genes[b[0]][b[1]] - pairs.genes[a[0]][a[1]] || a[0] - b[0] || a[1] - b[1]; });
  const hasEdge = new Set();
  const kept = all.filter(function (e, rank) {
    const keep = rank < n || !hasEdge.has(e[0]) || !hasEdge.has(e[1]);
    if (keep) {
      hasEdge.add(e[0]);
      hasEdge.add(e[1]);
    }
    return keep;
  });
  return { kept: kept, total: all.length };
}

function drawNetwork(pairs) {
  const n = Math.min(pairs.names.length, networkMotifLimit), size = 560, centre = size / 2, radius = size / 2 - 120;
  const chosen = networkEdges(pairs, n), edges = chosen.kept;
  const sub = pairs.count.slice(0, n).map(function (row) { return row.slice(0, n); });
  const slot = new Map(cluster(sub).order.map(function (i, k) { return [i, k]; }));
  let most = 1, least = Infinity;
  edges.forEach(function (e) {
    most = Math.max(most, pairs.genes[e[0]][e[1]]);
    least = Math.min(least, pairs.genes[e[0]][e[1]]);
  });
  if (least === Infinity) least = most;
  const svg = svgElement("svg", { id: "network", width: size, height: size, role: "img",
    "aria-label": "network of motifs" });
  const point = function (i) {
    const angle = 2 * Math.PI * slot.get(i) / Math.max(1, n) - Math.PI / 2;
    return [centre + radius * Math.cos(angle), centre + radius * Math.sin(angle), angle];
  };
  // The weakest edge drawn thin and pale, the strongest thick and dark.
  edges.slice().reverse().forEach(function (e) {
    const a = point(e[0]), b = point(e[1]), genes = pairs.genes[e[0]][e[1]];
    const strength = most > least ? (genes - least) / (most - least) : 1;
    svg.appendChild(titled(svgElement("line", { class: "edge", x1: a[0], y1: a[1], x2: b[0], y2: b[1],
      stroke: "#0072B2", "stroke-opacity": 0.35 + 0.5 * strength, "stroke-width": 1 + 5 * strength }),
      shownName(pairs.names[e[0]]) + " - " + shownName(pairs.names[e[1]]) + ": " + genes + " genes, " +
        pairs.count[e[0]][e[1]] + " modules"));
  });
  // Labels beside their nodes, outward; one that would overlap a label or node placed before
  // it moves further out, tied to its node by a leader line.
  const placed = [];
  for (let i = 0; i < n; ++i) {
    const p = point(i);
    placed.push([p[0] - 5, p[1] - 5, p[0] + 5, p[1] + 5]);
    svg.appendChild(titled(svgElement("circle", { cx: p[0], cy: p[1], r: 5, fill: "#D55E00" }), shownName(pairs.names[i])));
  }
  const overlaps = function (box) {
    return placed.some(function (o) { return box[0] < o[2] && o[0] < box[2] && box[1] < o[3] && o[1] < box[3]; });
  };
  for (let i = 0; i < n; ++i) {
    const p = point(i), c = Math.cos(p[2]), s = Math.sin(p[2]);
    const text = shortLabel(shownName(pairs.names[i]), 20), width = textWidth(text);
    const anchor = Math.abs(c) < 0.3 ? "middle" : c > 0 ? "start" : "end";
    let x = 0, y = 0, box = null;
    for (let out = 0; out <= 8; ++out) {
      const reach = 9 + 13 * out;
      x = p[0] + c * reach;
      y = p[1] + s * reach + (anchor === "middle" ? (s < 0 ? -2 : 10) : 4);
      const left = anchor === "start" ? x : anchor === "end" ? x - width : x - width / 2;
      box = [left - 1, y - 10, left + width + 1, y + 3];
      if (!overlaps(box)) break;
    }
    placed.push(box);
    if (Math.hypot(x - p[0], y - p[1]) > 24)
      svg.appendChild(svgElement("line", { x1: p[0] + c * 6, y1: p[1] + s * 6, x2: x - c * 3, y2: y - 4 - s * 3,
        stroke: "#bbb", "stroke-width": 0.75 }));
    svg.appendChild(titled(svgText({ x: x, y: y, "text-anchor": anchor }, text), shownName(pairs.names[i])));
  }
  // Room for labels pushed out: the drawing grows to hold all of them, the legend below.
  let minX = 0, minY = 0, maxX = size, maxY = size;
  placed.forEach(function (b) { minX = Math.min(minX, b[0]); minY = Math.min(minY, b[1]); maxX = Math.max(maxX, b[2]); maxY = Math.max(maxY, b[3]); });
  drawLegend(svg, minX + 8, maxY + 12, [
    { text: "a motif of the most modules", swatch: function (x, y) { return svgElement("circle", { cx: x, cy: y, r: 5, fill: "#D55E00" }); } },
    { text: "a pair: width by the most genes in one module (" + formatNumber(least) + " to " + formatNumber(most) + ")",
      swatch: function (x, y) {
        return svgElement("line", { x1: x - 6, x2: x + 6, y1: y, y2: y, stroke: "#0072B2", "stroke-width": 4, "stroke-opacity": 0.6 }); } },
    { text: "the " + edges.length + " strongest of " + chosen.total + " pairs drawn",
      swatch: function () { return svgElement("g", {}); } }]);
  maxY += 56;
  maxX = Math.max(maxX, minX + 8 + 16 + textWidth("a pair: width by the most genes in one module (000 to 000)"));
  svg.setAttribute("viewBox", [minX - 4, minY - 4, maxX - minX + 8, maxY - minY + 8].join(" "));
  svg.setAttribute("width", maxX - minX + 8);
  svg.setAttribute("height", maxY - minY + 8);
  return svg;
}

// Fold enrichment (log2) against -log10 of the value to trust, each point a link to its
// module: fwer where the run permuted, else the nominal q. The axes cover the finite values;
// a fold of infinity (no background gene holds the module) or of 0, and a value of 0, sit
// past a break in their axis (two slashes) at a tick labelled with them, drawn as triangles.
// The most significant points (at most `volcanoLabels`) are labelled with their module where
// the label fits. Null where no module has a fold enrichment (a run without a background).
const volcanoLabels = 12;
function volcanoAxis(values, pad, fromZero) {
  let low = Infinity, high = -Infinity;
  values.forEach(function (v) { if (isFinite(v)) { low = Math.min(low, v); high = Math.max(high, v); } });
  if (low === Infinity) { low = 0; high = 1; }
  const above = values.some(function (v) { return v === Infinity; });
  const below = values.some(function (v) { return v === -Infinity; });
  // Finite values from `from` to `to`; past a break, the infinite ones one step further out.
  const from = fromZero ? 0 : Math.min(0, low) - pad, to = high + pad, step = Math.max(0.6, (to - from) * 0.08);
  return { from: from, to: to, above: above, below: below, step: step,
    min: below ? from - 2 * step : from, max: above ? to + 2 * step : to,
    place: function (v) { return v === Infinity ? to + 1.5 * step : v === -Infinity ? from - 1.5 * step : v; } };
}

function axisBreak(svg, horizontal, at, across) {
  const d = horizontal
    ? "M" + (at - 5) + "," + (across + 5) + "l6,-10M" + (at - 1) + "," + (across + 5) + "l6,-10"
    : "M" + (across - 5) + "," + (at + 1) + "l10,-6M" + (across - 5) + "," + (at + 5) + "l10,-6";
  svg.appendChild(svgElement("rect", horizontal
    ? { x: at - 4, y: across - 1, width: 6, height: 2, fill: "#fff" }
    : { x: across - 1, y: at - 2, width: 2, height: 6, fill: "#fff" }));
  svg.appendChild(svgElement("path", { class: "axis-break", d: d, stroke: "#666", fill: "none" }));
}

function drawVolcano() {
  const width = 470, left = 56, bottom = 46, right = 16, top = 12, plotHeight = 300;
  const measure = permuted ? "fwer" : "q";
  const label = permuted ? "fwer" : "q (nominal)";
  const points = modules.filter(function (m) {
    return m.st !== undefined && m.st[measure] !== null && (m.st.fold !== null || m.st.foldt === "inf");
  });
  if (points.length === 0) return null;
  const xs = points.map(function (m) { return m.st.fold === null ? Infinity : m.st.fold > 0 ? Math.log2(m.st.fold) : -Infinity; });
  const ys = points.map(function (m) { return m.st[measure] > 0 ? -Math.log10(m.st[measure]) : Infinity; });
  const xAxis = volcanoAxis(xs, 0.5, false), yAxis = volcanoAxis(ys.concat([2]), 0.3, true);
  const plotRight = width - right, plotBottom = top + plotHeight;
  const sx = function (x) { return left + (xAxis.place(x) - xAxis.min) / (xAxis.max - xAxis.min) * (plotRight - left); };
  const sy = function (y) { return plotBottom - (yAxis.place(y) - yAxis.min) / (yAxis.max - yAxis.min) * plotHeight; };
  const svg = svgElement("svg", { id: "volcano", width: width, height: plotBottom + bottom + 40, role: "img",
    "aria-label": "volcano plot" });
  svg.appendChild(svgElement("line", { x1: left, x2: plotRight, y1: plotBottom, y2: plotBottom, stroke: "#999" }));
  svg.appendChild(svgElement("line", { x1: left, x2: left, y1: top, y2: plotBottom, stroke: "#999" }));
  const xTicks = niceTicks(xAxis.from, xAxis.to, 6).concat(xAxis.above ? [Infinity] : []);
  if (xAxis.below) xTicks.unshift(-Infinity);
  drawAxis(svg, true, xTicks, sx, plotBottom, function (v) {
    return v === Infinity ? "\u221E" : v === -Infinity ? "0 (fold)" : formatNumber(v);
  });
  drawAxis(svg, false, niceTicks(0, yAxis.to, 5).concat(yAxis.above ? [Infinity] : []), sy, left, function (v) {
    return v === Infinity ? "\u221E" : formatNumber(v);
  });
  if (xAxis.above) axisBreak(svg, true, sx(xAxis.to + 0.5 * xAxis.step), plotBottom);
  if (xAxis.below) axisBreak(svg, true, sx(xAxis.from - 0.5 * xAxis.step), plotBottom);
  if (yAxis.above) axisBreak(svg, false, sy(yAxis.to + 0.5 * yAxis.step), left);
  const threshold = sy(-Math.log10(0.05));
  svg.appendChild(svgElement("line", { x1: left, x2: plotRight, y1: threshold, y2: threshold,
    stroke: "#CC79A7", "stroke-dasharray": "4 3" }));
  svg.appendChild(svgText({ x: (left + plotRight) / 2, y: plotBottom + 32, "text-anchor": "middle" },
    "fold enrichment (log\u2082, foreground vs background)"));
  svg.appendChild(svgText({ x: 0, y: 0, transform: "translate(14," + (top + plotBottom) / 2 + ") rotate(-90)",
    "text-anchor": "middle" }, "\u2212log\u2081\u2080 " + label));
  // The legend in two columns below the axis title.
  const legendTop = plotBottom + 50;
  drawLegend(svg, left - 40, legendTop, [
    { text: label + " \u2264 0.05", swatch: function (x, y) { return svgElement("circle", { cx: x, cy: y, r: 4, fill: "#D55E00" }); } },
    { text: label + " > 0.05", swatch: function (x, y) { return svgElement("circle", { cx: x, cy: y, r: 4, fill: "#56B4E9" }); } }]);
  drawLegend(svg, left + 150, legendTop, [
    { text: "past the break: fold \u221E or 0" + (yAxis.above ? ", " + label + " 0" : ""), swatch: function (x, y) { return svgElement("path", { d: "M" + x + "," + (y - 5) + "l4.5,8h-9z", fill: "#999" }); } },
    { text: label + " = 0.05", swatch: function (x, y) {
      return svgElement("line", { x1: x - 6, x2: x + 6, y1: y, y2: y, stroke: "#CC79A7", "stroke-dasharray": "4 3" }); } }]);
  points.forEach(function (m, i) {
    const link = svgElement("a", { href: "#" + m.id });
    link.addEventListener("click", function () { reveal(m.id); });
    const x = sx(xs[i]), y = sy(ys[i]);
    const marker = isFinite(xs[i]) && isFinite(ys[i])
      ? svgElement("circle", { cx: x, cy: y, r: 4 })
      : svgElement("path", { d: "M" + x + "," + (y - 5) + "l4.5,8h-9z" });
    marker.setAttribute("fill", m.st[measure] <= 0.05 ? "#D55E00" : "#56B4E9");
    marker.setAttribute("fill-opacity", 0.8);
    link.appendChild(titled(marker, m.id + ": fold " + formatNumber(m.st.fold === null ? m.st.foldt : m.st.fold) +
      ", " + label + " " + formatNumber(m.st[measure])));
    svg.appendChild(link);
  });
  labelPoints(svg, points.map(function (m, i) { return { module: m, x: sx(xs[i]), y: sy(ys[i]) }; })
    .filter(function (p) { return p.module.st[measure] <= 0.05; })
    .sort(function (a, b) { return a.module.st[measure] - b.module.st[measure] || a.module.number - b.module.number; }),
  [left, top, plotRight, plotBottom]);
  return svg;
}

// Labels the first `volcanoLabels` points with their module, right of the point, else left
// of it, where the label stays inside `frame` and clear of labels placed before it.
function labelPoints(svg, points, frame) {
  const placed = [];
  const clear = function (box) {
    return box[0] >= frame[0] && box[2] <= frame[2] && box[1] >= frame[1] && box[3] <= frame[3] &&
      !placed.some(function (o) { return box[0] < o[2] && o[0] < box[2] && box[1] < o[3] && o[1] < box[3]; });
  };
  const group = svgElement("g", { class: "point-labels" });
  points.slice(0, volcanoLabels).forEach(function (p) {
    const text = p.module.id, w = textWidth(text, 10);
    [[p.x + 6, "start", p.x + 6], [p.x - 6, "end", p.x - 6 - w], [p.x + 6, "start", p.x + 6, -12], [p.x + 6, "start", p.x + 6, 12]].some(function (c) {
      const y = p.y + 3.5 + (c[3] || 0), box = [c[2] - 1, y - 9, c[2] + w + 1, y + 2];
      if (!clear(box)) return false;
      placed.push(box);
      group.appendChild(svgText({ x: c[0], y: y, "text-anchor": c[1], class: "tick" }, text));
      return true;
    });
  });
  svg.appendChild(group);
}

// ---- Figures saved as shown: SVG with its styles inline and its fonts named, or PNG at
// twice the size on white.
const figureStyle = "text { font: 11px sans-serif; fill: #222 } text.tick, text.note { font-size: 10px }";
function standaloneSvg(svg) {
  const copy = svg.cloneNode(true);
  copy.setAttribute("xmlns", svgNamespace);
  const style = document.createElementNS(svgNamespace, "style");
  style.textContent = figureStyle;
  copy.insertBefore(style, copy.firstChild);
  return new XMLSerializer().serializeToString(copy);
}

function download(name, blob) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(function () { URL.revokeObjectURL(link.href); }, 1000);
}

function exportButtons(name, figure) {
  const bar = document.createElement("span");
  bar.className = "export";
  ["SVG", "PNG"].forEach(function (kind) {
    const button = document.createElement("button");
    button.type = "button";
    button.textContent = kind;
    button.title = "save this figure as " + kind;
    button.addEventListener("click", function () {
      const svg = figure();
      const text = standaloneSvg(svg);
      if (kind === "SVG") {
        download(name + ".svg", new Blob([text], { type: "image/svg+xml" }));
        return;
      }
      const image = new Image();
      image.onload = function () {
        const canvas = document.createElement("canvas");
        canvas.width = 2 * svg.width.baseVal.value;
        canvas.height = 2 * svg.height.baseVal.value;
        const context = canvas.getContext("2d");
        context.fillStyle = "#fff";
        context.fillRect(0, 0, canvas.width, canvas.height);
        context.drawImage(image, 0, 0, canvas.width, canvas.height);
        canvas.toBlob(function (blob) { download(name + ".png", blob); });
      };
      image.src = "data:image/svg+xml;charset=utf-8," + encodeURIComponent(text);
    });
    bar.appendChild(button);
  });
  return bar;
}

function addFigure(id, svg, name) {
  const figure = document.getElementById(id);
  figure.appendChild(exportButtons(name, function () { return svg; }));
  figure.appendChild(svg);
}

function drawPlots() {
  if (modules.length === 0) {
    document.getElementById("plots").hidden = true;
    return;
  }
  const pairs = pairCounts();
  addFigure("heatmap-figure", drawHeatmap(pairs), "heatmap");
  addFigure("network-figure", drawNetwork(pairs), "network");
  if (data.stats) {
    const volcano = document.getElementById("volcano-figure");
    const plot = drawVolcano();
    volcano.hidden = false;
    if (plot) {
      addFigure("volcano-figure", plot, "volcano");
    } else {
      volcano.querySelector("figcaption").textContent = "No volcano plot: the statistics table " +
        "comes from a run without a background, so no module has a fold enrichment.";
    }
  }
}

// The single-motif table, sortable by any column: numbers as numbers (inf largest), empty
// fields last.
function renderMotifStats() {
  if (!data.motifStats) return;
  document.getElementById("motif-stats-section").hidden = false;
  const table = document.getElementById("motif-stats");
  const head = table.tHead.insertRow();
  const body = table.tBodies[0];
  const rows = data.motifStats.rows.slice();
  const value = function (field) {
    if (field === "") return NaN;
    if (field === "inf") return Infinity;
    const number = Number(field);
    return isNaN(number) ? field : number;
  };
  const fill = function () {
    body.textContent = "";
    rows.forEach(function (fields) {
      const row = body.insertRow();
      fields.forEach(function (field) {
        if (field !== "" && typeof value(field) === "number") {
          numberCell(row, Number.isInteger(value(field)) ? field : value(field), field);
          return;
        }
        row.insertCell().textContent = field;
      });
    });
  };
  data.motifStats.columns.forEach(function (name, column) {
    const cell = document.createElement("th");
    cell.textContent = name;
    cell.className = "sortable";
    let ascending = true;
    cell.addEventListener("click", function () {
      rows.sort(function (a, b) {
        const x = value(a[column]), y = value(b[column]);
        if (typeof x !== "number" || typeof y !== "number") return ascending ? String(x).localeCompare(String(y)) : String(y).localeCompare(String(x));
        if (isNaN(x) || isNaN(y)) return isNaN(x) - isNaN(y);
        return ascending ? x - y : y - x;
      });
      ascending = !ascending;
      fill();
    });
    head.appendChild(cell);
  });
  fill();
}

function writeProvenance() {
  const footer = document.getElementById("provenance");
  const text = document.createElement("pre");
  text.textContent = data.provenance.join("\n");
  footer.appendChild(text);
}

document.getElementById("summary").textContent = (modules.length < data.total
  ? "The page holds " + modules.length + " of the report's " + data.total + " modules; " +
    (data.total - modules.length) + " left out (rekul-report --html-modules sets the number). "
  : modules.length + " modules. ") +
  "Click a column heading to sort; the first " + openAtStart + " modules are drawn, open any other to draw it." +
  " Sub-modules sit under the largest module that holds their motifs, closed ones first" +
  " (a module is not closed where a larger module holds the same genes)." +
  markRule();
setUpTable();
renderTable(ranked);
if (data.stats) {
  const key = permuted ? "fwer" : "pv";
  const heading = document.querySelector("th.sortable[data-key=\"" + key + "\"]");
  if (heading !== null) heading.classList.add("sorted-up");
}
renderViews();
renderMotifStats();
drawPlots();
writeProvenance();
// ---- Two readings of the page by a headless browser. "#export-svg": every figure and the
// drawings of the modules the page opens (every module's at "#export-svg-all"), as their SVG
// buttons save them, into one JSON element, which
// rekul-report --svg writes out as files. "#self-check": where text boxes overlap, which
// figures lack tick labels or a legend, and which numbers in the table wrap.
function exportAll(allModules) {
  const files = {};
  ["heatmap", "network", "volcano"].forEach(function (id) {
    const svg = document.getElementById(id);
    if (svg !== null) files[id + ".svg"] = standaloneSvg(svg);
  });
  (allModules ? modules : openedModules).forEach(function (module) {
    files[module.id + ".svg"] = standaloneSvg(drawModule(module));
    if (module.grammar !== undefined) files[module.id + "-grammar.svg"] = standaloneSvg(drawGrammar(module));
  });
  return files;
}

// The corners of a text's box in its SVG's coordinates.
function corners(text) {
  const box = text.getBBox(), matrix = text.getCTM();
  return [[box.x, box.y], [box.x + box.width, box.y], [box.x + box.width, box.y + box.height],
    [box.x, box.y + box.height]].map(function (c) {
    const point = new DOMPoint(c[0], c[1]).matrixTransform(matrix);
    return [point.x, point.y];
  });
}

// Whether two convex quadrilaterals overlap by more than half a pixel (separating axes).
function overlap(a, b) {
  return [a, b].every(function (shape) {
    return shape.every(function (p, i) {
      const q = shape[(i + 1) % 4], axis = [q[1] - p[1], p[0] - q[0]];
      const length = Math.hypot(axis[0], axis[1]) || 1;
      const project = function (points) {
        const values = points.map(function (r) { return (r[0] * axis[0] + r[1] * axis[1]) / length; });
        return [Math.min.apply(null, values), Math.max.apply(null, values)];
      };
      const u = project(a), v = project(b);
      return Math.min(u[1], v[1]) - Math.max(u[0], v[0]) > 0.5;
    });
  });
}

// Colours as readers see them: relative luminance, and CIELAB in normal vision and as
// deuteranopes and protanopes see it (Machado, Oliveira and Fernandes 2009, full severity).
const colourVisions = [null,
  [[0.367322, 0.860646, -0.227968], [0.280085, 0.672501, 0.047413], [-0.011820, 0.042940, 0.968881]],
  [[0.152286, 1.052583, -0.204868], [0.114503, 0.786281, 0.099216], [-0.003882, -0.048116, 1.051998]]];
function linearRgb(hex) {
  return [1, 3, 5].map(function (i) {
    const c = parseInt(hex.slice(i, i + 2), 16) / 255;
    return c <= 0.04045 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4);
  });
}
function luminance(rgb) { return 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2]; }
function lab(hex, vision) {
  let rgb = linearRgb(hex);
  if (vision !== null) rgb = vision.map(function (row) {
    return Math.min(1, Math.max(0, row[0] * rgb[0] + row[1] * rgb[1] + row[2] * rgb[2]));
  });
  const f = function (t) { return t > 0.008856 ? Math.cbrt(t) : 7.787 * t + 16 / 116; };
  const x = f((0.4124 * rgb[0] + 0.3576 * rgb[1] + 0.1805 * rgb[2]) / 0.95047), y = f(luminance(rgb));
  const z = f((0.0193 * rgb[0] + 0.1192 * rgb[1] + 0.9505 * rgb[2]) / 1.08883);
  return [116 * y - 16, 500 * (x - y), 200 * (y - z)];
}

// Of the motif colours of a drawing: the lowest contrast with the white page, and the
// smallest CIELAB distance between two of them in any of the three visions.
function colourCheck(colours) {
  let contrast = Infinity, gap = Infinity;
  colours.forEach(function (a, i) {
    contrast = Math.min(contrast, 1.05 / (luminance(linearRgb(a)) + 0.05));
    colours.slice(i + 1).forEach(function (b) {
      if (a === b) return;
      colourVisions.forEach(function (vision) {
        const p = lab(a, vision), q = lab(b, vision);
        gap = Math.min(gap, Math.hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]));
      });
    });
  });
  return { contrast: contrast === Infinity ? null : contrast, gap: gap === Infinity ? null : gap };
}

// What the figures' own rules promise, measured on the drawn elements: the narrowest site,
// gene names broken inside a word, the heatmap's tree joins, the network's edges, and the
// volcano's point labels, significant points, axis breaks and points past a break.
function drawnMeasures(svg) {
  const out = {};
  let narrowest = Infinity;
  svg.querySelectorAll("rect.site").forEach(function (r) { narrowest = Math.min(narrowest, r.width.baseVal.value); });
  if (narrowest !== Infinity) out.narrowest = narrowest;
  let cut = 0;
  svg.querySelectorAll("text.gene").forEach(function (t) {
    const lines = Array.from(t.querySelectorAll("tspan")).map(function (span) { return span.textContent; });
    lines.slice(0, -1).forEach(function (line) { if (!/[_\-.:| \u2026]$/.test(line)) ++cut; });
  });
  if (svg.querySelector("text.gene") !== null) {
    out.cutNames = cut;
    out.title = svg.querySelector("text.title") !== null;
    const colours = Array.from(svg.querySelectorAll("rect[data-colour]")).map(function (r) { return r.getAttribute("data-colour"); });
    out.colours = colourCheck(colours);
  }
  const tree = svg.querySelector(".dendrogram");
  if (tree !== null) {
    out.joins = tree.querySelectorAll("path").length;
    out.rows = svg.querySelectorAll(".axis-y text").length;
  }
  if (svg.id === "network") {
    out.edges = svg.querySelectorAll("line.edge").length;
    out.nodes = svg.querySelectorAll("circle").length - 1;  // the legend's swatch
  }
  if (svg.id === "volcano") {
    const circles = Array.from(svg.querySelectorAll("a circle"));
    const xs = circles.map(function (c) { return c.cx.baseVal.value; });
    const ys = circles.map(function (c) { return c.cy.baseVal.value; });
    const triangles = Array.from(svg.querySelectorAll("a path")).map(function (t) {
      return t.getAttribute("d").slice(1).split("l")[0].split(",").map(Number);
    });
    out.pointLabels = svg.querySelectorAll(".point-labels text").length;
    out.significant = svg.querySelectorAll("a [fill=\"#D55E00\"]").length;
    out.breaks = svg.querySelectorAll(".axis-break").length;
    out.infinityTicks = Array.from(svg.querySelectorAll(".axis-x text, .axis-y text")).filter(function (t) {
      return t.textContent === "\u221E";
    }).length;
    out.triangles = triangles.length;
    out.pastBreak = triangles.filter(function (t) {
      return t[0] > Math.max.apply(null, xs.concat([-Infinity])) || t[0] < Math.min.apply(null, xs.concat([Infinity])) ||
        t[1] < Math.min.apply(null, ys.concat([Infinity]));
    }).length;
  }
  return out;
}

function selfCheck() {
  const figures = [];
  document.querySelectorAll("#plots svg, .drawing > svg, svg.logo").forEach(function (svg) {
    // Labels only: a logo's letters are stacked on purpose.
    const texts = Array.from(svg.querySelectorAll("text")).filter(function (t) {
      return t.textContent !== "" && !t.hasAttribute("data-bits");
    });
    const shapes = texts.map(corners);
    const overlaps = [];
    for (let i = 0; i < texts.length; ++i)
      for (let j = i + 1; j < texts.length; ++j)
        if (overlap(shapes[i], shapes[j])) overlaps.push([texts[i].textContent, texts[j].textContent]);
    figures.push({ name: svg.id || svg.getAttribute("aria-label"),
      xTicks: svg.querySelectorAll(".axis-x text").length, yTicks: svg.querySelectorAll(".axis-y text").length,
      legend: svg.querySelector(".legend") !== null, overlaps: overlaps, drawn: drawnMeasures(svg) });
  });
  const wrapped = [];
  document.querySelectorAll("td.number").forEach(function (cell) {
    const range = document.createRange();
    range.selectNodeContents(cell);
    const lines = new Set(Array.from(range.getClientRects()).map(function (r) { return Math.round(r.top); }));
    if (lines.size > 1) wrapped.push(cell.textContent);
  });
  return { figures: figures, wrapped: wrapped };
}

function publish(id, value) {
  const element = document.createElement("script");
  element.type = "application/json";
  element.id = id;
  element.textContent = JSON.stringify(value).replace(/</g, "\\u003c");
  document.body.appendChild(element);
}

if (location.hash === "#export-svg" || location.hash === "#export-svg-all") {
  publish("svg-export", exportAll(location.hash === "#export-svg-all"));
}
else if (location.hash === "#self-check") publish("self-check", selfCheck());
else if (location.hash) reveal(location.hash.slice(1));
})();
