// The instance test: a gene's hits of the module's motifs gathered (through the hit index or a
// branch-free filter), then one pass that grows each window while its hits end within -w.
#include "modules/WindowScan.hpp"

#include <algorithm>

void ModuleSlots::assign(const std::vector<int32_t>& module) {
    for (int32_t motif : module_) slot_[motif] = -1;
    module_ = module;
    for (size_t i = 0; i < module_.size(); ++i) slot_[module_[i]] = static_cast<int8_t>(i);
}

HitIndex::HitIndex(const std::vector<SeqHit>& genes, size_t motifCount) : geneCount_(genes.size()) {
    // Hits bucketed by motif, in gene order within a motif (a counting sort): a module's
    // holders are tested in ascending gene order, so each motif's hits are read as a stream.
    std::vector<size_t> next(motifCount + 1, 0);
    for (const SeqHit& gene : genes)
        for (const MHit& hit : gene.hits) ++next[static_cast<size_t>(hit.motif) + 1];
    for (size_t m = 0; m < motifCount; ++m) next[m + 1] += next[m];
    std::vector<int32_t> geneOf(next[motifCount]);
    located_.resize(next[motifCount]);
    for (size_t g = 0; g < genes.size(); ++g)
        for (size_t h = 0; h < genes[g].hits.size(); ++h) {
            const MHit& hit = genes[g].hits[h];
            const size_t at = next[static_cast<size_t>(hit.motif)]++;
            geneOf[at] = static_cast<int32_t>(g);
            located_[at] = {static_cast<int32_t>(h), hit.start, hit.end};
        }
    // The directory: per motif, an entry for each gene holding it.
    size_t k = 0;
    for (size_t m = 0; m < motifCount; ++m) {
        motifEntries_.push_back(entryGene_.size());
        for (; k < next[m]; ++k)
            if (k == 0 || geneOf[k] != geneOf[k - 1] || entryGene_.size() == motifEntries_.back()) {
                entryGene_.push_back(geneOf[k]);
                entryBegin_.push_back(k);
            }
    }
    motifEntries_.push_back(entryGene_.size());
    entryBegin_.push_back(located_.size());
    // A direct table where it takes no more than a few bytes per hit.
    const size_t cells = genes.size() * motifCount;
    if (cells > 4 * located_.size() + 4096) return;
    dense_.assign(cells, -1);
    for (size_t m = 0; m < motifCount; ++m)
        for (size_t e = motifEntries_[m]; e < motifEntries_[m + 1]; ++e)
            dense_[m * geneCount_ + static_cast<size_t>(entryGene_[e])] = static_cast<int32_t>(e);
}

size_t HitIndex::place(int32_t gene, size_t hitCount, const ModuleSlots& module,
                       std::vector<uint64_t>& marks, std::vector<Placed>& placed) const {
    // Each motif's entry in the gene, its hits' spans read from the index's own copy: the
    // gene's hit list is not read at all.
    const size_t words = hitCount / 64 + 1;
    if (marks.size() < words) marks.resize(words);
    if (placed.size() < hitCount) placed.resize(hitCount);
    uint64_t* bits = marks.data();
    std::fill_n(bits, words, 0);
    Placed* at = placed.data();
    const std::vector<int32_t>& motifs = module.motifs();
    for (size_t slot = 0; slot < motifs.size(); ++slot) {
        const int64_t entry = entryOf(gene, motifs[slot]);
        if (entry < 0) continue;
        const size_t end = entryBegin_[entry + 1];
        for (size_t k = entryBegin_[entry]; k < end; ++k) {
            const Located& hit = located_[k];
            const auto position = static_cast<uint32_t>(hit.position);
            bits[position >> 6] |= uint64_t{1} << (position & 63);
            at[position] = {hit.start, hit.end, 1u << slot};
        }
    }
    return words;
}

