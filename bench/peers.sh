#!/usr/bin/env bash
# The hit stage against the tools users would pick instead, on the same data in one run:
# rekul's scan (-m 5, no module search), Biopython's PSSM search (Bio.motifs, the same
# matrices, pseudocount and background, both strands, the same cutoff in log2 units) and
# pscan in its two forms: scanning the regions as a background with every matrix
# (pscan-tfbs -p FASTA -l MATRICES -g, which writes the background's scores to a file) and as
# a foreground against given matrices (-q FASTA -M MATRICES). Each line: the tool, wall and CPU
# seconds, peak memory, window scores per second per core (a window score = one motif at one
# start on one strand), and the ratio of wall seconds to rekul's.
#   bench/peers.sh [build-dir [before-build-dir]]   REKUL_PEER_RECORDS: the regions (500)
# rekul's time is the mean of REKUL_PEER_REPEATS (10) runs back to back. With a second build,
# that is measured on each three times, before and after alternating, and the fastest of each
# is shown (a line "rekul (before)"); the ratios are to this build.
# Needs python3-biopython (run by Debian's /usr/bin/python3) and pscan-tfbs (apt-get install
# them); fetches the upstream
# regions as bench/run_scale.sh does.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)  # absolute: the runs change folder
before=${2:+$(cd "$2" && pwd)}
data=$build/bench-data
motifs=${REKUL_BENCH_MOTIFS:-$root/../shared/data/insect.motifs}
records=${REKUL_PEER_RECORDS:-500}
mkdir -p "$data"
source "$root/bench/upstream.sh"
fetch_upstream "$data"
fasta=$data/peers$records.fa
awk -v n="$records" '/^>/ { if (++k > n) exit } { print toupper($0) }' "$data/dm3_upstream2000.fa" |
  sed 's/^>\(.*\)/>\1/' > "$fasta"
wil=$data/peers.wil

# Window scores of all motifs on all sequences, both strands, and the matrices as pscan reads
# them (four rows of counts per matrix).
windows=$(python3 - "$motifs" "$fasta" "$wil" <<'PY'
import sys
motifs, fasta, wil = sys.argv[1:4]
mats, name = [], None
for line in open(motifs):
    f = line.split()
    if line.startswith('>'):
        mats.append((line[1:].split('\t')[0].strip(), []))
    elif len(f) == 4 and mats:
        mats[-1][1].append(f)
lengths, cur = [], None
for line in open(fasta):
    if line.startswith('>'):
        lengths.append(0)
    else:
        lengths[-1] += len(line.strip())
with open(wil, 'w') as out:
    for n, rows in mats:
        out.write('>%s %s\n' % (n, n))
        for b in range(4):
            out.write('\t'.join(r[b] for r in rows) + '\n')
print(sum(2 * max(0, L - len(rows) + 1) for _, rows in mats for L in lengths))
PY
)

run() {  # label, then the command; prints wall seconds, CPU seconds and peak MB
  local label=$1; shift
  /usr/bin/time -f '%e %U %S %M' -o "$data/peer-time.txt" "$@" > /dev/null 2>&1
  awk '{ printf "%s %.2f %d\n", $1, $2 + $3, $4 / 1024 }' "$data/peer-time.txt"
}

# rekul takes a few hundredths of a second, the clock's step: it runs `repeats` times back to
# back and the means are its times (the peak is the largest run's).
repeats=${REKUL_PEER_REPEATS:-10}
run_rekul() {  # the program
  /usr/bin/time -f '%e %U %S %M' -o "$data/peer-time.txt" bash -c \
    'for ((i = 0; i < $0; i++)); do "$@" > /dev/null 2>&1; done' "$repeats" \
    "$1" --quiet --threads 1 -g 1000000 "$motifs" "$fasta"
  awk -v n="$repeats" '{ printf "%.4f %.4f %d\n", $1 / n, ($2 + $3) / n, $4 / 1024 }' \
    "$data/peer-time.txt"
}

fastest() {  # of the "wall cpu mb" lines given, the one of the smallest wall time
  printf '%s\n' "$@" | sort -g | head -1
}
if [ -n "$before" ]; then
  after_runs=() before_runs=()
  for round in 1 2 3; do
    before_runs+=("$(run_rekul "$before/rekul")")
    after_runs+=("$(run_rekul "$build/rekul")")
  done
  rekul=$(fastest "${after_runs[@]}")
  rekul_before=$(fastest "${before_runs[@]}")
else
  rekul=$(run_rekul "$build/rekul")
fi
biopython=$(run biopython /usr/bin/python3 - "$motifs" "$fasta" <<'PY'
import math, sys
from Bio import motifs as bm
from Bio.Seq import Seq
motif_file, fasta = sys.argv[1:3]
mats = []
for line in open(motif_file):
    f = line.split()
    if line.startswith('>'):
        mats.append([])
    elif len(f) == 4 and mats:
        mats[-1].append([float(x) for x in f])
seqs, counts = [], [0, 0, 0, 0]
for line in open(fasta):
    if line.startswith('>'):
        seqs.append([])
    else:
        seqs[-1].append(line.strip())
seqs = [''.join(s) for s in seqs]
for s in seqs:
    for b, c in enumerate('ACGT'):
        counts[b] += s.count(c)
total = sum(counts) + 4 * 0.375
background = {c: (counts[b] + 0.375) / total for b, c in enumerate('ACGT')}
threshold = 5 / math.log(2)  # the natural-log cutoff 5 in log2 units
hits = 0
pssms = []
for rows in mats:
    m = bm.Motif(counts={c: [r[b] for r in rows] for b, c in enumerate('ACGT')})
    pssms.append(m.counts.normalize(pseudocounts=0.375).log_odds(background))
for s in seqs:
    seq = Seq(s)
    for pssm in pssms:
        hits += sum(1 for _ in pssm.search(seq, threshold=threshold, both=True))
print(hits)
PY
)
# pscan writes its files beside the regions: a folder of its own keeps them apart.
mkdir -p "$data/pscan"
cp "$fasta" "$data/pscan/regions.fa"
pscan_pg=$( (cd "$data/pscan" && run pscan pscan-tfbs -p regions.fa -l "$wil" -g) )
pscan_qm=$( (cd "$data/pscan" && run pscan pscan-tfbs -q regions.fa -M "$wil") )

printf '%-22s %8s %8s %8s %14s %10s\n' tool seconds 'CPU s' 'peak MB' 'scores/s/core' \
  'vs rekul'
label() {
  case $1 in
    rekul_before) echo 'rekul (before)' ;;
    pscan_pg) echo 'pscan -p -l -g' ;;
    pscan_qm) echo 'pscan -q -M' ;;
    *) echo "$1" ;;
  esac
}
read -r rekul_wall _ _ <<< "$rekul"
for tool in rekul ${before:+rekul_before} biopython pscan_pg pscan_qm; do
  read -r secs cpu mb <<< "${!tool}"
  awk -v t="$(label "$tool")" -v s="$secs" -v c="$cpu" -v m="$mb" -v w="$windows" \
    -v r="$rekul_wall" \
    'BEGIN { printf "%-22s %8.3f %8.3f %8d %14.3g %9.1fx\n", t, s, c, m, w / s, s / r }'
done
echo "($records regions, $windows window scores per tool)"
