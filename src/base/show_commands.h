// A window's show commands, in the values of the Windows calls the program
// keeps: the start-up's choice and a second start's request carry them.
#pragma once

#include <cstdint>

namespace vzrm {

inline constexpr std::int32_t SW_HIDE = 0;
inline constexpr std::int32_t SW_SHOWNORMAL = 1;
inline constexpr std::int32_t SW_SHOWMINIMIZED = 2;
inline constexpr std::int32_t SW_MINIMIZE = 6;
inline constexpr std::int32_t SW_SHOWMINNOACTIVE = 7;

}  // namespace vzrm
