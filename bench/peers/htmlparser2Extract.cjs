// SPDX-License-Identifier: MIT
// node htmlparser2Extract.cjs PAGE TAG [ATTRIBUTE]: every TAG element as htmlparser2's
// streaming parser reports it (no tree), with the text inside it and the attribute's value.
const { Parser } = require("htmlparser2");
const records = require("./records.cjs");

const { html, tag, name } = records.args();
const found = [];
const open = [];  // the elements being read: [text, value], innermost last
const parser = new Parser({
    onopentag(element, attributes) {
        if (element === tag) open.push(["", name !== undefined ? attributes[name] : undefined]);
    },
    ontext(text) {
        for (const element of open) element[0] += text;
    },
    onclosetag(element) {
        if (element === tag && open.length > 0) found.push(open.pop());
    },
}, { decodeEntities: true });
parser.write(html);
parser.end();
records.write(found, name);
