#!/usr/bin/env bash
# Large and degenerate inputs: each must run with memory in proportion to its input or be
# refused with a clear message; none may crash. Prints one line per run: the input, the
# options, the exit status, seconds and peak resident memory. The small cases at the end
# each took several times their figure before (given beside them).
#   bench/large_inputs.sh [build-dir]     (writes about 500 MB of inputs into build-dir)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
data=$build/large-inputs
motifs=${REKUL_BENCH_MOTIFS:-$root/../shared/data/insect.motifs}
mkdir -p "$data"

/usr/bin/python3 - "$data" <<'PY'
import gzip, os, random, sys
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
write('2000-species.fa', lambda out: out.write('>' + 'g' * 100000 + '\n' + '<ACGTTGCAAGCT\n' * 2000))
write('polyA-1Mb.fa', lambda out: out.write('>polyA\n' + 'A' * 1_000_000 + '\n'))
write('wide-line.motifs', lambda out: out.write('>M1\tV$A\n1 0 0 0\n' + '1 ' * 2_000_000 + '\n'))
write('two-100kb-species.fa', lambda out: out.write('>grp\n<%s\n<%s\n' % (letters(100000), letters(100000))))
bomb = os.path.join(data, 'bomb.fa.gz')
if not os.path.exists(bomb):
    member = gzip.compress(b'A' * (1 << 20) + b'\n')
    with open(bomb, 'wb') as out:
        out.write(gzip.compress(b'>g\n') + member * 2100)
PY

run() {  # label, then the arguments of rekul (or of $program)
  local label=$1; shift
  local status=0
  /usr/bin/time -f '%e %M' -o "$data/time.txt" "$build/${program:-rekul}" --quiet "$@" > /dev/null \
    2> "$data/err.txt" || status=$?
  read -r secs kb < <(tail -n 1 "$data/time.txt")  # after time's line on a failed command
  printf '%-44s status %d %8.1f s %7d MB  %s\n' "$label" "$status" "$secs" "$((kb / 1024))" \
    "$(head -c 80 "$data/err.txt")"
}

run "200 MB FASTA (100,000 x 2 kb), -m 0.0001" --exact-cutoffs -m 0.0001 -g 2000 "$motifs" "$data/200MB.fa"
run "10 Mb on one line, -m 0.0001" --exact-cutoffs -m 0.0001 -g 1 "$motifs" "$data/10Mb-one-line.fa"
run "10 Mb on one line, -m 0.9" --exact-cutoffs -m 0.9 -g 2 "$motifs" "$data/10Mb-one-line.fa"
run "poly-A 5 Mb, default cutoff" -g 2 "$motifs" "$data/polyA-5Mb.fa"
run "1,000,000 genes of 100 letters" --exact-cutoffs -m 0.0001 -g 100000 "$motifs" "$data/1M-genes.fa"
run "100,000 motifs, 50 genes, -m 10" -m 10 -g 20 "$data/100k.motifs" "$data/small.fa"
example=$root/examples/example.motifs
program=rekulo run "2,000 species, a 100,000-letter name (<60)" "$example" "$data/2000-species.fa"
run "poly-A 1 Mb, -m 1 -g 2 (<120)" -m 1 -g 2 "$example" "$data/polyA-1Mb.fa"
run "a motif line of 2,000,000 fields (<60)" "$data/wide-line.motifs" "$root/examples/example.fa"
program=rekulo run "two 100 kb species, -w 100000 (<120; 4.2 GB at 400 kb)" -w 100000 -g 2 "$example" "$data/two-100kb-species.fa"
run "gzip of 2.2 Gb in 3 kB: refused (<3500)" "$example" "$data/bomb.fa.gz"
