# SPDX-License-Identifier: MIT
"""Kestrune over many pages with Dask: a bag of findings, written as JSON lines.

    from dask.distributed import Client, LocalCluster
    import kestrune.dask

    if __name__ == "__main__":  # worker processes may import this script again
        client = Client(LocalCluster(n_workers=2))  # or Client("tcp://scheduler:8786")
        bag = kestrune.dask.findings("pages/**/*.html", "a", "href")
        kestrune.dask.write_jsonl(bag, "out/", progress=True)  # out/00000.jsonl, ...

Each finding is a dict: {"page": path, "index": n, "finding": value}, where value is
what kestrune.extract gives for that page, one item at a time (kestrune.dask.select
takes a CSS selector instead, and its values are kestrune.select's): an element's dict, a raw
block, or the doctype (index 0). A page that cannot be read gives one record
{"page": path, "error": "NoRootError: ..."} instead, so that no page is lost silently:
any kestrune.Error, an OSError (a path that is not a regular file included: a FIFO
would make its task wait for a writer) or a MemoryError of that page. A request that
is wrong for every page (a bad tag, option or code page) raises at once instead.
Pages are read by the workers: every worker must see the same paths (a shared file
system, or the same files on every host).

Worker processes started by Dask's default, "spawn", import the main script again;
one that starts its Client at import time, without the guard above, would start it
again in each of them, without end. So when the program is a script (run as
"python3 script.py") and the system can fork, importing this module makes Dask fork
worker processes instead (distributed.worker.multiprocessing-method "fork"); set that
option again after the import to choose otherwise.
"""

from __future__ import annotations

import glob
import json
import multiprocessing
import os
import re
import sys
import uuid
from typing import TYPE_CHECKING, Any, Callable, Iterable, Iterator, Sequence

import dask
import dask.bag

from . import Error, Selector, _attribute_names, _read_page, extract
from . import select as _select

if TYPE_CHECKING:
    from . import _Names, _Path

    _Record = dict[str, Any]

# The files of a partition: its number in five digits or more, ".jsonl".
_PARTITION_FILE = re.compile(r"[0-9]{5,}\.jsonl\Z")


def _fork_workers_of_a_script() -> None:
    key = "distributed.worker.multiprocessing-method"
    main = sys.modules.get("__main__")
    script = getattr(main, "__spec__", None) is None and getattr(main, "__file__", None)
    if (script and "fork" in multiprocessing.get_all_start_methods() and
            dask.config.get(key, "spawn") == "spawn"):
        dask.config.set({key: "fork"})


_fork_workers_of_a_script()


def page_paths(paths: _Path | Iterable[_Path]) -> list[str]:
    """The pages a glob pattern matches ("**" matches directories at any depth), in
    sorted order, or the given paths, in their order. Raises ValueError when there is
    no page."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        pattern = os.fsdecode(paths)
        found = sorted(glob.glob(pattern, recursive=True))
        if not found:
            raise ValueError(f"no page matches {pattern!r}")
        return found
    given = [os.fsdecode(path) for path in paths]
    if not given:
        raise ValueError("no page: the list of paths is empty")
    return given


def page_findings(path: str, tag: str | bytes, attrs: _Names = None,
                  **options: Any) -> Iterator[_Record]:
    """The records of one page, one at a time (extract's keyword options pass
    through): a worker holds one page's findings, not its records as well."""
    return _records(path, lambda page: extract(page, tag, attrs, **options))


def page_selections(path: str, selector: str | Selector, attrs: _Names = None,
                    **options: Any) -> Iterator[_Record]:
    """page_findings with kestrune.select: the elements the selector matches."""
    return _records(path, lambda page: _select(page, selector, attrs, **options))


def _records(path: str, find: Callable[[bytes], Any]) -> Iterator[_Record]:
    try:
        found = find(_read_page(path, regular_only=True))
    except (Error, OSError, MemoryError) as error:
        yield {"page": path, "error": f"{type(error).__name__}: {error}"}
        return
    items: Sequence[Any] = found if isinstance(found, list) else [] if found is None else [found]
    for i, finding in enumerate(items):
        yield {"page": path, "index": i, "finding": finding}


def findings(paths: _Path | Iterable[_Path], tag: str | bytes, attrs: _Names = None, *,
             npartitions: int | None = None, **options: Any) -> dask.bag.Bag:
    """A Dask bag of the findings of every page, in page order. `paths`: a glob
    pattern or a list of paths (see page_paths); `attrs` as in kestrune.extract; by
    default one partition per 4 pages, at most 256 partitions."""
    paths = page_paths(paths)
    names = _attribute_names(attrs)
    extract(b"<html></html>", tag, names, **options)  # raises for a request wrong for all
    return _bag(paths, npartitions).map(page_findings, tag, names, **options).flatten()


