// The backgrounds: a file read as a second gene set, shuffled copies, matched pool windows or
// genome regions and windows, each scored together with the foreground (one composition, one
// set of cutoffs) and described in a line for the table's notes.
#include "hits/Backgrounds.hpp"

#include <cmath>

#include "common/Log.hpp"
#include "common/Text.hpp"
#include "hits/Genome.hpp"
#include "hits/GenomicBackground.hpp"
#include "hits/MatchedBackground.hpp"
#include "hits/Regions.hpp"
#include "hits/Shuffle.hpp"

// Genes as FASTA, 60 letters a line; ortholog groups with a '<' line before each species.
void writeGenes(std::ostream& out, const std::vector<Seq>& genes) {
    for (const Seq& gene : genes) {
        out << '>' << gene.name << '\n';
        for (size_t at = 0; at < gene.seq.size(); at += 60) out << gene.seq.substr(at, 60) << '\n';
    }
}

void writeGenes(std::ostream& out, const std::vector<SeqO>& groups) {
    for (const SeqO& group : groups) {
        out << '>' << group.name << '\n';
        for (const std::string& species : group.species) out << '<' << species << '\n';
    }
}

std::string backgroundName(const Args& settings) {
    const std::string& file = !settings.backgroundRegionsFile.empty()
                                  ? settings.backgroundRegionsFile
                                  : settings.backgroundFile;
    return file == "-" ? "standard input" : printable(file);
}

namespace {

// The progress line that compares the medians of a drawn background with the foreground's.
void tellMedians(const HitStage& foreground, const HitStage& background, Progress progress) {
    const SetComparison comparison = compareSets(foreground.shapes, background.shapes);
    progress.line("Read: median length " +
                  withThousands(std::llround(comparison.length.medianForeground)) + " vs " +
                  withThousands(std::llround(comparison.length.medianBackground)) +
                  " letters, median GC " + fixedDigits(comparison.gc.medianForeground, 3) + " vs " +
                  fixedDigits(comparison.gc.medianBackground, 3) + " (foreground vs background)");
}

// Windows of the genome matched to the regions, away from them and from --exclude.
HitA genomeWindows(const Args& settings, const Genome& genome, const std::vector<Region>& regions,
                   const HitA& foreground, Progress progress, std::string& note) {
    IntervalSet excluded(genome.chromosomes());
    for (const Region& region : regions) excluded.add(region.chromIndex, region.start, region.end);
    if (!settings.excludeFile.empty())
        for (const Region& region : readExcluded(settings.excludeFile, genome))
            excluded.add(region.chromIndex, region.start, region.end);
    excluded.settle();
    const GenomicOptions options{settings.genomicRatio, *settings.seed, settings.maskLowercase};
    GenomicBackground drawn = genomicBackground(genome, foreground.seqs, excluded, options);
    const auto genes = static_cast<int64_t>(foreground.seqs.size());
    if (drawn.regionsMatched < genes)
        warn("the genomic background matches " + withThousands(drawn.regionsMatched) + " of " +
             withThousands(genes) + " regions at ratio " + std::to_string(settings.genomicRatio) +
             " (the genome outside the regions holds too few windows of their length and GC)");
    if (drawn.windows.empty())
        die("Error: --genomic-background drew no window from the genome " +
            printable(genome.path()) + " for any of the " + withThousands(genes) +
            " regions: the genome outside them is too small, or masked");
    const std::string what = withThousands(drawn.windows.size()) + " windows of the genome " +
                             printable(genome.path()) + " matched to " + withThousands(genes) +
                             " regions (length, GC)";
    note = "# background: " + what + ", ratio " + std::to_string(settings.genomicRatio);
    Args windows = settings;
    windows.seqFile = settings.genomeFile;
    HitA background(windows, progress, &foreground, std::move(drawn.windows),
                    "Read: background of " + what);
    tellMedians(foreground, background, progress);
    return background;
}

// Real DNA always differs from random letters of the same k-mer counts (repeats, runs of
// low complexity, clustered sites), so that shuffles flag modules of any real sequence.
constexpr const char* kShuffleCaveat =
    "shuffled copies test against random sequence with the foreground's k-mer counts, not "
    "against genomic DNA: real DNA differs from them anywhere; for a control of genomic DNA "
    "use --stratify length,gc with a real background, --match length,gc or "
    "--genomic-background";

}  // namespace

