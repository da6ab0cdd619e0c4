#!/usr/bin/env python3
"""Writes the held-out test's genome: three chromosomes of random letters and 80 peaks of
300 to 500 bp on both strands, 60 % of them (48) carrying the module of
examples/example.motifs (M0001 to M0004, within about 200 bp, on the peak's strand); the
even-numbered peaks are the training set (training.bed) and the odd-numbered ones the
held-out set (held-out.bed), 24 planted of 40 in each. Deterministic (fixed seed)."""
import random

rng = random.Random(44)
MODULE = ["AGATAAGG", "TGACGTCA", "TTAATTGGC", "CACGTGAC"]
LENGTHS = {"chr1": 75000, "chr2": 75000, "chr3": 75000}
COMPLEMENT = str.maketrans("ACGT", "TGCA")


def mutate(site):
    site = list(site)
    if rng.random() < 0.3:
        site[rng.randrange(len(site))] = rng.choice("ACGT")
    return "".join(site)


genome = {c: ["ACGT"[rng.randrange(4)] if rng.random() < 0.6 else rng.choice("AT")
              for _ in range(n)] for c, n in LENGTHS.items()}
peaks = []
for p in range(80):
    chrom = ["chr1", "chr2", "chr3"][p % 3]
    length = rng.randint(300, 500)
    start = 2500 + (p // 3) * 2600 + rng.randint(0, 400)
    strand = "+" if rng.random() < 0.5 else "-"
    if p % 5 < 3:
        sites = "".join(mutate(s) + "".join(rng.choice("ACGT") for _ in range(rng.randint(10, 30)))
                        for s in MODULE)
        if strand == "-":
            sites = sites.translate(COMPLEMENT)[::-1]
        at = start + rng.randint(20, length - len(sites) - 20)
        genome[chrom][at:at + len(sites)] = list(sites)
    peaks.append((p, chrom, start, start + length, "peak%02d" % (p + 1), strand))

with open("genome.fa", "w") as out:
    for chrom, letters in genome.items():
        text = "".join(letters)
        out.write(">" + chrom + "\n")
        out.write("".join(text[i:i + 60] + "\n" for i in range(0, len(text), 60)))
for name, parity in (("training.bed", 0), ("held-out.bed", 1)):
    with open(name, "w") as out:
        for p, chrom, start, end, peak, strand in sorted(peaks, key=lambda x: x[1:]):
            if p % 2 == parity:
                out.write("%s\t%d\t%d\t%s\t0\t%s\n" % (chrom, start, end, peak, strand))
