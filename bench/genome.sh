#!/usr/bin/env bash
# Time and peak memory of a peaks run: regions of a genome read through its index, with a
# matched genomic background. A synthetic genome of 200 Mb (ten chromosomes of random
# letters, GC varying from chromosome to chromosome) and 150,000 regions of 500 bp, scanned
# with the 635 JASPAR 2016 matrices of Debian's pscan-chip-data at -m 0.0001 --exact-cutoffs,
# with --genomic-background 2 and the statistics table, on 1 and 2 threads.
#   bench/genome.sh [build-dir [before-build-dir]]
#     REKUL_GENOME_GENES sets -g (300: 0.2 % of the regions); REKUL_GENOME_MOTIFS another motif
#     file (the bundled example's eight matrices time the reading of the genome, not the scan);
#     REKUL_GENOME_THREADS the thread counts (default "1 2"); a second build is timed beside
#     the first, on the same files, for before/after figures from one run; REKUL_GENOME_BGZIP=1
#     reads the genome bgzip-compressed.
# Prints one line per run: build, threads, wall seconds, CPU seconds, peak resident MB, modules.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
before=${2:-}
data=$build/bench-data/genome
motifs=${REKUL_GENOME_MOTIFS:-/usr/share/pscan-chip/jaspar_2016.wil}
genes=${REKUL_GENOME_GENES:-300}
mkdir -p "$data"
[ -s "$motifs" ] || { echo "needs Debian's pscan-chip-data ($motifs)" >&2; exit 1; }

# Each chromosome: 20 Mb of random letters, its own GC share (0.36 to 0.54), 60 a line.
if [ ! -s "$data/genome.fa" ]; then
  for c in 0 1 2 3 4 5 6 7 8 9; do
    gc=$((18 + 2 * c))  # of 50 letters
    at=$((50 - gc))
    letters=$(printf 'A%.0s' $(seq $((at / 2))); printf 'T%.0s' $(seq $((at - at / 2)));
              printf 'C%.0s' $(seq $((gc / 2))); printf 'G%.0s' $(seq $((gc - gc / 2))))
    # 256 byte values onto the 50 letters (five times, then six more), as tr maps them.
    map=$(printf '%s' "$letters$letters$letters$letters$letters" "${letters:0:6}")
    echo ">chr$((c + 1))"
    head -c 20000000 /dev/urandom | tr '\000-\377' "$map" | fold -w 60
    echo
  done > "$data/genome.fa"
fi
# 150,000 regions of 500 bp at random places, 15,000 a chromosome, sorted.
if [ ! -s "$data/peaks.bed" ]; then
  awk 'BEGIN { srand(7); for (c = 1; c <= 10; c++) for (i = 0; i < 15000; i++) {
         s = int(rand() * (20000000 - 500)); printf "chr%d\t%d\t%d\tpeak%d_%d\t0\t%s\n", c, s,
         s + 500, c, i, (rand() < 0.5 ? "+" : "-") } }' | sort -k1,1 -k2,2n -u > "$data/peaks.bed"
fi
genome=$data/genome.fa
if [ -n "${REKUL_GENOME_BGZIP:-}" ]; then
  [ -s "$data/genome.fa.gz" ] || bgzip -c "$data/genome.fa" > "$data/genome.fa.gz"
  genome=$data/genome.fa.gz
fi
printf '%-8s %-8s %9s %9s %9s %8s\n' build threads seconds "CPU s" "peak MB" modules
for threads in ${REKUL_GENOME_THREADS:-1 2}; do
  for program in ${before:+"$before/rekul"} "$build/rekul"; do
    rm -f "$genome.fai" "$genome.gzi"
    /usr/bin/time -f '%e %U %S %M' -o "$data/time.txt" "$program" --quiet --threads "$threads" \
      -m 0.0001 --exact-cutoffs -g "$genes" --seed 1 --regions "$data/peaks.bed" \
      --genome "$genome" --genomic-background 2 --stats "$data/stats.tsv" "$motifs" \
      > "$data/report.txt" 2> /dev/null
    read -r secs user sys kb < "$data/time.txt"
    label=after; [ "$program" = "$before/rekul" ] && label=before
    [ -z "$before" ] && label=-
    printf '%-8s %-8s %9.1f %9.1f %9d %8d\n' "$label" "$threads" "$secs" "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" \
      "$((kb / 1024))" "$(grep -c '^>' "$data/report.txt" || true)"
  done
done
