// Texts that describe failures: the extended-detail lines of an error record
// and the system's message for an error code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vzrm {

class CException;
class CFileException;

// "STRG: [s]\r\n"; a null text counts as empty.
std::string StrgLine(const char* text);
std::string StrgLine(const std::string& text);
// Rows of 12 bytes: offset, hex in groups of 4, the bytes as characters.
std::string HexDumpText(const void* data, std::size_t length);
// "HKEY: HKLM\r\n", or the handle value in hex for a key that is not a root.
std::string RootKeyLine(std::int64_t root);
// Our own wording for the Windows codes the program meets; "Unknown error." otherwise.
std::string SystemErrorText(std::int32_t code);
// The exception's own message (at most 515 characters), "Unknown error." when it
// has none, empty for a null exception.
std::string ExceptionMessage(const CException* e);
// The cause, the operating-system error and the file name, one line each.
std::string FileExceptionText(const CFileException* e);

}  // namespace vzrm
