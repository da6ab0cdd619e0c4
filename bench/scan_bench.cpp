// Micro-benchmarks of the scanner and of the p-value cutoffs on real data.
//   REKUL_BENCH_FASTA   upstream sequences (bench/run_scale.sh fetches them)
//   REKUL_BENCH_MOTIFS  motif library (default: the insect library of the shared data)
// Scan speed is reported as placements per second (one placement = one motif at one start,
// both strands); the cutoff benchmark is one motif's cutoff at -m 0.0001.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "hits/HitStage.hpp"
#include "hits/SeqReader.hpp"
#include "motif/Cutoff.hpp"
#include "motif/ExactCutoff.hpp"
#include "motif/WindowFilter.hpp"

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

// The first `limit` sequences of a FASTA file, upper-cased.
std::vector<std::string> readSequences(const std::string& path, size_t limit) {
    std::ifstream in(path);
    std::vector<std::string> seqs;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '>') {
            if (seqs.size() == limit) break;
            seqs.emplace_back();
        } else if (!seqs.empty()) {
            upperCase(line);
            seqs.back() += line;
        }
    }
    return seqs;
}

MotifA loadMotifs() {
    Args settings;
    settings.motifFile = envOr("REKUL_BENCH_MOTIFS", DEFAULT_MOTIFS);
    return MotifA(settings);
}

const float kBackground[4] = {0.29f, 0.21f, 0.21f, 0.29f};

// The hit scan of 2,000 upstream regions with every motif: state.range(0) 0 at the fixed
// cutoff of -m 5, 1 at the exact cutoffs of -m 0.0001; state.range(1) 1 through the window
// filter (the program's scan), 0 scoring every placement (the plain scan).
void BM_HitScan(benchmark::State& state) {
    std::vector<std::string> seqs = readSequences(envOr("REKUL_BENCH_FASTA", ""), 2000);
    if (seqs.empty()) return state.SkipWithError("set REKUL_BENCH_FASTA to a FASTA file");
    MotifA library = loadMotifs();
    const bool pValue = state.range(0) == 1, filtered = state.range(1) == 1;
    std::vector<MotifTable> tables;
    std::vector<WindowFilter> filters;
    std::vector<float> cutoffs;
    for (Motif& motif : library.motifs) {
        tables.emplace_back(motif, kBackground);
        cutoffs.push_back(pValue ? exactCutoff(tables.back(), kBackground, 1e-4) : 5.0f);
        filters.emplace_back(tables.back(), cutoffs.back());
    }
    int64_t windows = 0, hitCount = 0;
    std::vector<int32_t> starts;
    for (auto _ : state) {
        for (const std::string& seq : seqs) {
            std::vector<MHit> hits;
            const SequenceCodes sequence(seq);
            for (size_t m = 0; m < tables.size(); ++m) {
                windows += 2 * (sequence.size() - tables[m].width() + 1);
                if (filtered) {
                    appendMotifHits(tables[m], filters[m], cutoffs[m], 0, sequence, hits, starts);
                    continue;
                }
                scanPlacements(tables[m], sequence.codes, [&](int64_t q, float f, float r) {
                    if (f > cutoffs[m]) hits.push_back({0, static_cast<int32_t>(q), 0, '+', f});
                    if (r > cutoffs[m]) hits.push_back({0, static_cast<int32_t>(q), 0, '-', r});
                });
            }
            hitCount += static_cast<int64_t>(hits.size());
            benchmark::DoNotOptimize(hits.data());
        }
    }
    state.counters["window scores/s"] =
        benchmark::Counter(static_cast<double>(windows), benchmark::Counter::kIsRate);
    state.counters["hits"] =
        static_cast<double>(hitCount) / static_cast<double>(state.iterations());
    state.SetLabel(std::string(pValue ? "-m 0.0001" : "-m 5") +
                   (filtered ? ", filtered" : ", plain"));
}
BENCHMARK(BM_HitScan)
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond);

// The same placements scored one window at a time, and with a logarithm at every term:
// the two simpler ways of computing the identical sums.
void BM_ScanOneWindowAtATime(benchmark::State& state) {
    std::vector<std::string> seqs = readSequences(envOr("REKUL_BENCH_FASTA", ""), 100);
    if (seqs.empty()) return state.SkipWithError("set REKUL_BENCH_FASTA to a FASTA file");
    MotifA library = loadMotifs();
    const bool takeLogs = state.range(0) == 1;
    int64_t placements = 0;
    for (auto _ : state) {
        for (const std::string& seq : seqs) {
            std::vector<uint8_t> codes = encodeBases(seq);
            for (const Motif& motif : library.motifs) {
                MotifTable table(motif, kBackground);
                for (size_t q = 0; q + motif.length <= codes.size(); ++q, ++placements) {
                    float fwd = 0, rev = 0;
                    if (!takeLogs) {
                        table.score(codes.data() + q, fwd, rev);
                    } else {
                        for (int i = 0; i < motif.length; ++i) {
                            int b = codes[q + i] & 3, j = motif.length - 1 - i;
                            fwd += std::log(
                                static_cast<double>(motif.freq[4 * i + b] / kBackground[b]));
                            rev += std::log(static_cast<double>(motif.freq[4 * j + 3 - b] /
                                                                kBackground[3 - b]));
                        }
                    }
                    benchmark::DoNotOptimize(fwd);
                    benchmark::DoNotOptimize(rev);
                }
            }
        }
    }
    state.counters["placements/s"] =
        benchmark::Counter(static_cast<double>(placements), benchmark::Counter::kIsRate);
    state.SetLabel(takeLogs ? "logarithm at every term" : "table, one window at a time");
}
BENCHMARK(BM_ScanOneWindowAtATime)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CutoffAtPValue(benchmark::State& state) {
    MotifA library = loadMotifs();
    const float t = 0.0001f;
    std::vector<uint8_t> sample = FreqToSeq(kBackground, sampleLength(t), 1);
    size_t m = 0;
    for (auto _ : state) {
        const Motif& motif = library.motifs[m++ % library.motifs.size()];
        benchmark::DoNotOptimize(sampleCutoff(MotifTable(motif, kBackground), sample, t));
    }
    state.SetLabel("one motif, 500,000-letter sample");
}
BENCHMARK(BM_CutoffAtPValue)->Unit(benchmark::kMillisecond);

// Every motif's cutoff from the exact score distribution (--exact-cutoffs) at p-value
// state.range(0) * 1e-6, against one background sample shared by all (the default).
void BM_AllCutoffs(benchmark::State& state) {
    MotifA library = loadMotifs();
    const float t = static_cast<float>(state.range(0)) * 1e-6f;
    const bool exact = state.range(1) == 1;
    std::vector<MotifTable> tables;
    for (const Motif& motif : library.motifs) tables.emplace_back(motif, kBackground);
    for (auto _ : state) {
        std::vector<uint8_t> sample;
        if (!exact) sample = FreqToSeq(kBackground, sampleLength(t), 1);
        for (const MotifTable& table : tables)
            benchmark::DoNotOptimize(exact ? exactCutoff(table, kBackground, t)
                                           : sampleCutoff(table, sample, t));
    }
    state.SetLabel(std::to_string(tables.size()) + " motifs, " + (exact ? "exact" : "sampled"));
}
BENCHMARK(BM_AllCutoffs)
    ->Args({100, 1})
    ->Args({100, 0})
    ->Args({1000, 1})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
