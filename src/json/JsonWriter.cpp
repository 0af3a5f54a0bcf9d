// SPDX-License-Identifier: MIT
// The compact writer: one line, ", " between items, no other white space. Stored
// texts and keys are written unchanged (they are escaped when they are stored).
#include <kestrune/json.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

namespace {

// A container whose opening bracket is written and whose closing one is not yet.
// Exactly one of `array` and `object` is set.
struct OpenContainer {
    const JsonArray* array;
    const JsonObject* object;
    std::size_t nextElement;
    JsonObject::Members::const_iterator nextMember;
};

// Writes `root` front to back with an explicit stack of open containers instead of
// recursion, so the depth of the tree costs heap, not call stack. A child is written by
// its kind tag: containers open a new level, scalars are written in place. Everything is
// appended to one string, so the work is linear in the output. (Measuring the output
// first to reserve it exactly costs a second walk over the nodes, which is slower than
// the string's own geometric growth for the small nodes reports are made of.)
std::string writeCompact(const JsonValue& root) {
    std::string out;
    out.reserve(256);  // skips the first few doublings of a typical report
    std::vector<OpenContainer> open;
    auto writeValue = [&](const JsonValue& value) {
        if (const JsonArray* array = value.asArray()) {
            out.push_back('[');
            open.push_back({array, nullptr, 0, {}});
        } else if (const JsonObject* object = value.asObject()) {
            out.push_back('{');
            open.push_back({nullptr, object, 0, object->members().begin()});
        } else if (const JsonString* scalar = value.asString()) {
            if (scalar->type() == JsonType::String) {
                out.push_back('"');
                out.append(scalar->text());
                out.push_back('"');
            } else {
                out.append(scalar->text());
            }
        }
    };

    writeValue(root);
    while (!open.empty()) {
        OpenContainer& top = open.back();
        const JsonValue* child = nullptr;
        if (top.array != nullptr) {
            const JsonArray::Elements& elements = top.array->elements();
            if (top.nextElement == elements.size()) {
                out.push_back(']');
                open.pop_back();
                continue;
            }
            if (top.nextElement != 0) out.append(", ");
            child = elements[top.nextElement++].get();
        } else {
            const JsonObject::Members& members = top.object->members();
            if (top.nextMember == members.end()) {
                out.push_back('}');
                open.pop_back();
                continue;
            }
            if (top.nextMember != members.begin()) out.append(", ");
            out.push_back('"');
            out.append(top.nextMember->first);
            out.append("\":");
            child = top.nextMember->second.get();
            ++top.nextMember;
        }
        // May push onto `open`, so `top` is not used after this.
        writeValue(*child);
    }
    return out;
}

}  // namespace

std::string JsonArray::toString() const { return writeCompact(*this); }

std::string JsonObject::toString() const { return writeCompact(*this); }

}  // namespace kestrune
