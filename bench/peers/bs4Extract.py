#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""bs4Extract.py PAGE TAG [ATTRIBUTE]: every TAG element of BeautifulSoup's tree of the page
(its own html.parser builder), with get_text() and the attribute's value."""
from bs4 import BeautifulSoup

import peerRecords


def value(element, name):
    found = element.get(name) if name else None
    return " ".join(found) if isinstance(found, list) else found  # class and the like are lists


page, tag, name = peerRecords.arguments()
soup = BeautifulSoup(page, "html.parser")
peerRecords.write(((e.get_text(), value(e, name)) for e in soup.find_all(tag)), name)
