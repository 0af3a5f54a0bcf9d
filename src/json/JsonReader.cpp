// SPDX-License-Identifier: MIT
// The lenient reader and its error log. Reading never fails once the opening bracket is
// there: the rules below decide what every byte becomes, and key faults are logged.
#include <kestrune/json.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "base/platform.h"
#include "json/jsonInternal.h"

namespace kestrune {

namespace {

bool logSwitch = false;

constexpr char kLogPath[] = "JsonErr.log";
// The log line and its messages, in code page 936 bytes:
// "parse error, position: %llu(%s)\r\n"
constexpr char kLogFormat[] =
    "\xBD\xE2\xCE\xF6\xB3\xF6\xB4\xED\xA3\xAC\xCE\xBB\xD6\xC3\xA3\xBA"
    "%llu(%s)\r\n";
// The position as the format takes it (every platform's printf knows "%llu").
unsigned long long logPosition(std::size_t position) { return position; }
// "no key": the key is not a quoted string.
constexpr char kNoKeyMessage[] = "\xCE\xDE\xBC\xFC\xD6\xB5";
// "the key's value is missing": no ':' after the key.
constexpr char kMissingValueMessage[] = "\xC8\xB1\xC9\xD9\xBC\xFC\xB5\xC4\xD6\xB5";

// Input is NUL-terminated text in the reader's model: a NUL byte ends it.
std::string_view cutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// Index just past the content of the quoted string at the start of `text` (text[0] is
// '"'): the closing quote's index, or text.size() when there is none. A backslash takes
// the byte after it unexamined, so \" does not end the string; a backslash that is the
// last byte of the text is content itself.
std::size_t quotedContentEnd(std::string_view text) {
    std::size_t i = 1;
    while (i < text.size() && text[i] != '"') i += (text[i] == '\\' && i + 1 < text.size()) ? 2 : 1;
    return i;
}

// Length of the unquoted token at the start of `text`: everything up to the first ',',
// '}' or ']', white space included.
std::size_t unquotedTokenEnd(std::string_view text) {
    return std::min(text.find_first_of(",}]"), text.size());
}

// The first index at or after `i` that is not white space, or the size.
std::size_t skipSpace(std::string_view text, std::size_t i) {
    if (i >= text.size()) return text.size();
    return static_cast<std::size_t>(std::find_if_not(text.begin() + i, text.end(), isWhitespace) -
                                    text.begin());
}

// Children are made by their first byte; any other byte starts a scalar.
std::unique_ptr<JsonValue> makeChild(char first) {
    if (first == '{') return std::make_unique<JsonObject>();
    if (first == '[') return std::make_unique<JsonArray>();
    return std::make_unique<JsonString>();
}

// Reads the container whose bracket is text[0], and everything nested in it, with an
// explicit stack of open containers instead of recursion. Positions are indices into
// `text`; lengths and logged positions are taken relative to each container's bracket,
// as if each container had been read on its own.
class ContainerReader {
  public:
    explicit ContainerReader(std::string_view text) : text_(text) {}

    void read(JsonValue& root) {
        open_.push_back({&root, 0});
        std::size_t p = 1;
        while (!open_.empty()) {
            const OpenContainer top = open_.back();  // a copy: a step may push onto open_
            if (JsonArray* array = top.value->asArray()) {
                p = arrayStep(*array, p);
            } else {
                p = objectStep(*top.value->asObject(), top.start, p);
            }
        }
    }

  private:
    struct OpenContainer {
        JsonValue* value;
        std::size_t start;  // index of its bracket
    };

    // One turn of the element loop of the innermost open container, an array, at `p`;
    // returns where the next turn starts.
    std::size_t arrayStep(JsonArray& array, std::size_t p) {
        if (at(p) == '\0' || at(p) == ']') return close(at(p) == ']' ? p + 1 : p);
        p = skipSpace(text_, p);
        // A '}' here would be read as an empty element that consumes nothing and is no
        // comma, so the loop would stand still: take it as the array's end.
        if (at(p) == '}') return close(p + 1);
        return readChild(*JsonAccess::elements(array).emplace_back(makeChild(at(p))), p);
    }

