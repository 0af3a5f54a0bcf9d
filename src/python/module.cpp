// SPDX-License-Identifier: MIT
// kestrune._kestrune: the one-call API for Python. extract() takes a page as bytes (or a
// str, encoded as UTF-8), parses it with the GIL released, and turns the report into
// Python objects: dicts of str for elements, str for raw blocks and the doctype, each
// value decoded from the request's code page (or bytes on request).
#include <Python.h>
#include <pybind11/pybind11.h>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrune/extract.h"

namespace py = pybind11;

namespace {

// The exception class of each failed status that has one of its own (ValueError for the
// others), created once when the module is first imported.
std::array<PyObject*, static_cast<std::size_t>(kestrune::Status::NoRoot) + 1> errors{};

PyObject*& errorOf(kestrune::Status status) { return errors[static_cast<std::size_t>(status)]; }

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

// The TypeError for an argument of the wrong type: "<what must be>, not <its type>".
[[noreturn]] void raiseWrongType(const std::string& what, py::handle object) {
    throw py::type_error(what + ", not " +
                         std::string(py::str(py::type::handle_of(object).attr("__name__"))));
}

// A list of `size` items made by item(i).
template <typename Item>
py::list listOf(std::size_t size, Item item) {
    py::list list(static_cast<Py_ssize_t>(size));
    for (std::size_t i = 0; i < size; ++i) {
        PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), item(i).release().ptr());
    }
    return list;
}

// The Python codec that decodes values in Windows code page `page`: those whose Python
// name is not "cp<number>", then "cp<number>" when Python has it; "" when it has none.
std::string codecOf(unsigned page) {
    static const std::pair<unsigned, const char*> named[] = {
        {65001, "utf-8"},      {20127, "ascii"},     {54936, "gb18030"},   {20866, "koi8_r"},
        {21866, "koi8_u"},     {51932, "euc_jp"},    {51949, "euc_kr"},    {52936, "hz"},
        {50220, "iso2022_jp"}, {10000, "mac_roman"}, {28591, "iso8859_1"}, {28592, "iso8859_2"},
        {28593, "iso8859_3"},  {28594, "iso8859_4"}, {28595, "iso8859_5"}, {28596, "iso8859_6"},
        {28597, "iso8859_7"},  {28598, "iso8859_8"}, {28599, "iso8859_9"}, {28603, "iso8859_13"},
        {28605, "iso8859_15"},
    };
    for (const auto& [number, name] : named) {
        if (number == page) return name;
    }
    std::string name = "cp" + std::to_string(page);
    if (PyCodec_KnownEncoding(name.c_str()) != 0) return name;
    PyErr_Clear();
    return "";
}

// Turns report bytes into the values the caller asked for: str decoded by the code page's
// codec, bytes that cannot be decoded kept as surrogate escapes, or bytes themselves.
struct ValueMaker {
    std::string codec;
    bool asBytes;
    bool utf8 = codec == "utf-8";

    py::object operator()(std::string_view bytes) const {
        PyObject* value;
        if (asBytes) {
            value = PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
        } else if (utf8) {
            value = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                         "surrogateescape");
        } else {
            value = PyUnicode_Decode(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                     codec.c_str(), "surrogateescape");
        }
        if (value == nullptr) throw py::error_already_set();
        return py::reinterpret_steal<py::object>(value);
    }

    // A tag or attribute name in the code page: str encoded by its codec (UTF-8 when
    // Python has none), bytes as they are.
    std::string encode(py::handle name, const char* what) const {
        if (PyBytes_Check(name.ptr())) return std::string(py::reinterpret_borrow<py::bytes>(name));
        if (!PyUnicode_Check(name.ptr()))
            raiseWrongType(std::string(what) + " must be str or bytes", name);
        const char* encoding = codec.empty() ? "utf-8" : codec.c_str();
        PyObject* encoded = PyUnicode_AsEncodedString(name.ptr(), encoding, "strict");
        if (encoded == nullptr) throw py::error_already_set();
        return std::string(py::reinterpret_steal<py::bytes>(encoded));
    }
};

