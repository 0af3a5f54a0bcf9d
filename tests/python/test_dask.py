# SPDX-License-Identifier: MIT
# kestrune.dask gives what a serial run gives, in the bag and in the JSON-lines files,
# one per partition: on a LocalCluster with two worker processes (raw blocks, the
# doctype, pages that cannot be read, the corpus's links), in a script that starts
# its cluster at import time, and on the local scheduler for the rules of the files:
# page order, one rule for attrs, error records, bytes values, atomic replacement.
import errno
import glob
import io
import json
import os
import re
import subprocess
import sys
import threading

import pytest

import kestrune
from conftest import corpus_pages

distributed = pytest.importorskip("distributed", reason="Dask (python3-distributed) is absent")
import dask  # noqa: E402

import kestrune.dask  # noqa: E402


@pytest.fixture
def synchronous():
    with dask.config.set(scheduler="synchronous"):
        yield


def write_pages(directory, bodies):
    directory.mkdir(parents=True, exist_ok=True)
    paths = []
    for name, body in bodies:
        (directory / name).write_bytes(body)
        paths.append(str(directory / name))
    return paths


def links(count):
    return [(f"{i:02d}.html", b"<html><a href=h%d title=t>%d</a></html>" % (i, i))
            for i in range(count)]


def folder(directory):
    return {name: (directory / name).read_bytes() for name in sorted(os.listdir(directory))}


def records_of(files):
    # Every line ends in "\n", the last one too.
    for name in files:
        data = open(name, "rb").read()
        assert data == b"" or data.endswith(b"\n"), name
    return [json.loads(line) for name in sorted(files) for line in open(name, encoding="ascii")]


def test_bag_and_files_equal_a_serial_run(tmp_path, capsys):
    pages = [tmp_path / f"{i}.html" for i in range(4)]  # the last one is missing
    for page, body in zip(pages, [b"<!DOCTYPE html><html><script>s</script></html>", b"",
                                  b"<html><script>1</script><script>2</script></html>"]):
        page.write_bytes(body)
    records = kestrune.dask.serial(pages, "script")
    assert [r.get("finding") or r["error"].split(":")[0] for r in records] == [
        "<script>s</script>", "NoRootError", "<script>1</script>", "<script>2</script>",
        "FileNotFoundError"]
    # Page 2 has no doctype: its partition has no records and its file is empty.
    requests = [(pages, "script", None, 4), (pages, "!doctype", None, 4)]
    requests += [(str(page.parent / "*.html"), "a", "href", 6) for page in corpus_pages()[:1]]
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        for paths, tag, attrs, partitions in requests:
            serial = kestrune.dask.serial(paths, tag, attrs)
            bag = kestrune.dask.findings(paths, tag, attrs, npartitions=partitions)
            assert serial and bag.compute() == serial
            capsys.readouterr()
            files = kestrune.dask.write_jsonl(bag, tmp_path / tag, progress=True)
            assert "100% Completed" in capsys.readouterr().out
            assert len(files) == partitions
            assert records_of(files) == json.loads(json.dumps(serial))


# The recipe as a script that starts its cluster at import time, without the guard.
SCRIPT = """
from dask.distributed import Client, LocalCluster
import kestrune.dask

client = Client(LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None))
bag = kestrune.dask.findings("pages/**/*.html", "a", "href")
print(len(kestrune.dask.write_jsonl(bag, "out/")))
"""


def test_a_script_that_starts_its_cluster_at_import_time(tmp_path, monkeypatch):
    write_pages(tmp_path / "pages" / "sub", links(3))
    monkeypatch.chdir(tmp_path)
    (tmp_path / "script.py").write_text(SCRIPT)
    run = subprocess.run([sys.executable, "script.py"], cwd=tmp_path, timeout=120,
                         capture_output=True, text=True, check=False)
    assert (run.returncode, run.stdout) == (0, "1\n"), run.stderr[-2000:]
    assert records_of(glob.glob("out/*.jsonl")) == json.loads(json.dumps(
        kestrune.dask.serial("pages/**/*.html", "a", "href")))


