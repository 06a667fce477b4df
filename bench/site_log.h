// The events of a busy recording site's Security log as a collector holds
// them: three machines, six accounts, twelve processes that each keep several
// handles open at once, 745 recordings with paths of 20-60 characters, mixed
// access masks and 3 % events of other kinds. Every cache of the reading
// path misses as often as at a real site, unlike the dense log's one file
// after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/loggen/scenario.h"

namespace vzrm::bench {

class SiteScenario {
  public:
    SiteScenario();
    // The next event in log order (each machine numbers its own records).
    void Next(loggen::ScenarioEvent& e);

  private:
    struct OpenHandle {
        std::uint64_t handle = 0;
        std::string object;
        std::uint32_t accessMask = 0;  // of the accesses to come
        int accessesLeft = 0;
        bool deletes = false;  // a delete before the close
        bool deleted = false;
    };
    struct Process {
        std::size_t machine = 0;
        std::size_t account = 0;
        std::string path;
        std::uint64_t pid = 0;
        std::vector<OpenHandle> open;
        std::vector<std::uint64_t> freeHandles;  // closed, reused last first
        std::uint64_t nextHandle = 0;
    };

    std::uint32_t Random(std::uint32_t below);
    void Subject(const Process& p, loggen::ScenarioEvent& e) const;
    void Other(Process& p, loggen::ScenarioEvent& e);
    void Open(Process& p, loggen::ScenarioEvent& e);
    void Use(Process& p, std::size_t which, loggen::ScenarioEvent& e);

    std::uint64_t state_ = 0x5eed5eed5eedull;
    std::uint64_t fileTime_ = 134179491330000000ull;
    std::vector<std::string> recordings_;
    std::vector<Process> processes_;
    std::uint64_t records_[3] = {};
};

}  // namespace vzrm::bench
