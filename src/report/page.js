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

// ---- Motif colours: the Okabe-Ito palette, told apart by colour-blind readers, then the
// same colours striped and dotted: 24 motifs apart. Each motif keeps its style in every
// module where the page holds no more motifs than that, else within each module.
const palette = ["#E69F00", "#56B4E9", "#009E73", "#F0E442", "#0072B2", "#D55E00", "#CC79A7", "#000000"];
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

// One row per instance on one scale for the module (letters per pixel): the gene as a line
// with its axis below, forward hits above it, reverse hits below.
function drawModule(module) {
  const rowHeight = 62, labelWidth = 180, lineWidth = 720, labelChars = 26;
  const svg = svgElement("svg", {
    width: labelWidth + lineWidth + 40, height: module.shown.length * rowHeight + 10,
    role: "img", "aria-label": "instances of module " + module.id });
  const defs = svgElement("defs", {});
  svg.appendChild(defs);
  const fills = module.motifs.map(function (name, k) { return fillOf(styleIndex(module, k), defs); });
  const stretches = module.shown.map(stretch);
  let longest = 1;
  stretches.forEach(function (s) { longest = Math.max(longest, s[1] - s[0]); });
  const scale = lineWidth / longest;
  module.shown.forEach(function (instance, row) {
    const y = row * rowHeight + 24;
    const from = stretches[row][0], to = stretches[row][1];
    const x = function (p) { return labelWidth + (p - from) * scale; };
    svg.appendChild(titled(svgText({ x: 4, y: y + 4 }, shortLabel(instance.gene, labelChars)),
      instance.gene + (instance.region === null ? "" : " " + instance.region[0] + " (" +
        (instance.region[2] ? "minus" : "plus") + " strand)")));
    svg.appendChild(svgElement("line", { x1: x(from), x2: x(to), y1: y, y2: y, stroke: "#999" }));
    const axis = svgElement("g", { class: "axis", fill: "#666" });
    ticks(instance, from, to).forEach(function (p) {
      axis.appendChild(svgElement("line", { x1: x(p), x2: x(p), y1: y + 17, y2: y + 21, stroke: "#999" }));
      axis.appendChild(svgText({ x: x(p), y: y + 31, "text-anchor": "middle", class: "tick" },
        genomic(instance, p).toLocaleString("en-US")));
    });
    if (instance.region !== null)
      axis.appendChild(svgText({ x: x(to) + 4, y: y + 31 }, instance.region[0]));
    svg.appendChild(axis);
    instance.hits.forEach(function (hit) {
      const k = hit[3];
      const box = svgElement("rect", {
        x: x(hit[0]), width: Math.max(2, (hit[1] + 1 - hit[0]) * scale),
        y: hit[2] === "+" ? y - 15 : y + 2, height: 13, fill: fills[k], stroke: "#333",
        "stroke-width": 0.5 });
      svg.appendChild(titled(box, motifTitle(module, k) + " " + placeText(instance, hit[0], hit[1], hit[2]) +
        " score " + hit[4]));
    });
  });
  return svg;
}

// ---- Sequence logos: letter heights in bits, the tallest letter on top.
const letterColours = { A: "#109648", C: "#255C99", G: "#F7B32B", T: "#D62839" };
function drawLogo(name) {
  const columns = data.logos[name];
  const columnWidth = 14, bitHeight = 30, top = 4;
  const svg = svgElement("svg", { width: columns.length * columnWidth + 30, height: 2 * bitHeight + 20,
    class: "logo", role: "img", "aria-label": "logo of " + name });
  svg.appendChild(svgElement("line", { x1: 24, x2: 24, y1: top, y2: top + 2 * bitHeight, stroke: "#999" }));
  svg.appendChild(svgText({ x: 20, y: top + 8, "text-anchor": "end" }, "2"));
  svg.appendChild(svgText({ x: 20, y: top + 2 * bitHeight, "text-anchor": "end" }, "0"));
  columns.forEach(function (heights, i) {
    const order = [0, 1, 2, 3].sort(function (a, b) { return heights[a] - heights[b]; });
    let base = top + 2 * bitHeight;
    order.forEach(function (b) {
      const h = heights[b] * bitHeight;
      if (h < 0.5) return;
      // A 20px sans-serif capital is about 14.4px tall and 13px wide.
      const letter = svgText({ x: 0, y: 0, fill: letterColours["ACGT"[b]], "data-bits": heights[b],
        transform: "translate(" + (26 + i * columnWidth) + "," + base + ") scale(" + (columnWidth / 13.5) +
          "," + (h / 14.4) + ")", style: "font: bold 20px sans-serif" }, "ACGT"[b]);
      svg.appendChild(letter);
      base -= h;
    });
  });
  return svg;
}

