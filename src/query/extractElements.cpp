// SPDX-License-Identifier: MIT
// The extraction consumer of the parser core. A found element's text is the run of
// text pieces (its own text, the own texts and tails of its descendants) that the
// core hands over while the element is open; the pieces are kept only while some
// found element is open, and the found elements are written out in document order
// once the outermost open one ends. Which top-level element is the root is known
// for certain only once no "html" tag can follow, so until then the sink holds the
// findings of the candidates: the first top-level element that is neither doctype
// nor "html", and the latest "html" one. A candidate that begins after the last
// place an "html" tag could start is the root and streams at once (the usual page:
// one "html" element). Past a limit the holding stops; a second pass then knows the
// root and streams. Raw blocks (comment, script, style) hold no other element and
// no text beyond their content: each is handed on as soon as the core has read it.
#include "query/extractElements.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <vector>

#include "base/asciiTable.h"
#include "base/platform.h"
#include "html/parserCore.h"
#include "query/gatherTexts.h"
#include "select/streamMatcher.h"

namespace kestrune {

namespace {

// A stack of plain values whose capacity is fixed when it is made. It starts in a
// small block from the heap; nesting deeper than that moves it once to one block
// of the full capacity (straight from the system, in huge pages, when it is large):
// millions of levels of nesting then cost few page faults and are never copied
// again, while a page of ordinary depth never touches a huge page.
template <typename T>
class FixedStack {
  public:
    explicit FixedStack(std::size_t capacity)
        : capacity_(capacity), limit_(capacity < kSmall ? capacity : kSmall) {
        data_ = static_cast<T*>(platform::allocate(limit_ * sizeof(T)));
        if (data_ == nullptr) throw std::bad_alloc();
    }
    FixedStack(const FixedStack&) = delete;
    FixedStack& operator=(const FixedStack&) = delete;
    ~FixedStack() { release(); }
    void push_back(const T& value) {
        if (size_ == limit_) moveToFullBlock();
        data_[size_++] = value;
    }
    void pop_back() { --size_; }
    T& back() { return data_[size_ - 1]; }
    const T& back() const { return data_[size_ - 1]; }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    void clear() { size_ = 0; }

  private:
    static constexpr std::size_t kSmall = 4096;

    void moveToFullBlock() {
        // The capacity is an upper bound the text guarantees; never write past it.
        if (limit_ == capacity_) throw std::bad_alloc();
        const std::size_t bytes = capacity_ * sizeof(T);
        const bool large = bytes >= platform::kLargeBlockBytes;
        void* block = large ? platform::allocateLarge(bytes) : platform::allocate(bytes);
        if (block == nullptr) throw std::bad_alloc();
        std::memcpy(block, data_, size_ * sizeof(T));
        release();
        data_ = static_cast<T*>(block);
        large_ = large;
        limit_ = capacity_;
    }
    void release() {
        if (large_) {
            platform::freeLarge(data_, capacity_ * sizeof(T));
        } else {
            platform::release(data_);
        }
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_;
    std::size_t limit_;  // of the block in use
    bool large_ = false;
};

// Held findings beyond this size make a second pass cheaper than holding them.
constexpr std::size_t kHoldLimit = 16 << 20;
constexpr std::size_t kUnknown = ~std::size_t{0};

// The extractor's state is three small machines, each changed in one place:
// - the phase of the current top-level element (phaseFor, on each top-level element;
//   afterFound): Skipping, Holding (a root candidate, its findings held), Streaming
//   (the root, its findings streamed) or Overflowed (held findings grew too large:
//   this pass keeps nothing more, and a second pass that knows the root makes the
//   report);
// - what the newest element is (child): another element, a found element, or a found
//   raw block, complete at the next finished();
// - the text slot the core fills next (slot, and every structural event that opens a
//   new one): fresh, given a text that was not kept, or given one kept as the last
//   piece, which a second text for the same slot replaces.
class Extractor {
  public:
    // With `root` the top-level ordinal of the root (known from an earlier pass),
    // else kUnknown.
    // With `raw` the elements found are raw blocks (comment, script, style).
    Extractor(const ScannedText& text, std::size_t lastHtmlTag, const ElementQuery& query, bool raw,
              ElementSink& sink, RootCandidates& candidates, std::size_t root,
              RootSettling settling)
        : text_(text.data()),
          length_(text.size()),
          tagName_(query.tagName),
          raw_(raw),
          asWritten_(query.textsAsWritten),
          sink_(sink),
          candidates_(candidates),
          // Every open element took at least three bytes of text ("<a>"): room for the
          // deepest nesting the text allows, touched only as far as the nesting goes.
          chain_(text.size() / 3 + 1),
          open_(text.size() / 3 + 1),
          knownRoot_(root),
          // Holding every candidate: as if an "html" tag could begin at the very end.
          lastHtmlTag_(settling == RootSettling::Hold ? text.size() : lastHtmlTag) {
        if (query.selector != nullptr) matcher_.emplace(*query.selector);
    }

