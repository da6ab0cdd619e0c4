#!/usr/bin/env cwl-runner
# The shards of one peak set joined: the shards' reports must be the same (one is kept), and
# rekul-report --merge-permutations joins their shard files into the set's statistics table.
cwlVersion: v1.2
class: CommandLineTool
label: rekul-report --merge-permutations
doc: |
  Joins the shard files that `rekul --permutation-shard K/N` wrote for one peak set into the
  statistics table that one run of all the permutations writes, and keeps the set's report
  (refused when the shards' reports differ: they would not be shards of one run).
baseCommand:
  - bash
  - -c
  - |
    set -eu
    name=$1; shift
    shift  # --reports
    first=$1
    while [ "$1" != --shards ]; do
      cmp -s "$first" "$1" || { echo "Error: the shards of $name wrote different reports" >&2; exit 1; }
      shift
    done
    shift
    cp "$first" "$name.report.txt"
    rekul-report --merge-permutations "$@" > "$name.stats.tsv"
  - merge-permutations
hints:
  SoftwareRequirement:
    packages:
      rekul:
        version: ["0.2.0"]
inputs:
  name:
    type: string
    doc: The peak set's name, for the files written.
    inputBinding: {position: 1}
  reports:
    type: File[]
    doc: The reports of the set's shards.
    inputBinding: {position: 2, prefix: --reports}
  shards:
    type: File[]
    doc: The shard files of the set, in any order.
    inputBinding: {position: 3, prefix: --shards}
outputs:
  report:
    type: File
    outputBinding: {glob: $(inputs.name).report.txt}
  table:
    type: File
    outputBinding: {glob: $(inputs.name).stats.tsv}
