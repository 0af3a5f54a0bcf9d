// SPDX-License-Identifier: MIT
// The tree evaluator. A selector that streams is matched by the streaming matcher over
// one walk of the tree (which selectFirst may stop). Any other runs its passes over a
// universe: the elements that take part, in document order, with their parents and,
// when needed, sibling links and positions. The universe of a document is its root's
// tree; that of a scope is the scope's subtree with its ancestors in front when only
// ancestors matter above the scope (Compiled::chainLocal), else the whole top-level
// tree the scope is in.
#include <kestrune/select.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/asciiTable.h"
#include "html/walk.h"
#include "select/program.h"
#include "select/rules.h"
#include "select/step.h"
#include "select/streamMatcher.h"

namespace kestrune {

// ----- Selector -----

Selector::Selector() {
    static const std::shared_ptr<const selectors::Compiled> kEmpty = selectors::compileSelector("");
    compiled_ = kEmpty;
}

Selector::Selector(std::shared_ptr<const selectors::Compiled> compiled)
    : compiled_(std::move(compiled)) {}

Selector Selector::compile(std::string_view text) {
    return Selector(selectors::compileSelector(text));
}

Selector::operator bool() const { return compiled_->ok; }
const SelectorError& Selector::error() const { return compiled_->error; }
std::string_view Selector::text() const { return compiled_->text; }
bool Selector::streams() const { return compiled_->ok && compiled_->streams; }

namespace selectors {

namespace {

constexpr std::uint32_t kNone = ~std::uint32_t{0};

class Bits {
  public:
    void reset(std::size_t n) { words_.assign(wordsFor(n), 0); }
    void release() { std::vector<std::uint64_t>().swap(words_); }
    bool get(std::uint32_t i) const { return bitAt(words_.data(), i); }
    void set(std::uint32_t i) { setBitAt(words_.data(), i); }

  private:
    std::vector<std::uint64_t> words_;
};

// Where matching looks: the candidates are nodes[firstCandidate, endCandidate).
struct Universe {
    std::vector<const HtmlElement*> nodes;
    std::vector<std::uint32_t> parent;           // kNone at the top
    std::vector<std::uint32_t> prev;             // previous sibling (usesSiblings), or kNone
    std::vector<std::uint32_t> next;             // next sibling (usesSiblings), or kNone
    std::vector<std::uint32_t> position[2];      // from the first / last sibling, from 1
    std::vector<std::uint32_t> typePosition[2];  // the same among those of its type
    std::uint32_t firstCandidate = 0;
    std::uint32_t endCandidate = 0;
    std::size_t rowsDepth = 0;  // one more than the deepest depth

    std::uint32_t size() const { return static_cast<std::uint32_t>(nodes.size()); }
};

class UniverseBuilder {
  public:
    UniverseBuilder(Universe& u, bool siblings) : u_(u), siblings_(siblings) {}

    // Adds `e` (the elements are added in document order, every ancestor of an added
    // element before it). Elements that take no part are left out: they have no
    // children.
    void add(const HtmlElement& e) {
        if (!countsAsElement(e.tagName())) return;
        const auto depth = static_cast<std::size_t>(e.depth());
        if (lastAt_.size() <= depth) lastAt_.resize(depth + 1, kNone);
        const std::uint32_t i = u_.size();
        const std::uint32_t parent = depth == 0 ? kNone : lastAt_[depth - 1];
        u_.nodes.push_back(&e);
        u_.parent.push_back(parent);
        if (siblings_) {
            // The last element seen at this depth is the previous sibling when it has
            // the same parent.
            const std::uint32_t before = lastAt_[depth];
            u_.prev.push_back(before != kNone && u_.parent[before] == parent ? before : kNone);
        }
        lastAt_[depth] = i;
        u_.rowsDepth = std::max(u_.rowsDepth, depth + 1);
    }
    // Adds `top` and its subtree.
    void addTree(const HtmlElement& top) {
        add(top);
        walkBelow(
            top,
            [&](const HtmlElement& e) {
                add(e);
                return true;
            },
            [&](const HtmlElement& e) {
                if (&e == leaveWatch_) leftWatch_ = u_.size();
            });
    }
    // addTree notes the size of the universe when it leaves this element.
    void watch(const HtmlElement* e) { leaveWatch_ = e; }
    std::uint32_t leftWatch() const { return leftWatch_; }

