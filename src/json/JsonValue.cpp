// SPDX-License-Identifier: MIT
// The JSON value model: escaping, scalars, containers, ownership and teardown.
#include <kestrune/json.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <utility>

#include "base/byteScan.h"
#include "base/byteString.h"
#include "json/jsonInternal.h"

namespace kestrune {

namespace {

// The number of children of a container; a scalar has none.
std::size_t childCount(JsonValue& value) {
    if (JsonArray* array = value.asArray()) return JsonAccess::elements(*array).size();
    if (JsonObject* object = value.asObject()) return JsonAccess::members(*object).size();
    return 0;
}

// The first and the last place holding a child of a container that has children:
// elements in order, member values in key order.
std::unique_ptr<JsonValue>& firstSlot(JsonValue& container) {
    if (JsonArray* array = container.asArray()) return JsonAccess::elements(*array).front();
    return JsonAccess::members(*container.asObject()).begin()->second;
}
std::unique_ptr<JsonValue>& lastSlot(JsonValue& container) {
    if (JsonArray* array = container.asArray()) return JsonAccess::elements(*array).back();
    return std::prev(JsonAccess::members(*container.asObject()).end())->second;
}

// Removes the last place of a container that has children, destroying what it holds.
void dropLastSlot(JsonValue& container) {
    if (JsonArray* array = container.asArray()) {
        JsonAccess::elements(*array).pop_back();
    } else {
        JsonObject::Members& members = JsonAccess::members(*container.asObject());
        members.erase(std::prev(members.end()));
    }
}

// Destroys the children of `root` and everything below them without recursion and
// without allocating: it runs in destructors, also once memory has run out.
//
// The containers taken apart form a chain threaded through their own first places:
// `held` owns the innermost one, whose first place owns the one it was taken from,
// and so on down to the one taken from root, whose first place is null. Each turn
// looks at the last place of the innermost container (root when the chain is empty)
// that is not its link:
//  - a null, a scalar or an empty container is destroyed and its place removed;
//  - a container with children joins the chain: its first child moves into the place
//    it leaves, and its first place takes the link.
// A container left with its link alone is destroyed, empty, and the one it links to is
// the innermost again. Values only move towards root and each container joins the
// chain once, so the work is linear in the size of the tree.
void destroyChildren(JsonValue& root) noexcept {
    std::unique_ptr<JsonValue> held;
    for (;;) {
        JsonValue& inner = held ? *held : root;
        const std::size_t link = held ? 1 : 0;
        if (childCount(inner) > link) {
            std::unique_ptr<JsonValue>& last = lastSlot(inner);
            if (last == nullptr || childCount(*last) == 0) {
                dropLastSlot(inner);
                continue;
            }
            std::unique_ptr<JsonValue> joining = std::move(last);
            last = std::move(firstSlot(*joining));
            firstSlot(*joining) = std::move(held);
            held = std::move(joining);
            continue;
        }
        if (!held) return;
        std::unique_ptr<JsonValue> below = std::move(firstSlot(inner));
        dropLastSlot(inner);
        held = std::move(below);
    }
}

}  // namespace

char* writeJsonEscaped(char* out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    while (!text.empty()) {
        const std::size_t run = findJsonEscape(text.data(), text.size());
        std::memcpy(out, text.data(), run);
        out += run;
        if (run == text.size()) break;
        const auto byte = static_cast<unsigned char>(text[run]);
        text.remove_prefix(run + 1);
        if (byte == '"' || byte == '\\') {
            *out++ = '\\';
            *out++ = static_cast<char>(byte);
        } else {
            const char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
            std::memcpy(out, escape, sizeof escape);
            out += sizeof escape;
        }
    }
    return out;
}

void appendJsonEscaped(std::string& out, std::string_view text) {
    // Most text needs no escape: it is appended as it is.
    if (findJsonEscape(text.data(), text.size()) == text.size()) {
        out.append(text);
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + 6 * text.size());  // room for the worst case, every byte as \u00XX
    out.resize(static_cast<std::size_t>(writeJsonEscaped(out.data() + at, text) - out.data()));
}

bool JsonString::setText(std::string_view text, JsonType kind) {
    if (kind < JsonType::None || kind > JsonType::Null) return false;
    text_.clear();
    if (kind == JsonType::String) {
        text_.reserve(text.size());
        appendJsonEscaped(text_, text);
    } else {
        text_.assign(text);
    }
    length_ = text_.size();
    if (kind == JsonType::Integer) {
        intValue_ = readInteger(text_);
    } else if (kind == JsonType::Boolean) {
        // Read as a 32-bit number: "1" is true, a word is 0.
        using Limits = std::numeric_limits<std::int32_t>;
        boolValue_ = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(readInteger(text_), Limits::min(), Limits::max()));
    } else if (kind == JsonType::Real) {
        realValue_ = std::strtod(text_.c_str(), nullptr);
    }
    type_ = kind;
    return true;
}

JsonArray::~JsonArray() { destroyChildren(*this); }

JsonValue* JsonArray::add(JsonValue* value) {
    if (value == nullptr) return nullptr;
    elements_.emplace_back(value);
    return value;
}

JsonObject::~JsonObject() { clear(); }

// Inserts `value` under `storedKey` unless the key is present (null then). Whatever
// throws (memory running out), nothing changes and `value` stays with the caller.
JsonValue* JsonObject::insert(std::string&& storedKey, JsonValue* value) {
    auto [it, inserted] = members_.try_emplace(std::move(storedKey));
    if (!inserted) return nullptr;
    try {
        keys_.push_back(it->first);
    } catch (...) {
        members_.erase(it);
        throw;
    }
    it->second.reset(value);
    return value;
}

namespace {

std::string storedKeyOf(std::string_view key) {
    std::string storedKey;
    storedKey.reserve(key.size());
    appendJsonEscaped(storedKey, key);
    return storedKey;
}

}  // namespace

JsonValue* JsonObject::addValue(std::string_view key, JsonValue* value) {
    return value == nullptr ? nullptr : insert(storedKeyOf(key), value);
}

JsonString* JsonObject::addString(std::string_view key, std::string_view text) {
    std::string storedKey = storedKeyOf(key);
    if (members_.contains(storedKey)) return nullptr;
    auto scalar = std::make_unique<JsonString>();
    scalar->setText(text, JsonType::String);
    insert(std::move(storedKey), scalar.get());
    return scalar.release();
}

void JsonObject::clear() {
    destroyChildren(*this);
    keys_.clear();
}

}  // namespace kestrune
