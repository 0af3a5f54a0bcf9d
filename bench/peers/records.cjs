// SPDX-License-Identifier: MIT
// What the node peer programs share: the command line, the page read as bytes (latin1
// keeps every byte as one character) and the records, written as the kestrune program
// prints them on the console ("text=" without spaces, CR, LF and TAB; "NAME=" without CR,
// LF and TAB; each line ended by CR LF). Modules are found through NODE_PATH.
const fs = require("fs");

function args() {
    const [page, tag, name] = process.argv.slice(2);
    if (tag === undefined || process.argv.length > 5) {
        process.stderr.write("usage: PAGE TAG [ATTRIBUTE]\n");
        process.exit(2);
    }
    return { html: fs.readFileSync(page, "latin1"), tag: tag.toLowerCase(), name };
}

function write(records, name) {
    const out = [];
    for (const [text, value] of records) {
        out.push("text=" + text.replace(/[ \r\n\t]/g, "") + "\r\n");
        if (name !== undefined) out.push(name + "=" + (value || "").replace(/[\r\n\t]/g, "") + "\r\n");
    }
    fs.writeSync(1, out.join(""), null, "latin1");
}

module.exports = { args, write };
