#!/usr/bin/env bash
# Reads the motif files of each format that Debian packages ship (JASPAR with brackets and
# in rows, MEME minimal and full text output, TRANSFAC) and checks that every matrix of
# each file is read: one cutoff line per matrix, no warning, status 0.
#   tests/real_formats.sh BUILD_DIR     (exit 77, skipped, when the packages cannot be had)
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
cache=$build/real-formats
mkdir -p "$cache"
cd "$cache"
for package in r-bioc-tfbstools python-biopython-doc pscan-chip-data; do
  ls ${package}_*.deb >/dev/null 2>&1 && continue
  apt-get download "$package" >/dev/null 2>&1 || { echo "cannot download $package"; exit 77; }
  dpkg-deb -x ${package}_*.deb x
done
tfbs=x/usr/lib/R/site-library/TFBSTools/extdata
bio=x/usr/share/doc/python-biopython-doc/Tests/motifs
pscan=x/usr/share/pscan-chip

# file, then the number of matrices it holds, counted independently of the reader
check() {
  local file=$1 expected=$2 err
  # Warnings of the reading only: that overlap removal leaves a motif without hits is said of
  # the scan, not of the file.
  err=$("$build/rekul" --exact-cutoffs -m 0.001 -g 100000 "$file" "$root/examples/example.fa" 2>&1 >/dev/null |
    grep -v '^Warning: .* lose[s]* every hit to overlapping hits')
  local got; got=$(grep -c '^Score cutoff of ' <<<"$err" || true)
  if [ "$got" != "$expected" ] || grep -q '^Warning' <<<"$err"; then
    echo "FAIL $file: $got of $expected matrices read"; grep -E '^(Warning|Error)' <<<"$err" | head -3
    exit 1
  fi
  echo "ok   $(basename "$file"): $got matrices"
}
zcount() { zcat -f "$1" | grep -c "$2"; }

check $tfbs/MA0001.1.pfm "$(grep -c '^>' $tfbs/MA0001.1.pfm)"
check $tfbs/pfm_all_example.txt "$(grep -c '^>' $tfbs/pfm_all_example.txt)"
check $pscan/jaspar_2014.wil "$(grep -c '^>' $pscan/jaspar_2014.wil)"
check $bio/SRF.pfm 1
check $bio/minimal_test.meme "$(zcount $bio/minimal_test.meme 'letter-probability')"
check $tfbs/meme.output "$(zcount $tfbs/meme.output 'letter-probability')"
check $bio/meme.out.gz "$(zcount $bio/meme.out.gz 'letter-probability')"
check $bio/transfac.dat "$(grep -c '^P0' $bio/transfac.dat)"
check $bio/MA0056.1.transfac "$(grep -c '^P[0O]' $bio/MA0056.1.transfac)"
check $pscan/transfac.wil "$(grep -c '^>' $pscan/transfac.wil)"
# With -t the motifs of MEME's text output keep apart: no two share a factor name.
for file in $tfbs/meme.output $bio/meme.out.gz; do
  if "$build/rekul" -t --exact-cutoffs -m 0.001 -g 100000 "$file" "$root/examples/example.fa" 2>&1 \
      >/dev/null | grep -q 'share the factor name'; then
    echo "FAIL $file: motifs merge under -t"; exit 1
  fi
  echo "ok   $(basename "$file") with -t: every motif its own factor"
done
