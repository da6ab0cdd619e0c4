#!/usr/bin/env bash
# Installs the Debian packages that the build (`build`), the build and the tests (`test`, the
# default), the browser test of the HTML report (`browser`), the fuzz targets (`fuzz`), the
# linter of the page's script (`lint`: Node.js and npm, which fetch ESLint), the Debian
# package (`package`) or the pipeline routes (`pipelines`: cwltool, snakemake) need, where
# the machine lacks them.
set -euo pipefail
case "${1:-test}" in
  build) packages=(cmake g++ make pkg-config zlib1g-dev libhts-dev) ;;
  browser) packages=(chromium) ;;
  lint)  # Node.js from elsewhere (its own npm) will do as well
    command -v node >/dev/null && command -v npm >/dev/null && exit 0
    packages=(nodejs npm) ;;
  fuzz) packages=(cmake make clang libclang-rt-dev pkg-config zlib1g-dev libhts-dev) ;;
  # The Debian package and its checks; then the two pipeline routes.
  package) packages=(cmake g++ make pkg-config zlib1g-dev libhts-dev dpkg-dev fakeroot lintian
                     man-db) ;;
  pipelines) packages=(cwltool toil snakemake) ;;
  # The Python module: pybind11 and Debian's python3 with numpy; pytest and pandas for its
  # tests, Biopython for its benchmark.
  python) packages=(pybind11-dev python3-dev python3-numpy python3-pytest python3-pandas
                    python3-biopython) ;;
  # samtools, bedtools and tabix (bgzip): the references the genome tests compare with;
  # genometools (gt) validates the GFF3; python3 parses the SVG files.
  *) packages=(cmake g++ make pkg-config zlib1g-dev libhts-dev libgtest-dev libbenchmark-dev
               groff-base samtools bedtools tabix genometools python3) ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
