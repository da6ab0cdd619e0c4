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

#include "common/OrderedOutput.hpp"
#include "common/Parallel.hpp"
#include "common/die.hpp"
#include "modules/Discovery.hpp"

namespace {
// Output that later roots may hold while an earlier one is still running.
constexpr size_t kReorderBudget = size_t{8} << 20;
}  // namespace

// The search from one root motif, cut into items that run in parallel: each time the root
// comes back with `left` candidates, it writes its progress line and grows by its last
// candidate, whose whole subtree belongs to the item; with none left it is tested itself.
struct Discovery::SearchItem {
    size_t root;
    size_t left;
};

void Discovery::FindCRM(const HitStage& hits) {
    if (motifs.empty()) return;
    ensureIndex(hits);
    std::vector<SearchItem> items;
    for (size_t i = 0; i < motifs.size(); ++i)
        for (size_t left = rootNode(i, false).pairedMotifs.size() + 1; left-- > 0;)
            items.push_back({i, left});
    OrderedOutput output(report_, progress_, kReorderBudget);
    std::vector<SearchScratch> scratch(std::max(1, threads_),
                                       SearchScratch(hits.motifNames.size()));
    std::atomic<size_t> next{0};
    auto worker = [&](SearchScratch& space) {
        std::string buffer;
        // Once the report cannot be written, the rest of the search is of no use.
        for (size_t k; output.failure() == 0 && (k = next.fetch_add(1)) < items.size();) {
            RootOutput out(output, k, buffer);
            searchItem(items[k], hits, space, out);
            out.flush();
            output.finish(k);
        }
    };
    std::vector<std::thread> pool;
    for (size_t t = 1; t < scratch.size() && t < items.size(); ++t)
        pool.emplace_back(worker, std::ref(scratch[t]));
    worker(scratch[0]);
    for (std::thread& thread : pool) thread.join();
    if (output.failure() != 0)
        die(std::string("Error: cannot write the report: ") + std::strerror(output.failure()));
}

Node Discovery::rootNode(size_t rootIndex, bool withGenes) const {
    Node root{{motifs[rootIndex]}, {}, {}, 1};
    for (size_t j = rootIndex + 1; j < motifs.size(); ++j)
        if (pairGenes.contains(motifs[rootIndex], motifs[j]))
            root.pairedMotifs.push_back(motifs[j]);
    if (withGenes)
        for (size_t g = 0; g < genes.size(); ++g) root.genes.push_back(static_cast<int32_t>(g));
    return root;
}

void Discovery::searchItem(const SearchItem& item, const HitStage& hits, SearchScratch& space,
                           RootOutput& out) {
    Node root = rootNode(item.root, item.left == 0);
    if (item.left == root.pairedMotifs.size())
        out.progress("motif " + std::to_string(item.root) + " of " + std::to_string(motifs.size()));
    out.progress("\tnumber of paired motifs left: " + std::to_string(item.left));
    if (item.left == 0) {
        if (root.level >= minMotifNumber) testAndPrint(root.motifs, root.genes, hits, space, out);
        return;
    }
    root.pairedMotifs.resize(item.left);
    std::vector<Node> stack;
    growByLastCandidate(std::move(root), stack, hits, space);
    if (stack.size() < 2) return;  // too few genes for the extension
    std::vector<Node> subtree{std::move(stack.back())};
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

void Discovery::growByLastCandidate(Node cur, std::vector<Node>& stack, const HitStage& hits,
                                    SearchScratch& space) {
    const int32_t c = cur.pairedMotifs.back();
    cur.pairedMotifs.pop_back();
    std::vector<int32_t> support;
    if (cur.level > 1) {
        support = sharedGenes(c, cur, hits, space, enoughGenes());
    } else if (const auto* list = pairGenes.genes(cur.motifs.back(), c)) {
        support = *list;
    }
    if (static_cast<int64_t>(support.size()) < geneNumber) {
        stack.push_back(std::move(cur));  // too few genes: drop this extension and its subtree
        return;
    }
    Node child{cur.motifs, {}, std::move(support), cur.level + 1};
    child.motifs.push_back(c);
    for (int32_t d : cur.pairedMotifs)
        if (pairGenes.contains(c, d)) child.pairedMotifs.push_back(d);
    stack.push_back(std::move(cur));
    stack.push_back(std::move(child));
}

void Discovery::testAndPrint(const std::vector<int32_t>& module,
                             const std::vector<int32_t>& geneList, const HitStage& hits,
                             SearchScratch& space, RootOutput& out) {
    if (module.size() >= 3) {  // genes by name, as the narrowing gave them
        std::vector<int32_t> byName = geneList;
        sortByName(byName);
        testModule(module, byName, hits, space);
    } else {
        testModule(module, geneList, hits, space);
    }
    if (space.found.runs.empty()) return;
    appendBlock(out.reportBuffer(), module, space.found, hits);
    out.afterAppend();
    ++modulesPrinted_;
}
