#!/bin/bash
# Remakes the README's and the manual's figures from one matched run: the 20 tinman enhancers
# against windows matched in length and GC (--match length,gc) from 1,000 Drosophila upstream
# regions of 4 kb (two distinct 2-kb regions joined), 126 insect matrices, 1,000
# permutations, seed 1. The page's own drawings are written by rekul-report --svg and turned
# into PNG by headless Chromium at twice their size.
# Usage: docs/figures/make.sh [BUILD_DIR [OUT_DIR]]   (from the project root; needs chromium)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
data=$here/../../../shared/data
out=${2:-$here}
work=$build/figures-run   # the run is kept: a second call only redraws
mkdir -p "$work"
. "$here/../../bench/upstream.sh"
fetch_upstream "$build/bench-data"
# 2,000 distinct regions without N, joined in pairs into a pool of 1,000 regions of 4 kb.
awk '/^>/ { if (seq != "" && seq !~ /[Nn]/ && !(seq in seen)) { seen[seq] = 1; kept[n++] = seq }
            seq = ""; next }
     { seq = seq $0 }
     END { for (i = 0; i + 1 < n && i < 2000; i += 2)
             printf ">pool%04d\n%s%s\n", i / 2 + 1, kept[i], kept[i + 1] }' \
  "$build/bench-data/dm3_upstream2000.fa" > "$work/pool.fa"
[ -s "$work/report.txt" ] ||
"$build/rekul" --progress summary --seed 1 -m 0.001 -g 10 --match length,gc --background "$work/pool.fa" \
  --permutations 1000 --stats "$work/stats.tsv" \
  "$data/insect.motifs" "$data/tinman20.fa" > "$work/report.txt"
rm -rf "$work/svg" "$work/profile"
"$build/rekul-report" --svg "$work/svg" --stats "$work/stats.tsv" --motifs "$data/insect.motifs" \
  --fasta "$data/tinman20.fa" "$work/report.txt"
# The module the page draws first: the lowest fwer (then p) among those that fold under no
# other module.
best=$("$build/rekul-report" --stats "$work/stats.tsv" "$work/report.txt" |
  awk -F'\t' 'NR > 1 && !/^#/ && $NF == ""' | sort -t$'\t' -k13,13g -k10,10g | awk 'NR == 1 { print $1 }')
for figure in volcano heatmap network "$best"; do
  svg=$work/svg/$figure.svg
  size=$(grep -o '<svg[^>]*' "$svg" | head -1 | sed -E 's/.*width="([0-9.]+)".*height="([0-9.]+)".*/\1 \2/')
  read -r width height <<<"$size"
  name=$figure
  [ "$figure" = "$best" ] && name=module
  chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --force-device-scale-factor=2 \
    --user-data-dir="$work/profile" --window-size="${width%.*},${height%.*}" \
    --screenshot="$out/tinman-$name.png" "file://$svg" 2>/dev/null
done
echo "Done: figures of module $best and the plots in $out"
