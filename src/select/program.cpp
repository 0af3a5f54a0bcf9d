// SPDX-License-Identifier: MIT
// The compiler: syntax to operations, operations to passes. Lists are compiled in
// syntax order, which puts every nested list before the compound that uses it.
#include "select/program.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "base/asciiTable.h"
#include "select/syntax.h"

namespace kestrune::selectors {

bool isDownOp(OpKind kind) { return kind <= OpKind::Descendant; }

bool isElementOp(OpKind kind) {
    return kind == OpKind::Test || kind == OpKind::Empty || kind == OpKind::Position;
}

bool isStreamingOp(OpKind kind) {
    switch (kind) {
        case OpKind::True:
        case OpKind::Test:
        case OpKind::Root:
        case OpKind::And:
        case OpKind::Or:
        case OpKind::Not:
        case OpKind::Child:
        case OpKind::Descendant:
            return true;
        default:
            return false;
    }
}

namespace {

class Compiler {
  public:
    Compiler(const Syntax& syntax, Compiled& out) : syntax_(syntax), out_(out) {}

    void run() {
        out_.tests = syntax_.tests;
        listOps_.reserve(syntax_.lists.size());
        for (const List& list : syntax_.lists) {
            std::vector<std::uint32_t> items;
            for (const Complex& complex : list.items)
                items.push_back(list.relative ? relative(complex) : forward(complex));
            listOps_.push_back(combine(OpKind::Or, items));
        }
        out_.result = listOps_.back();
        // The result must be the last operation: passes end with it.
        if (out_.result + 1 != out_.ops.size()) {
            Op same;
            same.kind = OpKind::Or;
            same.first = static_cast<std::uint32_t>(out_.operands.size());
            same.count = 1;
            out_.operands.push_back(out_.result);
            out_.result = add(same);
        }
    }

  private:
    std::uint32_t add(const Op& op) {
        out_.ops.push_back(op);
        return static_cast<std::uint32_t>(out_.ops.size() - 1);
    }
    std::uint32_t unary(OpKind kind, std::uint32_t input) {
        Op op;
        op.kind = kind;
        op.input = input;
        return add(op);
    }
    std::uint32_t always() {
        if (true_ == kNoList) true_ = add(Op());
        return true_;
    }
    // And or Or of the operations; one stands for itself, none is True.
    std::uint32_t combine(OpKind kind, const std::vector<std::uint32_t>& ops) {
        if (ops.empty()) return always();
        if (ops.size() == 1) return ops[0];
        Op op;
        op.kind = kind;
        op.first = static_cast<std::uint32_t>(out_.operands.size());
        op.count = static_cast<std::uint32_t>(ops.size());
        out_.operands.insert(out_.operands.end(), ops.begin(), ops.end());
        return add(op);
    }
    std::uint32_t position(std::int64_t a, std::int64_t b, bool fromEnd, bool ofType) {
        Op op;
        op.kind = OpKind::Position;
        op.a = a;
        op.b = b;
        op.fromEnd = fromEnd;
        op.ofType = ofType;
        return add(op);
    }
    std::uint32_t nth(const Simple& s, bool fromEnd, bool ofType) {
        if (s.list == kNoList) return position(s.a, s.b, fromEnd, ofType);
        Op op;
        op.kind = OpKind::NthOf;
        op.a = s.a;
        op.b = s.b;
        op.fromEnd = fromEnd;
        op.input = listOps_[s.list];
        return add(op);
    }

    std::uint32_t simple(const Simple& s) {
        if (s.isTest) {
            Op op;
            op.kind = OpKind::Test;
            op.test = s.test;
            return add(op);
        }
        switch (s.pseudo) {
            case Pseudo::Root: {
                Op op;
                op.kind = OpKind::Root;
                return add(op);
            }
            case Pseudo::Empty: {
                Op op;
                op.kind = OpKind::Empty;
                return add(op);
            }
            case Pseudo::FirstChild:
                return position(0, 1, false, false);
            case Pseudo::LastChild:
                return position(0, 1, true, false);
            case Pseudo::FirstOfType:
                return position(0, 1, false, true);
            case Pseudo::LastOfType:
                return position(0, 1, true, true);
            case Pseudo::OnlyChild:
            case Pseudo::OnlyOfType: {
                const bool ofType = s.pseudo == Pseudo::OnlyOfType;
                return combine(OpKind::And,
                               {position(0, 1, false, ofType), position(0, 1, true, ofType)});
            }
            case Pseudo::NthChild:
                return nth(s, false, false);
            case Pseudo::NthLastChild:
                return nth(s, true, false);
            case Pseudo::NthOfType:
                return nth(s, false, true);
            case Pseudo::NthLastOfType:
                return nth(s, true, true);
            case Pseudo::Not:
                return unary(OpKind::Not, listOps_[s.list]);
            case Pseudo::Is:
            case Pseudo::Has:
                return listOps_[s.list];
        }
        return always();
    }
    std::uint32_t compound(const Compound& c) {
        std::vector<std::uint32_t> ops;
        for (const Simple& s : c.simples) ops.push_back(simple(s));
        return combine(OpKind::And, ops);
    }

