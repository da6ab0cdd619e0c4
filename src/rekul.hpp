// The rekul library as its programs and the Python module call it: plain functions over the
// data-only settings of a run (`Args`), each returning its results in memory or writing them
// to the streams it is given, and ending early only by throwing a RunEnd that carries its
// kind (input, usage, i/o, memory, interrupted). Warnings leave through the log sink
// (common/Log.hpp), progress lines through the Progress passed in.
//
//   Args settings = settingsOf("rekul", {{"w", "150"}, {"background", "bg.fa"}}, files);
//   const ScanResult hits = scanHits(settings);
//   const Discovered found = discover(Program::Rekul, settings, {report, &stats});
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "common/Args.hpp"
#include "common/Log.hpp"
#include "common/OutputFile.hpp"
#include "common/Progress.hpp"
#include "common/die.hpp"
#include "hits/Hit.hpp"
#include "modules/Discovery.hpp"
#include "modules/Grammar.hpp"
#include "modules/ModuleStats.hpp"
#include "modules/MotifStats.hpp"
#include "modules/PermutationShard.hpp"
#include "motif/MotifA.hpp"
#include "report/Coordinates.hpp"

// The two programs: one sequence per gene, or ortholog groups.
enum class Program { Rekul, Rekulo };

// The settings of a run without a command line: the options by name, as Args::apply takes
// them, then the file arguments; refused as the command line would be. `grammarInMemory`
// asks for the grammar table in memory (as --grammar does for a file).
Args settingsOf(Program program, const std::vector<std::pair<std::string, std::string>>& options,
                const std::vector<std::string>& files, bool grammarInMemory = false);

// The seed of the run's random draws, where it draws any: --seed, else the time.
std::optional<uint32_t> runSeed(const Args& settings);

// Refuses output paths that name an input of the run (its genome's index included), another
// output or standard output.
void refuseClashingOutputs(const Args& settings);

// The motif library of the settings' motif file.
MotifA readMotifs(const Args& settings, Progress progress = Progress::silent());

// The (name, letters) entries of a FASTA file, as rekul reads them.
std::vector<std::pair<std::string, std::string>> readSequences(const std::string& path);

// The hits of every gene after overlap removal, genes in input order.
struct ScanResult {
    std::vector<std::string> motifNames;  // by motif id
    std::vector<SeqHit> genes;
    std::vector<SeqHit> background;  // with a background in the settings, its genes' hits
};
ScanResult scanHits(const Args& settings, Progress progress = Progress::silent());

// Where a discovery writes, and what it keeps.
struct DiscoverOutputs {
    std::ostream& report;
    std::ostream* stats = nullptr;       // the statistics table, with a background or --stats
    std::ostream* motifStats = nullptr;  // the single-motif table, with a background
    bool keepInstances = false;          // the modules' instances kept in memory too
    bool catchSignals = true;  // SIGINT and SIGTERM stop the permutations (else the caller
                               // raises InterruptScope's flag)
};

// What a discovery found, in memory.
struct Discovered {
    int64_t modulesFound = 0;
    std::string noModule;      // the line that says why no module was found
    bool interrupted = false;  // a stop request ended the permutations early
    size_t permutationsDone = 0;
    std::vector<ModuleRecord> modules;  // in report order
    std::vector<std::string> geneNames, motifNames, motifLabels;
    // With a table: its rows (one per module) and the set sizes.
    std::vector<ModuleStatsRow> rows;
    std::vector<MotifStatsRow> motifRows;  // with a background, by motif id
    int64_t genesTotal = 0, backgroundTotal = 0;
    // With --grammar (or grammarInMemory): the arrangement rows and the table as written.
    std::vector<GrammarRow> grammar;
    std::string grammarText;
};

// The whole run: motifs, hits (and the background), the search writing the report, and with
// `outputs.stats` the statistics table. `settings.seed` must hold the seed where it draws.
Discovered discover(Program program, const Args& settings, const DiscoverOutputs& outputs,
                    Progress progress = Progress::silent());

// rekul-scan in memory: its command line's words (the program's name first) run, the
// instances kept in the order found (module by module, then by gene and position).
struct PlacedHit {
    Placement place;
    std::string motif;
};
struct FoundInstance {
    std::string module, motifs, gene;  // module id, its motifs joined by ',', the sequence
    Placement place;                   // on the genome where the target came from one
    std::vector<PlacedHit> hits;
    double pValue = 1, eValue = 0;
    std::optional<double> fdr;  // with a background
};
struct ModuleScanRun {
    std::vector<FoundInstance> instances;
    std::string summary;  // the text of --summary
    size_t modules = 0, genes = 0;
};
ModuleScanRun scanModulesOf(const std::vector<std::string>& commandWords);

// The programs' bodies: they return the exit status (or throw RunEnd).
int rekulMain(int argc, char** argv);
int rekuloMain(int argc, char** argv);
int reportMain(int argc, char** argv);
int scanMain(int argc, char** argv);
