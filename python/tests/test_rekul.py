"""The Python module against the programs: the same hits and the same report bytes, arrays
that outlive their parents, the program's refusals as exceptions, and Ctrl-C in a long call."""

import gc
import os
import signal
import subprocess
import threading
import time
import warnings
from pathlib import Path

import pytest

import rekul

ROOT = Path(__file__).resolve().parents[2]
GOLDEN = ROOT / "tests" / "golden"
EXAMPLES = ROOT / "examples"
BUILD = Path(os.environ.get("REKUL_BUILD", ROOT / "build"))


def program(*args):
    """Standard output of a program of the build."""
    return subprocess.run([str(BUILD / args[0]), *map(str, args[1:])], check=True,
                          capture_output=True).stdout


def test_scan_holds_every_hit_the_program_reports():
    hits = rekul.scan(GOLDEN / "four.motifs", GOLDEN / "four.fa", cutoff=1, pseudocount=0)
    rows = {(gene, motif, start, end, strand, round(score, 2)) for gene, motif, start, end,
            strand, score in hits.rows()}
    report = [line for line in program("rekul-report", "--hits", GOLDEN / "four.out")
              .decode().splitlines()[1:] if not line.startswith("#")]
    assert report
    for line in report:
        _, _, gene, motif, start, end, strand, score = line.split("\t")
        assert (gene, motif, int(start), int(end), strand, float(score)) in rows
    # Hits come gene by gene in start order, as the report's instances list them.
    genes = hits.hits["gene"]
    assert (genes[1:] >= genes[:-1]).all()
    assert set(genes) == set(range(len(hits.gene_names)))


def test_discovery_writes_the_programs_report_byte_for_byte(tmp_path):
    result = rekul.discover(GOLDEN / "four.motifs", GOLDEN / "four.fa", cutoff=1,
                            pseudocount=0, min_genes=3)
    out = tmp_path / "report.txt"
    result.write_report(out)
    assert out.read_bytes() == (GOLDEN / "four.out").read_bytes()
    assert len(result.modules) == (GOLDEN / "four.out").read_text().count(">")


def test_discovery_with_a_background_and_permutations_matches_the_program(tmp_path):
    background = tmp_path / "bg.fa"
    background.write_text((EXAMPLES / "example.fa").read_text().replace(">", ">bg_"))
    table = tmp_path / "stats.tsv"
    report = program("rekul", "--quiet", "--seed", "3", "--background", background, "--stats",
                     table, "--permutations", "30", EXAMPLES / "example.motifs",
                     EXAMPLES / "example.fa")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        result = rekul.discover(EXAMPLES / "example.motifs", EXAMPLES / "example.fa",
                                background=background, permutations=30, seed=3)
    assert result.report.encode() == report
    rows = [line for line in table.read_text().splitlines() if not line.startswith("#")]
    mine = [line for line in result.to_pandas().to_csv(sep="\t", index=False).splitlines()]
    assert len(mine) == len(rows)
    assert [row["fwer"] for row in result.stats] == pytest.approx(
        [float(line.split("\t")[13]) for line in rows[1:]], rel=1e-5)
    assert [line for line in result.stats_text.splitlines() if not line.startswith("#")] == rows
    assert result.modules[0]["fwer"] == result.stats[0]["fwer"]
    assert result.modules[0]["labels"] == ["GATA_01", "CREB_01", "HOX_01", "EBOX_01"]
    assert result.to_pandas().sort_values("fwer").iloc[0]["module"] == "M1"


def test_arrays_outlive_the_objects_they_came_from():
    hits = rekul.scan(EXAMPLES / "example.motifs", EXAMPLES / "example.fa")
    starts, total = hits.hits["start"], int(hits.hits["start"].sum())
    del hits
    gc.collect()
    assert int(starts.sum()) == total
    matrix = rekul.read_motifs(EXAMPLES / "example.motifs")[0]["matrix"]
    gc.collect()
    assert matrix.shape == (8, 4)
    assert abs(matrix.sum(axis=1) - 1).max() < 1e-5


def test_refusals_raise_with_the_programs_message_and_the_interpreter_goes_on(tmp_path):
    bad = tmp_path / "bad.motifs"
    bad.write_text(">M1\tV$A\n1 -5 0 0\n")
    with pytest.raises(ValueError, match="negative or non-finite value"):
        rekul.read_motifs(bad)
    with pytest.raises(OSError):
        rekul.scan(tmp_path / "missing.motifs", EXAMPLES / "example.fa")
    with pytest.raises(ValueError, match="--permutations needs --background"):
        rekul.discover(EXAMPLES / "example.motifs", EXAMPLES / "example.fa", permutations=5)
    assert len(rekul.read_motifs(EXAMPLES / "example.motifs")) == 8


