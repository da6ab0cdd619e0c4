// Command-line parsing, the usage text and the help text.
#include "common/Args.hpp"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iostream>

#include "common/die.hpp"

namespace {

const char* const kHelpIntro =
    R"(Rekul is a program for finding recurrent motif modules. The user needs to
specify a list of motifs (short sequence patterns), the program will then
look for recurrent motif modules in the sequence.

rekul requires two inputs:  a  file  of  motifs and a file DNA  sequences
in  the  standard  FASTA  format. Any  non-alphabetic  characters  in the
sequences  are ignored,  and  any alphabetic characters except A, C, G, T
(uppercase or lowercase) are converted to 'n' and forbidden from matching
motifs.

The motif file should contain matrices in the following format:

>motifName1 annotation(such as V$NFE2_01	chick human mouse)
2 2 0 5
2 0 7 0
1 8 0 0
0 0 0 9
0 0 9 0
9 0 0 0
0 3 6 0
>motifName2 V$COMP1_01	mouse
1.1 1.7 1.5 3.2
2.0 2.1 3.3 0.1
1.8 1.2 1.4 4.1
(etc.)

The rows of each matrix  correspond to  successive positions of the motif,
from 5' to 3', and the columns indicate the frequencies of A, C, G, and T,
respectively, in each position.  These  frequencies  are  usually obtained
from alignments of protein-binding sites.


The sequence file have two different format, corresponding to the two
different programms, rekul and rekulo, respectively.

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
speci, and the following are its ortholog sequences in other pecies.

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
)";

}  // namespace

Args::Args(int argc, char** argv) {
    Parse(argc, argv);
}

std::string Args::usageText() const {
    return "Usage: rekul [options] motifFile seqFile.fa\n"
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
           "   0<=m<=1: m is probability. Rekul will compute the score cutoff\n"
           "            corresponding to this p-value for each motif (default=0.0001)\n"
           "   m>1:     m is score cutoff. The score cutoff of all motifs equal to m\n"
           "            (default=5).\n"
           "-o Overlap distance threshold (default = " +
           tostring(overlapDistance) +
           ")\n"
           "-k Miminum motif number threshold (default = " +
           tostring(minMotifNumber) +
           ")\n"
           "-t Represent motif by TF name like CREB_01 (default by index like M00039)\n"
           "-l Mask lowercase letters (default= false)\n"
           "-p Pseudocount (default = " +
           tostring(pseudocount) + ")\n";
}

std::string Args::helpText() const {
    return std::string(kHelpIntro) +
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
           "   0<=m<=1: m  is  probability.  Rekul   will   compute  the  score c utoff\n"
           "            corresponding to this p-value  for each motif (default=0.0001).\n"
           "   m>1:     m  is  score  cutoff. The score cutoff of all motifs equal to m\n"
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
           "   line like this: >M00039 V$CREB_01\n"
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
           "Example usage: rekul -w 200 -g 10 -m 5 -l test.motifs test.seqs.fa\n"
           "\n" +
           kHelpClosing;
}

bool parseIntOption(const char* text, int32_t& value) {
    errno = 0;
    char* end = nullptr;
    long long wide = std::strtoll(text, &end, 10);
    if (errno == ERANGE || wide < INT32_MIN || wide > INT32_MAX) return false;
    value = static_cast<int32_t>(wide);
    return true;
}

namespace {

// Stores an integer option value; refuses one out of range or below zero.
void setIntOption(char option, const char* text, int32_t& field, const char* negativeMessage) {
    if (!parseIntOption(text, field))
        die(std::string("-") + option + " value out of range: " + text);
    if (field < 0) die(negativeMessage);
}

// The smallest p-value accepted: its background sample of 50 / t letters is 100,000,000
// letters long (a few more for the float nearest 5e-7).
constexpr float kMinPValue = 5e-7f;

void checkScoreThreshold(float threshold) {
    if (!(threshold >= 0)) die("motif score threshold should be >= zero");  // NaN too
    if (threshold > 0 && threshold < kMinPValue)
        die("motif score threshold p-value must be >= 5e-07");
}

}  // namespace

void Args::Parse(int argc, char** argv) {
    const std::string usage = usageText();
    const std::string help = helpText();
    int option;
    while ((option = getopt(argc, argv, "hw:g:m:o:k:tlp:")) != -1) {
        switch (option) {
            case 'h':
                std::cout << help << std::endl;
                std::exit(0);
            case 'w':
                setIntOption('w', optarg, windowSize, "windowSize threshold should be >= zero");
                break;
            case 'g':
                setIntOption('g', optarg, geneNumber, "gene number threshold should be >= zero");
                break;
            case 'o':
                setIntOption('o', optarg, overlapDistance,
                             "overlap distance threshold should be >= zero");
                break;
            case 'k':
                setIntOption('k', optarg, minMotifNumber,
                             "minimum motif number threshold should be >= zero");
                break;
            case 'm':
                scoreThreshold = static_cast<float>(std::atof(optarg));
                checkScoreThreshold(scoreThreshold);
                break;
            case 'p':
                pseudocount = static_cast<float>(std::atof(optarg));
                if (!(pseudocount >= 0)) die("Pseudocount should be >= zero");
                break;
            case 't':
                useTfName = true;
                break;
            case 'l':
                maskLowercase = true;
                break;
            default:
                die(usage);
        }
    }
    if (optind >= argc) die(usage);
    motifFile = argv[optind];
    if (optind + 1 < argc) seqFile = argv[optind + 1];
}
