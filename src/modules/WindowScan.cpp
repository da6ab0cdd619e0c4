#include "modules/WindowScan.hpp"

void ModuleSlots::assign(const std::vector<int32_t>& module) {
    for (int32_t motif : module_) slot_[motif] = -1;
    module_ = module;
    for (size_t i = 0; i < module_.size(); ++i) slot_[module_[i]] = static_cast<int8_t>(i);
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
    instances.clear();
    size_t i = 0;
    while (i < filtered.size()) {
        uint32_t present = 1u << module.slot(filtered[i]->motif);
        size_t last = i;
        for (size_t k = i + 1; k < filtered.size(); ++k) {
            if (static_cast<int64_t>(filtered[k]->end) - filtered[i]->start > windowSize) break;
            present |= 1u << module.slot(filtered[k]->motif);
            last = k;
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
