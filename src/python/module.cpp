// SPDX-License-Identifier: MIT
// kestrune._kestrune: the engine under the Python package kestrune, whose functions
// (kestrune/__init__.py) call these. extract() takes a page as bytes, a buffer of bytes
// or a str (encoded as UTF-8), parses it with the GIL released, and turns the report
// into Python objects: dicts of str for elements, str for raw blocks and the doctype,
// each value converted from the request's code page by the converter that produced it
// (or bytes on request).
#include <Python.h>
#include <pybind11/pybind11.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "base/platform.h"
#include "html/charRefs.h"
#include "kestrune/document.h"
#include "kestrune/encoding.h"
#include "kestrune/extract.h"
#include "kestrune/select.h"
#include "kestrune/version.h"
#include "query/gatherTexts.h"

namespace py = pybind11;

namespace {

// The exception class of each failed status that has one of its own (ValueError for the
// others), created once when the module is first imported.
std::array<PyObject*, static_cast<std::size_t>(kestrune::Status::Interrupted) + 1> errors{};

PyObject* errorOf(kestrune::Status status) {
    const auto i = static_cast<std::size_t>(status);
    return i < errors.size() ? errors[i] : nullptr;
}

PyObject* newError(py::module_& m, const char* name, const char* doc, PyObject* base) {
    std::string qualified = std::string("kestrune.") + name;
    PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
    if (type == nullptr) throw py::error_already_set();
    // The module keeps a reference; the one returned here lives as long as the process.
    m.add_object(name, py::reinterpret_borrow<py::object>(type));
    return type;
}

[[noreturn]] void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

std::string typeName(py::handle object) {
    return py::str(py::type::handle_of(object).attr("__name__"));
}

// The TypeError for an argument of the wrong type: "<argument> must be <what>, not <type>".
[[noreturn]] void raiseWrongType(const char* argument, const char* what, py::handle object) {
    raise(PyExc_TypeError,
          std::string(argument) + " must be " + what + ", not " + typeName(object));
}

// pybind11 keeps its state for one interpreter only: from a subinterpreter its calls
// that release the GIL wait for ever, so the module refuses to be imported there.
bool inMainInterpreter() { return PyInterpreterState_Get() == PyInterpreterState_Main(); }
constexpr const char* kOnlyMainInterpreter =
    "kestrune can only be imported in the main interpreter, not in a subinterpreter";

// A list of `size` items made by item(i).
template <typename Item>
py::list listOf(std::size_t size, Item item) {
    py::list list(static_cast<Py_ssize_t>(size));
    for (std::size_t i = 0; i < size; ++i) {
        // Millions of items take seconds: Ctrl+C stops them too.
        if (i % 4096 == 4095 && PyErr_CheckSignals() != 0) throw py::error_already_set();
        PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), item(i).release().ptr());
    }
    return list;
}

// Turns report bytes into the values the caller asked for: str converted from the code
// page by the converter that wrote them (bytes that do not convert kept as surrogate
// escapes, which `value.encode(..., "surrogateescape")` turns back), or bytes themselves.
struct ValueMaker {
    unsigned codePage;
    bool asBytes;

    py::object operator()(std::string_view bytes) const {
        PyObject* value;
        if (asBytes) {
            value = PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
        } else if (codePage == kestrune::kUtf8) {
            value = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                         "surrogateescape");
        } else {
            // The converter writes its escapes as UTF-8 would write the surrogates.
            const std::string utf8 = kestrune::platform::codePageToUtf8(bytes, codePage);
            value = PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()),
                                         "surrogatepass");
        }
        if (value == nullptr) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(value);
    }

    // A tag or attribute name in the code page: bytes as they are, a str converted as
    // the engine converts pages. A code page the converter lacks converts nothing: the
    // name is kept, and the engine refuses the code page.
    std::string encode(py::handle name, const char* argument, const char* what) const {
        if (PyBytes_Check(name.ptr())) return std::string(py::reinterpret_borrow<py::bytes>(name));
        if (!PyUnicode_Check(name.ptr())) raiseWrongType(argument, what, name);
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(name.ptr(), &size);
        if (utf8 == nullptr) throw py::error_already_set();
        const std::string_view given(utf8, static_cast<std::size_t>(size));
        std::string converted = kestrune::platform::utf8ToCodePage(given, codePage);
        return converted.empty() ? std::string(given) : converted;
    }
};

