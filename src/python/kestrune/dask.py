# SPDX-License-Identifier: MIT
"""Kestrune over many pages with Dask: a bag of findings, written as JSON lines.

    from dask.distributed import Client
    import kestrune.dask

    client = Client("tcp://scheduler:8786")          # or LocalCluster()
    bag = kestrune.dask.findings("pages/**/*.html", "a", ["href"])
    kestrune.dask.write_jsonl(bag, "out/")            # out/00000.jsonl, ... one per partition

Each finding is a dict: {"page": path, "index": n, "finding": value}, where value is
what kestrune.extract gives for that page, one item at a time: an element's dict, a raw
block, or the doctype (index 0). A page that cannot be read gives one record
{"page": path, "error": "NoRootError: ..."} instead, so that no page is lost silently.
Pages are read by the workers: every worker must see the same paths (a shared file
system, or the same files on every host).
"""

from __future__ import annotations

import glob
import json
import os
from typing import Any, Iterable, Iterator, Sequence

import dask.bag

from . import Error, extract_file


def page_paths(paths: str | os.PathLike | Iterable[str | os.PathLike]) -> list[str]:
    """A glob pattern ("**" matches directories at any depth), sorted, or the given
    paths, in their order."""
    if isinstance(paths, (str, os.PathLike)):
        return sorted(glob.glob(os.fspath(paths), recursive=True))
    return [os.fspath(p) for p in paths]


def page_findings(path: str, tag: str, attrs: Sequence[str] | None = None,
                  **options: Any) -> Iterator[dict]:
    """The records of one page, one at a time (extract_file's keyword options pass
    through): a worker holds one page's findings, not its records as well."""
    try:
        found = extract_file(path, tag, attrs, **options)
    except (Error, OSError) as error:
        yield {"page": path, "error": f"{type(error).__name__}: {error}"}
        return
    if not isinstance(found, list):
        found = [] if found is None else [found]
    for i, finding in enumerate(found):
        yield {"page": path, "index": i, "finding": finding}


def findings(paths, tag: str, attrs: Sequence[str] | None = None, *,
             npartitions: int | None = None, **options: Any) -> dask.bag.Bag:
    """A Dask bag of the findings of every page, in page order. `paths`: a glob
    pattern or a list of paths; by default one partition per 4 pages, at most 256
    partitions."""
    paths = page_paths(paths)
    if npartitions is None:
        npartitions = min(256, max(1, (len(paths) + 3) // 4))
    pages = dask.bag.from_sequence(paths, npartitions=max(1, min(npartitions, len(paths) or 1)))
    attrs = None if attrs is None else list(attrs)
    return pages.map(page_findings, tag, attrs, **options).flatten()


def write_jsonl(bag: dask.bag.Bag, directory: str | os.PathLike) -> list[str]:
    """Writes one JSON-lines file per partition, DIRECTORY/00000.jsonl, 00001.jsonl, ...
    (pure ASCII JSON: other characters, and bytes kept as surrogate escapes, as \\u
    escapes). Returns the file names."""
    directory = os.fspath(directory)
    os.makedirs(directory, exist_ok=True)
    return bag.map_partitions(_lines).to_textfiles(os.path.join(directory, "*.jsonl"),
                                                   name_function=lambda number: f"{number:05d}",
                                                   last_endline=False)


def _lines(records: Iterable[dict]) -> Iterator[str]:
    # The files put a line break between items: an empty item after the last record
    # ends the last line, and a partition without records gives an empty file.
    written = False
    for record in records:
        written = True
        yield json.dumps(record)
    if written:
        yield ""


def serial(paths, tag: str, attrs: Sequence[str] | None = None, **options: Any) -> list[dict]:
    """What findings() computes, in this process without Dask."""
    return [record for path in page_paths(paths)
            for record in page_findings(path, tag, attrs, **options)]
