// SPDX-License-Identifier: MIT
// Attribute texts read: maps, look-ups of one name or many, the attribute list.
#include "html/attributes.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/keyOrder.h"
#include "html/charRefs.h"

namespace kestrune {

int parseAttributes(std::string_view text, AttributeMap& attributes,
                    std::vector<std::string>& valueless) {
    if (text.empty()) return 0;
    std::string scratch;
    forEachAttribute(
        text, scratch,
        [&](std::string_view n, std::string_view v) {
            // try_emplace keeps the value already stored under an identical name.
            attributes.try_emplace(std::string(n), std::string(attributeValue(v)));
        },
        [&](std::string_view w) { valueless.emplace_back(w); });
    return static_cast<int>(attributes.size());
}

AttributeMap HtmlElement::attributes() const {
    AttributeMap map;
    std::vector<std::string> unused;
    parseAttributes(attributeText(), map, unused);
    return map;
}

std::vector<std::string> HtmlElement::valuelessAttributes() const {
    AttributeMap unused;
    std::vector<std::string> words;
    parseAttributes(attributeText(), unused, words);
    return words;
}

namespace {

// findAttribute, and with `words` the valueless words too (see findAttributeOrWord);
// without `value` only whether the name is there. `scratch` holds the text without
// CR, LF and TAB while the match is used.
int lookUpAttribute(std::string_view text, std::string_view name, std::string* value, bool words,
                    std::string& scratch) {
    // Among names equal to the wanted one without case, the one first in byte order
    // wins (nameWins); an identical later name keeps the first value.
    std::string_view best;  // empty while none is found: an attribute's name never is
    std::string_view rawValue;
    bool word = false;
    forEachAttribute(
        text, scratch,
        [&](std::string_view n, std::string_view v) {
            if (n.size() == name.size() && equalsIgnoreCase(n, name) &&
                (best.empty() || nameWins(n, best))) {
                best = n;
                rawValue = v;
            }
        },
        [&](std::string_view w) { word = word || (words && equalsIgnoreCase(w, name)); });
    if (best.empty()) {
        if (!word) return 0;
        if (value != nullptr) value->clear();
        return 2;
    }
    if (value != nullptr) {
        value->clear();
        appendDecoded(*value, attributeValue(rawValue));
    }
    return 1;
}

}  // namespace

int findAttribute(std::string_view text, std::string_view name, std::string& value) {
    std::string scratch;
    return lookUpAttribute(text, name, &value, false, scratch);
}

int findAttributeOrWord(std::string_view text, std::string_view name, std::string& value,
                        std::string& scratch) {
    return lookUpAttribute(text, name, &value, true, scratch);
}

bool hasAttributeOrWord(std::string_view text, std::string_view name, std::string& scratch) {
    // Most texts are pieces of the usual form (a name, "=", a value in double quotes,
    // spaces before the next). While each piece read so far has that form and no CR,
    // LF or TAB in its name, the pieces are those of the text without them: a piece
    // that starts with the wanted name and "=" answers at once, and a text of such
    // pieces alone answers when it ends.
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t start = 0;
    while (true) {
        while (start < n && p[start] == ' ') ++start;
        if (start == n) return false;
        std::size_t i = start;
        while (i < n && p[i] != ' ' && p[i] != '"' && p[i] != '=' && !isControlChar(p[i])) ++i;
        if (i == start || i == n || p[i] != '=') break;
        // A piece's name ends at its first "=", whatever form its value has.
        if (i - start == name.size() &&
            equalsIgnoreCase(std::string_view(p + start, i - start), name))
            return true;
        if (n - i < 2 || p[i + 1] != '"') break;
        const void* close = std::memchr(p + i + 2, '"', n - i - 2);
        if (close == nullptr) break;
        const std::size_t after = static_cast<std::size_t>(static_cast<const char*>(close) - p) + 1;
        if (after == n) return false;
        if (p[after] != ' ') break;
        start = after + 1;
    }
    return lookUpAttribute(text, name, nullptr, true, scratch) != 0;
}

namespace {

// The order of the finder's groups: that of keyOrder with ASCII letters made lower case.
bool lessIgnoringCase(std::string_view a, std::string_view b) {
    return compareFolded(a, b, [](unsigned char c) { return ascii::kLower[c]; }) < 0;
}

}  // namespace

AttributeFinder::AttributeFinder(const std::vector<std::string>& names, std::size_t fewGroups)
    : fewGroups_(fewGroups) {
    byGroup_ = keyOrder(
        names.size(), [&](std::size_t k) { return std::string_view(names[k]); },
        [](unsigned char c) { return ascii::kLower[c]; });
    // An empty name is never found (an attribute's name is never empty).
    std::erase_if(byGroup_, [&](std::uint32_t k) { return names[k].empty(); });
    for (std::uint32_t i = 0; i < byGroup_.size(); ++i) {
        if (i == 0 || !equalsIgnoreCase(names[byGroup_[i - 1]], names[byGroup_[i]])) {
            groupStart_.push_back(i);
            groupNames_.push_back(names[byGroup_[i]]);
        }
    }
    groupStart_.push_back(static_cast<std::uint32_t>(byGroup_.size()));
}

long AttributeFinder::groupOf(std::string_view name) const {
    const std::size_t groups = groupNames_.size();
    if (groups <= fewGroups_) {
        // The usual case (one name or a few): lengths compared first, no order needed.
        for (std::size_t g = 0; g < groups; ++g) {
            if (equalsIgnoreCase(groupNames_[g], name)) return static_cast<long>(g);
        }
        return -1;
    }
    const auto found = std::ranges::lower_bound(groupNames_, name, lessIgnoringCase);
    if (found == groupNames_.end() || lessIgnoringCase(name, *found)) return -1;
    return static_cast<long>(found - groupNames_.begin());
}

void AttributeFinder::scan(std::string_view attributeText) {
    hits_.clear();
    candidates_.clear();
    if (byGroup_.empty()) return;
    std::uint32_t order = 0;
    forEachAttribute(
        attributeText, scratch_,
        [&](std::string_view n, std::string_view v) {
            const long group = groupOf(n);
            if (group >= 0)
                candidates_.push_back({static_cast<std::uint32_t>(group), order++, n, v});
        },
        [](std::string_view) {});
    // In each group the name first in byte order answers, the first of identical ones.
    // (Most elements have one candidate at most: no call for them.)
    if (candidates_.size() > 1) {
        std::sort(candidates_.begin(), candidates_.end(),
                  [](const Candidate& a, const Candidate& b) {
                      if (a.group != b.group) return a.group < b.group;
                      if (a.name != b.name) return nameWins(a.name, b.name);
                      return a.order < b.order;
                  });
    }
    // Room for every value to be decoded, so that no string moves while viewed.
    if (values_.size() < candidates_.size()) values_.resize(candidates_.size());
    for (std::size_t i = 0; i < candidates_.size(); ++i) {
        if (i > 0 && candidates_[i].group == candidates_[i - 1].group) continue;
        std::string_view value = attributeValue(candidates_[i].rawValue);
        // Without references the value is the text itself.
        if (value.find('&') != std::string_view::npos) {
            std::string& decoded = values_[hits_.size()];
            decoded.clear();
            appendDecoded(decoded, value);
            value = decoded;
        }
        hits_.push_back({candidates_[i].group, value});
    }
}

void appendAttributesString(std::string& out, std::string_view attributeText) {
    if (attributeText.empty()) return;
    std::string scratch;
    std::vector<std::pair<std::string_view, std::string_view>> pairs;
    bool anyWord = false;
    forEachAttribute(
        attributeText, scratch,
        [&](std::string_view n, std::string_view v) { pairs.emplace_back(n, attributeValue(v)); },
        [&](std::string_view w) {
            if (anyWord) out.push_back(' ');
            out.append(w);
            anyWord = true;
        });
    // Byte order of the names; of identical names the first value stays.
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto& a, const auto& b) { return nameWins(a.first, b.first); });
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (i > 0 && pairs[i].first == pairs[i - 1].first) continue;
        if (i == 0 && anyWord) out.push_back(' ');
        out.append(pairs[i].first);
        out.append("=\"");
        out.append(pairs[i].second);
        out.append("\" ");
    }
}

}  // namespace kestrune
