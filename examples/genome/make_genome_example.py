#!/usr/bin/env python3
"""Writes the bundled genome example: a genome of three chromosomes of random letters
(chr1 starts with lower-case, soft-masked letters) and 40 peaks of 300 to 500 bp on both
strands, 30 of which carry the module of ../example.motifs (M0001 to M0004, within about
200 bp, on the peak's strand). Deterministic (fixed seed)."""
import random

rng = random.Random(28)
MODULE = ["AGATAAGG", "TGACGTCA", "TTAATTGGC", "CACGTGAC"]
LENGTHS = {"chr1": 50000, "chr2": 40000, "chr3": 40000}
COMPLEMENT = str.maketrans("ACGT", "TGCA")


def mutate(site):
    site = list(site)
    if rng.random() < 0.3:
        site[rng.randrange(len(site))] = rng.choice("ACGT")
    return "".join(site)


genome = {c: ["ACGT"[rng.randrange(4)] if rng.random() < 0.6 else rng.choice("AT")
              for _ in range(n)] for c, n in LENGTHS.items()}
for i in range(2000):
    genome["chr1"][i] = genome["chr1"][i].lower()
peaks = []
for p in range(40):
    chrom = ["chr1", "chr2", "chr3"][p % 3]
    length = rng.randint(300, 500)
    start = 2500 + (p // 3) * 2600 + rng.randint(0, 400)
    strand = "+" if rng.random() < 0.5 else "-"
    if p % 4 != 3:
        sites = "".join(mutate(s) + "".join(rng.choice("ACGT") for _ in range(rng.randint(10, 30)))
                        for s in MODULE)
        if strand == "-":
            sites = sites.translate(COMPLEMENT)[::-1]
        at = start + rng.randint(20, length - len(sites) - 20)
        genome[chrom][at:at + len(sites)] = list(sites)
    peaks.append((chrom, start, start + length, "peak%02d" % (p + 1), strand))

with open("genome.fa", "w") as out:
    for chrom, letters in genome.items():
        text = "".join(letters)
        out.write(">" + chrom + "\n")
        out.write("".join(text[i:i + 60] + "\n" for i in range(0, len(text), 60)))
with open("peaks.bed", "w") as out:
    for chrom, start, end, name, strand in sorted(peaks):
        out.write("%s\t%d\t%d\t%s\t0\t%s\n" % (chrom, start, end, name, strand))
