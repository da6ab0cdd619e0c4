#!/usr/bin/env python3
"""Writes the bundled example: eight count matrices and 40 upstream-like sequences of 600 bp,
25 of which carry one module (four binding sites within about 200 bp) at a random place,
and an ortholog version in which the module is conserved in three species while a second
module is planted in the reference species only. Deterministic (fixed seed)."""
import random

rng = random.Random(2026)
CONSENSUS = {
    "M0001\tV$GATA_01": "AGATAAGG",
    "M0002\tV$CREB_01": "TGACGTCA",
    "M0003\tV$HOX_01": "TTAATTGGC",
    "M0004\tV$EBOX_01": "CACGTGAC",
    "M0005\tV$SP1_01": "GGGGCGGGGC",
    "M0006\tV$TATA_01": "TATAAAAGG",
    "M0007\tV$NFKB_01": "GGGAATTTCC",
    "M0008\tV$MEF2_01": "CTAAAAATAG",
}


def counts(consensus):
    rows = []
    for base in consensus:
        row = [rng.randint(0, 1) for _ in "ACGT"]
        row["ACGT".index(base)] = rng.randint(40, 50)
        rows.append(" ".join(map(str, row)))
    return rows


def background(n):
    return "".join(rng.choice("AACCGGTTAT") for _ in range(n))


def mutate(site):
    site = list(site)
    if rng.random() < 0.3:
        site[rng.randrange(len(site))] = rng.choice("ACGT")
    return "".join(site)


def plant(seq, sites):
    pos = rng.randrange(50, len(seq) - 200)
    for site in sites:
        seq = seq[:pos] + site + seq[pos + len(site):]
        pos += len(site) + rng.randint(10, 30)
    return seq


def lines(seq, width=60):
    return [seq[i:i + width] for i in range(0, len(seq), width)]


names = list(CONSENSUS)
with open("example.motifs", "w") as out:
    for name in names:
        out.write(">" + name + "\tsynthetic\n" + "\n".join(counts(CONSENSUS[name])) + "\n")

module = [CONSENSUS[n] for n in names[0:4]]
with open("example.fa", "w") as out:
    for g in range(40):
        seq = background(600)
        if g % 8 != 7 and g < 32 or g >= 37:
            seq = plant(seq, [mutate(s) for s in module])
        out.write(">gene%02d upstream region\n" % (g + 1) + "\n".join(lines(seq)) + "\n")

reference_only = [CONSENSUS[n] for n in names[4:8]]
with open("example.ortho.fa", "w") as out:
    for g in range(30):
        out.write(">group%02d ortholog group\n" % (g + 1))
        for species in range(3):
            seq = background(500)
            if g < 26:
                seq = plant(seq, [mutate(s) for s in module])
            if species == 0 and g >= 5:
                seq = plant(seq, reference_only)
            out.write("<" + "\n".join(lines(seq)) + "\n")
