// SPDX-License-Identifier: MIT
// Encoding detection and conversion to UTF-8.
#include <kestrune/encoding.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "base/platform.h"
#include "base/utf8.h"
#include "html/attributes.h"
#include "html/charsetDeclaration.h"

namespace kestrune {

namespace {

constexpr unsigned kUtf8Page = 65001;
constexpr unsigned kUtf16Le = 1200;
constexpr unsigned kUtf16Be = 1201;
constexpr unsigned kWindows1252 = 1252;

struct EncodingName {
    std::string_view label;
    unsigned codePage;
    std::string_view name;  // canonical
};

// Labels as pages and browsers write them. ISO-8859-1 and ASCII are read as
// windows-1252, GB2312 and GB18030 as GBK (their common part is GBK).
constexpr EncodingName kNames[] = {
    {"utf-8", kUtf8Page, "utf-8"},
    {"utf8", kUtf8Page, "utf-8"},
    {"unicode-1-1-utf-8", kUtf8Page, "utf-8"},
    {"utf-16", kUtf16Le, "utf-16le"},
    {"utf-16le", kUtf16Le, "utf-16le"},
    {"utf-16be", kUtf16Be, "utf-16be"},
    {"windows-1252", kWindows1252, "windows-1252"},
    {"cp1252", kWindows1252, "windows-1252"},
    {"x-cp1252", kWindows1252, "windows-1252"},
    {"latin1", kWindows1252, "windows-1252"},
    {"l1", kWindows1252, "windows-1252"},
    {"iso-8859-1", kWindows1252, "windows-1252"},
    {"iso8859-1", kWindows1252, "windows-1252"},
    {"iso88591", kWindows1252, "windows-1252"},
    {"iso_8859-1", kWindows1252, "windows-1252"},
    {"iso-ir-100", kWindows1252, "windows-1252"},
    {"csisolatin1", kWindows1252, "windows-1252"},
    {"cp819", kWindows1252, "windows-1252"},
    {"ibm819", kWindows1252, "windows-1252"},
    {"ascii", kWindows1252, "windows-1252"},
    {"us-ascii", kWindows1252, "windows-1252"},
    {"ansi_x3.4-1968", kWindows1252, "windows-1252"},
    {"windows-1250", 1250, "windows-1250"},
    {"cp1250", 1250, "windows-1250"},
    {"windows-1251", 1251, "windows-1251"},
    {"cp1251", 1251, "windows-1251"},
    {"windows-1253", 1253, "windows-1253"},
    {"cp1253", 1253, "windows-1253"},
    {"windows-1254", 1254, "windows-1254"},
    {"cp1254", 1254, "windows-1254"},
    {"windows-1255", 1255, "windows-1255"},
    {"cp1255", 1255, "windows-1255"},
    {"windows-1256", 1256, "windows-1256"},
    {"cp1256", 1256, "windows-1256"},
    {"windows-1257", 1257, "windows-1257"},
    {"cp1257", 1257, "windows-1257"},
    {"windows-1258", 1258, "windows-1258"},
    {"cp1258", 1258, "windows-1258"},
    {"windows-874", 874, "windows-874"},
    {"tis-620", 874, "windows-874"},
    {"shift_jis", 932, "shift_jis"},
    {"shift-jis", 932, "shift_jis"},
    {"sjis", 932, "shift_jis"},
    {"ms_kanji", 932, "shift_jis"},
    {"ms932", 932, "shift_jis"},
    {"windows-31j", 932, "shift_jis"},
    {"csshiftjis", 932, "shift_jis"},
    {"x-sjis", 932, "shift_jis"},
    {"gbk", 936, "gbk"},
    {"cp936", 936, "gbk"},
    {"x-gbk", 936, "gbk"},
    {"gb2312", 936, "gbk"},
    {"csgb2312", 936, "gbk"},
    {"chinese", 936, "gbk"},
    {"gb18030", 936, "gbk"},
    {"euc-kr", 949, "euc-kr"},
    {"cseuckr", 949, "euc-kr"},
    {"ks_c_5601-1987", 949, "euc-kr"},
    {"windows-949", 949, "euc-kr"},
    {"big5", 950, "big5"},
    {"big5-hkscs", 950, "big5"},
    {"cn-big5", 950, "big5"},
    {"csbig5", 950, "big5"},
};

const EncodingName* findName(std::string_view label) {
    while (!label.empty() && isHtmlSpace(label.front())) label.remove_prefix(1);
    while (!label.empty() && isHtmlSpace(label.back())) label.remove_suffix(1);
    for (const EncodingName& entry : kNames)
        if (equalsIgnoreCase(entry.label, label)) return &entry;
    return nullptr;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// How far into the page declarations are looked for, as browsers do.
constexpr std::size_t kDeclarationWindow = 1024;

// The charset the first meta element of the page's start declares in a way this
// build can read; null when none does. Tag names and attributes end at TAB, LF, FF and
// CR here too, as browsers read a page's start.
const EncodingName* declaredEncoding(std::string_view page) {
    const std::size_t window = page.size() < kDeclarationWindow ? page.size() : kDeclarationWindow;
    std::size_t i = 0;
    while (i < window) {
        const std::size_t lt = page.find('<', i);
        if (lt == std::string_view::npos || lt >= window) return nullptr;
        if (page.compare(lt, 4, "<!--") == 0) {
            const std::size_t close = page.find("-->", lt + 4);
            if (close == std::string_view::npos) return nullptr;
            i = close + 3;
            continue;
        }
        i = lt + 1;
        if (page.size() - lt < 6 || !equalsIgnoreCase(page.substr(lt + 1, 4), "meta")) continue;
        const char after = page[lt + 5];
        if (!isHtmlSpace(after) && after != '\f' && after != '/') continue;
        const std::size_t gt = page.find('>', lt + 5);
        if (gt == std::string_view::npos) return nullptr;
        std::string text(page.substr(lt + 5, gt - lt - 5));
        for (char& c : text)
            if (isHtmlSpace(c) || c == '\f' || c == '/') c = ' ';
        std::string contentType;
        std::string charset;
        readCharsetDeclaration(
            [&](std::string_view name, std::string& value) {
                return findAttribute(text, name, value) != 0;
            },
            contentType, charset);
        if (charset.empty()) continue;
        if (const EncodingName* entry = findName(charset)) {
            // An ASCII page that calls itself UTF-16 is not: its tags would be unreadable.
            if (entry->codePage == kUtf16Le || entry->codePage == kUtf16Be) return &kNames[0];
            return entry;
        }
    }
    return nullptr;
}

Encoding fromEntry(const EncodingName& entry, EncodingSource source) {
    return Encoding{entry.codePage, entry.name, source};
}

void appendCodePoint(std::string& out, char32_t cp) {
    if (cp == 0) {
        out.push_back('\0');  // a NUL is a character like any other here
        return;
    }
    appendUtf8(out, cp);
}

void utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& out) {
    out.clear();
    out.reserve(bytes.size() + bytes.size() / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t k) -> char32_t {
        const unsigned a = p[2 * k];
        const unsigned b = p[2 * k + 1];
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t k = 0; k < units; ++k) {
        const char32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const char32_t low = unit(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        appendCodePoint(out, u);  // a lone surrogate becomes U+FFFD
    }
    if (bytes.size() % 2 != 0) appendUtf8(out, kReplacementChar);
}

// windows-1252's characters for 0x80-0x9F; the other bytes are the code points of the
// same numbers.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void windows1252ToUtf8(std::string_view bytes, std::string& out) {
    out.clear();
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            appendUtf8(out, b < 0xA0 ? kWindows1252High[b - 0x80] : char32_t{b});
        }
    }
}

