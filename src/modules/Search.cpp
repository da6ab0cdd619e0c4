// Depth-first module search over the motifs in search order, on an explicit stack. A node's
// candidates co-occur with every motif of the node; they are taken from the back, and a
// child keeps only the candidates before the one taken, so every motif set is reached once.
// A node is tested when its candidates are used up; at seven motifs its one-motif
// extensions are tested instead of growing further. The subtrees below a root's candidates
// are independent: they run in parallel, each with its own working space, and their report
// blocks and progress lines come out in the order of the one-thread search. (The largest
// module has eight motifs, so a root, of one motif, always grows; it is never a node of
// seven.)
#include <cstring>
#include <iterator>
#include <optional>

#include "common/Interrupt.hpp"
#include "common/OrderedOutput.hpp"
#include "common/Parallel.hpp"
#include "common/die.hpp"
#include "modules/Discovery.hpp"

namespace {
// Output that later roots may hold while an earlier one is still running.
constexpr size_t kReorderBudget = size_t{8} << 20;

struct FinishOnExit {
    OrderedOutput& output;
    size_t item;
    ~FinishOnExit() { output.finish(item); }
};
}  // namespace

// The search from one root motif, cut into items that run in parallel: each time the root
// comes back with `left` candidates, it writes its progress line and grows by its last
// candidate, whose whole subtree belongs to the item; with none left it is tested itself.
struct Discovery::SearchItem {
    size_t root;
    size_t left;
    const std::vector<int32_t>* candidates;  // all of the root's candidates
};

void Discovery::FindCRM(const HitStage& hits) {
    if (motifs.empty()) return;
    ensureIndex(hits);
    std::vector<std::vector<int32_t>> candidates(motifs.size());
    std::vector<SearchItem> items;
    for (size_t i = 0; i < motifs.size(); ++i) {
        candidates[i] = rootCandidates(i);
        for (size_t left = candidates[i].size() + 1; left-- > 0;)
            items.push_back({i, left, &candidates[i]});
    }
    OrderedOutput output(report_, progress_, kReorderBudget);
    std::vector<SearchScratch> scratch(std::max(1, threads_),
                                       SearchScratch(hits.motifNames.size()));
    const bool keepRecords = output_ != ModuleOutput::Report;
    std::vector<std::vector<ModuleRecord>> recordsOfItem(keepRecords ? items.size() : 0);
    std::vector<std::string> buffers(scratch.size());
    orderedParallelFor(
        items.size(), threads_,
        [&](size_t k, int thread) {
            // Every item finishes, even one that fails, so that no later one waits for it.
            const FinishOnExit finished{output, k};
            // Once the report cannot be written, or the caller asks to stop, the rest of the
            // search is of no use.
            if (output.failure() != 0 || InterruptScope::requested()) return;
            RootOutput out(output, k, buffers[static_cast<size_t>(thread)],
                           keepRecords ? &recordsOfItem[k] : nullptr);
            searchItem(items[k], hits, scratch[static_cast<size_t>(thread)], out);
            out.flush();
        },
        [](size_t) {});  // the output keeps the order itself, as items write
    if (output.failure() != 0)
        dieIo(std::string("Error: cannot write the report: ") + std::strerror(output.failure()));
    for (std::vector<ModuleRecord>& itemRecords : recordsOfItem)
        std::move(itemRecords.begin(), itemRecords.end(), std::back_inserter(records));
}

std::vector<int32_t> Discovery::rootCandidates(size_t rootIndex) const {
    std::vector<int32_t> candidates;
    for (size_t j = rootIndex + 1; j < motifs.size(); ++j)
        if (pairGenes.contains(motifs[rootIndex], motifs[j])) candidates.push_back(motifs[j]);
    return candidates;
}

