// Reading an EVTX file event by event, in record-number order, with each
// event's binary XML parsed against its chunk's templates. A chunk's bytes are
// read when its first event is asked for and freed once no event of it is
// held any more, so reading a large log keeps only the chunks in use.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "formats/binxml.h"
#include "formats/evtx_file.h"

namespace vzrm::formats {

// A chunk being read: its bytes and the templates its records define.
struct EvtxChunkState {
    EvtxChunkState(std::shared_ptr<const EvtxFile> file, std::uint32_t index);
    EvtxChunkState(const EvtxChunkState&) = delete;
    EvtxChunkState& operator=(const EvtxChunkState&) = delete;

    std::shared_ptr<const EvtxFile> file;  // keeps attached bytes alive
    std::uint32_t index;
    EvtxChunkBuffer owned;  // the chunk as read from the file
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

    // The next event that parses; nullopt at the end or on an error. Records
    // whose binary XML cannot be read are skipped and counted.
    std::optional<EvtxEvent> Next();
    // The same into `event`, whose buffers are reused; false (and `event`
    // emptied) where Next gives nullopt.
    bool Next(EvtxEvent& event);
    // 0, or 1503 when the file changed while it was read (reading stops).
    std::int32_t Error() const { return error_; }
    // Records whose binary XML could not be read.
    std::size_t SkippedRecords() const { return skipped_; }
    // Places in the chunks read so far where no record could be found.
    std::size_t DamagedPlaces() const { return damagedPlaces_; }
    // Records read with values their binary XML cut short.
    std::size_t RepairedRecords() const { return repaired_; }
    // The damaged places and unreadable records met so far, with their places.
    const DamagePlaces& Places() const { return places_; }
    // How far the read has come, in bytes of the file: the chunks done and
    // the share of the current chunk's records read. Chunks go in record
    // order, not file order, so this measures the amount read rather than a
    // place; it reaches FileSize() at the end.
    std::uint64_t Position() const;
    std::uint64_t FileSize() const { return file_->Size(); }

  private:
    std::shared_ptr<const EvtxFile> file_;
    std::shared_ptr<BxKnownTemplates> known_ = std::make_shared<BxKnownTemplates>();
    std::shared_ptr<EvtxChunkState> chunk_;
    std::uint32_t nextChunk_ = 0;
    std::size_t nextRecord_ = 0;
    std::size_t skipped_ = 0;
    std::size_t damagedPlaces_ = 0;
    std::size_t repaired_ = 0;
    DamagePlaces places_;
    std::int32_t error_ = 0;
};

}  // namespace vzrm::formats
