#!/usr/bin/env python3
"""rekul.scan against Biopython's PSSM search, on one core, with the same matrices, the same
sequences and the same cutoff: the 126 insect matrices and the first 500 Drosophila upstream
regions of Debian's r-bioc-biostrings (bench/upstream.sh fetches them).
    PYTHONPATH=build/python /usr/bin/python3 bench/python_scan.py [regions.fa] [motifs]
Prints the time of each and their ratio. Scores: rekul's natural-log log-odds of frequencies
(pseudocount 0.375) against the sequences' composition, cutoff 5; Biopython's are log2, so
its cutoff is 5 / ln 2 on the same odds."""
import math
import sys
import time
from pathlib import Path

import rekul
from Bio.motifs.matrix import PositionWeightMatrix
from Bio.Seq import Seq

root = Path(__file__).resolve().parents[1]
regions = Path(sys.argv[1]) if len(sys.argv) > 1 else root / "build/bench-data/distinct.fa"
library = Path(sys.argv[2]) if len(sys.argv) > 2 else root.parent / "shared/data/insect.motifs"

sequences = rekul.read_sequences(regions)[:500]
first = Path("/tmp/rekul-python-bench.fa")
first.write_text("".join(">%s\n%s\n" % (name, text) for name, text in sequences))
records = rekul.read_motifs(library)

start = time.perf_counter()
hits = rekul.scan(library, first, cutoff=5.0, threads=1, overlap=0)
ours = time.perf_counter() - start

counts = {base: 0 for base in "ACGT"}
for _, text in sequences:
    for base in "ACGT":
        counts[base] += text.upper().count(base)
total = sum(counts.values())
background = {base: counts[base] / total for base in "ACGT"}
start = time.perf_counter()
found = 0
pssms = []
for record in records:
    matrix = record["matrix"]
    frequencies = {base: [float(row[k]) for row in matrix] for k, base in enumerate("ACGT")}
    pssms.append(PositionWeightMatrix("ACGT", frequencies).log_odds(background))
for _, text in sequences:
    seq = Seq(text.upper())
    for pssm in pssms:
        for _ in pssm.search(seq, threshold=5.0 / math.log(2), both=True):
            found += 1
theirs = time.perf_counter() - start
print("rekul.scan: %.2f s (%d hits); Biopython PSSM search: %.2f s (%d hits); %.0f times faster"
      % (ours, len(hits), theirs, found, theirs / ours))
