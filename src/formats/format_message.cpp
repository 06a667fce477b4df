#include "formats/format_message.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <forward_list>
#include <stdexcept>

#include "base/byte_search.h"
#include "formats/message_fields.h"

namespace vzrm::formats {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The second to fourth bytes of a UTF-8 character.
bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A decimal field of a printf directive, read no further than `limit`: larger
// numbers stand for the limit.
std::size_t ReadField(std::string_view format, std::size_t& at, std::size_t limit) {
    std::size_t value = 0;
    for (; at < format.size() && IsDigit(format[at]); ++at) {
        value = std::min(limit, value * 10 + static_cast<std::size_t>(format[at] - '0'));
    }
    return value;
}

// The length of the longest start of `text` no longer than `limit` bytes that
// ends between two UTF-8 characters.
std::size_t Utf8Cut(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t cut = limit;
    while (cut > 0 && IsContinuation(text[cut])) {
        --cut;
    }
    return cut;
}

// Appends as much of `piece` as the bound of a formatted message leaves room for.
void AppendBounded(std::string& out, std::string_view piece) {
    out.append(
        piece.substr(0, Utf8Cut(piece, kMaxMessageText - std::min(out.size(), kMaxMessageText))));
}

// A printf directive of a "!...!" insert format applied to a text argument.
// Only the '-' flag, the width and the precision matter for texts; both
// numbers stop at kMaxInsertField, so a template cannot ask for gigabytes.
std::string ApplyInsertFormat(std::string_view format, const char* argument) {
    std::string_view text = argument ? argument : "";
    std::size_t at = 0;
    bool left = false;
    for (;
         at < format.size() && std::string_view("-0 +#").find(format[at]) != std::string_view::npos;
         ++at) {
        left = left || format[at] == '-';
    }
    const std::size_t width = ReadField(format, at, kMaxInsertField);
    if (at < format.size() && format[at] == '.') {
        ++at;
        text = text.substr(0, Utf8Cut(text, ReadField(format, at, kMaxInsertField)));
    }
    if (text.size() >= width) {
        return std::string(text);
    }
    const std::string padding(width - text.size(), ' ');
    return left ? std::string(text) + padding : padding + std::string(text);
}

// Re-breaks lines at `width` characters, at blanks where it can.
std::string Wrap(const std::string& text, std::uint32_t width) {
    std::string out;
    std::size_t column = 0;
    std::size_t lastBlank = std::string::npos;
    for (char c : text) {
        if (c == '\n') {
            out.push_back(c);
            column = 0;
            lastBlank = std::string::npos;
            continue;
        }
        out.push_back(c);
        ++column;
        if (c == ' ') {
            lastBlank = out.size() - 1;
        }
        if (column > width) {
            if (lastBlank != std::string::npos) {
                out.replace(lastBlank, 1, "\r\n");
                column = out.size() - lastBlank - 2;
            } else {
                out.insert(out.size() - 1, "\r\n");
                column = 1;
            }
            lastBlank = std::string::npos;
        }
    }
    return out;
}

// Hard breaks (%n) are marked so that removing the text's own breaks keeps them.
constexpr char kHardBreak = '\x01';

// The number of the insert reference whose first digit is at `at` (one or two
// digits) and its !format!, "s" without one; `at` moves past it.
std::size_t ReadInsertReference(std::string_view pattern, std::size_t& at,
                                std::string_view& insertFormat) {
    std::size_t number = static_cast<std::size_t>(pattern[at++] - '0');
    if (at < pattern.size() && IsDigit(pattern[at])) {
        number = number * 10 + static_cast<std::size_t>(pattern[at++] - '0');
    }
    insertFormat = "s";
    if (at < pattern.size() && pattern[at] == '!') {
        const std::size_t close = pattern.find('!', at + 1);
        if (close != std::string_view::npos) {
            insertFormat = pattern.substr(at + 1, close - at - 1);
            at = close + 1;
        }
    }
    return number;
}

// The insert %N (with its optional !format!) that starts at `at`, one past
// the '%'; `at` moves past it.
void AppendInsert(std::string_view pattern, std::size_t& at, const MESSAGE_FORMAT& format,
                  const std::vector<const char*>& arguments, std::string& out) {
    const std::size_t start = at - 1;
    std::string_view insertFormat;
    const std::size_t number = ReadInsertReference(pattern, at, insertFormat);
    if (format.ignoreInserts) {
        AppendBounded(out, pattern.substr(start, at - start));
    } else {
        const char* argument = number <= arguments.size() ? arguments[number - 1] : nullptr;
        AppendBounded(out, ApplyInsertFormat(insertFormat, argument));
    }
}

// What an escape %c stands for (%0, the end, aside); any other character
// stands for itself.
char EscapedCharacter(char c) {
    switch (c) {
        case 'n':
            return kHardBreak;
        case 'r':
            return '\r';
        case 't':
            return '\t';
        default:
            return c;
    }
}

// Cut short at the bound inside a character: none of it stays.
void DropCutCharacter(std::string& out) {
    while (!out.empty() && IsContinuation(out.back())) {
        out.pop_back();
    }
    if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) {
        out.pop_back();
    }
}

