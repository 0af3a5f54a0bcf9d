# SPDX-License-Identifier: MIT
"""What the Python peer programs share: the command line and the records, written as the
kestrune program prints them on the console ("text=" without spaces, CR, LF and TAB;
"NAME=" without CR, LF and TAB; each line ended by CR LF)."""
import sys

_DROP_FROM_TEXT = str.maketrans("", "", " \r\n\t")
_DROP_FROM_VALUE = str.maketrans("", "", "\r\n\t")


def arguments():
    """(page bytes, tag, attribute or None) from PAGE TAG [ATTRIBUTE]."""
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: %s PAGE TAG [ATTRIBUTE]" % sys.argv[0])
    with open(sys.argv[1], "rb") as f:
        page = f.read()
    return page, sys.argv[2].lower(), sys.argv[3] if len(sys.argv) == 4 else None


def write(records, name):
    """records: (text, value) pairs; value is left out when no attribute was asked for."""
    out = []
    for text, value in records:
        out.append("text=" + text.translate(_DROP_FROM_TEXT) + "\r\n")
        if name is not None:
            out.append(name + "=" + (value or "").translate(_DROP_FROM_VALUE) + "\r\n")
    sys.stdout.buffer.write("".join(out).encode("utf-8", "surrogateescape"))
