#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""lxmlExtract.py PAGE TAG [ATTRIBUTE]: every TAG element of lxml.html's tree of the page
(libxml2's HTML parser), with text_content() and the attribute's value."""
import lxml.html

import peerRecords

page, tag, name = peerRecords.arguments()
root = lxml.html.document_fromstring(page)
peerRecords.write(((e.text_content(), e.get(name) if name else None) for e in root.iter(tag)), name)