// Hard breaks become CR LF; with a width, the text's own breaks become blanks.
std::string ResolveBreaks(const std::string& out, const MESSAGE_FORMAT& format) {
    std::string text;
    text.reserve(out.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (c == kHardBreak) {
            text += "\r\n";
        } else if (format.maxWidth != 0 && c == '\r' && i + 1 < out.size() && out[i + 1] == '\n') {
            // The first half of a CR LF: its LF stands for the pair.
        } else if (format.maxWidth != 0 && (c == '\r' || c == '\n')) {
            text.push_back(' ');  // the text's own line breaks become blanks
        } else {
            text.push_back(c);
        }
    }
    return text;
}

}  // namespace

std::string FormatMessageText(std::string_view pattern, const MESSAGE_FORMAT& format,
                              const std::vector<const char*>& arguments) {
    std::string out;
    out.reserve(pattern.size() + 64);
    bool ended = false;
    std::size_t at = 0;
    for (; at < pattern.size() && !ended && out.size() < kMaxMessageText;) {
        const char c = pattern[at++];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (at >= pattern.size()) {
            out.push_back('%');
            break;
        }
        const char next = pattern[at];
        if (IsDigit(next) && next != '0') {
            AppendInsert(pattern, at, format, arguments, out);
            continue;
        }
        ++at;
        if (next == '0') {
            ended = true;  // the message ends here, without a line break
        } else {
            out.push_back(EscapedCharacter(next));
        }
    }
    if (!ended && at < pattern.size() && IsContinuation(pattern[at])) {
        DropCutCharacter(out);
    }
    std::string text = ResolveBreaks(out, format);
    if (format.maxWidth != 0 && format.maxWidth != 0xFF) {
        return Wrap(text, format.maxWidth);
    }
    return text;
}

CompiledMessage::CompiledMessage(std::string_view pattern) : pattern_(pattern) {
    // The same walk as FormatMessageText's, without its bound: a message that
    // could reach the bound is formatted by FormatMessageText itself.
    Piece piece;
    for (std::size_t at = 0; at < pattern.size();) {
        const char c = pattern[at++];
        if (c != '%') {
            piece.text.push_back(c);
            continue;
        }
        if (at >= pattern.size()) {
            piece.text.push_back('%');
            break;
        }
        const char next = pattern[at];
        if (IsDigit(next) && next != '0') {
            std::string_view insertFormat;
            const std::size_t number = ReadInsertReference(pattern, at, insertFormat);
            piece.insert = number;
            piece.format = insertFormat;
            piece.plain = insertFormat == "s";
            widthBound_ = widthBound_ || !piece.plain;
            textSize_ += piece.text.size();
            pieces_.push_back(std::move(piece));
            piece = {};
            continue;
        }
        ++at;
        if (next == '0') {
            break;
        }
        piece.text.push_back(next == 'n' ? '\x01' : next == 'r' ? '\r' : next == 't' ? '\t' : next);
    }
    textSize_ += piece.text.size();
    pieces_.push_back(std::move(piece));
    for (Piece& each : pieces_) {
        std::string text;
        for (const char c : each.text) {
            text += c == '\x01' ? std::string("\r\n") : std::string(1, c);
        }
        each.text = std::move(text);
        each.hasTab = each.text.find('\t') != std::string::npos;
    }
}

