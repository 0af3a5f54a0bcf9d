# SPDX-License-Identifier: MIT
# The GNU parallel recipe of docs/many-pages.md, run on this host (-S :): every page's report
# comes back as PAGE.json, equal to the program's own run on that page.
import os
import shutil
import subprocess

import pytest

from conftest import CORPUS, corpus_pages, run_program


def test_parallel_recipe_on_the_local_host(binary, tmp_path):
    if shutil.which("parallel") is None or not corpus_pages():
        pytest.skip(f"GNU parallel or the corpus at {CORPUS} is absent")
    names = [os.path.basename(shutil.copy(page, tmp_path)) for page in corpus_pages()[:6]]
    # The program's status is 1 on success: the command turns it into 0 for parallel.
    command = f"{binary} ./{{}} -tag a -attr href -o ./{{}}.json; test $? -eq 1"
    subprocess.run(["parallel", "--will-cite", "-S", ":", "--trc", "{}.json", command, ":::",
                    *names], cwd=tmp_path, check=True,
                   env=dict(os.environ, KESTRUNE_CODEPAGE="65001"))
    for name in names:
        expected = run_program(binary, tmp_path / name, "a", ["href"], tmp_path / "expected.json")
        assert expected == (1, (tmp_path / f"{name}.json").read_bytes())
