# Sourced by the benchmark scripts: fetch_upstream DIR puts the 26,454 Drosophila upstream
# regions of Debian's r-bioc-biostrings (dm3_upstream2000.fa) into DIR once.
fetch_upstream() {
  local dir=$1
  mkdir -p "$dir"
  [ -s "$dir/dm3_upstream2000.fa" ] && return
  (cd "$dir" && apt-get download r-bioc-biostrings >/dev/null &&
   dpkg-deb -x r-bioc-biostrings_*.deb pkg &&
   gunzip -c pkg/usr/lib/R/site-library/Biostrings/extdata/dm3_upstream2000.fa.gz \
     > dm3_upstream2000.fa)
}