void CompiledMessage::Format(const std::vector<const char*>& arguments, std::string& out) const {
    out.clear();
    std::size_t size = textSize_;
    for (const Piece& piece : pieces_) {
        if (piece.insert != 0 && piece.insert <= arguments.size() &&
            arguments[piece.insert - 1] != nullptr) {
            size += std::strlen(arguments[piece.insert - 1]);
        }
    }
    if (widthBound_ || size >= kMaxMessageText / 2) {
        out = FormatMessageText(pattern_, {}, arguments);
        return;
    }
    out.reserve(size + size / 8);
    for (const Piece& piece : pieces_) {
        out += piece.text;
        if (piece.insert == 0 || piece.insert > arguments.size() ||
            arguments[piece.insert - 1] == nullptr) {
            continue;
        }
        const char* argument = arguments[piece.insert - 1];
        const std::size_t length = std::strlen(argument);
        if (std::memchr(argument, '\x01', length) == nullptr) {
            out.append(argument, length);
            continue;
        }
        // A marker byte in an argument reads as a hard break, as it does there.
        for (const char* p = argument; *p != 0; ++p) {
            if (*p == '\x01') {
                out += "\r\n";
            } else {
                out.push_back(*p);
            }
        }
    }
}

// The message Format would make: each piece's text, then its insert, as
// Format inserts it (up to its first zero; a marker byte a line break).
class CompiledMessage::Parts final : public MessageParts {
  public:
    Parts(const std::vector<Piece>& pieces, MessageInserts& inserts)
        : pieces_(pieces), inserts_(inserts), insertCount_(inserts.Count()) {}

    std::size_t Count() const override { return 2 * pieces_.size(); }
    bool MayHoldTab(std::size_t part) override {
        const Piece& piece = pieces_[part / 2];
        return part % 2 == 0 ? piece.hasTab : Has(piece) && inserts_.MayHoldTab(piece.insert - 1);
    }
    int FirstByte(std::size_t part) override {
        const Piece& piece = pieces_[part / 2];
        if (part % 2 == 0) {
            return piece.text.empty() ? -1 : static_cast<unsigned char>(piece.text[0]);
        }
        const int first = Has(piece) ? inserts_.FirstByte(piece.insert - 1) : -1;
        return first == 0 ? -1 : first == '\x01' ? '\r' : first;
    }
    std::string_view Text(std::size_t part) override {
        const Piece& piece = pieces_[part / 2];
        if (part % 2 == 0) {
            return piece.text;
        }
        // The search asks for an insert's text more than once.
        const std::size_t index = part / 2;
        if (index < kKept && (kept_ >> index & 1) != 0) {
            return {made_[index].data, made_[index].size};
        }
        const std::string_view text = Make(piece);
        if (index < kKept) {
            made_[index] = {text.data(), text.size()};
            kept_ |= std::uint64_t{1} << index;
        }
        return text;
    }

  private:
    static constexpr std::size_t kKept = 64;

