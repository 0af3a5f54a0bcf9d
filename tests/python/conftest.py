# SPDX-License-Identifier: MIT
# Shared by the Python module's tests: the program to compare with, the corpus and
# random pages.
# Run by CTest with PYTHONPATH=<build>/python and KESTRUNE_BINARY=<build>/kestrune.
import os
import random
import subprocess
from pathlib import Path

import pytest

CORPUS = Path(os.environ.get("KESTRUNE_CORPUS", "/work/shared/corpus"))


def corpus_pages():
    """The corpus pages, largest last; empty where the corpus is absent."""
    if not CORPUS.is_dir():
        return []
    return sorted((p for p in CORPUS.rglob("*.html") if p.is_file()),
                  key=lambda p: (p.stat().st_size, p.name))


@pytest.fixture(scope="session")
def corpus():
    pages = corpus_pages()
    if not pages:
        pytest.skip(f"no corpus at {CORPUS}")
    return pages


@pytest.fixture(scope="session")
def binary():
    path = os.environ.get("KESTRUNE_BINARY")
    if not path or not os.access(path, os.X_OK):
        pytest.skip("KESTRUNE_BINARY does not name the kestrune program")
    return path


# Pieces of which random pages are made: markup, references, every kind of space, text in
# several scripts, broken UTF-8 and NUL bytes.
_TAGS = [b"a", b"A", b"div", b"p", b"b", b"span", b"li", b"td", b"script", b"style"]
_ATTRS = [b"href", b"HREF", b"title", b"class", b"id", b"data-x", b"text"]
_TEXTS = [b"hello", b"w o r d", b" \t\r\n ", b"caf\xc3\xa9", b"\xe4\xb8\xad\xe6\x96\x87",
          b"\xf0\x9f\x98\x80", b"&amp;", b"&lt;&gt;", b"&quot;&apos;", b"&#65;&#x42;", b"&#0;",
          b"&#xD800;", b"&nbsp;", b"&bogus;", b"\x00", b"\xff\xfe", b"\xc3", b"\"'", b"=", b"/",
          b"<", b">", b"<!-- c -->", b"<!--", b"-->", b"<!DOCTYPE html>", b"</", b"\\"]


def random_page(rng: random.Random, size: int = 60) -> bytes:
    out = [b"<html>"] if rng.random() < 0.9 else []
    for _ in range(rng.randrange(1, size)):
        r = rng.random()
        if r < 0.35:
            out.append(b"<" + rng.choice(_TAGS))
            for _ in range(rng.randrange(0, 4)):
                value = b"".join(rng.choice(_TEXTS) for _ in range(rng.randrange(0, 3)))
                quote = rng.choice([b'"', b"'", b""])
                out += [b" ", rng.choice(_ATTRS), b"=", quote, value.replace(quote, b""), quote]
                if rng.random() < 0.1:
                    out.append(rng.choice([b"\t", b"\n", b" ", b" checked"]))
            out.append(rng.choice([b">", b"/>", b" >"]))
        else:
            out.append(b"</" + rng.choice(_TAGS) + b">" if r < 0.55 else rng.choice(_TEXTS))
    return b"".join(out + ([b"</html>"] if rng.random() < 0.9 else []))


def run_program(binary: str, page: Path, tag: str, attrs, out: Path):
    """Runs the program with -o in UTF-8; returns its exit status and the file's bytes
    (None when it wrote none)."""
    command = [binary, str(page.resolve()), "-tag", tag, "-o", str(out)]
    command += ["-attr", ",".join(attrs)] if attrs else []
    out.unlink(missing_ok=True)
    status = subprocess.run(command, env=dict(os.environ, KESTRUNE_CODEPAGE="65001"),
                            stdout=subprocess.DEVNULL, check=False).returncode
    return status, (out.read_bytes() if out.exists() else None)
