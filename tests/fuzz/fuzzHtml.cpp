// SPDX-License-Identifier: MIT
// Fuzz target for the parser, the queries and the serialiser. Any bytes parse into a
// tree whose links and views are sound, and every query keeps its contract on every
// element. The names the queries look for come from the input's first line
// ("<html lang=en><body>" gives html, lang, en and body), so that they often match.
//
// Queries that walk a whole subtree cost time in proportion to it, and the serialiser's
// indentation grows with depth, so running them on every element of a deep tree would
// be quadratic. They draw on a work budget proportional to the input instead: the root
// and the outer elements get them first, deeper elements while the budget lasts.
#include <kestrune/document.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/asciiTable.h"
#include "base/platform.h"
#include "base/utf8.h"
#include "fuzzCheck.h"
#include "html/attributes.h"
#include "html/codePage936.h"
#include "html/documentStorage.h"
#include "html/treeBuilder.h"
#include "query/gatherTexts.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

constexpr std::size_t kMaxNames = 4;
constexpr std::size_t kNameBytes = 48;

// The pieces of the first line (at most kNameBytes bytes) between the bytes that
// delimit names in HTML.
std::vector<std::string> namesFrom(std::string_view input) {
    std::string_view line = input.substr(0, std::min(input.size(), kNameBytes));
    line = line.substr(0, line.find('\n'));
    constexpr std::string_view kDelimiters = " <>/=\"'\t\r";
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (pos < line.size() && names.size() < kMaxNames) {
        std::size_t end = line.find_first_of(kDelimiters, pos);
        if (end == std::string_view::npos) end = line.size();
        if (end > pos) names.emplace_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return names;
}

// One element in document order, with the extent of its subtree in that order.
struct Node {
    const HtmlElement* element;
    std::size_t end;          // one past its last descendant
    std::size_t textBytes;    // its own text and tail: what getText may gather from it
    std::size_t serialBytes;  // an estimate of what the serialiser writes for it
};

// Every element of the document in document order, once its tree is known sound.
std::vector<Node> listElements(const HtmlDocument& document) {
    FUZZ_CHECK_EQUAL(testing::treeFault(document), "");
    std::vector<Node> nodes;
    nodes.reserve(document.elementCount());
    std::vector<std::size_t> open;  // the elements whose subtrees have not ended yet
    testing::walkDocument(document, [&](const HtmlElement& e, int level) {
        while (!open.empty() && nodes[open.back()].element->depth() >= level) {
            nodes[open.back()].end = nodes.size();
            open.pop_back();
        }
        const std::size_t serial = 6 * static_cast<std::size_t>(level) + 2 * e.tagName().size() +
                                   2 * e.attributeText().size() + e.ownText().size() +
                                   e.tail().size() + e.precedingText().size() + 16;
        open.push_back(nodes.size());
        nodes.push_back({&e, 0, e.ownText().size() + e.tail().size(), serial});
    });
    for (std::size_t i : open) nodes[i].end = nodes.size();
    return nodes;
}

class Budget {
  public:
    explicit Budget(std::size_t units) : left_(units) {}
    // True (and the units are spent) when they are still there.
    bool take(std::size_t units) {
        if (units > left_) return false;
        left_ -= units;
        return true;
    }

  private:
    std::size_t left_;
};

class TreeChecker {
  public:
    TreeChecker(const HtmlDocument& document, std::vector<std::string> names)
        : document_(document),
          text_(document.text()),
          names_(std::move(names)),
          finderNames_(withUpperCase(names_)),
          finder_(finderNames_),
          nodes_(listElements(document)),
          budget_(16 * text_.size() + (1u << 18)) {
        textSums_.assign(nodes_.size() + 1, 0);
        serialSums_.assign(nodes_.size() + 1, 0);
        for (std::size_t i = 0; i < nodes_.size(); ++i) {
            indexOf_[nodes_[i].element] = i;
            textSums_[i + 1] = textSums_[i] + nodes_[i].textBytes;
            serialSums_[i + 1] = serialSums_[i] + nodes_[i].serialBytes;
        }
    }

    void run() {
        for (const Node& node : nodes_) checkElement(*node.element);
        // Subtree queries: the root first, then every element in document order.
        const HtmlElement* root = document_.root();
        if (root != nullptr) {
            checkSubtree(indexOf_.at(root));
            checkGatheredTexts(*root);
        }
        for (std::size_t i = 0; i < nodes_.size(); ++i) {
            if (nodes_[i].element != root) checkSubtree(i);
        }
    }

  private:
    // What reading the subtree's texts costs (getText, findByTag).
    std::size_t gatherCost(std::size_t i) const {
        return 16 * (nodes_[i].end - i) + textSums_[nodes_[i].end] - textSums_[i];
    }
    // What serialising the subtree costs.
    std::size_t serialCost(std::size_t i) const {
        return serialSums_[nodes_[i].end] - serialSums_[i];
    }

    // Queries that only read the element and its children.
    void checkElement(const HtmlElement& e) {
        const AttributeMap map = e.attributes();
        const std::vector<std::string> words = e.valuelessAttributes();
        // The valueless words joined by spaces, then name="value" pieces (each followed
        // by a space) in byte order of the names, values as stored.
        std::string expected;
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (i > 0) expected += ' ';
            expected += words[i];
        }
        if (!words.empty() && !map.empty()) expected += ' ';
        for (const auto& [name, value] : map) expected += name + "=\"" + value + "\" ";
        FUZZ_CHECK_EQUAL(e.attributesString(), expected);
        std::string written = "stale";
        FUZZ_CHECK(e.writeAttributes(written) == 1);
        FUZZ_CHECK_EQUAL(written, expected);

        // Each look-up reads the whole attribute text: a few names per element.
        std::size_t asked = 0;
        for (const auto& entry : map) {
            if (++asked > 2) break;
            checkAttributeLookUp(e, map, entry.first);
        }
        for (const std::string& name : names_) checkAttributeLookUp(e, map, name);

        // One scan for all the names (and their upper-case forms) finds what each
        // look-up finds.
        std::vector<int> seen(finderNames_.size(), 0);
        finder_.find(e.attributeText(), [&](std::size_t k, std::string_view value) {
            FUZZ_CHECK(seen[k]++ == 0);
            std::string lookedUp;
            FUZZ_CHECK(e.getAttribute(finderNames_[k], lookedUp) == 1);
            FUZZ_CHECK_EQUAL(std::string(value), lookedUp);
        });
        for (std::size_t k = 0; k < finderNames_.size(); ++k) {
            std::string ignored;
            if (seen[k] == 0) FUZZ_CHECK(e.getAttribute(finderNames_[k], ignored) == 0);
        }
    }

    void checkAttributeLookUp(const HtmlElement& e, const AttributeMap& map,
                              std::string_view name) {
        static const std::string kUntouched = "\x01untouched";
        std::string value = kUntouched;
        const int found = e.getAttribute(name, value);
        // Of the names equal without case, the first in byte order answers.
        auto match = std::find_if(map.begin(), map.end(), [&](const auto& entry) {
            return equalsIgnoreCase(entry.first, name);
        });
        if (match == map.end()) {
            FUZZ_CHECK(found == 0);
            FUZZ_CHECK_EQUAL(value, kUntouched);
            return;
        }
        FUZZ_CHECK(found == 1);
        // Decoding never lengthens a value; without "&" there is nothing to decode.
        const std::string& stored = match->second;
        if (stored.find('&') == std::string::npos) {
            FUZZ_CHECK_EQUAL(value, stored);
        } else {
            FUZZ_CHECK(value.size() <= stored.size());
        }
    }

    // Queries over the whole subtree of nodes_[i], when the budget allows.
    void checkSubtree(std::size_t i) {
        const Node& node = nodes_[i];
        const HtmlElement& e = *node.element;
        if (!budget_.take((names_.size() + 2) * gatherCost(i) + 4 * serialCost(i))) return;

        for (const std::string& name : names_) {
            ElementList list;
            FUZZ_CHECK(e.findByTag(name, list, 1) == static_cast<int>(list.size()));
            ElementList expected;
            for (std::size_t k = i + 1; k < node.end; ++k) {
                if (equalsIgnoreCase(nodes_[k].element->tagName(), name)) {
                    expected.push_back(nodes_[k].element);
                }
            }
            FUZZ_CHECK(list == expected);
        }
        for (int skipSpecial = 0; skipSpecial <= 1; ++skipSpecial) {
            std::string text = "stale";
            FUZZ_CHECK(e.getText(text, 1, skipSpecial) == 1);
            // Its pieces are distinct parts of the document, and decoding never lengthens.
            FUZZ_CHECK(text.size() <= text_.size());
        }

        std::string withBreaks = "stale";
        std::string without = "stale";
        const int written = e.outerHtml(withBreaks, 1);
        FUZZ_CHECK(e.outerHtml(without, 0) == written);
        if (e.tagName().empty()) {
            FUZZ_CHECK(written == 0);
            FUZZ_CHECK_EQUAL(withBreaks, e.precedingText());
            FUZZ_CHECK_EQUAL(without, e.precedingText());
            return;
        }
        FUZZ_CHECK(written == 1);
        // Without line breaks some CR LF pairs are left out, nothing else changes.
        FUZZ_CHECK(without.size() <= withBreaks.size());
        FUZZ_CHECK((withBreaks.size() - without.size()) % 2 == 0);
    }

    // The batch text query against one getText per element, on the lists the report
    // hands it (document order), on reversed lists, and on every element below `top`.
    void checkGatheredTexts(const HtmlElement& top) {
        std::vector<ElementList> lists;
        for (const std::string& name : names_) {
            ElementList list;
            top.findByTag(name, list, 1);
            lists.push_back(list);
            std::reverse(list.begin(), list.end());
            lists.push_back(std::move(list));
        }
        ElementList all;
        const Node& topNode = nodes_[indexOf_.at(&top)];
        for (std::size_t k = indexOf_.at(&top) + 1; k < topNode.end; ++k) {
            all.push_back(nodes_[k].element);
        }
        lists.push_back(std::move(all));

        for (const ElementList& list : lists) {
            std::size_t cost = 0;
            for (const HtmlElement* e : list) cost += gatherCost(indexOf_.at(e));
            // The gathered texts themselves, then one getText per element.
            if (!budget_.take(2 * cost)) continue;
            const TextRuns runs(list);
            FUZZ_CHECK(runs.size() == list.size());
            for (std::size_t i = 0; i < list.size(); ++i) {
                std::string text;
                runs.appendText(i, text);
                std::string expected = "stale";
                list[i]->getText(expected, 1, 0);
                FUZZ_CHECK_EQUAL(text, expected);
            }
        }
    }

    const HtmlDocument& document_;
    const std::string_view text_;
    static std::vector<std::string> withUpperCase(const std::vector<std::string>& names) {
        std::vector<std::string> all = names;
        for (std::string name : names) {
            for (char& c : name) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
            all.push_back(name);
        }
        return all;
    }

    const std::vector<std::string> names_;
    const std::vector<std::string> finderNames_;
    AttributeFinder finder_;
    const std::vector<Node> nodes_;
    std::unordered_map<const HtmlElement*, std::size_t> indexOf_;
    std::vector<std::size_t> textSums_;    // prefix sums of Node::textBytes
    std::vector<std::size_t> serialSums_;  // prefix sums of Node::serialBytes
    Budget budget_;
};

