// SPDX-License-Identifier: MIT
// Character references: &lt; &amp; &gt; &apos; &quot; (case significant, ";" required)
// and numeric references &#NNN; / &#xHHH;. Used inside src/html and src/query.
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// Appends the decoded form of `text` to `out`; it is never longer than `text`. A
// numeric reference needs its ";" within 8 bytes of the first digit and a non-zero
// value read as strtol reads it; its value is written as up to three UTF-8-style
// bytes of its low 16 bits, whatever the code page of the rest (values below 128,
// negative ones included, as one byte). Anything that is not a reference is copied
// unchanged.
void appendDecoded(std::string& out, std::string_view text);

}  // namespace kestrune
