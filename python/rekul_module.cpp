// The Python module `rekul`: the programs' motif reader, scan, discovery and statistics,
// called from Python through pybind11 and the library's public header alone. Keyword
// arguments become the programs' options by name (window is -w, genomic_background is
// --genomic-background), stored and checked by the same handlers as the command line, so a
// value is refused exactly where the program refuses it, with its message; no option
// scanner and no global state is involved, so two Python threads may call at once. Results
// come from memory: the hits, the modules with their instances, the table rows. The work runs
// without the GIL on a thread of its own while the calling thread watches for Ctrl-C, which
// stops the search and the permutations and raises KeyboardInterrupt. Refusals raise by
// their kind: ValueError (input or settings), OSError (a file that cannot be opened, read or
// written), MemoryError; the library's warnings become Python warnings.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <future>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Interrupt.hpp"
#include "common/Text.hpp"
#include "rekul.hpp"

namespace py = pybind11;

namespace {

// Runs `work` off the GIL on a thread of its own, polling Python's signals meanwhile; the
// warnings of this call alone are gathered and given to Python's warnings module afterwards.
template <typename Work>
auto runWatched(Work&& work, std::vector<std::string>* heard = nullptr) -> decltype(work()) {
    std::vector<std::string> said;
    std::mutex saying;
    auto task = std::async(std::launch::async, [&] {
        const LogScope scope([&](const std::string& line) {
            const std::lock_guard<std::mutex> lock(saying);
            said.push_back(line);
        });
        return work();
    });
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        while (task.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            py::gil_scoped_acquire acquire;
            if (PyErr_CheckSignals() != 0) {
                interrupted = true;
                InterruptScope::request(true);
            }
        }
    }
    if (interrupted) {
        InterruptScope::request(false);
        throw py::error_already_set();  // the KeyboardInterrupt Python raised
    }
    auto warnings = py::module_::import("warnings");
    for (const std::string& line : said) warnings.attr("warn")(line);
    if (heard) *heard = said;
    return task.get();  // a refusal is thrown on, as the translator below turns it
}

std::string pathOf(const py::handle& path) {
    return py::str(py::module_::import("os").attr("fspath")(path));
}

// The short options by their Python names; every long option is its own name with '_' for
// '-'. `pvalue` is -m where the caller means a p-value.
const std::map<std::string, std::string>& shortNames() {
    static const std::map<std::string, std::string> names{
        {"window", "w"},      {"min_genes", "g"}, {"min_motifs", "k"},
        {"overlap", "o"},     {"by_factor", "t"}, {"mask_lowercase", "l"},
        {"pseudocount", "p"}, {"cutoff", "m"},    {"pvalue", "m"}};
    return names;
}

// Options a Python caller takes another way: the table and the report come back in memory.
bool heldBack(const std::string& option) {
    return option == "help" || option == "version" || option == "quiet" || option == "stats" ||
           option == "motif-stats";
}

// A keyword's value as the option's text: a number as written back exactly, a path, or a
// switch (True: given with no value, False: not given).
std::optional<std::string> valueText(const std::string& keyword, const std::string& option,
                                     const py::handle& value) {
    const std::string shown = py::repr(value).cast<std::string>();
    if (py::isinstance<py::bool_>(value)) {
        if (Args::takesValue(option))
            throw py::value_error("Error: " + keyword + " takes a value, not " + shown);
        return value.cast<bool>() ? std::optional<std::string>("") : std::nullopt;
    }
    if (!Args::takesValue(option))
        throw py::value_error("Error: " + keyword + " is a switch: True or False, not " + shown);
    if (py::isinstance<py::int_>(value)) return py::str(value).cast<std::string>();
    if (py::isinstance<py::float_>(value)) return formatted("%.17g", value.cast<double>());
    if (py::isinstance<py::str>(value) || py::hasattr(value, "__fspath__")) return pathOf(value);
    throw py::value_error("Error: " + keyword + " takes a number or a path, not " + shown);
}