    // One turn of the member loop of the innermost open container, an object whose
    // bracket is at `start`, at `p`; returns where the next turn starts.
    std::size_t objectStep(JsonObject& object, std::size_t start, std::size_t p) {
        if (at(p) == '\0' || at(p) == '}') return close(at(p) == '}' ? p + 1 : p);
        p = skipSpace(text_, p);
        if (at(p) != '"') {
            // The unquoted word runs to the next ',', '}' or ']', which is skipped too;
            // a value that followed the word is lost with it.
            p += unquotedTokenEnd(text_.substr(p));
            if (p < text_.size()) ++p;
            logMessage(kLogPath, kLogFormat, logPosition(p - start), kNoKeyMessage);
            return p;
        }
        const std::size_t contentEnd = p + quotedContentEnd(text_.substr(p));
        const std::string_view key = text_.substr(p + 1, contentEnd - p - 1);
        p = skipSpace(text_, contentEnd < text_.size() ? contentEnd + 1 : contentEnd);
        if (at(p) != ':') {
            // Nothing is skipped: this byte is read as the start of the next key.
            logMessage(kLogPath, kLogFormat, logPosition(p - start), kMissingValueMessage);
            return p;
        }
        const std::size_t valueStart = skipSpace(text_, p + 1);
        std::unique_ptr<JsonValue> child = makeChild(at(valueStart));
        JsonValue& added = *child;
        // A key read again replaces the earlier value, which is destroyed; keys() lists
        // it once per reading.
        JsonAccess::members(object)[std::string(key)] = std::move(child);
        JsonAccess::keys(object).emplace_back(key);
        return readChild(added, valueStart);
    }

    // '\0' stands for the end of the text (which holds no NUL byte).
    char at(std::size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

    // Where the parent goes on after a child that ends before `end`: past white space and
    // one optional comma.
    std::size_t afterChild(std::size_t end) const {
        const std::size_t p = skipSpace(text_, end);
        return at(p) == ',' ? p + 1 : p;
    }

    // Ends the innermost open container just before `end`; returns where its parent goes
    // on (meaningless once the root is closed).
    std::size_t close(std::size_t end) {
        const OpenContainer done = open_.back();
        open_.pop_back();
        JsonAccess::setLength(*done.value, end - done.start);
        return afterChild(end);
    }

    // Starts reading `child` at `start`: a container is opened and read by the main loop,
    // a scalar is read at once. Returns the next position of the loop.
    std::size_t readChild(JsonValue& child, std::size_t start) {
        if (JsonString* scalar = child.asString()) {
            JsonAccess::readScalar(*scalar, text_.substr(start));
            return afterChild(start + scalar->length());
        }
        open_.push_back({&child, start});
        return start + 1;
    }

    std::string_view text_;
    std::vector<OpenContainer> open_;
};

// Reads `text` into `container` when it starts with `opener`; refuses it otherwise.
bool parseContainer(JsonValue& container, std::string_view text, char opener) {
    if (text.data() == nullptr) return false;
    text = cutAtNul(text);
    if (text.empty() || text[0] != opener) return false;
    ContainerReader(text).read(container);
    return true;
}

}  // namespace

void setJsonLogEnabled(bool enabled) { logSwitch = enabled; }

bool jsonLogEnabled() { return logSwitch; }

void logMessage(const char* path, const char* format, ...) {
    if (!logSwitch || format == nullptr) return;
    char message[4096] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    const std::size_t size = std::strlen(message);
    if (path == nullptr) {
        platform::writeStandardOutput(message, size);
        return;
    }
    platform::appendToFile(path, message, size);
}

void JsonAccess::readScalar(JsonString& scalar, std::string_view text) {
    scalar.text_.clear();
    if (!text.empty() && text[0] == '"') {
        const std::size_t contentEnd = quotedContentEnd(text);
        scalar.type_ = JsonType::String;
        scalar.text_.assign(text.substr(1, contentEnd - 1));
        // The closing quote counts only when it is there.
        scalar.length_ = contentEnd < text.size() ? contentEnd + 1 : contentEnd;
        return;
    }
    const std::size_t tokenEnd = unquotedTokenEnd(text);
    scalar.length_ = tokenEnd;
    std::ranges::remove_copy_if(text.substr(0, tokenEnd), std::back_inserter(scalar.text_),
                                isWhitespace);
    const std::string& word = scalar.text_;
    const bool isTrue = equalsIgnoreCase(word, "true");
    if (isTrue || equalsIgnoreCase(word, "false")) {
        scalar.type_ = JsonType::Boolean;
        scalar.boolValue_ = isTrue ? 1 : 0;
    } else if (equalsIgnoreCase(word, "null")) {
        scalar.type_ = JsonType::Null;
    } else if (word.find('.') != std::string::npos) {
        scalar.type_ = JsonType::Real;
        scalar.realValue_ = std::strtod(word.c_str(), nullptr);
    } else {
        // Any other word is kept as an Integer, as written.
        scalar.type_ = JsonType::Integer;
        scalar.intValue_ = readInteger(word);
    }
}

bool JsonString::parse(std::string_view text) {
    if (text.data() == nullptr) return false;
    JsonAccess::readScalar(*this, cutAtNul(text));
    return true;
}

bool JsonArray::parse(std::string_view text) { return parseContainer(*this, text, '['); }

bool JsonObject::parse(std::string_view text) { return parseContainer(*this, text, '{'); }

}  // namespace kestrune
