#!/usr/bin/env cwl-runner
# rekul-scan as a CWL tool: a report's modules found on sequences, regions of a genome or a
# whole genome, each instance with its p-value (and with a genomic background its fdr).
cwlVersion: v1.2
class: CommandLineTool
label: rekul-scan
doc: |
  Finds the instances of a report's modules on a target, as BED6+ sorted as bedtools
  sorts (chrom, start, end, module:motifs, score, strand, p, E, fdr); with `summary_name`,
  a line per module with the held-out counts against matched genome windows.
baseCommand: [rekul-scan, --quiet]
hints:
  SoftwareRequirement:
    packages:
      rekul:
        version: ["0.2.0"]
inputs:
  modules:
    type: File
    doc: The report of rekul whose modules are looked for.
    inputBinding: {prefix: --modules}
  stats:
    type: File?
    doc: The report's statistics table (its run's scan settings and seed, its filters).
    inputBinding: {prefix: --stats}
  max_fwer:
    type: float?
    doc: With stats, only the modules with fwer at most this.
    inputBinding: {prefix: --max-fwer}
  module:
    type: string?
    doc: Only this module (M3).
    inputBinding: {prefix: --module}
  motifs:
    type: File
    doc: The motif file of the report's run.
    inputBinding: {position: 10}
  sequences:
    type: File?
    doc: FASTA target. Or give genome (and regions).
    inputBinding: {position: 11}
  regions:
    type: File?
    doc: BED regions of the genome as the target.
    inputBinding: {prefix: --regions}
  genome:
    type: File?
    doc: The genome (alone, the whole genome is the target).
    secondaryFiles:
      - {pattern: .fai, required: false}
      - {pattern: .gzi, required: false}
    inputBinding: {prefix: --genome}
  genomic_background:
    type: int?
    doc: Matched genome windows per region, for the fdr and the held-out counts.
    inputBinding: {prefix: --genomic-background}
  exclude:
    type: File?
    doc: BED intervals no window touches (the training regions, for a held-out check).
    inputBinding: {prefix: --exclude}
  seed:
    type: int?
    doc: Seed of every random draw.
    inputBinding: {prefix: --seed}
  hits:
    type: boolean?
    doc: A line per hit of each instance.
    inputBinding: {prefix: --hits}
  threads:
    type: int?
    doc: Threads to run on (default every processor).
    inputBinding: {prefix: --threads}
  summary_name:
    type: string?
    doc: File name of the summary per module.
    inputBinding: {prefix: --summary}
outputs:
  instances:
    type: stdout
    doc: The instances, BED6+.
  summary:
    type: File?
    outputBinding: {glob: $(inputs.summary_name)}
stdout: instances.bed
