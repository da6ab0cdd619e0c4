#!/usr/bin/env cwl-runner
# rekul as a CWL tool: motifs and sequences (or regions of a genome), an optional
# background, the search's thresholds, and the statistics table with permutations.
cwlVersion: v1.2
class: CommandLineTool
label: rekul
doc: |
  Finds recurrent cis-regulatory motif modules: sets of transcription-factor binding
  motifs that occur together, within a short window, in many genes. The report goes to
  standard output; with `stats_name`, the statistics table of the reported modules.
baseCommand: [rekul, --quiet]
hints:
  SoftwareRequirement:
    packages:
      rekul:
        version: ["0.2.0"]
inputs:
  motifs:
    type: File
    doc: Position frequency matrices (native, JASPAR, MEME or TRANSFAC).
    inputBinding: {position: 10}
  sequences:
    type: File?
    doc: FASTA, one entry per gene (plain or gzip). Or give regions and genome.
    inputBinding: {position: 11}
  regions:
    type: File?
    doc: BED regions of the genome, as the genes.
    inputBinding: {prefix: --regions}
  genome:
    type: File?
    doc: The genome of the regions, FASTA, plain or bgzip-compressed.
    secondaryFiles:
      - {pattern: .fai, required: false}
      - {pattern: .gzi, required: false}
    inputBinding: {prefix: --genome}
  background:
    type: File?
    doc: Background genes, a file of the sequences' kind.
    inputBinding: {prefix: --background}
  genomic_background:
    type: int?
    doc: Windows of the genome per region, matched in length and GC.
    inputBinding: {prefix: --genomic-background}
  window:
    type: int?
    doc: Largest span of a module instance (-w, default 200).
    inputBinding: {prefix: -w}
  genes:
    type: int?
    doc: Least number of genes holding a module (-g, default 15).
    inputBinding: {prefix: -g}
  min_motifs:
    type: int?
    doc: Least number of motifs in a module (-k, default 3).
    inputBinding: {prefix: -k}
  cutoff:
    type: float?
    doc: Score cutoff (1 or more) or p-value (below 1) of every motif (-m, default 5).
    inputBinding: {prefix: -m}
  exact_cutoffs:
    type: boolean?
    doc: With a p-value cutoff, cutoffs from the exact score distribution.
    inputBinding: {prefix: --exact-cutoffs}
  seed:
    type: int?
    doc: Seed of every random draw.
    inputBinding: {prefix: --seed}
  permutations:
    type: int?
    doc: Permutations for fwer and fdr (needs a background).
    inputBinding: {prefix: --permutations}
  permutation_shard:
    type: string?
    doc: K/N, the K-th of N slices of the permutations; the table is then a shard file.
    inputBinding: {prefix: --permutation-shard}
  summits:
    type: int?
    doc: Each region as the W letters centred on its summit (narrowPeak column 10).
    inputBinding: {prefix: --summits}
  top:
    type: int?
    doc: Only the N regions of highest signal (narrowPeak column 7).
    inputBinding: {prefix: --top}
  exclude:
    type: File?
    doc: BED intervals no genomic background window may touch.
    inputBinding: {prefix: --exclude}
  threads:
    type: int?
    doc: Threads to run on (default every processor).
    inputBinding: {prefix: --threads}
  stats_name:
    type: string?
    doc: File name of the statistics table (needs a background).
    inputBinding: {prefix: --stats}
outputs:
  report:
    type: stdout
    doc: The module report.
  stats:
    type: File?
    doc: The statistics table.
    outputBinding: {glob: $(inputs.stats_name)}
stdout: report.txt
