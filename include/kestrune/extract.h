// SPDX-License-Identifier: MIT
/// \file
/// Kestrune's one call: extract(page, request) reads one HTML page and returns what the
/// request asks of it as data, which can also be rendered exactly as the kestrune program
/// prints it on the console or writes it to its output file.
///
/// \code{.cpp}
///   #include <kestrune/extract.h>
///   #include <iostream>
///
///   // Prints every link of the page: its href, a tab, its text. 1 when the page
///   // cannot be read.
///   int printLinks(std::string_view page) {
///       kestrune::Request request;
///       request.tag = "a";
///       request.attributes = {"href"};
///       const kestrune::Report report = kestrune::extract(page, request);
///       if (!report) {
///           std::cerr << kestrune::describe(report.status()) << '\n';
///           return 1;
///       }
///       for (std::size_t i = 0; i < report.size(); ++i)
///           std::cout << report.value(i, "href") << '\t' << report.text(i) << '\n';
///       return 0;
///   }
/// \endcode
///
/// The page is read by the same lenient parser as the program's: any bytes give a result,
/// however broken the HTML. Element texts, attribute values and raw blocks are byte strings
/// in the request's code page (UTF-8 by default).
///
/// Threads: extract() keeps no state between calls, so calls from many threads at once are
/// safe (on different pages or the same one). A Report is a value: its const operations may
/// be called from many threads at once.
/// Errors: failures are results (Report::status()). No exception leaves these calls except
/// std::bad_alloc, when memory runs out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrune/codePage.h"
#include "kestrune/select.h"

namespace kestrune {

/// What a report holds, chosen by the tag name (ASCII case ignored): the words of the
/// document type for "!doctype" and "doctype" (when the page has one; else the elements
/// of that name), the raw blocks for "script", "style" and "!--", else the elements.
enum class ReportMode { Doctype, RawBlocks, Elements };

/// The mode a tag name asks for, by the rule above (Doctype even where the page will
/// turn out to have no doctype).
ReportMode reportModeOf(std::string_view tagName);

/// How element texts and attribute values are given.
enum class TextForm {
    /// As written: character references decoded, every space, tab and line break kept.
    Written,
    /// As the program reports them: element texts lose every CR, LF, TAB and space,
    /// attribute values and attribute lists lose CR, LF and TAB.
    Reported,
};

/// What a call of extract() asks of a page.
struct Request {
    /// The tag to report on, as the program's -tag; must not be empty unless `selector` is
    /// given.
    std::string tag = {};
    /// Attribute names to report, in this order (duplicates and case kept, as the program's
    /// -attr after splitting). Empty: each element's whole attribute list, under "attr".
    std::vector<std::string> attributes = {};
    /// A page that is valid UTF-8 with a non-ASCII byte is converted to this code page (by
    /// its Windows number) before it is read; other pages are read in their own bytes.
    /// 65001 keeps UTF-8 (ill-formed sequences become U+FFFD); 936 is GBK; others as the
    /// system converter has them; kLocalCodePage as the program.
    unsigned codePage = kUtf8;
    /// How element texts and attribute values are given.
    TextForm text = TextForm::Written;
    /// The most bytes the report may hold (its values, or its blocks, one after the other,
    /// and 8 bytes of bookkeeping per value); a call whose report would grow beyond it
    /// stops and fails with Status::ReportTooLarge. A small page can ask for far more
    /// than itself: every one of thousands of nested elements holds the text of those
    /// below it. 0: the default limit, defaultReportLimit(page.size()).
    std::size_t maxReportBytes = 0;
    /// Called now and then while the report is made (after every few findings, from the
    /// calling thread); when it returns true the call stops and fails with
    /// Status::Interrupted. Empty: never stops.
    std::function<bool()> interrupted = {};
    /// Instead of a tag, a CSS selector (kestrune/select.h), used when its text is not
    /// empty (the tag is then ignored): the report holds the elements it matches, the
    /// root and its descendants in document order (mode Elements), each with its text
    /// and attributes as for a tag; a script or style element's text is its content. A
    /// selector that streams() is matched as the page is read, others on its tree.
    Selector selector = {};
    /// Tag names and attributes also end at TAB, LF, FF and CR, as browsers read them
    /// (HtmlDocument::setHtmlWhitespace): `<A\nHREF="x">` is then a link. Off by default,
    /// as the kestrune program reads pages. The page is then read through its tree.
    bool htmlWhitespace = false;
};

/// The report limit a call on a page of `pageBytes` bytes has by default: 64 times
/// the page, at least 16 MiB and at most 1 GiB (256 MiB in a 32-bit program).
std::size_t defaultReportLimit(std::size_t pageBytes);

/// How a call ended.
enum class Status {
    Ok,                ///< the report holds what was asked
    InvalidRequest,    ///< the tag is empty
    CodePageUnusable,  ///< the converter lacks the code page, or it does not keep ASCII
    PageTooLarge,      ///< 10 MiB (10,485,760 bytes) or more
    ConversionFailed,  ///< the page could not be converted to the code page
    NoRoot,            ///< nothing to read: empty, or no element (a NUL first, only a doctype)
    ReportTooLarge,    ///< the report would hold more than Request::maxReportBytes
    Interrupted,       ///< Request::interrupted asked the call to stop
    InvalidSelector,   ///< the request's selector did not compile (Selector::error says why)
};

/// Why a call failed, in a few words ("the page is 10 MiB or larger"); "" for Ok.
std::string_view describe(Status status);

/// The result of one call. Elements are numbered 0 .. size() - 1 in document order, as are
/// raw blocks.
class Report {
  public:
    Report() = default;