// The attribute names `attrs` stands for, each a str or bytes as given: a str or bytes
// alone is a list of names split at "," and ";" with the spaces around each trimmed,
// as the command line's -attr; any other iterable holds one name per item; None none.
std::vector<py::object> attributeNames(py::handle attrs) {
    std::vector<py::object> names;
    if (attrs.is_none()) return names;
    PyObject* list = attrs.ptr();
    if (PyUnicode_Check(list) || PyBytes_Check(list)) {
        const bool text = PyUnicode_Check(list);
        Py_ssize_t size = 0;
        const char* bytes = text ? PyUnicode_AsUTF8AndSize(list, &size) : PyBytes_AS_STRING(list);
        if (bytes == nullptr) throw py::error_already_set();
        if (!text) size = PyBytes_GET_SIZE(list);
        // "," ";" and " " are single bytes in UTF-8: the pieces of a str are whole
        // characters.
        for (const std::string_view name :
             kestrune::splitNameList(std::string_view(bytes, static_cast<std::size_t>(size)))) {
            const auto length = static_cast<Py_ssize_t>(name.size());
            PyObject* item = text ? PyUnicode_DecodeUTF8(name.data(), length, "strict")
                                  : PyBytes_FromStringAndSize(name.data(), length);
            if (item == nullptr) throw py::error_already_set();
            names.push_back(py::reinterpret_steal<py::object>(item));
        }
        return names;
    }
    const auto items = py::reinterpret_steal<py::object>(PyObject_GetIter(list));
    if (!items) {
        if (PyErr_ExceptionMatches(PyExc_TypeError) == 0) throw py::error_already_set();
        PyErr_Clear();
        raiseWrongType("attrs", "str, bytes, an iterable of names or None", attrs);
    }
    while (PyObject* item = PyIter_Next(items.ptr())) {
        auto name = py::reinterpret_steal<py::object>(item);
        if (!PyUnicode_Check(item) && !PyBytes_Check(item))
            raiseWrongType("each name in attrs", "str or bytes", name);
        names.push_back(std::move(name));
    }
    if (PyErr_Occurred() != nullptr) throw py::error_already_set();
    return names;
}

// Releases a buffer taken from an object when it goes out of scope.
struct HeldBuffer {
    Py_buffer view{};
    HeldBuffer() = default;
    HeldBuffer(const HeldBuffer&) = delete;
    HeldBuffer& operator=(const HeldBuffer&) = delete;
    ~HeldBuffer() {
        if (view.obj != nullptr) PyBuffer_Release(&view);
    }
};

[[noreturn]] void raiseFor(kestrune::Status status, unsigned codePage);

// The page's bytes: bytes and str are read in place (both immutable); any other buffer
// of single bytes in one block (bytearray, memoryview, mmap, array('B')) is copied into
// `copy`, since another thread could change it while the page is parsed without the
// GIL. A buffer too large for the engine is refused before it is copied.
std::string_view pageBytes(py::handle page, std::string& copy, unsigned codePage) {
    PyObject* object = page.ptr();
    if (PyBytes_Check(object)) {
        return std::string_view(PyBytes_AS_STRING(object),
                                static_cast<std::size_t>(PyBytes_GET_SIZE(object)));
    }
    if (PyUnicode_Check(object)) {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size);
        if (utf8 == nullptr) throw py::error_already_set();
        return std::string_view(utf8, static_cast<std::size_t>(size));
    }
    if (!PyObject_CheckBuffer(object))
        raiseWrongType("page", "bytes, str or a buffer of bytes", page);
    HeldBuffer buffer;
    if (PyObject_GetBuffer(object, &buffer.view, PyBUF_FULL_RO) != 0) throw py::error_already_set();
    if (buffer.view.itemsize != 1) {
        raise(PyExc_TypeError, "page must be a buffer of 1-byte items, not " + typeName(page) +
                                   " of " + std::to_string(buffer.view.itemsize) + "-byte items");
    }
    if (PyBuffer_IsContiguous(&buffer.view, 'C') == 0) {
        raise(PyExc_TypeError,
              "page must be a contiguous buffer, not a non-contiguous " + typeName(page));
    }
    if (buffer.view.len >= kestrune::kMaxInputBytes)
        raiseFor(kestrune::Status::PageTooLarge, codePage);
    copy.assign(static_cast<const char*>(buffer.view.buf),
                static_cast<std::size_t>(buffer.view.len));
    return copy;
}

