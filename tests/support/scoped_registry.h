// A real registry store (SQLite hives) in a temporary folder, installed as
// the registry in force for one test, with named mutexes in that folder too.
#pragma once

#include <memory>

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
          services_({.registry = registry_.get()}) {}

    platform::posix::SqliteRegistry& Registry() { return *registry_; }
    const TempDir& Dir() const { return dir_; }
    std::string MachineFile() const { return dir_.File("HKLM.db"); }

  private:
    TempDir dir_;
    ScopedEnv locks_;
    std::unique_ptr<platform::posix::SqliteRegistry> registry_;
    ScopedServices services_;
};

}  // namespace vzrm::test
