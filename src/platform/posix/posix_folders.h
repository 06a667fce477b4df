// The folder source of the scan on Linux: fixed drives from mountinfo,
// folders from readdir (links to folders followed), descriptors from the
// extended attributes that NTFS drivers and Samba keep them in.
#pragma once

#include "platform/folders.h"

namespace vzrm::platform::posix {

class PosixFolderSource final : public IFolderSource {
  public:
    std::vector<std::string> FixedDrives() const override;
    bool Identify(const std::string& path, FolderId& id) const override;
    std::vector<FolderEntry> ListFolders(const std::string& path) const override;
    // Tries system.ntfs_acl (ntfs-3g), system.ntfs_security (ntfs3) and
    // security.NTACL (Samba) in this order. None of them: no descriptor.
    // EACCES/EPERM answer 1314 (reading them needs root), ENOENT 2, a path
    // that is not UTF-8 123; other errors their Windows code.
    std::int32_t ReadDescriptor(const std::string& path, FolderDescriptor& out) const override;
};

// A child's full path: no doubled separator below the root.
std::string JoinPath(const std::string& folder, const std::string& name);
bool IsValidUtf8(const std::string& text);

}  // namespace vzrm::platform::posix
