// Any bytes as a message file: a PE file's message table, and the same bytes
// as a .mc text; every message found is then formatted.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/messages/format_message.h"
#include "platform/messages/message_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vzrm::platform;
    MessageTable table;
    std::string error;
    ReadPeMessageTable(std::span<const std::uint8_t>(data, size), table, error);
    MessageTable mc;
    ReadMcMessages(std::string_view(reinterpret_cast<const char*>(data), size), mc, error);
    for (const auto& [id, text] : mc) {
        table[id] = text;
    }
    const std::vector<const char*> args = {"one", "%%4417", nullptr};
    for (const auto& [id, text] : table) {
        FormatMessageText(text, {false, id % 2 ? 0xFFu : 0u}, args);
        FormatMessageText(text, {true, id % 7}, args);
    }
    return 0;
}
