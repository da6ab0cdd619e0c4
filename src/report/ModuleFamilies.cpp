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

void ModuleFamilies::resolve() {
    std::vector<std::vector<uint32_t>> holding(motifIds_.size());  // module indexes per motif
    for (uint32_t m = 0; m < modules_.size(); ++m)
        for (int32_t motif : modules_[m].motifs) holding[static_cast<size_t>(motif)].push_back(m);
    for (Summary& module : modules_) {
        if (module.motifs.empty()) continue;
        int32_t rarest = module.motifs.front();
        for (int32_t motif : module.motifs)
            if (holding[static_cast<size_t>(motif)].size() <
                holding[static_cast<size_t>(rarest)].size())
                rarest = motif;
        const Summary* parent = nullptr;
        for (uint32_t index : holding[static_cast<size_t>(rarest)]) {
            const Summary& other = modules_[index];
            if (other.motifs.size() <= module.motifs.size() ||
                !std::includes(other.motifs.begin(), other.motifs.end(), module.motifs.begin(),
                               module.motifs.end()))
                continue;
            if (other.genes == module.genes) module.closed = false;
            if (!parent || other.motifs.size() > parent->motifs.size()) parent = &other;
        }
        if (parent) module.parent = parent->number;
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