    /// How the call ended; Status::InvalidRequest for a report no call made.
    Status status() const { return status_; }
    /// True when the call succeeded (Status::Ok).
    explicit operator bool() const { return status_ == Status::Ok; }
    /// What the report holds.
    ReportMode mode() const { return mode_; }
    /// True when a doctype report found no document type: the report then holds the
    /// elements of the name asked for (mode() Elements), as the program reports them.
    bool lacksDoctype() const { return lacksDoctype_; }

    /// Elements, or raw blocks, found; 0 for a doctype report.
    std::size_t size() const { return count_; }

    /// Element reports. The keys of each element: "text", then the requested attribute
    /// names, or "attr" when none were requested.
    const std::vector<std::string>& keys() const { return keys_; }
    /// The value of key `key` of element `element`: key 0 is its text; key k > 0 the
    /// value of the k-th requested attribute ("" when the element has none), or its whole
    /// attribute list when none were requested. Valid as long as the report.
    std::string_view value(std::size_t element, std::size_t key) const;
    /// The value of the first key equal to `name` (byte for byte; "text" is key 0), ""
    /// when no key is.
    std::string_view value(std::size_t element, std::string_view name) const;
    /// The text of element `element` (key 0).
    std::string_view text(std::size_t element) const { return value(element, 0); }

    /// Raw-block reports: block i as HTML (start tag, content, end tag).
    std::string_view block(std::size_t i) const;

    /// Doctype reports: the words of the document type.
    std::string_view doctype() const { return doctype_; }

    ///@{
    /// The report as the program prints it on the console, and as it writes it to an
    /// output file (-o): CR LF line ends, element texts without spaces whatever the
    /// TextForm, byte for byte the program's, in the request's code page.
    std::string consoleText() const;
    std::string fileText() const;
    ///@}

  private:
    friend class ReportBuilder;

    Status status_ = Status::InvalidRequest;
    ReportMode mode_ = ReportMode::Elements;
    bool lacksDoctype_ = false;
    std::size_t count_ = 0;
    std::vector<std::string> keys_;
    std::string doctype_;
    std::string tag_;                // as requested: the file report's member name
    std::string bytes_;              // every value or block, one after the other
    std::vector<std::size_t> ends_;  // where each value (or block) ends in bytes_
};

/// Reads the page and reports what the request asks.
Report extract(std::string_view page, const Request& request);

}  // namespace kestrune
