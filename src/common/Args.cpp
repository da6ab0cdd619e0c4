// Command-line parsing, the usage text and the help text. Short options are scanned with
// getopt_long and the option string "hw:g:m:o:k:tlp:"; each long option is one entry of
// kLongOptions, whose handler stores its value or ends the run.
#include "common/Args.hpp"

#include <getopt.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "common/Log.hpp"
#include "common/Parallel.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"

namespace {

const char* const kHelpIntro =
    R"(Rekul is a program for finding recurrent motif modules. The user needs to
specify a list of motifs (short sequence patterns), the program will then
look for recurrent motif modules in the sequence.

@PROGRAM@ requires two inputs:  a  file  of  motifs and a file DNA  sequences
in  the  standard  FASTA  format. Any  character  other than A, C, G, T in
the sequences  keeps its position  and  no motif hit covers it.  Lowercase
letters are converted to uppercase first, unless -l is given (then they
are forbidden from matching motifs).

The motif file should contain matrices in the following format:

>motifName1	V$NFE2_01	chick human mouse
2 2 0 5
2 0 7 0
1 8 0 0
0 0 0 9
0 0 9 0
9 0 0 0
0 3 6 0
>motifName2	V$COMP1_01	mouse
1.1 1.7 1.5 3.2
2.0 2.1 3.3 0.1
1.8 1.2 1.4 4.1
(etc.)

The rows of each matrix  correspond to  successive positions of the motif,
from 5' to 3', and the columns indicate the frequencies of A, C, G, and T,
respectively, in each position.  These  frequencies  are  usually obtained
from alignments of protein-binding sites.


The sequence file have two different format, corresponding to the two
different programs, rekul and rekulo, respectively.

Sequence file format for rekul
Each sequence start with '>'. The first line including '>' is the title
line,which includes sequence name and possible annotation

>seqName1 annotation(this can be ignored)
GCTAAAGACAATTACATAACATACACGTCAGCACGAAACTTGTTGGCCCAGT
GTGAATCGCTTAAGGGTTAAGTAAGTGTGATGCATACGCCTTTACTTGCTGT
GTCCACCCCATCGGACTGGCATTTTTATTACACTCAGAAACAGAACTCGGGT
AATTTTGACAGGTCACGCAGAGGCGCGCCCTCCTGAAGTGCGTGGACACTCG
...
>seqName2 annotation(this can be ignored)
CTATGAATCTCTGATTTACCCACTCTGCCAAACTCCAGCGCGGTCAGTTCCA
TCACCCTAAGTAACCGAATAATGCGTTCGCTCTATTGACTACGACGCGCTCA
TTCCCTTGTCGGAGAGTTATGGAACAAGGACGCTGTCTGAGACTAGAAGACA
GATAGTGCACACGACCGGCGTCGGAGAAACTCTATTTGCCGCCTGACAAGTC
...


Sequence file format for rekulo
1).Each ortholog sequence group starts with '>'. The first line including
'>'is the title line,which includes sequence name and possible annotation.
2).The sequences of different species in each ortholog group starts with
'<' and there is no further title for these sequences.
3).The  number  of  sequences  in different ortholog sequence group can be 
different,but the first sequence must be the reference sequence of interested
species, and the following are its ortholog sequences in other species.

