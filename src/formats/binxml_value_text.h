// Texts and numbers of typed event values, as Windows renders them in XML.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/binxml.h"

namespace vzrm::formats {

// "S-1-5-21-..." from a binary SID; empty when the bytes are not a SID. With
// `asFarAsItGoes`, a SID cut short gives the sub-authorities its bytes hold
// (for display only: such a text names no account).
std::string SidText(const std::uint8_t* data, std::size_t size, bool asFarAsItGoes = false);
// The binary SID of "S-1-5-21-..."; false when the text is not one.
bool SidFromText(std::string_view text, std::vector<std::uint8_t>& sid);
// ISO 8601 UTC with seven fraction digits: "2026-03-14T08:05:33.2500000Z".
std::string FileTimeText(std::uint64_t fileTime);
// The value as text: strings converted, numbers in decimal, hex types and
// pointers (SizeT) as 0x...,
// times in ISO 8601, SIDs and GUIDs in their usual forms, binary as hex digits.
std::string BxValueText(const BxValue& value);
// BxValueText appended to `out`: no allocation once `out` has grown.
void AppendBxValueText(const BxValue& value, std::string& out);
// The first byte of BxValueText's text; -1 when the text is empty. SIDs,
// GUIDs, hex numbers and strings tell it without their text being made.
int BxValueTextFirstByte(const BxValue& value);
// The elements of an array value (strings split at their zeros, fixed types
// by their size); a value that is no array is its only element.
std::vector<BxValue> ArrayElements(const BxValue& value);
// Integers of any width (and hex types) as unsigned 64-bit; nullopt otherwise.
// A pointer-sized value (SizeT) is a number only at 4 or 8 bytes.
std::optional<std::uint64_t> BxValueNumber(const BxValue& value);
// A SizeT value of a pointer's size (4 or 8 bytes); any other size is damage.
bool SizeTWellSized(const BxValue& value);

}  // namespace vzrm::formats
