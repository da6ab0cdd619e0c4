"""rekul from Python: the programs' motif reader, scan, module discovery and statistics.

Every function runs the same C++ as the ``rekul`` program, with the same settings its
command line would give: the hits are the program's hits, and a discovery's report is the
program's report, byte for byte. Long calls run without holding the GIL; Ctrl-C stops them
and raises KeyboardInterrupt. Refusals raise ValueError (OSError for a file that cannot be
opened) with the program's message; warnings become Python warnings.

    >>> import rekul
    >>> hits = rekul.scan("motifs.jaspar", "upstream.fa", pvalue=1e-4)
    >>> result = rekul.discover("motifs.jaspar", "upstream.fa", background="bg.fa",
    ...                         permutations=1000, seed=1)
    >>> result.to_pandas().sort_values("fwer")
"""

import numpy as np

from ._rekul import _scan_modules, _discover, _scan, _write_output, read_motifs, read_sequences

__all__ = ["read_motifs", "read_sequences", "scan", "discover", "scan_modules", "Hits", "Discovery"]

HIT_FIELDS = [("gene", "i4"), ("motif", "i4"), ("start", "i4"), ("end", "i4"),
              ("strand", "i1"), ("score", "f4")]


class Hits:
    """The hits of a scan: ``hits`` is a numpy structured array with the fields gene and
    motif (indexes into ``gene_names`` and ``motif_names``), start and end (0-based,
    inclusive), strand (1 or -1) and score, gene by gene in start order."""

    def __init__(self, hits, gene_names, motif_names):
        self.hits = hits
        self.gene_names = gene_names
        self.motif_names = motif_names

    def __len__(self):
        return len(self.hits)

    def rows(self):
        """The hits as rows (gene name, motif name, start, end, strand, score)."""
        return [(self.gene_names[h["gene"]], self.motif_names[h["motif"]], int(h["start"]),
                 int(h["end"]), "+" if h["strand"] > 0 else "-", float(h["score"]))
                for h in self.hits]


def scan(motifs, sequences, cutoff=None, pvalue=None, exact_cutoffs=False, threads=None,
         overlap=None, mask_lowercase=False, pseudocount=None, seed=None, **options):
    """Scans every motif of a motif file on both strands of every sequence of a FASTA file,
    as ``rekul`` does, with its options by name and its defaults: a score cutoff (``cutoff``,
    -m, 5) or a p-value (``pvalue``, turned into a cutoff per motif, exactly with
    ``exact_cutoffs``, else from a sample drawn with ``seed``), overlapping hits thinned
    within ``overlap`` letters (-o, 4; 0 keeps all), letters in lower case masked with
    ``mask_lowercase`` (-l). Any other long option of the program goes by its name, with
    ``_`` for ``-``. Returns a :class:`Hits`."""
    raw = _scan(motifs, sequences, dict(cutoff=cutoff, pvalue=pvalue,
                                        exact_cutoffs=exact_cutoffs, threads=threads,
                                        overlap=overlap, mask_lowercase=mask_lowercase,
                                        pseudocount=pseudocount, seed=seed, **options))
    hits = np.empty(len(raw["gene"]), dtype=HIT_FIELDS)
    for name, _ in HIT_FIELDS:
        hits[name] = raw[name]
    return Hits(hits, list(raw["gene_names"]), list(raw["motif_names"]))


TABLE_COLUMNS = ["module", "motifs", "motif_count", "instances", "genes", "genes_total",
                 "probability", "background_genes", "background_total", "fold_enrichment",
                 "p_value", "e_value", "q_value", "fwer", "fdr", "p_vs_parts", "fdr_exact"]


GRAMMAR_COLUMNS = ["module", "motifs", "feature", "motif_a", "motif_b", "value", "genes",
                   "genes_total", "median", "iqr", "p_value", "fwer"]


