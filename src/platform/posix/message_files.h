// Message files on Linux: PE files and .mc texts, loaded whole into tables.
#pragma once

#include <mutex>
#include <unordered_map>

#include "formats/message_table.h"
#include "platform/message_files.h"

namespace vzrm::platform::posix {

class FileMessageFiles final : public IMessageFiles {
  public:
    std::int32_t Load(const std::string& path, HMODULE& module) override;
    void Free(HMODULE module) override;
    std::int32_t FindMessage(HMODULE module, std::uint32_t id, std::string& text) override;

  private:
    std::mutex lock_;
    std::unordered_map<HMODULE, formats::MessageTable> modules_;
    HMODULE nextModule_ = 1;
};

}  // namespace vzrm::platform::posix
