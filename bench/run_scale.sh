#!/usr/bin/env bash
# Whole-program timing and peak memory on the Drosophila upstream regions (26,454 x 2 kb)
# shipped in Debian's r-bioc-biostrings package, with the insect motif library.
#   bench/run_scale.sh [build-dir]
# Prints one line per run: records, options, wall seconds, peak resident MB, modules.
# REKUL_SCALE_RUNS (records:gene-threshold pairs) and REKUL_DEFAULT_SIZES choose the runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
data=$build/bench-data
motifs=${REKUL_BENCH_MOTIFS:-$root/../shared/data/insect.motifs}
mkdir -p "$data"
source "$root/bench/upstream.sh"
fetch_upstream "$data"
full=$data/dm3_upstream2000.fa

first() {  # first N records of the full file
  awk -v n="$1" '/^>/ { if (++k > n) exit } { print }' "$full" > "$data/first$1.fa"
  echo "$data/first$1.fa"
}

run() {  # label, then rekul arguments
  local label=$1; shift
  /usr/bin/time -f '%e %M' -o "$data/time.txt" "$build/rekul" "$@" > "$data/out.txt" 2>/dev/null
  read -r secs kb < "$data/time.txt"
  printf '%-34s %8.1f s %8.0f MB %6d modules\n' "$label" "$secs" "$((kb / 1024))" \
    "$(grep -c '^>' "$data/out.txt" || true)"
}

run "26454 genes, -g 100000 (no search)" -g 100000 "$motifs" "$full"
for pair in ${REKUL_SCALE_RUNS:-500:20 2000:40 5000:60 26454:200}; do
  n=${pair%:*} g=${pair#*:}
  run "$n genes, -m 0.0001 -g $g" -m 0.0001 -g "$g" "$motifs" "$(first "$n")"
done
# Default settings (-m 5 -g 15): the search grows steeply with the number of genes.
for n in ${REKUL_DEFAULT_SIZES:-50 100 200}; do
  run "$n genes, default settings" "$motifs" "$(first "$n")"
done
