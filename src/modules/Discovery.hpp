// Module discovery, shared by both programs: motif rates, motif pairs and the search order,
// the depth-first module search, the instance test and the report. It reads only the hit
// lists of the shared hit stage; Tree and TreeO (modules/Tree.hpp) type it to each program.
#pragma once

#include <atomic>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/Args.hpp"
#include "common/OrderedOutput.hpp"
#include "common/Progress.hpp"
#include "hits/HitStage.hpp"
#include "modules/PairTable.hpp"
#include "modules/WindowScan.hpp"

// A motif (by id) with its number of frequent partners.
struct MNum {
    int32_t motif;
    int32_t num;
};
inline bool CompFreq(const MNum& x, const MNum& y) {
    return x.num < y.num;
}
// Byte-wise order of motif names: ids are numbered in that order.
inline bool CompMotif(int32_t a, int32_t b) {
    return a < b;
}

// One state of the module search.
struct Node {
    std::vector<int32_t> motifs;        // root first, then motifs in the order added
    std::vector<int32_t> pairedMotifs;  // motifs that may still be added, taken from the back
    std::vector<int32_t> genes;         // supporting genes
    int32_t level = 0;                  // number of motifs
};

// The instances of one module, without an allocation per instance: for each, its gene and
// its run of hits in `hits`.
struct ModuleInstances {
    struct Run {
        int32_t gene;
        uint32_t first, count;
    };
    std::vector<Run> runs;
    std::vector<const MHit*> hits;
    void clear() {
        runs.clear();
        hits.clear();
    }
};

// The working space of one thread's search.
struct SearchScratch {
    explicit SearchScratch(size_t motifCount) : slots(motifCount) {}
    ModuleSlots slots;
    WindowScan scan;
    ModuleInstances found;
    std::vector<int32_t> genes, narrowed, byName, module;
};

// What the statistics need of one reported module.
// One instance of a module: its gene (index into the hit stage's genes) and its hits.
struct InstanceRecord {
    int32_t gene = 0;
    std::vector<MHit> hits;
};

struct ModuleRecord {
    std::vector<int32_t> motifs;  // sorted, as the report's header lists them
    int64_t instances = 0;
    int64_t genes = 0;  // distinct genes with an instance
    double probability = 0;
    std::vector<InstanceRecord> found;  // with ModuleOutput::ReportAndInstances, as printed
};

// What the search does with a confirmed module: writes its report block, keeps its record
// for the statistics, or both; or both, the record with the module's instances.
enum class ModuleOutput { Report, ReportAndRecords, RecordsOnly, ReportAndInstances };

// Where one item of the search writes: its place in the ordered output. Report blocks are
// gathered into large pieces, each handed on (and written) at once.
class RootOutput {
  public:
    RootOutput(OrderedOutput& output, size_t item, std::string& buffer,
               std::vector<ModuleRecord>* records)
        : output_(output), item_(item), pending_(buffer), records_(records) {}
    ~RootOutput() { flush(); }
    // Report text is appended here; afterAppend hands it on once it is large.
    std::string& reportBuffer() { return pending_; }
    void afterAppend() {
        if (pending_.size() >= kPieceBytes) flush();
    }
    void progress(std::string line) { output_.progress(item_, std::move(line)); }
    void record(ModuleRecord module) {
        if (records_) records_->push_back(std::move(module));
    }
    void flush() {
        if (!pending_.empty()) output_.report(item_, pending_);
        pending_.clear();  // keeps its capacity for the next piece
    }

  private:
    static constexpr size_t kPieceBytes = size_t{256} << 10;
    OrderedOutput& output_;
    size_t item_;
    std::string& pending_;  // the thread's buffer
    std::vector<ModuleRecord>* records_;
};

// One instance of a module in one gene.
struct Crm {
    int32_t gene = 0;
    std::vector<MHit> hits;
};

class Discovery {
  public:
    int32_t windowSize;
    int32_t geneNumber;
    int32_t minMotifNumber;
    int32_t maxMotifNumber;
    int32_t avgSeqLength = 0;
    int32_t geneCount = 0;
    std::vector<int32_t> motifs;     // retained motifs in search order
    std::vector<std::string> genes;  // gene names in input order
    std::vector<float> motifRate;    // hits per sequence position, by motif id
    PairTable pairGenes;
    // With ModuleOutput::ReportAndRecords or RecordsOnly: every confirmed module, in report
    // order.
    std::vector<ModuleRecord> records;
    // When no module was confirmed: the line that names the threshold that stopped the run.
    std::string noModule;

