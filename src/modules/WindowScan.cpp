// The instance test: a gene's hits of the module's motifs gathered (through the hit index or a
// branch-free filter), then one pass that grows each window while its hits end within -w.
#include "modules/WindowScan.hpp"

#include <algorithm>

void ModuleSlots::assign(const std::vector<int32_t>& module) {
    for (int32_t motif : module_) slot_[motif] = -1;
    module_ = module;
    for (size_t i = 0; i < module_.size(); ++i) slot_[module_[i]] = static_cast<int8_t>(i);
}

HitIndex::HitIndex(const std::vector<SeqHit>& genes, size_t motifCount) : motifCount_(motifCount) {
    std::vector<std::pair<int32_t, int32_t>> byMotif;  // (motif, position) of one gene
    for (const SeqHit& gene : genes) {
        geneEntries_.push_back(entryMotif_.size());
        byMotif.clear();
        for (size_t h = 0; h < gene.hits.size(); ++h)
            byMotif.emplace_back(gene.hits[h].motif, static_cast<int32_t>(h));
        std::sort(byMotif.begin(), byMotif.end());
        for (size_t k = 0; k < byMotif.size(); ++k) {
            if (k == 0 || byMotif[k].first != byMotif[k - 1].first) {
                entryMotif_.push_back(byMotif[k].first);
                entryBegin_.push_back(positions_.size());
            }
            positions_.push_back(byMotif[k].second);
        }
    }
    geneEntries_.push_back(entryMotif_.size());
    entryBegin_.push_back(positions_.size());
    // A direct table where it takes no more than a few bytes per hit.
    const size_t cells = genes.size() * motifCount;
    if (cells > 4 * positions_.size() + 4096) return;
    dense_.assign(cells, -1);
    for (size_t g = 0; g < genes.size(); ++g)
        for (size_t e = geneEntries_[g]; e < geneEntries_[g + 1]; ++e)
            dense_[g * motifCount + static_cast<size_t>(entryMotif_[e])] = static_cast<int32_t>(e);
}

int64_t HitIndex::entryOf(int32_t gene, int32_t motif) const {
    if (!dense_.empty()) return dense_[static_cast<size_t>(gene) * motifCount_ + motif];
    const auto first = entryMotif_.begin() + static_cast<std::ptrdiff_t>(geneEntries_[gene]);
    const auto last = entryMotif_.begin() + static_cast<std::ptrdiff_t>(geneEntries_[gene + 1]);
    auto it = std::lower_bound(first, last, motif);
    return it == last || *it != motif ? -1 : it - entryMotif_.begin();
}

void HitIndex::gather(int32_t gene, const std::vector<int32_t>& motifs, std::vector<int32_t>& out,
                      std::vector<uint64_t>& marks) const {
    // The gene's positions of those motifs marked in a bit set of its hits, then read in
    // order: sorted with no sort and no merge (a hit has one motif, so none repeats).
    const size_t hits = entryBegin_[geneEntries_[gene + 1]] - entryBegin_[geneEntries_[gene]];
    marks.assign(hits / 64 + 1, 0);
    for (int32_t motif : motifs) {
        const int64_t entry = entryOf(gene, motif);
        if (entry < 0) continue;
        for (size_t k = entryBegin_[entry]; k < entryBegin_[entry + 1]; ++k) {
            const auto position = static_cast<uint32_t>(positions_[k]);
            marks[position >> 6] |= uint64_t{1} << (position & 63);
        }
    }
    out.clear();
    for (size_t w = 0; w < marks.size(); ++w)
        for (uint64_t rest = marks[w]; rest != 0; rest &= rest - 1)
            out.push_back(
                static_cast<int32_t>(64 * w + static_cast<size_t>(__builtin_ctzll(rest))));
}

void WindowScan::run(const std::vector<MHit>& hits, const HitIndex& index, int32_t gene,
                     const ModuleSlots& module, int32_t windowSize, bool firstOnly) {
    index.gather(gene, module.motifs(), positions_, marks_);
    filtered.resize(positions_.size());
    for (size_t k = 0; k < positions_.size(); ++k) filtered[k] = &hits[positions_[k]];
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

void keepHolders(std::vector<int32_t>& geneList, const std::vector<SeqHit>& genes,
                 const HitIndex* index, const ModuleSlots& module, int32_t windowSize,
                 WindowScan& scan) {
    std::erase_if(geneList, [&](int32_t g) {
        const std::vector<MHit>& hits = genes[static_cast<size_t>(g)].hits;
        if (index)
            scan.run(hits, *index, g, module, windowSize, true);
        else
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
