#include "platform/posix/message_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/case_fold.h"
#include "formats/message_table.h"
#include "platform/error_codes.h"
#include "platform/posix/plain_file.h"
#include "platform/posix/sibling_program.h"

namespace vzrm::platform {

using namespace formats;

namespace {

std::string DataFolder() {
    if (const char* dir = std::getenv("VZRM_DATA_DIR"); dir && *dir) {
        return dir;
    }
    const std::string beside = posix::SiblingProgramPath("../share/vzrmaud");
    return beside.empty() ? "/usr/share/vzrmaud" : beside;
}

// The entry of `folder` named `name` without regard to case; empty when none.
std::string MatchEntry(const std::string& folder, const std::string& name) {
    std::error_code error;
    if (std::filesystem::exists(folder + "/" + name, error)) {
        return name;
    }
    DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::string found;
    const std::string wanted = FoldCase(name);
    while (dirent* entry = readdir(dir)) {
        if (FoldCase(entry->d_name) == wanted) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

// The whole file, opened as a plain file only: a pipe or a device put at the
// name would block the read. One that no message file comes near is refused
// before it takes the memory.
std::int32_t ReadMessageFile(const std::string& file, std::vector<std::uint8_t>& bytes) {
    constexpr off_t kMaxMessageFileBytes = off_t{256} << 20;
    struct stat info {};
    std::int32_t error = kErrorSuccess;
    const int fd = posix::OpenPlainFile(file, O_RDONLY, error, info);
    if (fd < 0) {
        return error == kErrorBadFileType ? error : kErrorModNotFound;
    }
    if (info.st_size > kMaxMessageFileBytes) {
        ::close(fd);
        return kErrorInvalidData;
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return done == bytes.size() ? kErrorSuccess : kErrorInvalidData;
}

}  // namespace

std::string ExpandEnvironmentText(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t open = text.find('%', at);
        const std::size_t close =
            open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, open - at);
        const std::string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value == nullptr && EqualNoCase(name, "SystemRoot")) {
            out += DataFolder();
        } else if (value != nullptr) {
            out += value;
        } else {
            out += text.substr(open, close - open + 1);
        }
        at = close + 1;
    }
    return out;
}

std::string MapWindowsPath(const std::string& path) {
    std::string unix = path;
    if (unix.size() >= 2 && unix[1] == ':' && std::isalpha(static_cast<unsigned char>(unix[0]))) {
        unix.erase(0, 2);
    }
    for (char& c : unix) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (unix.empty() || unix[0] != '/') {
        return unix;
    }
    std::string resolved;
    std::size_t at = 1;
    while (at <= unix.size()) {
        const std::size_t end = std::min(unix.find('/', at), unix.size());
        const std::string name = unix.substr(at, end - at);
        at = end + 1;
        if (name.empty()) {
            continue;
        }
        const std::string match = MatchEntry(resolved, name);
        resolved += "/" + (match.empty() ? name : match);
    }
    return resolved.empty() ? "/" : resolved;
}

namespace posix {

std::int32_t FileMessageFiles::Load(const std::string& path, HMODULE& module) {
    module = 0;
    const std::string file = MapWindowsPath(path);
    std::vector<std::uint8_t> bytes;
    if (const std::int32_t error = ReadMessageFile(file, bytes)) {
        return error;
    }
    MessageTable table;
    std::string error;
    const bool pe = bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
    const bool read = pe ? ReadPeMessageTable(bytes, table, error)
                         : ReadMcMessages(std::string(bytes.begin(), bytes.end()), table, error);
    if (!read) {
        return kErrorInvalidData;
    }
    const std::lock_guard guard(lock_);
    module = nextModule_++;
    modules_[module] = std::move(table);
    return kErrorSuccess;
}

void FileMessageFiles::Free(HMODULE module) {
    const std::lock_guard guard(lock_);
    modules_.erase(module);
}

std::int32_t FileMessageFiles::FindMessage(HMODULE module, std::uint32_t id, std::string& text) {
    const std::lock_guard guard(lock_);
    const auto it = modules_.find(module);
    if (it == modules_.end()) {
        return kErrorInvalidHandle;
    }
    const auto message = it->second.find(id);
    if (message == it->second.end()) {
        return kErrorMessageNotFound;
    }
    text = message->second;
    return kErrorSuccess;
}

}  // namespace posix
}  // namespace vzrm::platform
