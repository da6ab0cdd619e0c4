#!/usr/bin/env bash
# Time and peak memory of --grammar on one thread: the modules of the 20 tinman enhancers
# with the 126 insect matrices at -m 0.001 -g 10 (about 4,600 modules), with 1,000 null
# draws (REKUL_GRAMMAR_DRAWS), against the same run without --grammar.
#   bench/grammar.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shared=$root/../shared/data
draws=${REKUL_GRAMMAR_DRAWS:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  /usr/bin/time -f "%e %U %M" -o "$work/time" "$build/rekul" --quiet --seed 1 --threads 1 \
    -m 0.001 -g 10 "$@" "$shared/insect.motifs" "$shared/tinman20.fa" > "$work/report.txt" \
    2> /dev/null
  read -r wall user kb < "$work/time"
  echo "$wall s wall, $user s CPU, $((kb / 1024)) MB"
}
echo "modules: $(grep -c '^>' <(run >/dev/null; cat "$work/report.txt"))"
echo "without --grammar: $(run)"
echo "with --grammar ($draws draws): $(run --grammar "$work/grammar.tsv" --grammar-permutations "$draws")"
echo "rows: $(grep -vc '^#' "$work/grammar.tsv")"
if [ -n "${REKUL_GRAMMAR_KEEP:-}" ]; then cp "$work/grammar.tsv" "$REKUL_GRAMMAR_KEEP"; fi
