// Message tables: the texts of a message file by message identifier, read
// from a Windows PE file's RT_MESSAGETABLE resource or from the message
// compiler's text form (.mc), which is how the project ships its own.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

namespace vzrm::formats {

// Identifier (the full 32 bits, severity and facility included) to narrow text.
using MessageTable = std::map<std::uint32_t, std::string>;

// The message table of a PE file (any language; English when there are
// several). False with `error` for a file that is not a PE file or has none.
bool ReadPeMessageTable(std::span<const std::uint8_t> file, MessageTable& table,
                        std::string& error);

// The messages of a .mc text: MessageId=, Severity=, Facility= and
// Language= header lines, each message's text ending at a line with a lone ".".
// False with `error` naming the line for malformed input.
bool ReadMcMessages(std::string_view text, MessageTable& table, std::string& error);

}  // namespace vzrm::formats
