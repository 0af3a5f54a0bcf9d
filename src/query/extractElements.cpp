// The extraction consumer of the parser core. A found element's text is the run of
// text pieces (its own text, the own texts and tails of its descendants) that the
// core hands over while the element is open; the pieces are kept only while some
// found element is open, and the found elements are written out in document order
// once the outermost open one ends. Which top-level element is the root is known
// only at the end, so the output of the candidates is held: the first top-level
// element that is neither doctype nor "html", and the latest "html" one.
#include "query/extractElements.h"

#include <cstdint>
#include <vector>

#include "base/asciiTable.h"
#include "html/parserCore.h"
#include "query/gatherTexts.h"

namespace kestrune {

namespace {

class Extractor {
  public:
    Extractor(const char* text, std::string_view tagName, ElementSink& sink)
        : text_(text), tagName_(tagName), sink_(sink) {}

    // ----- Events of the parser core -----
    void topLevel(const Token& token) {
        chain_.clear();
        current_.clear();
        newestName_ = token.tagName;
        newestMatch_ = false;
        // A later "html" element replaces an earlier one; of the others only the
        // first can become the root.
        collect_ = root_.wants(equalsIgnoreCase(token.tagName, "html") ? TopLevelKind::kHtml
                                                                       : TopLevelKind::kOther);
        freshSlot_ = true;
    }
    void child(const Token& token, std::uint16_t) {
        newestName_ = token.tagName;
        newestMatch_ = collect_ && token.tagName.size() == tagName_.size() &&
                       equalsIgnoreCase(token.tagName, tagName_);
        if (newestMatch_) {
            matches_.push_back(Match{token.attributeText, count(), 0});
            open_.push_back(Open{static_cast<std::uint32_t>(matches_.size() - 1), 0});
        }
        freshSlot_ = true;
    }
    void finished(std::uint32_t, std::string_view content) {
        if (!content.empty() && !open_.empty()) pieces_.push_back(content);
    }
    void descend() {
        chain_.push_back(NameRef{static_cast<std::uint32_t>(newestName_.data() - text_),
                                 static_cast<std::uint32_t>(newestName_.size())});
        if (newestMatch_) open_.back().depth = chain_.size();
        freshSlot_ = true;
    }
    void leaf(bool) {
        if (newestMatch_) closeInnermost();
        freshSlot_ = true;
    }
    void slot(std::string_view text) {
        // A second text for the same slot replaces the first.
        if (!freshSlot_ && slotPushed_) pieces_.pop_back();
        freshSlot_ = false;
        slotPushed_ = !text.empty() && !open_.empty();
        if (slotPushed_) pieces_.push_back(text);
    }
    void strayEnd(std::string_view) {}
    std::string_view ascend(bool, bool) {
        if (!open_.empty() && open_.back().depth == chain_.size()) closeInnermost();
        chain_.pop_back();
        freshSlot_ = true;
        const NameRef& parent = chain_.back();
        return std::string_view(text_ + parent.offset, parent.length);
    }
    void topLevelEnd(bool, TopLevelKind kind) {
        if (!collect_) return;
        if (kind == TopLevelKind::kHtml) {
            lastHtml_.swap(current_);
            root_.offer(kind, &lastHtml_);
        } else if (kind == TopLevelKind::kOther) {
            firstOther_.swap(current_);
            root_.offer(kind, &firstOther_);
        }
    }

    bool finish(ByteBuffer& out) {
        if (!root_.found()) return false;
        out.swap(*root_.root());
        return true;
    }

  private:
    struct Match {
        std::string_view attributes;
        std::uint32_t first;  // its pieces: [first, end)
        std::uint32_t end;
    };
    struct Open {
        std::uint32_t match;  // index into matches_
        std::size_t depth;    // its place in chain_ (1 = first), 0 while not there
    };
    // A name in the text, by offset: the chain can be millions deep.
    struct NameRef {
        std::uint32_t offset;
        std::uint32_t length;
    };

    std::uint32_t count() const { return static_cast<std::uint32_t>(pieces_.size()); }

    void closeInnermost() {
        matches_[open_.back().match].end = count();
        open_.pop_back();
        if (open_.empty()) flush();
    }

    // Every found element is complete: hands them to the sink in document order.
    void flush() {
        for (const Match& m : matches_) {
            decoded_.clear();
            appendDecodedPieces(pieces_.data() + m.first, m.end - m.first, decoded_, scratch_);
            sink_.element(current_, m.attributes, decoded_, current_.empty());
        }
        matches_.clear();
        pieces_.clear();
        slotPushed_ = false;
    }

    const char* text_;
    std::string_view tagName_;
    ElementSink& sink_;
    std::vector<NameRef> chain_;  // names of the open elements, the top-level one first
    std::vector<Match> matches_;  // found elements not yet written, in document order
    std::vector<Open> open_;      // the open ones among them, innermost last
    std::vector<std::string_view> pieces_;
    std::string_view newestName_;
    bool newestMatch_ = false;
    bool collect_ = false;     // the current top-level element may become the root
    bool freshSlot_ = true;    // no text has been given to the current slot yet
    bool slotPushed_ = false;  // the current slot's text is the last piece
    std::string decoded_;
    std::string scratch_;
    ByteBuffer current_;
    ByteBuffer firstOther_;
    ByteBuffer lastHtml_;
    RootChoice<ByteBuffer*> root_;
};

}  // namespace

bool extractElements(char* text, std::size_t length, std::string_view tagName, ElementSink& sink,
                     ByteBuffer& out) {
    Extractor extractor(text, tagName, sink);
    ParserCore<Extractor>(text, length, extractor).run();
    return extractor.finish(out);
}

}  // namespace kestrune