  private:
    Universe& u_;
    bool siblings_;
    std::vector<std::uint32_t> lastAt_;  // per depth: the newest element there
    const HtmlElement* leaveWatch_ = nullptr;
    std::uint32_t leftWatch_ = kNone;
};

// Positions among siblings linked by `prev`, from the first and from the last one;
// returns the links the other way.
std::vector<std::uint32_t> countPositions(const std::vector<std::uint32_t>& prev,
                                          std::vector<std::uint32_t> (&out)[2]) {
    const auto n = static_cast<std::uint32_t>(prev.size());
    std::vector<std::uint32_t> next(n, kNone);
    out[0].assign(n, 1);
    out[1].assign(n, 1);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (prev[i] != kNone) {
            out[0][i] = out[0][prev[i]] + 1;
            next[prev[i]] = i;
        }
    }
    for (std::uint32_t i = n; i-- > 0;) {
        if (next[i] != kNone) out[1][i] = out[1][next[i]] + 1;
    }
    return next;
}

void addSiblingFacts(Universe& u, const Compiled& c) {
    if (!c.usesSiblings) return;
    u.next = countPositions(u.prev, u.position);
    if (!c.usesTypePositions) return;
    // The previous sibling of the same type: the last element seen with the same
    // parent and the same name without case.
    std::unordered_map<std::string, std::uint32_t> typeIds;
    std::unordered_map<std::uint64_t, std::uint32_t> lastOfKind;
    std::vector<std::uint32_t> typePrev(u.size(), kNone);
    std::string lower;
    for (std::uint32_t i = 0; i < u.size(); ++i) {
        lower.assign(u.nodes[i]->tagName());
        for (char& ch : lower) ch = toLowerByte(ch);
        const std::uint32_t type =
            typeIds.try_emplace(lower, static_cast<std::uint32_t>(typeIds.size())).first->second;
        const std::uint64_t kind = (std::uint64_t{u.parent[i]} << 32) | type;
        auto [it, fresh] = lastOfKind.try_emplace(kind, i);
        if (!fresh) {
            typePrev[i] = it->second;
            it->second = i;
        }
    }
    countPositions(typePrev, u.typePosition);
}

// An element of the universe as computeRow sees it, for a selector of one down pass
// or of several.
template <bool OnePass>
struct TreeElement {
    static constexpr bool kOnePass = OnePass;
    const Universe& u;
    const std::vector<Bits>& columns;
    std::uint32_t i;
    std::string_view tagName() const { return u.nodes[i]->tagName(); }
    std::string_view attributeText() const { return u.nodes[i]->attributeText(); }
    bool isEmpty() const { return isEmptyElement(*u.nodes[i]); }
    bool position(const Op& op) const {
        const auto& counts = op.ofType ? u.typePosition : u.position;
        return nthMatches(op.a, op.b, counts[op.fromEnd ? 1 : 0][i]);
    }
    bool column(std::uint32_t op) const { return columns[op].get(i); }
    bool parentColumn(std::uint32_t op) const { return columns[op].get(u.parent[i]); }
};

class TreeEvaluator {
  public:
    TreeEvaluator(const Compiled& c, const Universe& u)
        : c_(c), u_(u), columns_(c.ops.size()), releaseAfter_(c.passes.size()) {
        for (std::uint32_t op = 0; op < c.ops.size(); ++op) {
            if (c.lastRead[op] < c.passes.size()) releaseAfter_[c.lastRead[op]].push_back(op);
        }
    }

    // Runs every pass; with `firstOnly` the last pass stops at the first candidate
    // that matches when it is a down pass. Returns the matching candidates.
    ElementList run(bool firstOnly) {
        ElementList found;
        for (std::uint32_t p = 0; p < c_.passes.size(); ++p) {
            const Pass& pass = c_.passes[p];
            const bool last = p + 1 == c_.passes.size();
            if (pass.down) {
                const std::uint32_t hit = down(p, last && firstOnly);
                if (hit != kNone) return {u_.nodes[hit]};
            } else {
                column(c_.ops[pass.ops[0]], pass.ops[0]);
            }
            for (std::uint32_t op : releaseAfter_[p]) columns_[op].release();
        }
        const Bits& result = columns_[c_.result];
        for (std::uint32_t i = u_.firstCandidate; i < u_.endCandidate; ++i) {
            if (result.get(i)) {
                found.push_back(u_.nodes[i]);
                if (firstOnly) break;
            }
        }
        return found;
    }

