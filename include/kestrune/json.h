// SPDX-License-Identifier: MIT
/// \file
/// Kestrune's JSON library: value classes, the compact writer and the lenient reader
/// with its error log. A public component: this header is installed with the others and
/// the library is part of libkestrune.a. All text is bytes; the library knows no
/// character set.
///
/// \code{.cpp}
///   #include <kestrune/json.h>
/// \endcode
///
/// Building: make containers and scalars, hand them to a container with add/addValue/
/// addString (which take ownership), then call toString on the top container.
/// Reading: construct the container that matches the text's first byte and call parse.
/// Reading, writing and destroying are iterative: any nesting depth is safe; destroying
/// allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

/// Marks a function whose argument `formatIndex` is a printf format for the arguments
/// from `firstArgument` on, for the compiler to check (GCC and Clang).
#if defined(__GNUC__) || defined(__clang__)
#define KESTRUNE_JSON_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define KESTRUNE_JSON_PRINTF(formatIndex, firstArgument)
#endif

namespace kestrune {

/// The kind of a value; the numbers are fixed.
enum class JsonType : std::int32_t {
    None = 0,     ///< JsonString not given a value yet
    String = 1,   ///< JsonString written between double quotes
    Integer = 2,  ///< JsonString: a number, or any unquoted word that is no keyword and has no "."
    Real = 3,     ///< JsonString: an unquoted token with a "."
    Boolean = 4,  ///< JsonString: true or false, in any letter case
    Null = 5,     ///< JsonString: null, in any letter case
    Array = 6,    ///< JsonArray
    Object = 7,   ///< JsonObject
};

/// Appends `text` to `out` in the form string values and keys are stored and written in:
/// a double quote becomes `\"`, a backslash `\\`, every byte below 0x20 `\u00xx` (lower-case hex;
/// NUL gives `\u0000`), every other byte (0x80 and up included) is copied unchanged.
/// NUL bytes inside `text` are ordinary bytes. Linear in the size of `text`.
void appendJsonEscaped(std::string& out, std::string_view text);

/// The same bytes written at `out`, which must have room for 6 * text.size() bytes;
/// returns the end of what was written.
char* writeJsonEscaped(char* out, std::string_view text);

/// The error log switch (process-wide, off at start). While it is on, the object reader
/// appends one line per key fault to "JsonErr.log" in the current directory.
///@{
void setJsonLogEnabled(bool enabled);
bool jsonLogEnabled();
///@}

/// Formats like printf into a 4096-byte buffer (a longer message is cut to its first
/// 4095 bytes). Does nothing while the log switch is off. With a null `path` the
/// message goes to standard output; otherwise it is appended to the file (opened and
/// closed for this one message; an entry that cannot be written is dropped silently).
KESTRUNE_JSON_PRINTF(2, 3)
void logMessage(const char* path, const char* format, ...);

/// The reader's white space: space, TAB, LF and CR; nothing else.
constexpr bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class JsonString;
class JsonArray;
class JsonObject;

/// Base of all values. Values are never copied or shared: every value has exactly one
/// owner, the container it was added to or the code that created it.
class JsonValue {
  public:
    JsonValue(const JsonValue&) = delete;
    JsonValue& operator=(const JsonValue&) = delete;
    /// Destroys the value and everything it owns. Iterative and allocation-free: any
    /// depth is safe, also once memory has run out.
    virtual ~JsonValue() = default;

    /// Reads the value from the start of `text` and stores in length() how many bytes it
    /// consumed; the text ends at its first NUL byte or at the end of the view. Containers
    /// add what they read to what they already hold. Returns false and changes nothing when
    /// `text` has no data (a null pointer) or, for a container, does not start with its own
    /// bracket (no white space is skipped before it); otherwise true: the reader is
    /// lenient and never rejects the rest of the text.
    virtual bool parse(std::string_view text) = 0;
    /// The same for a NUL-terminated text; a null pointer gives false.
    bool parse(const char* text) { return text ? parse(std::string_view(text)) : false; }

    /// The kind of the value.
    JsonType type() const { return type_; }
    /// After parse: the bytes consumed; for a scalar after setText: the stored text's size.
    /// Any size a text can have.
    std::size_t length() const { return length_; }

    ///@{
    /// Views of this value as its class; null when the value is of another class.
    /// Every kind from None to Null is a JsonString.
    const JsonString* asString() const;
    const JsonArray* asArray() const;
    const JsonObject* asObject() const;
    JsonString* asString();
    JsonArray* asArray();
    JsonObject* asObject();
    ///@}

  protected:
    /// A value of kind `type`, for the classes below.
    explicit JsonValue(JsonType type) : type_(type) {}

    JsonType type_;           ///< what type() gives
    std::size_t length_ = 0;  ///< what length() gives

    friend class JsonAccess;
};

/// A scalar: every kind from None to Null. The writer writes text() byte for byte,
/// between double quotes for JsonType::String.
class JsonString final : public JsonValue {
  public:
    /// Kind None, length 0, empty text.
    JsonString() : JsonValue(JsonType::None) {}

    using JsonValue::parse;
    /// A text starting with '"' gives a String holding the bytes up to the next unescaped
    /// '"' as written (escapes are kept, not decoded). Any other text gives the token up to
    /// the first ',', '}' or ']' with its white space removed: true/false/null in any case
    /// give Boolean/Null, a token with a "." gives Real, anything else Integer (also the
    /// empty token, which consumes nothing).
    bool parse(std::string_view text) override;

