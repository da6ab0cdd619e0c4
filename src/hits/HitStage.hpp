// What the two hit stages share: the settings they copy, the background frequencies, the
// score cutoffs, and the scan of one sequence with every motif followed by overlap removal.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Args.hpp"
#include "common/Parallel.hpp"
#include "common/Progress.hpp"
#include "common/Text.hpp"
#include "hits/GeneShape.hpp"
#include "hits/Hit.hpp"
#include "hits/SeqReader.hpp"
#include "motif/MotifA.hpp"
#include "motif/SharedFilter.hpp"
#include "motif/WindowFilter.hpp"
#include "motif/WindowScore.hpp"

class HitStage {
  public:
    std::string seqFile;
    float scoreThreshold;
    bool pValueCutoff;  // scoreThreshold is a p-value
    float pseudocount;
    int32_t overlapDistance;
    bool maskLowercase;
    std::vector<float> baseFreq;
    std::vector<SeqHit> seqHits;          // one entry per gene, in file order
    std::vector<std::string> motifNames;  // name of each motif id, in byte-wise order
    std::vector<GeneShape> shapes;        // length and GC of each gene kept (reference species)
    // By motif id, over every sequence scanned: the hits above the cutoff, and those that
    // overlap removal keeps in the genes' lists.
    std::vector<int64_t> hitsScanned, hitsKept;
    // With siteContexts requested (the grammar counts a stretch of DNA once): per gene, per
    // hit of its list, a hash of the hit's letters and kContextFlank letters on each side.
    std::vector<std::vector<uint64_t>> siteContexts;
    static constexpr int32_t kContextFlank = 16;

    // A copy of `like`'s motif names and of the given hit lists, for a discovery run on a
    // sample of genes.
    HitStage(const HitStage& like, std::vector<SeqHit> genes);

  protected:
    // A background stage (foreground not null) scores its genes with the foreground's
    // background frequencies and cutoffs, and leaves out genes named like foreground genes.
    HitStage(const Args& settings, Progress progress, const HitStage* foreground = nullptr);

    // Hashes the letters around every kept hit of gene g (see siteContexts).
    void hashSiteContexts(size_t g, std::string_view text);
    bool keepSiteContexts_ = false;

    // Checks and upper-cases (unless masking) one sequence text.
    void takeSequence(const std::string& name, std::string& text);
    // Settles the genes just read (each with a `name`): drops background genes named like a
    // foreground gene, warns of genes that repeat an earlier gene's sequence texts (dropped
    // with --unique), and counts the bases of the genes kept.
    // `groups`: each gene is an ortholog group of species texts.
    template <typename Genes, typename TextsOf>
    void settleGenes(Genes& genes, TextsOf&& textsOf, bool groups) {
        std::vector<const std::string*> names;
        std::vector<std::vector<std::string_view>> texts;
        for (const auto& gene : genes) {
            names.push_back(&gene.name);
            texts.push_back(textsOf(gene));
        }
        describeGenes(names, texts, groups);
        const std::vector<char> keep = genesToKeep(names, texts, groups);
        size_t kept = 0;
        for (size_t g = 0; g < genes.size(); ++g) {
            if (!keep[g]) continue;
            for (std::string_view text : texts[g]) counts_.add(text);
            geneNames_.push_back(*names[g]);
            shapes.push_back(shapeOf(texts[g].empty() ? std::string_view() : texts[g].front()));
            if (kept != g) genes[kept] = std::move(genes[g]);
            ++kept;
        }
        genes.resize(kept);
        // Views of the texts kept (where they now are), for a background to compare with
        // until this stage scans.
        for (const auto& gene : genes) keptTexts_.push_back(textsOf(gene));
    }
    // Reads the motifs' cutoffs and prepares the scan: a foreground stage sets the cutoffs
    // (MotifScore), a background stage takes the foreground's composition.
    void prepareScan(MotifA& motifs);
    // Turns the base counts of all sequences into the background frequencies.
    void setBackground();
    // Label-blind scoring: the background frequencies from this stage's genes and `other`'s
    // together, so that a gene scores the same whichever of the two sets it is in.
    void poolComposition(const HitStage& other);
    // Builds the motifs' score tables and sets every motif's cutoff: the fixed threshold, or
    // one read off a background sample. Needs the background frequencies.
    void MotifScore(MotifA& motifs);
    // Takes the cutoffs from the library before scanning.
    void readCutoffs(const MotifA& motifs);
    // Fills seqHits with scanGene(gene) for every gene (anything with a `name`), genes in
    // parallel, their entries and progress lines in file order.
    template <typename Genes, typename ScanGene>
    void scanGenes(const Genes& genes, ScanGene&& scanGene) {
        seqHits.resize(genes.size());
        // A background's genes are scanned without a line each.
        orderedParallelFor(
            genes.size(), threads_, [&](size_t g) { seqHits[g] = scanGene(genes[g]); },
            [&](size_t g) {
                if (!foreground_) progress_.line("motifHit for gene " + printable(genes[g].name));
            });
    }
    // The second step of a stage: the composition (pooled with `pooledWith`'s where given),
    // the cutoffs or the foreground's, the scan of every gene (`scanAll`), and the texts of
    // `genes` dropped.
    template <typename Genes, typename ScanAll>
    void scanAndRelease(MotifA& motifs, const HitStage* pooledWith, Genes& genes,
                        ScanAll&& scanAll) {
        if (pooledWith) poolComposition(*pooledWith);
        prepareScan(motifs);
        scanned_ = std::make_unique<std::atomic<int64_t>[]>(motifNames.size());
        scanAll();
        countHits();
        keptTexts_.clear();
        genes.clear();
        genes.shrink_to_fit();
    }
    // All hits of one sequence above their motif's cutoff, thinned, ascending by start.
    std::vector<MHit> scanSequence(const std::string& text) const;
    // Forgets the views of the genes' texts, before the texts go.
    void dropTexts() { keptTexts_.clear(); }
    // A gene's sites (--sites), in scan order, thinned as scanSequence thins a scan's hits.
    std::vector<MHit> thinSites(std::vector<MHit> sites) const;
    // Fills hitsScanned and hitsKept once every gene is scanned.
    void countHits();
    std::unique_ptr<std::atomic<int64_t>[]> scanned_;  // hits above the cutoff, by motif id
    std::string sitesFile_;  // --sites (or --background-sites): the hits, in place of a scan
    // Starts scanned at a time before their hits are reduced (see scanSequence).
    int64_t scanChunk_ = 4096;

