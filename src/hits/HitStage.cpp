#include "hits/HitStage.hpp"

#include <algorithm>
#include <ctime>

#include "common/Parallel.hpp"
#include "common/die.hpp"
#include "motif/Cutoff.hpp"
#include "motif/ExactCutoff.hpp"

HitStage::HitStage(const Args& settings, Progress progress)
    : seqFile(settings.seqFile),
      scoreThreshold(settings.scoreThreshold),
      pseudocount(settings.pseudocount),
      overlapDistance(settings.overlapDistance),
      maskLowercase(settings.maskLowercase),
      baseFreq(4, 0.0f),
      progress_(progress),
      program_(settings.program),
      seed_(settings.seed),
      exactCutoffs_(settings.exactCutoffs),
      threads_(std::max(1, settings.threads)) {}

void HitStage::takeSequence(const std::string& name, std::string& text) {
    checkSequenceLength(name, text.size());
    text.shrink_to_fit();  // text grown line by line holds up to twice its length
    if (!maskLowercase) upperCase(text);
    counts_.add(text);
}

void HitStage::setBackground() {
    auto freq = counts_.frequencies(pseudocount);
    baseFreq.assign(freq.begin(), freq.end());
}

void HitStage::MotifScore(MotifA& motifs) {
    buildTables(motifs);
    const float t = scoreThreshold;
    if (t >= 1) {
        for (Motif& motif : motifs.motifs) motif.cutoff = t;
        return;
    }
    std::vector<uint8_t> sample;
    if (!exactCutoffs_) sample = drawSample(motifs);
    // Motifs in parallel over the one shared sample; their lines in library order.
    orderedParallelFor(
        motifs.motifs.size(), threads_,
        [&](size_t m) {
            motifs.motifs[m].cutoff = exactCutoffs_ ? exactCutoff(tables_[m], baseFreq.data(), t)
                                                    : sampleCutoff(tables_[m], sample, t);
        },
        [&](size_t m) {
            const Motif& motif = motifs.motifs[m];
            progress_.line("Score cutoff of " + motif.name + ": " + tostring(motif.cutoff));
        });
}

std::vector<uint8_t> HitStage::drawSample(const MotifA& motifs) const {
    const int64_t n = sampleLength(scoreThreshold);
    for (const Motif& motif : motifs.motifs)
        if (motif.length > n)
            die("Error: motif " + motif.name + " is longer than the background sample (" +
                std::to_string(n) + " letters)");
    // Without --seed the seed is the time in seconds; either way it is shown, so that the
    // run can be repeated.
    const uint32_t seed = seed_ ? *seed_ : static_cast<uint32_t>(std::time(nullptr));
    progress_.line("Random seed: " + std::to_string(seed));
    return FreqToSeq(baseFreq.data(), n, seed);
}

void HitStage::buildTables(const MotifA& motifs) {
    MotifNames table = motifs.nameTable();
    motifNames = std::move(table.names);
    idOfMotif_ = std::move(table.idOfMotif);
    for (const Motif& motif : motifs.motifs) tables_.emplace_back(motif, baseFreq.data());
}

void HitStage::readCutoffs(const MotifA& motifs) {
    for (size_t m = 0; m < motifs.motifs.size(); ++m) {
        cutoffs_.push_back(motifs.motifs[m].cutoff);
        filters_.emplace_back(tables_[m], cutoffs_[m]);
    }
}

void appendMotifHits(const MotifTable& table, const WindowFilter& filter, float cutoff,
                     int32_t motifId, const SequenceCodes& sequence, std::vector<MHit>& hits,
                     std::vector<int32_t>& starts) {
    const int64_t width = table.width(), count = sequence.size() - width + 1;
    if (count <= 0) return;
    starts.resize(static_cast<size_t>(count));
    const size_t passed = filter.candidates(sequence.kmers.data(), count, starts.data());
    for (size_t k = 0; k < passed; ++k) {
        const int64_t q = starts[k];
        if (!sequence.allBases(q, width)) continue;
        float forward, reverse;
        table.score(sequence.codes.data() + q, forward, reverse);
        const auto start = static_cast<int32_t>(q), end = static_cast<int32_t>(q + width - 1);
        if (forward > cutoff) hits.push_back({motifId, start, end, '+', truncateScore(forward)});
        if (reverse > cutoff) hits.push_back({motifId, start, end, '-', truncateScore(reverse)});
    }
}

std::vector<MHit> HitStage::scanSequence(const std::string& text) const {
    const SequenceCodes sequence(text);
    std::vector<MHit> hits;
    std::vector<int32_t> starts;
    for (size_t m = 0; m < tables_.size(); ++m)
        appendMotifHits(tables_[m], filters_[m], cutoffs_[m], idOfMotif_[m], sequence, hits,
                        starts);
    // Motif-major collection; a stable sort by start restores scan order (start, motif, strand).
    std::stable_sort(hits.begin(), hits.end(), CompHitPos);
    if (hits.size() > 1) hits = delHitOverlap(std::move(hits), overlapDistance);
    hits.shrink_to_fit();  // the lists of all genes stay in memory until the run ends
    return hits;
}