>seqName1 annotation(this can be ignored)
<ATGCGATCCGTAGGGGCAGCGCAGTATGCCAAGACTATAGGCACTGTCGCA
TCACAAACGATTAACTGATAAATGAGCCCTTTATGACACGGGCATATGACTG
GTTTACGATAGTATGTCCAACGGCGAGCTTTACATTTGCTGTGAGAGGTACA
...
<GGATTAGTGAGAAGCCGTGCGTATCAATTCGTACCTTGGGGGTCGTTACCA
CTCTGTTCCCACGAGCGGCATTTCTGGATGGCCAGCTTTTGACATTTAATTT
CACCCATAAACCAGCGTAAAGCTGCAAGTGGCTCCATGAACTTAGCTGCTAG
...
<GTCAGACTCGCCTCGGATCCTTACTACACTAACTTGAACGCCTAGTGGTCA
AAGAGTACTGGTAATCGTCGGTATCTATATAAGCAGGGGAGGGGAAACATTT
GTTCTCAGCCGGTGACTCCTAATGCTAAGACATTTCCCTTCAGGGGGGGCTC
...
>seqName2 annotation(this can be ignored)
<CCCGCGATGCCATAAATCTGAGCAACCAGCTGAAGCAGGCACGACAGTGCG
ACATTATATCACTGTGGTAGGTTAGCTTCATCTAATGTCCAACTAGCCGGCC
AATTCGCATGATACCTCTCCATCTGACCCAAGATTGTGCTTGTTCAATTCTT
...
<TTAACGTGATAACAGAATCAAACCTGCCAGGCGGTCGTCGCGGACCTCGGT
CGAAGTAGTGGTGCGGATCCAGGGGAACCGTTGACTCAAAAGGAGCTGCCGT
CCACCTAACGTGAAGTTCCAAAATCCCAAACCTCTCGAGATATTTATCCAGC
...
<AGGAGTGGCAACGCCCGCTGCTTTAATCGCTACCAAAACGCAAACAAAAGC
ATACCCAAAAGTACACGGGTGAGGGAGGTGATATAGTACAGCTACGAAGTAT
CTGGCGCCTCAATAGGATTATAGCGGTCTCTCAGGCTGCTTGCCGTCCGGCC
...


The recurrent motif cluster, and their instances in genes are printed.

The  program's  behavior  may  be modified with the following options. The
default values are designed to give sensible results.

)";

const char* const kHelpClosing =
    R"(The method is described in the publications on recurrent cis-regulatory
motif modules listed in this program's documentation. Please send questions
and bug reports through the project's issue tracker.

Inputs as read today: the motif file holds matrices in the format above or
in that of JASPAR (four rows of counts, bracketed or not), MEME or TRANSFAC,
recognised by its content; a score is the natural-log log-odds of the
matrix against the base composition. Either file may be gzip-compressed, and
- reads one of them from standard input. rekul also reads --regions of a
--genome in place of the sequence file.

Long options:
--help           print this documentation and stop (as -h)
--version        print the program's name and version and stop
--quiet          write no progress lines; errors, warnings and the line that
                 says why no module was found still appear
--seed N         seed of every random draw of the run (the background sample
                 for -m below 1, a drawn background, the permutations), from 0
                 to 4294967295 (default: the time in seconds, shown on standard
                 error as "Random seed: N" so that a run can be repeated)
--exact-cutoffs  with -m below 1, compute each motif's cutoff from its exact
                 score distribution under the background composition instead
                 of a random sample: the same on every run
--threads N      threads to run on (default: every processor the process may
                 use); the output is the same for every N
--stats FILE     write a statistics table of the reported modules to FILE:
                 genes, background genes, fold enrichment, p, nominal E and q
                 values, fwer, fdr and p_vs_parts; the report is unchanged
--background FILE  background genes (a file of the same kind as the sequence
                 file), scanned with the same motif tables and cutoffs; with it
                 the p-value is a one-sided Fisher exact test of foreground vs
                 background genes (needs --stats)
--permutations N permute foreground and background genes N times for the
                 family-wise error rate (fwer) of Westfall and Young and the
                 false discovery rate (fdr); 0 for
                 none (needs a background; --seed repeats it; Ctrl-C stops them
                 and keeps those done)
--permutation-method pool|search  pool (the default) finds the modules of
                 every permutation in one enumeration over foreground and
                 background together; search repeats the search for each one.
                 Both give the same fwer
--unique         keep only the first gene of each distinct sequence, in the
                 sequence file and the background alike
With a background, motifs are scored against the composition of foreground
and background together, so that a gene scores the same in either set.
--shuffled-background N  the background is N shuffled copies of every
                 foreground gene, each keeping the counts of every k-mer (rekul)
--shuffle-k K    the k-mers a shuffled copy keeps, 1 to 6 (default 3)
--match length,gc  with --background POOL: draw the background from the pool,
                 for each foreground gene windows of its length and GC bin;
                 --match length or --match gc matches one of the two (rekul)
--match-ratio R  background windows per foreground gene (default 10)
--write-background FILE  write the background used to FILE as FASTA
--regions FILE.bed  the genes are the regions of a BED file (BED3 to BED6+),
                 read from --genome in place of a sequence file; each is named
                 NAME::CHROM:START-END(STRAND), as bedtools getfasta -name -s
                 names it (rekul)
