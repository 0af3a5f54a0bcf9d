// SPDX-License-Identifier: MIT
// Fuzz target for the JSON library: the lenient reader on any bytes, the writer, and
// the round trip the report relies on.
//
// - The reader: the container chosen by the first byte (an object for "{", an array
//   for "[", otherwise both must refuse the text), and a bare scalar. Once read text
//   is written out, reading and writing is stable from the second round on.
// - The writer: keys and strings taken from the input, split at line breaks, are
//   stored with addString and written; that text reads back and writes out unchanged.
#include <kestrune/json.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzCheck.h"

namespace kestrune {
namespace {

// The reader's view of the input: it ends at the first NUL.
std::string_view cutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// Reads `text` into a fresh container of type C, which must accept it.
template <typename C>
std::string readAndWrite(std::string_view text) {
    C container;
    FUZZ_CHECK(container.parse(text));
    FUZZ_CHECK(container.length() >= 1);
    FUZZ_CHECK(container.length() <= cutAtNul(text).size());
    return container.toString();
}

// First round: whatever the reader makes of the input. Second and third rounds read
// the writer's text and must agree.
template <typename C>
void checkStableRoundTrip(std::string_view input) {
    const std::string first = readAndWrite<C>(input);
    const std::string second = readAndWrite<C>(first);
    const std::string third = readAndWrite<C>(second);
    FUZZ_CHECK_EQUAL(third, second);
}

void checkReader(std::string_view input) {
    const std::string_view text = cutAtNul(input);
    const char first = text.empty() ? '\0' : text[0];
    if (first == '{') {
        checkStableRoundTrip<JsonObject>(input);
    } else if (first == '[') {
        checkStableRoundTrip<JsonArray>(input);
    } else {
        // Without its own bracket in front a container refuses the text and stays empty.
        JsonObject object;
        FUZZ_CHECK(!object.parse(input));
        FUZZ_CHECK_EQUAL(object.toString(), "{}");
        JsonArray array;
        FUZZ_CHECK(!array.parse(input));
        FUZZ_CHECK_EQUAL(array.toString(), "[]");
    }

    JsonString scalar;
    FUZZ_CHECK(scalar.parse(input));
    FUZZ_CHECK(scalar.type() >= JsonType::String && scalar.type() <= JsonType::Null);
    FUZZ_CHECK(scalar.length() <= text.size());
    // A scalar read on its own, written inside an array, is as stable as the rest.
    JsonArray holder;
    holder.add(new JsonString)->parse(input);
    checkStableRoundTrip<JsonArray>(holder.toString());
}

std::vector<std::string_view> splitLines(std::string_view input) {
    std::vector<std::string_view> pieces;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = input.find('\n', pos);
        pieces.push_back(input.substr(pos, end == std::string_view::npos ? end : end - pos));
        if (end == std::string_view::npos) return pieces;
        pos = end + 1;
    }
}

void checkWriter(std::string_view input) {
    // {"<line 0>":[{"<line 1>":"<line 2>", ...}, {...}, "<line k>"]}: pairs of lines make
    // members of objects of up to three members each, a line left over a string element.
    const std::vector<std::string_view> lines = splitLines(input);
    JsonObject top;
    JsonArray* array = top.addValue(lines[0], new JsonArray);
    FUZZ_CHECK(array != nullptr);
    JsonObject* object = nullptr;
    std::size_t members = 0;
    std::size_t i = 1;
    for (; i + 1 < lines.size(); i += 2) {
        if (object == nullptr || members == 3) {
            object = array->add(new JsonObject);
            members = 0;
        }
        ++members;
        // A key already present is refused and the first value stays.
        JsonString* added = object->addString(lines[i], lines[i + 1]);
        if (added != nullptr) FUZZ_CHECK(added->type() == JsonType::String);
    }
    if (i < lines.size()) {
        JsonString* element = array->add(new JsonString);
        FUZZ_CHECK(element->setText(lines[i], JsonType::String));
    }
    const std::string written = top.toString();
    JsonObject read;
    FUZZ_CHECK(read.parse(written));
    FUZZ_CHECK(read.length() == written.size());
    FUZZ_CHECK_EQUAL(read.toString(), written);
}

}  // namespace
}  // namespace kestrune

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    kestrune::checkReader(input);
    kestrune::checkWriter(input);
    return 0;
}
