#include "hits/Backgrounds.hpp"

#include <cmath>

#include "common/Text.hpp"
#include "hits/MatchedBackground.hpp"
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
    return settings.backgroundFile == "-" ? "standard input" : printable(settings.backgroundFile);
}

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
               std::to_string(settings.shuffleK) + "-mer count";
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
        std::cerr << "Warning: the background matches " << withThousands(matched.genesMatched)
                  << " of " << withThousands(genes) << " foreground genes at ratio "
                  << settings.matchRatio;
        if (matched.longerThanPool > 0)
            std::cerr << " (" << withThousands(matched.longerThanPool)
                      << " longer than every pool sequence)";
        std::cerr << "\n";
    }
    const std::string poolName = backgroundName(settings);
    if (matched.windows.empty())
        die("Error: --match drew no window from " + poolName + " for any of the " +
            withThousands(genes) +
            " foreground genes (they are longer than the pool's sequences, or their GC bins "
            "are empty there): use --shuffled-background or a pool of longer sequences");
    const std::string what = withThousands(matched.windows.size()) + " windows matched to " +
                             withThousands(genes) + " genes (" + matchedProperties(options) +
                             ") from " + poolName;
    note = "# background: " + what + ", ratio " + std::to_string(settings.matchRatio);
    HitA background(drawn, progress, &foreground, std::move(matched.windows),
                    "Read: background of " + what);
    const SetComparison comparison = compareSets(foreground.shapes, background.shapes);
    progress.line("Read: median length " +
                  withThousands(std::llround(comparison.length.medianForeground)) + " vs " +
                  withThousands(std::llround(comparison.length.medianBackground)) +
                  " letters, median GC " + fixedDigits(comparison.gc.medianForeground, 3) + " vs " +
                  fixedDigits(comparison.gc.medianBackground, 3) + " (foreground vs background)");
    return background;
}
