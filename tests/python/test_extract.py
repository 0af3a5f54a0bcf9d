# SPDX-License-Identifier: MIT
# What the module adds to the library's call: argument types, result shapes (dicts in
# key order, str or bytes, decoded from the code page), the exception of every failure,
# extract_file, and threads (the GIL released while a page is parsed).
import random
import sys
import threading

import pytest

import kestrune
from conftest import random_page

PAGE = (b'<!DOCTYPE html><html><a href="/x" title=T>\xc3\xa9 \ta</a>'
        b'<script>if (a < b) x();</script><!-- note --><a class=c>two</a></html>')
FIRST, SECOND = {"text": "é \ta", "href": "/x"}, {"text": "two", "href": ""}
FOUND = [FIRST, SECOND]


@pytest.mark.parametrize("args, kwargs, expected", [
    ((PAGE, "a", ["href"]), {}, FOUND),
    ((PAGE, "a"), {}, [{"text": "é \ta", "attr": 'href="/x" title="T" '},
                       {"text": "two", "attr": 'class="c" '}]),
    ((PAGE, "a", []), {}, kestrune.extract(PAGE, "a")),
    ((PAGE, "a", "href"), {"text": "reported"}, [{"text": "éa", "href": "/x"}, SECOND]),
    ((PAGE, "a", ["href", "href", "text"]), {}, FOUND),
    ((PAGE, "script"), {}, ["<script>if (a < b) x();</script>"]),
    ((PAGE, "!doctype"), {}, "html"),
    ((PAGE.replace(b"<!DOCTYPE html>", b""), "doctype"), {}, None),
    ((PAGE, "table"), {}, []),
    ((PAGE, "a", ["href"]), {"as_bytes": True}, [{"text": b"\xc3\xa9 \ta", "href": b"/x"},
                                                 {"text": b"two", "href": b""}]),
    ((PAGE, b"a", [b"href"]), {}, [{"text": "é \ta", b"href": "/x"},
                                   {"text": "two", b"href": ""}]),
    ((PAGE.decode(), "a", ["href"]), {}, FOUND),
    ((bytearray(PAGE), "a", ["href"]), {}, FOUND),
    (("<html><p>Café</p></html>", "p", []), {"codepage": 936}, [{"text": "Café", "attr": ""}]),
    (("<html><p>Café</p></html>", "p", []), {"codepage": 1252}, [{"text": "Café", "attr": ""}]),
    # Bytes the code page cannot decode are kept as surrogate escapes.
    ((b"<html><p>\xff\xfe</p></html>", "p"), {}, [{"text": "\udcff\udcfe", "attr": ""}]),
])
def test_results(args, kwargs, expected):
    # Compared by repr: the keys' order counts too.
    assert repr(kestrune.extract(*args, **kwargs)) == repr(expected)


@pytest.mark.parametrize("kwargs, exception, message", [
    ({"tag": ""}, ValueError, "tag"),
    ({"text": "spaced"}, ValueError, "written"),
    ({"codepage": 0}, ValueError, "code page"),
    ({"codepage": 2 ** 40}, ValueError, "code page"),
    ({"codepage": 99999}, ValueError, "99999 has no Python codec"),
    ({"codepage": 99999, "as_bytes": True}, ValueError, "code page 99999"),
    ({"codepage": "65001"}, TypeError, ""),
    ({"tag": None}, TypeError, "tag must be str or bytes"),
    ({"attrs": [1]}, TypeError, "attribute name"),
    ({"attrs": 5}, TypeError, ""),
    ({"tag": "\ud800"}, UnicodeEncodeError, ""),
    ({"page": b""}, kestrune.NoRootError, ""),
    ({"page": b"x" * (10 * 1024 * 1024)}, kestrune.PageTooLargeError, "10 MiB"),
    ({"page": None}, TypeError, "page must be bytes or str"),
    ({"page": "<p>\udc80</p>"}, UnicodeEncodeError, ""),
    ({"page": memoryview(b"<p>x</p>" * 4)[::2]}, BufferError, ""),
])
def test_bad_arguments_raise(kwargs, exception, message):
    with pytest.raises(exception, match=message):
        kestrune.extract(**{"page": PAGE, "tag": "a", **kwargs})


def test_hostile_requests_return():
    names = [f"n{i}" for i in range(20_000)] + ["", "\x00", "é", "a" * 100_000]
    found = kestrune.extract(PAGE, "a", names)
    assert len(found) == 2 and len(found[0]) == len(names) + 1
    for tag in ("\x00", "a" * 100_000, "a b", "<a>", "é"):
        assert kestrune.extract(PAGE, tag) == []


def test_extract_file(tmp_path):
    path = tmp_path / "page.html"
    path.write_bytes(PAGE)
    assert kestrune.extract_file(path, "a", ["href"]) == FOUND
    assert kestrune.extract_file(str(path).encode(), "script") == kestrune.extract(PAGE, "script")
    with pytest.raises(FileNotFoundError):
        kestrune.extract_file(tmp_path / "missing.html", "a")
    (tmp_path / "large.html").write_bytes(b"x" * (10 * 1024 * 1024))
    with pytest.raises(kestrune.PageTooLargeError, match="10 MiB"):
        kestrune.extract_file(tmp_path / "large.html", "a")


def test_version_documentation_and_errors():
    assert kestrune.__version__.count(".") == 2 and "GIL" in kestrune.extract.__doc__
    for error in (kestrune.NoRootError, kestrune.PageTooLargeError, kestrune.ConversionError):
        assert issubclass(error, kestrune.Error)


def test_threads_parse_at_once_giving_what_one_thread_gives():
    # With a switch interval of a minute a thread gets the GIL from another only when that
    # one gives it up: the workers in each extract(), the main thread only in extract(),
    # while it parses a large page. Meanwhile the workers parse pages at once.
    pages = [random_page(random.Random(seed), 400) for seed in range(64)]
    large = b"<html>" + b"<p>text</p>" * 500_000 + b"</html>"

    def one(page):
        try:
            return kestrune.extract(page, "a", ["href"])
        except kestrune.NoRootError:
            return None

    serial, go, same = [one(p) for p in pages], threading.Event(), []

    def work():
        go.wait()
        for _ in range(5):
            same.extend(one(p) == s for p, s in zip(pages, serial))

    workers = [threading.Thread(target=work) for _ in range(3)]
    for worker in workers:
        worker.start()
    interval = sys.getswitchinterval()
    try:
        sys.setswitchinterval(60)
        go.set()
        kestrune.extract(large, "title")
        during = len(same)
    finally:
        sys.setswitchinterval(interval)
        for worker in workers:
            worker.join()
    assert during > 0 and same == [True] * (3 * 5 * len(pages))
