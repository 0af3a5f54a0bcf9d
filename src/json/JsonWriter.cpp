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
// `elements` is set for an array; an object walks its members from `member` to `end`.
struct OpenContainer {
    const JsonArray::Elements* elements;
    JsonObject::Members::const_iterator member, end;
    std::size_t written = 0;  // children written so far
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
            open.push_back({&array->elements(), {}, {}});
        } else if (const JsonObject* object = value.asObject()) {
            out.push_back('{');
            open.push_back({nullptr, object->members().begin(), object->members().end()});
        } else if (const JsonString* scalar = value.asString()) {
            const bool quoted = scalar->type() == JsonType::String;
            if (quoted) out.push_back('"');
            out.append(scalar->text());
            if (quoted) out.push_back('"');
        }
    };

    writeValue(root);
    while (!open.empty()) {
        OpenContainer& top = open.back();
        if (top.elements != nullptr ? top.written == top.elements->size() : top.member == top.end) {
            out.push_back(top.elements != nullptr ? ']' : '}');
            open.pop_back();
            continue;
        }
        if (top.written++ != 0) out.append(", ");
        const JsonValue* child = nullptr;
        if (top.elements != nullptr) {
            child = (*top.elements)[top.written - 1].get();
        } else {
            out.push_back('"');
            out.append(top.member->first);
            out.append("\":");
            child = (top.member++)->second.get();
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
