// SPDX-License-Identifier: MIT
// Internal to src/select: the one per-element step of a down pass, shared by the tree
// evaluator and the streaming matcher. A row holds one bit per operation of the pass;
// an element's row is computed from the element, its parent's row (null for an
// element without a parent) and the columns of earlier passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "select/program.h"
#include "select/rules.h"

namespace kestrune::selectors {

inline std::size_t wordsFor(std::size_t bits) { return (bits + 63) / 64; }
inline bool bitAt(const std::uint64_t* row, std::uint32_t k) {
    return ((row[k >> 6] >> (k & 63)) & 1) != 0;
}
inline void setBitAt(std::uint64_t* row, std::uint32_t k) {
    row[k >> 6] |= std::uint64_t{1} << (k & 63);
}

// The answer of an element operation (isElementOp) for the element.
template <typename Element>
bool askElement(const Compiled& c, const Op& op, const Element& element, TestScratch& scratch) {
    if (op.kind == OpKind::Test)
        return passesTest(c.tests[op.test], element.tagName(), element.attributeText(), scratch);
    return op.kind == OpKind::Position ? element.position(op) : element.isEmpty();
}

// Fills `row` (all zero on entry) for the down pass `passIndex` of `c`. Element gives
// tagName() and attributeText(); for the operations a tree alone has, isEmpty(),
// position(op) and column(op) / parentColumn(op): the answer of an operation of an
// earlier pass for the element or its parent. `scratch` is passesTest's. An Element
// whose kOnePass is true stands for a selector of a single down pass, where each
// operation's bit is its own index.
template <typename Element>
void computeRow(const Compiled& c, std::uint32_t passIndex, const Element& element,
                const std::uint64_t* parentRow, std::uint64_t* row, TestScratch& scratch) {
    const Pass& pass = c.passes[passIndex];
    auto here = [&](std::uint32_t op) {
        if constexpr (Element::kOnePass) return bitAt(row, op);
        return c.passOf[op] == passIndex ? bitAt(row, c.bitOf[op]) : element.column(op);
    };
    auto atParent = [&](std::uint32_t op) {
        if (parentRow == nullptr) return false;
        if constexpr (Element::kOnePass) return bitAt(parentRow, op);
        return c.passOf[op] == passIndex ? bitAt(parentRow, c.bitOf[op]) : element.parentColumn(op);
    };
    auto ask = [&](const Op& op) { return askElement(c, op, element, scratch); };
    for (std::uint32_t k = 0; k < pass.ops.size(); ++k) {
        const Op& op = c.ops[pass.ops[k]];
        bool answer = false;
        switch (op.kind) {
            case OpKind::True:
                answer = true;
                break;
            case OpKind::Test:
            case OpKind::Empty:
            case OpKind::Position:
                answer = !c.onDemand[pass.ops[k]] && ask(op);
                break;
            case OpKind::Root:
                answer = parentRow == nullptr;
                break;
            case OpKind::And:
                answer = true;
                for (std::uint32_t i = 0; i < op.count && answer; ++i) {
                    const std::uint32_t input = c.operands[op.first + i];
                    answer = c.onDemand[input] ? ask(c.ops[input]) : here(input);
                }
                break;
            case OpKind::Or:
                for (std::uint32_t i = 0; i < op.count && !answer; ++i)
                    answer = here(c.operands[op.first + i]);
                break;
            case OpKind::Not:
                answer = !here(op.input);
                break;
            case OpKind::Child:
                answer = atParent(op.input);
                break;
            case OpKind::Descendant:
                answer = parentRow != nullptr && (atParent(op.input) || bitAt(parentRow, k));
                break;
            default:  // column operations have passes of their own
                break;
        }
        if (answer) setBitAt(row, k);
    }
}

// On most pages most elements are of a type the selector never names, or of one it
// asks nothing more of than its name. When the rows follow from the parents' rows
// (Compiled::rowsFollowParents, a selector of one down pass), an element's row is
// remembered here, for rows of one word, by the parent's row, the element's type and
// the answers of what its type is asked beyond its name (Compiled::typeAsks): an
// element of such a type is asked those alone, eagerly, instead of the whole pass.
class RememberedRows {
  public:
    // Rows of one word: a pass of at most 64 operations, so that the answers of what a
    // type is asked (distinct operations of the pass) fit a word too.
    RememberedRows(const Compiled& c, std::size_t words)
        : c_(c), on_(words == 1 && c.passes.size() == 1 && c.rowsFollowParents) {}

    // Fills `row` (all zero) of `element` whose parent has `parentRow` (null for none):
    // from memory when it may, else by compute().
    template <typename Element, typename Compute>
    void fill(const Element& element, const std::uint64_t* parentRow, std::uint64_t* row,
              TestScratch& scratch, Compute&& compute) {
        if (!on_ || parentRow == nullptr) {
            compute();
            return;
        }
        const std::uint64_t type = typeOf(element.tagName());
        std::uint64_t answers = 0;
        if (type != 0) {
            const std::vector<std::uint32_t>& asks = c_.typeAsks[type - 1];
            for (std::size_t k = 0; k < asks.size(); ++k)
                if (askElement(c_, c_.ops[asks[k]], element, scratch))
                    answers |= std::uint64_t{1} << k;
        }
        const std::uint64_t key =
            (*parentRow * 0x9E3779B97F4A7C15ULL) ^ (answers * 0xC2B2AE3D27D4EB4FULL);
        Slot& slot = slots_[((key + type) * 0x9E3779B97F4A7C15ULL) >> 58];
        if (!slot.known || slot.parent != *parentRow || slot.type != type ||
            slot.answers != answers) {
            compute();
            slot = {true, *parentRow, type, answers, *row};
        }
        *row = slot.row;
    }

  private:
    // 1 + the first type name equal to `tagName` without case, or 0.
    std::uint64_t typeOf(std::string_view tagName) const {
        for (std::size_t t = 0; t < c_.typeNames.size(); ++t)
            if (equalsIgnoreCase(tagName, c_.typeNames[t])) return t + 1;
        return 0;
    }

    const Compiled& c_;
    bool on_;
    struct Slot {
        bool known = false;
        std::uint64_t parent = 0;
        std::uint64_t type = 0;
        std::uint64_t answers = 0;
        std::uint64_t row = 0;
    };
    Slot slots_[64];
};

}  // namespace kestrune::selectors
