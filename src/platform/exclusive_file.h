// A file held open by one writer for a while: locked against other writers,
// appended to, and flushed to the disk when closed. A link at the name, or
// anything but a plain file with one name, is refused and never written
// through: the folder may be one that other accounts can write to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vzrm::platform {

// Where a name is looked up: a folder's descriptor, or kPathAsGiven for a
// path of its own.
inline constexpr int kPathAsGiven = -1;

// A folder held open by its descriptor, so that files are made in the
// folder that was checked, whatever its path names later.
class OpenFolder {
  public:
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    // 0, or a Windows error code; 5 with `refusal` set for a folder that is
    // reached through a symbolic link in a folder other accounts may write,
    // that other accounts may write without the sticky bit, or that belongs
    // to another account than this process's or root.
    [[nodiscard]] std::int32_t Open(const std::string& path, std::string& refusal);
    void Close();
    int Descriptor() const { return fd_; }

  private:
    int fd_ = -1;
};

class ExclusiveFile {
  public:
    // create: a new file only (a name that exists fails with 183).
    enum class Mode { truncate, keep, create };

    ExclusiveFile() = default;
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // 0, or a Windows error code: 32 while another process holds the file,
    // 5 with `refusal` set ("it is a symbolic link") for a refused file. The
    // file is truncated (Mode::truncate) only once it is ours.
    // `name` is looked up in `folder` (a descriptor, or kPathAsGiven).
    [[nodiscard]] std::int32_t Open(int folder, const std::string& name, Mode mode,
                                    std::string& refusal);
    // Writes the text at the end of the file in one piece: a write that fails
    // part of the way takes back what it wrote.
    [[nodiscard]] std::int32_t Append(const std::string& text);
    // Takes back the last `bytes` bytes of the file (what the last Append
    // wrote, when a later step of the same change failed).
    [[nodiscard]] std::int32_t TakeBack(std::uint64_t bytes);
    // The file's size, and up to `size` bytes from `offset` (fewer at its end).
    [[nodiscard]] std::int32_t Size(std::uint64_t& size) const;
    [[nodiscard]] std::int32_t ReadAt(std::uint64_t offset, std::size_t size,
                                      std::string& bytes) const;
    // Flushes to the disk and closes; the file is closed even on failure.
    [[nodiscard]] std::int32_t Close();
    bool IsOpen() const { return handle_ >= 0; }

  private:
    int handle_ = -1;
    std::uint64_t notWrittenBack_ = 0;  // bytes appended since writeback was last started
};

// Gives the file at `from` the name `to` where no file has that name yet:
// 183 when one has, 5 with `refusal` set when a symbolic link has it (never
// replaced), else 0 or the error.
[[nodiscard]] std::int32_t RenameToNewName(int folder, const std::string& from,
                                           const std::string& to, std::string& refusal);
// Removes the file of that name; 0 or the error.
std::int32_t RemoveFile(int folder, const std::string& name);

// The plain files in `folder` whose names start with `prefix` and end with
// `suffix` and that no ExclusiveFile holds open (no process has them locked).
std::vector<std::string> UnheldFiles(int folder, const std::string& prefix,
                                     const std::string& suffix);

}  // namespace vzrm::platform