// The keyword `pvalue`: the keyword says the caller means a p-value, so 1 or more (which -m
// would take as a score cutoff) and anything but a number are refused.
void checkPValue(const py::handle& value) {
    const std::string shown = py::repr(value).cast<std::string>();
    const bool number = (py::isinstance<py::float_>(value) || py::isinstance<py::int_>(value)) &&
                        !py::isinstance<py::bool_>(value);
    if (!number) throw py::value_error("Error: pvalue takes a number below 1, not " + shown);
    if (!(value.cast<double>() < 1))
        throw py::value_error("Error: pvalue takes a p-value below 1, not " + shown +
                              " (cutoff= takes a score cutoff)");
}

// The settings of a call: its keywords as options, in the order given, then the files.
Args settingsOfCall(const py::handle& motifs, const py::handle& sequences,
                    const py::dict& keywords) {
    std::vector<std::pair<std::string, std::string>> options{{"quiet", ""}};
    bool grammar = false;
    for (const auto& [key, value] : keywords) {
        if (value.is_none()) continue;
        const std::string keyword = key.cast<std::string>();
        // The grammar comes in memory (result.grammar); write_grammar writes it.
        if (keyword == "grammar") {
            if (!py::isinstance<py::bool_>(value))
                throw py::value_error(
                    "Error: grammar takes True or False: the table comes as result.grammar, "
                    "and result.write_grammar(path) writes it");
            grammar = value.cast<bool>();
            continue;
        }
        const auto it = shortNames().find(keyword);
        std::string option = it != shortNames().end() ? it->second : replaceAll(keyword, "_", "-");
        if (keyword.find('-') != std::string::npos || heldBack(option) || !Args::knows(option))
            throw py::value_error("Error: rekul takes no keyword " + keyword);
        if (keyword == "pvalue") checkPValue(value);
        if (const std::optional<std::string> text = valueText(keyword, option, value))
            options.emplace_back(option, *text);
    }
    std::vector<std::string> files{pathOf(motifs)};
    if (!sequences.is_none()) files.push_back(pathOf(sequences));
    return runWatched([&] { return settingsOf(Program::Rekul, options, files, grammar); });
}

