// Depth-first module search over the motifs in search order, on an explicit stack. A node's
// candidates co-occur with every motif of the node; they are taken from the back, and a
// child keeps only the candidates before the one taken, so every motif set is reached once.
// A node is tested when its candidates are used up; at seven motifs its one-motif
// extensions are tested instead of growing further.
#include "common/die.hpp"
#include "modules/Discovery.hpp"

void Discovery::FindCRM(const HitStage& hits) {
    for (size_t i = 0; i < motifs.size(); ++i) {
        progress_.line("motif " + std::to_string(i) + " of " + std::to_string(motifs.size()));
        searchFrom(i, hits);
    }
}

Node Discovery::rootNode(size_t rootIndex) const {
    Node root{{motifs[rootIndex]}, {}, std::vector<int32_t>(genes.size()), 1};
    for (size_t j = rootIndex + 1; j < motifs.size(); ++j)
        if (pairGenes.contains(motifs[rootIndex], motifs[j]))
            root.pairedMotifs.push_back(motifs[j]);
    for (size_t g = 0; g < genes.size(); ++g) root.genes[g] = static_cast<int32_t>(g);
    return root;
}

void Discovery::searchFrom(size_t rootIndex, const HitStage& hits) {
    std::vector<Node> stack{rootNode(rootIndex)};
    while (!stack.empty()) {
        Node cur = std::move(stack.back());
        stack.pop_back();
        if (stack.empty())  // the root comes back once per candidate
            progress_.line("\tnumber of paired motifs left: " +
                           std::to_string(cur.pairedMotifs.size()));
        if (cur.pairedMotifs.empty()) {
            if (cur.level >= minMotifNumber) testAndPrint(cur.motifs, cur.genes, hits);
        } else if (cur.level == maxMotifNumber - 1) {
            testLastExtensions(cur, hits);
        } else {
            growByLastCandidate(std::move(cur), stack, hits);
        }
    }
}

void Discovery::testLastExtensions(const Node& cur, const HitStage& hits) {
    for (int32_t c : cur.pairedMotifs) {
        std::vector<int32_t> support = FindGeneShared(c, cur, hits);
        if (static_cast<int64_t>(support.size()) < geneNumber) continue;
        std::vector<int32_t> module = cur.motifs;
        module.push_back(c);
        testAndPrint(module, support, hits);
    }
}

void Discovery::growByLastCandidate(Node cur, std::vector<Node>& stack, const HitStage& hits) {
    const int32_t c = cur.pairedMotifs.back();
    cur.pairedMotifs.pop_back();
    std::vector<int32_t> support;
    if (cur.level > 1) {
        support = FindGeneShared(c, cur, hits);
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
                             const std::vector<int32_t>& geneList, const HitStage& hits) {
    std::vector<Crm> crms = TestCRM(module, geneList, hits);
    if (crms.empty()) return;
    PrintCRM(module, crms, hits);
    ++modulesPrinted_;
}
