#include "platform/posix/eventlog/evtx_reader.h"

#include "platform/posix/eventlog/byte_reader.h"

namespace vzrm::platform::posix {

std::optional<EvtxEvent> EvtxReader::Next() {
    for (;;) {
        if (!chunk_ || nextRecord_ >= chunk_->records.size()) {
            if (nextChunk_ >= file_->Chunks().size()) {
                return std::nullopt;
            }
            chunk_ = std::make_shared<EvtxChunkState>();
            chunk_->file = file_;
            chunk_->bytes = file_->Chunks()[nextChunk_].Bytes(file_->Bytes());
            chunk_->records = file_->ChunkRecords(nextChunk_);
            ++nextChunk_;
            nextRecord_ = 0;
            continue;
        }
        const EvtxRecord& record = chunk_->records[nextRecord_++];
        try {
            BxDocument document = ParseFragment(
                chunk_->bytes, record.offset + static_cast<std::uint32_t>(kEvtxRecordHeaderSize),
                record.offset + record.size - 4, chunk_->templates);
            return EvtxEvent{chunk_, record, std::move(document)};
        } catch (const MalformedInput&) {
            ++skipped_;
        }
    }
}

}  // namespace vzrm::platform::posix
