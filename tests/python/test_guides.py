# SPDX-License-Identifier: MIT
# The interactive examples of the README and the guides in docs/ give what they show:
# each file's ```python blocks with ">>>" run in order, as one doctest session.
import doctest
import glob
import os

import pytest

from test_support import python_blocks

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
GUIDES = [os.path.join(TOP, "README.md")] + sorted(glob.glob(os.path.join(TOP, "docs", "*.md")))


def sessions():
    for path in GUIDES:
        with open(path, encoding="utf-8") as f:
            blocks = [b for b in python_blocks(f.read()) if ">>> " in b]
        if blocks:
            yield pytest.param(path, blocks, id=os.path.relpath(path, TOP))


@pytest.mark.parametrize("path,blocks", list(sessions()))
def test_the_examples_give_what_they_show(path, blocks):
    parser, runner = doctest.DocTestParser(), doctest.DocTestRunner()
    report, names = [], {}
    for number, block in enumerate(blocks):
        test = parser.get_doctest(block, names, "%s, example %d" % (path, number + 1), path, 0)
        runner.run(test, out=report.append, clear_globs=False)
        names = test.globs
    assert runner.failures == 0, "".join(report)
