// Sequence file of rekul: a '>' title line starts each gene (the first line is a title
// whatever it holds); the lines up to the next title are joined unchanged into its sequence.
#include "hits/HitA.hpp"

#include "common/LineReader.hpp"
#include "common/die.hpp"
#include "hits/SeqReader.hpp"

HitA::HitA(Args settings, MotifA& motifs, uint32_t seed) : HitStage(settings) {
    ReadSeq();
    MotifScore(motifs, seed);
    SeqMotifHit(motifs);
    seqs.clear();
    seqs.shrink_to_fit();
}

void HitA::ReadSeq() {
    LineReader reader(seqFile);
    if (!reader.isOpen()) die("Can't open sequence file!!!");
    std::string title;
    if (!reader.next(title) || title.empty()) die("Error: sequence file has no title line");
    BaseCounts counts;
    UniqueNames names;
    bool anotherGene = true;
    while (anotherGene) {
        Seq gene{geneNameFromTitle(title), ""};
        names.add(gene.name);
        anotherGene = false;
        std::string line;
        while (reader.next(line)) {
            if (!line.empty() && line[0] == '>') {
                title = line;
                anotherGene = true;
                break;
            }
            gene.seq += line;
        }
        checkSequenceLength(gene.name, gene.seq.size());
        if (!maskLowercase) upperCase(gene.seq);
        counts.add(gene.seq);
        seqs.push_back(std::move(gene));
    }
    auto freq = counts.frequencies(pseudocount);
    baseFreq.assign(freq.begin(), freq.end());
}

void HitA::SeqMotifHit(MotifA& motifs) {
    prepareScan(motifs);
    for (const Seq& gene : seqs) {
        progress("motifHit for gene " + gene.name);
        seqHits.push_back(
            {gene.name, static_cast<int32_t>(gene.seq.size()), scanSequence(gene.seq)});
    }
}
