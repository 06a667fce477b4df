#include "report/log_damage_note.h"

#include <cstdint>

#include "base/resource_text.h"
#include "base/text_ids.h"

namespace vzrm {

std::string LogDamageText(const platform::LogReadDamage& damage) {
    if (!damage.Any()) {
        return {};
    }
    std::string text = FormatResource(
        kTextLogDamaged, damage.path, static_cast<std::uint32_t>(damage.unreadableRecords),
        static_cast<std::uint32_t>(damage.damagedChunks),
        static_cast<std::uint32_t>(damage.repairedRecords), damage.truncatedTail ? "yes" : "no");
    if (!damage.firstPlace.empty()) {
        text += "\r\n" + FormatResource(kTextFirstDamagedPlace, damage.firstPlace);
    }
    return text;
}

}  // namespace vzrm