    bool Has(const Piece& piece) const { return piece.insert != 0 && piece.insert <= insertCount_; }
    std::string_view Make(const Piece& piece) {
        if (!Has(piece)) {
            return {};
        }
        std::string_view text = inserts_.Text(piece.insert - 1);
        if (!HoldsAnyByte(text.data(), text.size(), '\0', '\x01')) {
            return text;
        }
        text = text.substr(0, text.find('\0'));
        if (text.find('\x01') == std::string_view::npos) {
            return text;
        }
        std::string& broken = broken_.emplace_front();
        for (const char c : text) {
            broken += c == '\x01' ? std::string_view("\r\n") : std::string_view(&c, 1);
        }
        return broken;
    }

    const std::vector<Piece>& pieces_;
    MessageInserts& inserts_;
    const std::size_t insertCount_;
    // Inserts with marker bytes, converted; a list that takes no memory
    // until it is used (a deque would, for every message).
    std::forward_list<std::string> broken_;
    // The texts of the first pieces' inserts, once made: a bit each says
    // which place is set (clearing all the places for every message cost
    // more than the search that uses a few of them).
    std::uint64_t kept_ = 0;
    struct Made {
        const char* data;
        std::size_t size;
    };
    Made made_[kKept];
};

bool FieldPlan::IsFor(std::span<const std::string_view> labels) const {
    return std::equal(labels_.begin(), labels_.end(), labels.begin(), labels.end());
}

bool CompiledMessage::LineIsTheInsert(std::size_t piece, std::string_view afterLabel) const {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    return pieces_[piece].insert != 0 && piece + 1 < pieces_.size() &&
           std::all_of(afterLabel.begin(), afterLabel.end(), blank) &&
           (pieces_[piece + 1].text.starts_with('\r') || pieces_[piece + 1].text.starts_with('\n'));
}

FieldPlan CompiledMessage::PlanFields(std::span<const std::string_view> labels) const {
    if (labels.size() > 32) {
        throw std::invalid_argument("PlanFields: at most 32 labels");
    }
    FieldPlan plan;
    plan.labels_.assign(labels.begin(), labels.end());
    for (std::size_t piece = 0; piece < pieces_.size(); ++piece) {
        const std::string_view text = pieces_[piece].text;
        for (std::size_t at = text.find('\t'); at != std::string_view::npos;
             at = text.find('\t', at + 1)) {
            FieldPlan::Tab tab;
            tab.piece = static_cast<std::uint32_t>(piece);
            tab.offset = static_cast<std::uint32_t>(at);
            const std::string_view rest = text.substr(at);
            for (std::size_t i = 0; i < labels.size(); ++i) {
                if (rest.starts_with(labels[i])) {
                    tab.whole |= std::uint32_t{1} << i;
                    if (LineIsTheInsert(piece, rest.substr(labels[i].size()))) {
                        tab.insertLine |= std::uint32_t{1} << i;
                    }
                } else if (labels[i].starts_with(rest)) {
                    tab.partly |= std::uint32_t{1} << i;
                    tab.next.set(static_cast<unsigned char>(labels[i][rest.size()]));
                }
            }
            if (tab.whole != 0 || tab.partly != 0) {
                plan.tabs_.push_back(tab);
            }
        }
    }
    for (const std::string_view label : labels) {
        if (label.size() > 1) {
            plan.afterTab_.set(static_cast<unsigned char>(label[1]));
        } else {
            plan.afterTab_.set();  // a tab alone: any tab begins it
        }
    }
    plan.firstPiece_.assign(labels.size(), FieldPlan::kAbsent);
    plan.insertLines_ = true;
    std::uint32_t seen = 0;
    for (const FieldPlan::Tab& tab : plan.tabs_) {
        for (std::uint32_t held = tab.whole & ~seen; held != 0; held &= held - 1) {
            const auto i = static_cast<std::size_t>(std::countr_zero(held));
            plan.firstPiece_[i] = tab.piece;
            plan.insertLines_ = plan.insertLines_ && (tab.insertLine >> i & 1) != 0;
        }
        seen |= tab.whole;
    }
    plan.searchedPieces_ = static_cast<std::uint32_t>(pieces_.size());
    if (!labels.empty() && std::find(plan.firstPiece_.begin(), plan.firstPiece_.end(),
                                     FieldPlan::kAbsent) == plan.firstPiece_.end()) {
        plan.searchedPieces_ =
            *std::max_element(plan.firstPiece_.begin(), plan.firstPiece_.end(), std::less<>{});
    }
    return plan;
}

