// security.NTACL values as Samba's own NDR code packs them (python3-samba's
// xattr.NTACL, versions 1 to 4), for the descriptor
// O:BA G:SY D:(A;;FA;;;WD) S:(AU;SA;FA;;;WD): one audit entry in the SACL.
// Hashes are filler (0xAA, 0xBB); version 4's description is "posix_acl".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vzrm::test {

inline const char* const kNtaclAudited[4] = {
    "0100010000000200010014801c0000002c000000380000005400000001020000000000052000000020020000"
    "01010000000000051200000004001c000100000002401400ff01000001010000000000010000000004001c00"
    "0100000000001400ff010000010100000000000100000000",
    "020002000000020004000200aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa0100148030000000400000004c000000"
    "680000000102000000000005200000002002000001010000000000051200000004001c000100000002401400"
    "ff01000001010000000000010000000004001c000100000000001400ff010000010100000000000100000000",
    "0300030000000200040002000100aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa00000100148064000000"
    "74000000800000009c0000000102000000000005200000002002000001010000000000051200000004001c00"
    "0100000002401400ff01000001010000000000010000000004001c000100000000001400ff01000001010000"
    "0000000100000000",
    "0400040000000200040002000100aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa706f7369785f61636c00"
    "000000000000dc01bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"
    "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb01001480b4000000c4000000d0000000"
    "ec0000000102000000000005200000002002000001010000000000051200000004001c000100000002401400"
    "ff01000001010000000000010000000004001c000100000000001400ff010000010100000000000100000000",
};

// Version 4 with the description "sd" (three bytes of padding before the
// time) and a descriptor without SACL.
inline const char* const kNtaclV4WithoutSacl =
    "0400040000000200040002000100aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa73640000000000000000"
    "0000dc01bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"
    "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb01000480b0000000c000000000000000cc000000"
    "0102000000000005200000002002000001010000000000051200000004001c000100000000001400ff010000"
    "010100000000000100000000";

inline std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace vzrm::test