kestrune::TextForm textFormOf(py::handle text) {
    constexpr const char* kForms = "\"written\" or \"reported\"";
    if (!PyUnicode_Check(text.ptr())) raiseWrongType("text", kForms, text);
    const std::string form = py::reinterpret_borrow<py::str>(text);
    if (form == "written") return kestrune::TextForm::Written;
    if (form == "reported") return kestrune::TextForm::Reported;
    raise(PyExc_ValueError,
          std::string("text must be ") + kForms + ", not " + std::string(py::repr(text)));
}

// A code page number: an int, or any object with __index__ but a bool.
unsigned codePageOf(py::handle codepage) {
    if (PyBool_Check(codepage.ptr()) || !PyIndex_Check(codepage.ptr()))
        raiseWrongType("codepage", "an int", codepage);
    const auto number = py::reinterpret_steal<py::object>(PyNumber_Index(codepage.ptr()));
    if (!number) throw py::error_already_set();
    // Numbers beyond long long are refused like any other out of range.
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (value == -1 && PyErr_Occurred() != nullptr) throw py::error_already_set();
    if (overflow != 0 || value <= 0 || value > 0xFFFFFFFFLL) {
        raise(PyExc_ValueError,
              "codepage must be a positive Windows code page number (65001 is UTF-8, "
              "kestrune.UTF8; 936 is GBK), not " +
                  std::string(py::repr(number)));
    }
    return static_cast<unsigned>(value);
}

bool asBytesOf(py::handle asBytes) {
    if (!PyBool_Check(asBytes.ptr())) raiseWrongType("as_bytes", "True or False", asBytes);
    return asBytes.ptr() == Py_True;
}

// Raises the exception for a report that failed.
[[noreturn]] void raiseFor(kestrune::Status status, unsigned codePage) {
    const std::string reason(kestrune::describe(status));
    if (status == kestrune::Status::CodePageUnusable) {
        raise(PyExc_ValueError, "code page " + std::to_string(codePage) + ": " + reason +
                                    " (the converter lacks it, or it writes ASCII in other "
                                    "bytes, as UTF-16 does): use one that keeps ASCII, such "
                                    "as 65001 (kestrune.UTF8)");
    }
    PyObject* type = errorOf(status);
    raise(type != nullptr ? type : PyExc_ValueError, reason);
}

py::object elementsOf(const kestrune::Report& report, const std::vector<py::object>& keys,
                      const ValueMaker& make) {
    // A key repeated (an attribute asked for twice, or one named "text") keeps its first
    // value, as in the program's JSON file.
    std::vector<bool> repeated(keys.size(), false);
    py::dict seen;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        repeated[k] = seen.contains(keys[k]);
        seen[keys[k]] = py::none();
    }
    return listOf(report.size(), [&](std::size_t i) {
        py::dict element;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (repeated[k]) continue;
            py::object value = make(report.value(i, k));
            if (PyDict_SetItem(element.ptr(), keys[k].ptr(), value.ptr()) != 0) {
                throw py::error_already_set();
            }
        }
        return element;
    });
}

// How a page's bytes are read: as they are (extract's default), in the encoding found
// by detectEncoding ("auto"), or in one named by the caller; the last two read the page
// as UTF-8 converted from that encoding.
struct PageEncoding {
    enum class Kind { AsItIs, Detected, Named } kind = Kind::AsItIs;
    kestrune::Encoding named{};
};

PageEncoding pageEncodingOf(py::handle encoding, bool noneAllowed) {
    if (noneAllowed && encoding.is_none()) return {};
    if (!PyUnicode_Check(encoding.ptr())) {
        raiseWrongType(
            "encoding",
            noneAllowed ? "\"auto\", an encoding name or None" : "\"auto\" or an encoding name",
            encoding);
    }
    const std::string name = py::reinterpret_borrow<py::str>(encoding);
    if (name == "auto") return {PageEncoding::Kind::Detected, {}};
    const kestrune::Encoding named = kestrune::encodingNamed(name);
    if (named.codePage == 0)
        raise(PyExc_ValueError, "unknown encoding " + std::string(py::repr(encoding)));
    return {PageEncoding::Kind::Named, named};
}

// A str page is UTF-8 whatever its meta declaration says: it was text already.
PageEncoding encodingFor(py::handle page, PageEncoding encoding) {
    if (PyUnicode_Check(page.ptr()) && encoding.kind == PageEncoding::Kind::Detected)
        return {PageEncoding::Kind::Named, kestrune::encodingNamed("utf-8")};
    return encoding;
}

