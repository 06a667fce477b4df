#include "formats/evtx_reader.h"

#include "formats/byte_reader.h"

namespace vzrm::formats {

EvtxChunkState::EvtxChunkState(std::shared_ptr<const EvtxFile> f, std::uint32_t i)
    : file(std::move(f)), index(i) {}

std::optional<EvtxEvent> EvtxReader::Next() {
    EvtxEvent event;
    if (!Next(event)) {
        return std::nullopt;
    }
    return event;
}

bool EvtxReader::Next(EvtxEvent& event) {
    while (error_ == 0) {
        if (!chunk_ || nextRecord_ >= chunk_->records.size()) {
            chunk_.reset();
            if (nextChunk_ >= file_->Chunks().size()) {
                break;
            }
            auto chunk = std::make_shared<EvtxChunkState>(file_, nextChunk_++);
            chunk->templates.ShareKnown(known_);
            if ((error_ = file_->ChunkBytes(chunk->index, chunk->owned, chunk->bytes)) != 0) {
                break;
            }
            const std::size_t before = places_.Count();
            chunk->records = file_->ChunkRecords(chunk->index, chunk->bytes, &places_);
            damagedPlaces_ += places_.Count() - before;
            chunk_ = std::move(chunk);
            nextRecord_ = 0;
            continue;
        }
        const EvtxRecord& record = chunk_->records[nextRecord_++];
        try {
            ParseFragment(chunk_->bytes,
                          record.offset + static_cast<std::uint32_t>(kEvtxRecordHeaderSize),
                          record.offset + record.size - 4, chunk_->templates, event.document);
            repaired_ += event.document.repaired ? 1 : 0;
            event.chunk = chunk_;
            event.record = record;
            return true;
        } catch (const MalformedInput& error) {
            ++skipped_;
            const std::size_t chunkAt = file_->Chunks()[record.chunk].fileOffset;
            const std::size_t at = error.at != MalformedInput::kNowhere ? error.at : record.offset;
            places_.Add({DamagePlace::Kind::recordContent, chunkAt + at, EvtxChunkNumber(chunkAt),
                         record.recordId, error.what()});
        }
    }
    event.chunk.reset();
    event.record = {};
    event.document.Clear();
    return false;
}

std::uint64_t EvtxReader::Position() const {
    const std::uint64_t size = FileSize();
    const std::size_t chunks = file_->Chunks().size();
    if (size <= kEvtxFileHeaderSize || chunks == 0) {
        return size;
    }
    double done = nextChunk_;
    if (chunk_) {
        // The current chunk counts by its records read; one without records as done.
        const std::size_t records = chunk_->records.size();
        done -= records == 0 ? 0.0 : 1.0 - static_cast<double>(nextRecord_) / records;
    }
    const double share = done / static_cast<double>(chunks);
    return kEvtxFileHeaderSize +
           static_cast<std::uint64_t>(share * static_cast<double>(size - kEvtxFileHeaderSize));
}

}  // namespace vzrm::formats
