# SPDX-License-Identifier: MIT
# The module's interface: result shapes, values decoded from the code page, every kind
# of bad argument raising the documented exception, hostile pages returning or raising
# (never crashing), and threads giving what one thread gives.
import mmap
import random
from concurrent.futures import ThreadPoolExecutor

import pytest

import kestrune
from conftest import random_page

PAGE = (b'<!DOCTYPE html><html><body>'
        b'<a href="/x" title="T &amp; U">Caf\xc3\xa9  au\tlait</a>'
        b'<script>if (a < b) x();</script><!-- note -->'
        b'<a class=c>two</a></body></html>')


@pytest.mark.parametrize("args, kwargs, expected", [
    ((PAGE, "a", ["href"]), {}, [{"text": "Café  au\tlait", "href": "/x"},
                                 {"text": "two", "href": ""}]),
    ((PAGE, "A", ["title", "href"]), {}, [{"text": "Café  au\tlait", "title": "T & U",
                                           "href": "/x"}, {"text": "two", "title": "", "href": ""}]),
    ((PAGE, "a", "href"), {"text": "reported"}, [{"text": "Caféaulait", "href": "/x"},
                                                 {"text": "two", "href": ""}]),
    ((PAGE, "a", ["href", "href", "text"]), {}, [{"text": "Café  au\tlait", "href": "/x"},
                                                 {"text": "two", "href": ""}]),
    ((PAGE, "a", []), {}, kestrune.extract(PAGE, "a")),
    ((PAGE, "script"), {}, ["<script>if (a < b) x();</script>"]),
    ((PAGE, "!doctype"), {}, "html"),
    ((PAGE.replace(b"<!DOCTYPE html>", b""), "doctype"), {}, None),
    ((PAGE, "table"), {}, []),
    ((PAGE, "a", ["href"]), {"as_bytes": True}, [{"text": b"Caf\xc3\xa9  au\tlait", "href": b"/x"},
                                                 {"text": b"two", "href": b""}]),
    ((PAGE, b"a", [b"href"]), {}, [{"text": "Café  au\tlait", b"href": "/x"},
                                   {"text": "two", b"href": ""}]),
    ((PAGE.decode(), "a", ["href"]), {}, kestrune.extract(PAGE, "a", ["href"])),
    ((bytearray(PAGE), "a"), {}, kestrune.extract(PAGE, "a")),
    ((memoryview(PAGE), "a"), {}, kestrune.extract(PAGE, "a")),
    ((b"<html><a href=x>y</a></html>", "a", ["href"]), {}, [{"text": "y", "href": "x"}]),
])
def test_results(args, kwargs, expected):
    assert kestrune.extract(*args, **kwargs) == expected


def test_whole_attribute_list_under_attr():
    (found, _) = kestrune.extract(PAGE, "a")
    assert list(found) == ["text", "attr"] and "href" in found["attr"]


@pytest.mark.parametrize("codepage, text", [(65001, "Café"), (936, "Café"), (1252, "Café")])
def test_values_decoded_from_the_code_page(codepage, text):
    found = kestrune.extract("<html><p>Café</p></html>", "p", codepage=codepage)
    assert found[0]["text"] == text


def test_bytes_outside_the_code_page_kept_as_surrogate_escapes():
    page = b"<html><p>\xff\xfe</p></html>"  # not UTF-8: read in its own bytes
    (found,) = kestrune.extract(page, "p")
    assert found["text"].encode("utf-8", "surrogateescape") == b"\xff\xfe"


@pytest.mark.parametrize("kwargs, exception, message", [
    ({"tag": ""}, ValueError, "tag"),
    ({"tag": "a", "text": "spaced"}, ValueError, "written"),
    ({"tag": "a", "codepage": 0}, ValueError, "code page"),
    ({"tag": "a", "codepage": -5}, ValueError, "code page"),
    ({"tag": "a", "codepage": 2 ** 40}, ValueError, "code page"),
    ({"tag": "a", "codepage": 99999}, ValueError, "99999"),
    ({"tag": "a", "codepage": 99999, "as_bytes": True}, ValueError, "99999"),
    ({"tag": "a", "codepage": 1200, "as_bytes": True}, ValueError, "1200"),
    ({"tag": "a", "codepage": "65001"}, TypeError, ""),
    ({"tag": "a", "text": None}, TypeError, ""),
    ({"tag": None}, TypeError, ""),
    ({"tag": "a", "attrs": [1]}, TypeError, "attribute"),
    ({"tag": "a", "attrs": 5}, TypeError, ""),
    ({"tag": "\ud800"}, UnicodeEncodeError, ""),
])
def test_bad_arguments_raise(kwargs, exception, message):
    with pytest.raises(exception, match=message):
        kestrune.extract(PAGE, **kwargs)