// The page as the engine reads it (called without the GIL: converting is a pass over
// the page).
std::string_view readableBytes(std::string_view page, const PageEncoding& encoding,
                               std::string& storage) {
    switch (encoding.kind) {
        case PageEncoding::Kind::AsItIs:
            break;
        case PageEncoding::Kind::Detected:
            return kestrune::toUtf8(page, kestrune::detectEncoding(page), storage);
        case PageEncoding::Kind::Named:
            return kestrune::toUtf8(page, encoding.named, storage);
    }
    return page;
}

// Ctrl+C stops a long call: the engine asks now and then, and the signal handlers run
// (with the GIL) at most every 20 ms. The handler's exception (KeyboardInterrupt) is
// left pending for the caller to raise.
std::function<bool()> signalCheck() {
    auto next =
        std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    return [next] {
        const auto now = std::chrono::steady_clock::now();
        if (now < *next) return false;
        *next = now + std::chrono::milliseconds(20);
        py::gil_scoped_acquire held;
        return PyErr_CheckSignals() != 0;
    };
}

// Runs the request on the page, without the GIL; raises for a report that failed.
kestrune::Report run(py::handle page, kestrune::Request& request, const PageEncoding& encoding) {
    const PageEncoding readAs = encodingFor(page, encoding);
    std::string copy;
    const std::string_view bytes = pageBytes(page, copy, request.codePage);
    request.interrupted = signalCheck();
    kestrune::Report report;
    {
        py::gil_scoped_release released;
        std::string storage;
        report = kestrune::extract(readableBytes(bytes, readAs, storage), request);
    }
    if (report.status() == kestrune::Status::Interrupted) throw py::error_already_set();
    if (!report) raiseFor(report.status(), request.codePage);
    return report;
}

// The attribute names of a request, converted for the engine, and the dict keys of its
// elements: "text", then the names as given, or "attr".
std::vector<py::object> requestAttributes(py::handle attrs, const ValueMaker& make,
                                          kestrune::Request& request) {
    std::vector<py::object> keys{py::str("text")};
    for (py::object& name : attributeNames(attrs)) {
        request.attributes.push_back(make.encode(name, "each name in attrs", "str or bytes"));
        keys.push_back(std::move(name));
    }
    if (request.attributes.empty()) keys.push_back(py::str("attr"));
    return keys;
}

py::object extract(py::handle page, py::handle tag, py::handle attrs, py::handle codepage,
                   py::handle text, py::handle asBytes, py::handle encoding) {
    kestrune::Request request;
    request.codePage = codePageOf(codepage);
    request.text = textFormOf(text);
    const PageEncoding readAs = pageEncodingOf(encoding, true);
    const ValueMaker make{request.codePage, asBytesOf(asBytes)};

    request.tag = make.encode(tag, "tag", "str or bytes");
    const std::vector<py::object> keys = requestAttributes(attrs, make, request);
    const kestrune::Report report = run(page, request, readAs);

    switch (report.mode()) {
        case kestrune::ReportMode::Doctype:
            return make(report.doctype());
        case kestrune::ReportMode::RawBlocks:
            return listOf(report.size(), [&](std::size_t i) { return make(report.block(i)); });
        case kestrune::ReportMode::Elements:
            break;
    }
    // A doctype asked for on a page that has none reports the elements of that name;
    // when there are none either, the answer is None.
    if (report.lacksDoctype() && report.size() == 0) return py::none();
    return elementsOf(report, keys, make);
}

// ----- Selectors -----

PyObject* selectorError = nullptr;

// A compiled selector, or SelectorError with the message and its offset.
kestrune::Selector compileSelector(py::handle text) {
    if (!PyUnicode_Check(text.ptr())) raiseWrongType("selector", "str or kestrune.Selector", text);
    const std::string source = py::reinterpret_borrow<py::str>(text);
    kestrune::Selector selector = kestrune::Selector::compile(source);
    if (selector) return selector;
    const kestrune::SelectorError& error = selector.error();
    const auto exception = py::reinterpret_steal<py::object>(
        PyObject_CallFunction(selectorError, "s", error.message.c_str()));
    if (!exception) throw py::error_already_set();
    exception.attr("offset") = error.offset;
    exception.attr("selector") = text;
    PyErr_SetObject(selectorError, exception.ptr());
    throw py::error_already_set();
}

// A kestrune.Selector as it is, or a str compiled.
kestrune::Selector selectorOf(py::handle selector) {
    if (py::isinstance<kestrune::Selector>(selector)) return selector.cast<kestrune::Selector>();
    return compileSelector(selector);
}