    // ----- Events of the parser core -----
    void topLevel(const Token& token) {
        chain_.clear();
        newestName_ = token.tagName;
        newest_ = Newest::Other;
        written_ = 0;
        ++ordinal_;
        phase_ = phaseFor(token.tagName);
        slot_ = Slot::Fresh;
        // A selector may match the root itself.
        if (matcher_ && matcher_->open(token.tagName, token.attributeText) && collecting())
            openMatch(token);
    }
    void child(const Token& token, std::uint16_t) {
        newestName_ = token.tagName;
        newest_ = Newest::Other;
        slot_ = Slot::Fresh;
        const bool found = matcher_ ? matcher_->open(token.tagName, token.attributeText)
                                    : token.tagName.size() == tagName_.size() &&
                                          equalsIgnoreCase(token.tagName, tagName_);
        if (!found || !collecting()) return;
        if (raw_) {
            // Complete in the finished() that follows: nothing to keep open.
            newest_ = Newest::RawMatch;
            rawToken_ = token;
            return;
        }
        openMatch(token);
    }
    void finished(std::uint32_t flags, std::string_view content) {
        if (newest_ == Newest::RawMatch) {
            newest_ = Newest::Other;
            sink_.rawBlock(rawToken_.tagName, rawToken_.attributeText, content,
                           (flags & detail::ElementLinks::kComment) != 0, ++written_);
            afterFound();
        } else if (!content.empty() && !open_.empty()) {
            pieces_.push_back(content);
        }
    }
    void descend() {
        chain_.push_back(newestName_);
        if (newest_ == Newest::Match) open_.back().depth = depth();
        slot_ = Slot::Fresh;
    }
    void leaf(bool) {
        if (newest_ == Newest::Match) closeInnermost();
        if (matcher_) matcher_->close();
        slot_ = Slot::Fresh;
    }
    void slot(std::string_view written) {
        // A second text for the same slot replaces the first.
        if (slot_ == Slot::Kept) pieces_.pop_back();
        if (open_.empty()) {
            slot_ = Slot::Given;
            return;
        }
        const std::string_view text = asWritten_ ? written : detail::trimmedText(written);
        slot_ = text.empty() ? Slot::Given : Slot::Kept;
        if (slot_ == Slot::Kept) pieces_.push_back(text);
    }
    void strayEnd(std::string_view) {}
    std::string_view ascend(bool, bool) {
        if (!open_.empty() && open_.back().depth == depth()) closeInnermost();
        if (matcher_) matcher_->close();
        chain_.pop_back();
        slot_ = Slot::Fresh;
        return chain_.back();
    }
    void topLevelEnd(bool, TopLevelKind kind) {
        // What is still open is the top-level element itself, found by a selector.
        if (!open_.empty()) closeInnermost();
        if (matcher_) matcher_->close();
        // Only a candidate found anything; the root streamed.
        if (knownRoot_ == kUnknown && root_.wants(kind)) candidates_.keep(heldAs(kind));
        root_.offer(kind, ordinal_);
    }