    void buildTables(const MotifA& motifs);
    // The background sample of p-value cutoffs, drawn from the composition.
    std::vector<uint8_t> drawSample(const MotifA& motifs) const;

    Progress progress_;
    std::string readLine_;  // said in place of the "Read:" line of the genes, if not empty
    const HitStage* foreground_;
    bool uniqueSequences_;
    std::string program_;
    std::optional<uint32_t> seed_;
    bool exactCutoffs_;
    bool homerCutoffs_ = false;
    bool seedShown_;  // the run has already written its "Random seed" line
    int threads_;

  private:
    // The "Read:" line, and warnings for genes that look like text and for genes that -l
    // masks whole.
    void describeGenes(const std::vector<const std::string*>& names,
                       const std::vector<std::vector<std::string_view>>& texts, bool groups) const;
    std::vector<char> genesToKeep(const std::vector<const std::string*>& names,
                                  const std::vector<std::vector<std::string_view>>& texts,
                                  bool groups) const;
    // A background leaves out genes named like a foreground gene and genes without a base,
    // and names (with --unique: leaves out) genes that repeat a foreground gene's sequence.
    void dropBackgroundMisfits(const std::vector<const std::string*>& names,
                               const std::vector<std::vector<std::string_view>>& texts, bool groups,
                               std::vector<char>& keep) const;

    BaseCounts counts_;
    std::vector<std::string> geneNames_;  // of the genes kept, before the scan names them
    std::vector<std::vector<std::string_view>> keptTexts_;  // until the scan drops the texts
    std::vector<MotifTable> tables_;
    std::vector<float> cutoffs_;
    std::vector<WindowFilter> filters_;
    std::vector<int32_t> idOfMotif_;
    std::optional<SharedFilter> shared_;
};

// "30 motifs lose every hit to overlapping hits of other motifs, e.g. Antp (99 hits)": the
// motifs with hits of which overlap removal keeps none, the first three by name; empty where
// every motif with a hit keeps one.
std::string vanishedMotifsWarning(const std::vector<std::string>& names,
                                  const std::vector<int64_t>& scanned,
                                  const std::vector<int64_t>& kept);

// The motifs of a scan, by library index: score tables, filters, cutoffs and name ids, and
// the shared filter over all of them.
struct ScanMotifs {
    const std::vector<MotifTable>& tables;
    const std::vector<WindowFilter>& filters;
    const std::vector<float>& cutoffs;
    const std::vector<int32_t>& ids;
    const SharedFilter& shared;
    bool vectorPaths = true;  // false: the portable filters only, as on a processor without AVX2
};

// Every hit of every motif with a start from `from` to before `to`, in scan order: by start,
// then by library index, forward before reverse. At each start one lookup per block of 64
// motifs names the motifs whose own filter and then scoring are tried; the motifs outside
// the blocks are scanned one by one through their own filter.
void appendLibraryHits(const ScanMotifs& motifs, const SequenceCodes& sequence,
                       std::vector<MHit>& hits, int64_t from = 0, int64_t to = INT64_MAX);

// Every hit of one motif on a sequence: placements whose score exceeds the cutoff, forward
// before reverse at each start, in ascending start. Only windows the filter lets through
// are scored.
// Only starts from `from` to before `to` are tried; `starts` is working space.
void appendMotifHits(const MotifTable& table, const WindowFilter& filter, float cutoff,
                     int32_t motifId, const SequenceCodes& sequence, std::vector<MHit>& hits,
                     std::vector<int32_t>& starts, int64_t from = 0, int64_t to = INT64_MAX,
                     bool vectorPaths = true);
