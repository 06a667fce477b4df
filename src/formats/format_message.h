// The message-formatting rules of message tables (FormatMessage): inserts
// %1 to %99 with an optional !printf! format, the escapes %n %r %t %% %0 %.
// %! and %space, ignoring inserts, and the maximum line width.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vzrm::formats {

// The widest field an insert's printf width or precision can ask for; larger
// numbers in a template stand for this one.
inline constexpr std::size_t kMaxInsertField = 32 * 1024;
// The most bytes a formatted message (before line breaks are made CR LF) or a
// text with its parameter references replaced grows to; the rest is cut off.
inline constexpr std::size_t kMaxMessageText = 64 * 1024;

struct MESSAGE_FORMAT {
    // Inserts pass through unchanged; the escapes are still converted.
    bool ignoreInserts = false;
    // 0: the text's own line breaks stay; 0xFF: they go (hard breaks from %n
    // stay); any other value wraps lines at that many characters.
    std::uint32_t maxWidth = 0;
};

// Formats `pattern` with the narrow texts `arguments` (%1 is arguments[0]; a
// missing or null argument gives an empty insert). Inserted text is never
// scanned again.
std::string FormatMessageText(std::string_view pattern, const MESSAGE_FORMAT& format,
                              const std::vector<const char*>& arguments = {});

// The inserts of one message, for finding its fields without making it: their
// texts are asked for only where they can change what is found.
class MessageInserts {
  public:
    virtual ~MessageInserts() = default;
    // How many there are; an insert beyond them is empty.
    virtual std::size_t Count() const = 0;
    // At most this many bytes of text.
    virtual std::size_t MaxSize(std::size_t index) = 0;
    // False only when the text holds no tab.
    virtual bool MayHoldTab(std::size_t index) = 0;
    // The text's first byte; -1 when the text is empty.
    virtual int FirstByte(std::size_t index) = 0;
    // The text; it stays valid until the search ends.
    virtual std::string_view Text(std::size_t index) = 0;
};

// Where a template's own texts hold the labels of a field search, worked out
// once for the template and the labels.
class FieldPlan {
  public:
    bool IsFor(std::span<const std::string_view> labels) const;

  private:
    friend class CompiledMessage;
    struct Tab {
        std::uint32_t piece = 0;
        std::uint32_t offset = 0;
        std::uint32_t whole = 0;   // labels the piece holds from this tab on, a bit each
        std::uint32_t partly = 0;  // labels the piece ends in: what follows decides
        // Of `whole`, labels whose line is the piece's insert alone: blanks
        // follow the label, and the next piece begins a new line.
        std::uint32_t insertLine = 0;
        std::bitset<256> next;  // the bytes after the piece that go on with one of them
    };
    std::vector<std::string> labels_;
    std::vector<Tab> tabs_;  // in the order of the message
    // Per label, the piece whose text holds its first place (kAbsent: none);
    // `insertLines_` when each of those places is an insert's line alone.
    static constexpr std::uint32_t kAbsent = 0xFFFFFFFF;
    std::vector<std::uint32_t> firstPiece_;
    bool insertLines_ = false;
    // Pieces from this one on come after every label's first place.
    std::uint32_t searchedPieces_ = 0;
    std::bitset<256> afterTab_;  // the labels' second bytes: a tab before others begins none
};

// A template taken apart once for formatting with many argument lists: its
// texts (escapes converted) and its inserts. Gives what FormatMessageText
// gives with inserts and the text's own line breaks kept.
class CompiledMessage {
  public:
    explicit CompiledMessage(std::string_view pattern);

    // FormatMessageText(pattern, {}, arguments) into `out`.
    void Format(const std::vector<const char*>& arguments, std::string& out) const;
    // The plan of FindFields for `labels` (at most 32).
    FieldPlan PlanFields(std::span<const std::string_view> labels) const;
    // FindMessageFields in the text Format would make of the inserts, without
    // making it (`plan` is this template's for `labels`); false (nothing
    // found) for a template with insert formats, or inserts long enough that
    // Format would take another way.
    bool FindFields(const FieldPlan& plan, MessageInserts& inserts,
                    std::span<const std::string_view> labels, std::span<std::string> values) const;

    // FindFields for a template whose every label heads the line of one
    // insert (as the Security events' do): each field is that insert's
    // text, taken without a search. False (nothing taken) when the plan is
    // not of that kind or where a label might begin in an insert or at a tab
    // before one; FindFields decides then.
    bool TakeInsertLines(const FieldPlan& plan, MessageInserts& inserts,
                         std::span<const std::string_view> labels,
                         std::span<std::string> values) const;

  private:
    // Whether a label not found before `piece` may begin at a tab of the
    // insert after that piece's text (`text`) or run on from it.
    bool InsertMayBeginLabel(const FieldPlan& plan, std::size_t piece, std::string_view text,
                             std::span<const std::string_view> labels) const;
    // Whether Format's text would stay under the size FindFields searches.
    bool SmallEnough(MessageInserts& inserts) const;
    // Whether the line of a label that `afterLabel` follows in piece `piece`
    // is that piece's insert alone.
    bool LineIsTheInsert(std::size_t piece, std::string_view afterLabel) const;

    struct Piece {
        std::string text;        // before the insert
        std::size_t insert = 0;  // 1 for %1; 0: no insert follows
        std::string format;      // the insert's printf format
        bool plain = true;       // "s": the argument as it is
        bool hasTab = false;     // in `text`
    };
    class Parts;
    std::string pattern_;
    std::vector<Piece> pieces_;
    std::size_t textSize_ = 0;  // of the pieces' texts
    bool widthBound_ = false;   // an insert format may pad or cut
};

// "%%4417" references in `text` replaced by what `lookup` finds for 4417
// (references it does not know stay); inserted texts are not scanned again.
// Replacing stops before the text would grow beyond kMaxMessageText.
std::string ExpandParameterReferences(
    std::string_view text, const std::function<bool(std::uint32_t, std::string&)>& lookup);

// ExpandParameterReferences for the texts of one source, each short text
// expanded once: events repeat their lists of accesses ("%%4416 %%4417").
// At most kTexts texts of at most kTextSize bytes (and their expansions of at
// most kExpandedSize) are kept, whatever a log holds.
class ExpandedTexts {
  public:
    static constexpr std::size_t kTexts = 1024;
    static constexpr std::size_t kTextSize = 1024;
    static constexpr std::size_t kExpandedSize = 4096;

    // `text` with its references replaced by what `lookup` finds; `lookup`
    // must give the same for a number each time.
    void Expand(std::string& text, const std::function<bool(std::uint32_t, std::string&)>& lookup);

  private:
    std::unordered_map<std::string, std::string> texts_;
};

}  // namespace vzrm::formats