  private:
    // A down pass; with `stopAtMatch` the first candidate the result matches, else kNone.
    std::uint32_t down(std::uint32_t p, bool stopAtMatch) {
        return c_.passes.size() == 1 ? down<true>(p, stopAtMatch) : down<false>(p, stopAtMatch);
    }
    template <bool OnePass>
    std::uint32_t down(std::uint32_t p, bool stopAtMatch) {
        const Pass& pass = c_.passes[p];
        const std::size_t words = wordsFor(pass.ops.size());
        for (std::uint32_t op : pass.stored) columns_[op].reset(u_.size());
        RememberedRows remembered(c_, words);
        // Rows by depth: an element's parent is the last element seen one level up.
        rows_.assign(u_.rowsDepth * words, 0);
        for (std::uint32_t i = 0; i < u_.size(); ++i) {
            const HtmlElement& e = *u_.nodes[i];
            const std::size_t depth = static_cast<std::size_t>(e.depth());
            std::uint64_t* row = rows_.data() + depth * words;
            std::fill(row, row + words, 0);
            const std::uint64_t* parentRow = u_.parent[i] == kNone ? nullptr : row - words;
            const TreeElement<OnePass> element{u_, columns_, i};
            remembered.fill(element, parentRow, row, scratch_,
                            [&] { computeRow(c_, p, element, parentRow, row, scratch_); });
            for (std::uint32_t op : pass.stored) {
                if (bitAt(row, c_.bitOf[op])) columns_[op].set(i);
            }
            if (stopAtMatch && i >= u_.firstCandidate && i < u_.endCandidate &&
                bitAt(row, c_.bitOf[c_.result]))
                return i;
        }
        return kNone;
    }

    // A column operation over every element.
    void column(const Op& op, std::uint32_t index) {
        const std::uint32_t n = u_.size();
        Bits& out = columns_[index];
        out.reset(n);
        const Bits& in = columns_[op.input];
        const auto& parent = u_.parent;
        const auto& prev = u_.prev;
        const auto& next = u_.next;
        switch (op.kind) {
            case OpKind::Adjacent:
                for (std::uint32_t i = 0; i < n; ++i) {
                    if (prev[i] != kNone && in.get(prev[i])) out.set(i);
                }
                break;
            case OpKind::Sibling:
                for (std::uint32_t i = 0; i < n; ++i) {
                    if (prev[i] != kNone && (in.get(prev[i]) || out.get(prev[i]))) out.set(i);
                }
                break;
            case OpKind::NthOf: {
                // The count of siblings with the input up to this one, from its end.
                std::vector<std::uint32_t> count(n, 0);
                const auto& link = op.fromEnd ? next : prev;
                for (std::uint32_t k = 0; k < n; ++k) {
                    const std::uint32_t i = op.fromEnd ? n - 1 - k : k;
                    const std::uint32_t before = link[i] == kNone ? 0 : count[link[i]];
                    count[i] = before + (in.get(i) ? 1 : 0);
                    if (in.get(i) && nthMatches(op.a, op.b, count[i])) out.set(i);
                }
                break;
            }
            case OpKind::HasChild:
                for (std::uint32_t i = 0; i < n; ++i) {
                    if (parent[i] != kNone && in.get(i)) out.set(parent[i]);
                }
                break;
            case OpKind::HasDescendant:
                // Bottom-up: every descendant comes after its ancestors.
                for (std::uint32_t i = n; i-- > 0;) {
                    if (parent[i] != kNone && (in.get(i) || out.get(i))) out.set(parent[i]);
                }
                break;
            case OpKind::HasNext:
                for (std::uint32_t i = 0; i < n; ++i) {
                    if (next[i] != kNone && in.get(next[i])) out.set(i);
                }
                break;
            case OpKind::HasFollowing:
                for (std::uint32_t i = n; i-- > 0;) {
                    if (next[i] != kNone && (in.get(next[i]) || out.get(next[i]))) out.set(i);
                }
                break;
            default:
                break;
        }
    }

