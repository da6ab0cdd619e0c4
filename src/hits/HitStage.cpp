// The scan shared by both hit stages: for each start, the motifs of each shared-prefix block
// decided by one table lookup, the rest by their own filters and bounds, survivors scored exactly,
// then overlap removal per chunk of starts.
#include "hits/HitStage.hpp"

#include <algorithm>
#include <ctime>
#include <iostream>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "common/Log.hpp"
#include "common/Parallel.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"
#include "hits/Genome.hpp"
#include "motif/Cutoff.hpp"
#include "motif/ExactCutoff.hpp"

HitStage::HitStage(const Args& settings, Progress progress, const HitStage* foreground)
    : seqFile(settings.seqFile),
      scoreThreshold(settings.scoreThreshold),
      pValueCutoff(settings.pValueCutoff()),
      pseudocount(settings.pseudocount),
      overlapDistance(settings.overlapDistance),
      maskLowercase(settings.maskLowercase),
      baseFreq(4, 0.0f),
      progress_(progress),
      foreground_(foreground),
      uniqueSequences_(settings.uniqueSequences),
      program_(settings.program),
      seed_(settings.seed),
      exactCutoffs_(settings.exactCutoffs),
      homerCutoffs_(settings.homerCutoffs),
      seedShown_(settings.seedShown),
      threads_(std::max(1, settings.threads)) {
    // A background takes its own site file where given, else the foreground's.
    sitesFile_ = foreground && !settings.backgroundSitesFile.empty() ? settings.backgroundSitesFile
                                                                     : settings.sitesFile;
    keepSiteContexts_ = !foreground && (!settings.grammarFile.empty() || settings.grammarInMemory);
}

