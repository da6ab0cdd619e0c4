"""Snakemake wrapper for rekul: recurrent cis-regulatory motif modules.

Inputs: `motifs` and `sequences` (or `regions` and `genome`), optionally `background`.
Outputs: `report`, and `stats` for the statistics table. `params.extra` passes any other
option (for example "-g 20 --permutations 1000 --seed 1"); `threads` sets --threads; the
program's standard error goes to `log`.
"""

__author__ = "rekul maintainers"
__license__ = "MIT"

from snakemake.shell import shell

log = snakemake.log_fmt_shell(stdout=False, stderr=True)
extra = snakemake.params.get("extra", "")
inputs = snakemake.input
options = []
if inputs.get("regions"):
    options += ["--regions", inputs.regions, "--genome", inputs.genome]
if inputs.get("background"):
    options += ["--background", inputs.background]
if snakemake.output.get("stats"):
    options += ["--stats", snakemake.output.stats]
files = [inputs.motifs] + ([inputs.sequences] if inputs.get("sequences") else [])

shell(
    "rekul --threads {snakemake.threads} {options} {extra} {files} > {snakemake.output.report} {log}",
    options=" ".join(options),
    files=" ".join(files),
)
