// A real registry store (SQLite hives) in a temporary folder, installed as
// the registry in force for one test, with named mutexes in that folder too
// and the seal's keys beside the hives, as a private installation has them.
#pragma once

#include <memory>

#include "platform/posix/seal_key_files.h"
#include "platform/posix/sqlite_registry.h"
#include "support/fake_services.h"
#include "support/temp_dir.h"

namespace vzrm::test {

class ScopedRegistry {
  public:
    ScopedRegistry()
        : locks_("VZRM_LOCK_DIR", dir_.File("locks").c_str()),
          registry_(std::make_unique<platform::posix::SqliteRegistry>(
              platform::posix::SqliteRegistry::Location{dir_.File("HKLM.db"),
                                                        dir_.File("HKCU.db")})),
          sealKeys_(platform::posix::FileSealKeys::Location{dir_.File(""), dir_.File("")}),
          services_({.registry = registry_.get(), .sealKeys = &sealKeys_}) {}

    platform::posix::SqliteRegistry& Registry() { return *registry_; }
    // To name again in a ScopedServices of the test's own, whose null members
    // take the defaults.
    platform::ISealKeys& SealKeys() { return sealKeys_; }
    const TempDir& Dir() const { return dir_; }
    std::string MachineFile() const { return dir_.File("HKLM.db"); }

  private:
    TempDir dir_;
    ScopedEnv locks_;
    std::unique_ptr<platform::posix::SqliteRegistry> registry_;
    platform::posix::FileSealKeys sealKeys_;
    ScopedServices services_;
};

}  // namespace vzrm::test
