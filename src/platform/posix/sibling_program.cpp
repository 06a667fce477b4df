#include "platform/posix/sibling_program.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace vzrm::platform::posix {

std::string SiblingProgramPath(const std::string& relative) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return (self.parent_path() / relative).lexically_normal().string();
}

int ExecSiblingProgram(const std::string& relative, char** argv) {
    const std::string path = SiblingProgramPath(relative);
    if (path.empty()) {
        return ENOENT;
    }
    execv(path.c_str(), argv);
    return errno;
}

}  // namespace vzrm::platform::posix