template <typename T>
py::array_t<T> arrayOf(const std::vector<T>& values) {
    py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

py::list readMotifsOf(const py::object& path) {
    const Args settings = settingsOfCall(path, py::none(), py::dict());
    const auto library = runWatched([&] { return readMotifs(settings); });
    py::list records;
    for (const Motif& motif : library.motifs) {
        const auto width = static_cast<py::ssize_t>(motif.freq.size() / 4);
        py::array_t<float> matrix({width, py::ssize_t{4}});
        std::copy(motif.freq.begin(), motif.freq.end(), matrix.mutable_data());
        py::dict record;
        record["name"] = motif.name;
        record["label"] = motif.label;
        record["matrix"] = matrix;
        record["format"] = library.formatName;
        records.append(record);
    }
    return records;
}

py::list readSequencesOf(const py::object& path) {
    const std::string file = pathOf(path);
    py::list out;
    for (const auto& [name, text] : runWatched([&] { return readSequences(file); }))
        out.append(py::make_tuple(name, text));
    return out;
}

py::dict scan(const py::object& motifs, const py::object& sequences, const py::dict& keywords) {
    const Args settings = settingsOfCall(motifs, sequences, keywords);
    const ScanResult found = runWatched([&] { return scanHits(settings); });
    std::vector<int32_t> gene, motif, start, end;
    std::vector<int8_t> strand;
    std::vector<float> score;
    std::vector<std::string> genes;
    for (size_t g = 0; g < found.genes.size(); ++g) {
        genes.push_back(found.genes[g].name);
        for (const MHit& hit : found.genes[g].hits) {
            gene.push_back(static_cast<int32_t>(g));
            motif.push_back(hit.motif);
            start.push_back(hit.start);
            end.push_back(hit.end);
            strand.push_back(hit.strand == '+' ? 1 : -1);
            score.push_back(hit.score);
        }
    }
    py::dict out;
    out["gene"] = arrayOf(gene);
    out["motif"] = arrayOf(motif);
    out["start"] = arrayOf(start);
    out["end"] = arrayOf(end);
    out["strand"] = arrayOf(strand);
    out["score"] = arrayOf(score);
    out["gene_names"] = genes;
    out["motif_names"] = found.motifNames;
    return out;
}

py::object optionalOf(const std::optional<double>& value) {
    return value ? py::object(py::float_(*value)) : py::object(py::none());
}

// A score as the report shows it (six significant digits), not its single-precision value.
double shownScore(float score) {
    return std::stod(formatted("%.6g", score));
}

// One module as a record: its motifs, labels, probability, instances with their hits, and
// with a table every column of its row.
py::dict moduleRecord(const Discovered& found, size_t k) {
    const ModuleRecord& module = found.modules[k];
    py::list motifs, labels, instances;
    for (int32_t m : module.motifs) {
        motifs.append(found.motifNames[static_cast<size_t>(m)]);
        labels.append(found.motifLabels[static_cast<size_t>(m)]);
    }
    for (const InstanceRecord& instance : module.found) {
        py::list hits;
        for (const MHit& hit : instance.hits)
            hits.append(py::make_tuple(found.motifNames[static_cast<size_t>(hit.motif)], hit.start,
                                       hit.end, std::string(1, hit.strand), shownScore(hit.score)));
        instances.append(
            py::dict(py::arg("gene") = found.geneNames[static_cast<size_t>(instance.gene)],
                     py::arg("hits") = hits));
    }
    py::dict record(py::arg("id") = "M" + std::to_string(k + 1), py::arg("motifs") = motifs,
                    py::arg("labels") = labels, py::arg("probability") = module.probability,
                    py::arg("instances") = instances, py::arg("genes") = module.genes);
    if (k >= found.rows.size()) return record;
    const ModuleStatsRow& row = found.rows[k];
    record["genes_total"] = found.genesTotal;
    record["background_genes"] =
        row.backgroundGenes ? py::object(py::int_(*row.backgroundGenes)) : py::object(py::none());
    record["background_total"] =
        row.backgroundGenes ? py::object(py::int_(found.backgroundTotal)) : py::object(py::none());
    record["fold_enrichment"] =
        row.backgroundGenes ? py::object(py::float_(row.foldEnrichment)) : py::object(py::none());
    record["p_value"] = row.pValue;
    record["e_value"] = row.eValue;
    record["q_value"] = row.qValue;
    record["fwer"] = optionalOf(row.fwer);
    record["fdr"] = optionalOf(row.fdr);
    record["fdr_exact"] = row.fdrExact ? py::object(py::int_(*row.fdrExact ? 1 : 0)) : py::none();
    record["p_vs_parts"] = optionalOf(row.pVsParts);
    return record;
}

py::dict discoverIn(const py::object& motifs, const py::object& sequences,
                    const py::dict& keywords) {
    const Args settings = settingsOfCall(motifs, sequences, keywords);
    struct Outcome {
        Discovered found;
        std::string report, stats, motifStats;
    };
    std::vector<std::string> heard;
    const Outcome outcome = runWatched(
        [&] {
            std::ostringstream report, stats, motifStats;
            const bool table = settings.hasBackground();
            Outcome out;
            out.found = discover(
                Program::Rekul, settings,
                {report, table ? &stats : nullptr, table ? &motifStats : nullptr, true, false});
            out.report = report.str();
            out.stats = stats.str();
            out.motifStats = motifStats.str();
            return out;
        },
        &heard);
    const Discovered& found = outcome.found;
    py::list modules, motifRows;
    for (size_t k = 0; k < found.modules.size(); ++k) modules.append(moduleRecord(found, k));
    for (size_t m = 0; m < found.motifRows.size(); ++m) {
        const MotifStatsRow& row = found.motifRows[m];
        motifRows.append(py::dict(
            py::arg("motif") = found.motifNames[m], py::arg("label") = found.motifLabels[m],
            py::arg("genes") = row.genes, py::arg("genes_total") = found.genesTotal,
            py::arg("background_genes") = row.backgroundGenes,
            py::arg("background_total") = found.backgroundTotal,
            py::arg("fold_enrichment") = row.foldEnrichment, py::arg("p_value") = row.pValue,
            py::arg("q_value") = row.qValue, py::arg("fwer") = optionalOf(row.fwer),
            py::arg("hits_scanned") = row.hitsScanned, py::arg("hits_kept") = row.hitsKept));
    }
    py::list grammar;
    static const char* const kFeatures[] = {"order", "strands", "spacing", "phase"};
    for (const GrammarRow& row : found.grammar) {
        const ModuleRecord& module = found.modules[static_cast<size_t>(row.module)];
        std::string motifs;
        for (int32_t m : module.motifs)
            motifs.append(motifs.empty() ? "" : ",")
                .append(found.motifNames[static_cast<size_t>(m)]);
        auto motifName = [&](int32_t k) {
            return k < 0 ? py::object(py::none())
                         : py::object(py::str(found.motifNames[static_cast<size_t>(
                               module.motifs[static_cast<size_t>(k)])]));
        };
        const bool spacing = row.feature == GrammarFeature::Spacing;
        grammar.append(py::dict(
            py::arg("module") = "M" + std::to_string(row.module + 1), py::arg("motifs") = motifs,
            py::arg("feature") = kFeatures[static_cast<int>(row.feature)],
            py::arg("motif_a") = motifName(row.a), py::arg("motif_b") = motifName(row.b),
            py::arg("value") = row.value, py::arg("genes") = row.genes,
            py::arg("genes_total") = row.genesTotal,
            py::arg("median") =
                spacing ? py::object(py::float_(row.median)) : py::object(py::none()),
            py::arg("iqr") = spacing ? py::object(py::float_(row.iqr)) : py::object(py::none()),
            py::arg("p_value") = row.pValue, py::arg("fwer") = row.fwer));
    }
    py::dict out;
    out["grammar"] = grammar;
    out["grammar_text"] = found.grammarText;
    out["report"] = outcome.report;
    out["stats_text"] = outcome.stats;
    out["motif_stats_text"] = outcome.motifStats;
    out["modules"] = modules;
    out["motif_stats"] = motifRows;
    out["has_table"] = settings.hasBackground();
    out["no_module"] = found.noModule;
    out["warnings"] = heard;
    return out;
}

// Writes `text` to `path` as the programs write their outputs: refused where it names one of
// the run's inputs, written to a temporary file beside it and renamed into place when whole.
void writeOutput(const py::object& path, const std::string& text, const py::dict& inputs,
                 const std::string& what) {
    const std::string file = pathOf(path);
    std::vector<std::pair<std::string, std::string>> named;
    for (const auto& [name, input] : inputs)
        if (!input.is_none()) named.emplace_back(name.cast<std::string>(), pathOf(input));
    runWatched([&] {
        refuseClashingOutput(file, what, named);
        OutputFile out(file, what);
        out.stream() << text;
        out.commit();
        return 0;
    });
}

}  // namespace