py::object select(py::handle page, py::handle selector, py::handle attrs, py::handle text,
                  py::handle encoding) {
    kestrune::Request request;
    request.selector = selectorOf(selector);
    request.text = textFormOf(text);
    const PageEncoding readAs = pageEncodingOf(encoding, false);
    const ValueMaker make{kestrune::kUtf8, false};
    const std::vector<py::object> keys = requestAttributes(attrs, make, request);
    return elementsOf(run(page, request, readAs), keys, make);
}

// ----- The tree -----

using Tree = std::shared_ptr<const kestrune::HtmlDocument>;

// An element of a parsed page; it keeps the page alive. Made only when Python asks for
// it: equal to any other made for the same element.
struct Element {
    Tree tree;
    const kestrune::HtmlElement* element;
};

struct Document {
    Tree tree;
};

py::object elementOrNone(const Tree& tree, const kestrune::HtmlElement* element) {
    if (element == nullptr) return py::none();
    return py::cast(Element{tree, element});
}

py::list elementList(const Tree& tree, const kestrune::ElementList& elements) {
    return listOf(elements.size(), [&](std::size_t i) {
        return py::cast(Element{tree, elements[i]});
    });
}

py::str utf8Text(std::string_view bytes) {
    PyObject* value = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                           "surrogateescape");
    if (value == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(value);
}

// A text as written: character references decoded, except in comments, scripts and
// styles, whose content is kept as it is.
py::str writtenText(const kestrune::HtmlElement& e, std::string_view text) {
    if (e.isComment() || e.isScript() || e.isStyle()) return utf8Text(text);
    std::string decoded;
    kestrune::appendDecoded(decoded, text);
    return utf8Text(decoded);
}

// The element after `e` in document order within the subtree of `top`, or null: the
// first child, else the next sibling of `e` or of its nearest ancestor below `top`.
const kestrune::HtmlElement* following(const kestrune::HtmlElement* e,
                                       const kestrune::HtmlElement* top) {
    if (const kestrune::HtmlElement* child = e->firstChild()) return child;
    for (; e != top; e = e->parent()) {
        if (const kestrune::HtmlElement* sibling = e->nextSibling()) return sibling;
    }
    return nullptr;
}

// Iterates over an element and the elements below it, in document order, without
// recursion; with a tag, only those of that name (ASCII case ignored).
struct ElementIterator {
    Tree tree;
    const kestrune::HtmlElement* top;
    const kestrune::HtmlElement* next;
    std::string tag;

    Element step() {
        while (next != nullptr) {
            const kestrune::HtmlElement* e = next;
            next = following(e, top);
            if (tag.empty() || kestrune::equalsIgnoreCase(e->tagName(), tag)) return {tree, e};
        }
        throw py::stop_iteration();
    }
};

std::string tagOf(py::handle tag) {
    if (tag.is_none()) return {};
    if (!PyUnicode_Check(tag.ptr())) raiseWrongType("tag", "str or None", tag);
    return py::reinterpret_borrow<py::str>(tag);
}

ElementIterator iterate(const Tree& tree, const kestrune::HtmlElement* top, py::handle tag) {
    return {tree, top, top, tagOf(tag)};
}

py::object selectFrom(const Tree& tree, const kestrune::HtmlElement* scope, py::handle css) {
    const kestrune::Selector selector = selectorOf(css);
    kestrune::ElementList found;
    {
        py::gil_scoped_release released;
        found = scope != nullptr ? kestrune::select(*scope, selector)
                                 : kestrune::select(*tree, selector);
    }
    return elementList(tree, found);
}

py::object selectOneFrom(const Tree& tree, const kestrune::HtmlElement* scope, py::handle css) {
    const kestrune::Selector selector = selectorOf(css);
    const kestrune::HtmlElement* found;
    {
        py::gil_scoped_release released;
        found = scope != nullptr ? kestrune::selectFirst(*scope, selector)
                                 : kestrune::selectFirst(*tree, selector);
    }
    return elementOrNone(tree, found);
}

Document parse(py::handle page, py::handle encoding, bool htmlWhitespace) {
    const PageEncoding readAs = encodingFor(page, pageEncodingOf(encoding, false));
    std::string copy;
    const std::string_view bytes = pageBytes(page, copy, kestrune::kUtf8);
    auto document = std::make_shared<kestrune::HtmlDocument>();
    document->setCodePage(kestrune::kUtf8);
    document->setHtmlWhitespace(htmlWhitespace);
    bool parsed = false;
    bool tooLarge = false;
    {
        py::gil_scoped_release released;
        std::string storage;
        const std::string_view text = readableBytes(bytes, readAs, storage);
        tooLarge = kestrune::isTooLargeInput(text.size());
        parsed = !tooLarge && document->parse(text);
    }
    if (!parsed) {
        raiseFor(tooLarge ? kestrune::Status::PageTooLarge : kestrune::Status::NoRoot,
                 kestrune::kUtf8);
    }
    return {std::move(document)};
}