// The converter writes a byte it cannot read as U+DC80-U+DCFF (ED B2 80 - ED B3 BF);
// those become U+FFFD.
void replaceByteEscapes(std::string& text) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) == 0xED && i + 2 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xFE) == 0xB2) {
            text[out++] = '\xEF';
            text[out++] = '\xBF';
            text[out++] = '\xBD';
            i += 3;
        } else {
            text[out++] = text[i++];
        }
    }
    text.resize(out);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

unsigned codePageForName(std::string_view name) {
    const EncodingName* entry = findName(name);
    return entry != nullptr ? entry->codePage : 0;
}

Encoding encodingNamed(std::string_view name) {
    const EncodingName* entry = findName(name);
    if (entry == nullptr) return Encoding{0, "", EncodingSource::Given};
    return fromEntry(*entry, EncodingSource::Given);
}

Encoding detectEncoding(std::string_view page) {
    if (startsWith(page, kUtf8Bom)) return fromEntry(kNames[0], EncodingSource::ByteOrderMark);
    if (startsWith(page, kUtf16LeBom))
        return fromEntry(*findName("utf-16le"), EncodingSource::ByteOrderMark);
    if (startsWith(page, kUtf16BeBom))
        return fromEntry(*findName("utf-16be"), EncodingSource::ByteOrderMark);
    if (const EncodingName* declared = declaredEncoding(page))
        return fromEntry(*declared, EncodingSource::Declaration);
    if (isWellFormedUtf8(page)) return fromEntry(kNames[0], EncodingSource::Utf8Check);
    return fromEntry(*findName("windows-1252"), EncodingSource::Fallback);
}

std::string_view toUtf8(std::string_view page, const Encoding& encoding, std::string& storage) {
    switch (encoding.codePage) {
        case 0:
        case kUtf8Page:
            if (startsWith(page, kUtf8Bom)) page.remove_prefix(kUtf8Bom.size());
            return page;
        case kUtf16Le:
            if (startsWith(page, kUtf16LeBom)) page.remove_prefix(kUtf16LeBom.size());
            utf16ToUtf8(page, false, storage);
            return storage;
        case kUtf16Be:
            if (startsWith(page, kUtf16BeBom)) page.remove_prefix(kUtf16BeBom.size());
            utf16ToUtf8(page, true, storage);
            return storage;
        case kWindows1252:
            windows1252ToUtf8(page, storage);
            return storage;
        default:
            storage = platform::codePageToUtf8(page, encoding.codePage);
            replaceByteEscapes(storage);
            return storage;
    }
}

}  // namespace kestrune
