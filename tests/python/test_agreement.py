# SPDX-License-Identifier: MIT
# The module reports what the program reports: on every corpus page and on random pages,
# the values of extract(..., text="reported") equal those of the program's JSON file
# (run with KESTRUNE_CODEPAGE=65001 and -o), raw blocks its record file, and a page the
# program cannot load raises kestrune.Error.
import random

import pytest

import kestrune
from conftest import (corpus_pages, doctype_of_file, elements_of_file, random_page,
                      records_of_blocks, run_program)

REQUESTS = [("a", ["href", "title"]), ("div", None), ("script", None), ("!--", None),
            ("!doctype", None), ("P", ["class", "ID", "data-x"])]


def check_agreement(binary, path, tag, attrs, out):
    status, data = run_program(binary, path, tag, attrs, out)
    page = path.read_bytes()
    try:
        found = kestrune.extract(page, tag, attrs, text="reported", as_bytes=True)
        text = kestrune.extract(page, tag, attrs, text="reported")
    except kestrune.Error:
        assert status == 255 and data is None, f"{path}: the program read the page"
        return
    assert status == 1 and data is not None, f"{path} -tag {tag}: status {status}"
    if isinstance(found, list) and tag.lower() in ("script", "style", "!--"):
        assert records_of_blocks(found) == data
        assert [t.encode("utf-8", "surrogateescape") for t in text] == found
    elif isinstance(found, bytes):
        assert doctype_of_file(data) == found
    else:
        keys = ["text"] + (attrs or ["attr"])
        assert elements_of_file(data, tag, keys) == (found or [])
        assert [{k: v.encode("utf-8", "surrogateescape") for k, v in e.items()}
                for e in (text or [])] == (found or [])


@pytest.mark.parametrize("page", corpus_pages(), ids=lambda p: p.name)
def test_corpus_pages_agree(binary, page, tmp_path):
    for tag, attrs in REQUESTS:
        check_agreement(binary, page, tag, attrs, tmp_path / "out")


def test_random_pages_agree(binary, tmp_path):
    rng = random.Random(2026)
    path = tmp_path / "page.html"
    for _ in range(150):
        path.write_bytes(random_page(rng))
        tag, attrs = rng.choice(REQUESTS)
        check_agreement(binary, path, tag, attrs, tmp_path / "out")


def test_corpus_files_read_as_pages(corpus):
    for page in corpus[:8]:
        assert kestrune.extract_file(page, "a", ["href"]) == kestrune.extract(
            page.read_bytes(), "a", ["href"])