// The background drawn for rekul: shuffled copies of the foreground, or windows of the pool
// matched to it. Its line for the statistics table goes to `note`.
HitA drawnBackground(const Args& settings, const HitA& foreground, Progress progress,
                     std::string& note) {
    Args drawn = settings;
    const uint32_t seed = *settings.seed;
    if (settings.shuffledCopies > 0) {
        drawn.seqFile = settings.seqFile + " (shuffled)";
        std::vector<Seq> copies = shuffledCopies(foreground.seqs, settings.shuffledCopies,
                                                 settings.shuffleK, seed, settings.threads);
        note = "# background: " + std::to_string(settings.shuffledCopies) +
               " shuffled copies of each foreground gene, keeping every " +
               std::to_string(settings.shuffleK) + "-mer count\n# " + kShuffleCaveat;
        warn(kShuffleCaveat);
        const std::string line = "Read: background of " + withThousands(copies.size()) +
                                 " shuffled copies of " + withThousands(foreground.seqs.size()) +
                                 " genes (" + std::to_string(settings.shuffleK) +
                                 "-mer counts kept)";
        return HitA(drawn, progress, &foreground, std::move(copies), line);
    }
    drawn.seqFile = settings.backgroundFile;
    const HitA pool(drawn, progress, &foreground);
    const MatchOptions options{settings.matchLength, settings.matchGc, settings.matchRatio, seed};
    MatchedBackground matched = matchBackground(pool.seqs, foreground.seqs, options);
    const auto genes = static_cast<int64_t>(foreground.seqs.size());
    if (matched.genesMatched < genes) {
        warn("the background matches " + withThousands(matched.genesMatched) + " of " +
             withThousands(genes) + " foreground genes at ratio " +
             std::to_string(settings.matchRatio) +
             (matched.longerThanPool > 0 ? " (" + withThousands(matched.longerThanPool) +
                                               " longer than every pool sequence)"
                                         : ""));
    }
    const std::string poolName = backgroundName(settings);
    if (matched.windows.empty())
        die("Error: --match drew no window from " + poolName + " for any of the " +
            withThousands(genes) +
            " foreground genes (they are longer than the pool's sequences, or their GC bins "
            "are empty there): use a pool of longer sequences, or --genomic-background on the "
            "genome");
    const std::string what = withThousands(matched.windows.size()) + " windows matched to " +
                             withThousands(genes) + " genes (" + matchedProperties(options) +
                             ") from " + poolName;
    note = "# background: " + what + ", ratio " + std::to_string(settings.matchRatio);
    HitA background(drawn, progress, &foreground, std::move(matched.windows),
                    "Read: background of " + what);
    tellMedians(foreground, background, progress);
    return background;
}

HitStages<HitA> regionStages(const Args& settings, MotifA& motifs, Progress progress) {
    const Genome genome(settings.genomeFile);
    SummitSettings summits;
    summits.width = settings.summitWidth;
    summits.column = settings.summitColumn > 0 ? settings.summitColumn : 10;
    summits.top = settings.topRegions;
    SummitCounts counts;
    const std::vector<Region> regions = readRegions(settings.regionsFile, genome, summits, &counts);
    const std::string file = printable(settings.regionsFile);
    if (summits.top > 0)
        progress.line("Read: the " + withThousands(static_cast<int64_t>(regions.size())) +
                      " regions of highest signal (column 7) of " + withThousands(counts.read) +
                      " in " + file);
    if (counts.clipped > 0)
        progress.line("Read: " + withThousands(counts.clipped) + " windows of --summits " +
                      std::to_string(summits.width) + " cut at a chromosome end");
    HitStages<HitA> stages;
    stages.foreground.emplace(settings, progress, nullptr, regionGenes(regions, genome));
    HitA& foreground = *stages.foreground;
    if (!settings.hasBackground()) {
        foreground.scan(motifs);
        return stages;
    }
    if (!settings.backgroundRegionsFile.empty()) {
        Args other = settings;
        other.seqFile = settings.backgroundRegionsFile;
        const std::vector<Region> background = readRegions(settings.backgroundRegionsFile, genome);
        stages.background.emplace(other, progress, &foreground, regionGenes(background, genome));
        stages.notes.push_back("# background: regions " + backgroundName(settings) +
                               " of the genome " + printable(settings.genomeFile));
    } else if (settings.genomicRatio > 0) {
        std::string note;
        stages.background.emplace(
            genomeWindows(settings, genome, regions, foreground, progress, note));
        stages.notes.push_back(note);
    } else {
        readBackground(settings, stages, progress);
    }
    scanTogether(settings, stages, motifs);
    return stages;
}
