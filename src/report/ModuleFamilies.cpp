// Module families: modules ordered from the most motifs down, a bit set of modules per motif,
// and each module's supersets the bits its motifs share; the largest comes first.
#include "report/ModuleFamilies.hpp"

#include <algorithm>

std::vector<int32_t> ModuleFamilies::ids(const std::vector<std::string>& names,
                                         std::unordered_map<std::string, int32_t>& table) {
    std::vector<int32_t> out;
    for (const std::string& name : names)
        out.push_back(table.emplace(name, static_cast<int32_t>(table.size())).first->second);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

void ModuleFamilies::add(const ReportModule& module) {
    std::vector<std::string> genes;
    for (const ReportInstance& instance : module.instances) genes.push_back(instance.gene);
    modules_.push_back({module.number, ids(module.motifs, motifIds_), ids(genes, geneIds_)});
}

void ModuleFamilies::resolve(bool findClosed) {
    // Modules from the most motifs to the fewest, in report order among equally many: a
    // module's supersets come before it, the largest first. Per motif, a bit per module (in
    // that order) says whether the module holds it; the supersets of a module are the bits
    // set for all of its motifs among the modules with more motifs.
    std::vector<uint32_t> order(modules_.size());
    for (uint32_t m = 0; m < order.size(); ++m) order[m] = m;
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return modules_[a].motifs.size() > modules_[b].motifs.size();
    });
    const size_t words = (order.size() + 63) / 64;
    std::vector<std::vector<uint64_t>> holding(motifIds_.size(), std::vector<uint64_t>(words));
    std::vector<size_t> held(motifIds_.size());
    for (uint32_t at = 0; at < order.size(); ++at)
        for (int32_t motif : modules_[order[at]].motifs) {
            holding[static_cast<size_t>(motif)][at / 64] |= uint64_t{1} << (at % 64);
            ++held[static_cast<size_t>(motif)];
        }
    size_t larger = 0;  // modules with more motifs than the current one come before it
    for (uint32_t at = 0; at < order.size(); ++at) {
        Summary& module = modules_[order[at]];
        while (larger < at && modules_[order[larger]].motifs.size() > module.motifs.size())
            ++larger;
        if (module.motifs.empty()) continue;
        // The motif the fewest modules hold first, so that most words end at one load.
        std::vector<int32_t> motifs = module.motifs;
        std::sort(motifs.begin(), motifs.end(), [&](int32_t a, int32_t b) {
            return held[static_cast<size_t>(a)] < held[static_cast<size_t>(b)];
        });
        std::vector<const uint64_t*> rows;
        for (int32_t motif : motifs) rows.push_back(holding[static_cast<size_t>(motif)].data());
        for (size_t w = 0; w * 64 < larger; ++w) {
            uint64_t common = w + 1 == (larger + 63) / 64 && larger % 64
                                  ? (uint64_t{1} << (larger % 64)) - 1
                                  : ~uint64_t{0};
            for (size_t r = 0; r < rows.size() && common; ++r) common &= rows[r][w];
            for (; common; common &= common - 1) {
                const Summary& other =
                    modules_[order[w * 64 + static_cast<size_t>(__builtin_ctzll(common))]];
                if (!module.parent) module.parent = other.number;
                if (other.genes == module.genes) module.closed = false;
                if (!findClosed || !module.closed) break;
            }
            if (module.parent && (!findClosed || !module.closed)) break;
        }
    }
}

const ModuleFamilies::Summary* ModuleFamilies::find(int64_t number) const {
    auto at = std::lower_bound(modules_.begin(), modules_.end(), number,
                               [](const Summary& s, int64_t n) { return s.number < n; });
    return at != modules_.end() && at->number == number ? &*at : nullptr;
}

int64_t ModuleFamilies::parent(int64_t number) const {
    const Summary* module = find(number);
    return module ? module->parent : 0;
}

bool ModuleFamilies::closed(int64_t number) const {
    const Summary* module = find(number);
    return module && module->closed;
}
