// SPDX-License-Identifier: MIT
// Internal to src/json: shared by the value model and the reader. Never include it from
// the public header (kestrune/json.h) or from outside this folder and its tests.
#pragma once

#include <kestrune/json.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// The library's own access to the fields the public interface keeps read-only.
class JsonAccess {
  public:
    static void setLength(JsonValue& value, std::size_t length) { value.length_ = length; }
    static JsonArray::Elements& elements(JsonArray& array) { return array.elements_; }
    static JsonObject::Members& members(JsonObject& object) { return object.members_; }
    static std::vector<std::string>& keys(JsonObject& object) { return object.keys_; }
    // Reads `text` (already cut at its first NUL) as JsonString::parse describes.
    static void readScalar(JsonString& scalar, std::string_view text);
};

}  // namespace kestrune
