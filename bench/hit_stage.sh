#!/usr/bin/env bash
# The hit stage on the 26,454 Drosophila upstream regions (52.9 Mb), one thread: exact
# cutoffs at -m 0.0001, the scan, overlap removal and the pair counts (-g 100000 stops
# before any module search), with the insect library of the shared data and the 635 JASPAR
# 2016 matrices of Debian's pscan-chip-data. Each line: library, build, wall and CPU
# seconds, peak memory.
#   bench/hit_stage.sh [build-dir [before-build-dir]]   REKUL_HIT_ROUNDS: rounds (3)
# With a second build, both run in turn, round after round, on the same files, so that both
# see the same load; the last lines give the fastest CPU time of each and their ratio, and
# the script stops if the two builds' reports differ.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
before=${2:+$(cd "$2" && pwd)}
data=$build/bench-data
rounds=${REKUL_HIT_ROUNDS:-3}
mkdir -p "$data"
source "$root/bench/upstream.sh"
fetch_upstream "$data"
regions=$data/dm3_upstream2000.fa
insect=$root/../shared/data/insect.motifs
jaspar=/usr/share/pscan-chip/jaspar_2016.wil
[ -f "$jaspar" ] || { echo "needs $jaspar (apt-get install pscan-chip-data)" >&2; exit 1; }

run() {  # library, label, program: prints a line and keeps the CPU seconds
  local library=$1 label=$2 program=$3
  /usr/bin/time -f '%e %U %S %M' -o "$data/hit-time.txt" "$program" --quiet --threads 1 \
    --exact-cutoffs -m 0.0001 -g 100000 "${!library}" "$regions" > "$data/hit-$label.txt" \
    2> "$data/hit-$label.err"
  read -r wall user sys kb < "$data/hit-time.txt"
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
  printf '%-7s %-7s %8.2f s wall %8.2f s CPU %7d MB\n' "$library" "$label" "$wall" "$cpu" \
    "$((kb / 1024))"
  echo "$library $label $cpu" >> "$data/hit-cpu.txt"
}

: > "$data/hit-cpu.txt"
for round in $(seq "$rounds"); do
  for library in insect jaspar; do
    [ -n "$before" ] && run "$library" before "$before/rekul"
    run "$library" after "$build/rekul"
    if [ -n "$before" ] && ! cmp -s "$data/hit-before.txt" "$data/hit-after.txt"; then
      echo "the two builds' reports differ ($library)" >&2
      exit 1
    fi
  done
done
awk '{ key = $1 " " $2; if (!(key in best) || $3 < best[key]) best[key] = $3 }
  END {
    split("insect jaspar", libs, " ")
    for (i = 1; i <= 2; ++i) {
      l = libs[i]
      line = sprintf("%-7s fastest CPU: after %.2f s", l, best[l " after"])
      if ((l " before") in best)
        line = line sprintf(", before %.2f s (%.2fx)", best[l " before"],
                            best[l " before"] / best[l " after"])
      print line
    }
  }' "$data/hit-cpu.txt"
