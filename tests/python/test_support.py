# SPDX-License-Identifier: MIT
# The test set-up itself: a run in which no test ran tells CTest it was skipped.
import os
import subprocess
import sys

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
