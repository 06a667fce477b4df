// Moving the stored options between the machine and the user hive.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "settings/product_description.h"

namespace vzrm {

// Moves a key with everything below it. The destination is written before
// the source is removed, so options are never lost when the destination
// refuses the write; a failure is recorded in g_errorInfo.
bool MoveRegistryKey(platform::HKEY sourceRoot, const std::string& sourcePath,
                     platform::HKEY destinationRoot, const std::string& destinationPath);
// Moves the "Profiles" key when "options for all" changes (nonzero: all users).
bool MoveProfilesKey(const CSoftInst& soft, std::int32_t from, std::int32_t to);

}  // namespace vzrm
