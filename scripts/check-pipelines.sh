#!/usr/bin/env bash
# The pipeline routes run as a pipeline author would run them, on the bundled genome
# example, each compared with the plain command line's outputs (the `#` lines that name
# paths aside): the CWL tools validated and run by cwltool without a container, and the
# Snakemake wrapper run by its test Snakefile.
#   scripts/check-pipelines.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
export PATH="$build:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-pipelines: $*" >&2; exit 1; }
rows() { grep -v '^# \(command\|background\|report\|stats\)' "$1"; }
same() {  # what, expected, got
  cmp -s <(rows "$2") <(rows "$3") || fail "$1 differs from the plain command line's"
}

# Nothing a route runs may write into the checkout (what git would list afterwards).
untracked() { git -C "$root" status --porcelain --untracked-files=all 2>/dev/null || true; }
before=$(untracked)

# The plain command lines.
example=$root/examples
cp "$example/genome/peaks.bed" "$example/genome/genome.fa" "$work/"
rekul --quiet --regions "$work/peaks.bed" --genome "$work/genome.fa" --genomic-background 5 \
  --seed 1 --permutations 200 --threads 2 --stats "$work/stats.tsv" "$example/example.motifs" \
  > "$work/report.txt" 2>/dev/null
rekul-report --tsv --stats "$work/stats.tsv" "$work/report.txt" > "$work/modules.tsv"
grep -q '^>' "$work/report.txt" || fail "the plain run found no module"

rekul-scan --quiet --modules "$work/report.txt" --stats "$work/stats.tsv" --regions "$work/peaks.bed" \
  --genome "$work/genome.fa" --genomic-background 5 --threads 2 --summary "$work/summary.tsv" \
  "$example/example.motifs" > "$work/instances.bed" 2>/dev/null
[ -s "$work/instances.bed" ] || fail "the plain rekul-scan found no instance"

# CWL: validation without fetching anything, then the tools on the example.
for tool in rekul rekul-report rekul-scan; do
  cwltool --quiet --validate "$root/workflows/cwl/$tool.cwl" >/dev/null ||
    fail "$tool.cwl does not validate"
done
cwltool --quiet --no-container --outdir "$work/cwl" "$root/workflows/cwl/rekul.cwl" \
  "$root/workflows/cwl/example-job.yml" >/dev/null 2>&1 || fail "rekul.cwl did not run"
same "rekul.cwl's report" "$work/report.txt" "$work/cwl/report.txt"
same "rekul.cwl's table" "$work/stats.tsv" "$work/cwl/stats.tsv"
sed -e "s|path: ../../examples/genome/report.txt|path: $work/cwl/report.txt|" \
    -e "s|path: ../../examples/genome/stats.tsv|path: $work/cwl/stats.tsv|" \
    "$root/workflows/cwl/report-job.yml" > "$work/report-job.yml"
cwltool --quiet --no-container --outdir "$work/cwl" "$root/workflows/cwl/rekul-report.cwl" \
  "$work/report-job.yml" >/dev/null 2>&1 || fail "rekul-report.cwl did not run"
same "rekul-report.cwl's rows" "$work/modules.tsv" "$work/cwl/modules.tsv"
sed -e "s|path: ../../examples/genome/report.txt|path: $work/cwl/report.txt|" \
    -e "s|path: ../../examples/genome/stats.tsv|path: $work/cwl/stats.tsv|" \
    -e "s|path: ../../|path: $root/|" \
    "$root/workflows/cwl/scan-job.yml" > "$work/scan-job.yml"
cwltool --quiet --no-container --outdir "$work/cwl" "$root/workflows/cwl/rekul-scan.cwl" \
  "$work/scan-job.yml" >/dev/null 2>&1 || fail "rekul-scan.cwl did not run"
cmp -s "$work/instances.bed" "$work/cwl/instances.bed" || fail "rekul-scan.cwl's instances differ"
same "rekul-scan.cwl's summary" "$work/summary.tsv" "$work/cwl/summary.tsv"

# Snakemake: the wrapper's own test, run in a folder of its own.
snakemake --quiet --cores 2 -s "$root/workflows/snakemake/rekul/test/Snakefile" \
  --directory "$work/snakemake" --wrapper-prefix "file://$root/workflows/snakemake/" \
  >/dev/null 2>&1 || fail "the Snakemake wrapper's test did not run"
same "the wrapper's report" "$work/report.txt" "$work/snakemake/out/report.txt"
same "the wrapper's table" "$work/stats.tsv" "$work/snakemake/out/stats.tsv"
snakemake --quiet --cores 2 -s "$root/workflows/snakemake/rekul-scan/test/Snakefile" \
  --directory "$work/snakemake-scan" --wrapper-prefix "file://$root/workflows/snakemake/" \
  >/dev/null 2>&1 || fail "the rekul-scan wrapper's test did not run"
cmp -s "$work/instances.bed" "$work/snakemake-scan/out/instances.bed" ||
  fail "the rekul-scan wrapper's instances differ"

# The atlas: three peak sets, each with its permutations in four shards, under cwltool, under
# toil (Debian's toil-cwl-runner, the engine that also drives Slurm, LSF, Grid Engine and
# Kubernetes) and under Snakemake; every set's table and report equal its plain run's.
for set in 1 2 3; do
  rekul --quiet -g 5 --regions "$example/genome/atlas/set$set.bed" --genome "$work/genome.fa" \
    --genomic-background 5 --seed 1 --permutations 200 --threads 1 --stats "$work/set$set.tsv" \
    "$example/example.motifs" > "$work/set$set.txt" 2>/dev/null
done
atlas_same() {  # engine, folder of its outputs
  for set in 1 2 3; do
    same "$1's table of set$set" "$work/set$set.tsv" "$2/set$set.stats.tsv"
    cmp -s "$work/set$set.txt" "$2/set$set.report.txt" || fail "$1's report of set$set differs"
  done
  grep -q "^set3	5	5	" "$2/summary.tsv" || fail "$1's atlas summary lacks set3"
}
cwltool --quiet --validate "$root/workflows/cwl/atlas.cwl" >/dev/null 2>&1 ||
  fail "atlas.cwl does not validate"
cwltool --quiet --no-container --outdir "$work/atlas-cwltool" "$root/workflows/cwl/atlas.cwl" \
  "$root/workflows/cwl/atlas-job.yml" >/dev/null 2>&1 || fail "atlas.cwl did not run under cwltool"
atlas_same cwltool "$work/atlas-cwltool"
(cd "$work" && toil-cwl-runner --quiet --jobStore "$work/toil-store" --workDir "$work" \
  --outdir "$work/atlas-toil" --no-container "$root/workflows/cwl/atlas.cwl" \
  "$root/workflows/cwl/atlas-job.yml" >/dev/null 2>&1) || fail "atlas.cwl did not run under toil"
atlas_same toil "$work/atlas-toil"
snakemake --quiet --cores 2 -s "$root/workflows/snakemake/atlas/Snakefile" \
  --directory "$work/atlas-snakemake" --wrapper-prefix "file://$root/workflows/snakemake/" \
  >/dev/null 2>&1 || fail "the Snakemake atlas did not run"
atlas_same snakemake "$work/atlas-snakemake/atlas"
[ "$(untracked)" = "$before" ] || fail "a route wrote into the checkout: $(diff <(echo "$before") <(untracked) | grep '^>' | head -3)"
echo "check-pipelines: the CWL tools, the Snakemake wrappers and the atlas (cwltool, toil, Snakemake) give the plain command lines' outputs"
