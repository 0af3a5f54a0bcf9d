// SPDX-License-Identifier: MIT
// node cheerioExtract.cjs PAGE TAG [ATTRIBUTE]: every TAG element of cheerio's document of
// the page (parse5), with .text() and the attribute's value.
const cheerio = require("cheerio");
const records = require("./records.cjs");

const { html, tag, name } = records.args();
const $ = cheerio.load(html);
records.write($(tag).toArray().map((e) => [$(e).text(), name !== undefined ? $(e).attr(name) : undefined]),
              name);
