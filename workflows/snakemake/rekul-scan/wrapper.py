"""Snakemake wrapper for rekul-scan: a report's modules found on a target, with p-values.

Inputs: `modules` (the report), `motifs`, and `sequences`, or `genome` (with `regions`);
optionally `stats` (the report's table) and `exclude`. Outputs: `instances` (BED6+), and
`summary` for the line per module. `params.extra` passes any other option (for example
"--genomic-background 5 --seed 1 --max-fwer 0.05"); `threads` sets --threads; standard
error goes to `log`.
"""

__author__ = "rekul maintainers"
__license__ = "MIT"

from snakemake.shell import shell

log = snakemake.log_fmt_shell(stdout=False, stderr=True)
extra = snakemake.params.get("extra", "")
inputs = snakemake.input
options = ["--modules", inputs.modules]
for name in ("stats", "regions", "genome", "exclude"):
    if inputs.get(name):
        options += ["--" + name, inputs.get(name)]
if snakemake.output.get("summary"):
    options += ["--summary", snakemake.output.summary]
files = [inputs.motifs] + ([inputs.sequences] if inputs.get("sequences") else [])

shell(
    "rekul-scan --threads {snakemake.threads} {options} {extra} {files} "
    "> {snakemake.output.instances} {log}",
    options=" ".join(options),
    files=" ".join(files),
)
