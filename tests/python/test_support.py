# SPDX-License-Identifier: MIT
# The test set-up itself: a run in which no test ran tells CTest it was skipped; and
# the examples the documentation shows pass mypy --strict.
import os
import re
import subprocess
import sys
import textwrap

import pytest

from conftest import SKIPPED_STATUS

HERE = os.path.dirname(os.path.abspath(__file__))


@pytest.mark.parametrize("body, status", [
    ("def test_skipped():\n    pytest.skip('absent')\n", SKIPPED_STATUS),
    ("pytest.importorskip('no_such_module_here')\n", SKIPPED_STATUS),
    ("", SKIPPED_STATUS),
    ("def test_skipped():\n    pytest.skip('absent')\ndef test_ran():\n    pass\n", 0),
    ("def test_failed():\n    assert False\n", 1),
])
def test_exit_status_of_a_run(tmp_path, body, status):
    (tmp_path / "test_case.py").write_text("import pytest\n" + body)
    run = subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider",
                          "-p", "conftest", str(tmp_path / "test_case.py")],
                         cwd=tmp_path, env=dict(os.environ, PYTHONPATH=HERE),
                         capture_output=True, check=False)
    assert run.returncode == status, run.stdout.decode()


def python_blocks(text):
    """The ```python blocks of a Markdown text, without their fences."""
    return re.findall(r"^```python\n(.*?)^```", text, re.M | re.S)


def snippets(text):
    """The Python examples of a text: each ```python block of Markdown, or each run
    of lines indented by four spaces in a docstring; of a doctest, its code alone."""
    blocks = python_blocks(text)
    if not blocks:
        blocks = [block for block in re.findall(r"(?:^    .*\n|^\n)+", text, re.M)
                  if block.strip()]
    for block in blocks:
        code = textwrap.dedent(block)
        if ">>> " in code:
            code = "".join(line[4:] + "\n" for line in code.splitlines()
                           if line.startswith((">>> ", "... ")))
        yield code


# Dask's and distributed's own functions lack annotations: they are taken as Any, so
# that what is checked is the examples and the package's stubs and annotations.
MYPY_CONFIG = """[mypy]
strict = True
[mypy-dask.*,distributed.*]
follow_imports = skip
"""


def test_examples_of_the_readme_and_docstrings_pass_mypy_strict(tmp_path):
    pytest.importorskip("mypy", reason="mypy is absent (apt-get install mypy)")
    import kestrune.dask

    top = os.path.join(HERE, "..", "..")
    guides = [os.path.join(top, *name) for name in
              (("README.md",), ("docs", "python.md"), ("docs", "many-pages.md"))]
    texts = [open(path, encoding="utf-8").read() for path in guides]
    texts += [kestrune.__doc__, kestrune.dask.__doc__]
    files = []
    for number, code in enumerate(code for text in texts for code in snippets(text)):
        files.append(tmp_path / f"example{number}.py")
        files[-1].write_text(code)
    assert len(files) == 6, "the examples were not found"
    (tmp_path / "mypy.ini").write_text(MYPY_CONFIG)
    package = os.path.dirname(os.path.dirname(kestrune.__file__))
    run = subprocess.run([sys.executable, "-m", "mypy", "--config-file", "mypy.ini",
                          "--cache-dir", str(tmp_path / "cache"), *map(str, files)],
                         cwd=tmp_path, env=dict(os.environ, MYPYPATH=package),
                         capture_output=True, text=True, check=False)
    assert run.returncode == 0, run.stdout + "".join(f.read_text() for f in files)