    /// Replaces text and kind. For JsonType::String the text is stored escaped (see
    /// appendJsonEscaped); other kinds store it unchanged. Fills the typed field of the
    /// kind: Integer and Boolean read the text as strtoll does (saturating; Boolean is then
    /// clamped to 32 bits), Real as strtod does. Returns false and changes nothing when
    /// `kind` is not a scalar kind (Array, Object or no JsonType at all).
    bool setText(std::string_view text, JsonType kind);

    /// The bytes the writer emits (for a String: the content between the quotes); empty
    /// until the scalar is given a value.
    const std::string& text() const { return text_; }
    ///@{
    /// The typed values, meaningful for Boolean (1 or 0), Integer and Real respectively;
    /// a field of another kind keeps what it last held (0 at first).
    std::int32_t boolValue() const { return boolValue_; }
    std::int64_t intValue() const { return intValue_; }
    double realValue() const { return realValue_; }
    ///@}

  private:
    std::string text_;
    std::int32_t boolValue_ = 0;
    std::int64_t intValue_ = 0;
    double realValue_ = 0.0;

    friend class JsonAccess;
};

/// An ordered list of values; owns every element.
class JsonArray final : public JsonValue {
  public:
    /// The elements, each owned.
    using Elements = std::vector<std::unique_ptr<JsonValue>>;

    JsonArray() : JsonValue(JsonType::Array) {}
    ~JsonArray() override;

    using JsonValue::parse;
    /// See JsonValue::parse. A '}' where an element should start closes the array as a
    /// ']' would.
    bool parse(std::string_view text) override;

    /// Appends `value` and takes ownership of it; returns it. Null gives null and adds
    /// nothing. A value must not be added to two containers, nor to itself.
    JsonValue* add(JsonValue* value);
    /// add() for a value of a class derived from JsonValue, returned as that class.
    template <typename T>
    T* add(T* value) {
        static_assert(std::is_base_of_v<JsonValue, T>);
        add(static_cast<JsonValue*>(value));
        return value;
    }

    /// Compact JSON text: "[", the elements separated by ", ", "]". Iterative.
    std::string toString() const;

    /// The elements in order of insertion.
    const Elements& elements() const { return elements_; }

  private:
    Elements elements_;  // owned, in order of insertion

    friend class JsonAccess;
};

/// A set of members ordered by key (unsigned bytes, a prefix before its extensions);
/// owns every member value. Keys are held in stored form: escaped when they came through
/// addValue/addString, exactly as written between the quotes when they were read.
class JsonObject final : public JsonValue {
  public:
    /// The members by stored key, each value owned.
    using Members = std::map<std::string, std::unique_ptr<JsonValue>, std::less<>>;

    JsonObject() : JsonValue(JsonType::Object) {}
    ~JsonObject() override;

    using JsonValue::parse;
    /// See JsonValue::parse. A member read under a key that is already present replaces
    /// the old value (which is destroyed). A key that is not quoted, or a quoted key not
    /// followed by ':', is dropped and logged (see setJsonLogEnabled); reading goes on.
    bool parse(std::string_view text) override;

    /// Inserts `value` under the escaped form of `key` and takes ownership of it; returns
    /// it. Returns null and changes nothing when `value` is null or the key is present: the
    /// value then stays with the caller, who must destroy it; so it does when the insertion
    /// throws (memory running out), which also changes nothing.
    JsonValue* addValue(std::string_view key, JsonValue* value);
    /// addValue() for a value of a class derived from JsonValue, returned as that class.
    template <typename T>
    T* addValue(std::string_view key, T* value) {
        static_assert(std::is_base_of_v<JsonValue, T>);
        return addValue(key, static_cast<JsonValue*>(value)) ? value : nullptr;
    }
    /// Creates a String scalar from `text` (stored escaped) and inserts it under `key`;
    /// returns the scalar, owned by this object. Null, with nothing created, when the key
    /// is present.
    JsonString* addString(std::string_view key, std::string_view text);

    /// Destroys every member value and empties members() and keys(). Allocates nothing,
    /// like the destructor.
    void clear();

    /// Compact JSON text: "{", the members in key order as "key":value separated by
    /// ", ", "}". Keys are written as stored. Iterative.
    std::string toString() const;

    /// The members in key order.
    const Members& members() const { return members_; }
    /// Keys in the order members were inserted; a key read twice is listed twice.
    const std::vector<std::string>& keys() const { return keys_; }

  private:
    JsonValue* insert(std::string&& storedKey, JsonValue* value);

    Members members_;                // values owned
    std::vector<std::string> keys_;  // informational; nothing in the library reads it

    friend class JsonAccess;
};

inline const JsonString* JsonValue::asString() const {
    return type_ <= JsonType::Null ? static_cast<const JsonString*>(this) : nullptr;
}
inline const JsonArray* JsonValue::asArray() const {
    return type_ == JsonType::Array ? static_cast<const JsonArray*>(this) : nullptr;
}
inline const JsonObject* JsonValue::asObject() const {
    return type_ == JsonType::Object ? static_cast<const JsonObject*>(this) : nullptr;
}
inline JsonString* JsonValue::asString() {
    return type_ <= JsonType::Null ? static_cast<JsonString*>(this) : nullptr;
}
inline JsonArray* JsonValue::asArray() {
    return type_ == JsonType::Array ? static_cast<JsonArray*>(this) : nullptr;
}
inline JsonObject* JsonValue::asObject() {
    return type_ == JsonType::Object ? static_cast<JsonObject*>(this) : nullptr;
}

}  // namespace kestrune
