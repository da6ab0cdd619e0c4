// The module report: one block per confirmed module, written to standard output in one piece.
// The probability uses the number of distinct genes holding an instance; the header's count
// is the number of instances.
#include <algorithm>
#include <charconv>
#include <iostream>
#include <type_traits>

#include "modules/Discovery.hpp"
#include "modules/Significance.hpp"

double Discovery::ProbCRM(const std::vector<int32_t>& module, int64_t geneTotal) const {
    std::vector<double> rates;
    for (int32_t m : module) rates.push_back(motifRate[m]);
    return upperTail(geneChance(rates, windowSize, avgSeqLength), geneCount, geneTotal);
}

void Discovery::PrintCRM(std::vector<int32_t> module, const std::vector<Crm>& crms,
                         const HitStage& hits) const {
    report_ << formatBlock(std::move(module), crms, hits);
}

std::string Discovery::formatBlock(std::vector<int32_t> module, const std::vector<Crm>& crms,
                                   const HitStage& hits) const {
    std::vector<int32_t> distinct;
    for (const Crm& crm : crms) distinct.push_back(crm.gene);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    const double probability = ProbCRM(module, static_cast<int64_t>(distinct.size()));
    std::sort(module.begin(), module.end(), CompMotif);
    return formatModule(module, crms, probability, hits.motifNames, genes);
}

namespace {

// Appends a number as a default-formatted stream would write it: integers in decimal,
// floating-point values like printf("%g"), six significant digits.
template <typename T>
void append(std::string& out, T value) {
    char text[64];
    std::to_chars_result written;
    if constexpr (std::is_floating_point_v<T>)
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    else
        written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

}  // namespace

std::string formatModule(const std::vector<int32_t>& sortedModule, const std::vector<Crm>& crms,
                         double probability, const std::vector<std::string>& motifNames,
                         const std::vector<std::string>& geneNames) {
    std::string out = ">";
    for (size_t i = 0; i < sortedModule.size(); ++i) {
        if (i) out += '\t';
        out += motifNames[sortedModule[i]];
    }
    out += '\t';
    append(out, crms.size());
    out += ',';
    append(out, probability);
    out += '\n';
    for (const Crm& crm : crms) {
        out.append(geneNames[crm.gene]).append("\n");
        for (const MHit& hit : crm.hits) {
            out.append("\t").append(motifNames[hit.motif]).append("\t");
            append(out, hit.start);
            out += '\t';
            append(out, hit.end);
            out.append("\t").append(1, hit.strand).append("\t");
            append(out, hit.score);
            out += '\n';
        }
    }
    return out;
}