class Discovery:
    """The outcome of :func:`discover`: ``report`` (the program's report), ``modules``
    (records with motifs, labels, instances, genes, probability and, with a background,
    every column of the statistics table), ``stats`` and ``motif_stats`` (the tables as
    lists of dicts, from memory), ``stats_text`` (the table as the program writes it) and
    ``warnings`` (what this run said, also given to Python's warnings)."""

    def __init__(self, raw, inputs=None):
        self._inputs = inputs or {}
        self.report = raw["report"]
        self.modules = raw["modules"]
        self.no_module = raw["no_module"]
        self.warnings = list(raw["warnings"])
        self.stats = []
        if raw["has_table"]:
            for module in self.modules:
                row = {key: module.get(key) for key in TABLE_COLUMNS}
                row.update(module=module["id"], motifs=",".join(module["motifs"]),
                           motif_count=len(module["motifs"]),
                           instances=len(module["instances"]))
                self.stats.append(row)
        self.motif_stats = raw["motif_stats"]
        self.stats_text = raw["stats_text"]
        self._grammar = raw["grammar"]
        self.grammar_text = raw["grammar_text"]

    @property
    def grammar(self):
        """With ``grammar=True``: the arrangement of each module's motifs (order, strands,
        spacing, phase) with p-values and fwer, as a pandas DataFrame, one row per module
        and feature (the columns of ``rekul --grammar``); None without it."""
        if not self.grammar_text:
            return None
        import pandas
        return pandas.DataFrame(self._grammar, columns=GRAMMAR_COLUMNS)

    def write_grammar(self, path):
        """Writes the grammar table as ``rekul --grammar`` writes it, never over an input."""
        _write_output(path, self.grammar_text, self._inputs, "write_grammar")

    def write_report(self, path):
        """Writes the report to ``path``: the bytes the program writes. As the programs do,
        it refuses a path that is one of the run's inputs, and writes a temporary file beside
        it that is renamed into place only when whole."""
        _write_output(path, self.report, self._inputs, "write_report")

    def to_pandas(self):
        """The statistics table as a pandas DataFrame (the modules' summary without one)."""
        import pandas
        if self.stats:
            return pandas.DataFrame(self.stats)
        return pandas.DataFrame([{"module": m["id"], "motifs": ",".join(m["motifs"]),
                                  "instances": len(m["instances"]), "genes": m["genes"],
                                  "probability": m["probability"]} for m in self.modules])


def discover(motifs, sequences=None, cutoff=None, pvalue=None, window=None, min_genes=None,
             min_motifs=None, overlap=None, by_factor=False, mask_lowercase=False,
             pseudocount=None, exact_cutoffs=False, unique=False, background=None,
             shuffled_background=None, permutations=None, seed=None, threads=None, **options):
    """Finds recurrent motif modules as ``rekul`` does, with its options by name and its
    defaults (``window`` is -w, ``min_genes`` -g, ``min_motifs`` -k, ``overlap`` -o,
    ``by_factor`` -t, ``cutoff`` or ``pvalue`` -m); every long option goes by its name with
    ``_`` for ``-`` (``match="length,gc"``, ``regions=`` and ``genome=`` in place of
    ``sequences``, ``genomic_background=5``, ``exclude=``). With a background the statistics
    table comes too, and with ``permutations`` its fwer and fdr (``seed`` repeats them).
    Returns a :class:`Discovery`."""
    keywords = dict(cutoff=cutoff, pvalue=pvalue, window=window, min_genes=min_genes,
                    min_motifs=min_motifs, overlap=overlap, by_factor=by_factor,
                    mask_lowercase=mask_lowercase, pseudocount=pseudocount,
                    exact_cutoffs=exact_cutoffs, unique=unique, background=background,
                    shuffled_background=shuffled_background, permutations=permutations,
                    seed=seed, threads=threads, **options)
    raw = _discover(motifs, sequences, keywords)
    inputs = {"the motif file": motifs, "the sequence file": sequences,
              "the background": background, "the genome": options.get("genome"),
              "the regions": options.get("regions"),
              "the background regions": options.get("background_regions"),
              "the excluded regions": options.get("exclude")}
    return Discovery(raw, inputs)


SCAN_COLUMNS = ["chrom", "start", "end", "module", "motifs", "strand", "gene", "p_value",
                "e_value", "fdr"]


def scan_modules(report, motifs, sequences=None, module=None, stats=None, max_fwer=None,
                 max_q=None, **options):
    """The instances of a report's modules on a target, as ``rekul-scan`` finds them: the
    modules of ``report`` (only ``module``, such as "M3"; or with ``stats``, the report's
    table, those within ``max_fwer`` and ``max_q``, and its run's scan settings and seed)
    on the sequences of ``sequences`` or, with ``regions`` and ``genome``, on regions of a
    genome (``genome`` alone: the whole genome). rekul's options go by name (``cutoff``,
    ``pvalue``, ``window``, ``genomic_background``, ``exclude``, ``seed``, ...). Returns a
    pandas DataFrame, one row per instance in bedtools' order: chrom, start, end (0-based,
    end excluded), module, motifs, strand, gene, p_value, e_value and fdr (with a
    background); its ``attrs["summary"]`` holds the text of ``--summary``."""
    import pandas
    raw = _scan_modules(report, motifs, sequences,
                        dict(module=module, stats=stats, max_fwer=max_fwer, max_q=max_q,
                             **options))
    frame = pandas.DataFrame({name: raw[name] for name in SCAN_COLUMNS})
    frame = frame.sort_values(["chrom", "start"], kind="stable").reset_index(drop=True)
    frame.attrs["summary"] = raw["summary"]
    return frame