    // X1 c1 X2 ... Xn: each compound and the combinator's view of the part before it.
    std::uint32_t forward(const Complex& complex) {
        std::uint32_t done = compound(complex.compounds[0]);
        for (std::size_t k = 1; k < complex.compounds.size(); ++k) {
            static constexpr OpKind kForward[] = {OpKind::Descendant, OpKind::Child,
                                                  OpKind::Adjacent, OpKind::Sibling};
            const Compound& c = complex.compounds[k];
            const std::uint32_t related = unary(kForward[static_cast<int>(c.combinator)], done);
            done = combine(OpKind::And, {compound(c), related});
        }
        return done;
    }
    // c0 X1 c1 X2 ... Xn relative to the element :has() is tested on: from the right,
    // each compound and whether the rest of the chain goes on from it; then whether
    // the chain starts at the element.
    std::uint32_t relative(const Complex& complex) {
        static constexpr OpKind kReverse[] = {OpKind::HasDescendant, OpKind::HasChild,
                                              OpKind::HasNext, OpKind::HasFollowing};
        auto reverse = [&](Combinator c, std::uint32_t input) {
            return unary(kReverse[static_cast<int>(c)], input);
        };
        std::size_t k = complex.compounds.size() - 1;
        std::uint32_t rest = compound(complex.compounds[k]);
        while (k > 0) {
            const std::uint32_t onward = reverse(complex.compounds[k].combinator, rest);
            --k;
            rest = combine(OpKind::And, {compound(complex.compounds[k]), onward});
        }
        return reverse(complex.compounds[0].combinator, rest);
    }

