# SPDX-License-Identifier: MIT
"""Kestrune for Python: find elements in HTML pages with CSS selectors, walk their
tree, or extract elements, raw blocks and the doctype.

    >>> import kestrune
    >>> kestrune.select(b'<html><div><a href=x>y</a></div></html>', 'div a', ['href'])
    [{'text': 'y', 'href': 'x'}]
    >>> [p.text for p in kestrune.parse(b'<html><p class=c>Hi</p></html>').select('p.c')]
    ['Hi']

The page is read by Kestrune's lenient parser, the same one as the kestrune program's:
any bytes give a result, however broken the HTML. `select` and `parse` read a page in
whatever encoding it is written in and give str; `extract` reads a page in memory as
the kestrune program does, `extract_file` a file; `kestrune.dask` runs them over many
pages on a Dask cluster.
The module works in the main interpreter only: importing it in a subinterpreter raises
ImportError.
"""

import os
import stat

from . import _kestrune

_kestrune.require_main_interpreter()

from ._kestrune import (  # noqa: E402
    MAX_PAGE_BYTES,
    UTF8,
    ConversionError,
    Document,
    Element,
    Error,
    NoRootError,
    PageTooLargeError,
    ReportTooLargeError,
    Selector,
    SelectorError,
    __version__,
)
from ._kestrune import attribute_names as _attribute_names  # noqa: E402, F401

__all__ = [
    "MAX_PAGE_BYTES",
    "UTF8",
    "ConversionError",
    "Document",
    "Element",
    "Error",
    "NoRootError",
    "PageTooLargeError",
    "ReportTooLargeError",
    "Selector",
    "SelectorError",
    "__version__",
    "extract",
    "extract_file",
    "parse",
    "select",
]


def select(page, selector, attrs=None, *, text="written", encoding="auto"):
    """The elements of the page a CSS selector matches, in document order, as a list
    of dicts: "text", then each attribute asked for, or "attr" (see extract).

    page      as in extract.
    selector  a str or a compiled kestrune.Selector ("div a[href]", "ul > li:nth-child(2)").
              A str that does not compile raises kestrune.SelectorError (a ValueError)
              whose message ends in the offset where the problem was found.
    attrs     as in extract.
    text      as in extract.
    encoding  "auto" (the default): the page's encoding is found from its byte-order
              mark, its <meta charset> declaration, whether it is valid UTF-8, else
              windows-1252; or an encoding name ("latin1", "shift_jis", "utf-16le", ...;
              an unknown one raises ValueError). Values are str, correctly decoded.

    Selectors that need only an element and its ancestors are matched while the page
    is read; others on its tree. The GIL is released while the page is parsed and
    matched. Raises as extract does for a page that cannot be read.
    """
    return _kestrune.select(page, selector, attrs, text, encoding)


def parse(page, *, encoding="auto", html_whitespace=False):
    """Parses the page into a kestrune.Document, whose elements can be walked and
    searched (root, select, select_one, find_all, iter). `page` and `encoding` as in
    select. With html_whitespace=True tag names and attributes also end at TAB, LF,
    FF and CR, as browsers read them (<A\\nHREF="x"> is then a link). Raises kestrune.NoRootError for a page without an element,
    kestrune.PageTooLargeError for one of MAX_PAGE_BYTES or more (counted as UTF-8)."""
    if not isinstance(html_whitespace, bool):
        raise TypeError("html_whitespace must be a bool")
    return _kestrune.parse(page, encoding, html_whitespace)


