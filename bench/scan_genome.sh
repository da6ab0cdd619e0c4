#!/usr/bin/env bash
# Time and peak memory of rekul-scan over a whole genome: the first 100 modules of the peaks
# run of bench/genome.sh (635 JASPAR 2016 matrices) found on its 200-Mb genome, each
# chromosome one sequence, at the run's -m 0.0001 --exact-cutoffs. The scan is discovery's
# scan: every motif is scanned once for all the modules.
#   bench/scan_genome.sh [build-dir]
#     REKUL_SCAN_THREADS the thread counts (default "2"), REKUL_SCAN_MODULES the modules (100).
# Prints per run: threads, wall seconds, CPU seconds, peak resident MB, instances, Mb per
# second per core, and the wall time extrapolated to a 3.1-Gb genome.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
data=$build/bench-data/genome
motifs=/usr/share/pscan-chip/jaspar_2016.wil
modules=${REKUL_SCAN_MODULES:-100}
# The peaks run gives the modules (once; bench/genome.sh leaves the same report).
if [ ! -s "$data/report.txt" ]; then
  REKUL_GENOME_THREADS=2 "$root/bench/genome.sh" "$build" >/dev/null
fi
awk -v n="$modules" '/^>/ { if (++seen > n) exit } { print }' "$data/report.txt" > "$data/modules.txt"
[ "$(grep -c '^>' "$data/modules.txt")" -eq "$modules" ] ||
  { echo "the peaks run found fewer than $modules modules" >&2; exit 1; }
letters=$(awk '!/^>/ { n += length($0) } END { print n }' "$data/genome.fa")
printf '%-8s %9s %9s %9s %10s %12s %14s\n' threads seconds "CPU s" "peak MB" instances \
  "Mb/s/core" "3.1 Gb (s)"
for threads in ${REKUL_SCAN_THREADS:-2}; do
  /usr/bin/time -f '%e %U %S %M' -o "$data/scan-time.txt" "$build/rekul-scan" --quiet \
    --threads "$threads" -m 0.0001 --exact-cutoffs --modules "$data/modules.txt" \
    --genome "$data/genome.fa" "$motifs" > "$data/instances.bed" 2>/dev/null
  read -r secs user sys kb < "$data/scan-time.txt"
  awk -v t="$threads" -v s="$secs" -v u="$user" -v y="$sys" -v k="$kb" -v l="$letters" \
    -v i="$(wc -l < "$data/instances.bed")" 'BEGIN {
      printf "%-8s %9.1f %9.1f %9d %10d %12.2f %14.0f\n", t, s, u + y, k / 1024, i,
             l / 1e6 / s / t, s * 3.1e9 / l }'
done
