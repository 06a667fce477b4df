// The registry form of an option pack: a pack is a key, its packs are
// subkeys, its other items values; arrays of numbers and byte blocks are
// stored in a framed binary layout (big-endian, magic 0x68967916).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "settings/option_pack.h"

namespace vzrm {

inline constexpr std::uint32_t kFrameMagic = 0x68967916;

// The framed bytes of an "int" (type 1) or "bin"/"(binx)" (3, 5) item.
std::vector<std::uint8_t> FrameItem(const COptItem& item, std::uint8_t flag);
// Reads framed bytes into `item`: 0 when read, 13 for a frame of an unknown
// type, -1 when the bytes are not a frame (no magic, or a length that does not
// match), which the caller keeps as raw bytes.
std::int32_t ReadFrame(std::span<const std::uint8_t> bytes, COptItem& item);

// Writes the pack as (parent, subkey) in one transaction: the previous
// content stays whole when anything fails. 0 or a Windows error code. A
// store that holds the pack already is left untouched (0, even where it
// could not be written).
std::int32_t WritePack(const COptPack& pack, platform::HKEY parent, const std::string& subkey);
// Reads (parent, subkey) into the pack; after a successful read the pack
// compares names without regard to case. 0 or a Windows error code (2: absent;
// 13: present but not readable as a pack). Subkeys that are gone or refused
// while read are skipped and named in the pack's `unread`.
std::int32_t ReadPack(COptPack& pack, platform::HKEY parent, const std::string& subkey);
// Whether a read skipped nothing, at any depth.
bool ReadWhole(const COptPack& pack);

}  // namespace vzrm