def extract(page, tag, attrs=None, *, codepage=UTF8, text="written", as_bytes=False,
            encoding=None):
    """Reads one HTML page and returns what `tag` asks of it.

    page      bytes, str (encoded as UTF-8) or a buffer of single bytes in one block
              (bytearray, memoryview, mmap, array('B')). A page that is valid UTF-8
              with a non-ASCII byte is converted to `codepage` before it is read.
    tag       the tag name (ASCII case ignored): "script", "style" and "!--" give raw
              blocks, "!doctype" and "doctype" the document type, any other name
              elements.
    attrs     the attribute names to report, in order: a str (or bytes) is a list of
              names as the command line's -attr takes it, split at "," and ";" with the
              spaces around each name trimmed ("href, title"); any other iterable
              holds one name per item, kept as it is. None, or no name: each
              element's whole attribute list, under "attr".
    codepage  the Windows code page number the report is in: UTF8 (65001, the
              default), 936 (GBK), 1252, 932, ...; one whose bytes for ASCII are ASCII.
    text      "written": texts with character references decoded and every space
              kept; "reported": as the command line reports them (element texts
              without CR, LF, TAB and spaces, attribute values without CR, LF and TAB).
    as_bytes  values as bytes in the code page instead of str.
    encoding  None (the default): the page's bytes as the kestrune program reads them;
              "auto" or an encoding name: the page read as in select, as UTF-8
              converted from its encoding, then converted to `codepage`.

    Returns, by the tag:
      elements    a list of dicts, one per element in document order: "text", then
                  each asked attribute ("" when the element lacks it; a name
                  repeated, or an attribute named "text", keeps the first value), or
                  "attr". The keys are the names as given (str or bytes).
      raw blocks  a list of str, each block as HTML (start tag, content, end tag).
      doctype     a str with the document type's words; None when the page has none
                  (or, as the command line does then, the list of elements named so,
                  if any).
    Values are converted from the code page by the converter that wrote them, which
    is also the one names are converted to it with; bytes that do not convert are
    kept as surrogate escapes (value.encode("utf-8" or the code page's codec,
    "surrogateescape") gives them back).

    Raises TypeError, naming the argument, for an argument of the wrong type;
    ValueError for an empty tag, a bad `text`, or a code page that is not a positive
    number or cannot be used (the converter lacks it, or it writes ASCII in other
    bytes, as UTF-16 does); kestrune.PageTooLargeError (MAX_PAGE_BYTES, 10 MiB, or
    more), kestrune.ConversionError and kestrune.NoRootError, all kestrune.Error, for
    a page that cannot be read; kestrune.ReportTooLargeError (a kestrune.Error) for a
    report larger than 64 times the page (at least 16 MiB, at most 1 GiB: nested
    elements each hold the text of those below them). The GIL is released while the
    page is parsed; Ctrl+C (KeyboardInterrupt) stops a long call.
    """
    return _kestrune.extract(page, tag, attrs, codepage, text, as_bytes, encoding)


def extract_file(path, tag, attrs=None, *, codepage=UTF8, text="written", as_bytes=False,
                 encoding=None):
    """Reads the file at `path` (any path, str, bytes or os.PathLike) and returns
    extract(its bytes, tag, attrs, ...): the same results and exceptions, plus OSError
    when the file cannot be read. A file of MAX_PAGE_BYTES (10 MiB) or more raises
    PageTooLargeError after reading only its first MAX_PAGE_BYTES; pipes and devices
    are read to their end."""
    page = _read_page(path, regular_only=False)
    return extract(page, tag, attrs, codepage=codepage, text=text, as_bytes=as_bytes,
                   encoding=encoding)


def _read_page(path, *, regular_only):
    """The first MAX_PAGE_BYTES bytes of the file at `path`: enough for extract() to
    refuse a larger one. With regular_only, anything but a regular file (a FIFO, a
    device, a directory) raises OSError at once, without waiting for a writer."""
    path = os.fspath(path)
    if not regular_only:
        with open(path, "rb") as file:
            return file.read(MAX_PAGE_BYTES)
    descriptor = os.open(path, os.O_RDONLY | os.O_NONBLOCK | getattr(os, "O_CLOEXEC", 0))
    if not stat.S_ISREG(os.fstat(descriptor).st_mode):
        os.close(descriptor)
        raise OSError(f"not a regular file: {os.fsdecode(path)!r}")
    with open(descriptor, "rb") as file:
        return file.read(MAX_PAGE_BYTES)