    const Compiled& c_;
    const Universe& u_;
    std::vector<Bits> columns_;  // per operation, while a later pass reads it
    std::vector<std::vector<std::uint32_t>> releaseAfter_;  // per pass: columns read last there
    std::vector<std::uint64_t> rows_;
    TestScratch scratch_;
};

// The streaming matcher over `chain` (opened, never candidates) and then `top` with
// its subtree, the candidates being `top` itself when `withTop` and its descendants.
ElementList streamTree(const Selector& selector, const ElementList& chain, const HtmlElement& top,
                       bool withTop, bool firstOnly) {
    StreamMatcher matcher(selector);
    for (const HtmlElement* e : chain) matcher.open(e->tagName(), e->attributeText());
    ElementList found;
    if (matcher.open(top.tagName(), top.attributeText()) && withTop) {
        found.push_back(&top);
        if (firstOnly) return found;
    }
    bool done = false;
    walkBelow(
        top,
        [&](const HtmlElement& e) {
            if (done) return false;
            if (matcher.open(e.tagName(), e.attributeText())) {
                found.push_back(&e);
                done = firstOnly;
            }
            return true;
        },
        [&](const HtmlElement&) { matcher.close(); });
    return found;
}

ElementList evaluate(const Universe& u, const Compiled& c, bool firstOnly) {
    if (u.firstCandidate >= u.endCandidate) return {};
    return TreeEvaluator(c, u).run(firstOnly);
}

ElementList selectInDocument(const HtmlDocument& document, const Selector& selector,
                             bool firstOnly) {
    const HtmlElement* root = document.root();
    if (!selector || root == nullptr) return {};
    if (selector.streams()) return streamTree(selector, {}, *root, true, firstOnly);
    const Compiled& c = selector.compiled();
    Universe u;
    UniverseBuilder builder(u, c.usesSiblings);
    builder.addTree(*root);
    addSiblingFacts(u, c);
    u.endCandidate = u.size();
    return evaluate(u, c, firstOnly);
}

ElementList selectInScope(const HtmlElement& scope, const Selector& selector, bool firstOnly) {
    if (!selector || scope.firstChild() == nullptr) return {};
    ElementList chain;  // the scope's ancestors, the top-level one first
    for (const HtmlElement* e = scope.parent(); e != nullptr; e = e->parent()) chain.push_back(e);
    std::reverse(chain.begin(), chain.end());
    if (selector.streams()) return streamTree(selector, chain, scope, false, firstOnly);
    const Compiled& c = selector.compiled();
    Universe u;
    UniverseBuilder builder(u, c.usesSiblings);
    if (c.chainLocal) {
        for (const HtmlElement* e : chain) builder.add(*e);
        builder.addTree(scope);
        u.firstCandidate = static_cast<std::uint32_t>(chain.size()) + 1;
        u.endCandidate = u.size();
    } else {
        builder.watch(&scope);
        builder.addTree(chain.empty() ? scope : *chain.front());
        const auto at = std::find(u.nodes.begin(), u.nodes.end(), &scope);
        u.firstCandidate = static_cast<std::uint32_t>(at - u.nodes.begin()) + 1;
        u.endCandidate = chain.empty() ? u.size() : builder.leftWatch();
    }
    addSiblingFacts(u, c);
    return evaluate(u, c, firstOnly);
}

}  // namespace

}  // namespace selectors

ElementList select(const HtmlDocument& document, const Selector& selector) {
    return selectors::selectInDocument(document, selector, false);
}

const HtmlElement* selectFirst(const HtmlDocument& document, const Selector& selector) {
    const ElementList found = selectors::selectInDocument(document, selector, true);
    return found.empty() ? nullptr : found.front();
}

ElementList select(const HtmlElement& scope, const Selector& selector) {
    return selectors::selectInScope(scope, selector, false);
}

const HtmlElement* selectFirst(const HtmlElement& scope, const Selector& selector) {
    const ElementList found = selectors::selectInScope(scope, selector, true);
    return found.empty() ? nullptr : found.front();
}

}  // namespace kestrune