def test_values_the_programs_refuse_are_refused_here_too():
    motifs, genes = EXAMPLES / "example.motifs", EXAMPLES / "example.fa"
    for pvalue in ("x", 1, 2.0, True):
        with pytest.raises(ValueError, match="pvalue takes a"):
            rekul.scan(motifs, genes, pvalue=pvalue)
    with pytest.raises(ValueError, match="--permutations takes a whole number from 0"):
        rekul.discover(motifs, genes, permutations=-1, shuffled_background=2)
    with pytest.raises(ValueError, match="--threads takes a whole number from 1 to 4096"):
        rekul.scan(motifs, genes, threads=-1)
    with pytest.raises(ValueError, match="-w value|windowSize threshold should be >= zero"):
        rekul.discover(motifs, genes, window=-5)
    with pytest.raises(ValueError, match="--seed takes a whole number"):
        rekul.discover(motifs, genes, seed="one", shuffled_background=2)
    # A p-value keeps every digit on its way to the program: 1e-6 is not 0.000001 rounded.
    assert len(rekul.scan(motifs, genes, pvalue=1.5e-6)) <= len(rekul.scan(motifs, genes,
                                                                            pvalue=1e-4))


def test_keywords_are_the_programs_options_by_name():
    motifs, genes = EXAMPLES / "example.motifs", EXAMPLES / "example.fa"
    for keyword in ({"windw": 5}, {"min-genes": 3}, {"stats": "x.tsv"}):
        with pytest.raises(ValueError, match="no (option|keyword)"):
            rekul.discover(motifs, genes, **keyword)
    with pytest.raises(ValueError, match="is a switch"):
        rekul.discover(motifs, genes, unique=1)
    # Every long option, matching and the genome inputs among them, by its name.
    with pytest.raises(ValueError, match="--match needs --background POOL"):
        rekul.discover(motifs, genes, match="length,gc")
    with pytest.raises(ValueError, match="--regions needs --genome"):
        rekul.discover(motifs, regions=EXAMPLES / "genome" / "peaks.bed")
    with pytest.raises(ValueError, match="Error: --match takes length,gc, length or gc, not x"):
        rekul.discover(motifs, genes, background=genes, match="x")


def test_two_threads_get_each_their_own_result_and_warnings(tmp_path):
    background = tmp_path / "short.fa"
    background.write_text("".join(">bg%d\n%s\n" % (i, "ACGTTGCA" * 25) for i in range(30)))
    calls = {
        "confounded": dict(motifs=EXAMPLES / "example.motifs", sequences=EXAMPLES / "example.fa",
                           background=background, permutations=200, seed=2),
        "golden": dict(motifs=GOLDEN / "four.motifs", sequences=GOLDEN / "four.fa", cutoff=1,
                       pseudocount=0, min_genes=3),
    }
    alone = {name: rekul.discover(**call) for name, call in calls.items()}
    together = {}

    def run(name, call, times):
        for _ in range(times):  # the quick call runs over the other's warnings
            together.setdefault(name, []).append(rekul.discover(**call))

    threads = [threading.Thread(target=run, args=(name, calls[name], times))
               for name, times in (("golden", 40), ("confounded", 3))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for name in calls:
        for result in together[name]:
            assert result.report == alone[name].report
            assert result.stats_text == alone[name].stats_text
            assert result.warnings == alone[name].warnings
    assert any("longer than the background" in line for line in alone["confounded"].warnings)
    assert alone["golden"].warnings == []


def test_write_report_never_overwrites_an_input(tmp_path):
    genes = tmp_path / "genes.fa"
    genes.write_bytes((EXAMPLES / "example.fa").read_bytes())
    result = rekul.discover(EXAMPLES / "example.motifs", genes)
    for target in (genes, EXAMPLES / "example.motifs"):
        before = Path(target).read_bytes()
        with pytest.raises(ValueError, match="of this run; writing it would destroy it"):
            result.write_report(target)
        assert Path(target).read_bytes() == before
    result.write_report(tmp_path / "report.txt")
    assert (tmp_path / "report.txt").read_text() == result.report
    assert sorted(p.name for p in tmp_path.iterdir()) == ["genes.fa", "report.txt"]


def test_ctrl_c_in_a_long_call_raises_keyboard_interrupt_within_a_second(tmp_path):
    background = tmp_path / "bg.fa"
    background.write_text((EXAMPLES / "example.fa").read_text().replace(">", ">bg_"))
    timer = threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT))
    start = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        rekul.discover(EXAMPLES / "example.motifs", EXAMPLES / "example.fa",
                       background=background, permutations=1000000, seed=1)
    assert time.monotonic() - start < 1.5
    # The library is ready for the next call.
    assert len(rekul.scan(EXAMPLES / "example.motifs", EXAMPLES / "example.fa")) > 0


