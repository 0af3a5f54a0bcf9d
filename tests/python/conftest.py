# SPDX-License-Identifier: MIT
# Shared by the Python module's tests: the program to compare with, the corpus,
# random pages, and the exit status of a run in which no test ran.
# Run by CTest with PYTHONPATH=<build>/python and KESTRUNE_BINARY=<build>/kestrune.
import os
import random
import subprocess
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parents[2]
# Beside the source tree, as ../shared/corpus; KESTRUNE_CORPUS names another.
CORPUS = Path(os.environ.get("KESTRUNE_CORPUS") or SOURCE.parent / "shared" / "corpus")

# What CTest takes for "skipped" (SKIP_RETURN_CODE).
SKIPPED_STATUS = 77


def pytest_sessionfinish(session, exitstatus):
    """A run in which no test passed or failed (every test skipped, or none
    collected) exits with SKIPPED_STATUS instead of 0 or 5."""
    stats = getattr(session.config.pluginmanager.get_plugin("terminalreporter"), "stats", {})
    ran = any(stats.get(outcome) for outcome in ("passed", "failed", "error", "xfailed",
                                                   "xpassed"))
    if exitstatus in (pytest.ExitCode.OK, pytest.ExitCode.NO_TESTS_COLLECTED) and not ran:
        session.exitstatus = SKIPPED_STATUS


def corpus_pages():
    """The corpus pages, largest last; empty where the corpus is absent."""
    return sorted((p for p in CORPUS.rglob("*.html") if p.is_file()),
                  key=lambda p: (p.stat().st_size, p.name))


@pytest.fixture(scope="session")
def binary():
    path = os.environ.get("KESTRUNE_BINARY")
    if not path or not os.access(path, os.X_OK):
        pytest.skip("KESTRUNE_BINARY does not name the kestrune program")
    return path


# Pieces of which random pages are made: markup cut anywhere (so that any text can land
# in an attribute value), references, every kind of space, text in several scripts,
# broken UTF-8 and NUL bytes.
_MARKUP = [b"<a href=", b"<A HREF='", b"<a>", b"<div class=\"", b"<p id=", b"<li title=", b" text=",
           b" data-x=", b" checked", b"'", b"\"", b">", b"/>", b" >", b"</a>", b"</div>", b"</p>",
           b"<b>", b"</b>", b"<span>", b"<td>", b"<script>", b"</script>", b"<style>", b"</style>",
           b"</html>", b"<!-- c -->", b"<!--", b"-->", b"<!DOCTYPE html>", b"</", b"<", b"=", b"/"]
_TEXTS = [b"hello", b"w o r d", b" \t\r\n ", b"caf\xc3\xa9", b"\xe4\xb8\xad\xe6\x96\x87",
          b"\xf0\x9f\x98\x80", b"&amp;", b"&lt;&gt;", b"&quot;&apos;", b"&#65;&#x42;", b"&#0;",
          b"&#xD800;", b"&nbsp;", b"&bogus;", b"\x00", b"\xff\xfe", b"\xc3", b"\\"]


def random_page(rng: random.Random, size: int = 60) -> bytes:
    pieces = [rng.choice(_MARKUP if rng.random() < 0.5 else _TEXTS)
              for _ in range(rng.randrange(1, size))]
    return b"".join(([b"<html>"] if rng.random() < 0.9 else []) + pieces)


def run_program(binary: str, page: Path, tag: str, attrs, out: Path):
    """Runs the program with -o in UTF-8; returns its exit status and the file's bytes
    (None when it wrote none)."""
    command = [binary, str(page.resolve()), "-tag", tag, "-o", str(out)]
    command += ["-attr", ",".join(attrs)] if attrs else []
    out.unlink(missing_ok=True)
    status = subprocess.run(command, env=dict(os.environ, KESTRUNE_CODEPAGE="65001"),
                            stdout=subprocess.DEVNULL, check=False).returncode
    return status, (out.read_bytes() if out.exists() else None)
