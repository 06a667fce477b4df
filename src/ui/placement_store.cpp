#include "ui/placement_store.h"

#include "settings/reg_key_handle.h"

namespace vzrm::ui {
namespace {

std::string KeyOf(const std::string& appKey, const std::string& section) {
    return appKey + "\\" + section;
}

}  // namespace

bool SavePlacement(const std::string& appKey, const std::string& section,
                   const STORED_PLACEMENT& placement) {
    if (section.empty()) {
        return true;
    }
    CRegKeyHandle key(&g_errorInfo);
    if (!key.Open(platform::HKEY_CURRENT_USER, KeyOf(appKey, section),
                  platform::KEY_READ | platform::KEY_WRITE)) {
        return false;
    }
    const DOCK_RECT& r = placement.stored;
    const std::pair<const char*, std::int32_t> values[] = {
        {"Dock", placement.dock},
        {"ToFrame", placement.toFrame},
        {"PosX", r.left},
        {"PosY", r.top},
        {"Width", r.Width()},
        {"Height", r.Height()},
        {"Max", placement.maximized ? 1 : 0},
    };
    for (const auto& [name, value] : values) {
        if (!key.WriteDword(name, static_cast<std::uint32_t>(value))) {
            return false;
        }
    }
    return true;
}

STORED_PLACEMENT LoadPlacement(const std::string& appKey, const std::string& section,
                               const DOCK_RECT& defaultRect) {
    STORED_PLACEMENT placement;
    std::int32_t x = defaultRect.left;
    std::int32_t y = defaultRect.top;
    std::int32_t width = defaultRect.Width();
    std::int32_t height = defaultRect.Height();
    std::int32_t maximized = 0;
    if (!section.empty()) {
        // A profile that cannot be read places the frame as a first start does.
        CRegKeyHandle key;
        if (key.OpenIfExists(platform::HKEY_CURRENT_USER, KeyOf(appKey, section),
                             platform::KEY_READ) == 1) {
            for (const auto& [name, value] : {std::pair{"Dock", &placement.dock},
                                              {"ToFrame", &placement.toFrame},
                                              {"PosX", &x},
                                              {"PosY", &y},
                                              {"Width", &width},
                                              {"Height", &height},
                                              {"Max", &maximized}}) {
                std::uint32_t read = 0;
                if (key.ReadDwordIfExists(name, read) == 1) {
                    *value = static_cast<std::int32_t>(read);
                }
            }
        }
    }
    placement.stored = {x, y, x + width, y + height};
    placement.maximized = maximized != 0;
    return placement;
}

}  // namespace vzrm::ui