py::dict attributeDict(const kestrune::HtmlElement& e) {
    py::dict attrs;
    std::string value;
    for (const std::string& word : e.valuelessAttributes()) attrs[utf8Text(word)] = py::str();
    for (const auto& [name, raw] : e.attributes()) {
        value.clear();
        e.getAttribute(name, value);
        attrs[utf8Text(name)] = utf8Text(value);
    }
    return attrs;
}

// The serialiser's HTML with LF line ends, as the module's texts have them, without
// the indent of its first line (lines below keep theirs: it is the element's depth).
std::string withLfLineEnds(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size() && html[i] == ' ') ++i;
    for (; i < html.size(); ++i) {
        if (html[i] == '\r' && i + 1 < html.size() && html[i + 1] == '\n') continue;
        out += html[i];
    }
    return out;
}

void defineTree(py::module_& m) {
    py::class_<Element>(m, "Element",
                        "An element of a parsed page, made by a Document or another Element; "
                        "it keeps its Document alive. Two are equal when they are the same "
                        "element.")
        .def_property_readonly(
            "tag", [](const Element& e) { return utf8Text(e.element->tagName()); },
            "The tag name as written (letter case kept); \"!--\" for a comment.")
        .def_property_readonly(
            "attrs", [](const Element& e) { return attributeDict(*e.element); },
            "The attributes as a dict of str: the valueless words of the start tag with the "
            "value \"\", then each name with its decoded value (the first value of a name).")
        .def(
            "get",
            [](const Element& e, const std::string& name, py::object fallback) -> py::object {
                std::string value;
                if (e.element->getAttribute(name, value)) return utf8Text(value);
                for (const std::string& word : e.element->valuelessAttributes()) {
                    if (kestrune::equalsIgnoreCase(word, name)) return py::str();
                }
                return fallback;
            },
            py::arg("name"), py::arg("default") = py::none(),
            "get(name, default=None)\n\n"
            "The decoded value of attribute `name` (ASCII case "
            "ignored), \"\" for a valueless word of that name, else `default`.")
        .def_property_readonly(
            "text",
            [](const Element& e) { return writtenText(*e.element, e.element->ownTextAsWritten()); },
            "The text between the start tag and the first child, as written (white space "
            "kept), character references decoded; the raw content of a comment, script or "
            "style element.")
        .def_property_readonly(
            "tail",
            [](const Element& e) { return writtenText(*e.element, e.element->tailAsWritten()); },
            "The text after the element inside its parent, as `text` is given; \"\" at the "
            "top level.")
        .def(
            "text_content",
            [](const Element& e, bool squeeze) {
                std::string text;
                kestrune::TextRuns({e.element}, true).appendText(0, text);
                return utf8Text(squeeze ? kestrune::squeezeSpaces(text) : text);
            },
            py::arg("squeeze") = true,
            "text_content(squeeze=True)\n\n"
            "The text of the element and of every element below it, with the tails of "
            "those (not its own), character references decoded; with squeeze each run of "
            "white space is one space, none at either end.")
        .def_property_readonly(
            "html",
            [](const Element& e) {
                std::string html;
                if (e.element->outerHtml(html, 0) < 0) {
                    raiseFor(kestrune::Status::ReportTooLarge, kestrune::kUtf8);
                }
                return utf8Text(withLfLineEnds(html));
            },
            "The element and its subtree as indented HTML, LF line ends. "
            "Raises kestrune.ReportTooLargeError when it would be too long.")
        .def_property_readonly(
            "parent", [](const Element& e) { return elementOrNone(e.tree, e.element->parent()); },
            "The parent element; None at the top level.")
        .def_property_readonly(
            "children",
            [](const Element& e) {
                kestrune::ElementList children;
                for (const kestrune::HtmlElement& c : e.element->children()) children.push_back(&c);
                return elementList(e.tree, children);
            },
            "The child elements in source order, as a list.")
        .def(
            "iter",
            [](const Element& e, py::handle tag) { return iterate(e.tree, e.element, tag); },
            py::arg("tag") = py::none(),
            "iter(tag=None)\n\n"
            "An iterator over the element and every element below it, in "
            "document order; with a tag, only those of that name (ASCII case ignored).")
        .def(
            "find_all",
            [](const Element& e, const std::string& tag) {
                kestrune::ElementList found;
                e.element->findByTag(tag, found, 1);
                return elementList(e.tree, found);
            },
            py::arg("tag"),
            "find_all(tag)\n\n"
            "The elements below this one named `tag` (ASCII case ignored), in "
            "document order, as a list.")
        .def(
            "select",
            [](const Element& e, py::handle css) { return selectFrom(e.tree, e.element, css); },
            py::arg("selector"),
            "select(selector)\n\n"
            "The elements below this one a CSS selector (a str or a "
            "kestrune.Selector) matches, in document order; the whole page is the context "
            "(\"div p\" finds a p whose div is above this element). A str that does not "
            "compile raises kestrune.SelectorError.")
        .def(
            "select_one",
            [](const Element& e, py::handle css) { return selectOneFrom(e.tree, e.element, css); },
            py::arg("selector"),
            "select_one(selector)\n\n"
            "The first of select(selector), or None.")
        .def("__eq__",
             [](const Element& e, py::handle other) -> py::object {
                 if (!py::isinstance<Element>(other))
                     return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                 return py::bool_(other.cast<const Element&>().element == e.element);
             })
        .def("__hash__", [](const Element& e) { return std::hash<const void*>()(e.element); })
        .def("__repr__", [](const Element& e) {
            return "<kestrune.Element " + std::string(py::repr(utf8Text(e.element->tagName()))) +
                   ">";
        });

    py::class_<ElementIterator>(m, "ElementIterator")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &ElementIterator::step);

    py::class_<Document>(m, "Document", "A parsed page (kestrune.parse): its tree of elements.")
        .def_property_readonly(
            "root", [](const Document& d) { return elementOrNone(d.tree, d.tree->root()); },
            "The root element: the last top-level html element, else the first other one.")
        .def_property_readonly(
            "doctype",
            [](const Document& d) -> py::object {
                const kestrune::HtmlElement* doctype = d.tree->doctype();
                if (doctype == nullptr) return py::none();
                return utf8Text(doctype->attributesString());
            },
            "The words of the document type; None when the page has none.")
        .def(
            "iter",
            [](const Document& d, py::handle tag) { return iterate(d.tree, d.tree->root(), tag); },
            py::arg("tag") = py::none(),
            "iter(tag=None)\n\n"
            "An iterator over the root and every element below it, in document order; "
            "with a tag, only those of that name (ASCII case ignored).")
        .def(
            "find_all",
            [](const Document& d, const std::string& tag) {
                const kestrune::HtmlElement& root = *d.tree->root();
                kestrune::ElementList found;
                if (kestrune::equalsIgnoreCase(root.tagName(), tag)) found.push_back(&root);
                root.findByTag(tag, found, 1);
                return elementList(d.tree, found);
            },
            py::arg("tag"),
            "find_all(tag)\n\n"
            "The root, when it is named `tag`, and the elements below it so "
            "named (ASCII case ignored), in document order.")
        .def(
            "select",
            [](const Document& d, py::handle css) { return selectFrom(d.tree, nullptr, css); },
            py::arg("selector"),
            "select(selector)\n\n"
            "The root and the elements below it a CSS selector (a str or a "
            "kestrune.Selector) matches, in document order.")
        .def(
            "select_one",
            [](const Document& d, py::handle css) { return selectOneFrom(d.tree, nullptr, css); },
            py::arg("selector"),
            "select_one(selector)\n\n"
            "The first of select(selector), or None.");
}

