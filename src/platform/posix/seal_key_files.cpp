#include "platform/posix/seal_key_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/owned_folder.h"
#include "platform/posix/plain_file.h"
#include "platform/posix/sqlite_registry.h"

namespace vzrm::platform::posix {
namespace {

// Key files are one short line; anything much longer is not ours.
constexpr off_t kMaxKeyFileSize = 4096;

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

std::string Octal(mode_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string Refused(const std::string& what, const std::string& path, const std::string& why) {
    return "The " + what + " '" + path + "' is refused: " + why + ".";
}

OwnerRule Rule() {
    return {::geteuid(), true};  // as the store's: this account's, or root's
}

std::string Normal(const std::string& folder) {
    std::error_code ignored;
    std::string path = std::filesystem::absolute(folder, ignored).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// Reads the key file `name` of the folder `dir` (`path` names it in texts).
// 2 with no refusal when it does not exist.
std::int32_t ReadKeyFile(int dir, const std::string& name, const std::string& path,
                         const std::string& what, bool secret, std::string& text,
                         std::string& refusal) {
    refusal.clear();
    struct stat info {};
    std::int32_t error = kErrorSuccess;
    const Descriptor fd(OpenPlainFile(dir, name, O_RDONLY, error, info));
    if (fd.Get() < 0) {
        struct stat entry {};
        if (::fstatat(dir, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            return error;  // missing, or the folder cannot be searched
        }
        refusal = RefusalOf(entry, what, path, Rule(), false);
        if (!refusal.empty()) {
            return kErrorAccessDenied;
        }
        refusal = "The " + what + " '" + path + "' cannot be read.";
        return error;
    }
    refusal = RefusalOf(info, what, path, Rule(), false);
    if (refusal.empty() && secret && (info.st_mode & 077) != 0) {
        refusal =
            Refused(what, path, "other accounts may read it (mode " + Octal(info.st_mode) + ")");
    }
    if (refusal.empty() && info.st_size > kMaxKeyFileSize) {
        refusal = Refused(what, path, "it is too long to be a key of this program");
    }
    if (!refusal.empty()) {
        return kErrorAccessDenied;
    }
    // One byte more than the file holds: a file that grows meanwhile is seen.
    text.assign(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd.Get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            refusal = "The " + what + " '" + path + "' cannot be read.";
            return WindowsErrorFromErrno(errno);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got == text.size()) {
        refusal = Refused(what, path, "it grew while it was read");
        return kErrorAccessDenied;
    }
    text.resize(got);
    return kErrorSuccess;
}

// Writes a new file `name` in `dir` with `mode` whatever the umask, under a
// name of its own first, then gives it its name where none has it yet
// (183 when one has: another process was first).
std::int32_t WriteNewKeyFile(int dir, const std::string& name, const std::string& text,
                             mode_t mode) {
    const std::string temporary = "." + name + "." + std::to_string(::getpid());
    ::unlinkat(dir, temporary.c_str(), 0);  // left by a process with our number that died
    const int fd = ::openat(dir, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        return WindowsErrorFromErrno(errno);
    }
    bool ok = ::fchmod(fd, mode) == 0;
    for (std::size_t written = 0; ok && written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        written += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlinkat(dir, temporary.c_str(), 0);
        return WindowsErrorFromErrno(error != 0 ? error : EIO);
    }
    if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_NOREPLACE) != 0) {
        const int renameError = errno;
        ::unlinkat(dir, temporary.c_str(), 0);
        return renameError == EEXIST ? kErrorAlreadyExists : WindowsErrorFromErrno(renameError);
    }
    return kErrorSuccess;
}

// The public key beside the secret: written when missing, else it must be
// the secret's.
std::int32_t CheckPublicKey(int dir, const std::string& folder, const SealSigningKey& key,
                            std::string& refusal) {
    const std::string path = folder + "/" + kSealPublicFile;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string text;
        std::int32_t error =
            ReadKeyFile(dir, kSealPublicFile, path, "seal's public key file", false, text, refusal);
        if (error == kErrorSuccess) {
            SealPublicKey found;
            if (!ParsePublicKeyText(text, found) || !(found == key.publicKey)) {
                refusal = Refused("seal's public key file", path,
                                  "it is not the public key of the seal key '" + folder + "/" +
                                      kSealSecretFile + "'");
                return kErrorAccessDenied;
            }
            return kErrorSuccess;
        }
        if (error != kErrorFileNotFound || !refusal.empty()) {
            return error;
        }
        error = WriteNewKeyFile(dir, kSealPublicFile, PublicKeyText(key.publicKey), 0644);
        if (error == kErrorSuccess) {
            return ::fsync(dir) == 0 ? kErrorSuccess : WindowsErrorFromErrno(errno);
        }
        if (error != kErrorAlreadyExists) {
            refusal = "The seal's public key file '" + path + "' cannot be written.";
            return error;
        }
    }
    return kErrorAlreadyExists;
}

bool Exists(int dir, const char* name) {
    struct stat entry {};
    return ::fstatat(dir, name, &entry, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

FileSealKeys::Location FileSealKeys::DefaultLocation() {
    const SqliteRegistry::Location store = SqliteRegistry::DefaultLocation();
    const auto folderOf = [](const std::string& file) {
        return file.empty() ? std::string() : std::filesystem::path(file).parent_path().string();
    };
    return {folderOf(store.machineFile), folderOf(store.userFile)};
}

std::int32_t FileSealKeys::SigningKey(SealSigningKey& key, bool make, std::string& refusal) {
    refusal.clear();
    const Location where = Where();
    const bool root = ::geteuid() == 0;
    const std::string raw = root ? where.machineFolder : where.userFolder;
    if (raw.empty()) {
        refusal = "The seal key of this account has no place: the account has no home folder.";
        return kErrorPathNotFound;
    }
    const std::string folder = Normal(raw);
    const std::string secretPath = folder + "/" + kSealSecretFile;
    struct stat info {};
    if (!make && ::lstat(folder.c_str(), &info) != 0 && errno == ENOENT) {
        refusal = "There is no seal key '" + secretPath + "' yet: the first run makes it.";
        return kErrorFileNotFound;
    }
    int opened = -1;
    const mode_t mode = root ? 0755 : 0700;
    if (const std::int32_t error =
            OpenOwnedFolder(folder, "seal key folder", mode, mode, Rule(), opened, refusal)) {
        return error;
    }
    const Descriptor dir(opened);
    key.publicKeyFile = folder + "/" + kSealPublicFile;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string text;
        std::int32_t error = ReadKeyFile(dir.Get(), kSealSecretFile, secretPath, "seal key file",
                                         true, text, refusal);
        if (error == kErrorSuccess) {
            if (!ParseSecretKeyText(text, key)) {
                refusal =
                    Refused("seal key file", secretPath, "it is not a seal key of this program");
                return kErrorInvalidData;
            }
            return CheckPublicKey(dir.Get(), folder, key, refusal);
        }
        if (error != kErrorFileNotFound || !refusal.empty()) {
            return error;
        }
        if (!make) {
            refusal = "There is no seal key '" + secretPath + "' yet: the first run makes it.";
            return kErrorFileNotFound;
        }
        // The verifiers' key is never replaced behind their back.
        if (Exists(dir.Get(), kSealPublicFile)) {
            refusal = "The seal key '" + secretPath + "' is missing, but its public key '" +
                      key.publicKeyFile +
                      "' is there: restore the seal key, or move the public key away to make a "
                      "new pair.";
            return kErrorFileNotFound;
        }
        SealSigningKey made;
        if (!MakeSealKey(made)) {
            refusal = "A seal key could not be made: the system gave no random bytes.";
            return kErrorInvalidFunction;
        }
        error = WriteNewKeyFile(dir.Get(), kSealSecretFile, SecretKeyText(made), 0600);
        if (error == kErrorAlreadyExists) {
            continue;  // another run made it first: read theirs
        }
        if (error != kErrorSuccess) {
            refusal = "The seal key file '" + secretPath + "' cannot be written.";
            return error;
        }
    }
    refusal = "The seal key file '" + secretPath + "' cannot be read back.";
    return kErrorFileNotFound;
}

std::int32_t FileSealKeys::TrustedKeys(std::vector<TrustedSealKey>& keys, std::string& refusal) {
    keys.clear();
    refusal.clear();
    const Location where = Where();
    std::vector<std::string> folders;
    for (const std::string& raw : {where.machineFolder, where.userFolder}) {
        if (raw.empty()) {
            continue;
        }
        const std::string folder = Normal(raw);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    }
    for (const std::string& folder : folders) {
        struct stat info {};
        if (::lstat(folder.c_str(), &info) != 0) {
            continue;  // no key there
        }
        refusal = RefusalOf(info, "seal key folder", folder, Rule(), true);
        if (!refusal.empty()) {
            return kErrorAccessDenied;
        }
        const Descriptor dir(
            ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (dir.Get() < 0) {
            continue;  // another account's folder that we may not search
        }
        const std::string path = folder + "/" + kSealPublicFile;
        std::string text;
        const std::int32_t error = ReadKeyFile(dir.Get(), kSealPublicFile, path,
                                               "seal's public key file", false, text, refusal);
        if (error == kErrorFileNotFound && refusal.empty()) {
            continue;
        }
        if (error != kErrorSuccess) {
            return error;
        }
        TrustedSealKey trusted;
        if (!ParsePublicKeyText(text, trusted.key)) {
            refusal = Refused("seal's public key file", path, "it is not a public seal key");
            return kErrorInvalidData;
        }
        trusted.file = path;
        keys.push_back(trusted);
    }
    return kErrorSuccess;
}

namespace {

std::int32_t ReadNamedPublicKey(const std::string& path, SealPublicKey& key, std::string& refusal) {
    refusal.clear();
    const std::filesystem::path at(path);
    const std::string folder = at.has_parent_path() ? at.parent_path().string() : ".";
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) {
        refusal = "The public key file '" + path + "' cannot be read.";
        return WindowsErrorFromErrno(errno);
    }
    // A key the user names: no link at its name, a plain file; whose it is
    // is the user's choice (a copy kept elsewhere).
    struct stat info {};
    std::int32_t error = kErrorSuccess;
    const Descriptor fd(OpenPlainFile(dir.Get(), at.filename().string(), O_RDONLY, error, info));
    if (fd.Get() < 0) {
        struct stat entry {};
        if (::fstatat(dir.Get(), at.filename().c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(entry.st_mode)) {
            refusal = Refused("public key file", path, "it is a symbolic link");
            return kErrorAccessDenied;
        }
        refusal = "The public key file '" + path + "' cannot be read.";
        return error;
    }
    char text[kMaxKeyFileSize + 1];
    std::size_t got = 0;
    for (;;) {
        const ssize_t n = ::read(fd.Get(), text + got, sizeof text - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            refusal = "The public key file '" + path + "' cannot be read.";
            return WindowsErrorFromErrno(errno);
        }
        got += static_cast<std::size_t>(n);
        if (n == 0 || got == sizeof text) {
            break;
        }
    }
    if (got == sizeof text || !ParsePublicKeyText({text, got}, key)) {
        refusal = Refused("public key file", path, "it is not a public seal key of this program");
        return kErrorInvalidData;
    }
    return kErrorSuccess;
}

}  // namespace
}  // namespace vzrm::platform::posix

namespace vzrm::platform {

std::int32_t ReadPublicKeyFile(const std::string& path, SealPublicKey& key, std::string& refusal) {
    return posix::ReadNamedPublicKey(path, key, refusal);
}

}  // namespace vzrm::platform
