// Fields of message texts: the rest of the line after a label such as
// "\tObject Name:", found in a whole text or in a message that is not made:
// its template's texts and its inserts, whose texts are made only where they
// can change what is found.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vzrm::formats {

// A message's texts in order; the parts that are inserts say what they may
// hold before their texts are asked for.
class MessageParts {
  public:
    virtual ~MessageParts() = default;
    virtual std::size_t Count() const = 0;
    // False only when the part's text holds no tab.
    virtual bool MayHoldTab(std::size_t part) = 0;
    // The first byte of the part's text; -1 when the text is empty.
    virtual int FirstByte(std::size_t part) = 0;
    // The part's text; it stays valid until the search ends.
    virtual std::string_view Text(std::size_t part) = 0;
};

// The search for labels (each a tab, then the label's words) in a message:
// for each label, the rest of the line after its first place in the message,
// without the blanks around it; empty when the label is absent.
class FieldSearch {
  public:
    // `values` (one per label) are cleared; at most 32 labels.
    FieldSearch(MessageParts& message, std::span<const std::string_view> labels,
                std::span<std::string> values);

    bool Done() const { return missing_ == 0; }
    // Looks at every tab of the part, in order.
    void SearchPart(std::size_t part);
    // Looks for the labels of `which` (a bit per label) at the tab at `at` of
    // `part`, whose text is `text`.
    void TryAt(std::size_t part, std::string_view text, std::size_t at, std::uint32_t which);
    // Label `label` is at the tab at `at` of `part`, and ends in that part.
    void Take(std::size_t label, std::size_t part, std::size_t at);
    // Label `label` is found, and `line` (from a line break on, if it holds
    // one, left out) is the rest of its line.
    void TakeLine(std::size_t label, std::string_view line);
    // The labels not found yet, a bit per label.
    std::uint32_t Missing() const {
        return ~found_ & static_cast<std::uint32_t>((std::uint64_t{1} << labels_.size()) - 1);
    }

  private:
    void Found(std::size_t label, std::size_t part, std::size_t offset);

    MessageParts& message_;
    std::span<const std::string_view> labels_;
    std::span<std::string> values_;
    std::size_t missing_;
    std::uint32_t found_ = 0;
    std::bitset<256> mayStart_;  // the bytes after a tab that may begin a label
};

// `line` up to its first line break, without the blanks around it, into `value`.
void AssignLineValue(std::string_view line, std::string& value);

// FieldSearch over every part of the message.
void FindMessageFields(MessageParts& message, std::span<const std::string_view> labels,
                       std::span<std::string> values);
// The same in a whole text.
void FindMessageFields(std::string_view text, std::span<const std::string_view> labels,
                       std::span<std::string> values);

}  // namespace vzrm::formats
