// Command-line parsing, the usage text and the help text. Every option is one entry of
// kOptions: its texts (from which --help's long-option list, the manual page and the
// documentation tables are made) and its handler, which stores its value or ends the run.
// getopt_long scans the command line with the short-option string made from the table.
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
#include "common/OptionText.hpp"
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
)";

// --help's list of the long options, from the option table below.
std::string longOptionHelp();

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
           kHelpClosing + longOptionHelp();
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

// One option: how the texts describe it, and what it does with its value. A short option's
// handler is `applyShortOption`, which keeps the order of its checks and messages.
struct Option {
    OptionText text;
    void (*apply)(Args& args, const char* value, const Texts& texts);
};

void applyShortOption(Args& args, char option, const char* value, const Texts& texts);

const Option kOptions[] = {
    {{"h", "", "", "print the documentation and stop", "",
      "Print the documentation to standard output and stop."},
     nullptr},
    {{"w", "N", "200", "window: the largest span of an instance", "",
      "Window: the largest span of a module instance, from the start of its first hit to the "
      "end of its last; also the window of a motif pair."},
     nullptr},
    {{"g", "N", "15", "least number of genes holding a module", "",
      "Least number of genes in which a motif pair or a module must occur. 0 is refused: "
      "every set of motifs is in at least 0 genes."},
     nullptr},
    {{"m", "X", "5",
      "score cutoff of every motif, or, below 1, a p-value turned into a cutoff per motif", "",
      "A window's score is the log-odds, in natural logarithms, of the matrix's frequencies "
      "(with the pseudocount) against the base composition, summed over its positions, on "
      "each strand. With *X* of 1 or more, the score cutoff of every motif. Below 1 (as "
      "written: `0.99999999` is a p-value, though it rounds to 1 in single precision), *X* is "
      "a p-value: each motif's cutoff is read off a random background sample of 50/*X* "
      "letters (1,000,000 for 0) drawn from the base composition, so that it varies slightly "
      "from run to run unless `--seed` fixes the sample. Values below 5e-07 are refused."},
     nullptr},
    {{"o", "N", "4", "overlap distance", "",
      "Overlap distance: two hits whose starts differ by less than *N* overlap, and only the "
      "better one stays. 0 is refused: hits at the same start would all stay, and similar "
      "matrices sharing one site would make modules of that site alone."},
     nullptr},
    {{"k", "N", "3", "least number of motifs in a module", "",
      "Least number of distinct motifs in a reported module; a motif enters the search only "
      "with at least *N* frequent partners (pairs in `-g` genes or more)."},
     nullptr},
    {{"t", "", "", "name motifs by their factor names", "",
      "Name motifs by their transcription-factor name (the second title field) instead of "
      "their index label. Matrices that share a name then act as one factor: their hits are "
      "one motif's hits, so a module lists factors, not matrices."},
     nullptr},
    {{"l", "", "", "mask lower case", "",
      "Mask lowercase letters: they neither match motifs nor count in the background "
      "composition."},
     nullptr},
    {{"p", "X", "0.375", "pseudocount", "",
      "Pseudocount added to every matrix entry and to every background base count. It is "
      "meant for counts: for matrices of probabilities (every row sums to 1, as HOMER and "
      "CIS-BP write them) a `Warning:` line asks for a value near 0, such as `-p 0.01`.\n\n"
      "The values of the short options are read as atoi and atof read them (`-w 12abc` is 12); "
      "a value with no number in it, or a fraction for a count, is read so but said in a "
      "`Warning:` line. Negative values and values outside the 32-bit range are refused."},
     nullptr},
    {{"help", "", "", "as `-h`", "print this documentation and stop (as -h)", "As `-h`."},
     [](Args&, const char*, const Texts& texts) { exitAfterWriting(texts.help + "\n"); }},
    {{"version", "", "", "print the program's name and version",
      "print the program's name and version and stop",
      "Print the program's name and version and stop."},
     [](Args& args, const char*, const Texts&) { exitAfterWriting(args.versionText() + "\n"); }},
    {{"quiet", "", "", "no progress lines",
      "write no progress lines; errors, warnings and the line that says why no module was "
      "found still appear",
      "Write no progress lines (`Read:`, `Score cutoff of`, `Random seed`, `motifHit for "
      "gene`, `Gene`, `motif i of n`, `number of paired motifs left`, `Done:`); errors and "
      "warnings still go to standard error, and so does the line that says why a run found no "
      "module. The report is unchanged."},
     [](Args& args, const char*, const Texts&) { args.quiet = true; }},
    {{"progress", "all|summary", "all", "which progress lines to write",
      "all (the default) writes every progress line; summary only those that sum a run up: "
      "Read:, Random seed:, Done: and No module lines (warnings and errors always appear)",
      "Which progress lines to write: `all` (the default), or `summary`: only the lines that "
      "sum a run up (`Read:`, `Random seed:`, `Done:` and the `No module:` line), without the "
      "lines per gene, per motif and per permutation batch. Warnings and errors always "
      "appear; `--quiet` writes none."},
     [](Args& args, const char* value, const Texts&) {
         const std::string what = value;
         if (what != "all" && what != "summary")
             dieUsage("Error: --progress takes all or summary, not " + what);
         args.progressSummary = what == "summary";
     }},
    {{"seed", "N", "the time", "seed of every random draw",
      "seed of every random draw of the run (the background sample for -m below 1, a drawn "
      "background, the permutations), from 0 to 4294967295 (default: the time in seconds, "
      "shown on standard error as \"Random seed: N\" so that a run can be repeated)",
      "Seed of every random draw of the run: the background sample for `-m` below 1, a drawn "
      "background and the permutations; from 0 to 4294967295. The same input, options and "
      "seed give the same bytes on every run and machine. Without it the seed is the time in "
      "seconds; it is shown on standard error as `Random seed: N` so that any run can be "
      "repeated."},
     [](Args& args, const char* value, const Texts&) {
         uint32_t seed = 0;
         if (!parseUnsigned32(value, seed))
             dieUsage(std::string("Error: --seed takes a whole number from 0 to 4294967295, not ") +
                      value);
         args.seed = seed;
     }},
    {{"exact-cutoffs", "", "",
      "p-value cutoffs from the exact score distribution, without a sample",
      "with -m below 1, compute each motif's cutoff from its exact score distribution under "
      "the background composition instead of a random sample: the same on every run",
      "With `-m` below 1, compute each motif's cutoff from its exact score distribution under "
      "the background composition (forward and reverse windows half each) instead of a random "
      "sample: the smallest achievable score above which a random window scores with "
      "probability at most the p-value. No random numbers are drawn, and every run gives the "
      "same cutoffs."},
     [](Args& args, const char*, const Texts&) { args.exactCutoffs = true; }},
    {{"homer-cutoffs", "", "", "the score cutoffs a HOMER motif file lists, in place of `-m`",
      "score each motif against the log-odds cutoff its HOMER motif file lists (the third "
      "field of its title), in place of -m",
      "Take each motif's score cutoff from its HOMER motif file (the log-odds cutoff, the third "
      "field of its title line) in place of `-m`. HOMER scores against even base frequencies "
      "and rekul against the composition of the sequences, so the cutoff means the same where "
      "that composition is near even; HOMER's rows hold no zeros, so `-p 0` scores with its "
      "probabilities as they are. Refused for a motif file that lists no cutoffs."},
     [](Args& args, const char*, const Texts&) { args.homerCutoffs = true; }},
    {{"threads", "N", "every processor", "threads to run on",
      "threads to run on (default: every processor the process may use); the output is the "
      "same for every N",
      "Threads to run on (default: every processor the process may use): cutoffs by motif, "
      "scanning by gene, pair counting by gene and the module search by subtree of each root "
      "motif. The report and every progress line are the same for any number."},
     [](Args& args, const char* value, const Texts&) {
         uint32_t threads = 0;
         if (!parseUnsigned32(value, threads) || threads < 1 || threads > 4096)
             dieUsage(std::string("Error: --threads takes a whole number from 1 to 4096, not ") +
                      value);
         args.threads = static_cast<int32_t>(threads);
     }},
    {{"stats", "FILE", "", "the statistics table of the reported modules",
      "write a statistics table of the reported modules to FILE: genes, background genes, "
      "fold enrichment, p, nominal E and q values, fwer, fdr and p_vs_parts; the report is "
      "unchanged",
      "Write a tab-separated statistics table of the reported modules to *FILE*, one row per "
      "module in report order (M1, M2, ...): module, motifs, motif_count, instances, genes, "
      "genes_total, probability, background_genes, background_total, fold_enrichment, "
      "p_value, e_value, q_value, fwer, fdr, p_vs_parts and fdr_exact, then `#` lines with "
      "the program, "
      "command line, random seed, test, number of tests T and number of permutations; with a "
      "background also what it is, the medians, means and Mann-Whitney test of length and GC "
      "in both sets, and the pooled scoring. The report is unchanged.\n\n"
      "E is p times T, the number of candidate modules the search tested; q is the "
      "Benjamini-Hochberg value over T tests. Both are nominal: they correct for the modules "
      "tested, not for the search that picked them, and fwer and fdr are the values that "
      "account for it. fdr, with permutations, is the smallest over observed p' >= p of the "
      "mean number of modules a permutation finds with p <= p', divided by the number of "
      "observed modules with p <= p', capped at 1; fdr_exact is 1 where that value is exact "
      "and 0 where it is a lower limit (see `--permutation-method`). No fwer or fdr is below "
      "1/(N+1), the floor of N permutations. p_vs_parts, with a background, is the "
      "largest one-sided Fisher p of the module among the genes that hold each of its parts "
      "of one motif fewer (foreground against background): small only when every motif adds "
      "to the rest. Without a background the p-value is the report's probability."},
     [](Args& args, const char* value, const Texts&) {
         args.statsFile = outputPath("--stats", value);
     }},
    {{"background", "FILE", "", "background genes",
      "background genes (a file of the same kind as the sequence file), scanned with the same "
      "motif tables and cutoffs; with it the p-value is a one-sided Fisher exact test of "
      "foreground vs background genes (needs --stats). With a background, motifs are scored "
      "against the composition of foreground and background together, so that a gene scores "
      "the same in either set",
      "Background genes, in a file of the same kind as the sequence file (FASTA for rekul, "
      "ortholog groups for rekulo), scanned with the same motif tables and cutoffs. With any "
      "background, the base composition and the `-m` p-value cutoffs come from foreground and "
      "background genes together, so that a gene scores the same whichever set it is in; the "
      "report is that of the pooled composition. A background gene named like a foreground "
      "gene is left out, with a warning. The p-value is then the one-sided Fisher exact test "
      "that the module is over-represented among the foreground genes. Where the two sets "
      "differ in median length by more than 10 % or in mean GC by more than 0.02 (or a "
      "Mann-Whitney test on either gives p < 0.001), a warning names the difference: longer "
      "or GC-richer genes hold more modules by chance. Needs `--stats`."},
     [](Args& args, const char* value, const Texts&) { args.backgroundFile = value; }},
    {{"min-gene-share", "X", "", "`-g` as a share of the genes",
      "-g as a share of the genes, above 0 and at most 1: a module must occur in at least "
      "that share of them (not with -g)",
      "`-g` as a share of the genes: a motif pair or a module must occur in at least the "
      "share *X* of the genes (above 0, at most 1), rounded up to a whole number of genes, so "
      "that one threshold fits 20 genes or 20,000. A `Read:` line gives the `-g` it makes. "
      "Not with `-g`."},
     [](Args& args, const char* value, const Texts&) {
         double share = 0;
         if (!parseDouble(value, share) || !(share > 0 && share <= 1))
             dieUsage(std::string("Error: --min-gene-share takes a number above 0 and at most "
                                  "1, not ") +
                      value);
         args.minGeneShare = share;
     }},
    {{"permutations", "N", "", "permutations for fwer and fdr",
      "permute foreground and background genes N times for the family-wise error rate (fwer) "
      "of Westfall and Young and the false discovery rate (fdr); 0 for none (needs a "
      "background; --seed repeats it; Ctrl-C stops them and keeps those done)",
      "Draw *N* pseudo-foregrounds of the foreground's size from foreground and background "
      "genes together, find the modules the search finds on each, and report the family-wise "
      "adjusted p-value of Westfall and Young (fwer): the share of permutations whose "
      "smallest p is at most the module's, counted as (1 + that number) / (N + 1). This "
      "accounts for the module having been picked because it is frequent. The same "
      "permutations give fdr. A progress line on standard error says how many are done; "
      "SIGINT or SIGTERM stops them, writes the table of those done (its `#` lines say the "
      "run was interrupted) and ends with status 130 or 143. `--permutations 0` runs none. "
      "Needs a background; `--seed` repeats it."},
     [](Args& args, const char* value, const Texts&) {
         uint32_t count = 0;
         if (!parseUnsigned32(value, count) || count > 1000000)
             dieUsage(
                 std::string("Error: --permutations takes a whole number from 0 to 1000000, not ") +
                 value);
         args.permutations = static_cast<int32_t>(count);
     }},
    {{"permutation-method", "pool|search", "pool",
      "permutations from one enumeration or one search each",
      "pool (the default) finds the modules of every permutation in one enumeration over "
      "foreground and background together; search repeats the search for each one. Both give "
      "the same fwer",
      "How the permutations find their modules. `pool` (the default) enumerates the motif "
      "sets once over foreground and background genes together and counts each set's genes in "
      "every permutation at once, 1,024 permutations at a time, cutting branches that no "
      "permutation can use; `search` repeats the whole search for each permutation. Both give "
      "the same smallest p in every permutation, so the same fwer. With `pool` the "
      "permutations' p-values are counted only as far as the fdr needs: the table's `#` line "
      "says below which value the fdr is exact; values from there up are lower limits."},
     [](Args& args, const char* value, const Texts&) {
         const std::string method = value;
         if (method != "pool" && method != "search")
             dieUsage("Error: --permutation-method takes pool or search, not " + method);
         args.permutationMethod =
             method == "pool" ? PermutationMethod::Pool : PermutationMethod::Search;
     }},
    {{"permutation-shard", "K/N", "", "run the K-th of N slices of the permutations",
      "run only the K-th of N equal slices of the permutations and write, at the --stats "
      "path, a shard file of their minima and p-values; rekul-report --merge-permutations "
      "joins the N shard files into the table one run of them all writes (needs --seed)",
      "Run only the *K*-th of *N* slices of the `--permutations` (permutations "
      "floor((K-1)P/N) to floor(KP/N)-1 of P, each drawn as in a whole run) and write at the "
      "`--stats` path, in place of the table, a shard file: the table's rows, each "
      "permutation's smallest p and the permuted p-values the fdr needs. `rekul-report "
      "--merge-permutations` joins the *N* shard files of one seed into exactly the table "
      "that one run of all the permutations writes (but for its `# command` line), so that "
      "the permutations can run on *N* machines. Needs `--seed`, `--permutations` and "
      "`--stats`; 1 <= K <= N <= the number of permutations."},
     [](Args& args, const char* value, const Texts&) {
         const std::string text = value;
         const size_t slash = text.find('/');
         uint32_t index = 0, count = 0;
         if (slash == std::string::npos || !parseUnsigned32(text.substr(0, slash).c_str(), index) ||
             !parseUnsigned32(text.substr(slash + 1).c_str(), count) || index < 1 ||
             index > count || count > 1000000)
             dieUsage("Error: --permutation-shard takes K/N with 1 <= K <= N, not " + text);
         args.shardIndex = static_cast<int32_t>(index);
         args.shardCount = static_cast<int32_t>(count);
     }},
    {{"unique", "", "", "keep one gene of each distinct sequence",
      "keep only the first gene of each distinct sequence, in the sequence file and the "
      "background alike",
      "Keep only the first gene of each distinct sequence, in the sequence file and the "
      "background alike. Without it, genes that repeat an earlier gene's sequence are only "
      "named in a warning."},
     [](Args& args, const char*, const Texts&) { args.uniqueSequences = true; }},
    {{"shuffled-background", "N", "", "N shuffled copies of each gene, keeping k-mer counts",
      "the background is N shuffled copies of every foreground gene, each keeping the counts "
      "of every k-mer (rekul)",
      "The background is *N* shuffled copies of every foreground gene (GENE_shuf1, ...), each "
      "drawn uniformly among the sequences that keep the counts of every k-mer of the gene; "
      "the first and last k-1 letters, N, other symbols and letters masked by `-l` stay in "
      "place. Length and composition match by construction. Not with `--background`; needs "
      "`--stats`; refused by rekulo."},
     [](Args& args, const char* value, const Texts&) {
         args.shuffledCopies = boundedCount("--shuffled-background", value, 1, 1000);
     }},
    {{"shuffle-k", "K", "3", "the k-mers a shuffled copy keeps",
      "the k-mers a shuffled copy keeps, 1 to 6 (default 3)",
      "The k-mers a shuffled copy keeps, from 1 to 6."},
     [](Args& args, const char* value, const Texts&) {
         args.shuffleK = boundedCount("--shuffle-k", value, 1, 6);
     }},
    {{"match", "length,gc", "", "windows of a pool matched to each gene",
      "with --background POOL: draw the background from the pool, for each foreground gene "
      "windows of its length and GC bin; --match length or --match gc matches one of the two "
      "(rekul)",
      "With `--background` *POOL*: draw the background from the pool instead of taking it "
      "whole: for each foreground gene of length L, `--match-ratio` windows of length L cut "
      "at random places of pool sequences, whose GC falls in the gene's bin (edges 0.20, "
      "0.25, 0.30, 0.35, 0.40, 0.45, 0.50, 0.60, 0.70, 0.80). Windows with more than 70 % N "
      "or masked letters, and windows that overlap or repeat an earlier one, are not taken. "
      "`length` alone matches lengths at any GC; `gc` alone takes whole pool sequences of the "
      "gene's bin. A warning says how many genes could not be given all their windows. "
      "Refused by rekulo."},
     [](Args& args, const char* value, const Texts&) {
         const std::string what = value;
         args.matchLength = what == "length,gc" || what == "gc,length" || what == "length";
         args.matchGc = what == "length,gc" || what == "gc,length" || what == "gc";
         if (!args.matching())
             dieUsage("Error: --match takes length,gc, length or gc, not " + what);
     }},
    {{"match-ratio", "R", "10", "background windows per foreground gene",
      "background windows per foreground gene (default 10)",
      "Background windows per foreground gene."},
     [](Args& args, const char* value, const Texts&) {
         args.matchRatio = boundedCount("--match-ratio", value, 1, 10000);
     }},
    {{"stratify", "length,gc", "", "the test within strata of length and GC",
      "test each module within strata of length and GC (or length or gc alone): the exact "
      "stratified test of foreground against background genes of the same kind, and "
      "permutations within strata (needs a real background, not shuffled copies)",
      "Test each module within strata of length and GC (`length` or `gc` alone: one of the "
      "two), conditioning on the confounder instead of throwing background away. Every gene "
      "of both sets falls in a stratum: its GC bin (the bins of `--match`) and its length bin "
      "(`--length-strata` bins at the quantiles of the pooled lengths). A stratum without a "
      "foreground or without a background gene carries no information and is left out, with "
      "a warning that counts its genes; where no stratum holds both, the run is refused. With "
      "n_s foreground genes of N_s in stratum s, m_s of which hold the module, the foreground "
      "holders are X = sum_s X_s, each X_s hypergeometric (N_s, m_s, n_s), and p = P(X >= "
      "observed), computed exactly by convolving the strata's distributions (the exact "
      "conditional form of the Cochran-Mantel-Haenszel test); with one stratum it is Fisher's "
      "test. Permutations draw the labels within each stratum, each keeping its foreground "
      "count, and cut branches by the smallest p a module can still reach, prod_s C(n_s, "
      "c_s) / C(N_s, c_s) for c_s holders drawn in stratum s. The table's `#` lines name the "
      "test and each stratum; p_value, e_value, q_value, fwer, fdr, p_vs_parts and "
      "`--motif-stats` are those of the stratified test. Needs `--background`, "
      "`--background-regions` or `--genomic-background`; refused with `--shuffled-background`."},
     [](Args& args, const char* value, const Texts&) {
         const std::string what = value;
         args.stratifyLength = what == "length,gc" || what == "gc,length" || what == "length";
         args.stratifyGc = what == "length,gc" || what == "gc,length" || what == "gc";
         if (!args.stratifying())
             dieUsage("Error: --stratify takes length,gc, length or gc, not " + what);
     }},
    {{"length-strata", "N", "10", "length bins of `--stratify`",
      "length bins of --stratify, at the quantiles of the pooled lengths (default 10)",
      "Length bins of `--stratify`, from 1 to 100, at the quantiles of the pooled lengths. "
      "Coarse bins leave length to differ within them: on real DNA with foreground pieces of "
      "2.5-6 kb against background pieces of 1-4 kb, 4 bins let 5 of 40 null datasets through "
      "at fwer <= 0.05, 10 bins 1 of 40."},
     [](Args& args, const char* value, const Texts&) {
         args.lengthStrata = boundedCount("--length-strata", value, 1, 100);
     }},
    {{"write-background", "FILE", "", "the background used, as FASTA",
      "write the background used to FILE as FASTA",
      "Write the background that was used (the file after `--unique`, the shuffled copies, "
      "or the matched windows named POOLGENE:start-end, 0-based with the end excluded) to "
      "*FILE* as FASTA."},
     [](Args& args, const char* value, const Texts&) {
         args.writeBackgroundFile = outputPath("--write-background", value);
     }},
    {{"regions", "FILE.bed", "", "the genes are regions of an indexed genome",
      "the genes are the regions of a BED file (BED3 to BED6+), read from --genome in place "
      "of a sequence file; each is named NAME::CHROM:START-END(STRAND), as bedtools getfasta "
      "-name -s names it (rekul)",
      "The genes are the intervals of a BED file (BED3 to BED6 and more columns; track, "
      "browser, # and empty lines skipped; 0-based starts, ends excluded), read from "
      "`--genome` in place of the sequence file. Each gene is named "
      "NAME::CHROM:START-END(STRAND), as bedtools getfasta -name -s names it: NAME is the BED "
      "name where no other line has it, else CHROM:START-END; STRAND is the sixth column, "
      "empty without one. A region on the minus strand is read reverse-complemented. A "
      "malformed line, a start not below its end, a chromosome the genome lacks, an interval "
      "past its chromosome's end and a region given twice are refused with the file and line. "
      "Refused by rekulo."},
     [](Args& args, const char* value, const Texts&) { args.regionsFile = value; }},
    {{"summits", "W", "", "each region as the W letters about its summit",
      "each region of --regions as the W letters centred on its summit (narrowPeak's column "
      "10, or --summit-column)",
      "Each region of `--regions` becomes the *W* letters centred on its summit, from the "
      "summit less W/2 (rounded down) on, as a narrowPeak file gives it: the summit's offset "
      "from the region's start in column 10 (or the column of `--summit-column`). A window "
      "that runs past a chromosome's end is cut there, and a `Read:` line counts them; a "
      "summit that is not an offset within its region (narrowPeak's -1: no summit called) is "
      "refused with the file and line. The regions are named by their windows."},
     [](Args& args, const char* value, const Texts&) {
         args.summitWidth = boundedCount("--summits", value, 1, 1000000);
     }},
    {{"summit-column", "N", "10", "the column of `--summits`",
      "the column (1-based) of --summits' summit offsets (default 10, narrowPeak's)",
      "The column (1-based) that holds each region's summit, as an offset from its start, for "
      "a BED file with a summit column that is not narrowPeak's tenth."},
     [](Args& args, const char* value, const Texts&) {
         args.summitColumn = boundedCount("--summit-column", value, 1, 1000);
     }},
    {{"top", "N", "", "only the N regions of highest signal",
      "keep the N regions of --regions of highest signal (narrowPeak's column 7), highest "
      "first",
      "Keep the *N* regions of `--regions` of highest signal (narrowPeak's signalValue, column "
      "7), in the order of their signal, highest first (ties in file order); a signal that is "
      "not a number is refused with the file and line. A `Read:` line says how many of how "
      "many were kept."},
     [](Args& args, const char* value, const Texts&) {
         args.topRegions = boundedCount("--top", value, 1, 100000000);
     }},
    {{"genome", "GENOME.fa", "", "the genome of `--regions`",
      "the genome of --regions: FASTA, plain or bgzip-compressed, read through its faidx "
      "index (built where missing)",
      "The genome of `--regions`: FASTA, plain or bgzip-compressed, read through its faidx "
      "index, which is built beside it when missing (for this run alone, with a warning, "
      "where its folder is not writable or the index is older than the genome or does not "
      "fit it)."},
     [](Args& args, const char* value, const Texts&) { args.genomeFile = value; }},
    {{"background-regions", "FILE.bed", "", "a background of regions of the same genome",
      "a background of regions of the same genome",
      "A background of regions of the same genome. Needs `--stats`."},
     [](Args& args, const char* value, const Texts&) { args.backgroundRegionsFile = value; }},
    {{"genomic-background", "R", "",
      "R genome windows per region, matched in length and GC, outside every region",
      "a background of R windows of the genome for each region: its length, its GC bin, "
      "outside every region",
      "A background drawn from the genome: for each region, R windows of its length whose GC "
      "falls in its GC bin, outside every region and every interval of `--exclude`, with at "
      "most 70 % N or masked letters, each window once; chromosomes are drawn in proportion "
      "to their length, and `--seed` repeats the draw. A warning says how many regions could "
      "not be given all their windows. Needs `--stats`."},
     [](Args& args, const char* value, const Texts&) {
         args.genomicRatio = boundedCount("--genomic-background", value, 1, 1000);
     }},
    {{"exclude", "FILE.bed", "", "intervals no genomic window touches",
      "intervals no window of --genomic-background may touch",
      "Intervals that no window of `--genomic-background` may touch, such as a blacklist or "
      "assembly gaps; chromosomes the genome lacks are ignored."},
     [](Args& args, const char* value, const Texts&) { args.excludeFile = value; }},
    {{"sites", "FILE.bed", "", "the hits are the sites of a BED file, not a scan",
      "the hits are the sites of a BED file (motif in column 4, score in 5, strand in 6) on "
      "the genes named in column 1, or in genome coordinates with --regions; no motif file "
      "(rekul)",
      "The hits are the binding sites of a BED file, from another scanner (FIMO, HOMER), "
      "footprints or ChIP peaks of many factors, in place of a scan: column 4 names the "
      "motif, column 5 is the score (kept to two decimals toward zero, as a scan's; `.` or "
      "none counts 1; a site of score 0 is dropped by overlap removal, with a warning) and "
      "column 6 the strand (`.` or none counts +). A site belongs to the gene named like its "
      "column 1 (a site past the gene's end is refused with its line), or with `--regions` "
      "to every region (and genome window) it lies within, turned onto the region's strand. "
      "Overlap removal and everything after are as for a scan; the motifs are the names in "
      "column 4, and no motif file is given: `rekul --sites sites.bed genes.fa`, or `rekul "
      "--sites sites.bed --regions peaks.bed --genome genome.fa`. A background reads its "
      "sites from the same file unless `--background-sites` gives its own. Refused by "
      "rekulo, and with `--shuffled-background`, `--match`, `--exact-cutoffs`, "
      "`--homer-cutoffs` and -t, which act on a scan."},
     [](Args& args, const char* value, const Texts&) { args.sitesFile = value; }},
    {{"background-sites", "FILE.bed", "", "with `--sites`: the background's own sites",
      "with --sites: the sites of the background's genes, in place of the --sites file",
      "With `--sites`: the sites of the background's genes (of `--background`, "
      "`--background-regions` or `--genomic-background`), read as `--sites` reads its own, "
      "in place of the `--sites` file."},
     [](Args& args, const char* value, const Texts&) { args.backgroundSitesFile = value; }},
    {{"motif-stats", "FILE", "", "the single-motif baseline",
      "write the single-motif baseline to FILE: each motif's foreground and background genes, "
      "fold enrichment, Fisher p, q over all motifs and, with --permutations, fwer (needs a "
      "background)",
      "Write the single-motif baseline to *FILE*: one row per motif with its label, the "
      "foreground and background genes with a hit of it, fold enrichment, the one-sided "
      "Fisher p, the Benjamini-Hochberg q over all motifs and, with permutations, the "
      "Westfall-Young fwer over motifs from the same draws, then hits_scanned and hits_kept: "
      "the foreground's hits of the motif above its cutoff and those overlap removal keeps. "
      "Overlap removal works across motifs, so a short matrix can lose every site to longer "
      "ones that score better there; a `Warning:` line counts such motifs in every run. Needs "
      "a background."},
     [](Args& args, const char* value, const Texts&) {
         args.motifStatsFile = outputPath("--motif-stats", value);
     }},
    {{"grammar", "FILE", "", "the arrangement of each module's motifs, tested",
      "write to FILE each reported module's most frequent order, strands and spacings of its "
      "motifs, and their helical phase, each with a p-value and fwer against instances whose "
      "sites trade motifs and strands at random",
      "Write to *FILE* the arrangement of each reported module, over one instance per gene "
      "(the first the report prints): the most frequent left-to-right order of its motifs "
      "(`order`), strand pattern relative to the module's first motif (`strands`), distance "
      "between the starts of each pair whose sites do not overlap (`spacing`, in bins of "
      "`--grammar-bin`, with median and interquartile range) and share of those distances "
      "within 2 letters of a multiple of 10.5 (`phase`). A stretch of DNA given twice (regions "
      "that overlap, on either strand) counts once. Each row's p-value is the share of null "
      "draws whose most frequent value is as frequent (or whose share is as large), counted "
      "as (1 + that number) / (N + 1); the null keeps every site's position and width and "
      "redraws which motif sits at which site and each site's strand. fwer is Westfall and "
      "Young's over every row of the table, on each row's null tail worked out from the "
      "dealing. `#` lines say what was tested. Columns and the null are in docs/manual.md."},
     [](Args& args, const char* value, const Texts&) {
         args.grammarFile = outputPath("--grammar", value);
     }},
    {{"grammar-bin", "B", "1", "spacing bin of `--grammar`, in letters",
      "the bin of --grammar's spacings in letters (default 1)",
      "The bin of `--grammar`'s spacings, from 1 to 1000 letters: a spacing's value is the "
      "lower edge of its bin."},
     [](Args& args, const char* value, const Texts&) {
         args.grammarBin = boundedCount("--grammar-bin", value, 1, 1000);
     }},
    {{"grammar-permutations", "N", "1000", "null draws of `--grammar`",
      "null draws of --grammar (default 1000; --seed repeats them)",
      "Null draws of `--grammar`, from 1 to 1000000; `--seed` repeats them."},
     [](Args& args, const char* value, const Texts&) {
         args.grammarPermutations = boundedCount("--grammar-permutations", value, 1, 1000000);
     }},
};

