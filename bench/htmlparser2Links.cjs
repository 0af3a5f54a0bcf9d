// SPDX-License-Identifier: MIT
// node htmlparser2Links.cjs PAGE: every link of the page as HREF TAB TEXT, one a line,
// read by htmlparser2 (found through NODE_PATH; bench/setupPeers.sh installs it).
const fs = require("fs");
const { Parser } = require("htmlparser2");

let out = [];
let open = [];  // the links being read: [href, text], innermost last
const parser = new Parser({
    onopentag(name, attributes) {
        if (name === "a") open.push([attributes.href || "", ""]);
    },
    ontext(text) {
        for (const link of open) link[1] += text;
    },
    onclosetag(name) {
        if (name === "a" && open.length > 0) {
            const [href, text] = open.pop();
            out.push(href + "\t" + text + "\n");
        }
    },
}, { decodeEntities: true });
parser.write(fs.readFileSync(process.argv[2], "latin1"));
parser.end();
fs.writeSync(1, out.join(""), null, "latin1");