namespace {

uint64_t fnv1a(std::string_view letters) {
    uint64_t hash = 14695981039346656037ull;
    for (char c : letters) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

}  // namespace

void HitStage::hashSiteContexts(size_t g, std::string_view text) {
    if (siteContexts.size() <= g) siteContexts.resize(g + 1);
    std::vector<uint64_t>& out = siteContexts[g];
    out.clear();
    const auto length = static_cast<int64_t>(text.size());
    for (const MHit& hit : seqHits[g].hits) {
        const int64_t from = std::max<int64_t>(0, int64_t{hit.start} - kContextFlank);
        const int64_t to = std::min<int64_t>(length, int64_t{hit.end} + 1 + kContextFlank);
        const std::string_view letters =
            text.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
        // The smaller of the two strands' hashes: a region given as the reverse complement
        // of another (the upstream regions of two genes that face away from each other)
        // holds the same stretch of DNA.
        out.push_back(std::min(fnv1a(letters), fnv1a(reverseComplement(std::string(letters)))));
    }
}

HitStage::HitStage(const HitStage& like, std::vector<SeqHit> genes)
    : seqFile(like.seqFile),
      scoreThreshold(like.scoreThreshold),
      pValueCutoff(like.pValueCutoff),
      pseudocount(like.pseudocount),
      overlapDistance(like.overlapDistance),
      maskLowercase(like.maskLowercase),
      baseFreq(like.baseFreq),
      seqHits(std::move(genes)),
      motifNames(like.motifNames),
      progress_(Progress::silent()),
      foreground_(nullptr),
      uniqueSequences_(like.uniqueSequences_),
      program_(like.program_),
      exactCutoffs_(like.exactCutoffs_),
      seedShown_(true),
      threads_(1) {}

void HitStage::takeSequence(const std::string& name, std::string& text) {
    checkSequenceLength(name, text.size());
    text.shrink_to_fit();  // text grown line by line holds up to twice its length
    if (!maskLowercase) upperCase(text);
}

namespace {

size_t hashTexts(const std::vector<std::string_view>& texts) {
    size_t hash = texts.size();
    for (std::string_view text : texts)
        hash = hash * 1000003u ^ std::hash<std::string_view>{}(text);
    return hash;
}

}  // namespace

void HitStage::describeGenes(const std::vector<const std::string*>& names,
                             const std::vector<std::vector<std::string_view>>& texts,
                             bool groups) const {
    const std::string file = seqFile == "-" ? "standard input" : printable(seqFile);
    int64_t letters = 0, sequences = 0, textLike = 0, masked = 0, nonEmpty = 0;
    const std::string *firstText = nullptr, *firstMasked = nullptr;
    for (size_t g = 0; g < names.size(); ++g) {
        SequenceLetters counts;
        for (std::string_view text : texts[g]) counts.add(text);
        letters += counts.total;
        sequences += static_cast<int64_t>(texts[g].size());
        if (counts.total == 0) continue;
        ++nonEmpty;
        if (counts.looksLikeText() && textLike++ == 0) firstText = names[g];
        if (maskLowercase && counts.upper == 0 && masked++ == 0) firstMasked = names[g];
    }
    if (textLike > 0)
        warn("gene " + printable(*firstText) + " looks like protein or text, not DNA (" +
             withThousands(textLike) + " of " + withThousands(nonEmpty) + " genes of " + file +
             " do)");
    if (masked > 0)
        warn("-l masked every letter of " + withThousands(masked) + " of " +
             withThousands(nonEmpty) + " genes (first: " + printable(*firstMasked) + ")" +
             (masked == nonEmpty ? "; the file is lower case" : ""));
    if (!readLine_.empty()) return progress_.line(readLine_);
    progress_.line("Read: " + withThousands(static_cast<int64_t>(names.size())) +
                   (groups ? " groups, " + withThousands(sequences) + " species sequences, "
                           : std::string(" genes, ")) +
                   withThousands(letters) + " letters from " + file);
}

namespace {

// "genes" or "groups", and the background's form of it, for warnings.
std::string units(bool groups, int64_t count) {
    return withThousands(count) + (groups ? " groups" : " genes");
}

bool holdsABase(const std::vector<std::string_view>& texts) {
    return std::any_of(texts.begin(), texts.end(), [](std::string_view text) {
        return text.find_first_of("ACGTacgt") != std::string_view::npos;
    });
}

}  // namespace

void HitStage::dropBackgroundMisfits(const std::vector<const std::string*>& names,
                                     const std::vector<std::vector<std::string_view>>& texts,
                                     bool groups, std::vector<char>& keep) const {
    std::unordered_set<std::string_view> foregroundNames;
    for (const std::string& name : foreground_->geneNames_) foregroundNames.insert(name);
    std::unordered_multimap<size_t, size_t> foregroundOfHash;
    for (size_t g = 0; g < foreground_->keptTexts_.size(); ++g)
        foregroundOfHash.emplace(hashTexts(foreground_->keptTexts_[g]), g);
    int64_t shared = 0, empty = 0, repeats = 0;
    std::string firstShared, firstEmpty, firstRepeat;
    for (size_t g = 0; g < names.size(); ++g) {
        if (foregroundNames.count(*names[g])) {
            keep[g] = 0;
            if (shared++ == 0) firstShared = *names[g];
            continue;
        }
        if (!holdsABase(texts[g])) {
            keep[g] = 0;
            if (empty++ == 0) firstEmpty = *names[g];
            continue;
        }
        auto [from, to] = foregroundOfHash.equal_range(hashTexts(texts[g]));
        const auto same = std::find_if(from, to, [&](const auto& entry) {
            return foreground_->keptTexts_[entry.second] == texts[g];
        });
        if (same == to) continue;
        if (repeats++ == 0)
            firstRepeat = *names[g] + " repeats " + foreground_->geneNames_[same->second];
        if (uniqueSequences_) keep[g] = 0;
    }
    const std::string what = groups ? "group" : "gene";
    if (shared > 0)
        warn(std::to_string(shared) + " background " + what + "s share a name with a foreground " +
             what + " and are left out of the background (first: " + printable(firstShared) + ")");
    if (empty > 0)
        warn(units(groups, empty) +
             " of the background hold no base and are left out of it (first: " +
             printable(firstEmpty) + ")");
    if (repeats > 0)
        warn(units(groups, repeats) + " of the background repeat the sequence of a foreground " +
             what + " (first: " + printable(firstRepeat) + ")" +
             (uniqueSequences_ ? "; --unique left them out" : "; --unique leaves them out"));
}

std::vector<char> HitStage::genesToKeep(const std::vector<const std::string*>& names,
                                        const std::vector<std::vector<std::string_view>>& texts,
                                        bool groups) const {
    std::vector<char> keep(names.size(), 1);
    if (foreground_) dropBackgroundMisfits(names, texts, groups, keep);
    // Each distinct sequence by its first gene; a later gene with the same texts repeats it.
    std::unordered_multimap<size_t, size_t> firstOfHash;
    int64_t repeats = 0;
    std::string example;
    for (size_t g = 0; g < names.size(); ++g) {
        if (!keep[g]) continue;
        const size_t hash = hashTexts(texts[g]);
        auto [from, to] = firstOfHash.equal_range(hash);
        auto same = std::find_if(
            from, to, [&](const auto& entry) { return texts[entry.second] == texts[g]; });
        if (same == to) {
            firstOfHash.emplace(hash, g);
            continue;
        }
        if (repeats++ == 0) example = *names[g] + " repeats " + *names[same->second];
        if (uniqueSequences_) keep[g] = 0;
    }
    if (repeats > 0)
        warn(units(groups, repeats) + " " + (foreground_ ? "of the background " : "") +
             "repeat the sequence" + (groups ? "s of an earlier group" : " of an earlier gene") +
             " (first: " + printable(example) + ")" +
             (uniqueSequences_ ? "; --unique left them out" : ""));
    return keep;
}

void HitStage::prepareScan(MotifA& motifs) {
    if (foreground_) {
        // The same tables (they depend on the composition) and the same cutoffs.
        baseFreq = foreground_->baseFreq;
        buildTables(motifs);
    } else {
        MotifScore(motifs);
    }
    readCutoffs(motifs);
}

void HitStage::setBackground() {
    auto freq = counts_.frequencies(pseudocount);
    baseFreq.assign(freq.begin(), freq.end());
}

void HitStage::poolComposition(const HitStage& other) {
    counts_.add(other.counts_);
    setBackground();
    progress_.line(
        "Read: scores and cutoffs from the composition of foreground and background "
        "together");
}

void HitStage::MotifScore(MotifA& motifs) {
    buildTables(motifs);
    const float t = scoreThreshold;
    if (homerCutoffs_) {
        // HOMER's own cutoffs, read as score cutoffs (its log-odds against even bases).
        for (Motif& motif : motifs.motifs) {
            if (!motif.listedCutoff)
                die("Error: --homer-cutoffs takes each motif's cutoff from a HOMER motif "
                    "file, and motif " +
                    printable(motif.name) + " lists none (the file is " + motifs.formatName + ")");
            motif.cutoff = *motif.listedCutoff;
        }
        progress_.line("Read: score cutoffs from the HOMER motif file (--homer-cutoffs)");
        return;
    }
    if (!pValueCutoff) {
        for (Motif& motif : motifs.motifs) motif.cutoff = t;
        return;
    }
    std::vector<uint8_t> sample;
    if (!exactCutoffs_) sample = drawSample(motifs);
    // A sample of up to 2^24 letters (p-values from 3e-6 up) is scanned through a filter at a
    // floor under the cutoff; its codes take 3 bytes a letter more.
    std::optional<SequenceCodes> sampleCodes;
    if (!sample.empty() && sample.size() <= (size_t{1} << 24)) sampleCodes.emplace(sample);
    // Motifs in parallel over the one shared sample; their lines in library order.
    orderedParallelFor(
        motifs.motifs.size(), threads_,
        [&](size_t m) {
            const MotifTable& table = tables_[m];
            if (exactCutoffs_)
                motifs.motifs[m].cutoff = exactCutoff(table, baseFreq.data(), t);
            else if (sampleCodes)
                motifs.motifs[m].cutoff = sampleCutoffAbove(table, sample, *sampleCodes, t,
                                                            sampleFloor(table, baseFreq.data(), t));
            else
                motifs.motifs[m].cutoff = sampleCutoff(table, sample, t);
        },
        [&](size_t m) {
            const Motif& motif = motifs.motifs[m];
            progress_.line("Score cutoff of " + printable(motif.name) + ": " +
                           tostring(motif.cutoff));
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
    if (!seedShown_) progress_.line("Random seed: " + std::to_string(seed));
    return FreqToSeq(baseFreq.data(), n, seed);
}

void HitStage::buildTables(const MotifA& motifs) {
    MotifNames table = motifs.nameTable();
    motifNames = std::move(table.names);
    idOfMotif_ = std::move(table.idOfMotif);
    for (const Motif& motif : motifs.motifs) tables_.emplace_back(motif, baseFreq.data());
}

void HitStage::readCutoffs(const MotifA& motifs) {
    // Tables of 8 KB per motif stay in cache for a library of hundreds of motifs; for a
    // library of tens of thousands, tables over six bases keep memory to 512 bytes each.
    const int prefix = motifs.motifs.size() <= 4096 ? kFilterPrefix : 6;
    for (size_t m = 0; m < motifs.motifs.size(); ++m) {
        cutoffs_.push_back(motifs.motifs[m].cutoff);
        filters_.emplace_back(tables_[m], cutoffs_[m], prefix);
    }
    shared_.emplace(filters_);
}

namespace {

// A hit with the library index of its motif, by which hits at one start are ordered.
struct IndexedHit {
    MHit hit;
    uint32_t motif;
};

// The one place a scored window becomes hits: a hit on each strand whose score is above the
// cutoff, forward first, its score truncated to two decimals.
template <typename Push>
void emitStrands(int32_t motifId, int64_t q, int64_t width, float forward, float reverse,
                 float cutoff, Push&& push) {
    const auto start = static_cast<int32_t>(q), end = static_cast<int32_t>(q + width - 1);
    if (forward > cutoff) push(MHit{motifId, start, end, '+', truncateScore(forward)});
    if (reverse > cutoff) push(MHit{motifId, start, end, '-', truncateScore(reverse)});
}

}  // namespace

namespace {

// Appends the hits in scan order: by start, then library index; forward before reverse
// stays as found. Their starts lie in [from, to): where that span is not much wider than the
// hits, they are counted into place by start and each start's few hits put in library order
// by insertion (both stable), else sorted.
void appendInScanOrder(std::vector<IndexedHit>& found, int64_t from, int64_t to,
                       std::vector<MHit>& hits) {
    const auto span = static_cast<size_t>(std::max<int64_t>(0, to - from));
    if (span > 8 * found.size() + 4096) {
        std::stable_sort(found.begin(), found.end(), [](const IndexedHit& a, const IndexedHit& b) {
            return a.hit.start != b.hit.start ? a.hit.start < b.hit.start : a.motif < b.motif;
        });
        for (const IndexedHit& each : found) hits.push_back(each.hit);
        return;
    }
    thread_local std::vector<size_t> begin;
    thread_local std::vector<IndexedHit> placed;
    begin.assign(span + 1, 0);
    for (const IndexedHit& each : found) ++begin[static_cast<size_t>(each.hit.start - from) + 1];
    for (size_t q = 0; q < span; ++q) begin[q + 1] += begin[q];
    placed.resize(found.size());
    for (const IndexedHit& each : found)
        placed[begin[static_cast<size_t>(each.hit.start - from)]++] = each;
    // begin[q] is now the end of start q's hits.
    size_t first = 0;
    for (size_t q = 0; q < span && first < placed.size(); ++q) {
        const size_t end = begin[q];
        for (size_t i = first + 1; i < end; ++i)
            for (size_t j = i; j > first && placed[j].motif < placed[j - 1].motif; --j)
                std::swap(placed[j], placed[j - 1]);
        first = end;
    }
    for (const IndexedHit& each : placed) hits.push_back(each.hit);
    constexpr size_t kKept = size_t{1} << 16;  // a long sequence's lists are given back
    if (begin.capacity() > kKept) std::vector<size_t>().swap(begin);
    if (placed.capacity() > kKept) std::vector<IndexedHit>().swap(placed);
}

}  // namespace

void appendLibraryHits(const ScanMotifs& motifs, const SequenceCodes& sequence,
                       std::vector<MHit>& hits, int64_t from, int64_t to) {
    const int64_t n = sequence.size();
    to = std::min(to, n + 1);  // a motif without rows has a window at the very end
    // Working lists kept by each thread from call to call, so that scanning a gene does not
    // allocate them anew.
    thread_local std::vector<IndexedHit> found;
    thread_local std::vector<int32_t> starts;
    thread_local std::vector<MHit> own;
    found.clear();
    auto keep = [&](uint32_t m, int64_t q, float forward, float reverse) {
        emitStrands(motifs.ids[m], q, motifs.tables[m].width(), forward, reverse, motifs.cutoffs[m],
                    [&](const MHit& hit) {
                        found.push_back({hit, m});
                    });
    };
    // Block by block, so that the tables of one block's motifs stay in cache.
    for (size_t b = 0; b < motifs.shared.blocks(); ++b) {
        const std::vector<uint32_t>& members = motifs.shared.members(b);
        const int64_t offset = motifs.shared.offset(b);
        // A start whose offset lies past the end holds no window of these motifs.
        for (int64_t q = from; q < std::min(to, n + 1 - offset); ++q) {
            const uint16_t kmer = sequence.kmers[static_cast<size_t>(q + offset)];
            for (uint64_t mask = motifs.shared.mask(b, kmer); mask != 0; mask &= mask - 1) {
                const uint32_t m = members[static_cast<size_t>(__builtin_ctzll(mask))];
                const MotifTable& table = motifs.tables[m];
                const int64_t width = table.width();
                float forward, reverse;
                if (q > n - width || !motifs.filters[m].passes(kmer) ||
                    !sequence.allBases(q, width) ||
                    !motifs.filters[m].score(table, sequence.codes.data() + q,
                                             sequence.kmers.data() + q, forward, reverse))
                    continue;
                keep(m, q, forward, reverse);
            }
        }
    }
    for (uint32_t m : motifs.shared.alone()) {
        own.clear();
        appendMotifHits(motifs.tables[m], motifs.filters[m], motifs.cutoffs[m], motifs.ids[m],
                        sequence, own, starts, from, to, motifs.vectorPaths);
        for (const MHit& hit : own) found.push_back({hit, m});
    }
    appendInScanOrder(found, from, to, hits);
    // A list grown by a long sequence is given back rather than kept for the run.
    constexpr size_t kKept = size_t{1} << 16;
    if (found.capacity() > kKept) std::vector<IndexedHit>().swap(found);
    if (starts.capacity() > kKept) std::vector<int32_t>().swap(starts);
    if (own.capacity() > kKept) std::vector<MHit>().swap(own);
}

void appendMotifHits(const MotifTable& table, const WindowFilter& filter, float cutoff,
                     int32_t motifId, const SequenceCodes& sequence, std::vector<MHit>& hits,
                     std::vector<int32_t>& starts, int64_t from, int64_t to, bool vectorPaths) {
    const int64_t width = table.width();
    to = std::min(to, sequence.size() - width + 1);
    if (to <= from) return;
    starts.resize(static_cast<size_t>(to - from));
    const size_t passed = filter.candidates(sequence, from, to - from, starts.data(), vectorPaths);
    for (size_t k = 0; k < passed; ++k) {
        const int64_t q = from + starts[k];
        if (!sequence.allBases(q, width)) continue;
        float forward, reverse;
        if (!filter.score(table, sequence.codes.data() + q, sequence.kmers.data() + q, forward,
                          reverse))
            continue;
        emitStrands(motifId, q, width, forward, reverse, cutoff,
                    [&](const MHit& hit) { hits.push_back(hit); });
    }
}

namespace {

// Of the hits at one start (in scan order), only the strongest can be kept: it, or a stronger
// hit that drops it, drops the others, which are within the overlap distance of both. The
// strongest is the highest score, the later in scan order among equal scores (the order in
// which overlap removal visits them). A hit scoring exactly 0 is never kept and drops
// nothing, so it does not compete.
void keepStrongestPerStart(const std::vector<MHit>& hits, std::vector<MHit>& strongest) {
    for (size_t i = 0; i < hits.size();) {
        const MHit* best = nullptr;
        size_t j = i;
        for (; j < hits.size() && hits[j].start == hits[i].start; ++j)
            if (hits[j].score != 0 && (!best || hits[j].score >= best->score)) best = &hits[j];
        if (best) strongest.push_back(*best);
        i = j;
    }
}

}  // namespace

std::vector<MHit> HitStage::scanSequence(const std::string& text) const {
    const SequenceCodes sequence(text);
    std::vector<MHit> chunk, hits;
    // The starts are scanned in chunks and each chunk's hits reduced at once, so that memory
    // follows the sequence, not the number of raw hits.
    const int64_t chunkStarts = overlapDistance > 0 ? scanChunk_ : sequence.size() + 1;
    int64_t rawCount = 0;
    MHit onlyHit;
    for (int64_t from = 0; from <= sequence.size(); from += chunkStarts) {
        chunk.clear();
        appendLibraryHits({tables_, filters_, cutoffs_, idOfMotif_, *shared_}, sequence, chunk,
                          from, from + chunkStarts);
        if (rawCount == 0 && !chunk.empty()) onlyHit = chunk.front();
        rawCount += static_cast<int64_t>(chunk.size());
        if (scanned_)
            for (const MHit& hit : chunk)
                scanned_[hit.motif].fetch_add(1, std::memory_order_relaxed);
        if (overlapDistance > 0)
            keepStrongestPerStart(chunk, hits);
        else
            hits.insert(hits.end(), chunk.begin(), chunk.end());
    }
    // A gene with a single hit keeps it, whatever its score.
    if (rawCount == 1) return {onlyHit};
    if (rawCount > 1) hits = delHitOverlap(std::move(hits), overlapDistance);
    hits.shrink_to_fit();  // the lists of all genes stay in memory until the run ends
    return hits;
}

std::vector<MHit> HitStage::thinSites(std::vector<MHit> sites) const {
    // A gene with a single hit keeps it, whatever its score, as in a scan.
    if (sites.size() <= 1) return sites;
    std::vector<MHit> hits;
    if (overlapDistance > 0)
        keepStrongestPerStart(sites, hits);
    else
        hits = std::move(sites);
    hits = delHitOverlap(std::move(hits), overlapDistance);
    hits.shrink_to_fit();
    return hits;
}

void HitStage::countHits() {
    hitsScanned.assign(motifNames.size(), 0);
    hitsKept.assign(motifNames.size(), 0);
    for (size_t m = 0; m < motifNames.size(); ++m) hitsScanned[m] = scanned_[m].load();
    for (const SeqHit& gene : seqHits)
        for (const MHit& hit : gene.hits) ++hitsKept[hit.motif];
    scanned_.reset();
}

std::string vanishedMotifsWarning(const std::vector<std::string>& names,
                                  const std::vector<int64_t>& scanned,
                                  const std::vector<int64_t>& kept) {
    std::vector<size_t> vanished;
    for (size_t m = 0; m < names.size(); ++m)
        if (scanned[m] > 0 && kept[m] == 0) vanished.push_back(m);
    if (vanished.empty()) return "";
    std::string examples;
    for (size_t i = 0; i < vanished.size() && i < 3; ++i)
        examples += (i ? ", " : "") + printable(names[vanished[i]]) + " (" +
                    withThousands(scanned[vanished[i]]) + " hits)";
    const bool one = vanished.size() == 1;
    return withThousands(static_cast<int64_t>(vanished.size())) +
           (one ? " motif loses" : " motifs lose") +
           " every hit to overlapping hits of other motifs, e.g. " + examples;
}
