#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Which blocks of a guide or a manual page are shell examples, and what they hold."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from shellExamples import (DocumentError, Example, as_shown, markdown_examples, roff_examples,
                           transcript_steps)

MD, ROFF = markdown_examples, roff_examples
# (extractor, document, its examples or the start of the error)
CASES = [
    (MD, "```\n$ a\nb\n```\n```console\n$ c\n```\n```\nusage: x\n```\n```python\n>>> 1\n```\n",
     [Example(1, "transcript", "$ a\nb\n", None), Example(5, "transcript", "$ c\n", None)]),
    (MD, "<!-- not run: network -->\n```sh\ncurl x\n```\n```sh\ny\n```\n",
     [Example(2, "sh", "curl x\n", "network"), Example(5, "sh", "y\n", None)]),
    (MD, "<!-- not run:  -->\n```sh\nx\n```\n", "line 1: a 'not run' marker without"),
    (MD, "<!-- not run: r -->\n\n```sh\nx\n```\n", "line 1: a 'not run' marker not right"),
    (MD, "<!-- not run: r -->\n```python\nx\n```\n", "line 2: a 'not run' marker before a python"),
    (MD, "<!-- not run: r -->\n```\nusage\n```\n", "line 2: a 'not run' marker before a block"),
    (MD, "text\n```sh\nx\n", "line 2: a block that is never closed"),
    (ROFF, '.SH REPORTS\n.EX\n$ k \\-tag \\(aq!\\-\\-\\(aq\nattr=x \\&\n.EE\n.EX\n{"T":[]}\n.EE\n',
     [Example(2, "transcript", "$ k -tag '!--'\nattr=x \n", None)]),
    (ROFF, '.SH EXAMPLES\n.EX\ntr \\-d \\(aq\\(rsr\\(aq \\e \\(dq\\fIx\\fP\\(dq\n.EE\n'
     '.\\" not run: network\n.EX\ncurl x\n.EE\n',
     [Example(2, "sh", "tr -d '\\r' \\ \"x\"\n", None), Example(6, "sh", "curl x\n", "network")]),
    (ROFF, ".SH EXAMPLES\n.EX\na \\(em b\n.EE\n", "line 2: an escape the examples do not decode"),
    (ROFF, ".SH EXAMPLES\n.EX\na\n.B b\n.EE\n", "line 4: a request inside an example"),
    (ROFF, ".SH EXAMPLES\n.EX\na\n", "line 2: a block that is never closed"),
    (ROFF, '.SH EXAMPLES\n.\\" not run: x\n.PP\n.EX\na\n.EE\n', "line 2: a 'not run' marker not"),
]


class ExtractionTest(unittest.TestCase):
    def test_blocks(self):
        for extract, document, expected in CASES:
            with self.subTest(document=document):
                if isinstance(expected, str):
                    with self.assertRaises(DocumentError) as caught:
                        extract(document)
                    self.assertTrue(str(caught.exception).startswith(expected), caught.exception)
                else:
                    self.assertEqual(extract(document), expected)

    def test_transcripts(self):
        self.assertEqual(transcript_steps("$ a\n\nOutput\n$ b\n$ c\nx\n"),
                         [("a", "\nOutput\n"), ("b", ""), ("c", "x\n")])
        for printed, shown in [(b"a\r\nb\r\n", b"a\nb\n"), (b"{}", b"{}\n"), (b"", b"")]:
            self.assertEqual(as_shown(printed), shown)


if __name__ == "__main__":
    unittest.main()
