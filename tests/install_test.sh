#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the tree, runs the installed program,
# and renders every manual page with groff, failing on any warning.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/rekul bin/rekulo bin/rekul-report share/man/man1/rekul.1 share/man/man1/rekulo.1 \
            share/man/man1/rekul-report.1 bin/rekul-scan share/man/man1/rekul-scan.1 \
            share/doc/rekul/README.md share/doc/rekul/LICENSE; do
  [ -e "$prefix/$file" ] || { echo "missing from the installed tree: $file"; exit 1; }
done
"$prefix/bin/rekul" --version | grep -qx 'rekul [0-9.]*'
for page in "$prefix"/share/man/man1/*.1; do
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || { echo "$page: $warnings"; exit 1; }
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'INPUT FORMATS' OUTPUT 'EXIT STATUS' EXAMPLES; do
    grep -q "^\.SH \"\?$section\"\?$" "$page" || { echo "$page lacks $section"; exit 1; }
  done
done
echo "installed tree complete"