def test_pages_come_in_sorted_order(tmp_path, synchronous):
    names = [f"p{i:02d}.html" for i in range(24)]
    write_pages(tmp_path, [(name, b"<html><title>x</title></html>") for name in names])
    pattern = str(tmp_path / "*.html")
    assert glob.glob(pattern) != sorted(glob.glob(pattern)), "the directory lists them sorted"
    expected = [str(tmp_path / name) for name in names]
    assert kestrune.dask.page_paths(pattern) == expected
    assert [r["page"] for r in kestrune.dask.serial(pattern, "title")] == expected
    assert [r["page"] for r in kestrune.dask.findings(pattern, "title").compute()] == expected


@pytest.mark.parametrize("attrs", ["href", "href, title", ["href", "title"], b"href", None, ""])
def test_attrs_mean_what_they_mean_to_extract(tmp_path, synchronous, attrs):
    paths = write_pages(tmp_path, links(3))
    expected = [{"page": p, "index": 0, "finding": kestrune.extract_file(p, "a", attrs)[0]}
                for p in paths]
    assert kestrune.dask.serial(paths, "a", attrs) == expected
    assert kestrune.dask.findings(paths, "a", attrs).compute() == expected


def failing(error):
    def fail(*args, **kwargs):
        raise error
    return fail


@pytest.mark.parametrize("make, error", [
    (lambda path: os.mkfifo(path), "OSError: not a regular file: {path!r}"),
    (lambda path: os.mkdir(path), "OSError: not a regular file: {path!r}"),
    (lambda path: None, "FileNotFoundError: [Errno 2] No such file or directory: {path!r}"),
    (lambda path: open(path, "wb").close(), "NoRootError: the page has no element to read"),
    (lambda path: open(path, "wb").write(b"x" * kestrune.MAX_PAGE_BYTES),
     "PageTooLargeError: the page is 10 MiB or larger"),
    (lambda path: open(path, "wb").write(b"<html>" + b"<b><a>abcdefgh" * 3000),
     "ReportTooLargeError: the report would be larger than its limit"),
])
def test_a_page_that_cannot_be_read_gives_an_error_record(tmp_path, make, error):
    path = str(tmp_path / "page.html")
    make(path)
    found = []
    # A FIFO opened for reading would wait for a writer for ever.
    reader = threading.Thread(target=lambda: found.extend(kestrune.dask.serial([path], "a")),
                              daemon=True)
    reader.start()
    reader.join(timeout=60)
    assert found == [{"page": path, "error": error.format(path=path)}]


def test_running_out_of_memory_on_a_page_gives_an_error_record(tmp_path, monkeypatch):
    paths = write_pages(tmp_path, links(2))
    monkeypatch.setattr(kestrune.dask, "extract", failing(MemoryError("page")))
    assert kestrune.dask.serial(paths, "a") == [{"page": p, "error": "MemoryError: page"}
                                                for p in paths]


@pytest.mark.parametrize("paths, message", [
    ("{tmp}/none/*.html", "no page matches '{tmp}/none/*.html'"),
    ([], "no page: the list of paths is empty"),
])
def test_no_page_raises(tmp_path, paths, message):
    paths = paths.format(tmp=tmp_path) if isinstance(paths, str) else paths
    with pytest.raises(ValueError, match=f"^{re.escape(message.format(tmp=tmp_path))}$"):
        kestrune.dask.findings(paths, "a")
    with pytest.raises(ValueError):
        kestrune.dask.serial(paths, "a")


@pytest.mark.parametrize("tag, options, exception", [
    ("", {}, ValueError), ("a", {"codepage": "utf-8"}, TypeError),
    ("a", {"attrs": [5]}, TypeError), ("a", {"spaced": True}, TypeError),
])
def test_a_request_wrong_for_every_page_raises_at_once(tmp_path, tag, options, exception):
    with pytest.raises(exception):
        kestrune.dask.findings(write_pages(tmp_path, links(1)), tag, **options)


