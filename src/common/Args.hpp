// Settings of one run, read from the command line: the short options "hw:g:m:o:k:tlp:" and
// the long options (--help, --version, --quiet, --seed, --exact-cutoffs, --threads, --background,
// --unique, --stats, --permutations, --permutation-method, and the controls --shuffled-background,
// --shuffle-k,
// --match, --match-ratio, --write-background, and the genome inputs --regions, --genome,
// --background-regions, --genomic-background, --exclude). Options are
// handled in command-line order; a refused value ends the run through `die`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How permutations find each pseudo-foreground's modules: one enumeration over the pooled
// genes for all of them, or a whole search per permutation (the reference).
enum class PermutationMethod { Pool, Search };

class Args {
  public:
    std::string program = "rekul";  // the name the usage, help and version texts show
    std::string motifFile;
    std::string seqFile;
    int32_t overlapDistance = 4;
    int32_t windowSize = 200;
    int32_t geneNumber = 15;
    bool geneNumberGiven = false;  // -g stood on the command line
    double minGeneShare = 0;       // --min-gene-share: -g as a share of the genes (0: unset)
    int32_t minMotifNumber = 3;
    int32_t maxMotifNumber = 8;
    bool useTfName = false;
    bool maskLowercase = false;
    float pseudocount = 0.375f;
    float scoreThreshold = 5.0f;
    bool pValueWritten = false;    // -m below 1 as written (0.99999999 rounds to 1 in float)
    bool quiet = false;            // --quiet: no progress lines
    bool progressSummary = false;  // --progress summary: only the lines that sum a run up
    std::optional<uint32_t> seed;  // --seed: seed of every random draw
    bool exactCutoffs = false;     // --exact-cutoffs: p-value cutoffs without a sample
    bool homerCutoffs = false;     // --homer-cutoffs: the cutoffs a HOMER motif file lists
    int32_t threads = 0;           // --threads: 0 until set, then every available processor
    std::string backgroundFile;    // --background: genes to compare the foreground with
    bool uniqueSequences = false;  // --unique: keep the first gene of each distinct sequence
    std::string statsFile;         // --stats: the statistics table of the reported modules
    int32_t permutations = 0;      // --permutations: pseudo-foregrounds for the fwer column
    PermutationMethod permutationMethod = PermutationMethod::Pool;  // --permutation-method
    int32_t shardIndex = 0, shardCount = 0;  // --permutation-shard K/N (0/0: every permutation)
    int32_t shuffledCopies = 0;   // --shuffled-background: copies of each foreground gene
    int32_t shuffleK = 0;         // --shuffle-k: the k-mers a copy keeps (0 until set: 3)
    bool matchLength = false;     // --match length: background windows of the genes' lengths
    bool matchGc = false;         // --match gc: background windows of the genes' GC bins
    int32_t matchRatio = 0;       // --match-ratio: windows per foreground gene (0 until set: 10)
    bool stratifyLength = false;  // --stratify length: the test within strata of length
    bool stratifyGc = false;      // --stratify gc: the test within strata of GC
    int32_t lengthStrata = 0;     // --length-strata: length bins (0 until set: 10)
    std::string writeBackgroundFile;    // --write-background: the background used, as FASTA
    std::string motifStatsFile;         // --motif-stats: the single-motif baseline table
    std::string grammarFile;            // --grammar: the arrangement table of the modules
    int32_t grammarBin = 0;             // --grammar-bin: spacing bin in letters (0 until set: 1)
    int32_t grammarPermutations = 0;    // --grammar-permutations: null draws (0 until set: 1000)
    std::string regionsFile;            // --regions: BED intervals of --genome as the genes
    std::string genomeFile;             // --genome: the indexed genome the regions come from
    int32_t summitWidth = 0;            // --summits: letters about each region's summit (0: off)
    int32_t summitColumn = 0;           // --summit-column: the summit's column (0 until set: 10)
    int32_t topRegions = 0;             // --top: the regions of highest signal kept (0: all)
    std::string backgroundRegionsFile;  // --background-regions: BED background of --genome
    int32_t genomicRatio = 0;           // --genomic-background: windows per region
    std::string excludeFile;            // --exclude: BED intervals no genomic window touches
    std::string sitesFile;              // --sites: BED sites as the hits, in place of a scan
    std::string backgroundSitesFile;    // --background-sites: the background's own sites
    bool seedShown = false;             // the run has written its "Random seed" line
    bool tableInMemory = false;    // a library caller takes the table in memory, not as --stats
    bool grammarInMemory = false;  // a library caller takes the grammar in memory
    std::string commandLine;       // the words of the command line, for the table's notes

    Args() = default;  // initial values, for stages built without a command line
    Args(int argc, char** argv, std::string programName = "rekul");
    void Parse(int argc, char** argv);

    // The settings without a command line, as a library caller gives them: each option by
    // its name ("w" for -w, "background" for --background; an empty value for a switch),
    // stored and checked exactly as the command line's, then the file arguments and the
    // checks of options that need each other. Refusals are thrown (ErrorKind::Usage).
    void apply(const std::string& name, const std::string& value);
    void finish(const std::vector<std::string>& files);
    // Whether there is an option of that name, and whether it takes a value.
    static bool knows(const std::string& name);
    static bool takesValue(const std::string& name);

    // Whether -m is a p-value: below 1 as written or as stored.
    bool pValueCutoff() const { return pValueWritten || scoreThreshold < 1; }
    bool matching() const { return matchLength || matchGc; }
    bool stratifying() const { return stratifyLength || stratifyGc; }
    // A background of some kind: a file, shuffled copies, windows matched from a pool, regions
    // or windows of the genome.
    bool hasBackground() const {
        return !backgroundFile.empty() || shuffledCopies > 0 || !backgroundRegionsFile.empty() ||
               genomicRatio > 0;
    }

    std::string usageText() const;
    std::string helpText() const;
    std::string versionText() const;
};

// -g for a share of the genes: the least whole number of genes at least that share, 1 or more.
int32_t geneNumberOfShare(double share, size_t genes);

struct OptionText;
// The texts of every option of rekul and rekulo, in the order the documentation lists them.
std::vector<OptionText> programOptionTexts();

// Reads an option value as atoi does (leading blanks, sign, digits; none reads as 0), but
// refuses a number outside the 32-bit signed range instead of overflowing.
bool parseIntOption(const char* text, int32_t& value);

// Reads a --seed or --threads value: decimal digits only, from 0 to 4294967295.
bool parseUnsigned32(const char* text, uint32_t& seed);