@pytest.mark.parametrize("page, exception", [
    (b"", kestrune.NoRootError),
    (b"\x00<html></html>", kestrune.NoRootError),
    (b"x" * (10 * 1024 * 1024), kestrune.PageTooLargeError),
    (None, TypeError),
    (12, TypeError),
    ("<p>\udc80</p>", UnicodeEncodeError),
    (memoryview(b"<p>x</p>" * 4)[::2], BufferError),
])
def test_unreadable_pages_raise(page, exception):
    with pytest.raises(exception):
        kestrune.extract(page, "p")
    assert issubclass(kestrune.NoRootError, kestrune.Error)


def test_largest_page_is_read():
    page = b"<html><p>x</p>"
    page += b" " * (10 * 1024 * 1024 - 1 - len(page))
    assert kestrune.extract(page, "p") == [{"text": "x", "attr": ""}]


HOSTILE = {
    "nested": b"<b>" * 100_000 + b"x",
    "many links": b"<a href=x>" * 100_000,
    "many attributes": b"<p " + b"a=1 " * 100_000 + b">",
    "open comments": b"<!--" * 100_000,
    "open script": b"<script>" + b"<" * 500_000,
    "every byte": bytes(range(256)) * 100,
    "references": b"<html>" + b"&#1114111;&#x110000;&#-1;&#99999999999;&#xD800;" * 1000,
}


@pytest.mark.parametrize("page", HOSTILE.values(), ids=HOSTILE.keys())
def test_hostile_pages_return(page):
    for tag in ("a", "p", "b", "script", "!--", "!doctype"):
        try:
            kestrune.extract(page, tag, ["href", "a", ""])
        except kestrune.Error:
            pass


def test_hostile_requests_return():
    names = [f"n{i}" for i in range(20_000)] + ["", "\x00", "é", "a" * 100_000]
    found = kestrune.extract(PAGE, "a", names)
    assert len(found) == 2 and len(found[0]) == len(names) + 1
    for tag in ("\x00", "a" * 100_000, "a b", "<a>", "é"):
        assert kestrune.extract(PAGE, tag) == []


def test_random_pages_return():
    rng = random.Random(26)
    for _ in range(300):
        page = random_page(rng)
        for tag in ("a", "script", "!doctype", "b"):
            for text in ("written", "reported"):
                try:
                    kestrune.extract(page, tag, rng.choice([None, ["href"], ["text", "x"]]),
                                     text=text, as_bytes=rng.random() < 0.5)
                except kestrune.Error:
                    pass


def test_extract_file(tmp_path):
    path = tmp_path / "page.html"
    path.write_bytes(PAGE)
    assert kestrune.extract_file(path, "a", ["href"]) == kestrune.extract(PAGE, "a", ["href"])
    assert kestrune.extract_file(str(path).encode(), "script") == kestrune.extract(PAGE, "script")
    with open(path, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as mapped:
        assert kestrune.extract(mapped, "a") == kestrune.extract(PAGE, "a")
    with pytest.raises(FileNotFoundError):
        kestrune.extract_file(tmp_path / "missing.html", "a")
    large = tmp_path / "large.html"
    with open(large, "wb") as f:
        f.truncate(10 * 1024 * 1024)
    with pytest.raises(kestrune.PageTooLargeError, match="10 MiB"):
        kestrune.extract_file(large, "a")


def test_threads_give_what_one_thread_gives():
    rng = random.Random(7)
    pages = [random_page(rng, 400) for _ in range(64)]
    def one(page):
        try:
            return kestrune.extract(page, "a", ["href"])
        except kestrune.NoRootError:
            return None

    serial = [one(p) for p in pages]
    with ThreadPoolExecutor(4) as pool:
        for _ in range(5):
            assert list(pool.map(one, pages)) == serial


def test_version_and_documentation():
    assert kestrune.__version__.count(".") == 2
    assert "GIL" in kestrune.extract.__doc__
    assert kestrune.extract_file.__doc__


def test_another_thread_runs_while_a_page_is_parsed():
    # With a switch interval of a minute a thread gets the GIL from another only when
    # that one gives it up: the counting thread after each step, the main thread only
    # in extract(), while it parses.
    import sys
    import threading
    import time
    page = b"<html>" + b"<p>text</p>" * 500_000 + b"</html>"
    go, stop = threading.Event(), threading.Event()
    counter = [0]

    def count():
        go.wait()
        while not stop.is_set():
            counter[0] += 1
            time.sleep(0)

    interval = sys.getswitchinterval()
    worker = threading.Thread(target=count)
    worker.start()
    try:
        sys.setswitchinterval(60)
        before = counter[0]
        go.set()
        kestrune.extract(page, "title")
        after = counter[0]
    finally:
        stop.set()
        sys.setswitchinterval(interval)
        worker.join()
    assert after > before
