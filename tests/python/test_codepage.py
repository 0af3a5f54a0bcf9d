# SPDX-License-Identifier: MIT
# Values in a code page come back as the characters they were converted from: every
# character of the Basic Multilingual Plane is converted by the engine (a page in
# UTF-8 read in the code page), then decoded by the module; the result must be a
# character the engine converts to the same bytes ("?" for one the code page lacks).
import collections

import pytest

import kestrune

BMP = [chr(u) for u in range(0x80, 0x10000) if not 0xD800 <= u < 0xE000]


def texts(characters, codepage, as_bytes):
    """The text of one <p> per character, as the module gives it."""
    page = "<html>" + "".join(f"<p>{c}</p>" for c in characters) + "</html>"
    found = kestrune.extract(page, "p", "", codepage=codepage, as_bytes=as_bytes)
    assert len(found) == len(characters), "a character was converted to markup"
    return [element["text"] for element in found]


@pytest.mark.parametrize("codepage", [936, 950, 932])
def test_every_character_decodes_to_one_that_converts_back(codepage):
    encoded, decoded = [], []
    for start in range(0, len(BMP), 4096):
        part = BMP[start:start + 4096]
        encoded += texts(part, codepage, True)
        decoded += texts(part, codepage, False)
    # The characters that give each byte string, ASCII included (every code page the
    # engine takes writes ASCII as ASCII).
    sources = collections.defaultdict(set)
    for c, e in zip(BMP, encoded):
        sources[e].add(c)
    for u in range(0x80):
        sources[bytes([u])].add(chr(u))
    wrong = [(c, e, d) for c, e, d in zip(BMP, encoded, decoded) if d not in sources[e]]
    assert wrong == [], f"{len(wrong)} characters, such as {wrong[:5]}"
    # Thousands of characters in each, most of them one to one.
    assert sum(d == c for c, d in zip(BMP, decoded)) > 5000