--genome GENOME.fa  the genome of --regions: FASTA, plain or bgzip-compressed,
                 read through its faidx index (built where missing)
--background-regions FILE.bed  a background of regions of the same genome
--genomic-background R  a background of R windows of the genome for each
                 region: its length, its GC bin, outside every region
--exclude FILE.bed  intervals no window of --genomic-background may touch
--motif-stats FILE  write the single-motif baseline to FILE: each motif's
                 foreground and background genes, fold enrichment, Fisher p, q over
                 all motifs and, with --permutations, fwer (needs a background)
)";

}  // namespace

Args::Args(int argc, char** argv, std::string programName) : program(std::move(programName)) {
    Parse(argc, argv);
}

std::string Args::usageText() const {
    return "Usage: " + program +
           " [options] motifFile seqFile.fa\n"
           "\n"
           "Options:\n"
           "-h Help: print documentation\n"
           "-w windowSize threshold (default = " +
           tostring(windowSize) +
           ")\n"
           "-g GeneNumber threshold (default = " +
           tostring(geneNumber) +
           ")\n"
           "-m Motif score threshold (default = " +
           tostring(scoreThreshold) +
           ")\n"
           "   0<=m<1:  m is a p-value. Rekul will compute the score cutoff\n"
           "            corresponding to this p-value for each motif (such as 0.0001)\n"
           "   m>=1:    m is score cutoff. The score cutoff of all motifs equal to m\n"
           "            (default=5).\n"
           "-o Overlap distance threshold (default = " +
           tostring(overlapDistance) +
           ")\n"
           "-k Minimum motif number threshold (default = " +
           tostring(minMotifNumber) +
           ")\n"
           "-t Represent motif by TF name like CREB_01 (default by index like M00039)\n"
           "-l Mask lowercase letters (default= false)\n"
           "-p Pseudocount (default = " +
           tostring(pseudocount) + ")\n";
}

std::string Args::helpText() const {
    return replaceAll(kHelpIntro, "@PROGRAM@", program) +
           "-h Help: print documentation. You already know this one.\n"
           "-w windowSize threshold (default = " +
           tostring(windowSize) +
           ").Print details\n"
           "   of all recurrent motif clusters with size <= this value.\n"
           "-g GeneNumber threshold (default = " +
           tostring(geneNumber) +
           ").Print details\n"
           "   of all recurrent motif clusters with occurred gene number >= this value.\n"
           "-m Motif score threshold (default = " +
           tostring(scoreThreshold) +
           ").\n"
           "   0<=m<1:  m  is  a  p-value.  Rekul   will   compute  the  score  cutoff\n"
           "            corresponding to this p-value  for each motif (such as 0.0001).\n"
           "   m>=1:    m  is  score  cutoff. The score cutoff of all motifs equal to m\n"
           "            (default=5).\n"
           "-o Overlap distance threshold of neighboring motifs(default = " +
           tostring(overlapDistance) +
           ").\n"
           "   the overlap distance of neighboring motifs is defined as the distance of\n"
           "   their start positions.\n"
           "-k Minimum number threshold of distinct motifs in predicted recurrent motif\n"
           "   clusters (default = " +
           tostring(minMotifNumber) +
           ").\n"
           "-t Represent motif by TF name (such as CREB_01)(default by index, such as \n"
           "   M00039).If using this parameter, TF name must follow index in the title\n"
           "   line like this: >M00039\tV$CREB_01\n"
           "-l Mask  lowercase  letters  in  the  sequences  (i.e. forbid  motifs from\n"
           "   matching them). Lowercase letters are often used to indicate repetitive\n"
           "   regions.  Repetitive  regions,  especially  tandem repeats, can produce\n"
           "   extremely high-scoring motif clusters,which may or may not be spurious.\n"
           "-p Pseudocount (default = " +
           tostring(pseudocount) +
           ").\n"
           "   This value gets added to all entries in the motif matrices.Pseudocounts\n"
           "   are a standard way of estimating  underlying frequencies from a limited\n"
           "   number of observations.  If  your matrices contain probabilities rather\n"
           "   than counts, you should probably set this parameter to zero.\n"
           "\n"
           "Example usage: " +
           program +
           " -w 200 -g 10 -m 5 -l test.motifs test.seqs.fa\n"
           "\n" +
           kHelpClosing;
}

