// What the folder scan needs of the system: the fixed drives, the subfolders
// of a folder and a folder's security descriptor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vzrm::platform {

// A folder's identity: the same folder reached by two paths (links, bind
// mounts) has the same one. `volume` tells the file systems apart.
struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;

    friend bool operator==(const FolderId&, const FolderId&) = default;
};

struct FolderEntry {
    std::string path;  // full path
    FolderId id;
    bool idKnown = false;  // false when the folder could not be looked at
};

// In which form a descriptor's bytes came.
enum class DescriptorForm {
    none,          // the folder has no descriptor: it carries no SACL
    selfRelative,  // a self-relative security descriptor
    sambaNtacl,    // Samba's NDR-encoded xattr_NTACL
};

struct FolderDescriptor {
    DescriptorForm form = DescriptorForm::none;
    std::vector<std::uint8_t> bytes;
};

class IFolderSource {
  public:
    virtual ~IFolderSource() = default;

    // The roots of the fixed drives, in the order they are walked.
    virtual std::vector<std::string> FixedDrives() const = 0;
    // The identity of a folder; false when it is not a folder or cannot be looked at.
    virtual bool Identify(const std::string& path, FolderId& id) const = 0;
    // The folders in a folder, hidden ones included, in no particular order;
    // none when it cannot be listed.
    virtual std::vector<FolderEntry> ListFolders(const std::string& path) const = 0;
    // The folder's descriptor with its SACL; 0 or the Windows error code.
    [[nodiscard]] virtual std::int32_t ReadDescriptor(const std::string& path,
                                                      FolderDescriptor& out) const = 0;
};

}  // namespace vzrm::platform
