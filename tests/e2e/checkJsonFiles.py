# SPDX-License-Identifier: MIT
# checkJsonFiles.py LIST: every file LIST names (one a line, relative to LIST's
# directory) parses as JSON, with an independent parser, and holds one object of one
# member. The bytes are read as Latin-1, one character each, since the text stays in
# the page's code page. Prints how many files it checked.
import json
import os
import sys

directory = os.path.dirname(os.path.abspath(sys.argv[1]))
with open(sys.argv[1], encoding="utf-8") as listing:
    names = [line.rstrip("\n") for line in listing if line.strip()]
for name in names:
    with open(os.path.join(directory, name), encoding="latin-1") as f:
        value = json.load(f)
    assert isinstance(value, dict) and len(value) == 1, name
print(len(names))