std::string Args::versionText() const {
    return program + " " + REKUL_VERSION;
}

bool parseIntOption(const char* text, int32_t& value) {
    int64_t wide = 0;
    size_t used = 0;
    if (!leadingInt64(text, wide, used) || wide < INT32_MIN || wide > INT32_MAX) return false;
    value = static_cast<int32_t>(wide);
    return true;
}

bool parseUnsigned32(const char* text, uint32_t& seed) {
    uint64_t value = 0;
    if (!parseDigits(text, UINT32_MAX, value)) return false;
    seed = static_cast<uint32_t>(value);
    return true;
}

namespace {

// A long option's whole number from `least` to `most`; refuses anything else.
int32_t boundedCount(const char* option, const char* value, uint32_t least, uint32_t most) {
    uint32_t count = 0;
    if (!parseUnsigned32(value, count) || count < least || count > most)
        dieUsage(std::string("Error: ") + option + " takes a whole number from " +
                 std::to_string(least) + " to " + std::to_string(most) + ", not " + value);
    return static_cast<int32_t>(count);
}

// Whether an option value starts with a number as atoi and atof read one (leading blanks, a
// sign, then a digit or a point and a digit, or atof's inf and nan): a value without one
// reads as 0.
bool startsWithNumber(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    if (*text == '+' || *text == '-') ++text;
    if (strncasecmp(text, "inf", 3) == 0 || strncasecmp(text, "nan", 3) == 0) return true;
    if (*text == '.') ++text;
    return *text >= '0' && *text <= '9';
}

// The short options keep atoi's and atof's readings, which callers rely on, but a reading
// that is surely not what was meant is said: a value with no number in it, or a count whose
// text goes on with a fraction.
void warnOfReading(char option, const char* text, const std::string& used, bool count) {
    const std::string shown = printable(text);
    if (!startsWithNumber(text)) {
        warn(std::string("-") + option + " " + shown + " holds no number; it is read as " + used);
        return;
    }
    size_t digits = 0;
    int64_t ignored = 0;
    leadingInt64(text, ignored, digits);
    if (count && text[digits] == '.' && text[digits + 1] >= '0' && text[digits + 1] <= '9')
        warn(std::string("-") + option + " takes a whole number, not " + shown +
             "; it is read as " + used);
}

// Stores an integer option value; refuses one out of range or below zero.
void setIntOption(char option, const char* text, int32_t& field, const char* negativeMessage) {
    if (!parseIntOption(text, field))
        dieUsage(std::string("-") + option + " value out of range: " + text);
    if (field < 0) dieUsage(negativeMessage);
    warnOfReading(option, text, std::to_string(field), true);
}

// The smallest p-value accepted: its background sample of 50 / t letters is 100,000,000
// letters long (a few more for the float nearest 5e-7).
constexpr float kMinPValue = 5e-7f;

// Tested on the value as written, before it is rounded to single precision: a tiny p-value
// such as 1e-300 rounds to 0, which would select the largest sample score instead.
void checkScoreThreshold(double threshold) {
    if (!(threshold >= 0)) dieUsage("motif score threshold should be >= zero");  // NaN too
    if (threshold > 0 && threshold < kMinPValue)
        dieUsage("motif score threshold p-value must be >= 5e-07");
}

// The texts a handler may print; built from the initial values before any option is read.
struct Texts {
    std::string usage, help;
};

// One long option: its name, whether it takes a value, and what it does with it.
// The path of an output file option: a file name, never standard output, which carries the
// report.
std::string outputPath(const std::string& option, const std::string& value) {
    if (value.empty() || value == "-")
        dieUsage("Error: " + option + " takes a file name (standard output carries the report)");
    return value;
}

struct LongOption {
    const char* name;
    int hasArg;
    void (*apply)(Args& args, const char* value, const Texts& texts);
};

const LongOption kLongOptions[] = {
    {"help", no_argument,
     [](Args&, const char*, const Texts& texts) { exitAfterWriting(texts.help + "\n"); }},
    {"version", no_argument,
     [](Args& args, const char*, const Texts&) { exitAfterWriting(args.versionText() + "\n"); }},
    {"quiet", no_argument, [](Args& args, const char*, const Texts&) { args.quiet = true; }},
    {"seed", required_argument,
     [](Args& args, const char* value, const Texts&) {
         uint32_t seed = 0;
         if (!parseUnsigned32(value, seed))
             dieUsage(std::string("Error: --seed takes a whole number from 0 to 4294967295, not ") +
                      value);
         args.seed = seed;
     }},
    {"exact-cutoffs", no_argument,
     [](Args& args, const char*, const Texts&) { args.exactCutoffs = true; }},
    {"background", required_argument,
     [](Args& args, const char* value, const Texts&) { args.backgroundFile = value; }},
    {"unique", no_argument,
     [](Args& args, const char*, const Texts&) { args.uniqueSequences = true; }},
    {"stats", required_argument,
     [](Args& args, const char* value, const Texts&) {
         args.statsFile = outputPath("--stats", value);
     }},
    {"permutations", required_argument,
     [](Args& args, const char* value, const Texts&) {
         uint32_t count = 0;
         if (!parseUnsigned32(value, count) || count > 1000000)
             dieUsage(
                 std::string("Error: --permutations takes a whole number from 0 to 1000000, not ") +
                 value);
         args.permutations = static_cast<int32_t>(count);
     }},
    {"permutation-method", required_argument,
     [](Args& args, const char* value, const Texts&) {
         const std::string method = value;
         if (method != "pool" && method != "search")
             dieUsage("Error: --permutation-method takes pool or search, not " + method);
         args.permutationMethod =
             method == "pool" ? PermutationMethod::Pool : PermutationMethod::Search;
     }},
    {"shuffled-background", required_argument,
     [](Args& args, const char* value, const Texts&) {
         args.shuffledCopies = boundedCount("--shuffled-background", value, 1, 1000);
     }},
    {"shuffle-k", required_argument,
     [](Args& args, const char* value, const Texts&) {
         args.shuffleK = boundedCount("--shuffle-k", value, 1, 6);
     }},
    {"match", required_argument,
     [](Args& args, const char* value, const Texts&) {
         const std::string what = value;
         args.matchLength = what == "length,gc" || what == "gc,length" || what == "length";
         args.matchGc = what == "length,gc" || what == "gc,length" || what == "gc";
         if (!args.matching())
             dieUsage("Error: --match takes length,gc, length or gc, not " + what);
     }},
    {"match-ratio", required_argument,
     [](Args& args, const char* value, const Texts&) {
         args.matchRatio = boundedCount("--match-ratio", value, 1, 10000);
     }},
    {"write-background", required_argument,
     [](Args& args, const char* value, const Texts&) {
         args.writeBackgroundFile = outputPath("--write-background", value);
     }},
    {"motif-stats", required_argument,
     [](Args& args, const char* value, const Texts&) {
         args.motifStatsFile = outputPath("--motif-stats", value);
     }},
    {"regions", required_argument,
     [](Args& args, const char* value, const Texts&) { args.regionsFile = value; }},
    {"genome", required_argument,
     [](Args& args, const char* value, const Texts&) { args.genomeFile = value; }},
    {"background-regions", required_argument,
     [](Args& args, const char* value, const Texts&) { args.backgroundRegionsFile = value; }},
    {"genomic-background", required_argument,
     [](Args& args, const char* value, const Texts&) {
         args.genomicRatio = boundedCount("--genomic-background", value, 1, 1000);
     }},
    {"exclude", required_argument,
     [](Args& args, const char* value, const Texts&) { args.excludeFile = value; }},
    {"threads", required_argument,
     [](Args& args, const char* value, const Texts&) {
         uint32_t threads = 0;
         if (!parseUnsigned32(value, threads) || threads < 1 || threads > 4096)
             dieUsage(std::string("Error: --threads takes a whole number from 1 to 4096, not ") +
                      value);
         args.threads = static_cast<int32_t>(threads);
     }},
};

// getopt_long's table: each long option returns kLongBase plus its index in kLongOptions.
constexpr int kLongBase = 256;

std::vector<option> longOptionTable() {
    std::vector<option> table;
    for (const LongOption& entry : kLongOptions)
        table.push_back(
            {entry.name, entry.hasArg, nullptr, kLongBase + static_cast<int>(table.size())});
    table.push_back({nullptr, 0, nullptr, 0});
    return table;
}

// The statistics options depend on each other: a background or permutations are of use only
// in the table, and permutations draw from the foreground and background together.
void checkStatisticsOptions(const Args& args) {
    if (args.permutations > 0 && !args.hasBackground())
        dieUsage(
            "Error: --permutations needs --background: each permutation draws a foreground "
            "from the foreground and background genes together");
    if (!args.backgroundFile.empty() && args.statsFile.empty() && !args.tableInMemory)
        dieUsage("Error: --background needs --stats FILE, the table that compares the two");
    if (!args.backgroundRegionsFile.empty() && args.statsFile.empty() && !args.tableInMemory)
        dieUsage("Error: --background-regions needs --stats FILE, the table that compares the two");
    if (args.genomicRatio > 0 && args.statsFile.empty() && !args.tableInMemory)
        dieUsage("Error: --genomic-background needs --stats FILE, the table that compares the two");
}

// The controls: one kind of background at a time, and options only where they act.
void checkControlOptions(const Args& args) {
    if (args.program == "rekulo" && args.shuffledCopies > 0)
        dieUsage(
            "Error: rekulo takes no --shuffled-background: shuffling each species apart would "
            "break the conservation that rekulo's hits are chosen by");
    if (args.program == "rekulo" && args.matching())
        dieUsage(
            "Error: rekulo takes no --match: windows cut from ortholog groups are not aligned "
            "across species");
    if (args.shuffledCopies > 0 && !args.backgroundFile.empty())
        dieUsage(
            "Error: --shuffled-background and --background cannot be used together: the "
            "background is either shuffled copies or a file");
    if (args.shuffledCopies > 0 && args.statsFile.empty() && !args.tableInMemory)
        dieUsage(
            "Error: --shuffled-background needs --stats FILE, the table that compares the two");
    if (args.shuffleK > 0 && args.shuffledCopies == 0)
        dieUsage("Error: --shuffle-k needs --shuffled-background");
    if (args.matching() && args.backgroundFile.empty())
        dieUsage(
            "Error: --match needs --background POOL, the sequences to draw the background from");
    if (args.matchRatio > 0 && !args.matching()) dieUsage("Error: --match-ratio needs --match");
    if (!args.motifStatsFile.empty() && !args.hasBackground())
        dieUsage(
            "Error: --motif-stats needs a background (--background or --shuffled-background) "
            "to compare each motif with");
    if (!args.writeBackgroundFile.empty() && !args.hasBackground())
        dieUsage(
            "Error: --write-background needs a background (--background or "
            "--shuffled-background)");
}

// The genome inputs: regions come with their genome, and the genome's backgrounds with them.
void checkRegionOptions(const Args& args) {
    const bool any = !args.regionsFile.empty() || !args.genomeFile.empty() ||
                     !args.backgroundRegionsFile.empty() || args.genomicRatio > 0 ||
                     !args.excludeFile.empty();
    if (!any) return;
    if (args.program == "rekulo")
        dieUsage(
            "Error: rekulo takes no --regions, --genome or genomic background: it reads "
            "ortholog groups");
    if (args.regionsFile.empty())
        dieUsage(
            "Error: --genome, --background-regions, --genomic-background and --exclude need "
            "--regions FILE.bed, the regions to read from the genome");
    if (args.genomeFile.empty())
        dieUsage("Error: --regions needs --genome GENOME.fa, the genome the regions are read from");
    if (!args.excludeFile.empty() && args.genomicRatio == 0)
        dieUsage("Error: --exclude needs --genomic-background");
    const int kinds = !args.backgroundFile.empty() + (args.shuffledCopies > 0) +
                      !args.backgroundRegionsFile.empty() + (args.genomicRatio > 0);
    if (kinds > 1)
        dieUsage(
            "Error: one background at a time: --background, --shuffled-background, "
            "--background-regions or --genomic-background");
}

}  // namespace