bool isShort(const Option& entry) {
    return entry.text.name[1] == 0;
}

std::vector<OptionText> optionTexts(bool shortOnes) {
    std::vector<OptionText> texts;
    for (const Option& entry : kOptions)
        if (shortOnes || !isShort(entry)) texts.push_back(entry.text);
    return texts;
}

std::string longOptionHelp() {
    return helpList(optionTexts(false));
}

}  // namespace

std::vector<OptionText> programOptionTexts() {
    return optionTexts(true);
}

namespace {

// getopt_long's tables: the short options' string ("hw:g:m:o:k:tlp:") and the long options,
// each returning kLongBase plus its index in kOptions.
constexpr int kLongBase = 256;

std::string shortOptionString() {
    std::string letters;
    for (const Option& entry : kOptions)
        if (isShort(entry))
            letters += std::string(entry.text.name) + (*entry.text.value ? ":" : "");
    return letters;
}

std::vector<option> longOptionTable() {
    std::vector<option> table;
    for (size_t i = 0; i < std::size(kOptions); ++i)
        if (!isShort(kOptions[i]))
            table.push_back({kOptions[i].text.name,
                             *kOptions[i].text.value ? required_argument : no_argument, nullptr,
                             kLongBase + static_cast<int>(i)});
    table.push_back({nullptr, 0, nullptr, 0});
    return table;
}

// The statistics options depend on each other: a background or permutations are of use only
// in the table, and permutations draw from the foreground and background together.
void checkStatisticsOptions(const Args& args) {
    // rekul-scan's background gives its fdr and held-out counts, not a table.
    if (args.program == "rekul-scan") return;
    if (args.permutations > 0 && !args.hasBackground())
        dieUsage(
            "Error: --permutations needs --background: each permutation draws a foreground "
            "from the foreground and background genes together");
    if (args.shardCount > 0) {
        if (args.permutations == 0 || args.statsFile.empty())
            dieUsage(
                "Error: --permutation-shard needs --permutations and --stats FILE, where the "
                "shard file is written");
        if (!args.seed)
            dieUsage(
                "Error: --permutation-shard needs --seed: the shards of one table draw from "
                "one seed");
        if (args.shardCount > args.permutations)
            dieUsage("Error: --permutation-shard " + std::to_string(args.shardIndex) + "/" +
                     std::to_string(args.shardCount) + " splits " +
                     std::to_string(args.permutations) +
                     " permutations into more shards than there are permutations");
        if (!args.motifStatsFile.empty())
            dieUsage(
                "Error: --permutation-shard writes no --motif-stats: the single-motif table "
                "needs every permutation; run it once without shards");
    }
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
    if (args.stratifying() && args.shuffledCopies > 0)
        dieUsage(
            "Error: --stratify needs genomic DNA to compare with: shuffled copies share the "
            "foreground's lengths and composition by construction; give --background, "
            "--background-regions or --genomic-background");
    if (args.stratifying() && !args.hasBackground())
        dieUsage(
            "Error: --stratify needs a background (--background, --background-regions or "
            "--genomic-background) to compare within strata");
    if (args.lengthStrata > 0 && !args.stratifyLength)
        dieUsage("Error: --length-strata needs --stratify length or length,gc");
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
// Sites take the place of the motif file and of the scan: the options of a scan, and the
// backgrounds made of new sequences, do not go with them.
void checkSiteOptions(const Args& args, const std::vector<std::string>& files) {
    if (args.program == "rekulo")
        dieUsage(
            "Error: rekulo takes no --sites: its hits are chosen by conservation, which needs "
            "the scan of every species");
    if (files.size() > (args.regionsFile.empty() ? 1u : 0u))
        dieUsage(
            "Error: --sites takes the place of the motif file: give the sequence file alone "
            "(none with --regions)");
    if (args.shuffledCopies > 0 || args.matching())
        dieUsage(
            "Error: --sites cannot be used with --shuffled-background or --match: the sites "
            "lie on the genes, not on new sequences made from them");
    if (args.exactCutoffs || args.homerCutoffs || args.useTfName)
        dieUsage("Error: --exact-cutoffs, --homer-cutoffs and -t act on a scan: --sites has none");
}

void checkRegionOptions(const Args& args) {
    if (args.summitColumn > 0 && args.summitWidth == 0)
        dieUsage("Error: --summit-column names the column of --summits: it needs --summits W");
    const bool any = !args.regionsFile.empty() || !args.genomeFile.empty() ||
                     !args.backgroundRegionsFile.empty() || args.genomicRatio > 0 ||
                     !args.excludeFile.empty() || args.summitWidth > 0 || args.topRegions > 0;
    if (!any) return;
    if (args.program == "rekulo")
        dieUsage(
            "Error: rekulo takes no --regions, --genome or genomic background: it reads "
            "ortholog groups");
    if (args.regionsFile.empty())
        dieUsage(
            "Error: --genome, --background-regions, --genomic-background, --exclude, --summits "
            "and --top need --regions FILE.bed, the regions to read from the genome");
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
            args.geneNumberGiven = true;
            // Every set of motifs is in at least 0 genes: the search would never end.
            if (args.geneNumber == 0)
                dieUsage(
                    "Error: -g 0 would report every set of motifs, since each is in at least "
                    "0 genes: give -g 1 or more");
            break;
        case 'o':
            setIntOption('o', value, args.overlapDistance,
                         "overlap distance threshold should be >= zero");
            // At 0 no two hits overlap, not even two at the same start: matrices that share a
            // site (a family of similar ones, or both strands of a palindrome) make modules of
            // one site, every set of them in every gene that holds it.
            if (args.overlapDistance == 0)
                dieUsage(
                    "Error: -o 0 keeps hits that start at the same letter, so that similar "
                    "matrices sharing one site make modules of that site alone: give -o 1 or "
                    "more");
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

const Option* optionNamed(const std::string& name) {
    for (const Option& entry : kOptions)
        if (name == entry.text.name) return &entry;
    return nullptr;
}

}  // namespace

bool Args::knows(const std::string& name) {
    return optionNamed(name) != nullptr;
}

bool Args::takesValue(const std::string& name) {
    const Option* entry = optionNamed(name);
    return entry && *entry->text.value;
}

void Args::apply(const std::string& name, const std::string& value) {
    const Texts texts{usageText(), helpText()};
    const Option* entry = optionNamed(name);
    if (entry == nullptr) dieUsage("Error: " + program + " has no option " + printable(name));
    if (isShort(*entry))
        applyShortOption(*this, name[0], value.c_str(), texts);
    else
        entry->apply(*this, value.c_str(), texts);
}

void Args::Parse(int argc, char** argv) {
    // Taken before the option scanner moves the file arguments behind the options.
    commandLine = commandLineOf(argc, argv);
    const Texts texts{usageText(), helpText()};
    const std::vector<option> longOptions = longOptionTable();
    optind = 0;  // the scanner starts afresh for each command line
    int option;
    const std::string letters = shortOptionString();
    while ((option = getopt_long(argc, argv, letters.c_str(), longOptions.data(), nullptr)) != -1) {
        if (option < kLongBase)
            applyShortOption(*this, static_cast<char>(option), optarg, texts);
        else
            kOptions[option - kLongBase].apply(*this, optarg, texts);
    }
    const bool noFiles = !sitesFile.empty() && !regionsFile.empty();
    if (optind >= argc && !noFiles) dieUsage(texts.usage);
    std::vector<std::string> files;
    for (int i = optind; i < argc && files.size() < 2; ++i) files.emplace_back(argv[i]);
    finish(files);
}

int32_t geneNumberOfShare(double share, size_t genes) {
    // The product is rounded up, less a hair so that 0.5 of 20 genes is 10, not 11.
    const double wanted = std::ceil(share * static_cast<double>(genes) - 1e-9);
    return std::max<int32_t>(1, static_cast<int32_t>(std::min<double>(wanted, INT32_MAX)));
}

void Args::finish(const std::vector<std::string>& files) {
    if (!sitesFile.empty()) {
        checkSiteOptions(*this, files);
        if (!files.empty()) seqFile = files[0];
    } else {
        if (files.empty()) dieUsage(usageText());
        motifFile = files[0];
        if (files.size() > 1) seqFile = files[1];
    }
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
    if (minGeneShare > 0 && geneNumberGiven)
        dieUsage(
            "Error: --min-gene-share and -g cannot be used together: both set the least "
            "number of genes");
    if (!backgroundSitesFile.empty() && sitesFile.empty())
        dieUsage("Error: --background-sites gives the background's sites: it needs --sites");
    if (!backgroundSitesFile.empty() && !hasBackground())
        dieUsage("Error: --background-sites needs a background of genes, regions or windows");
    checkRegionOptions(*this);
    checkControlOptions(*this);
    checkStatisticsOptions(*this);
    if (shuffleK == 0) shuffleK = 3;
    if (matchRatio == 0) matchRatio = 10;
    if (lengthStrata == 0) lengthStrata = 10;
    if ((grammarBin > 0 || grammarPermutations > 0) && grammarFile.empty() && !grammarInMemory)
        dieUsage("Error: --grammar-bin and --grammar-permutations need --grammar");
    if (grammarBin == 0) grammarBin = 1;
    if (grammarPermutations == 0) grammarPermutations = 1000;
}
