// The module report: one block per confirmed module, written to standard output in one piece.
// The probability uses the number of distinct genes holding an instance; the header's count
// is the number of instances.
#include <algorithm>
#include <charconv>
#include <iostream>
#include <type_traits>

#include "modules/Discovery.hpp"
#include "modules/Probability.hpp"

double Discovery::ProbCRM(const std::vector<int32_t>& module, int64_t geneTotal) const {
    std::vector<double> rates;
    for (int32_t m : module) rates.push_back(motifRate[m]);
    return upperTail(geneChance(rates, windowSize, avgSeqLength), geneCount, geneTotal);
}

ModuleRecord Discovery::summarize(std::vector<int32_t> module, const ModuleInstances& found) const {
    // ModuleInstances come gene by gene, each gene of the tested list once.
    ModuleRecord record;
    record.instances = static_cast<int64_t>(found.runs.size());
    for (size_t r = 0; r < found.runs.size(); ++r)
        record.genes += r == 0 || found.runs[r].gene != found.runs[r - 1].gene;
    record.probability = ProbCRM(module, record.genes);
    std::sort(module.begin(), module.end(), CompMotif);
    record.motifs = std::move(module);
    return record;
}

void Discovery::PrintCRM(std::vector<int32_t> module, const ModuleInstances& found,
                         const HitStage& hits, std::string& out) const {
    const ModuleRecord record = summarize(std::move(module), found);
    appendModule(out, record.motifs, found, record.probability, hits.motifNames, genes);
}

namespace {

// Writes a number as a default-formatted stream would: integers in decimal, floating-point
// values like printf("%g"), six significant digits. 32 characters always suffice.
template <typename T>
char* put(char* at, T value) {
    if constexpr (std::is_floating_point_v<T>)
        return std::to_chars(at, at + 32, value, std::chars_format::general, 6).ptr;
    else
        return std::to_chars(at, at + 32, value).ptr;
}

void appendHeader(std::string& out, const std::vector<int32_t>& sortedModule, size_t instances,
                  double probability, const std::vector<std::string>& motifNames) {
    out += '>';
    for (size_t i = 0; i < sortedModule.size(); ++i) {
        if (i) out += '\t';
        out += motifNames[sortedModule[i]];
    }
    char text[160];
    char* at = text;
    *at++ = '\t';
    at = put(at, instances);
    *at++ = ',';
    at = put(at, probability);
    *at++ = '\n';
    out.append(text, static_cast<size_t>(at - text));
}

// One hit line: a tab, then motif, start, end, strand and score, tab-separated, made in a
// local buffer and appended at once.
void appendHit(std::string& out, const MHit& hit, const std::vector<std::string>& motifNames) {
    const std::string& name = motifNames[hit.motif];
    char text[256];
    char* at = text;
    *at++ = '\t';
    if (name.size() <= 128) {
        at = std::copy(name.begin(), name.end(), at);
    } else {
        out.append(text, static_cast<size_t>(at - text));
        out += name;
        at = text;
    }
    *at++ = '\t';
    at = put(at, hit.start);
    *at++ = '\t';
    at = put(at, hit.end);
    *at++ = '\t';
    *at++ = hit.strand;
    *at++ = '\t';
    at = put(at, hit.score);
    *at++ = '\n';
    out.append(text, static_cast<size_t>(at - text));
}

}  // namespace

void appendModule(std::string& out, const std::vector<int32_t>& sortedModule,
                  const ModuleInstances& found, double probability,
                  const std::vector<std::string>& motifNames,
                  const std::vector<std::string>& geneNames) {
    appendHeader(out, sortedModule, found.runs.size(), probability, motifNames);
    for (const ModuleInstances::Run& run : found.runs) {
        out += geneNames[run.gene];
        out += '\n';
        for (uint32_t k = 0; k < run.count; ++k)
            appendHit(out, *found.hits[run.first + k], motifNames);
    }
}

std::string formatModule(const std::vector<int32_t>& sortedModule, const std::vector<Crm>& crms,
                         double probability, const std::vector<std::string>& motifNames,
                         const std::vector<std::string>& geneNames) {
    ModuleInstances found;
    for (const Crm& crm : crms) {
        found.runs.push_back({crm.gene, static_cast<uint32_t>(found.hits.size()),
                              static_cast<uint32_t>(crm.hits.size())});
        for (const MHit& hit : crm.hits) found.hits.push_back(&hit);
    }
    std::string out;
    appendModule(out, sortedModule, found, probability, motifNames, geneNames);
    return out;
}
