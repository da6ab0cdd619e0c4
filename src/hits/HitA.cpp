// Sequence file of rekul: a '>' title line starts each gene (the first line is a title
// whatever it holds); the lines up to the next title are joined unchanged into its sequence.
#include "hits/HitA.hpp"

#include <iostream>

#include "common/Log.hpp"
#include "common/die.hpp"

HitA::HitA(Args settings, MotifA& motifs, Progress progress, const HitStage* foreground)
    : HitStage(settings, progress, foreground) {
    ReadSeq();
    scan(motifs);
}

HitA::HitA(Args settings, Progress progress, const HitStage* foreground,
           std::optional<std::vector<Seq>> genes, std::string readLine)
    : HitStage(settings, progress, foreground) {
    readLine_ = std::move(readLine);
    if (!genes) {
        ReadSeq();
        return;
    }
    seqs = std::move(*genes);
    for (Seq& gene : seqs) takeSequence(gene.name, gene.seq);
    settleGenes(
        seqs, [](const Seq& gene) { return std::vector<std::string_view>{gene.seq}; }, false);
    setBackground();
}

void HitA::scan(MotifA& motifs, const HitStage* pooledWith) {
    scanAndRelease(motifs, pooledWith, seqs, [&] {
        SeqMotifHit(motifs);
        // The letters around each site, while they are at hand, for the grammar.
        if (keepSiteContexts_ && seqHits.size() == seqs.size())
            for (size_t g = 0; g < seqs.size(); ++g) hashSiteContexts(g, seqs[g].seq);
    });
    // Overlap removal across motifs gives the sites of short matrices to longer ones that
    // score better there; a motif left without any hit can be in no module, and says so.
    if (!foreground_) {
        const std::string vanished = vanishedMotifsWarning(motifNames, hitsScanned, hitsKept);
        if (!vanished.empty()) warn(vanished);
    }
}

void HitA::ReadSeq() {
    SeqEntries entries(seqFile, program_);
    std::string name, line;
    bool warned = false;
    while (entries.nextEntry(name)) {
        Seq gene{name, ""};
        while (entries.nextLine(line)) {
            if (!warned && !line.empty() && line[0] == '<') {
                warn(entries.displayName() +
                     " has lines starting with '<': ortholog groups are read by rekulo");
                warned = true;
            }
            // Refused as soon as it passes the limit, not once all of it is in memory.
            checkSequenceLength(gene.name, gene.seq.size() + line.size());
            gene.seq += line;
        }
        takeSequence(gene.name, gene.seq);
        seqs.push_back(std::move(gene));
    }
    settleGenes(
        seqs, [](const Seq& gene) { return std::vector<std::string_view>{gene.seq}; }, false);
    setBackground();
}

void HitA::SeqMotifHit(MotifA&) {
    scanGenes(seqs, [this](const Seq& gene) {
        return SeqHit{gene.name, static_cast<int32_t>(gene.seq.size()), scanSequence(gene.seq)};
    });
}
