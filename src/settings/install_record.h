// The installation record in the machine hive and the per-user record of the
// version the user's options were last brought up to.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "settings/product_description.h"

namespace vzrm {

struct PRODUCT_VERSION {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
};

struct INSTALL_FLAGS {
    std::int32_t commonApp = 0;      // 1: common (all users) application
    std::int32_t optionsForAll = 0;  // 1: one set of options for all users
    std::int32_t access = -1;        // 1: full access to shared options
};

// Every reader and writer reports into g_errorInfo and returns success; a
// caller tells an absent record from a failure by the code 2.
bool ReadProductVersion(const CSoftInst& soft, PRODUCT_VERSION& version);
bool ReadOptionVersion(const CSoftInst& soft, PRODUCT_VERSION& version);
bool ReadInstallFlags(const CSoftInst& soft, INSTALL_FLAGS& flags);
// Missing values read as 0; the outputs keep their presets when the key is absent.
bool ReadOptionFlags(const CSoftInst& soft, std::int32_t& commonApp, std::int32_t& optionsForAll);
// The installation date as a file time (UTC), from a SYSTEMTIME of 16 bytes or more.
bool ReadInstallDate(const CSoftInst& soft, std::optional<std::uint64_t>& fileTime);
// The installation folder; the App Paths entry of `executable` when the record has none.
bool ReadInstallPath(const CSoftInst& soft, const std::string& executable, std::string& path);

bool WriteOptionVersion(const CSoftInst& soft);
bool WriteOptionCommonReg(const CSoftInst& soft, std::int32_t value);
bool WriteOptionCommonSet(const CSoftInst& soft, std::int32_t value);

// The installed version must be the program's own. 1 installed, 0 not (the
// caller shows kTextNotInstalled), -1 failed (recorded).
int CheckInstallation(const CSoftInst& soft, INSTALL_FLAGS& flags);

// Brings the user's option record up to date with the installation. Failures
// are handed to `show` (the error display), which may be empty; a move of the
// options that is refused (code 5) is not shown. Returns where the options
// are now ("options for all", nonzero: the machine hive): after a failed move
// they are still where they were.
using MoveOptions = bool (*)(const CSoftInst& soft, std::int32_t from, std::int32_t to);
std::int32_t UpdateOptionVersion(const CSoftInst& soft, const INSTALL_FLAGS& installed,
                                 MoveOptions move, const std::function<void()>& show);

// "Install: Common app, Options for all, Access full (1,1,1)\r\n".
std::string InstallLine(const INSTALL_FLAGS& flags);

}  // namespace vzrm