def test_bytes_values_are_written_as_utf8_with_escapes(tmp_path, synchronous):
    paths = write_pages(tmp_path / "pages", [("a.html", b"<html><a href=\xff>caf\xc3\xa9</a>")])
    as_str = kestrune.dask.write_jsonl(kestrune.dask.findings(paths, "a", "href"), tmp_path / "s")
    as_bytes = kestrune.dask.write_jsonl(kestrune.dask.findings(paths, b"a", b"href",
                                                                as_bytes=True), tmp_path / "b")
    assert folder(tmp_path / "s") == folder(tmp_path / "b")
    [record] = records_of(as_bytes)
    assert record["finding"] == {"text": "café", "href": "\udcff"}
    assert record["finding"]["href"].encode("utf-8", "surrogateescape") == b"\xff"


class FullDisk(io.StringIO):
    """A file that takes `room` characters, then fails as a full disk does."""

    def __init__(self, path, room):
        super().__init__()
        self.path, self.room = path, room
        open(path, "x").close()

    def write(self, text):
        if self.tell() + len(text) > self.room:
            raise OSError(errno.ENOSPC, os.strerror(errno.ENOSPC))
        return super().write(text)


def test_files_replace_an_earlier_run_whole_or_not_at_all(tmp_path, synchronous, monkeypatch):
    pages, out = write_pages(tmp_path / "pages", links(12)), tmp_path / "out"
    first = kestrune.dask.write_jsonl(kestrune.dask.findings(pages, "a", npartitions=6), out)
    (out / "notes.txt").write_text("kept")
    before = folder(out)
    # The third partition's writer finds the disk full.
    opened = []

    def open_on_a_small_disk(path, mode, **kwargs):
        opened.append(path)
        return open(path, mode, **kwargs) if len(opened) != 3 else FullDisk(path, 10)

    monkeypatch.setattr(kestrune.dask, "open", open_on_a_small_disk, raising=False)
    with pytest.raises(OSError, match="No space left on device"):
        kestrune.dask.write_jsonl(kestrune.dask.findings(pages, "a", "href", npartitions=6), out)
    monkeypatch.undo()
    assert len(opened) == 6 and folder(out) == before
    # A smaller run: the earlier run's partitions are gone, other files stay.
    files = kestrune.dask.write_jsonl(kestrune.dask.findings(pages[:4], "a", npartitions=2), out)
    assert sorted(os.listdir(out)) == ["00000.jsonl", "00001.jsonl", "notes.txt"]
    assert files == first[:2] and records_of(files) == kestrune.dask.serial(pages[:4], "a")


def test_progress_on_the_local_scheduler(tmp_path, synchronous, capsys):
    paths = write_pages(tmp_path / "pages", links(2))
    kestrune.dask.write_jsonl(kestrune.dask.findings(paths, "a"), tmp_path / "out", progress=True)
    assert "100% Completed" in capsys.readouterr().out


@pytest.mark.parametrize("selector, options, expected", [
    ("div a[href]", {}, [{"text": "é", "href": "x"}]),
    (kestrune.Selector("p a"), {"encoding": "latin1"}, [{"text": "Ã©", "href": "y"}]),
])
def test_select_over_pages(tmp_path, synchronous, selector, options, expected):
    paths = write_pages(tmp_path, [
        ("0.html", "<html><div><a href=x>é</a></div><b>none</b></html>".encode("latin-1")),
        ("1.html", "<html><p><a href=y>é</a></p></html>".encode("utf-8")),
        ("2.html", b""),
    ])
    records = kestrune.dask.select(paths, selector, "href", **options).compute()
    found = [record.get("finding") for record in records if "finding" in record]
    assert found == expected
    assert {"page": paths[2], "error": "NoRootError: the page has no element to read"} in records


@pytest.mark.parametrize("selector, exception", [
    ("a >", kestrune.SelectorError), (5, TypeError),
])
def test_select_with_a_wrong_selector_raises_at_once(tmp_path, selector, exception):
    with pytest.raises(exception):
        kestrune.dask.select(write_pages(tmp_path, links(1)), selector)