bool CompiledMessage::SmallEnough(MessageInserts& inserts) const {
    // Each byte of an insert may become two (a marker byte gives CR LF).
    std::size_t size = textSize_;
    const std::size_t count = inserts.Count();
    for (const Piece& piece : pieces_) {
        if (piece.insert != 0 && piece.insert <= count) {
            size += 2 * inserts.MaxSize(piece.insert - 1);
        }
    }
    return size < kMaxMessageText / 2;
}

bool CompiledMessage::InsertMayBeginLabel(const FieldPlan& plan, std::size_t piece,
                                          std::string_view text,
                                          std::span<const std::string_view> labels) const {
    // What follows the insert: the next piece's text, unless an insert
    // comes first (a label running on into it is not looked into).
    const std::string_view after =
        piece + 1 < pieces_.size() ? std::string_view(pieces_[piece + 1].text) : "";
    const bool endsMessage = piece + 1 >= pieces_.size();
    for (std::size_t at = text.find('\t'); at != std::string_view::npos;
         at = text.find('\t', at + 1)) {
        // Most tabs of an insert (a list's indents) are followed by another
        // tab or a line break, which begins no label.
        const bool last = at + 1 == text.size();
        if (!last && !plan.afterTab_.test(static_cast<unsigned char>(text[at + 1]))) {
            continue;
        }
        if (last && !endsMessage && !after.empty() &&
            !plan.afterTab_.test(static_cast<unsigned char>(after[0]))) {
            continue;
        }
        const std::string_view rest = text.substr(at);
        for (std::size_t i = 0; i < labels.size(); ++i) {
            if (plan.firstPiece_[i] != FieldPlan::kAbsent && plan.firstPiece_[i] <= piece) {
                continue;  // found before this insert
            }
            if (rest.starts_with(labels[i])) {
                return true;
            }
            if (labels[i].starts_with(rest) && !endsMessage) {
                const std::string_view more = labels[i].substr(rest.size());
                if (after.starts_with(more) || more.starts_with(after)) {
                    return true;
                }
            }
        }
    }
    return false;
}

bool CompiledMessage::TakeInsertLines(const FieldPlan& plan, MessageInserts& inserts,
                                      std::span<const std::string_view> labels,
                                      std::span<std::string> values) const {
    if (widthBound_ || !plan.insertLines_ || !SmallEnough(inserts)) {
        return false;
    }
    Parts parts(pieces_, inserts);
    // A tab that ends a piece begins a label when the insert goes on with
    // the label's words: only a first byte that may do so is looked into.
    for (const FieldPlan::Tab& tab : plan.tabs_) {
        if (tab.piece >= plan.searchedPieces_) {
            break;
        }
        if (tab.partly == 0) {
            continue;
        }
        const int next = parts.FirstByte(2 * tab.piece + 1);
        if (next < 0) {
            return false;
        }
        if (tab.next.test(static_cast<std::size_t>(next))) {
            const std::string_view rest =
                std::string_view(pieces_[tab.piece].text).substr(tab.offset);
            const std::string_view text = parts.Text(2 * tab.piece + 1);
            for (std::uint32_t held = tab.partly; held != 0; held &= held - 1) {
                const auto i = static_cast<std::size_t>(std::countr_zero(held));
                const std::string_view more = labels[i].substr(rest.size());
                if ((plan.firstPiece_[i] == FieldPlan::kAbsent ||
                     plan.firstPiece_[i] > tab.piece) &&
                    (text.starts_with(more) || more.starts_with(text))) {
                    return false;
                }
            }
        }
    }
    for (std::size_t piece = 0; piece < plan.searchedPieces_; ++piece) {
        if (parts.MayHoldTab(2 * piece + 1) &&
            InsertMayBeginLabel(plan, piece, parts.Text(2 * piece + 1), labels)) {
            return false;
        }
    }
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (plan.firstPiece_[i] == FieldPlan::kAbsent) {
            values[i].clear();
        } else {
            AssignLineValue(parts.Text(2 * plan.firstPiece_[i] + 1), values[i]);
        }
    }
    return true;
}