    // After the pass: false when there is no root.
    bool found() const { return root_.found(); }
    // The root's ordinal; the pass could not hold its report when overflowed().
    std::size_t root() const { return root_.root(); }
    bool overflowed() const { return phase_ == Phase::Overflowed; }
    // Tells the sink which held findings are the root's (streamed ones are complete).
    void finish() {
        if (knownRoot_ == kUnknown)
            candidates_.commit(heldAs(root_.isHtml() ? TopLevelKind::kHtml : TopLevelKind::kOther));
    }

  private:
    enum class Phase : std::uint8_t { Skipping, Holding, Streaming, Overflowed };
    enum class Newest : std::uint8_t { Other, Match, RawMatch };
    enum class Slot : std::uint8_t { Fresh, Given, Kept };

    bool collecting() const { return phase_ == Phase::Holding || phase_ == Phase::Streaming; }

    void openMatch(const Token& token) {
        newest_ = Newest::Match;
        matches_.push_back(Match{refOf(token.attributeText), count(), 0});
        open_.push_back(Open{static_cast<std::uint32_t>(matches_.size() - 1), 0});
    }

    static HeldAs heldAs(TopLevelKind kind) {
        return kind == TopLevelKind::kHtml ? HeldAs::LastHtml : HeldAs::FirstOther;
    }

    // The phase of the top-level element named `name` that begins now.
    Phase phaseFor(std::string_view name) {
        if (knownRoot_ != kUnknown) {
            if (ordinal_ != knownRoot_) return Phase::Skipping;
            candidates_.stream();
            return Phase::Streaming;
        }
        if (phase_ == Phase::Overflowed) return Phase::Overflowed;
        // A later "html" element replaces an earlier one; of the others only the
        // first can become the root.
        const TopLevelKind kind = topLevelKindOf(name);
        if (!root_.wants(kind)) return Phase::Skipping;
        if (!isCertainRoot(kind, name)) return Phase::Holding;
        // Nothing held is needed any more, and the report streams.
        knownRoot_ = ordinal_;
        candidates_.dropAll();
        candidates_.stream();
        return Phase::Streaming;
    }

    // Attribute texts by offset, counts in 32 bits (texts are below 10 MiB): there can
    // be millions of open matches.
    struct NameRef {
        std::uint32_t offset;
        std::uint32_t length;
    };
    struct Match {
        NameRef attributes;
        std::uint32_t first;  // its pieces: [first, end)
        std::uint32_t end;
    };
    struct Open {
        std::uint32_t match;  // index into matches_
        std::uint32_t depth;  // its place in chain_ (1 = first), 0 while not there
    };

    NameRef refOf(std::string_view s) const {
        return NameRef{static_cast<std::uint32_t>(s.empty() ? 0 : s.data() - text_),
                       static_cast<std::uint32_t>(s.size())};
    }
    std::string_view viewOf(NameRef r) const {
        return std::string_view(text_ + r.offset, r.length);
    }
    std::uint32_t depth() const { return static_cast<std::uint32_t>(chain_.size()); }

    std::uint32_t count() const { return static_cast<std::uint32_t>(pieces_.size()); }

    void closeInnermost() {
        matches_[open_.back().match].end = count();
        open_.pop_back();
        if (open_.empty()) flush();
    }

    // True when no "html" element can begin after the name `name` of a top-level
    // element of this kind, which therefore is the root. (A name that lost CR, LF or
    // TAB lies outside the text: its element is held, which is always right.)
    bool isCertainRoot(TopLevelKind kind, std::string_view name) const {
        const std::less<const char*> before;
        if (before(name.data(), text_) || !before(name.data(), text_ + length_)) return false;
        const auto at = static_cast<std::size_t>(name.data() - text_);
        if (lastHtmlTag_ != kNoPlace && lastHtmlTag_ >= at) return false;
        return kind == TopLevelKind::kHtml || (kind == TopLevelKind::kOther && !root_.isHtml());
    }

