#!/usr/bin/env cwl-runner
# rekul-report as a CWL tool: a report of rekul or rekulo into one of its forms.
cwlVersion: v1.2
class: CommandLineTool
label: rekul-report
doc: |
  Turns a report of rekul or rekulo into TSV, hit rows, BED, BEDPE, GFF3 or one
  self-contained HTML page, with the statistics table where given.
baseCommand: rekul-report
hints:
  SoftwareRequirement:
    packages:
      rekul:
        version: ["0.2.0"]
inputs:
  report:
    type: File
    doc: The report of rekul or rekulo.
    inputBinding: {position: 10}
  form:
    type:
      type: enum
      symbols: [tsv, hits, bed, bedpe, gff, html]
    default: html
    doc: The form to write.
    inputBinding: {prefix: "--", separate: false}
  stats:
    type: File?
    doc: The statistics table of the same run.
    inputBinding: {prefix: --stats}
  motifs:
    type: File?
    doc: The motif file, for factor names and logos.
    inputBinding: {prefix: --motifs}
  fasta:
    type: File?
    doc: The sequence file, for genomic coordinates from its titles.
    inputBinding: {prefix: --fasta}
  output_name:
    type: string
    default: report.html
    doc: The name of the file written.
outputs:
  result:
    type: stdout
    doc: The report in the form asked for.
stdout: $(inputs.output_name)
