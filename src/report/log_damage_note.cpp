#include "report/log_damage_note.h"

#include <cstdint>

#include "base/resource_text.h"

namespace vzrm {

std::string LogDamageText(const platform::LogReadDamage& damage) {
    if (!damage.Any()) {
        return {};
    }
    std::string text = FormatResource(
        58440, damage.path, static_cast<std::uint32_t>(damage.unreadableRecords),
        static_cast<std::uint32_t>(damage.damagedChunks),
        static_cast<std::uint32_t>(damage.repairedRecords), damage.truncatedTail ? "yes" : "no");
    if (!damage.firstPlace.empty()) {
        text += "\r\n" + FormatResource(58444, damage.firstPlace);
    }
    return text;
}

}  // namespace vzrm
