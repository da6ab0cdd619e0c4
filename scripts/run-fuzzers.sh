#!/usr/bin/env bash
# Runs every fuzz target of a build for the given seconds, from its seed corpus, keeping what
# it finds in the build folder; stops at the first finding.
#   scripts/run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1 seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
for target in fuzz_motif_reader fuzz_sequence_reader fuzz_report_reader fuzz_args fuzz_pipeline \
    fuzz_regions fuzz_genome_index fuzz_sites fuzz_shards; do
  work=$build/corpus/$target
  mkdir -p "$work" "$build/findings"
  echo "== $target ($seconds s)"
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -close_fd_mask=3 -timeout=10 \
    -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$build/findings/$target-" \
    -print_final_stats=1 "$work" "$root/tests/fuzz/corpus/$target" > "$build/$target.log" 2>&1 || true
  grep -E 'cov:' "$build/$target.log" | tail -1
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|ERROR|SUMMARY' "$build/$target.log" || true
  if ls "$build/findings/$target-"* >/dev/null 2>&1; then
    echo "finding in $target: $(ls "$build/findings/$target-"*)"
    exit 1
  fi
done