void defineSelector(py::module_& m) {
    selectorError = newError(m, "SelectorError",
                             "A CSS selector that does not compile: the message says why and "
                             "ends in the offset, also in the attribute `offset`.",
                             PyExc_ValueError);
    py::class_<kestrune::Selector> selector(
        m, "Selector",
        "Selector(text)\n\n"
        "A compiled CSS selector list, reusable, immutable, picklable by its "
        "text; raises kestrune.SelectorError when the text does not compile.");
    selector.def(py::init([](py::handle text) { return compileSelector(text); }), py::arg("text"))
        .def_property_readonly(
            "text", [](const kestrune::Selector& s) { return utf8Text(s.text()); },
            "The text it was compiled from.")
        .def("__str__", [](const kestrune::Selector& s) { return utf8Text(s.text()); })
        .def("__repr__",
             [](const kestrune::Selector& s) {
                 return "kestrune.Selector(" + std::string(py::repr(utf8Text(s.text()))) + ")";
             })
        .def("__eq__",
             [](const kestrune::Selector& s, py::handle other) -> py::object {
                 if (!py::isinstance<kestrune::Selector>(other))
                     return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                 return py::bool_(other.cast<const kestrune::Selector&>().text() == s.text());
             })
        .def("__hash__", [](const kestrune::Selector& s) { return py::hash(utf8Text(s.text())); })
        .def("__reduce__", [selector](const kestrune::Selector& s) {
            return py::make_tuple(selector, py::make_tuple(utf8Text(s.text())));
        });
    selector.attr("__module__") = "kestrune";
}

