#!/usr/bin/env cwl-runner
# One line per peak set from its statistics table: modules, modules at fwer <= 0.05 and the
# smallest fwer.
cwlVersion: v1.2
class: CommandLineTool
label: rekul atlas summary
baseCommand:
  - bash
  - -c
  - |
    set -eu
    printf 'peak_set\tmodules\tmodules_fwer_0.05\tsmallest_fwer\n'
    for table in "$@"; do
      awk -F '\t' -v set="`basename "$table" .stats.tsv`" '
        NR > 1 && !/^#/ { n++; if ($14 != "" && $14 + 0 <= 0.05) k++
                          if ($14 != "" && (best == "" || $14 + 0 < best + 0)) best = $14 }
        END { printf "%s\t%d\t%d\t%s\n", set, n, k, best }' "$table"
    done
  - atlas-summary
inputs:
  tables:
    type: File[]
    doc: The statistics tables of the peak sets.
    inputBinding: {position: 1}
outputs:
  summary:
    type: stdout
stdout: summary.tsv
