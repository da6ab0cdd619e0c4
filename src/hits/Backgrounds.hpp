// The background of a run and the two hit stages built together. The background is a file
// (--background), windows of a pool matched to the foreground (--match), or shuffled copies
// of the foreground (--shuffled-background). Foreground and background are read first and
// scored together: the composition and the cutoffs come from both sets, so that a gene's
// hits do not depend on the set it is in, and permutations relabel exactly the same hits.
// The two sets are compared in length and GC, with a warning where they differ.
#pragma once

#include <iostream>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "common/Args.hpp"
#include "common/Log.hpp"
#include "common/OutputFile.hpp"
#include "common/Progress.hpp"
#include "common/die.hpp"
#include "hits/HitA.hpp"
#include "hits/HitAO.hpp"
#include "hits/SetComparison.hpp"
#include "motif/MotifA.hpp"

// Genes as FASTA, 60 letters a line; ortholog groups with a '<' line before each species.
void writeGenes(std::ostream& out, const std::vector<Seq>& genes);
void writeGenes(std::ostream& out, const std::vector<SeqO>& groups);

// Writes the background (see OutputFile: complete or not at all).
template <typename Genes>
void writeBackground(const std::string& path, const Genes& genes) {
    OutputFile file(path, "--write-background");
    writeGenes(file.stream(), genes);
    file.commit();
}

// The background file as messages and notes name it.
std::string backgroundName(const Args& settings);

// The background drawn for rekul (needs settings.seed): shuffled copies of the foreground,
// or windows of the pool matched to it. Its line for the statistics table goes to `note`.
HitA drawnBackground(const Args& settings, const HitA& foreground, Progress progress,
                     std::string& note);

// Foreground and background, read and then scanned together.
template <typename HitStage>
struct HitStages {
    std::optional<HitStage> foreground, background;
    std::vector<std::string> notes;  // the table's lines on the background
};

template <typename HitStage>
void readBackground(const Args& settings, HitStages<HitStage>& stages, Progress progress) {
    const HitStage& foreground = *stages.foreground;
    std::string note;
    if constexpr (std::is_same_v<HitStage, HitA>) {
        if (settings.shuffledCopies > 0 || settings.matching()) {
            stages.background.emplace(drawnBackground(settings, foreground, progress, note));
            stages.notes.push_back(note);
            return;
        }
    }
    Args backgroundSettings = settings;
    backgroundSettings.seqFile = settings.backgroundFile;
    stages.background.emplace(backgroundSettings, progress, &foreground);
    stages.notes.push_back("# background: " + backgroundName(settings));
}

// Compares the two sets, keeps the table's notes, writes the background where asked, and
// scans both with the cutoffs of the composition of both.
template <typename HitStage>
void scanTogether(const Args& settings, HitStages<HitStage>& stages, MotifA& motifs) {
    HitStage& foreground = *stages.foreground;
    HitStage& background = *stages.background;
    if (background.shapes.empty())
        die("Error: background " +
            (settings.backgroundFile.empty() && settings.backgroundRegionsFile.empty()
                 ? std::string(settings.genomicRatio > 0 ? "of genome windows"
                                                         : "of shuffled copies")
                 : backgroundName(settings)) +
            " has no gene to compare with");
    const SetComparison comparison = compareSets(foreground.shapes, background.shapes);
    for (const std::string& warning : confoundWarnings(comparison)) logLine(warning);
    const std::vector<std::string> lines = comparisonNotes(comparison);
    stages.notes.insert(stages.notes.end(), lines.begin(), lines.end());
    stages.notes.push_back(
        "# scoring: motif scores and cutoffs from the composition of foreground and background "
        "together");
    if (!settings.writeBackgroundFile.empty())
        writeBackground(settings.writeBackgroundFile, background.seqs);
    foreground.scan(motifs, &background);
    background.scan(motifs);
}

// rekul on regions of a genome (--regions): the foreground, and a background of regions or
// windows of the same genome or of any other kind, read and then scanned together.
HitStages<HitA> regionStages(const Args& settings, MotifA& motifs, Progress progress);

template <typename HitStage>
HitStages<HitStage> buildHitStages(const Args& settings, MotifA& motifs, Progress progress) {
    if constexpr (std::is_same_v<HitStage, HitA>) {
        if (!settings.regionsFile.empty()) return regionStages(settings, motifs, progress);
    }
    HitStages<HitStage> stages;
    if (!settings.hasBackground()) {
        stages.foreground.emplace(settings, motifs, progress);
        return stages;
    }
    stages.foreground.emplace(settings, progress, nullptr);
    readBackground(settings, stages, progress);
    scanTogether(settings, stages, motifs);
    return stages;
}
