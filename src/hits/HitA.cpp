// Sequence file of rekul: a '>' title line starts each gene (the first line is a title
// whatever it holds); the lines up to the next title are joined unchanged into its sequence.
#include "hits/HitA.hpp"

#include <iostream>

#include "common/Log.hpp"
#include "common/die.hpp"
#include "hits/Sites.hpp"

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
    if (!sitesFile_.empty()) {
        takeSites(motifs);
        return;
    }
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

void HitA::takeSites(const MotifA& motifs) {
    SiteCounts counts;
    const MotifNames names = motifs.nameTable();
    std::vector<std::vector<MHit>> sites = readSites(sitesFile_, names, seqs, counts);
    progress_.line(
        "Read: " + withThousands(counts.placed) + " sites from " + printable(sitesFile_) + " on " +
        withThousands(static_cast<int64_t>(seqs.size())) + (foreground_ ? " background" : "") +
        " genes (" + withThousands(counts.elsewhere) + " of " + withThousands(counts.read) +
        " sites on none of them)");
    if (counts.zeroScore > 0)
        warn(withThousands(counts.zeroScore) + " sites of " + printable(sitesFile_) +
             " score 0, which overlap removal drops as it drops a hit of score 0; give them a "
             "score (or \".\", which counts 1)");
    motifNames = names.names;
    scanned_ = std::make_unique<std::atomic<int64_t>[]>(motifNames.size());
    for (const std::vector<MHit>& gene : sites)
        for (const MHit& hit : gene) scanned_[hit.motif].fetch_add(1, std::memory_order_relaxed);
    scanGenes(seqs, [&](const Seq& gene) {
        const auto g = static_cast<size_t>(&gene - seqs.data());
        return SeqHit{gene.name, static_cast<int32_t>(gene.seq.size()),
                      thinSites(std::move(sites[g]))};
    });
    countHits();
    if (keepSiteContexts_)
        for (size_t g = 0; g < seqs.size(); ++g) hashSiteContexts(g, seqs[g].seq);
    dropTexts();
    seqs.clear();
    seqs.shrink_to_fit();
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