// rekul-scan's command line from a call: the report, rekul-scan's own keywords (module,
// stats, max_fwer, max_q) and rekul's scan options by name, then the files.
std::vector<std::string> scanWords(const py::object& report, const py::object& motifs,
                                   const py::object& sequences, const py::dict& keywords) {
    std::vector<std::string> words{"rekul-scan", "--quiet", "--modules", pathOf(report)};
    const std::map<std::string, std::string> own{
        {"module", "module"}, {"stats", "stats"}, {"max_fwer", "max-fwer"}, {"max_q", "max-q"}};
    for (const auto& [key, value] : keywords) {
        if (value.is_none()) continue;
        const std::string keyword = key.cast<std::string>();
        if (const auto found = own.find(keyword); found != own.end()) {
            words.push_back("--" + found->second);
            words.push_back(py::isinstance<py::float_>(value)
                                ? formatted("%.17g", value.cast<double>())
                                : py::str(value).cast<std::string>());
            continue;
        }
        const auto it = shortNames().find(keyword);
        const bool isShort = it != shortNames().end();
        const std::string option = isShort ? it->second : replaceAll(keyword, "_", "-");
        if (keyword.find('-') != std::string::npos || heldBack(option) || !Args::knows(option))
            throw py::value_error("Error: rekul-scan takes no keyword " + keyword);
        if (keyword == "pvalue") checkPValue(value);
        if (const std::optional<std::string> text = valueText(keyword, option, value)) {
            words.push_back((isShort ? "-" : "--") + option);
            if (Args::takesValue(option)) words.push_back(*text);
        }
    }
    words.push_back(pathOf(motifs));
    if (!sequences.is_none()) words.push_back(pathOf(sequences));
    return words;
}

