// SPDX-License-Identifier: MIT
/// \file
/// Readable text from any page: find the encoding a page is written in, and read it as
/// UTF-8, so that the library's UTF-8 calls give correct text for Latin-1, Shift_JIS or
/// UTF-16 pages.
///
/// \code{.cpp}
///   #include <kestrune/encoding.h>
///   #include <kestrune/extract.h>
///
///   // The page's links, their texts in UTF-8 whatever the page's encoding.
///   kestrune::Report linksOf(std::string_view page) {
///       std::string storage;
///       const kestrune::Encoding encoding = kestrune::detectEncoding(page);
///       kestrune::Request request;
///       request.tag = "a";
///       request.codePage = kestrune::kUtf8;
///       return kestrune::extract(kestrune::toUtf8(page, encoding, storage), request);
///   }
/// \endcode
///
/// Detection, first that applies:
/// 1. a byte-order mark (UTF-8, UTF-16LE, UTF-16BE);
/// 2. the first declaration in the page's first 1024 bytes: `<meta charset="...">`, or
///    `<meta http-equiv="Content-Type" content="...; charset=...">`, with a name from the
///    table of codePageForName() (a declaration of UTF-16 in an ASCII page means UTF-8;
///    an unknown name is passed over);
/// 3. UTF-8 when the whole page is well-formed UTF-8;
/// 4. windows-1252 otherwise (every byte is a character in it: nothing is lost).
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

/// Where an encoding came from.
enum class EncodingSource {
    ByteOrderMark,  ///< the page starts with one
    Declaration,    ///< a meta element names it
    Utf8Check,      ///< the page is well-formed UTF-8
    Fallback,       ///< windows-1252: none of the above
    Given,          ///< the caller named it (encodingNamed)
};

/// An encoding of a page: its code page, its name and how it was found.
struct Encoding {
    /// Windows code page number: 65001 UTF-8, 1200 UTF-16LE, 1201 UTF-16BE, 1252, 932, ...
    unsigned codePage = 65001;
    /// The canonical name: "utf-8", "utf-16le", "windows-1252", "shift_jis", ...
    std::string_view name = "utf-8";
    /// Where it came from.
    EncodingSource source = EncodingSource::Utf8Check;
};

/// Finds the encoding of `page` by the rules above, in one pass over its bytes at most.
Encoding detectEncoding(std::string_view page);

/// The code page an encoding name (or label: "latin1", "iso-8859-1", "sjis", "utf8",
/// "cp1252", ...; ASCII case and surrounding white space ignored) stands for, or 0 for
/// a name this build cannot read. ISO-8859-1 and ASCII are windows-1252, as browsers
/// read them; GB2312 is GBK (936).
unsigned codePageForName(std::string_view name);

/// The encoding `name` as given by a caller (source Given); codePage 0 when unknown.
Encoding encodingNamed(std::string_view name);

/// The page as UTF-8: a byte-order mark is dropped; UTF-8 is handed back as it stands (a
/// view of `page`, ill-formed sequences kept); every other encoding is converted into
/// `storage` and the view is of `storage`. Bytes that are no character of the encoding
/// become U+FFFD. windows-1252 reads every byte (0x81, 0x8D, 0x8F, 0x90 and 0x9D as the
/// C1 controls of the same numbers).
std::string_view toUtf8(std::string_view page, const Encoding& encoding, std::string& storage);

}  // namespace kestrune