    const Syntax& syntax_;
    Compiled& out_;
    std::vector<std::uint32_t> listOps_;  // per list of the syntax: its operation
    std::uint32_t true_ = kNoList;
};

// The inputs of an operation.
template <typename Visit>
void forEachInput(const Compiled& c, const Op& op, Visit&& visit) {
    if (op.kind == OpKind::And || op.kind == OpKind::Or) {
        for (std::uint32_t i = 0; i < op.count; ++i) visit(c.operands[op.first + i]);
    } else if (op.kind >= OpKind::Not) {
        visit(op.input);
    }
}

// Consecutive down operations share a pass; each column operation has its own. An
// operation's inputs come before it, so each is complete, or in the same down pass
// (where the element's own row or its parent's holds it), when it is read.
void schedule(Compiled& c) {
    const std::size_t n = c.ops.size();
    c.passOf.assign(n, 0);
    c.bitOf.assign(n, 0);
    c.lastRead.assign(n, 0);
    bool inDown = false;
    for (std::uint32_t i = 0; i < n; ++i) {
        const bool down = isDownOp(c.ops[i].kind);
        if (!down || !inDown) {
            c.passes.emplace_back();
            c.passes.back().down = down;
        }
        inDown = down;
        Pass& pass = c.passes.back();
        c.passOf[i] = static_cast<std::uint32_t>(c.passes.size() - 1);
        c.bitOf[i] = static_cast<std::uint32_t>(pass.ops.size());
        c.lastRead[i] = c.passOf[i];
        pass.ops.push_back(i);
    }
    std::vector<bool> stored(n, false);
    for (std::uint32_t i = 0; i < n; ++i) {
        stored[i] = stored[i] || !c.passes[c.passOf[i]].down;
        forEachInput(c, c.ops[i], [&](std::uint32_t input) {
            if (c.passOf[input] == c.passOf[i]) return;
            stored[input] = true;
            c.lastRead[input] = std::max(c.lastRead[input], c.passOf[i]);
        });
    }
    stored[c.result] = true;
    c.lastRead[c.result] = static_cast<std::uint32_t>(c.passes.size());
    for (std::uint32_t i = 0; i < n; ++i) {
        if (stored[i] && c.passes[c.passOf[i]].down) c.passes[c.passOf[i]].stored.push_back(i);
    }
    std::vector<bool> readByAnd(n, false);
    std::vector<bool> readOtherwise(n, false);
    for (std::uint32_t i = 0; i < n; ++i) {
        forEachInput(c, c.ops[i], [&](std::uint32_t input) {
            const bool and_ = c.ops[i].kind == OpKind::And && c.passOf[i] == c.passOf[input];
            (and_ ? readByAnd : readOtherwise)[input] = true;
        });
    }
    c.onDemand.assign(n, false);
    for (std::uint32_t i = 0; i < n; ++i)
        c.onDemand[i] =
            isElementOp(c.ops[i].kind) && readByAnd[i] && !readOtherwise[i] && !stored[i];

    const auto isTypeTest = [&](std::uint32_t op) {
        return c.ops[op].kind == OpKind::Test &&
               c.tests[c.ops[op].test].kind == ElementTest::Kind::Type;
    };
    // A type test fails on an element of another name whenever it is asked; any other
    // test may be asked of such an element only when it stands behind a type test, and
    // then only of elements of that type.
    c.rowsFollowParents = true;
    // The operations asked behind a type test, with that test's name.
    std::vector<std::pair<std::string, std::uint32_t>> asked;
    for (std::uint32_t i = 0; i < n; ++i) {
        const Op& op = c.ops[i];
        if (isTypeTest(i)) {
            c.typeNames.push_back(c.tests[op.test].name);
        } else if (isElementOp(op.kind) && !c.onDemand[i]) {
            c.rowsFollowParents = false;
        } else if (op.kind == OpKind::And) {
            const bool behindType = op.count > 0 && isTypeTest(c.operands[op.first]);
            for (std::uint32_t k = 0; k < op.count; ++k) {
                const std::uint32_t input = c.operands[op.first + k];
                if (!c.onDemand[input] || isTypeTest(input)) continue;
                if (behindType) {
                    asked.emplace_back(c.tests[c.ops[c.operands[op.first]].test].name, input);
                } else {
                    c.rowsFollowParents = false;
                }
            }
        }
    }
    c.typeAsks.assign(c.typeNames.size(), {});
    for (std::size_t t = 0; t < c.typeNames.size(); ++t) {
        std::vector<std::uint32_t>& ops = c.typeAsks[t];
        for (const auto& [name, input] : asked)
            if (equalsIgnoreCase(c.typeNames[t], name)) ops.push_back(input);
        std::sort(ops.begin(), ops.end());
        ops.erase(std::unique(ops.begin(), ops.end()), ops.end());
    }
}

// What the evaluators need to know beforehand.
void describe(Compiled& c) {
    const std::size_t n = c.ops.size();
    // chainSafe: the answer needs only the element and its ancestors (and, for :empty,
    // its children, which it reads from the element itself).
    std::vector<bool> chainSafe(n, false);
    c.streams = true;
    c.chainLocal = true;
    for (std::uint32_t i = 0; i < n; ++i) {
        const Op& op = c.ops[i];
        c.streams = c.streams && isStreamingOp(op.kind);
        c.usesSiblings = c.usesSiblings || op.kind == OpKind::Position ||
                         (op.kind >= OpKind::Adjacent && op.kind != OpKind::HasChild &&
                          op.kind != OpKind::HasDescendant);
        c.usesTypePositions = c.usesTypePositions || (op.kind == OpKind::Position && op.ofType);
        bool safe = isStreamingOp(op.kind) || op.kind == OpKind::Empty;
        forEachInput(c, op, [&](std::uint32_t input) { safe = safe && chainSafe[input]; });
        chainSafe[i] = safe;
        if (op.kind == OpKind::Child || op.kind == OpKind::Descendant)
            c.chainLocal = c.chainLocal && chainSafe[op.input];
    }
}

}  // namespace

std::shared_ptr<const Compiled> compileSelector(std::string_view text) {
    auto compiled = std::make_shared<Compiled>();
    compiled->text = text;
    Syntax syntax;
    compiled->ok = parseSelector(text, syntax, compiled->error);
    if (!compiled->ok) return compiled;
    Compiler(syntax, *compiled).run();
    schedule(*compiled);
    describe(*compiled);
    return compiled;
}

}  // namespace kestrune::selectors
