// Writes EVTX files from scenario events, chunk by chunk, so that logs of
// millions of events never sit in memory. The output is what Windows writes:
// a file header, 64 KiB chunks with checksums, records whose binary XML is a
// template instance (one template per event kind, defined once per chunk).
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tools/loggen/scenario.h"

namespace vzrm::loggen {

class EvtxWriter {
  public:
    explicit EvtxWriter(const std::string& path);
    ~EvtxWriter();
    EvtxWriter(const EvtxWriter&) = delete;
    EvtxWriter& operator=(const EvtxWriter&) = delete;

    void Add(const ScenarioEvent& event);
    // Writes the last chunk and the file header; throws std::runtime_error on I/O failure.
    void Finish();

  private:
    bool TryAppend(const ScenarioEvent& event);
    void FlushChunk();

    std::FILE* file_ = nullptr;
    std::string path_;
    std::vector<std::uint8_t> chunk_;
    std::uint32_t free_ = 0;
    std::uint32_t lastRecordOffset_ = 0;
    std::uint64_t firstRecord_ = 0;
    std::uint64_t lastRecord_ = 0;
    std::size_t recordsInChunk_ = 0;
    std::map<int, std::uint32_t> templates_;  // template key -> definition offset in this chunk
    std::uint64_t chunks_ = 0;
    std::uint64_t highestRecord_ = 0;
    bool finished_ = false;
};

}  // namespace vzrm::loggen
