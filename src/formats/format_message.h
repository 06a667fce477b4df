// The message-formatting rules of message tables (FormatMessage): inserts
// %1 to %99 with an optional !printf! format, the escapes %n %r %t %% %0 %.
// %! and %space, ignoring inserts, and the maximum line width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
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

// A template taken apart once for formatting with many argument lists: its
// texts (escapes converted) and its inserts. Gives what FormatMessageText
// gives with inserts and the text's own line breaks kept.
class CompiledMessage {
  public:
    explicit CompiledMessage(std::string_view pattern);

    // FormatMessageText(pattern, {}, arguments) into `out`.
    void Format(const std::vector<const char*>& arguments, std::string& out) const;

  private:
    struct Piece {
        std::string text;        // before the insert
        std::size_t insert = 0;  // 1 for %1; 0: no insert follows
        std::string format;      // the insert's printf format
        bool plain = true;       // "s": the argument as it is
    };
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

}  // namespace vzrm::formats