bool CompiledMessage::FindFields(const FieldPlan& plan, MessageInserts& inserts,
                                 std::span<const std::string_view> labels,
                                 std::span<std::string> values) const {
    if (widthBound_ || !SmallEnough(inserts)) {
        return false;
    }
    // The template's texts hold labels only where the plan says; inserts are
    // searched where they may hold a tab.
    Parts parts(pieces_, inserts);
    FieldSearch search(parts, labels, values);
    auto tab = plan.tabs_.begin();
    for (std::size_t piece = 0; piece < pieces_.size() && !search.Done(); ++piece) {
        for (; tab != plan.tabs_.end() && tab->piece == piece; ++tab) {
            const std::uint32_t missing = search.Missing();
            // Only the labels this tab holds, lowest first: most tabs hold one.
            for (std::uint32_t held = (tab->insertLine | tab->whole) & missing; held != 0;
                 held &= held - 1) {
                const auto i = static_cast<std::size_t>(std::countr_zero(held));
                if ((tab->insertLine >> i & 1) != 0) {
                    search.TakeLine(i, parts.Text(2 * piece + 1));
                } else {
                    search.Take(i, 2 * piece, tab->offset);
                }
            }
            // Labels the piece ends in go on in the insert after it, if at all.
            if ((tab->partly & missing) != 0) {
                const int next = parts.FirstByte(2 * piece + 1);
                if (next < 0 || tab->next.test(static_cast<std::size_t>(next))) {
                    search.TryAt(2 * piece, pieces_[piece].text, tab->offset, tab->partly);
                }
            }
        }
        search.SearchPart(2 * piece + 1);
    }
    return true;
}

std::string ExpandParameterReferences(
    std::string_view text, const std::function<bool(std::uint32_t, std::string&)>& lookup) {
    // Built front to back: replacing in place would move the rest of a long
    // text once per reference.
    std::string out;
    std::size_t copied = 0;
    std::size_t position = 0;
    for (;;) {
        const std::size_t start = text.find("%%", position);
        if (start == std::string_view::npos) {
            break;
        }
        position = start + 2;
        std::size_t end = position;
        while (end < text.size() && IsDigit(text[end]) && end - position < 10) {
            ++end;
        }
        if (end == position) {
            continue;
        }
        std::string found;
        if (lookup(static_cast<std::uint32_t>(
                       std::stoull(std::string(text.substr(position, end - position)))),
                   found)) {
            if (out.size() + (start - copied) + found.size() > kMaxMessageText) {
                break;  // the references from here on stay as they are
            }
            out.append(text.substr(copied, start - copied));
            out += found;
            // Resume right after the inserted text: two characters further on
            // would skip a reference that follows after a single blank.
            copied = position = end;
        }
    }
    out.append(text.substr(copied));
    return out;
}

void ExpandedTexts::Expand(std::string& text,
                           const std::function<bool(std::uint32_t, std::string&)>& lookup) {
    if (text.find("%%") == std::string::npos) {
        return;
    }
    const auto known = texts_.find(text);
    if (known != texts_.end()) {
        text = known->second;
        return;
    }
    std::string expanded = ExpandParameterReferences(text, lookup);
    if (texts_.size() < kTexts && text.size() <= kTextSize && expanded.size() <= kExpandedSize) {
        texts_.emplace(text, expanded);
    }
    text = std::move(expanded);
}

}  // namespace vzrm::formats
