// The module report: one block per confirmed module, written to standard output in one piece.
// The probability uses the number of distinct genes holding an instance; the header's count
// is the number of instances.
#include <algorithm>
#include <iostream>
#include <sstream>

#include "modules/Significance.hpp"
#include "modules/Tree.hpp"

double Discovery::ProbCRM(const std::vector<int32_t>& module, int64_t geneTotal) const {
    std::vector<double> rates;
    for (int32_t m : module) rates.push_back(motifRate[m]);
    return upperTail(geneChance(rates, windowSize, avgSeqLength), geneCount, geneTotal);
}

void Discovery::PrintCRM(std::vector<int32_t> module, const std::vector<Crm>& crms,
                         const HitStage& hits) const {
    std::vector<int32_t> distinct;
    for (const Crm& crm : crms) distinct.push_back(crm.gene);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    const double probability = ProbCRM(module, static_cast<int64_t>(distinct.size()));
    std::sort(module.begin(), module.end());  // ids sort as the names do
    std::cout << formatModule(module, crms, probability, hits.motifNames, genes);
}

std::string formatModule(const std::vector<int32_t>& sortedModule, const std::vector<Crm>& crms,
                         double probability, const std::vector<std::string>& motifNames,
                         const std::vector<std::string>& geneNames) {
    std::ostringstream out;
    out << '>';
    for (size_t i = 0; i < sortedModule.size(); ++i)
        out << (i ? "\t" : "") << motifNames[sortedModule[i]];
    out << '\t' << crms.size() << ',' << probability << '\n';
    for (const Crm& crm : crms) {
        out << geneNames[crm.gene] << '\n';
        for (const MHit& hit : crm.hits)
            out << '\t' << motifNames[hit.motif] << '\t' << hit.start << '\t' << hit.end << '\t'
                << hit.strand << '\t' << hit.score << '\n';
    }
    return out.str();
}
