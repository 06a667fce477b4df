// The project's message files copied under a Windows root in a test store and
// registered there as the install step does, with one mapped account.
#pragma once

#include <string>

#include "platform/registry.h"
#include "support/scoped_registry.h"

namespace vzrm::test {

// Sets a REG_EXPAND_SZ value, creating the key.
void SetRegistryText(platform::HKEY root, const std::string& path, const std::string& name,
                     const std::string& value);

class ProjectMessages {
  public:
    explicit ProjectMessages(const ScopedRegistry& store);

  private:
    ScopedEnv systemRoot_;
};

}  // namespace vzrm::test