py::dict scanModulesIn(const py::object& report, const py::object& motifs,
                       const py::object& sequences, const py::dict& keywords) {
    const std::vector<std::string> words = scanWords(report, motifs, sequences, keywords);
    const ModuleScanRun run = runWatched([&] { return scanModulesOf(words); });
    py::list chrom, start, end, module, motifNames, strand, gene, pValue, eValue, fdr;
    for (const FoundInstance& instance : run.instances) {
        chrom.append(instance.place.seqid);
        start.append(instance.place.start);
        end.append(instance.place.end);
        module.append(instance.module);
        motifNames.append(instance.motifs);
        strand.append(std::string(1, instance.place.strand));
        gene.append(instance.gene);
        pValue.append(instance.pValue);
        eValue.append(instance.eValue);
        fdr.append(instance.fdr ? py::cast(*instance.fdr) : py::none());
    }
    py::dict out;
    out["chrom"] = chrom;
    out["start"] = start;
    out["end"] = end;
    out["module"] = module;
    out["motifs"] = motifNames;
    out["strand"] = strand;
    out["gene"] = gene;
    out["p_value"] = pValue;
    out["e_value"] = eValue;
    out["fdr"] = fdr;
    out["summary"] = run.summary;
    return out;
}

PYBIND11_MODULE(_rekul, module) {
    module.doc() = "The rekul library: motif scanning and recurrent motif module discovery.";
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const RunEnd& end) {
            PyObject* type = PyExc_ValueError;
            if (end.kind() == ErrorKind::Io) type = PyExc_OSError;
            if (end.kind() == ErrorKind::Memory) type = PyExc_MemoryError;
            if (end.kind() == ErrorKind::Interrupted) type = PyExc_KeyboardInterrupt;
            PyErr_SetString(type, end.message().c_str());
        }
    });
    module.def("read_motifs", &readMotifsOf, py::arg("path"),
               "Reads a motif file (native, JASPAR, MEME or TRANSFAC; gzip or not): a list of "
               "records with name, label, matrix (frequencies, one row per position, A C G T) "
               "and the format read.");
    module.def("read_sequences", &readSequencesOf, py::arg("path"),
               "Reads a FASTA file (gzip or not): a list of (name, sequence) pairs, as rekul "
               "reads it.");
    module.def("_scan", &scan, py::arg("motifs"), py::arg("sequences"), py::arg("options"));
    module.def("_discover", &discoverIn, py::arg("motifs"), py::arg("sequences"),
               py::arg("options"));
    module.def("_scan_modules", &scanModulesIn, py::arg("report"), py::arg("motifs"),
               py::arg("sequences"), py::arg("options"));
    module.def("_write_output", &writeOutput, py::arg("path"), py::arg("text"), py::arg("inputs"),
               py::arg("what"));
}
