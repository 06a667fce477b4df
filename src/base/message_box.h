// Message-box styles and answers, and a window's show commands, in the values
// of the Windows calls whose texts and behaviour the program keeps: the run's
// questions carry them from the logic to whichever window (or headless host)
// shows them; the start-up's choice and a second start's request carry the
// show commands.
#pragma once

#include <cstdint>

namespace vzrm {

inline constexpr std::uint32_t MB_YESNO = 0x04;
inline constexpr std::uint32_t MB_ICONERROR = 0x10;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x20;
inline constexpr std::uint32_t MB_ICONWARNING = 0x30;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr std::uint32_t MB_ICONMASK = 0xF0;
inline constexpr std::uint32_t MB_DEFBUTTON2 = 0x100;

inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

inline constexpr std::int32_t SW_HIDE = 0;
inline constexpr std::int32_t SW_SHOWNORMAL = 1;
inline constexpr std::int32_t SW_SHOWMINIMIZED = 2;
inline constexpr std::int32_t SW_MINIMIZE = 6;
inline constexpr std::int32_t SW_SHOWMINNOACTIVE = 7;

}  // namespace vzrm
