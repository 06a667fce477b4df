// A temporary folder removed with everything in it, and small file helpers.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vzrm::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Runs a shell command; its standard output and exit status.
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult RunCommand(const std::string& command);
// True when a program of that name is on the PATH.
bool HaveProgram(const std::string& name);

}  // namespace vzrm::test
