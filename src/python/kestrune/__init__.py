# SPDX-License-Identifier: MIT
"""Kestrune for Python: extract elements, raw blocks and the doctype from HTML pages.

    >>> import kestrune
    >>> kestrune.extract(b'<html><a href=x>y</a></html>', 'a', ['href'])
    [{'text': 'y', 'href': 'x'}]

The page is read by Kestrune's lenient parser, the same one as the kestrune program's:
any bytes give a result, however broken the HTML. `extract` reads a page in memory,
`extract_file` a file; `kestrune.dask` runs either over many pages on a Dask cluster.
"""

import os

from ._kestrune import (
    ConversionError,
    Error,
    NoRootError,
    PageTooLargeError,
    __version__,
    extract,
)

__all__ = [
    "ConversionError",
    "Error",
    "NoRootError",
    "PageTooLargeError",
    "__version__",
    "extract",
    "extract_file",
]

# extract() refuses pages of this size or more: reading stops there.
_PAGE_LIMIT = 10 * 1024 * 1024


def extract_file(path, tag, attrs=None, *, codepage=65001, text="written", as_bytes=False):
    """Reads the file at `path` (any path, str, bytes or os.PathLike) and returns
    extract(its bytes, tag, attrs, ...): the same results and exceptions, plus OSError
    when the file cannot be read. A file of 10 MiB or more raises PageTooLargeError
    after reading only its first 10 MiB; pipes and devices are read to their end."""
    with open(os.fspath(path), "rb") as file:
        page = file.read(_PAGE_LIMIT)
    return extract(page, tag, attrs, codepage=codepage, text=text, as_bytes=as_bytes)
