#!/usr/bin/env bash
# Checks a built Debian package as a user would meet it: lintian finds no error and no
# warning beyond those packaging/lintian-overrides lists with their reasons; the package
# holds the three programs, their compressed manual pages, the copyright file, the
# changelog and the CWL and Snakemake workflows, and depends on the libraries the programs link; unpacked, each program runs
# from its installed path, `man -w` finds its page, and the bundled example gives the same
# report as the build's program.
#   scripts/check-deb.sh rekul_<version>_<arch>.deb
set -euo pipefail
deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "check-deb: $*" >&2; exit 1; }

lintian --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian objects to $deb"

contents=$(dpkg-deb -c "$deb")
for path in usr/bin/rekul usr/bin/rekulo usr/bin/rekul-report usr/bin/rekul-scan \
            usr/share/man/man1/rekul.1.gz usr/share/man/man1/rekulo.1.gz \
            usr/share/man/man1/rekul-report.1.gz usr/share/man/man1/rekul-scan.1.gz usr/share/doc/rekul/copyright \
            usr/share/doc/rekul/changelog.Debian.gz \
            usr/share/doc/rekul/workflows/cwl/atlas.cwl usr/share/doc/rekul/workflows/cwl/rekul.cwl \
            usr/share/doc/rekul/workflows/snakemake/atlas/Snakefile \
            usr/share/doc/rekul/workflows/snakemake/rekul/wrapper.py \
            usr/share/doc/rekul/examples/genome/atlas/set1.bed; do
  grep -q "\./$path\$" <<< "$contents" || fail "$deb lacks /$path"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libhts zlib1g libstdc++6 python3 python3-numpy; do
  grep -q "$library" <<< "$depends" || fail "$deb does not depend on $library ($depends)"
done

dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
for program in rekul rekulo rekul-report rekul-scan; do
  "$root/usr/bin/$program" --version | grep -qx "$program ${version%-*}" ||
    fail "$program --version does not say ${version%-*}"
  MANPATH="$root/usr/share/man" man -w "$program" | grep -q "^$root/usr/share/man/man1/$program.1.gz$" ||
    fail "man -w $program does not find the installed page"
done
examples=$root/usr/share/doc/rekul/examples
here=$(cd "$(dirname "$0")/.." && pwd)
"$root/usr/bin/rekul" --quiet "$examples/example.motifs" "$examples/example.fa" > "$root/installed.txt"
cmp -s "$root/installed.txt" <("$here/build-deb/rekul" --quiet "$here/examples/example.motifs" \
  "$here/examples/example.fa") || fail "the installed rekul gives another report on the example"
grep -q '^>' "$root/installed.txt" || fail "the installed rekul found no module in the example"
# The README's genome example, from the installed copy, gives the build's report.
"$root/usr/bin/rekul" --quiet --regions "$examples/genome/peaks.bed" \
  --genome "$examples/genome/genome.fa" --genomic-background 5 --seed 1 \
  --stats "$root/installed-stats.tsv" "$examples/example.motifs" > "$root/installed-genome.txt" 2>/dev/null ||
  fail "the installed rekul cannot run the genome example"
"$here/build-deb/rekul" --quiet --regions "$here/examples/genome/peaks.bed" \
  --genome "$here/examples/genome/genome.fa" --genomic-background 5 --seed 1 \
  --stats "$root/build-stats.tsv" "$here/examples/example.motifs" > "$root/build-genome.txt" 2>/dev/null
cmp -s "$root/installed-genome.txt" "$root/build-genome.txt" ||
  fail "the installed rekul gives another report on the genome example"
# The Python module, from its installed place.
PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c \
  "import rekul, sys; sys.exit(len(rekul.read_motifs('$examples/example.motifs')) != 8)" ||
  fail "the installed Python module does not read the example's motifs"
echo "check-deb: $(basename "$deb") passes lintian; its programs, pages and example run"