def select(paths: _Path | Iterable[_Path], selector: str | Selector, attrs: _Names = None, *,
           npartitions: int | None = None, **options: Any) -> dask.bag.Bag:
    """findings() with kestrune.select: a bag of the records of the elements the CSS
    selector matches on every page ({"page", "index", "finding": the element's dict}).
    A selector that does not compile raises kestrune.SelectorError at once; the
    workers get it compiled (a Selector pickles as its text)."""
    paths = page_paths(paths)
    names = _attribute_names(attrs)
    compiled = selector if isinstance(selector, Selector) else Selector(selector)
    _select(b"<html></html>", compiled, names, **options)  # raises for a request wrong for all
    return _bag(paths, npartitions).map(page_selections, compiled, names, **options).flatten()


def _bag(paths: list[str], npartitions: int | None) -> dask.bag.Bag:
    if npartitions is None:
        npartitions = min(256, max(1, (len(paths) + 3) // 4))
    return dask.bag.from_sequence(paths, npartitions=max(1, min(npartitions, len(paths))))


def write_jsonl(bag: dask.bag.Bag, directory: str | os.PathLike[str], *,
                progress: bool = False) -> list[str]:
    """Writes one JSON-lines file per partition, DIRECTORY/00000.jsonl, 00001.jsonl, ...
    (a partition without records gives an empty file) and returns their paths.

    The lines are pure ASCII JSON, each ending in "\\n": other characters, and bytes
    kept as surrogate escapes, as \\u escapes. Bytes values and keys (as_bytes=True,
    names given as bytes) are written as the str bytes.decode("utf-8",
    "surrogateescape") gives: the same text as a run without as_bytes in UTF-8, and
    json.loads(line)[...].encode("utf-8", "surrogateescape") gives the bytes back.

    Each partition is written by a worker to a temporary file in DIRECTORY, and the
    files take their names only once every partition is written: when one fails (a
    full disk), the temporary files are removed, the exception is raised, and
    DIRECTORY holds what it held before. Partition files of an earlier run that this
    one did not replace are then removed, so that DIRECTORY holds this run's records
    only; other files are left alone. With progress=True a progress bar is printed
    (distributed.progress with a Dask client, else dask.diagnostics.ProgressBar)."""
    directory = os.path.abspath(os.fspath(directory))
    os.makedirs(directory, exist_ok=True)
    parts = bag.to_delayed()
    names = [f"{number:05d}.jsonl" for number in range(len(parts))]
    run = uuid.uuid4().hex
    temporaries = [os.path.join(directory, f".{name}.{run}.tmp") for name in names]
    writes = [dask.delayed(_write_partition)(part, temporary)
              for part, temporary in zip(parts, temporaries)]
    try:
        failures = [failure for failure in _compute(writes, progress) if failure is not None]
        if failures:
            raise failures[0]
    except BaseException:
        for temporary in temporaries:
            _remove(temporary)
        raise
    for temporary, name in zip(temporaries, names):
        os.replace(temporary, os.path.join(directory, name))
    for name in set(os.listdir(directory)) - set(names):
        if _PARTITION_FILE.match(name):
            _remove(os.path.join(directory, name))
    return [os.path.join(directory, name) for name in names]


def _compute(tasks: list[Any], progress: bool) -> list[Any]:
    if not progress:
        return list(dask.compute(*tasks))
    try:
        import distributed

        client = distributed.get_client()
    except (ImportError, ValueError):  # no Dask client: the local scheduler
        from dask.diagnostics import ProgressBar

        with ProgressBar():
            return list(dask.compute(*tasks))
    futures = client.compute(tasks)
    distributed.progress(futures)
    return list(client.gather(futures))


def _write_partition(records: Iterable[_Record], path: str) -> Exception | None:
    """Writes the records to a new file at `path`; the exception, with the file
    removed, when that fails (returned, so that every partition is tried and the
    caller removes every temporary file after the last)."""
    try:
        with open(path, "x", encoding="ascii", newline="\n") as file:
            for record in records:
                file.write(json.dumps(_jsonable(record)) + "\n")
            file.flush()
            os.fsync(file.fileno())
    except Exception as error:
        _remove(path)
        return error
    return None


def _text(value: Any) -> Any:
    return value.decode("utf-8", "surrogateescape") if isinstance(value, bytes) else value


def _jsonable(record: _Record) -> _Record:
    finding = record.get("finding")
    if isinstance(finding, dict):
        finding = {_text(key): _text(value) for key, value in finding.items()}
    elif "finding" in record:
        finding = _text(finding)
    else:
        return record
    return {**record, "finding": finding}


def _remove(path: str) -> None:
    try:
        os.remove(path)
    except FileNotFoundError:
        pass


def serial(paths: _Path | Iterable[_Path], tag: str | bytes, attrs: _Names = None,
           **options: Any) -> list[_Record]:
    """What findings() computes, in this process without Dask."""
    names = _attribute_names(attrs)
    return [record for path in page_paths(paths)
            for record in page_findings(path, tag, names, **options)]