namespace {

// One short option with its value, as the command line gives it: stored, then checked.
void applyShortOption(Args& args, char option, const char* value, const Texts& texts) {
    switch (option) {
        case 'h':
            exitAfterWriting(texts.help + "\n");
        case 'w':
            setIntOption('w', value, args.windowSize, "windowSize threshold should be >= zero");
            break;
        case 'g':
            setIntOption('g', value, args.geneNumber, "gene number threshold should be >= zero");
            // Every set of motifs is in at least 0 genes: the search would never end.
            if (args.geneNumber == 0)
                dieUsage(
                    "Error: -g 0 would report every set of motifs, since each is in at least "
                    "0 genes: give -g 1 or more");
            break;
        case 'o':
            setIntOption('o', value, args.overlapDistance,
                         "overlap distance threshold should be >= zero");
            break;
        case 'k':
            setIntOption('k', value, args.minMotifNumber,
                         "minimum motif number threshold should be >= zero");
            break;
        case 'm': {
            const double threshold = std::atof(value);
            args.scoreThreshold = static_cast<float>(threshold);
            args.pValueWritten = threshold < 1;
            checkScoreThreshold(threshold);
            warnOfReading('m', value, tostring(args.scoreThreshold), false);
            break;
        }
        case 'p':
            args.pseudocount = static_cast<float>(std::atof(value));
            if (!(args.pseudocount >= 0)) dieUsage("Pseudocount should be >= zero");
            // Four of them are summed in single precision with every matrix row.
            if (std::isinf(4 * args.pseudocount)) dieUsage("Pseudocount should be finite");
            warnOfReading('p', value, tostring(args.pseudocount), false);
            break;
        case 't':
            args.useTfName = true;
            break;
        case 'l':
            args.maskLowercase = true;
            break;
        default:
            dieUsage(texts.usage);
    }
}

const LongOption* longOption(const std::string& name) {
    for (const LongOption& entry : kLongOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

}  // namespace

bool Args::knows(const std::string& name) {
    return (name.size() == 1 && std::string("hwgmoktlp").find(name[0]) != std::string::npos) ||
           longOption(name) != nullptr;
}

bool Args::takesValue(const std::string& name) {
    if (name.size() == 1) return std::string("wgmokp").find(name[0]) != std::string::npos;
    const LongOption* entry = longOption(name);
    return entry && entry->hasArg == required_argument;
}

void Args::apply(const std::string& name, const std::string& value) {
    const Texts texts{usageText(), helpText()};
    if (name.size() == 1 && std::string("hwgmoktlp").find(name[0]) != std::string::npos) {
        applyShortOption(*this, name[0], value.c_str(), texts);
        return;
    }
    const LongOption* entry = longOption(name);
    if (entry == nullptr) dieUsage("Error: " + program + " has no option " + printable(name));
    entry->apply(*this, value.c_str(), texts);
}

void Args::Parse(int argc, char** argv) {
    // Taken before the option scanner moves the file arguments behind the options.
    commandLine = commandLineOf(argc, argv);
    const Texts texts{usageText(), helpText()};
    const std::vector<option> longOptions = longOptionTable();
    optind = 0;  // the scanner starts afresh for each command line
    int option;
    while ((option = getopt_long(argc, argv, "hw:g:m:o:k:tlp:", longOptions.data(), nullptr)) !=
           -1) {
        if (option < kLongBase)
            applyShortOption(*this, static_cast<char>(option), optarg, texts);
        else
            kLongOptions[option - kLongBase].apply(*this, optarg, texts);
    }
    if (optind >= argc) dieUsage(texts.usage);
    std::vector<std::string> files;
    for (int i = optind; i < argc && files.size() < 2; ++i) files.emplace_back(argv[i]);
    finish(files);
}

void Args::finish(const std::vector<std::string>& files) {
    if (files.empty()) dieUsage(usageText());
    motifFile = files[0];
    if (files.size() > 1) seqFile = files[1];
    if (!regionsFile.empty()) {
        if (!seqFile.empty())
            dieUsage(
                "Error: --regions takes the place of the sequence file: give the motif file "
                "alone");
        seqFile = regionsFile;  // the genes' file, as messages name it
    }
    if (threads == 0) threads = availableProcessors();
    if (motifFile == "-" && seqFile == "-")
        dieUsage("Error: only one of the two files can be standard input (-)");
    if (backgroundFile == "-" && (motifFile == "-" || seqFile == "-"))
        dieUsage("Error: only one of the files can be standard input (-)");
    checkRegionOptions(*this);
    checkControlOptions(*this);
    checkStatisticsOptions(*this);
    if (shuffleK == 0) shuffleK = 3;
    if (matchRatio == 0) matchRatio = 10;
}
