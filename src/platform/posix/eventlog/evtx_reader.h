// Reading an EVTX file event by event, in record-number order, with each
// event's binary XML parsed against its chunk's templates. A chunk's pages
// leave memory once no event of it is held any more, so reading a large log
// keeps only the chunks in use resident.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/posix/eventlog/binxml.h"
#include "platform/posix/eventlog/evtx_file.h"

namespace vzrm::platform::posix {

// A chunk being read: its bytes and the templates its records define.
struct EvtxChunkState {
    EvtxChunkState(std::shared_ptr<const EvtxFile> file, std::uint32_t index);
    ~EvtxChunkState();
    EvtxChunkState(const EvtxChunkState&) = delete;
    EvtxChunkState& operator=(const EvtxChunkState&) = delete;

    std::shared_ptr<const EvtxFile> file;  // keeps the bytes mapped
    std::uint32_t index;
    std::span<const std::uint8_t> bytes;
    std::vector<EvtxRecord> records;
    BxTemplateCache templates;
};

struct EvtxEvent {
    std::shared_ptr<EvtxChunkState> chunk;
    EvtxRecord record;
    BxDocument document;
};

class EvtxReader {
  public:
    explicit EvtxReader(std::shared_ptr<const EvtxFile> file) : file_(std::move(file)) {}

    // The next event that parses; nullopt at the end. Records whose binary XML
    // cannot be read are skipped and counted.
    std::optional<EvtxEvent> Next();
    std::size_t SkippedRecords() const { return skipped_; }
    // How far the read has come, in bytes of the file: the chunks done and
    // the share of the current chunk's records read. Chunks go in record
    // order, not file order, so this measures the amount read rather than a
    // place; it reaches FileSize() at the end.
    std::uint64_t Position() const;
    std::uint64_t FileSize() const { return file_->Bytes().size(); }

  private:
    std::shared_ptr<const EvtxFile> file_;
    std::shared_ptr<EvtxChunkState> chunk_;
    std::uint32_t nextChunk_ = 0;
    std::size_t nextRecord_ = 0;
    std::size_t skipped_ = 0;
};

}  // namespace vzrm::platform::posix
