#include "platform/posix/posix_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/fixed_drives.h"

namespace vzrm::platform::posix {
namespace {

struct DescriptorAttribute {
    const char* name;
    DescriptorForm form;
};

constexpr DescriptorAttribute kAttributes[] = {
    {"system.ntfs_acl", DescriptorForm::selfRelative},
    {"system.ntfs_security", DescriptorForm::selfRelative},
    {"security.NTACL", DescriptorForm::sambaNtacl},
};

constexpr int kReadAttempts = 4;

FolderId IdOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool IsDotName(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::int32_t CodeOfXattrErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return kErrorPrivilegeNotHeld;
        case ENOENT:
            return kErrorFileNotFound;
        default:
            return WindowsErrorFromErrno(error);
    }
}

// One attribute's value: 0 and the bytes, -1 when absent, or an errno value.
int ReadAttribute(const std::string& path, const char* name, std::vector<std::uint8_t>& bytes) {
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        const ssize_t size = ::getxattr(path.c_str(), name, nullptr, 0);
        if (size >= 0) {
            bytes.resize(static_cast<std::size_t>(size));
            const ssize_t got = ::getxattr(path.c_str(), name, bytes.data(), bytes.size());
            if (got >= 0) {
                bytes.resize(static_cast<std::size_t>(got));
                return 0;
            }
        }
        if (errno == ENODATA || errno == ENOTSUP) {
            return -1;  // not kept here, or not a name this file system knows
        }
        if (errno != ERANGE) {
            return errno;  // ERANGE: the value grew between the two calls
        }
    }
    return ERANGE;
}

// The length of the UTF-8 sequence at `i`; 0 when it is not one (overlong
// forms, surrogates and code points beyond U+10FFFF included).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t extra = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (text.size() - i <= extra) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t k = 2; k <= extra; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return extra + 1;
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

bool IsValidUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::vector<std::string> PosixFolderSource::FixedDrives() const {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return FixedMountPoints(text.str(), SystemMountProbe());
}

bool PosixFolderSource::Identify(const std::string& path, FolderId& id) const {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    id = IdOf(st);
    return true;
}

std::vector<FolderEntry> PosixFolderSource::ListFolders(const std::string& path) const {
    std::vector<FolderEntry> entries;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return entries;
    }
    while (const dirent* item = ::readdir(dir)) {
        if (IsDotName(item->d_name) || item->d_type == DT_REG) {
            continue;
        }
        FolderEntry entry;
        entry.path = JoinPath(path, item->d_name);
        struct stat st {};
        if (::fstatat(::dirfd(dir), item->d_name, &st, 0) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                continue;
            }
            entry.id = IdOf(st);
            entry.idKnown = true;
        } else if (item->d_type != DT_DIR) {
            continue;  // a dangling link, or nothing known to be a folder
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
}

std::int32_t PosixFolderSource::ReadDescriptor(const std::string& path,
                                               FolderDescriptor& out) const {
    out = {};
    if (!IsValidUtf8(path)) {
        return kErrorInvalidName;
    }
    for (const DescriptorAttribute& attribute : kAttributes) {
        const int result = ReadAttribute(path, attribute.name, out.bytes);
        if (result == 0) {
            out.form = attribute.form;
            return kErrorSuccess;
        }
        if (result > 0) {
            out.bytes.clear();
            return CodeOfXattrErrno(result);
        }
    }
    out.bytes.clear();
    return kErrorSuccess;
}

}  // namespace vzrm::platform::posix
