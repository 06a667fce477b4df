#include "formats/message_fields.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <stdexcept>

#include "base/byte_search.h"

namespace vzrm::formats {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The message's bytes from one place on, across its parts. Of an insert only
// the first byte is asked for until a byte after it is wanted.
class ByteWalk {
  public:
    // At `offset` of `part`, whose text is `text`.
    ByteWalk(MessageParts& message, std::size_t part, std::size_t offset, std::string_view text)
        : message_(message), count_(message.Count()), part_(part), offset_(offset), text_(text) {
        Settle();
    }

    // The byte here; -1 past the message's end.
    int Byte() const {
        if (part_ >= count_) {
            return -1;
        }
        return known_ ? static_cast<unsigned char>(text_[offset_]) : first_;
    }
    void Advance() {
        ++offset_;
        Settle();
    }
    std::size_t Part() const { return part_; }
    std::size_t Offset() const { return offset_; }

  private:
    // Moves on to the next part that has a byte at the offset.
    void Settle() {
        while (part_ < count_) {
            if (known_) {
                if (offset_ < text_.size()) {
                    return;
                }
            } else if (first_ >= 0) {
                if (offset_ == 0) {
                    return;
                }
                text_ = message_.Text(part_);
                known_ = true;
                continue;
            }
            if (known_) {
                offset_ -= text_.size();
            }
            if (++part_ < count_) {
                first_ = message_.FirstByte(part_);
                known_ = false;
            }
        }
    }

    MessageParts& message_;
    const std::size_t count_;
    std::size_t part_;
    std::size_t offset_;
    std::string_view text_;
    bool known_ = true;
    int first_ = -1;
};

// The label at the tab at `at` of `part` (whose text is `text`); `after`
// then holds where it ends.
bool LabelAt(MessageParts& message, std::size_t part, std::string_view text, std::size_t at,
             std::string_view label, std::size_t& afterPart, std::size_t& afterOffset) {
    if (text.substr(at).starts_with(label)) {
        afterPart = part;
        afterOffset = at + label.size();
        return true;
    }
    if (text.size() - at >= label.size()) {
        return false;  // the part holds what follows the tab, and it differs
    }
    ByteWalk walk(message, part, at, text);
    for (const char c : label) {
        if (walk.Byte() != static_cast<unsigned char>(c)) {
            return false;
        }
        walk.Advance();
    }
    afterPart = walk.Part();
    afterOffset = walk.Offset();
    return true;
}

// The rest of the line from `offset` of `part`, without the blanks around it.
void LineValue(MessageParts& message, std::size_t part, std::size_t offset, std::string& value) {
    value.clear();
    for (; part < message.Count(); ++part, offset = 0) {
        std::string_view text = message.Text(part);
        text.remove_prefix(std::min(offset, text.size()));
        const auto end = text.begin() + static_cast<std::ptrdiff_t>(
                                            FindAnyByte(text.data(), text.size(), '\r', '\n'));
        // Leading blanks are left out as they come.
        value.append(value.empty() ? std::find_if_not(text.begin(), end, IsBlank) : text.begin(),
                     end);
        if (end != text.end()) {
            break;
        }
    }
    value.erase(std::find_if_not(value.rbegin(), value.rend(), IsBlank).base(), value.end());
}

// A whole text as a message of one part.
class WholeText final : public MessageParts {
  public:
    explicit WholeText(std::string_view text) : text_(text) {}
    std::size_t Count() const override { return 1; }
    bool MayHoldTab(std::size_t) override { return true; }
    int FirstByte(std::size_t) override {
        return text_.empty() ? -1 : static_cast<unsigned char>(text_[0]);
    }
    std::string_view Text(std::size_t) override { return text_; }

  private:
    std::string_view text_;
};

}  // namespace

FieldSearch::FieldSearch(MessageParts& message, std::span<const std::string_view> labels,
                         std::span<std::string> values)
    : message_(message), labels_(labels), values_(values), missing_(labels.size()) {
    if (labels.size() > 32 || values.size() < labels.size()) {
        throw std::invalid_argument("FieldSearch: at most 32 labels, a value for each");
    }
    // Every label starts with a tab: the first tab where a label starts is
    // where a search for that label alone would find it. Most tabs start no
    // label; the byte after the tab rules them out before any compare.
    for (std::size_t i = 0; i < labels.size(); ++i) {
        values[i].clear();
        if (labels[i].size() > 1) {
            mayStart_[static_cast<unsigned char>(labels[i][1])] = true;
        } else {
            mayStart_.set();
        }
    }
}

void FieldSearch::SearchPart(std::size_t part) {
    if (missing_ == 0 || !message_.MayHoldTab(part)) {
        return;
    }
    const std::string_view text = message_.Text(part);
    for (std::size_t at = text.find('\t'); at != std::string_view::npos && missing_ > 0;
         at = text.find('\t', at + 1)) {
        const bool last = at + 1 == text.size();
        if (last || mayStart_[static_cast<unsigned char>(text[at + 1])]) {
            TryAt(part, text, at, ~found_);
        }
    }
}

void FieldSearch::TryAt(std::size_t part, std::string_view text, std::size_t at,
                        std::uint32_t which) {
    // The byte after the tab rules out most labels before a compare.
    const int next = at + 1 < text.size() ? static_cast<unsigned char>(text[at + 1])
                                          : ByteWalk(message_, part, at + 1, text).Byte();
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        const std::uint32_t bit = std::uint32_t{1} << i;
        const std::string_view label = labels_[i];
        std::size_t afterPart = 0;
        std::size_t afterOffset = 0;
        if ((which & bit) != 0 && (found_ & bit) == 0 &&
            (label.size() < 2 || next == static_cast<unsigned char>(label[1])) &&
            LabelAt(message_, part, text, at, label, afterPart, afterOffset)) {
            Found(i, afterPart, afterOffset);
        }
    }
}

void FieldSearch::Take(std::size_t label, std::size_t part, std::size_t at) {
    if ((found_ & (std::uint32_t{1} << label)) == 0) {
        Found(label, part, at + labels_[label].size());
    }
}

void FieldSearch::TakeLine(std::size_t label, std::string_view line) {
    const std::uint32_t bit = std::uint32_t{1} << label;
    if ((found_ & bit) != 0) {
        return;
    }
    AssignLineValue(line, values_[label]);
    found_ |= bit;
    --missing_;
}

void FieldSearch::Found(std::size_t label, std::size_t part, std::size_t offset) {
    LineValue(message_, part, offset, values_[label]);
    found_ |= std::uint32_t{1} << label;
    --missing_;
}

void AssignLineValue(std::string_view line, std::string& value) {
    line = line.substr(0, FindAnyByte(line.data(), line.size(), '\r', '\n'));
    const auto begin = std::find_if_not(line.begin(), line.end(), IsBlank);
    const auto end = std::find_if_not(line.rbegin(), std::make_reverse_iterator(begin), IsBlank);
    value.assign(begin, end.base());
}

void FindMessageFields(MessageParts& message, std::span<const std::string_view> labels,
                       std::span<std::string> values) {
    FieldSearch search(message, labels, values);
    const std::size_t count = message.Count();
    for (std::size_t part = 0; part < count && !search.Done(); ++part) {
        search.SearchPart(part);
    }
}

void FindMessageFields(std::string_view text, std::span<const std::string_view> labels,
                       std::span<std::string> values) {
    WholeText whole(text);
    FindMessageFields(whole, labels, values);
}

}  // namespace vzrm::formats
