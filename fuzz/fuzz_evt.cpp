// Any bytes as a classic .evt file: every record, made narrow as the reader gets it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/posix/eventlog/evt_file.h"
#include "platform/posix/eventlog/file_classic_log.h"

using namespace vzrm::platform::posix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EvtFile file;
    if (file.Attach(std::span<const std::uint8_t>(data, size)) != 0) {
        return 0;
    }
    for (const EvtRecordPlace& place : file.Records()) {
        NarrowEventLogRecord(file.RecordBytes(place));
    }
    return 0;
}
