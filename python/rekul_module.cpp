// The Python module `rekul`: the programs' motif reader, scan, discovery and statistics,
// called from Python through pybind11. Every function builds the same settings the program
// builds from its command line (Args parses the same words), runs the same stages, and hands
// back records, numpy arrays and the report's exact bytes: no second implementation. The
// work runs without the GIL on a thread of its own while the calling thread watches for
// Ctrl-C, which stops the search and the permutations and raises KeyboardInterrupt. The
// library's refusals raise ValueError (OSError for a file that cannot be opened) with the
// program's message; its warnings become Python warnings.
#include <getopt.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../apps/Pipeline.hpp"
#include "common/Interrupt.hpp"
#include "common/Log.hpp"
#include "hits/HitA.hpp"
#include "hits/SeqReader.hpp"
#include "modules/Tree.hpp"
#include "motif/MotifA.hpp"
#include "report/ReportReader.hpp"

namespace py = pybind11;

namespace {

// Runs `work` off the GIL on a thread of its own, polling Python's signals meanwhile; the
// library's warnings are gathered and given to Python's warnings module afterwards.
template <typename Work>
auto runWatched(Work&& work) -> decltype(work()) {
    std::vector<std::string> said;
    const LogSink before = setLogSink([&](const std::string& line) { said.push_back(line); });
    InterruptScope::request(false);
    auto task = std::async(std::launch::async, std::forward<Work>(work));
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
    setLogSink(before);
    InterruptScope::request(false);
    if (interrupted) throw py::error_already_set();  // the KeyboardInterrupt Python raised
    auto warnings = py::module_::import("warnings");
    for (const std::string& line : said) warnings.attr("warn")(line);
    return task.get();  // a refusal is thrown on, as the translator below turns it
}

// The program's settings from its own words, as its command line would give them.
Args settingsOf(std::vector<std::string> words) {
    words.insert(words.begin(), "rekul");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    optind = 0;  // getopt starts afresh for each call
    Args settings(static_cast<int>(words.size()), argv.data(), "rekul");
    if (const std::optional<uint32_t> seed = runSeed(settings)) settings.seed = seed;
    return settings;
}

std::string pathOf(const py::object& path) {
    return py::str(py::module_::import("os").attr("fspath")(path));
}

// A number as a word that reads back to the same double.
std::string exactWord(double value) {
    return formatted("%.17g", value);
}

// -m from `cutoff` or `pvalue`. The keyword says which the caller means, so a pvalue of 1 or
// more (which -m would take as a score cutoff) or one that is not a number is refused.
void addCutoff(std::vector<std::string>& words, double cutoff, const py::object& pvalue) {
    if (pvalue.is_none()) {
        words.insert(words.end(), {"-m", exactWord(cutoff)});
        return;
    }
    const bool number = (py::isinstance<py::float_>(pvalue) || py::isinstance<py::int_>(pvalue)) &&
                        !py::isinstance<py::bool_>(pvalue);
    const std::string shown = py::repr(pvalue).cast<std::string>();
    if (!number) throw py::value_error("Error: pvalue takes a number below 1, not " + shown);
    const double value = pvalue.cast<double>();
    if (!(value < 1))
        throw py::value_error("Error: pvalue takes a p-value below 1, not " + shown +
                              " (cutoff= takes a score cutoff)");
    words.insert(words.end(), {"-m", exactWord(value)});
}

// An optional whole-number option, handed to the program's own check as written; 0 means the
// program's default.
void addCount(std::vector<std::string>& words, const char* option, const py::object& value) {
    if (value.is_none()) return;
    if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
        throw py::value_error(std::string("Error: ") + option + " takes a whole number, not " +
                              py::repr(value).cast<std::string>());
    words.insert(words.end(), {option, py::str(value).cast<std::string>()});
}

template <typename T>
py::array_t<T> arrayOf(const std::vector<T>& values) {
    py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

py::list readMotifs(const py::object& path) {
    const Args settings = settingsOf({"--quiet", pathOf(path), "-"});
    const auto library = runWatched([&] { return MotifA(settings, Progress::silent()); });
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

py::list readSequences(const py::object& path) {
    const std::string file = pathOf(path);
    const auto entries = runWatched([&] {
        std::vector<std::pair<std::string, std::string>> out;
        SeqEntries reader(file, "rekul");
        std::string name, line;
        while (reader.nextEntry(name)) {
            out.emplace_back(name, "");
            while (reader.nextLine(line)) out.back().second += line;
        }
        return out;
    });
    py::list out;
    for (const auto& [name, text] : entries) out.append(py::make_tuple(name, text));
    return out;
}

py::dict scan(const py::object& motifs, const py::object& sequences, double cutoff,
              const py::object& pvalue, bool exactCutoffs, int threads, const py::object& overlap,
              bool maskLowercase, double pseudocount, const py::object& seed) {
    std::vector<std::string> words{"--quiet", "-p", exactWord(pseudocount)};
    if (overlap.is_none())
        words.insert(words.end(), {"-o", "0"});
    else
        addCount(words, "-o", overlap);
    addCutoff(words, cutoff, pvalue);
    if (exactCutoffs) words.push_back("--exact-cutoffs");
    if (maskLowercase) words.push_back("-l");
    if (threads != 0) words.insert(words.end(), {"--threads", std::to_string(threads)});
    addCount(words, "--seed", seed);
    words.insert(words.end(), {pathOf(motifs), pathOf(sequences)});
    const Args settings = settingsOf(words);
    struct Hits {
        std::vector<int32_t> gene, motif, start, end, score100;
        std::vector<int8_t> strand;
        std::vector<float> score;
        std::vector<std::string> genes, motifNames;
    };
    const Hits hits = runWatched([&] {
        MotifA library(settings, Progress::silent());
        const HitA stage(settings, library, Progress::silent());
        Hits out;
        out.motifNames = stage.motifNames;
        for (size_t g = 0; g < stage.seqHits.size(); ++g) {
            out.genes.push_back(stage.seqHits[g].name);
            for (const MHit& hit : stage.seqHits[g].hits) {
                out.gene.push_back(static_cast<int32_t>(g));
                out.motif.push_back(hit.motif);
                out.start.push_back(hit.start);
                out.end.push_back(hit.end);
                out.strand.push_back(hit.strand == '+' ? 1 : -1);
                out.score.push_back(hit.score);
            }
        }
        return out;
    });
    py::dict out;
    out["gene"] = arrayOf(hits.gene);
    out["motif"] = arrayOf(hits.motif);
    out["start"] = arrayOf(hits.start);
    out["end"] = arrayOf(hits.end);
    out["strand"] = arrayOf(hits.strand);
    out["score"] = arrayOf(hits.score);
    out["gene_names"] = hits.genes;
    out["motif_names"] = hits.motifNames;
    return out;
}

struct Discovered {
    std::string report, stats, motifStats;
};

// The modules of a report as records, read by rekul-report's reader: motifs, probability,
// instances with their hits (motif, start, end, strand, score) and the distinct genes.
py::list reportModules(const std::string& report) {
    const std::vector<ReportModule> modules = runWatched([&] {
        // The reader reads files: the report as one in memory.
        const int fd = memfd_create("rekul-report", 0);
        if (fd < 0 ||
            ::write(fd, report.data(), report.size()) != static_cast<ssize_t>(report.size()))
            die("Error: cannot hold the report in memory");
        std::vector<ReportModule> out;
        ReportReader reader("/proc/self/fd/" + std::to_string(fd), "the report");
        for (ReportModule module; reader.next(module);) out.push_back(std::move(module));
        ::close(fd);
        return out;
    });
    py::list records;
    for (const ReportModule& module : modules) {
        py::list instances;
        for (const ReportInstance& instance : module.instances) {
            py::list hits;
            for (const ReportHit& hit : instance.hits)
                hits.append(py::make_tuple(hit.motif, hit.start, hit.end,
                                           std::string(1, hit.strand), std::stod(hit.score)));
            instances.append(py::dict(py::arg("gene") = instance.gene, py::arg("hits") = hits));
        }
        records.append(py::dict(py::arg("id") = module.id(), py::arg("motifs") = module.motifs,
                                py::arg("probability") = module.probability,
                                py::arg("instances") = instances,
                                py::arg("genes") = module.geneCount()));
    }
    return records;
}

Discovered discover(const py::object& motifs, const py::object& sequences, double cutoff,
                    const py::object& pvalue, int window, int minGenes, int minMotifs, int overlap,
                    bool byFactor, bool maskLowercase, double pseudocount, bool exactCutoffs,
                    bool unique, const py::object& background, const py::object& shuffledBackground,
                    int permutations, const py::object& seed, int threads) {
    std::vector<std::string> words{"--quiet",
                                   "-w",
                                   std::to_string(window),
                                   "-g",
                                   std::to_string(minGenes),
                                   "-k",
                                   std::to_string(minMotifs),
                                   "-o",
                                   std::to_string(overlap),
                                   "-p",
                                   exactWord(pseudocount)};
    addCutoff(words, cutoff, pvalue);
    if (byFactor) words.push_back("-t");
    if (maskLowercase) words.push_back("-l");
    if (exactCutoffs) words.push_back("--exact-cutoffs");
    if (unique) words.push_back("--unique");
    if (threads != 0) words.insert(words.end(), {"--threads", std::to_string(threads)});
    addCount(words, "--seed", seed);
    const bool withBackground = !background.is_none() || !shuffledBackground.is_none();
    if (!background.is_none()) words.insert(words.end(), {"--background", pathOf(background)});
    addCount(words, "--shuffled-background", shuffledBackground);
    if (withBackground) words.insert(words.end(), {"--stats", "python"});
    if (permutations != 0)
        words.insert(words.end(), {"--permutations", std::to_string(permutations)});
    words.insert(words.end(), {pathOf(motifs), pathOf(sequences)});
    const Args settings = settingsOf(words);
    return runWatched([&] {
        std::ostringstream report, stats, motifStats;
        runStages<HitA, Tree>(settings, Progress::silent(), report,
                              withBackground ? &stats : nullptr,
                              withBackground ? &motifStats : nullptr, false);
        return Discovered{report.str(), stats.str(), motifStats.str()};
    });
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

PYBIND11_MODULE(_rekul, module) {
    module.doc() = "The rekul library: motif scanning and recurrent motif module discovery.";
    // A refusal of the library: a file that cannot be opened is the system's error (OSError),
    // any other the input's (ValueError), with the program's message.
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const RunEnd& end) {
            const std::string& message = end.message();
            const bool unopened = message.find("Can't open") != std::string::npos ||
                                  message.find("cannot open") != std::string::npos;
            PyErr_SetString(unopened ? PyExc_OSError : PyExc_ValueError, message.c_str());
        }
    });
    module.def("read_motifs", &readMotifs, py::arg("path"),
               "Reads a motif file (native, JASPAR, MEME or TRANSFAC; gzip or not): a list of "
               "records with name, label, matrix (frequencies, one row per position, A C G T) "
               "and the format read.");
    module.def("read_sequences", &readSequences, py::arg("path"),
               "Reads a FASTA file (gzip or not): a list of (name, sequence) pairs, as rekul "
               "reads it.");
    module.def("_scan", &scan, py::arg("motifs"), py::arg("sequences"), py::arg("cutoff") = 5.0,
               py::arg("pvalue") = py::none(), py::arg("exact_cutoffs") = true,
               py::arg("threads") = 0, py::arg("overlap") = 4, py::arg("mask_lowercase") = false,
               py::arg("pseudocount") = 0.375, py::arg("seed") = py::none());
    module.def("_report_modules", &reportModules, py::arg("report"));
    module.def("_write_output", &writeOutput, py::arg("path"), py::arg("text"), py::arg("inputs"),
               py::arg("what"));
    py::class_<Discovered>(module, "_Discovered")
        .def_readonly("report", &Discovered::report)
        .def_readonly("stats", &Discovered::stats)
        .def_readonly("motif_stats", &Discovered::motifStats);
    module.def("_discover", &discover, py::arg("motifs"), py::arg("sequences"),
               py::arg("cutoff") = 5.0, py::arg("pvalue") = py::none(), py::arg("window") = 200,
               py::arg("min_genes") = 15, py::arg("min_motifs") = 3, py::arg("overlap") = 4,
               py::arg("by_factor") = false, py::arg("mask_lowercase") = false,
               py::arg("pseudocount") = 0.375, py::arg("exact_cutoffs") = false,
               py::arg("unique") = false, py::arg("background") = py::none(),
               py::arg("shuffled_background") = py::none(), py::arg("permutations") = 0,
               py::arg("seed") = py::none(), py::arg("threads") = 0);
}