    // Writes the report to `report` and the progress lines to `progress`.
    Discovery(const Args& settings, const HitStage& hits, std::ostream& report = std::cout,
              Progress progress = Progress(), ModuleOutput output = ModuleOutput::Report);

    // How many candidate modules the search tested, those without an instance included.
    int64_t moduleTests() const { return testsRun_.load(); }
    // How many modules it confirmed.
    int64_t modulesFound() const { return modulesPrinted_.load(); }

    void MotifRate(const HitStage& hits);
    void BuildMP(const HitStage& hits);
    void FindCRM(const HitStage& hits);
    std::vector<Crm> TestCRM(const std::vector<int32_t>& module,
                             const std::vector<int32_t>& geneList, const HitStage& hits);
    std::vector<int32_t> FindGeneShared(int32_t newMotif, const Node& node, const HitStage& hits);
    double ProbCRM(const std::vector<int32_t>& module, int64_t geneTotal) const;
    // Appends the report block of the module's instances to `out`: the probability of the
    // motif list as received, then the names sorted.
    void PrintCRM(std::vector<int32_t> module, const ModuleInstances& found, const HitStage& hits,
                  std::string& out) const;
    // The record of a confirmed module: its distinct genes, the probability of the motif
    // list as received, then the motifs sorted.
    ModuleRecord summarize(std::vector<int32_t> module, const ModuleInstances& found) const;

  private:
    struct SearchItem;
    // The motifs after the root in search order that pair with it.
    std::vector<int32_t> rootCandidates(size_t rootIndex) const;
    // The node grown by its last candidate, keeping the candidates before it that pair with
    // it; none when fewer than geneNumber genes hold the grown module.
    std::optional<Node> grow(const Node& cur, const HitStage& hits, SearchScratch& space) const;
    void searchItem(const SearchItem& item, const HitStage& hits, SearchScratch& space,
                    RootOutput& out);
    void searchSubtree(std::vector<Node>& stack, const HitStage& hits, SearchScratch& space,
                       RootOutput& out);
    // A node of seven motifs: each one-motif extension with enough genes is tested.
    void testLastExtensions(const Node& cur, const HitStage& hits, SearchScratch& space,
                            RootOutput& out);
    // Takes the node's last candidate; pushes the node back and, with enough genes, the child.
    void growByLastCandidate(Node cur, std::vector<Node>& stack, const HitStage& hits,
                             SearchScratch& space);
    void testAndPrint(const std::vector<int32_t>& module, const std::vector<int32_t>& geneList,
                      const HitStage& hits, SearchScratch& space, RootOutput& out);
    // The node's genes (ascending index) that keep newMotif too; empty when fewer than
    // `enough`.
    std::vector<int32_t> sharedGenes(int32_t newMotif, const Node& node, const HitStage& hits,
                                     SearchScratch& space, size_t enough) const;
    void sortByName(std::vector<int32_t>& geneList) const;
    size_t enoughGenes() const { return static_cast<size_t>(std::max(geneNumber, 0)); }
    void ensureIndex(const HitStage& hits);
    // The window scan of one gene for the module in space.slots.
    void scanGene(const HitStage& hits, int32_t gene, SearchScratch& space, bool firstOnly) const;
    static constexpr size_t kIndexedHitsPerGene = 64;
    // Fills space.found with the module's instances in the genes, in gene-list order.
    void testModule(const std::vector<int32_t>& module, const std::vector<int32_t>& geneList,
                    const HitStage& hits, SearchScratch& space) const;
    std::vector<int32_t> frequentPartnerCounts() const;
    // When nothing was printed: the line that names the threshold that stopped the run.
    std::string noModuleReason(const HitStage& hits) const;

    std::ostream& report_;
    Progress progress_;
    int threads_;
    ModuleOutput output_;
    std::atomic<int64_t> modulesPrinted_{0};
    std::atomic<int64_t> testsRun_{0};

    std::vector<int32_t> geneRank_;  // position of each gene in byte-wise name order
    SearchScratch scratch_;          // for the public single calls
    HitIndex hitIndex_;
    bool indexed_ = false, useIndex_ = false;
};

// The report block of one module: header with the sorted motif names, the number of
// instances and the probability, then each instance's gene and hit lines.
void appendModule(std::string& out, const std::vector<int32_t>& sortedModule,
                  const ModuleInstances& found, double probability,
                  const std::vector<std::string>& motifNames,
                  const std::vector<std::string>& geneNames);
std::string formatModule(const std::vector<int32_t>& sortedModule, const std::vector<Crm>& crms,
                         double probability, const std::vector<std::string>& motifNames,
                         const std::vector<std::string>& geneNames);