// The page's bytes: bytes and str are read in place (both immutable); any other buffer
// (bytearray, memoryview, mmap) is copied into `copy`, since another thread could change
// it while the page is parsed without the GIL.
std::string_view pageBytes(py::handle page, std::string& copy) {
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
    if (!PyObject_CheckBuffer(object)) raiseWrongType("page must be bytes or str", page);
    Py_buffer buffer;
    if (PyObject_GetBuffer(object, &buffer, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    copy.assign(static_cast<const char*>(buffer.buf), static_cast<std::size_t>(buffer.len));
    PyBuffer_Release(&buffer);
    return copy;
}

kestrune::TextForm textFormOf(const std::string& text) {
    if (text == "written") return kestrune::TextForm::Written;
    if (text == "reported") return kestrune::TextForm::Reported;
    throw py::value_error("text must be \"written\" or \"reported\", not \"" + text + "\"");
}

unsigned codePageOf(const py::int_& codepage) {
    // Numbers beyond long long are refused like any other out of range.
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(codepage.ptr(), &overflow);
    if (number <= 0 || number > 0xFFFFFFFFLL) {
        throw py::value_error(
            "codepage must be a Windows code page number (65001 is UTF-8, 936 "
            "GBK), not " +
            std::string(py::repr(codepage)));
    }
    return static_cast<unsigned>(number);
}

// Raises the exception for a report that failed.
[[noreturn]] void raiseFor(kestrune::Status status, unsigned codePage) {
    const std::string reason(kestrune::describe(status));
    if (status == kestrune::Status::CodePageUnusable) {
        raise(PyExc_ValueError, "code page " + std::to_string(codePage) + ": " + reason);
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

py::object extract(py::handle page, py::handle tag, py::handle attrs, const py::int_& codepage,
                   const std::string& text, bool asBytes) {
    kestrune::Request request;
    request.codePage = codePageOf(codepage);
    request.text = textFormOf(text);
    std::string codec = codecOf(request.codePage);
    if (codec.empty() && !asBytes) {
        throw py::value_error("code page " + std::to_string(request.codePage) +
                              " has no Python codec: ask for bytes values (as_bytes=True)");
    }
    const ValueMaker make{std::move(codec), asBytes};

    request.tag = make.encode(tag, "tag");
    // The dict keys: "text", then the attribute names as given, or "attr".
    std::vector<py::object> keys{py::str("text")};
    if (!attrs.is_none()) {
        // One name may be given as a str (or bytes) of its own.
        const bool one = PyUnicode_Check(attrs.ptr()) || PyBytes_Check(attrs.ptr());
        const py::object names =
            one ? py::object(py::make_tuple(attrs)) : py::reinterpret_borrow<py::object>(attrs);
        for (py::handle name : py::iter(names)) {
            request.attributes.push_back(make.encode(name, "attribute name"));
            keys.push_back(py::reinterpret_borrow<py::object>(name));
        }
    }
    if (request.attributes.empty()) keys.push_back(py::str("attr"));

    std::string copy;
    const std::string_view bytes = pageBytes(page, copy);
    kestrune::Report report;
    {
        py::gil_scoped_release released;
        report = kestrune::extract(bytes, request);
    }
    if (!report) raiseFor(report.status(), request.codePage);

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
    if (report.size() == 0 &&
        kestrune::reportModeOf(request.tag) == kestrune::ReportMode::Doctype) {
        return py::none();
    }
    return elementsOf(report, keys, make);
}

constexpr const char* kExtractDoc =
    R"(extract(page, tag, attrs=None, *, codepage=65001, text="written", as_bytes=False)

Reads one HTML page and returns what `tag` asks of it.

page      bytes (or bytearray, memoryview) or str (encoded as UTF-8). A page that is
          valid UTF-8 with a non-ASCII byte is converted to `codepage` before it is read.
tag       the tag name (ASCII case ignored): "script", "style" and "!--" give raw
          blocks, "!doctype" and "doctype" the document type, any other name elements.
attrs     attribute names to report, in order (one name may be given as a str);
          None or empty: each element's whole attribute list, under "attr".
codepage  the Windows code page number the report is in: 65001 (UTF-8), 936 (GBK), ...
text      "written": texts with character references decoded and every space kept;
          "reported": as the command line reports them (element texts without CR, LF,
          TAB and spaces, attribute values without CR, LF and TAB).
as_bytes  values as bytes in the code page instead of str.

Returns, by the tag:
  elements    a list of dicts, one per element in document order: "text", then each
              asked attribute ("" when the element lacks it; a name repeated, or an
              attribute named "text", keeps the first value), or "attr".
  raw blocks  a list of str, each block as HTML (start tag, content, end tag).
  doctype     a str with the document type's words; None when the page has none (or,
              as the command line does then, the list of elements named so, if any).
Bytes that are not valid in the code page are kept as surrogate escapes
(errors="surrogateescape").

Raises ValueError for an empty tag, an unusable code page or a bad `text`; TypeError
for arguments of the wrong type; kestrune.PageTooLargeError (10 MiB or more),
kestrune.ConversionError and kestrune.NoRootError, all kestrune.Error, for a page that
cannot be read. The GIL is released while the page is parsed.)";

}  // namespace

PYBIND11_MODULE(_kestrune, m) {
    // The docstring's first line is the signature, in Python's terms.
    py::options options;
    options.disable_function_signatures();
    m.doc() = "The Kestrune engine: extract elements, raw blocks and the doctype from HTML.";
    m.attr("__version__") = KESTRUNE_VERSION;

    PyObject* base = newError(m, "Error", "A page Kestrune cannot read.", PyExc_Exception);
    errorOf(kestrune::Status::PageTooLarge) =
        newError(m, "PageTooLargeError", "The page is 10 MiB (10,485,760 bytes) or larger.", base);
    errorOf(kestrune::Status::ConversionFailed) =
        newError(m, "ConversionError", "The page could not be converted to the code page.", base);
    errorOf(kestrune::Status::NoRoot) = newError(m, "NoRootError",
                                                 "The page has no element to read: empty, a NUL "
                                                 "byte first, or only a document type.",
                                                 base);

    m.def("extract", &extract, py::arg("page"), py::arg("tag"), py::arg("attrs") = py::none(),
          py::kw_only(), py::arg("codepage") = 65001, py::arg("text") = "written",
          py::arg("as_bytes") = false, kExtractDoc);
}
