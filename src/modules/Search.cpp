// Depth-first module search over the motifs in search order, on an explicit stack. A node's
// candidates co-occur with every motif of the node; they are taken from the back, and a
// child keeps only the candidates before the one taken, so every motif set is reached once.
// A node is tested when its candidates are used up; at seven motifs its one-motif
// extensions are tested instead of growing further.
#include "common/die.hpp"
#include "modules/Tree.hpp"

void Discovery::FindCRM(const HitStage& hits) {
    for (size_t i = 0; i < motifs.size(); ++i) {
        progress("motif " + std::to_string(i) + " of " + std::to_string(motifs.size()));
        searchFrom(i, hits);
    }
}

void Discovery::searchFrom(size_t rootIndex, const HitStage& hits) {
    Node root{{motifs[rootIndex]}, {}, {}, 1};
    for (size_t j = rootIndex + 1; j < motifs.size(); ++j)
        if (pairGenes.contains(motifs[rootIndex], motifs[j]))
            root.pairedMotifs.push_back(motifs[j]);
    root.genes.resize(genes.size());
    for (size_t g = 0; g < genes.size(); ++g) root.genes[g] = static_cast<int32_t>(g);
    std::vector<Node> stack{std::move(root)};
    while (!stack.empty()) {
        Node cur = std::move(stack.back());
        stack.pop_back();
        if (stack.empty())
            progress("\tnumber of paired motifs left: " + std::to_string(cur.pairedMotifs.size()));
        if (cur.pairedMotifs.empty()) {
            if (cur.level >= minMotifNumber) testAndPrint(cur.motifs, cur.genes, hits);
            continue;
        }
        if (cur.level == maxMotifNumber - 1) {
            for (int32_t c : cur.pairedMotifs) {
                std::vector<int32_t> support = FindGeneShared(c, cur, hits);
                if (static_cast<int64_t>(support.size()) < geneNumber) continue;
                std::vector<int32_t> module = cur.motifs;
                module.push_back(c);
                testAndPrint(module, support, hits);
            }
            continue;
        }
        const int32_t c = cur.pairedMotifs.back();
        cur.pairedMotifs.pop_back();
        std::vector<int32_t> support;
        if (cur.level == 1) {
            if (const auto* list = pairGenes.genes(cur.motifs.back(), c)) support = *list;
        } else {
            support = FindGeneShared(c, cur, hits);
        }
        if (static_cast<int64_t>(support.size()) < geneNumber) {
            stack.push_back(std::move(cur));
            continue;
        }
        Node child{cur.motifs, {}, std::move(support), cur.level + 1};
        child.motifs.push_back(c);
        for (int32_t d : cur.pairedMotifs)
            if (pairGenes.contains(c, d)) child.pairedMotifs.push_back(d);
        stack.push_back(std::move(cur));
        stack.push_back(std::move(child));
    }
}

void Discovery::testAndPrint(const std::vector<int32_t>& module,
                             const std::vector<int32_t>& geneList, const HitStage& hits) {
    std::vector<Crm> crms = TestCRM(module, geneList, hits);
    if (!crms.empty()) PrintCRM(module, crms, hits);
}
