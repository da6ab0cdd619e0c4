// Ortholog sequence file: a '>' title line starts each group, a '<' line starts each species
// sequence and following lines continue it. Lines before the first '<' form a species text of
// their own; an empty species text is dropped unless it ends the group.
#include "hits/HitAO.hpp"

#include <algorithm>

#include "common/die.hpp"
#include "hits/PairScan.hpp"

HitAO::HitAO(Args settings, MotifA& motifs, Progress progress, const HitStage* foreground)
    : HitStage(settings, progress, foreground),
      minMotifNumber(settings.minMotifNumber),
      windowSize(settings.windowSize) {
    ReadSeq();
    scan(motifs);
}

HitAO::HitAO(Args settings, Progress progress, const HitStage* foreground)
    : HitStage(settings, progress, foreground),
      minMotifNumber(settings.minMotifNumber),
      windowSize(settings.windowSize) {
    ReadSeq();
}

void HitAO::scan(MotifA& motifs, const HitStage* pooledWith) {
    scanAndRelease(motifs, pooledWith, seqs, [&] {
        SeqMotifHit(motifs);
        // The letters around each reference site, for the grammar.
        if (keepSiteContexts_ && seqHits.size() == seqs.size())
            for (size_t g = 0; g < seqs.size(); ++g) hashSiteContexts(g, seqs[g].species.front());
    });
}

void HitAO::ReadSeq() {
    SeqEntries entries(seqFile, program_);
    std::string name, line;
    while (entries.nextEntry(name)) {
        std::vector<std::string> body;
        size_t letters = 0;  // of the species being read, refused as soon as it is too long
        while (entries.nextLine(line)) {
            const bool starts = !line.empty() && line[0] == '<';
            letters = starts ? line.size() - 1 : letters + line.size();
            checkSequenceLength(name, letters);
            body.push_back(line);
        }
        SeqO group{name, splitSpecies(body)};
        for (std::string& species : group.species) takeSequence(group.name, species);
        seqs.push_back(std::move(group));
    }
    settleGenes(
        seqs,
        [](const SeqO& group) {
            return std::vector<std::string_view>(group.species.begin(), group.species.end());
        },
        true);
    setBackground();
}

void HitAO::SeqMotifHit(MotifA&) {
    scanGenes(seqs, [this](const SeqO& group) {
        std::vector<SeqHit> speciesHits;
        for (const std::string& species : group.species)
            speciesHits.push_back(
                {"", static_cast<int32_t>(species.size()), scanSequence(species)});
        return SeqHit{group.name, static_cast<int32_t>(group.species.front().size()),
                      FindHitArray(speciesHits)};
    });
}

std::vector<MHit> HitAO::FindHitArray(const std::vector<SeqHit>& speciesHits) const {
    return conservedHits(speciesHits, windowSize, minMotifNumber);
}

std::vector<MHit> conservedHits(const std::vector<SeqHit>& speciesHits, int32_t windowSize,
                                int32_t minMotifNumber) {
    const std::vector<MHit>& reference = speciesHits.front().hits;
    if (speciesHits.size() == 1) return reference;
    std::vector<std::vector<uint64_t>> keysOfSpecies;
    for (size_t i = 1; i < speciesHits.size(); ++i)
        keysOfSpecies.push_back(distinctPairKeys(speciesHits[i].hits, windowSize));
    auto inEverySpecies = [&](uint64_t key) {
        return std::all_of(keysOfSpecies.begin(), keysOfSpecies.end(), [&](const auto& keys) {
            return std::binary_search(keys.begin(), keys.end(), key);
        });
    };
    std::vector<int64_t> conservedPairs(reference.size(), 0);
    forEachPair(reference, windowSize, [&](size_t a, size_t b) {
        if (!inEverySpecies(CompName(reference[a].motif, reference[b].motif))) return;
        ++conservedPairs[a];
        ++conservedPairs[b];
    });
    std::vector<MHit> kept;
    for (size_t i = 0; i < reference.size(); ++i)
        if (conservedPairs[i] >= static_cast<int64_t>(minMotifNumber) - 1)
            kept.push_back(reference[i]);
    return kept;
}
