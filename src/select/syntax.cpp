// SPDX-License-Identifier: MIT
// The selector parser: one pass over the text with a stack of frames, one per open
// parenthesis of :not() :is() :where() :has() or "of S", each frame holding the list,
// complex selector and compound it is building. A frame that closes becomes a list of
// the syntax and a simple selector of the compound that opened it.
#include "select/syntax.h"

#include <string>
#include <utility>

#include "base/asciiTable.h"
#include "base/utf8.h"

namespace kestrune::selectors {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return isAsciiAlnum(c) && !isDigit(c); }
// Bytes from 0x80 up are name characters, whatever the encoding.
bool isNameStart(char c) {
    return isLetter(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool isNameChar(char c) { return isNameStart(c) || isDigit(c) || c == '-'; }
bool isNewline(char c) { return c == '\n' || c == '\r' || c == '\f'; }
int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    const char lower = toLowerByte(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

std::string quoted(std::string_view s) {
    std::string out(1, '"');
    out.append(s);
    out.push_back('"');
    return out;
}

// What a pseudo-class takes in parentheses.
enum class Argument : std::uint8_t { None, Selectors, Relative, Nth, NthOf, PseudoElement };

struct PseudoName {
    std::string_view name;
    Pseudo pseudo;
    Argument argument;
};

constexpr PseudoName kPseudoNames[] = {
    {"root", Pseudo::Root, Argument::None},
    {"empty", Pseudo::Empty, Argument::None},
    {"first-child", Pseudo::FirstChild, Argument::None},
    {"last-child", Pseudo::LastChild, Argument::None},
    {"only-child", Pseudo::OnlyChild, Argument::None},
    {"first-of-type", Pseudo::FirstOfType, Argument::None},
    {"last-of-type", Pseudo::LastOfType, Argument::None},
    {"only-of-type", Pseudo::OnlyOfType, Argument::None},
    {"nth-child", Pseudo::NthChild, Argument::NthOf},
    {"nth-last-child", Pseudo::NthLastChild, Argument::NthOf},
    {"nth-of-type", Pseudo::NthOfType, Argument::Nth},
    {"nth-last-of-type", Pseudo::NthLastOfType, Argument::Nth},
    {"not", Pseudo::Not, Argument::Selectors},
    {"is", Pseudo::Is, Argument::Selectors},
    {"where", Pseudo::Is, Argument::Selectors},
    {"has", Pseudo::Has, Argument::Relative},
    // The pseudo-elements CSS 2 wrote with one colon.
    {"before", Pseudo::Root, Argument::PseudoElement},
    {"after", Pseudo::Root, Argument::PseudoElement},
    {"first-line", Pseudo::Root, Argument::PseudoElement},
    {"first-letter", Pseudo::Root, Argument::PseudoElement},
};

class Parser {
  public:
    Parser(std::string_view text, Syntax& syntax, SelectorError& error)
        : text_(text), syntax_(syntax), error_(error) {}

    bool run() {
        frames_.emplace_back();
        while (true) {
            Frame& f = frames_.back();
            switch (f.state) {
                case State::ComplexStart:
                    startComplex(f);
                    break;
                case State::CompoundStart:
                    if (!startsCompound(pos_)) {
                        return fail(pos_, f.after.empty()
                                              ? "expected a selector"
                                              : "expected a selector after " + quoted(f.after));
                    }
                    f.state = State::InCompound;
                    break;
                case State::InCompound: {
                    const Step step = simpleSelector(f);  // may push a frame: f is stale then
                    if (step == Step::Failed) return false;
                    if (step == Step::Ended) frames_.back().state = State::AfterCompound;
                    break;
                }
                case State::AfterCompound: {
                    const Step step = afterCompound(f);
                    if (step == Step::Failed) return false;
                    if (step == Step::Ended) return true;
                    break;
                }
            }
        }
    }

  private:
    // Where a frame is: before a complex selector (a relative one may begin with a
    // combinator), before a compound that must follow, inside one, or after one.
    enum class State : std::uint8_t { ComplexStart, CompoundStart, InCompound, AfterCompound };
    enum class Step : std::uint8_t { Continue, Ended, Failed };

    struct Frame {
        List list;
        Complex complex;
        Compound compound;
        bool anySimple = false;  // the compound has a simple selector or "*" already
        State state = State::ComplexStart;
        std::string after;  // what a selector expected next follows, for messages
        // The pseudo-class whose argument the frame reads.
        Pseudo pseudo = Pseudo::Is;
        std::int64_t a = 0;
        std::int64_t b = 0;
    };

    std::size_t size() const { return text_.size(); }
    bool at(std::size_t i, char c) const { return i < size() && text_[i] == c; }

    bool fail(std::size_t offset, const std::string& message) {
        error_.offset = offset;
        error_.message = message + " at offset " + std::to_string(offset);
        return false;
    }
    Step failed(std::size_t offset, const std::string& message) {
        fail(offset, message);
        return Step::Failed;
    }
    Step unexpected(std::size_t offset) {
        const auto c = static_cast<unsigned char>(text_[offset]);
        if (c > 0x20 && c < 0x7F)
            return failed(offset, "unexpected " + quoted(text_.substr(offset, 1)));
        static constexpr char kHex[] = "0123456789ABCDEF";
        return failed(offset, std::string("unexpected byte 0x") + kHex[c >> 4] + kHex[c & 15]);
    }
    Step noNamespaces(std::size_t offset) { return failed(offset, "namespaces are not supported"); }

    // Skips white space; true when there was some.
    bool skipSpace() {
        const std::size_t from = pos_;
        while (pos_ < size() && isSelectorSpace(text_[pos_])) ++pos_;
        return pos_ != from;
    }

    bool validEscape(std::size_t i) const {
        return at(i, '\\') && !(i + 1 < size() && isNewline(text_[i + 1]));
    }
    bool startsName(std::size_t i) const {
        if (i >= size()) return false;
        if (text_[i] == '-') {
            return i + 1 < size() &&
                   (isNameStart(text_[i + 1]) || text_[i + 1] == '-' || validEscape(i + 1));
        }
        return isNameStart(text_[i]) || validEscape(i);
    }
    bool startsCompound(std::size_t i) const {
        if (i >= size()) return false;
        const char c = text_[i];
        return c == '*' || c == '#' || c == '.' || c == '[' || c == ':' || c == '|' ||
               startsName(i);
    }
    bool combinatorAt(std::size_t i, Combinator& combinator) const {
        if (at(i, '>')) {
            combinator = Combinator::Child;
        } else if (at(i, '+')) {
            combinator = Combinator::Adjacent;
        } else if (at(i, '~')) {
            combinator = Combinator::Sibling;
        } else {
            return false;
        }
        return true;
    }

    // An escape at pos_ ("\" that is a valid escape), its code point as UTF-8.
    void readEscape(std::string& out) {
        ++pos_;
        if (pos_ == size()) {
            appendUtf8(out, kReplacementChar);
            return;
        }
        if (hexValue(text_[pos_]) < 0) {
            out.push_back(text_[pos_++]);
            return;
        }
        char32_t value = 0;
        for (int digits = 0; digits < 6 && pos_ < size() && hexValue(text_[pos_]) >= 0; ++digits) {
            value = value * 16 + static_cast<char32_t>(hexValue(text_[pos_++]));
        }
        // One white space ends the escape (CR LF counts as one).
        if (pos_ < size() && isSelectorSpace(text_[pos_])) {
            if (text_[pos_] == '\r' && at(pos_ + 1, '\n')) ++pos_;
            ++pos_;
        }
        appendUtf8(out, value);
    }
    // A name at pos_ (startsName(pos_) holds), escapes decoded.
    void readName(std::string& out) {
        while (pos_ < size()) {
            if (isNameChar(text_[pos_])) {
                out.push_back(text_[pos_++]);
            } else if (validEscape(pos_)) {
                readEscape(out);
            } else {
                break;
            }
        }
    }
    // The name at i, ASCII case folded, when there is one; pos_ stays.
    std::string lowerNameAt(std::size_t i) {
        std::string name;
        const std::size_t saved = pos_;
        pos_ = i;
        if (startsName(pos_)) readName(name);
        pos_ = saved;
        for (char& c : name) c = toLowerByte(c);
        return name;
    }
    // A quoted string at pos_.
    bool readString(std::string& out) {
        const char quote = text_[pos_++];
        while (true) {
            if (pos_ == size() || isNewline(text_[pos_])) {
                std::string expected = "expected ";
                expected += quote;
                return fail(pos_, expected + " to end the string");
            }
            const char c = text_[pos_];
            if (c == quote) {
                ++pos_;
                return true;
            }
            if (c != '\\') {
                out.push_back(c);
                ++pos_;
            } else if (pos_ + 1 == size()) {
                ++pos_;
            } else if (isNewline(text_[pos_ + 1])) {
                // An escaped line break continues the string.
                pos_ += (text_[pos_ + 1] == '\r' && at(pos_ + 2, '\n')) ? 3 : 2;
            } else {
                readEscape(out);
            }
        }
    }
    // Decimal digits at pos_, a value too large kept at 10^12; false when there are none.
    bool readDigits(std::int64_t& value) {
        value = 0;
        const std::size_t from = pos_;
        for (; pos_ < size() && isDigit(text_[pos_]); ++pos_) {
            if (value < 1000000000000) value = value * 10 + (text_[pos_] - '0');
        }
        return pos_ != from;
    }
    // An+B at pos_: odd, even, an integer, or [sign][digits]n [sign digits], with white
    // space allowed around the sign of B only.
    bool readAnB(std::int64_t& a, std::int64_t& b) {
        auto bad = [&] { return fail(pos_, "expected An+B such as 2n+1, odd or even"); };
        const std::string word = lowerNameAt(pos_);
        if (word == "odd" || word == "even") {
            a = 2;
            b = word == "odd" ? 1 : 0;
            std::string written;
            readName(written);
            return true;
        }
        std::int64_t sign = 1;
        if (at(pos_, '+') || at(pos_, '-')) sign = text_[pos_++] == '-' ? -1 : 1;
        std::int64_t number = 0;
        const bool digits = readDigits(number);
        if (at(pos_, 'n') || at(pos_, 'N')) {
            ++pos_;
            a = sign * (digits ? number : 1);
            b = 0;
            std::size_t p = pos_;
            while (p < size() && isSelectorSpace(text_[p])) ++p;
            if (at(p, '+') || at(p, '-')) {
                const std::int64_t bSign = text_[p] == '-' ? -1 : 1;
                pos_ = p + 1;
                skipSpace();
                if (!readDigits(number)) return bad();
                b = bSign * number;
            }
        } else if (digits) {
            a = 0;
            b = sign * number;
        } else {
            return bad();
        }
        if (pos_ < size() && (isNameChar(text_[pos_]) || text_[pos_] == '\\')) return bad();
        return true;
    }

    void addTest(Frame& f, ElementTest test) {
        syntax_.tests.push_back(std::move(test));
        Simple simple;
        simple.test = static_cast<std::uint32_t>(syntax_.tests.size() - 1);
        f.compound.simples.push_back(simple);
        f.anySimple = true;
    }
    void addPseudo(Frame& f, Pseudo pseudo, std::int64_t a, std::int64_t b, std::uint32_t list) {
        Simple simple;
        simple.isTest = false;
        simple.pseudo = pseudo;
        simple.a = a;
        simple.b = b;
        simple.list = list;
        f.compound.simples.push_back(simple);
        f.anySimple = true;
    }
    void push(Pseudo pseudo, bool relative, std::string after, std::int64_t a = 0,
              std::int64_t b = 0) {
        Frame inner;
        inner.list.relative = relative;
        inner.pseudo = pseudo;
        inner.after = std::move(after);
        inner.a = a;
        inner.b = b;
        frames_.push_back(std::move(inner));
    }

    void startComplex(Frame& f) {
        skipSpace();
        f.complex = Complex();
        f.compound = Compound();
        f.anySimple = false;
        Combinator combinator;
        if (f.list.relative && combinatorAt(pos_, combinator)) {
            f.compound.combinator = combinator;
            f.after = text_.substr(pos_++, 1);
            skipSpace();
        }
        f.state = State::CompoundStart;
    }

    Step simpleSelector(Frame& f) {
        if (pos_ == size()) return Step::Ended;
        const char c = text_[pos_];
        if (!f.anySimple && (c == '*' || c == '|' || startsName(pos_))) {
            if (c == '|') return noNamespaces(pos_);
            if (c == '*') {
                ++pos_;
                f.anySimple = true;
            } else {
                ElementTest test;
                readName(test.name);
                addTest(f, std::move(test));
            }
            if (at(pos_, '|')) return noNamespaces(pos_);
            return Step::Continue;
        }
        if (c == '#' || c == '.') {
            ++pos_;
            if (!startsName(pos_)) return failed(pos_, "expected a name after " + quoted({&c, 1}));
            ElementTest test;
            test.kind = c == '#' ? ElementTest::Kind::Equals : ElementTest::Kind::Includes;
            test.name = c == '#' ? "id" : "class";
            readName(test.value);
            addTest(f, std::move(test));
            return Step::Continue;
        }
        if (c == '[') return attributeSelector(f);
        if (c == ':') return pseudoClass(f);
        return Step::Ended;
    }

    Step attributeSelector(Frame& f) {
        using Kind = ElementTest::Kind;
        ++pos_;
        skipSpace();
        if (at(pos_, '|') || (at(pos_, '*') && at(pos_ + 1, '|'))) return noNamespaces(pos_);
        if (!startsName(pos_)) return failed(pos_, "expected an attribute name after \"[\"");
        ElementTest test;
        test.kind = Kind::Exists;
        readName(test.name);
        if (at(pos_, '|') && !at(pos_ + 1, '=')) return noNamespaces(pos_);
        skipSpace();
        const std::size_t op = pos_;
        if (at(pos_, '=')) {
            test.kind = Kind::Equals;
        } else if (pos_ + 1 < size() && text_[pos_ + 1] == '=') {
            // The operators of two bytes, by their first one.
            static constexpr std::string_view kFirst = "~|^$*";
            static constexpr Kind kKinds[] = {Kind::Includes, Kind::DashMatch, Kind::Prefix,
                                              Kind::Suffix, Kind::Substring};
            const std::size_t which = kFirst.find(text_[pos_]);
            if (which != std::string_view::npos) test.kind = kKinds[which];
        }
        if (test.kind == Kind::Exists && !at(pos_, ']'))
            return failed(pos_, "expected an operator or \"]\" after the attribute name");
        if (test.kind != Kind::Exists) {
            pos_ += test.kind == Kind::Equals ? 1 : 2;
            const std::string_view written = text_.substr(op, pos_ - op);
            skipSpace();
            if (at(pos_, '"') || at(pos_, '\'')) {
                if (!readString(test.value)) return Step::Failed;
            } else if (startsName(pos_)) {
                readName(test.value);
            } else {
                return failed(pos_, "expected a name or a quoted string after " + quoted(written));
            }
            skipSpace();
            if (startsName(pos_)) {
                const std::size_t flagAt = pos_;
                std::string flag = lowerNameAt(pos_);
                if (flag != "i" && flag != "s")
                    return failed(flagAt, "expected \"i\", \"s\" or \"]\" after the value");
                test.ignoreCase = flag == "i";
                pos_ = flagAt;
                readName(flag);
                skipSpace();
            }
        }
        if (!at(pos_, ']')) return failed(pos_, "expected \"]\"");
        ++pos_;
        addTest(f, std::move(test));
        return Step::Continue;
    }

    Step pseudoClass(Frame& f) {
        const std::size_t colon = pos_++;
        if (at(pos_, ':')) return failed(colon, "pseudo-elements are not supported");
        if (!startsName(pos_)) return failed(pos_, "expected a name after \":\"");
        const std::string name = lowerNameAt(pos_);
        std::string ignored;
        readName(ignored);
        const std::string_view written = text_.substr(colon, pos_ - colon);
        const bool call = at(pos_, '(');
        const PseudoName* known = nullptr;
        for (const PseudoName& p : kPseudoNames) {
            if (p.name == name) known = &p;
        }
        if (known == nullptr) {
            return failed(colon, "unsupported pseudo-class " +
                                     quoted(std::string(written) + (call ? "()" : "")));
        }
        if (known->argument == Argument::PseudoElement)
            return failed(colon, "pseudo-elements are not supported");
        if (known->argument == Argument::None) {
            if (call) return failed(pos_, quoted(written) + " takes no argument");
            addPseudo(f, known->pseudo, 0, 0, kNoList);
            return Step::Continue;
        }
        if (!call) return failed(pos_, "expected \"(\" after " + quoted(written));
        ++pos_;
        if (known->argument == Argument::Selectors || known->argument == Argument::Relative) {
            push(known->pseudo, known->argument == Argument::Relative, "(");
            return Step::Continue;
        }
        skipSpace();
        std::int64_t a = 0;
        std::int64_t b = 0;
        if (!readAnB(a, b)) return Step::Failed;
        skipSpace();
        // readAnB stops before a name character: "of" always follows white space.
        if (known->argument == Argument::NthOf && lowerNameAt(pos_) == "of") {
            std::string of;
            readName(of);
            push(known->pseudo, false, "of", a, b);
            return Step::Continue;
        }
        if (!at(pos_, ')')) {
            return failed(pos_, known->argument == Argument::NthOf ? "expected \"of\" or \")\""
                                                                   : "expected \")\"");
        }
        ++pos_;
        addPseudo(f, known->pseudo, a, b, kNoList);
        return Step::Continue;
    }

    // The compound that ended at pos_ joins its complex selector; what follows decides
    // the next state. Ended once the whole text is read.
    Step afterCompound(Frame& f) {
        f.complex.compounds.push_back(std::move(f.compound));
        f.compound = Compound();
        f.anySimple = false;
        const bool spaced = skipSpace();
        if (pos_ == size() || at(pos_, ',') || at(pos_, ')')) {
            f.list.items.push_back(std::move(f.complex));
            if (pos_ == size()) {
                if (frames_.size() > 1) return failed(pos_, "expected \")\"");
                syntax_.lists.push_back(std::move(f.list));
                return Step::Ended;
            }
            if (text_[pos_] == ',') {
                ++pos_;
                f.after = ",";
                f.state = State::ComplexStart;
                return Step::Continue;
            }
            if (frames_.size() == 1) return unexpected(pos_);
            ++pos_;
            closeFrame();
            return Step::Continue;
        }
        Combinator combinator;
        if (combinatorAt(pos_, combinator)) {
            f.compound.combinator = combinator;
            f.after = text_.substr(pos_++, 1);
            skipSpace();
            f.state = State::CompoundStart;
            return Step::Continue;
        }
        if (!spaced || !startsCompound(pos_)) return unexpected(pos_);
        f.compound.combinator = Combinator::Descendant;
        f.state = State::InCompound;
        return Step::Continue;
    }

    // The innermost frame's list is complete: it becomes the argument of the
    // pseudo-class in the compound of the frame around it.
    void closeFrame() {
        Frame done = std::move(frames_.back());
        frames_.pop_back();
        syntax_.lists.push_back(std::move(done.list));
        addPseudo(frames_.back(), done.pseudo, done.a, done.b,
                  static_cast<std::uint32_t>(syntax_.lists.size() - 1));
        frames_.back().state = State::InCompound;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    Syntax& syntax_;
    SelectorError& error_;
    std::vector<Frame> frames_;
};

}  // namespace

bool parseSelector(std::string_view text, Syntax& syntax, SelectorError& error) {
    syntax = Syntax();
    error = SelectorError();
    return Parser(text, syntax, error).run();
}

}  // namespace kestrune::selectors