// ---- The module views, each sub-module under the largest module on the page that holds
// its motifs.
function legend(module) {
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
    " (" + module.instances + " instances in " + module.genes + " genes, probability " + module.pt + ")";
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
    drawing.appendChild(legend(module));
    drawing.appendChild(note);
    drawing.appendChild(drawModule(module));
    details.insertBefore(drawing, summary.nextSibling);
  };
  details.addEventListener("toggle", draw);
  return { details: details, draw: draw };
}

function renderViews() {
  const views = document.getElementById("views");
  const made = new Map();
  modules.forEach(function (module) { made.set(module.id, view(module)); });
  let opened = 0;
  modules.forEach(function (module) {
    const own = made.get(module.id);
    const parent = module.parent ? made.get("M" + module.parent) : undefined;
    if (parent === undefined) {
      views.appendChild(own.details);
      if (opened++ < openAtStart) {
        own.details.open = true;
        own.draw();
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
    const probability = row.insertCell();
    probability.className = "number";
    probability.textContent = module.pt;
    statColumns.forEach(function (column) {
      const cell = row.insertCell();
      cell.className = "number";
      cell.textContent = module.st[column[2] === null ? column[0] : column[2]];
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
const plotMotifLimit = 40, networkMotifLimit = 24, networkEdgeLimit = 60;
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

// Average-linkage clustering of the rows (distance 1 - cosine similarity); the leaf order.
function clusterOrder(matrix) {
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
  const distance = function (i, j) { return distances[i][j]; };
  let clusters = matrix.map(function (row, i) { return [i]; });
  while (clusters.length > 1) {
    let best = [0, 1], bestDistance = Infinity;
    for (let a = 0; a < clusters.length; ++a)
      for (let b = a + 1; b < clusters.length; ++b) {
        let sum = 0;
        clusters[a].forEach(function (i) { clusters[b].forEach(function (j) { sum += distance(i, j); }); });
        const d = sum / (clusters[a].length * clusters[b].length);
        if (d < bestDistance) {
          bestDistance = d;
          best = [a, b];
        }
      }
    const merged = clusters[best[0]].concat(clusters[best[1]]);
    clusters = clusters.filter(function (c, k) { return k !== best[0] && k !== best[1]; });
    clusters.push(merged);
  }
  return clusters.length ? clusters[0] : [];
}

function drawHeatmap(pairs) {
  const order = clusterOrder(pairs.count);
  const n = order.length, cell = 16, margin = 110;
  let most = 1;
  pairs.count.forEach(function (row) { row.forEach(function (v) { most = Math.max(most, v); }); });
  const svg = svgElement("svg", { id: "heatmap", width: 2 * margin + n * cell, height: margin + n * cell + 10,
    role: "img", "aria-label": "heatmap of motif pairs" });
  order.forEach(function (i, r) {
    svg.appendChild(svgText({ x: margin - 4, y: margin + r * cell + 12, "text-anchor": "end" },
      shortLabel(shownName(pairs.names[i]), 18)));
    svg.appendChild(svgText({ x: 0, y: 0, transform: "translate(" + (margin + r * cell + 12) + "," +
      (margin - 4) + ") rotate(-60)" }, shortLabel(shownName(pairs.names[i]), 18)));
    order.forEach(function (j, c) {
      const v = pairs.count[i][j];
      const shade = Math.round(255 - 200 * v / most);
      const square = svgElement("rect", { x: margin + c * cell, y: margin + r * cell, width: cell - 1,
        height: cell - 1, fill: i === j ? "#eee" : "rgb(" + shade + "," + shade + ",255)" });
      if (i !== j)
        titled(square, shownName(pairs.names[i]) + " + " + shownName(pairs.names[j]) + ": " + v + " modules, at most " +
          pairs.genes[i][j] + " genes in one");
      svg.appendChild(square);
    });
  });
  return svg;
}

// The motifs in most modules on a circle; the pairs that the most genes share as edges.
function drawNetwork(pairs) {
  const n = Math.min(pairs.names.length, networkMotifLimit), size = 520, centre = size / 2, radius = size / 2 - 110;
  const edges = [];
  for (let i = 0; i < n; ++i)
    for (let j = i + 1; j < n; ++j) if (pairs.count[i][j] > 0) edges.push([i, j]);
  edges.sort(function (a, b) { return pairs.genes[b[0]][b[1]] - pairs.genes[a[0]][a[1]] || a[0] - b[0] || a[1] - b[1]; });
  edges.length = Math.min(edges.length, networkEdgeLimit);
  let most = 1;
  edges.forEach(function (e) { most = Math.max(most, pairs.genes[e[0]][e[1]]); });
  const svg = svgElement("svg", { id: "network", width: size, height: size, role: "img",
    "aria-label": "network of motifs" });
  const point = function (i) {
    const angle = 2 * Math.PI * i / Math.max(1, n) - Math.PI / 2;
    return [centre + radius * Math.cos(angle), centre + radius * Math.sin(angle), angle];
  };
  edges.forEach(function (e) {
    const a = point(e[0]), b = point(e[1]), genes = pairs.genes[e[0]][e[1]];
    svg.appendChild(titled(svgElement("line", { x1: a[0], y1: a[1], x2: b[0], y2: b[1], stroke: "#0072B2",
      "stroke-opacity": 0.55, "stroke-width": 0.5 + 7 * genes / most }),
      shownName(pairs.names[e[0]]) + " - " + shownName(pairs.names[e[1]]) + ": " + genes + " genes, " +
        pairs.count[e[0]][e[1]] + " modules"));
  });
  for (let i = 0; i < n; ++i) {
    const p = point(i);
    svg.appendChild(titled(svgElement("circle", { cx: p[0], cy: p[1], r: 5, fill: "#D55E00" }), shownName(pairs.names[i])));
    // Labels beside the circle, above the top and below the bottom nodes.
    const c = Math.cos(p[2]), s = Math.sin(p[2]);
    const anchor = Math.abs(c) < 0.3 ? "middle" : c > 0 ? "start" : "end";
    svg.appendChild(svgText({ x: p[0] + (anchor === "middle" ? 0 : c > 0 ? 8 : -8),
      y: p[1] + (anchor === "middle" ? (s < 0 ? -9 : 16) : 4), "text-anchor": anchor },
    shortLabel(shownName(pairs.names[i]), 20)));
  }
  return svg;
}

// Fold enrichment (log2) against -log10 q, each point a link to its module. A fold of
// infinity (no background gene holds the module) and a q of 0 sit one unit past the largest
// finite value, a fold of 0 one unit below the smallest, drawn as triangles. Null where no
// module has a fold enrichment (a table of a run without a background).
function drawVolcano() {
  const width = 520, height = 340, left = 50, bottom = 40;
  // The value to trust where the run permuted: fwer; else fdr; else the nominal q.
  const measure = permuted ? "fwer" : "q";
  const label = permuted ? "fwer" : "q (nominal)";
  const points = modules.filter(function (m) {
    return m.st !== undefined && m.st[measure] !== null && (m.st.fold !== null || m.st.foldt === "inf");
  });
  if (points.length === 0) return null;
  const xs = points.map(function (m) { return m.st.fold === null ? Infinity : m.st.fold > 0 ? Math.log2(m.st.fold) : -Infinity; });
  const ys = points.map(function (m) { return m.st[measure] > 0 ? -Math.log10(m.st[measure]) : Infinity; });
  let xLow = -1, xHigh = 1, yHigh = 2;
  xs.forEach(function (x) { if (isFinite(x)) { xLow = Math.min(xLow, x); xHigh = Math.max(xHigh, x); } });
  ys.forEach(function (y) { if (isFinite(y)) yHigh = Math.max(yHigh, y); });
  const beyond = function (v, low, high) { return v === Infinity ? high + 1 : v === -Infinity ? low - 1 : v; };
  const xMin = xLow - 1, xMax = xHigh + 1, yMax = yHigh + 1;
  const sx = function (x) { return left + (beyond(x, xLow, xHigh) - xMin) / (xMax - xMin) * (width - left - 10); };
  const sy = function (y) { return height - bottom - beyond(y, 0, yHigh) / yMax * (height - bottom - 10); };
  const svg = svgElement("svg", { id: "volcano", width: width, height: height, role: "img",
    "aria-label": "volcano plot" });
  svg.appendChild(svgElement("line", { x1: left, x2: width - 10, y1: height - bottom, y2: height - bottom, stroke: "#999" }));
  svg.appendChild(svgElement("line", { x1: left, x2: left, y1: 10, y2: height - bottom, stroke: "#999" }));
  svg.appendChild(svgElement("line", { x1: left, x2: width - 10, y1: sy(-Math.log10(0.05)), y2: sy(-Math.log10(0.05)),
    stroke: "#CC79A7", "stroke-dasharray": "4 3" }));
  svg.appendChild(svgText({ x: (left + width) / 2, y: height - 8, "text-anchor": "middle" }, "log2 fold enrichment"));
  svg.appendChild(svgText({ x: 0, y: 0, transform: "translate(14," + (height - bottom) / 2 + ") rotate(-90)",
    "text-anchor": "middle" }, "-log10 " + label));
  [xLow, 0, xHigh].forEach(function (x) {
    svg.appendChild(svgText({ x: sx(x), y: height - bottom + 14, "text-anchor": "middle", class: "tick" }, x.toFixed(1)));
  });
  points.forEach(function (m, i) {
    const link = svgElement("a", { href: "#" + m.id });
    link.addEventListener("click", function () { reveal(m.id); });
    const x = sx(xs[i]), y = sy(ys[i]);
    const marker = isFinite(xs[i]) && isFinite(ys[i])
      ? svgElement("circle", { cx: x, cy: y, r: 4 })
      : svgElement("path", { d: "M" + x + "," + (y - 5) + "l4.5,8h-9z" });
    marker.setAttribute("fill", significant(m) ? "#D55E00" : "#56B4E9");
    marker.setAttribute("fill-opacity", 0.8);
    link.appendChild(titled(marker, m.id + ": fold " + m.st.foldt + ", " + label + " " + m.st[measure + "t"]));
    svg.appendChild(link);
  });
  return svg;
}

function drawPlots() {
  if (modules.length === 0) {
    document.getElementById("plots").hidden = true;
    return;
  }
  const pairs = pairCounts();
  document.getElementById("heatmap-figure").appendChild(drawHeatmap(pairs));
  document.getElementById("network-figure").appendChild(drawNetwork(pairs));
  if (data.stats) {
    const volcano = document.getElementById("volcano-figure");
    const plot = drawVolcano();
    volcano.hidden = false;
    if (plot) {
      volcano.appendChild(plot);
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
        const cell = row.insertCell();
        cell.textContent = field;
        if (typeof value(field) === "number") cell.className = "number";
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
  " Sub-modules sit under the largest module that holds their motifs." +
  markRule();
setUpTable();
renderTable(modules);
renderViews();
renderMotifStats();
drawPlots();
writeProvenance();
if (location.hash) reveal(location.hash.slice(1));
})();
