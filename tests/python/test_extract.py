# SPDX-License-Identifier: MIT
# What the module adds to the library's call: argument types, result shapes (dicts in
# key order, str or bytes, decoded from the code page), the exception of every failure
# with its whole message, extract_file, threads (the GIL released while a page is
# parsed), other processes (the functions pickled) and subinterpreters (refused).
import array
import inspect
import mmap
import multiprocessing
import pickle
import random
import re
import resource
import signal
import subprocess
import sys
import threading
import time

import pytest

import kestrune
from conftest import random_page

PAGE = (b'<!DOCTYPE html><html><a href="/x" title=T>\xc3\xa9 \ta</a>'
        b'<script>if (a < b) x();</script><!-- note --><a class=c>two</a></html>')
FIRST, SECOND = {"text": "é \ta", "href": "/x"}, {"text": "two", "href": ""}
FOUND = [FIRST, SECOND]
BOTH = [{**FIRST, "title": "T"}, {**SECOND, "title": ""}]
LIMIT = 10 * 1024 * 1024


class Number:
    """An integer-like object, as numpy's integers are."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


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
    ((b"<html><p>\x81!</p></html>", "p"), {"codepage": 936}, [{"text": "\udc81!", "attr": ""}]),
    # Values and names converted as the engine converts the page.
    (("<html><p \u20ac=1>\u20ac</p></html>", "p", ["\u20ac"]), {"codepage": 936},
     [{"text": "\u20ac", "\u20ac": "1"}]),
    (("<html><p>\uf6b1</p></html>", "p"), {"codepage": 950}, [{"text": "\uf6b1", "attr": ""}]),
    # The converter writes the yen sign as 0x5C, which is the backslash.
    (("<html><p>\u00a5</p></html>", "p"), {"codepage": 932}, [{"text": "\\", "attr": ""}]),
    ((PAGE, "a", ["href"]), {"codepage": Number(65001)}, FOUND),
    # A str or bytes of names is split as the command line's -attr; list items are not.
    ((PAGE, "a", "href, title"), {}, BOTH),
    ((PAGE, "a", " href ;; title ,"), {}, BOTH),
    ((PAGE, "a", b"href"), {}, [{"text": "é \ta", b"href": "/x"}, {"text": "two", b"href": ""}]),
    ((PAGE, "a", b"href,title"), {"as_bytes": True},
     [{"text": b"\xc3\xa9 \ta", b"href": b"/x", b"title": b"T"},
      {"text": b"two", b"href": b"", b"title": b""}]),
    ((PAGE, "a", ["href,title"]), {}, [{"text": "é \ta", "href,title": ""},
                                       {"text": "two", "href,title": ""}]),
    ((PAGE, "a", iter(["href", "title"])), {}, BOTH),
    ((PAGE, "a", " ,; "), {}, kestrune.extract(PAGE, "a")),
    ((memoryview(PAGE), "a", ["href"]), {}, FOUND),
    ((array.array("B", PAGE), "a", ["href"]), {}, FOUND),
    ((memoryview(PAGE + b" " * (len(PAGE) % 2)).cast("B", (2, (len(PAGE) + 1) // 2)), "a",
      ["href"]), {}, FOUND),
])
def test_results(args, kwargs, expected):
    # Compared by repr: the keys' order counts too.
    assert repr(kestrune.extract(*args, **kwargs)) == repr(expected)


UNUSABLE = ("code page {}: the code page cannot be used (the converter lacks it, or it "
            "writes ASCII in other bytes, as UTF-16 does): use one that keeps ASCII, such as "
            "65001 (kestrune.UTF8)")
NOT_A_NUMBER = ("codepage must be a positive Windows code page number (65001 is UTF-8, "
                "kestrune.UTF8; 936 is GBK), not {}")


@pytest.mark.parametrize("kwargs, exception, message", [
    ({"tag": ""}, ValueError, "the request names no tag"),
    ({"text": "spaced"}, ValueError, 'text must be "written" or "reported", not \'spaced\''),
    ({"text": 5}, TypeError, 'text must be "written" or "reported", not int'),
    ({"codepage": 0}, ValueError, NOT_A_NUMBER.format(0)),
    ({"codepage": 0, "as_bytes": True}, ValueError, NOT_A_NUMBER.format(0)),
    ({"codepage": -936}, ValueError, NOT_A_NUMBER.format(-936)),
    ({"codepage": 2 ** 40}, ValueError, NOT_A_NUMBER.format(2 ** 40)),
    ({"codepage": 2 ** 70}, ValueError, NOT_A_NUMBER.format(2 ** 70)),
    ({"codepage": Number(0)}, ValueError, NOT_A_NUMBER.format(0)),
    ({"codepage": 1200}, ValueError, UNUSABLE.format(1200)),
    ({"codepage": 1200, "as_bytes": True}, ValueError, UNUSABLE.format(1200)),
    ({"codepage": 99999}, ValueError, UNUSABLE.format(99999)),
    ({"codepage": "utf-8"}, TypeError, "codepage must be an int, not str"),
    ({"codepage": True}, TypeError, "codepage must be an int, not bool"),
    ({"codepage": 65001.0}, TypeError, "codepage must be an int, not float"),
    ({"as_bytes": 1}, TypeError, "as_bytes must be True or False, not int"),
    ({"tag": None}, TypeError, "tag must be str or bytes, not NoneType"),
    ({"tag": ["a"]}, TypeError, "tag must be str or bytes, not list"),
    ({"attrs": [1]}, TypeError, "each name in attrs must be str or bytes, not int"),
    ({"attrs": ["href", None]}, TypeError, "each name in attrs must be str or bytes, not NoneType"),
    ({"attrs": 5}, TypeError, "attrs must be str, bytes, an iterable of names or None, not int"),
    ({"tag": "\ud800"}, UnicodeEncodeError,
     "'utf-8' codec can't encode character '\\ud800' in position 0: surrogates not allowed"),
    ({"page": b""}, kestrune.NoRootError, "the page has no element to read"),
    ({"page": b"x" * LIMIT}, kestrune.PageTooLargeError, "the page is 10 MiB or larger"),
    ({"page": bytearray(LIMIT)}, kestrune.PageTooLargeError, "the page is 10 MiB or larger"),
    # Each of the nested b holds the text of all below it: 33 KB ask for 36 MB.
    ({"page": "<html>" + "<b>abcdefgh" * 3000, "tag": "b"}, kestrune.ReportTooLargeError,
     "the report would be larger than its limit"),
    ({"page": None}, TypeError, "page must be bytes, str or a buffer of bytes, not NoneType"),
    ({"page": 5}, TypeError, "page must be bytes, str or a buffer of bytes, not int"),
    ({"page": "<p>\udc80</p>"}, UnicodeEncodeError,
     "'utf-8' codec can't encode character '\\udc80' in position 3: surrogates not allowed"),
    ({"page": memoryview(b"<p>x</p>" * 4)[::2]}, TypeError,
     "page must be a contiguous buffer, not a non-contiguous memoryview"),
    ({"page": array.array("u", "<html><p>x</p></html>")}, TypeError,
     "page must be a buffer of 1-byte items, not array of 4-byte items"),
    ({"page": memoryview(array.array("H", [1]))}, TypeError,
     "page must be a buffer of 1-byte items, not memoryview of 2-byte items"),
])
def test_bad_arguments_raise(kwargs, exception, message):
    with pytest.raises(exception, match=f"^{re.escape(message)}$"):
        kestrune.extract(**{"page": PAGE, "tag": "a", **kwargs})


def test_a_large_buffer_is_refused_before_it_is_copied():
    # A gibibyte of memory never touched: a copy would make the process that large.
    page = mmap.mmap(-1, 1 << 30)
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    with pytest.raises(kestrune.PageTooLargeError):
        kestrune.extract(page, "a")
    assert resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before < 256 * 1024


def test_ctrl_c_stops_a_long_call():
    # A report of a million elements takes about half a second; Ctrl+C stops it
    # within 0.1 s, while the page is parsed or while its dicts are made.
    page = "<html>" + "<a href=x>y</a>" * 650_000
    sent = []
    timer = threading.Timer(0.2, lambda: (sent.append(time.monotonic()),
                                          signal.raise_signal(signal.SIGINT)))
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            for _ in range(20):
                kestrune.extract(page, "a", "href")
        stopped = time.monotonic()
    finally:
        timer.cancel()
    # Twenty calls take seconds (tens under sanitizers): a stop within a second is a
    # stop at the next poll, not at the end of the loop. Not a timing goal.
    assert stopped - sent[0] < 1.0


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


def test_version_constants_documentation_and_errors():
    assert kestrune.__version__.count(".") == 2 and "GIL" in kestrune.extract.__doc__
    assert (kestrune.UTF8, kestrune.MAX_PAGE_BYTES) == (65001, LIMIT)
    for function in (kestrune.extract, kestrune.extract_file):
        assert inspect.signature(function).parameters["codepage"].default is kestrune.UTF8
    for error in (kestrune.NoRootError, kestrune.PageTooLargeError, kestrune.ConversionError):
        assert issubclass(error, kestrune.Error)


def test_functions_and_errors_pickle_and_run_in_other_processes():
    for thing in (kestrune.extract, kestrune.extract_file, kestrune.NoRootError):
        assert pickle.loads(pickle.dumps(thing)) is thing
    error = pickle.loads(pickle.dumps(kestrune.NoRootError("why")))
    assert type(error) is kestrune.NoRootError and str(error) == "why"
    with multiprocessing.get_context("spawn").Pool(1) as pool:
        found = pool.starmap(kestrune.extract, [(PAGE, "a", "href"), (PAGE, "script")])
    assert found == [FOUND, kestrune.extract(PAGE, "script")]


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


SUBINTERPRETER = """
import sys
if sys.argv[2] == "main first":
    import kestrune
code = "try:\\n import kestrune\\nexcept ImportError as e:\\n print(e, flush=True)"
if sys.argv[1] == "_testcapi":
    import _testcapi
    _testcapi.run_in_subinterp(code)
else:
    import _xxsubinterpreters as interpreters
    interpreters.run_string(interpreters.create(), code)
import kestrune
print(kestrune.extract(b"<html><a>x</a></html>", "a"))
"""


@pytest.mark.parametrize("api", ["_testcapi", "_xxsubinterpreters"])
@pytest.mark.parametrize("order", ["main first", "subinterpreter first"])
def test_a_subinterpreter_is_refused_and_the_main_one_goes_on(api, order):
    pytest.importorskip(api)
    run = subprocess.run([sys.executable, "-c", SUBINTERPRETER, api, order], timeout=60,
                         capture_output=True, text=True, check=False)
    assert (run.returncode, run.stdout) == (0, (
        "kestrune can only be imported in the main interpreter, not in a subinterpreter\n"
        "[{'text': 'x', 'attr': ''}]\n")), run.stderr