py::list attributeNameList(py::handle attrs) {
    py::list list;
    for (py::object& name : attributeNames(attrs)) list.append(std::move(name));
    return list;
}

// Raises ImportError in a subinterpreter. The package calls it first, for a
// subinterpreter that finds the module already imported in the main one (Python then
// copies it without calling PyInit__kestrune). Written to the C API: pybind11's own
// error path would wait for ever there too.
PyObject* requireMainInterpreter(PyObject*, PyObject*) {
    if (inMainInterpreter()) Py_RETURN_NONE;
    PyErr_SetString(PyExc_ImportError, kOnlyMainInterpreter);
    return nullptr;
}

PyMethodDef plainFunctions[] = {
    {"require_main_interpreter", requireMainInterpreter, METH_NOARGS,
     "Raises ImportError in a subinterpreter, where the module cannot work."},
    {nullptr, nullptr, 0, nullptr},
};

void defineModule(py::module_& m) {
    // The docstrings' first lines are the signatures, in Python's terms.
    py::options options;
    options.disable_function_signatures();
    m.doc() = "The Kestrune engine under the package kestrune: call kestrune.extract.";
    m.attr("__version__") = KESTRUNE_VERSION_STRING;
    m.attr("UTF8") = kestrune::kUtf8;
    m.attr("MAX_PAGE_BYTES") = kestrune::kMaxInputBytes;

    PyObject* base = newError(m, "Error", "A page Kestrune cannot read.", PyExc_Exception);
    errors[static_cast<std::size_t>(kestrune::Status::PageTooLarge)] =
        newError(m, "PageTooLargeError", "The page is 10 MiB (10,485,760 bytes) or larger.", base);
    errors[static_cast<std::size_t>(kestrune::Status::ConversionFailed)] =
        newError(m, "ConversionError", "The page could not be converted to the code page.", base);
    errors[static_cast<std::size_t>(kestrune::Status::NoRoot)] =
        newError(m, "NoRootError",
                 "The page has no element to read: empty, a NUL byte first, or only a "
                 "document type.",
                 base);
    errors[static_cast<std::size_t>(kestrune::Status::ReportTooLarge)] =
        newError(m, "ReportTooLargeError",
                 "The report would be larger than its limit: 64 times the page, at least "
                 "16 MiB, at most 1 GiB (nested elements each hold the text of those below "
                 "them, so a small page can ask for gigabytes).",
                 base);

    m.def("extract", &extract,
          "extract(page, tag, attrs, codepage, text, as_bytes, encoding): kestrune.extract, "
          "every argument given");
    defineSelector(m);
    m.def("select", &select,
          "select(page, selector, attrs, text, encoding)\n\n"
          "Kestrune.select, every argument "
          "given");
    defineTree(m);
    m.def("parse", &parse,
          "parse(page, encoding, html_whitespace): kestrune.parse, every argument given");
    m.def("attribute_names", &attributeNameList,
          "attribute_names(attrs): the list of names attrs stands for in kestrune.extract");
    if (PyModule_AddFunctions(m.ptr(), plainFunctions) != 0) throw py::error_already_set();
}

}  // namespace

// The module's entry point, written out rather than by PYBIND11_MODULE so that a
// subinterpreter is refused before pybind11 sets up its state in it.
PYBIND11_PLUGIN_IMPL(_kestrune) {
    if (!inMainInterpreter()) {
        PyErr_SetString(PyExc_ImportError, kOnlyMainInterpreter);
        return nullptr;
    }
    PYBIND11_CHECK_PYTHON_VERSION
    PYBIND11_ENSURE_INTERNALS_READY
    static py::module_::module_def definition;
    auto m = py::module_::create_extension_module("_kestrune", nullptr, &definition);
    try {
        defineModule(m);
        return m.ptr();
    }
    PYBIND11_CATCH_INIT_EXCEPTIONS
}
