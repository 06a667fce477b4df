#include "settings/move_stored_options.h"

#include "base/error_info.h"
#include "base/error_texts.h"
#include "platform/error_codes.h"
#include "platform/services.h"
#include "settings/option_registry.h"

namespace vzrm {

using namespace platform;

bool MoveRegistryKey(HKEY sourceRoot, const std::string& sourcePath, HKEY destinationRoot,
                     const std::string& destinationPath) {
    const auto source32 = static_cast<std::uint32_t>(sourceRoot);
    const auto destination32 = static_cast<std::uint32_t>(destinationRoot);
    const std::string ext = StrgLine(sourcePath) + HexDumpText(&source32, 4) +
                            StrgLine(destinationPath) + HexDumpText(&destination32, 4);
    auto fail = [&](const char* point, std::int32_t code) {
        g_errorInfo.SetError(point, code, "", ext);
        return false;
    };
    COptPack pack;
    const std::int32_t read = ReadPack(pack, sourceRoot, sourcePath);
    if (read == kErrorFileNotFound) {
        return true;
    }
    if (read != kErrorSuccess) {
        return fail("PSCMQFKNQOIBRAG", read);
    }
    if (!ReadWhole(pack)) {
        // Deleting the source would lose what the read skipped.
        return fail("PSCMQFKNQOIBRAG", kErrorInvalidData);
    }
    if (const std::int32_t written = WritePack(pack, destinationRoot, destinationPath)) {
        return fail("PZOSKDUDXDDPUYU", written);
    }
    const std::int32_t removed = Registry().DeleteTree(sourceRoot, sourcePath);
    if (removed != kErrorSuccess && removed != kErrorFileNotFound) {
        return fail("CZVPEIGMGZWVTZN", removed);
    }
    return true;
}

bool MoveProfilesKey(const CSoftInst& soft, std::int32_t from, std::int32_t to) {
    if (from == to) {
        return true;
    }
    const std::string path = soft.BasePath() + "\\Profiles";
    const HKEY source = from != 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const HKEY destination = to != 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    if (!MoveRegistryKey(source, path, destination, path)) {
        g_errorInfo.AddErrPoint("ZIQVRKEMYOTODYM");
        return false;
    }
    return true;
}

}  // namespace vzrm