// The tree as a string: parsing the same bytes again must give the same one.
std::string fingerprint(const HtmlDocument& document) {
    std::string out = std::string(document.charset()) + "\n" + std::string(document.contentType()) +
                      "\n" + std::to_string(document.convertedFromUtf8() ? 1 : 0) + "\n";
    for (const Node& node : listElements(document)) {
        const HtmlElement& e = *node.element;
        out += std::to_string(e.depth()) + (e.closed() ? "c" : "o");
        out +=
            std::to_string(e.isComment() + 2 * e.isScript() + 4 * e.isStyle() + 8 * e.isDoctype());
        for (std::string_view v :
             {e.tagName(), e.attributeText(), e.ownText(), e.tail(), e.precedingText()}) {
            out += std::to_string(v.size()) + ":";
            out += v;
        }
        out += '\n';
    }
    return out;
}

// `bytes` as UTF-8: ASCII stays, and a byte from 0x80 up together with the byte
// after it becomes one character from U+0080 to U+807F (two or three bytes).
std::string asUtf8(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        unsigned next = 0;
        if (i + 1 < bytes.size()) next = static_cast<unsigned char>(bytes[++i]);
        const unsigned c = (((b - 0x80u) << 8) | next) + 0x80u;
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

void checkParse(std::string_view input) {
    HtmlDocument document;
    const int parsed = document.parse(input);
    FUZZ_CHECK(parsed == 0 || parsed == 1);
    // A document has a root exactly when parsing succeeds.
    FUZZ_CHECK((parsed == 1) == (document.root() != nullptr));
    FUZZ_CHECK(document.text().size() <= input.size());

    TreeChecker(document, namesFrom(input)).run();

    // Parsing again into the same document starts afresh.
    const std::string before = fingerprint(document);
    FUZZ_CHECK(document.parse(input) == parsed);
    FUZZ_CHECK_EQUAL(fingerprint(document), before);

    // The builder's reference mode, without the index of open children, agrees.
    useOpenChildrenIndex(false);
    const int reference = document.parse(input);
    useOpenChildrenIndex(true);
    FUZZ_CHECK(reference == parsed);
    FUZZ_CHECK_EQUAL(fingerprint(document), before);
}

}  // namespace
}  // namespace kestrune

// The code page 936 table against the system converter it was made from; UTF-8 out
// (65001) well-formed whatever came in, and unchanged when the text already was.
void checkConversions(std::string_view text) {
    using namespace kestrune;
    if (text.empty()) return;
    if (kCodePage936TableIsSystemConverter) {
        std::string table(text);
        table.resize(convertUtf8ToCodePage936(table.data(), table.size()));
        FUZZ_CHECK_EQUAL(table, platform::utf8ToCodePage(text, 936));
    }
    const std::string utf8 = platform::utf8ToCodePage(text, kUtf8);
    FUZZ_CHECK(isWellFormedUtf8(utf8));
    // The loader's test for "nothing to convert" against the converter itself.
    FUZZ_CHECK(isWellFormedUtf8(text) == (utf8 == text));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkParse(input);
    // Mutated bytes are almost never UTF-8, so the conversion to code page 936 would
    // hardly be reached: the same page made into UTF-8 goes through it as well.
    const std::string_view text = input.substr(0, input.find('\0'));
    int allAscii = 1;
    if (!isUtf8(text, allAscii)) checkParse(asUtf8(text));
    checkConversions(text);
    return 0;
}
