#!/usr/bin/env cwl-runner
# An atlas of peak sets: each set is run with its permutations split into shards that run
# apart (as many at once as the engine has machines for), the shards are merged into the
# set's table, and one summary covers every set. Each table is byte for byte the table of
# one plain run of all the permutations (but for its `# command` line).
#   cwltool atlas.cwl atlas-job.yml
#   toil-cwl-runner --batchSystem slurm --jobStore ./store atlas.cwl atlas-job.yml
cwlVersion: v1.2
class: Workflow
label: rekul atlas
requirements:
  ScatterFeatureRequirement: {}
  SubworkflowFeatureRequirement: {}
  StepInputExpressionRequirement: {}
inputs:
  motifs: File
  genome:
    type: File
    secondaryFiles:
      - {pattern: .fai, required: false}
      - {pattern: .gzi, required: false}
  peak_sets:
    type: File[]
    doc: BED (or narrowPeak) files, one per experiment.
  genomic_background: int
  seed: int
  permutations: int
  shards:
    type: string[]
    doc: The slices to run, K/N for K = 1..N (for example ["1/4", "2/4", "3/4", "4/4"]).
  genes: int?
  summits: int?
  threads: int?
outputs:
  reports:
    type: File[]
    outputSource: peak_set/report
  tables:
    type: File[]
    outputSource: peak_set/table
  summary:
    type: File
    outputSource: summary/summary
steps:
  peak_set:
    scatter: regions
    in:
      regions: peak_sets
      motifs: motifs
      genome: genome
      genomic_background: genomic_background
      seed: seed
      permutations: permutations
      shards: shards
      genes: genes
      summits: summits
      threads: threads
    out: [report, table]
    run:
      class: Workflow
      inputs:
        regions: File
        motifs: File
        genome:
          type: File
          secondaryFiles:
            - {pattern: .fai, required: false}
            - {pattern: .gzi, required: false}
        genomic_background: int
        seed: int
        permutations: int
        shards: string[]
        genes: int?
        summits: int?
        threads: int?
      outputs:
        report:
          type: File
          outputSource: merge/report
        table:
          type: File
          outputSource: merge/table
      steps:
        shard:
          run: rekul.cwl
          scatter: permutation_shard
          in:
            regions: regions
            motifs: motifs
            genome: genome
            genomic_background: genomic_background
            seed: seed
            permutations: permutations
            permutation_shard: shards
            genes: genes
            summits: summits
            threads: threads
            stats_name: {default: shard.txt}
          out: [report, stats]
        merge:
          run: merge-permutations.cwl
          in:
            name: {source: regions, valueFrom: $(self.nameroot)}
            reports: shard/report
            shards: shard/stats
          out: [report, table]
  summary:
    run: atlas-summary.cwl
    in:
      tables: peak_set/table
    out: [summary]
