// A folder source over a real temporary tree whose descriptors come from the
// test: folders are listed and identified by the Linux source, what each
// folder's descriptor read answers is set per path.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/posix_folders.h"
#include "support/descriptor_bytes.h"

namespace vzrm::test {

class FakeFolderSource final : public platform::IFolderSource {
  public:
    struct Answer {
        std::int32_t code = 0;
        platform::FolderDescriptor descriptor;
    };

    void Audit(const std::string& path) {
        answers[path] = {0, {platform::DescriptorForm::selfRelative, DescriptorWithSacl({2})}};
    }
    void Fail(const std::string& path, std::int32_t code) { answers[path] = {code, {}}; }

    std::vector<std::string> FixedDrives() const override { return drives; }
    bool Identify(const std::string& path, platform::FolderId& id) const override {
        return real_.Identify(path, id);
    }
    std::vector<platform::FolderEntry> ListFolders(const std::string& path) const override {
        std::vector<platform::FolderEntry> entries = real_.ListFolders(path);
        for (platform::FolderEntry& entry : entries) {
            if (otherVolume.count(entry.path) != 0) {
                entry.id.volume ^= 1;
            }
        }
        return entries;
    }
    std::int32_t ReadDescriptor(const std::string& path,
                                platform::FolderDescriptor& out) const override {
        reads.push_back(path);
        if (onRead) {
            onRead(path);
        }
        const auto found = answers.find(path);
        out = found == answers.end() ? platform::FolderDescriptor{} : found->second.descriptor;
        return found == answers.end() ? 0 : found->second.code;
    }

    std::vector<std::string> drives;
    std::map<std::string, Answer> answers;
    std::set<std::string> otherVolume;  // folders that look like other mounts
    mutable std::vector<std::string> reads;
    std::function<void(const std::string&)> onRead;  // called before each read

  private:
    platform::posix::PosixFolderSource real_;
};

}  // namespace vzrm::test