void Discovery::searchItem(const SearchItem& item, const HitStage& hits, SearchScratch& space,
                           RootOutput& out) {
    if (item.left == item.candidates->size())
        out.progress("motif " + std::to_string(item.root) + " of " + std::to_string(motifs.size()));
    out.progress("\tnumber of paired motifs left: " + std::to_string(item.left));
    Node root{{motifs[item.root]},
              {item.candidates->begin(), item.candidates->begin() + item.left},
              {},
              1};
    if (item.left == 0) {  // the root alone, on all genes
        if (root.level < minMotifNumber) return;
        for (size_t g = 0; g < genes.size(); ++g) root.genes.push_back(static_cast<int32_t>(g));
        testAndPrint(root.motifs, root.genes, hits, space, out);
        return;
    }
    std::vector<Node> subtree;
    if (auto child = grow(root, hits, space)) subtree.push_back(std::move(*child));
    searchSubtree(subtree, hits, space, out);
}

void Discovery::searchSubtree(std::vector<Node>& stack, const HitStage& hits, SearchScratch& space,
                              RootOutput& out) {
    while (!stack.empty()) {
        Node cur = std::move(stack.back());
        stack.pop_back();
        if (cur.pairedMotifs.empty()) {
            if (cur.level >= minMotifNumber) testAndPrint(cur.motifs, cur.genes, hits, space, out);
        } else if (cur.level == maxMotifNumber - 1) {
            testLastExtensions(cur, hits, space, out);
        } else {
            growByLastCandidate(std::move(cur), stack, hits, space);
        }
    }
}

void Discovery::testLastExtensions(const Node& cur, const HitStage& hits, SearchScratch& space,
                                   RootOutput& out) {
    for (int32_t c : cur.pairedMotifs) {
        std::vector<int32_t> support = sharedGenes(c, cur, hits, space, enoughGenes());
        if (static_cast<int64_t>(support.size()) < geneNumber) continue;
        std::vector<int32_t> module = cur.motifs;
        module.push_back(c);
        testAndPrint(module, support, hits, space, out);
    }
}

std::optional<Node> Discovery::grow(const Node& cur, const HitStage& hits,
                                    SearchScratch& space) const {
    const int32_t c = cur.pairedMotifs.back();
    std::vector<int32_t> support;
    if (cur.level > 1) {
        support = sharedGenes(c, cur, hits, space, enoughGenes());
    } else if (const GeneSet* pair = pairGenes.genes(cur.motifs.back(), c)) {
        pair->appendTo(support);
    }
    if (static_cast<int64_t>(support.size()) < geneNumber) return std::nullopt;
    Node child{cur.motifs, {}, std::move(support), cur.level + 1};
    child.motifs.push_back(c);
    for (size_t k = 0; k + 1 < cur.pairedMotifs.size(); ++k)
        if (pairGenes.contains(c, cur.pairedMotifs[k]))
            child.pairedMotifs.push_back(cur.pairedMotifs[k]);
    return child;
}

void Discovery::growByLastCandidate(Node cur, std::vector<Node>& stack, const HitStage& hits,
                                    SearchScratch& space) {
    std::optional<Node> child = grow(cur, hits, space);
    cur.pairedMotifs.pop_back();
    stack.push_back(std::move(cur));
    if (child) stack.push_back(std::move(*child));  // none: too few genes, subtree dropped
}

void Discovery::testAndPrint(const std::vector<int32_t>& module,
                             const std::vector<int32_t>& geneList, const HitStage& hits,
                             SearchScratch& space, RootOutput& out) {
    ++testsRun_;
    if (module.size() >= 3) {  // genes by name, as the narrowing gave them
        space.byName = geneList;
        sortByName(space.byName);
        testModule(module, space.byName, hits, space);
    } else {
        testModule(module, geneList, hits, space);
    }
    if (space.found.runs.empty()) return;
    ModuleRecord record = summarize(module, space.found);
    if (output_ == ModuleOutput::ReportAndInstances)
        for (const ModuleInstances::Run& run : space.found.runs) {
            record.found.push_back({run.gene, {}});
            for (uint32_t k = 0; k < run.count; ++k)
                record.found.back().hits.push_back(*space.found.hits[run.first + k]);
        }
    if (output_ != ModuleOutput::RecordsOnly) {
        appendModule(out.reportBuffer(), record.motifs, space.found, record.probability,
                     hits.motifNames, genes);
        out.afterAppend();
    }
    out.record(std::move(record));
    ++modulesPrinted_;
}
