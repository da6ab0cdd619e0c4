#!/usr/bin/env bash
# Time and peak memory of the statistics table with permutations, at the three settings that
# the family-wise error is to be fast at, on the Drosophila upstream regions of Debian's
# r-bioc-biostrings (distinct sequences only) and the insect motif library:
#   300 foreground and 300 background regions at the defaults (-g 40);
#   the 20 tinman enhancers against 2,000 regions at -m 0.001 -g 10;
#   50 regions against all 17,286 distinct regions at -m 0.0001 -g 5.
#   bench/permutations.sh [build-dir [before-build-dir]]  (REKUL_PERMUTATIONS: the count, 1,000)
# Prints one line per setting, in wall seconds: the run without permutations; a search per
# permutation (--permutation-method search), per permutation from a run of
# REKUL_SEARCH_PERMUTATIONS (20) and brought to the full count; one enumeration over the pool
# (the default) at the full count, with its CPU seconds and peak resident MB. With a second
# build, the pool's full count runs on it too, before and after alternating, and a line
# "before" follows each setting's line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
before=${2:-}
data=$build/bench-data
shared=$root/../shared/data
motifs=${REKUL_BENCH_MOTIFS:-$shared/insect.motifs}
permutations=${REKUL_PERMUTATIONS:-1000}
mkdir -p "$data"
source "$root/bench/upstream.sh"
fetch_upstream "$data"
# Distinct sequences, upper case, one line each, in file order.
if [ ! -s "$data/distinct.fa" ]; then
  awk '/^>/ { if (name != "") print name "\t" toupper(seq); name = $1; seq = ""; next }
       { seq = seq $0 } END { print name "\t" toupper(seq) }' "$data/dm3_upstream2000.fa" |
    awk -F'\t' '!seen[$2]++ { print $1 "\n" $2 }' > "$data/distinct.fa"
fi
slice() {  # records FROM to TO (1-based, inclusive) of the distinct regions
  awk -v from="$1" -v to="$2" 'NR % 2 == 1 { k++ } k >= from && k <= to' "$data/distinct.fa"
}
slice 1 300 > "$data/perm-fg300.fa"
slice 301 600 > "$data/perm-bg300.fa"
slice 1 2000 > "$data/perm-bg2000.fa"
slice 1 50 > "$data/perm-fg50.fa"
slice 51 100000 > "$data/perm-rest.fa"

measure() {  # arguments: permutations, method, then rekul arguments; sets secs, cpu and mb
  local count=$1 method=$2; shift 2
  /usr/bin/time -f '%e %U %S %M' -o "$data/time.txt" "${program:-$build/rekul}" --quiet \
    --seed 1 --permutations "$count" --permutation-method "$method" --stats "$data/perm.tsv" \
    "$@" > /dev/null 2>&1
  local user system kb
  read -r secs user system kb < "$data/time.txt"
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
  mb=$((kb / 1024))
}

# Before: a search per permutation, timed without permutations and with a few, and brought
# to the full count; after: one enumeration over the pool, timed at the full count.
run() {  # label, then rekul arguments
  local label=$1; shift
  measure 0 pool "$@"; local base=$secs
  measure "$search_runs" search "$@"; local per
  per=$(awk -v t="$secs" -v b="$base" -v n="$search_runs" 'BEGIN { print (t - b) / n }')
  local old=""
  if [ -n "$before" ]; then  # the before build first, then this one, on the same files
    program=$before/rekul measure "$permutations" pool "$@"
    old=$(printf '%-44s %7s   %9s   %9s   | %7.1f s %7.1f s %6d MB' "  before" "" "" "" \
      "$secs" "$cpu" "$mb")
  fi
  measure "$permutations" pool "$@"
  printf '%-44s %7.1f s %9.3f s %9.0f s | %7.1f s %7.1f s %6d MB\n' "$label" "$base" "$per" \
    "$(awk -v b="$base" -v p="$per" -v n="$permutations" 'BEGIN { print b + p * n }')" "$secs" \
    "$cpu" "$mb"
  [ -z "$old" ] || echo "$old"
}

search_runs=${REKUL_SEARCH_PERMUTATIONS:-20}
printf '%-44s %9s %11s %11s | %9s %9s %9s\n' "setting ($permutations permutations)" "no perm." \
  "search/perm" "search all" "pool all" "pool CPU" "pool peak"
run "300 vs 300 regions, defaults (-g 40)" -g 40 --background "$data/perm-bg300.fa" \
  "$motifs" "$data/perm-fg300.fa"
run "tinman 20 vs 2,000 regions, -m 0.001 -g 10" -m 0.001 -g 10 \
  --background "$data/perm-bg2000.fa" "$motifs" "$shared/tinman20.fa"
run "50 vs 17,236 regions, -m 0.0001 -g 5" -m 0.0001 -g 5 --background "$data/perm-rest.fa" \
  "$motifs" "$data/perm-fg50.fa"
