# SPDX-License-Identifier: MIT
# The module reports what the program reports: on every corpus page and on random pages,
# the values of extract(..., text="reported") equal those of the program's JSON file
# (run in UTF-8 with -o), raw blocks its record file, and a page the program cannot load
# raises kestrune.Error. As str and as written the results have the same shape.
import json
import random

import pytest

import kestrune
from conftest import corpus_pages, random_page, run_program

REQUESTS = [("a", ["href", "title"]), ("div", None), ("script", None), ("!--", None),
            ("!doctype", None), ("P", ["class", "ID", "data-x"]), ("b", ["text", "x"])]


def encoded(value):
    """Values as the bytes they stand for (bytes outside UTF-8 are surrogate escapes)."""
    if isinstance(value, list):
        return [encoded(v) for v in value]
    if isinstance(value, dict):
        return {k: encoded(v) for k, v in value.items()}
    return value.encode("utf-8", "surrogateescape") if isinstance(value, str) else value


def check_agreement(binary, path, tag, attrs, out):
    status, data = run_program(binary, path, tag, attrs, out)
    page = path.read_bytes()
    try:
        found = kestrune.extract(page, tag, attrs, text="reported", as_bytes=True)
    except kestrune.Error:
        assert status == 255 and data is None, f"{path}: the program read the page"
        return
    assert status == 1 and data is not None, f"{path} -tag {tag}: status {status}"
    assert encoded(kestrune.extract(page, tag, attrs, text="reported")) == found
    written = kestrune.extract(page, tag, attrs)
    if tag.lower() in ("script", "style", "!--"):
        assert b"".join(b"// No.%d\r\n%s\r\n\r\n" % (i + 1, block)
                        for i, block in enumerate(found)) == data
        assert encoded(written) == found
        return
    report = encoded(json.loads(data.decode("utf-8", "surrogateescape")))
    if isinstance(found, bytes):
        assert report["doctype"] == found == encoded(written)
    else:
        # A member the program left out is an empty value; a key repeated keeps the first.
        keys = list(dict.fromkeys(["text"] + (attrs or ["attr"])))
        assert list(report) == [tag]
        assert [{k: e.get(k, b"") for k in keys} for e in report[tag]] == (found or [])
        assert [list(e) for e in written or []] == [list(e) for e in found or []]


@pytest.mark.parametrize("page", corpus_pages(), ids=lambda p: p.name)
def test_corpus_pages_agree(binary, page, tmp_path):
    for tag, attrs in REQUESTS:
        check_agreement(binary, page, tag, attrs, tmp_path / "out")


def test_random_pages_agree(binary, tmp_path):
    rng = random.Random(2026)
    path = tmp_path / "page.html"
    for _ in range(300):
        path.write_bytes(random_page(rng))
        tag, attrs = rng.choice(REQUESTS)
        check_agreement(binary, path, tag, attrs, tmp_path / "out")
