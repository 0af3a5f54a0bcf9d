// SPDX-License-Identifier: MIT
// Rendering the report of one page.
#include "query/report.h"

#include <kestrune/json.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>

#include "base/asciiTable.h"
#include "base/byteScan.h"
#include "base/byteString.h"
#include "base/keyOrder.h"

namespace kestrune {

ReportMode reportModeOf(std::string_view tagName) {
    if (equalsIgnoreCase(tagName, "!doctype") || equalsIgnoreCase(tagName, "doctype")) {
        return ReportMode::Doctype;
    }
    if (equalsIgnoreCase(tagName, "script") || equalsIgnoreCase(tagName, "style") ||
        equalsIgnoreCase(tagName, "!--")) {
        return ReportMode::RawBlocks;
    }
    return ReportMode::Elements;
}

char* writeCleanedValue(char* to, std::string_view text, bool dropSpaces, bool json) {
    const char* in = text.data();
    std::size_t n = text.size();
    if (n < 16) {
        // Short values (most attribute values, many texts): byte by byte, without
        // the calls of the search and the copy.
        for (const char c : text) {
            if (isCleanupByte(c, dropSpaces)) continue;
            if (json && isJsonEscapeByte(c)) {
                to = writeJsonEscaped(to, std::string_view(&c, 1));
            } else {
                *to++ = c;
            }
        }
        return to;
    }
#if KESTRUNE_HAS_SSE2
    // Sixteen bytes per step: a block is stored whole and the output advances over
    // the bytes in front of the first one dropped or escaped. The output never runs
    // ahead of the room the input's bytes give, so a whole block always fits.
    while (n >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        // The bytes JSON escapes include those the cleanup drops.
        const unsigned drops = byte_scan_detail::cleanupLanes(block, dropSpaces);
        const unsigned lanes = json ? byte_scan_detail::jsonEscapeLanes(block, dropSpaces) : drops;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), block);
        if (lanes == 0) {
            to += 16;
            in += 16;
            n -= 16;
            continue;
        }
        if (lanes == drops) {
            // Bytes to drop and none to escape (running text with its spaces dropped
            // loses one byte in six): the kept bytes close up without a branch per
            // byte, where a step per dropped byte would mispredict the next.
            for (unsigned i = 0; i < 16; ++i) {
                *to = in[i];
                to += ((drops >> i) & 1) ^ 1;
            }
            in += 16;
            n -= 16;
            continue;
        }
        const auto run = static_cast<std::size_t>(std::countr_zero(lanes));
        to += run;
        const char c = in[run];
        in += run + 1;
        n -= run + 1;
        if (!isCleanupByte(c, dropSpaces)) to = writeJsonEscaped(to, std::string_view(&c, 1));
    }
#endif
    while (n > 0) {
        const std::size_t run =
            json ? findJsonEscape(in, n, dropSpaces) : findCleanupByte(in, n, dropSpaces);
        std::memcpy(to, in, run);
        to += run;
        in += run;
        n -= run;
        if (n == 0) break;
        const char c = *in++;
        --n;
        // What the scan stopped at is dropped, or else escaped.
        if (isCleanupByte(c, dropSpaces)) continue;
        to = writeJsonEscaped(to, std::string_view(&c, 1));
    }
    return to;
}

void ElementLayout::render(ByteBuffer& out, const std::vector<KeyedValue>& values, bool json) {
    placed_.clear();
    const std::string_view fixed = fixed_.view();
    std::size_t room = fixed.size();
    bool inOrder = true;
    for (const KeyedValue& value : values) {
        const std::uint32_t at = gapAt_[value.key];
        if (at == kNoGap || value.text.empty()) continue;
        inOrder = inOrder && (placed_.empty() || placed_.back().at < at);
        placed_.push_back({at, value.key, value.text, value.dropSpaces});
        // The worst case: every byte escaped as \u00XX.
        room += (json ? 6 : 1) * value.text.size();
    }
    if (!inOrder) {
        auto before = [](const Placed& a, const Placed& b) {
            return a.at != b.at ? a.at < b.at : a.key < b.key;
        };
        if (placed_.size() > 8) {
            std::sort(placed_.begin(), placed_.end(), before);
        } else {
            // A few values (the usual case): insertion, without a call.
            for (std::size_t i = 1; i < placed_.size(); ++i) {
                for (std::size_t j = i; j > 0 && before(placed_[j], placed_[j - 1]); --j) {
                    std::swap(placed_[j], placed_[j - 1]);
                }
            }
        }
    }
    char* to = out.room(room + kSlack);
    std::size_t from = 0;
    for (const Placed& value : placed_) {
        to = copySegment(to, fixed.data() + from, value.at - from);
        from = value.at;
        to = writeCleanedValue(to, value.text, value.dropSpaces, json);
    }
    out.grewTo(copySegment(to, fixed.data() + from, fixed.size() - from));
}

