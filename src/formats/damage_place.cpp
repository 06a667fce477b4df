#include "formats/damage_place.h"

#include <cstdio>

namespace vzrm::formats {

void DamagePlaces::Add(DamagePlace place) {
    if (kept_.size() < kKept) {
        kept_.push_back(std::move(place));
    }
    ++count_;
}

std::string DamagePlaceText(const DamagePlace& place) {
    std::string text;
    if (place.chunk >= 0) {
        text = "chunk " + std::to_string(place.chunk) + ", ";
    }
    char offset[32];
    std::snprintf(offset, sizeof offset, "offset 0x%llx",
                  static_cast<unsigned long long>(place.offset));
    text += offset;
    if (place.record != 0) {
        text += ", record " + std::to_string(place.record);
    }
    return text + ": " + place.reason;
}

}  // namespace vzrm::formats