    // Every found element is complete: hands them to the sink in document order.
    void flush() {
        for (const Match& m : matches_) {
            // Texts of nested elements can add up to far more than the page.
            if (candidates_.failed()) break;
            std::string_view text;
            if (m.end - m.first == 1 && pieces_[m.first].find('&') == std::string_view::npos) {
                text = pieces_[m.first];  // nothing to join or decode
            } else if (m.end != m.first) {
                decoded_.clear();
                appendDecodedPieces(pieces_.data() + m.first, m.end - m.first, decoded_, scratch_);
                text = decoded_;
            }
            sink_.element(viewOf(m.attributes), text);
            if (!afterFound()) break;
        }
        matches_.clear();
        pieces_.clear();
        if (slot_ == Slot::Kept) slot_ = Slot::Given;
    }

    // After a finding: stops holding when what is held grows too large. False when
    // it stopped.
    bool afterFound() {
        if (knownRoot_ != kUnknown || candidates_.heldBytes() <= kHoldLimit) return true;
        // Stop holding: the second pass will make the report.
        phase_ = Phase::Overflowed;
        candidates_.dropAll();
        return false;
    }

    const char* text_;
    std::size_t length_;
    std::string_view tagName_;
    bool raw_;
    bool asWritten_;  // texts keep the white space at their start
    ElementSink& sink_;
    RootCandidates& candidates_;
    // Names of the open elements, the top-level one first (a name that lost CR, LF or
    // TAB lies outside the text).
    FixedStack<std::string_view> chain_;
    std::vector<Match> matches_;  // found elements not yet written, in document order
    FixedStack<Open> open_;       // the open ones among them, innermost last
    std::vector<std::string_view> pieces_;
    std::string_view newestName_;
    Newest newest_ = Newest::Other;
    Token rawToken_;           // the start tag of the newest element when it is a raw block found
    std::size_t knownRoot_;    // from an earlier pass, or as soon as it is certain
    std::size_t lastHtmlTag_;  // the last place an "html" tag may begin, or kNoPlace
    std::size_t ordinal_ = kUnknown;  // of the current top-level element, from 0
    std::size_t written_ = 0;         // raw blocks of the current top-level one found
    Phase phase_ = Phase::Skipping;
    Slot slot_ = Slot::Fresh;
    std::string decoded_;
    std::string scratch_;
    RootChoice<std::size_t> root_;
    std::optional<selectors::StreamMatcher> matcher_;  // with a selector: what it matches
};

bool extract(const ScannedText& text, std::size_t lastHtmlTag, const ElementQuery& query, bool raw,
             ElementSink& sink, RootCandidates& candidates, RootSettling settling) {
    Extractor first(text, lastHtmlTag, query, raw, sink, candidates, kUnknown, settling);
    ParserCore<Extractor>(text, first).run();
    if (!first.found()) return false;
    if (!first.overflowed()) {
        first.finish();
        return true;
    }
    Extractor second(text, lastHtmlTag, query, raw, sink, candidates, first.root(), settling);
    ParserCore<Extractor>(text, second).run();
    second.finish();
    return true;
}

}  // namespace

bool extractElements(const ScannedText& text, std::size_t lastHtmlTag, const ElementQuery& query,
                     ElementSink& sink, RootCandidates& candidates, RootSettling settling) {
    return extract(text, lastHtmlTag, query, false, sink, candidates, settling);
}

bool extractRawBlocks(const ScannedText& text, std::size_t lastHtmlTag, std::string_view tagName,
                      ElementSink& sink, RootCandidates& candidates, RootSettling settling) {
    return extract(text, lastHtmlTag, ElementQuery{.tagName = tagName}, true, sink, candidates,
                   settling);
}

}  // namespace kestrune
