#!/usr/bin/env bash
# Large and degenerate inputs: each must run with memory in proportion to its input or be
# refused with a clear message; none may crash. Prints one line per run: the input, the
# options, the exit status, seconds and peak resident memory.
#   bench/large_inputs.sh [build-dir]     (writes about 500 MB of inputs into build-dir)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
data=$build/large-inputs
motifs=${REKUL_BENCH_MOTIFS:-$root/../shared/data/insect.motifs}
mkdir -p "$data"

/usr/bin/python3 - "$data" <<'PY'
import os, random, sys
data = sys.argv[1]
rng = random.Random(1)
def letters(n):
    return ''.join(rng.choices('ACGT', k=n))
def write(name, make):
    path = os.path.join(data, name)
    if not os.path.exists(path):
        with open(path, 'w') as out:
            make(out)
write('200MB.fa', lambda out: [out.write('>g%d\n%s\n' % (i, letters(2000))) for i in range(100000)])
write('10Mb-one-line.fa', lambda out: out.write('>chr\n%s\n' % letters(10_000_000)))
write('polyA-5Mb.fa', lambda out: out.write('>polyA\n%s\n' % ('A' * 5_000_000)))
write('1M-genes.fa', lambda out: [out.write('>g%d\n%s\n' % (i, letters(100))) for i in range(1_000_000)])
write('small.fa', lambda out: [out.write('>g%d\n%s\n' % (i, letters(2000))) for i in range(50)])
def motif(out, i):
    out.write('>R%d\tV$F%d\n' % (i, i))
    for _ in range(8):
        out.write('%d %d %d %d\n' % tuple(rng.randrange(10) for _ in range(4)))
write('100k.motifs', lambda out: [motif(out, i) for i in range(100000)])
PY

run() {  # label, then rekul arguments
  local label=$1; shift
  local status=0
  /usr/bin/time -f '%e %M' -o "$data/time.txt" "$build/rekul" --quiet "$@" > /dev/null \
    2> "$data/err.txt" || status=$?
  read -r secs kb < "$data/time.txt"
  printf '%-44s status %d %8.1f s %7d MB  %s\n' "$label" "$status" "$secs" "$((kb / 1024))" \
    "$(head -c 80 "$data/err.txt")"
}

run "200 MB FASTA (100,000 x 2 kb), -m 0.0001" --exact-cutoffs -m 0.0001 -g 2000 "$motifs" "$data/200MB.fa"
run "10 Mb on one line, -m 0.0001" --exact-cutoffs -m 0.0001 -g 1 "$motifs" "$data/10Mb-one-line.fa"
run "10 Mb on one line, -m 0.9" --exact-cutoffs -m 0.9 -g 2 "$motifs" "$data/10Mb-one-line.fa"
run "poly-A 5 Mb, default cutoff" -g 2 "$motifs" "$data/polyA-5Mb.fa"
run "1,000,000 genes of 100 letters" --exact-cutoffs -m 0.0001 -g 100000 "$motifs" "$data/1M-genes.fa"
run "100,000 motifs, 50 genes, -m 10" -m 10 -g 20 "$data/100k.motifs" "$data/small.fa"