int64_t HitIndex::entryOf(int32_t gene, int32_t motif) const {
    if (!dense_.empty()) return dense_[static_cast<size_t>(motif) * geneCount_ + gene];
    const auto first = entryGene_.begin() + static_cast<std::ptrdiff_t>(motifEntries_[motif]);
    const auto last = entryGene_.begin() + static_cast<std::ptrdiff_t>(motifEntries_[motif + 1]);
    auto it = std::lower_bound(first, last, gene);
    return it == last || *it != gene ? -1 : it - entryGene_.begin();
}

void WindowScan::run(const std::vector<MHit>& hits, const HitIndex& index, int32_t gene,
                     const ModuleSlots& module, int32_t windowSize, bool firstOnly) {
    // The marked positions read in order: sorted with no sort and no merge (a hit has one
    // motif, so none repeats).
    const size_t words = index.place(gene, hits.size(), module, marks_, placed_);
    filtered.clear();
    for (size_t w = 0; w < words; ++w)
        for (uint64_t rest = marks_[w]; rest != 0; rest &= rest - 1)
            filtered.push_back(&hits[64 * w + static_cast<size_t>(__builtin_ctzll(rest))]);
    findInstances(module, windowSize, firstOnly);
}

void WindowScan::run(const std::vector<MHit>& hits, const ModuleSlots& module, int32_t windowSize,
                     bool firstOnly) {
    // Branch-free filter: whether a hit belongs to the module is unpredictable.
    filtered.resize(hits.size());
    size_t kept = 0;
    for (const MHit& hit : hits) {
        filtered[kept] = &hit;
        kept += module.slot(hit.motif) >= 0;
    }
    filtered.resize(kept);
    findInstances(module, windowSize, firstOnly);
}

bool WindowScan::holds(const std::vector<MHit>& hits, const HitIndex& index, int32_t gene,
                       const ModuleSlots& module, int32_t windowSize) {
    // The module hits in order with their motif bits, then the windows of run().
    const size_t words = index.place(gene, hits.size(), module, marks_, placed_);
    if (inOrder_.size() < hits.size()) inOrder_.resize(hits.size());
    HitIndex::Placed* placed = inOrder_.data();
    size_t n = 0;
    for (size_t w = 0; w < words; ++w)
        for (uint64_t rest = marks_[w]; rest != 0; rest &= rest - 1)
            placed[n++] = placed_[64 * w + static_cast<size_t>(__builtin_ctzll(rest))];
    const uint32_t full = module.fullMask();
    for (size_t i = 0; i < n; ++i) {
        uint32_t present = placed[i].bit;
        for (size_t k = i + 1; present != full && k < n &&
                               endsWithinWindow(placed[i].start, placed[k].end, windowSize);
             ++k)
            present |= placed[k].bit;
        if (present == full) return true;
    }
    return false;
}

void keepHolders(std::vector<int32_t>& geneList, const std::vector<SeqHit>& genes,
                 const HitIndex* index, const ModuleSlots& module, int32_t windowSize,
                 WindowScan& scan) {
    std::erase_if(geneList, [&](int32_t g) {
        const std::vector<MHit>& hits = genes[static_cast<size_t>(g)].hits;
        if (index) return !scan.holds(hits, *index, g, module, windowSize);
        scan.run(hits, module, windowSize, true);
        return scan.instances.empty();
    });
}

void WindowScan::findInstances(const ModuleSlots& module, int32_t windowSize, bool firstOnly) {
    instances.clear();
    size_t i = 0;
    while (i < filtered.size()) {
        uint32_t present = 1u << module.slot(filtered[i]->motif);
        size_t last = i;
        const uint32_t full = module.fullMask();
        for (size_t k = i + 1; k < filtered.size(); ++k) {
            if (!endsWithinWindow(*filtered[i], *filtered[k], windowSize)) break;
            present |= 1u << module.slot(filtered[k]->motif);
            last = k;
            // Whether an instance exists is settled once the window holds every motif.
            if (firstOnly && present == full) break;
        }
        if (present != module.fullMask()) {
            ++i;
            continue;
        }
        instances.emplace_back(i, last);
        if (firstOnly) return;
        i = last > i ? last : i + 1;
    }
}