def test_stratify_is_a_keyword_and_its_table_says_so():
    genome = EXAMPLES / "genome"
    result = rekul.discover(EXAMPLES / "example.motifs", regions=genome / "peaks.bed",
                            genome=genome / "genome.fa", genomic_background=5,
                            stratify="length,gc", permutations=20, seed=1)
    assert "# test: one-sided stratified exact test" in result.stats_text
    assert all(row["fdr_exact"] in (0, 1) for row in result.stats)
    with pytest.raises(ValueError, match="--stratify needs genomic DNA"):
        rekul.discover(EXAMPLES / "example.motifs", EXAMPLES / "example.fa",
                       shuffled_background=2, stratify="gc")


def test_grammar_in_memory_is_the_programs_table(tmp_path):
    motifs, genes = EXAMPLES / "example.motifs", EXAMPLES / "example.fa"
    table = tmp_path / "grammar.tsv"
    program("rekul", "--quiet", "--seed", "4", "--grammar", table, "--grammar-permutations",
            "200", motifs, genes)
    result = rekul.discover(motifs, genes, seed=4, grammar=True, grammar_permutations=200)
    frame = result.grammar
    lines = [line.split("\t") for line in table.read_text().splitlines()
             if not line.startswith("#")]
    assert list(frame.columns) == lines[0]
    assert len(frame) == len(lines) - 1
    for (_, row), fields in zip(frame.iterrows(), lines[1:]):
        assert [row["module"], row["feature"], row["value"], str(row["genes"])] == \
            [fields[0], fields[2], fields[5], fields[6]]
        assert abs(row["p_value"] - float(fields[10])) < 1e-5
        assert abs(row["fwer"] - float(fields[11])) < 1e-5
    out = tmp_path / "again.tsv"
    result.write_grammar(out)
    assert out.read_text().split("# command")[0] == table.read_text().split("# command")[0]
    assert rekul.discover(motifs, genes).grammar is None
    with pytest.raises(ValueError, match="grammar takes True or False"):
        rekul.discover(motifs, genes, grammar=str(tmp_path / "g.tsv"))


def test_scan_modules_gives_the_programs_instances(tmp_path):
    genome = EXAMPLES / "genome"
    report = tmp_path / "report.txt"
    report.write_bytes(program("rekul", "--quiet", "-g", "20", EXAMPLES / "example.motifs",
                               EXAMPLES / "example.fa"))
    rows = program("rekul-scan", "--quiet", "--modules", report, "--regions",
                   genome / "peaks.bed", "--genome", genome / "genome.fa",
                   "--genomic-background", "3", "--seed", "4",
                   EXAMPLES / "example.motifs").decode().splitlines()
    frame = rekul.scan_modules(report, EXAMPLES / "example.motifs", regions=genome / "peaks.bed",
                               genome=genome / "genome.fa", genomic_background=3, seed=4)
    assert len(rows) == len(frame) > 20
    for line, (_, row) in zip(rows, frame.iterrows()):
        chrom, start, end, name, _, strand, p, e, fdr = line.split("\t")
        assert (chrom, int(start), int(end), strand) == (row.chrom, row.start, row.end,
                                                          row.strand)
        assert name == f"{row.module}:{row.motifs}"
        assert float(p) == pytest.approx(row.p_value, rel=1e-5)
        assert float(fdr) == pytest.approx(row.fdr, rel=1e-5, abs=1e-12)
    assert frame.attrs["summary"].startswith("module\tmotifs\tinstances")
    with pytest.raises(ValueError, match="holds no module M99"):
        rekul.scan_modules(report, EXAMPLES / "example.motifs", EXAMPLES / "example.fa",
                           module="M99")
