// Writes classic .evt files from scenario events. With a maximum size the file
// is a circular buffer, as Windows keeps it: when it is full the oldest
// records are overwritten and the records wrap round to the start.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "tools/loggen/scenario.h"

namespace vzrm::loggen {

// The insertion strings of a classic Security event, in the order the
// program's message files number them.
std::vector<std::string> ClassicStrings(const ScenarioEvent& event);

class EvtWriter {
  public:
    // maxSize 0: the file grows as needed (written as it goes).
    EvtWriter(const std::string& path, std::uint32_t maxSize);
    ~EvtWriter();
    EvtWriter(const EvtWriter&) = delete;
    EvtWriter& operator=(const EvtWriter&) = delete;

    void Add(const ScenarioEvent& event);
    void Finish();

  private:
    struct Placed {
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t number;
    };

    void WriteCircular(const std::vector<std::uint8_t>& record, std::uint32_t number);
    std::vector<std::uint8_t> Header() const;
    std::vector<std::uint8_t> EndRecord() const;

    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint32_t maxSize_;
    std::vector<std::uint8_t> ring_;  // the whole file, when circular
    std::deque<Placed> live_;
    std::uint32_t end_ = 0x30;
    std::uint32_t start_ = 0x30;
    std::uint32_t nextNumber_ = 1;
    std::uint32_t oldestNumber_ = 1;
    bool started_ = false;
    bool wrapped_ = false;
    bool finished_ = false;
};

}  // namespace vzrm::loggen