ElementRenderer::ElementRenderer(ReportForm form, std::string_view tagName, ReportKeys keys)
    : form_(form), tagName_(tagName), layout_(keys.size()) {
    if (form == ReportForm::Console) {
        // A line "key=value" for every key, in their order.
        std::size_t size = 0;
        for (std::size_t k = 0; k < keys.size(); ++k) size += keys[k].size() + 3;
        layout_.reserve(size);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            layout_.addGapAfter(k > 0 ? "\r\n" : "", keys[k], "=", k);
        }
        layout_.addText("\r\n");
        return;
    }
    // Members are unique by their escaped key, the first one added wins, and they
    // are written in byte order of the escaped keys: the same for every element, so
    // the order is found once and becomes the layout of every element. Keys that
    // need escaping are rare: only those are escaped, each into a text of its own.
    std::deque<std::string> escapedTexts;  // whose texts stay where they are as it grows
    std::vector<std::string_view> escaped(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        escaped[i] = keys[i];
        if (findJsonEscape(keys[i].data(), keys[i].size()) == keys[i].size()) continue;
        appendJsonEscaped(escapedTexts.emplace_back(), keys[i]);
        escaped[i] = escapedTexts.back();
    }
    auto escapedKey = [&](std::size_t i) { return escaped[i]; };
    // Ties go by number, so the first of each run of equal keys is the one kept.
    const std::vector<std::uint32_t> order =
        keyOrder(keys.size(), escapedKey, [](unsigned char c) { return c; });
    std::size_t size = 2;
    for (std::uint32_t k : order) size += escapedKey(k).size() + 7;
    layout_.reserve(size);
    std::string_view previous;
    for (std::size_t m = 0; m < order.size(); ++m) {
        const std::string_view key = escapedKey(order[m]);
        if (m > 0 && key == previous) continue;
        previous = key;
        layout_.addGapAfter(m > 0 ? "\", \"" : "{\"", key, "\":\"", order[m]);
    }
    layout_.addText("\"}");
}

void ElementRenderer::head(ByteBuffer& out) const {
    if (form_ == ReportForm::Console) return;
    out.append("{\"");
    out.grewTo(writeJsonEscaped(out.room(6 * tagName_.size()), tagName_));
    out.append("\":[");
}

void ElementRenderer::tail(ByteBuffer& out) const {
    if (form_ == ReportForm::File) out.append("]}");
}

void ElementRenderer::element(ByteBuffer& out, const std::vector<KeyedValue>& values, bool first) {
    const bool json = form_ == ReportForm::File;
    if (json && !first) out.append(", ");
    layout_.render(out, values, json);
}

void renderBlock(ByteBuffer& out, ReportForm form, std::size_t number, std::string_view html) {
    out.append(form == ReportForm::Console ? "===" : "// No.");
    out.append(std::to_string(number));
    out.append(form == ReportForm::Console ? "===\r\n" : "\r\n");
    out.append(html);
    out.append("\r\n\r\n");
}

void renderDoctype(ByteBuffer& out, ReportForm form, std::string_view words) {
    const bool json = form == ReportForm::File;
    out.append(json ? "{\"doctype\":\"" : "doctype=");
    out.grewTo(writeCleanedValue(out.room(6 * words.size()), words, false, json));
    out.append(json ? "\"}" : "\r\n");
}

}  // namespace kestrune
