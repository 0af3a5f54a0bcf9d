// SPDX-License-Identifier: MIT
// Internal to src/select: a compiled selector. The syntax becomes a list of operations,
// each answering one sub-expression for every element (a bit per element), in an order
// where every operation comes after those it reads. The operations are grouped into
// passes over the elements:
// - a down pass visits the elements in document order and computes, per element, a
//   row of bits for its operations from the element itself and its parent's row
//   (computeRow in step.h); the streaming matcher runs the same step as elements
//   open;
// - every other operation is a pass of its own over a column of answers: left to
//   right over siblings (+, ~, :nth-child(of S)) or bottom-up (:has, from the end).
// Passes never recurse: a million nested elements cost a million steps per pass.
#pragma once

#include <kestrune/select.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "select/rules.h"

namespace kestrune::selectors {

enum class OpKind : std::uint8_t {
    // Down-pass operations. These first ones need the element alone (Position: and
    // its place among its siblings, known to a tree only).
    True,        // every element
    Test,        // tests[test]
    Root,        // no parent
    Empty,       // :empty
    Position,    // its position is a*n + b, counted from the first or last sibling,
                 // among all siblings or those of its type
    And,         // every one of operands[first, first + count)
    Or,          // any of them
    Not,         // not input
    Child,       // the parent has input
    Descendant,  // an ancestor has input
    // Column operations, each a pass of its own (trees only).
    Adjacent,       // the previous sibling has input (+)
    Sibling,        // a previous sibling has input (~)
    NthOf,          // has input and is the (a*n + b)-th sibling with input
    HasChild,       // a child has input
    HasDescendant,  // a descendant has input
    HasNext,        // the next sibling has input
    HasFollowing,   // a later sibling has input
};

// Down-pass operations: computeRow evaluates them.
bool isDownOp(OpKind kind);
// The operations answered by the element alone, without other answers: Test, Empty and
// Position.
bool isElementOp(OpKind kind);
// The operations that need only the element's tag name, attribute text and ancestors.
bool isStreamingOp(OpKind kind);

struct Op {
    OpKind kind = OpKind::True;
    bool fromEnd = false;     // Position, NthOf: counted from the last sibling
    bool ofType = false;      // Position: among the siblings of the element's type
    std::uint32_t input = 0;  // Not, Child, Descendant and the column operations
    std::uint32_t first = 0;  // And, Or
    std::uint32_t count = 0;
    std::uint32_t test = 0;  // Test
    std::int64_t a = 0;      // Position, NthOf
    std::int64_t b = 0;
};

struct Pass {
    bool down = true;
    std::vector<std::uint32_t> ops;     // a down pass's operations in order; else one
    std::vector<std::uint32_t> stored;  // those whose answers later passes read
};

struct Compiled {
    std::string text;
    bool ok = false;
    SelectorError error;

    std::vector<ElementTest> tests;
    std::vector<Op> ops;
    std::vector<std::uint32_t> operands;
    std::uint32_t result = 0;  // the operation answering the whole selector: the last

    std::vector<Pass> passes;
    std::vector<std::uint32_t> passOf;    // per operation: its pass
    std::vector<std::uint32_t> bitOf;     // per down-pass operation: its bit in the row
    std::vector<std::uint32_t> lastRead;  // per operation: the last pass that reads it
    // Per operation: an element operation (a test, :empty or a position) that only And
    // operations of its own pass read, asked by them when the operands before it
    // passed rather than for every element (an attribute test behind a type test is
    // then asked of that type's elements only).
    std::vector<std::uint8_t> onDemand;
    // The names of the type tests, and whether every other element operation is asked
    // only behind one (on demand, after a type test of its And): then an element whose
    // name none of them has fails every one, and its row follows from its parent's
    // alone.
    std::vector<std::string> typeNames;
    bool rowsFollowParents = false;
    // Per type name: the element operations an element of that name may be asked
    // beyond its name (those standing behind a type test of that name), in order. Its
    // row follows from its parent's, its name and those operations' answers.
    std::vector<std::vector<std::uint32_t>> typeAsks;

    bool streams = false;  // every operation isStreamingOp
    // The operations whose answers reach an element from its ancestors (the inputs of
    // Child and Descendant) need only ancestors themselves: within a scope, the
    // elements above it matter only through their ancestor chain.
    bool chainLocal = false;
    bool usesSiblings = false;       // some operation needs sibling links
    bool usesTypePositions = false;  // some Position counts by type
};

// Parses and compiles `text`; the result is not ok (with its error) when the text is
// no valid selector list.
std::shared_ptr<const Compiled> compileSelector(std::string_view text);

}  // namespace kestrune::selectors
