#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/eventlog/log_file_bytes.h"

#include <cstring>

#include "base/wide_text.h"
#include "formats/byte_reader.h"
#include "formats/evt_file.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/log_location.h"

namespace vzrm::platform::posix {

using namespace formats;
namespace {

// The zero-terminated UTF-16 text at `at` (moved past it), as UTF-8 and its
// zero, appended to `out`. `text` is a buffer of the caller's.
void AppendWideText(const std::vector<std::uint8_t>& r, std::size_t& at, std::size_t limit,
                    std::string& text, std::vector<std::uint8_t>& out) {
    const std::size_t from = at;
    std::size_t units = 0;
    while (at + 1 < limit) {
        const auto unit = LoadLe<std::uint16_t>(r.data() + at);
        at += 2;
        if (unit == 0) {
            break;
        }
        ++units;
    }
    text.clear();
    AppendNarrowOfUtf16Le(r.data() + from, units, text);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

void Align4(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

}  // namespace

std::vector<std::uint8_t> NarrowEventLogRecord(const std::vector<std::uint8_t>& r, bool* repaired) {
    EVENTLOGRECORD head{};
    std::memcpy(&head, r.data(), sizeof head);
    const std::size_t limit = r.size() - 4;  // the trailing length
    std::size_t at = sizeof head;
    std::vector<std::uint8_t> out;
    out.reserve(2 * r.size() + 64);  // narrow texts are at most 3/2 the size of wide ones
    out.resize(sizeof head);
    std::string text;
    AppendWideText(r, at, limit, text, out);  // the source
    AppendWideText(r, at, limit, text, out);  // the computer
    Align4(out);

    const bool sidWanted = head.UserSidLength > 0;
    const std::uint32_t sidFrom = head.UserSidOffset;
    const bool sidInside = head.UserSidLength > 0 && sidFrom >= sizeof head && sidFrom <= limit &&
                           head.UserSidLength <= limit - sidFrom;
    head.UserSidLength = sidInside ? head.UserSidLength : 0;
    head.UserSidOffset = static_cast<std::uint32_t>(out.size());
    if (sidInside) {
        out.insert(out.end(), r.begin() + sidFrom, r.begin() + sidFrom + head.UserSidLength);
    }

    std::size_t stringAt = head.StringOffset;
    head.StringOffset = static_cast<std::uint32_t>(out.size());
    std::uint16_t count = 0;
    // Each string takes at least its terminating zero: the count cannot make
    // more strings than the record holds. Strings that start in the record's
    // fixed part are none of its strings.
    for (; count < head.NumStrings && stringAt >= sizeof head && stringAt + 1 < limit; ++count) {
        AppendWideText(r, stringAt, limit, text, out);
    }
    const bool stringsCut = count < head.NumStrings;
    head.NumStrings = count;

    const bool dataWanted = head.DataLength > 0;
    const bool dataInside = head.DataOffset >= sizeof head && head.DataOffset <= limit &&
                            head.DataLength <= limit - head.DataOffset;
    const std::uint32_t dataFrom = head.DataOffset;
    head.DataLength = dataInside ? head.DataLength : 0;
    head.DataOffset = static_cast<std::uint32_t>(out.size());
    if (dataInside) {
        out.insert(out.end(), r.begin() + dataFrom, r.begin() + dataFrom + head.DataLength);
    }
    Align4(out);
    head.Length = static_cast<std::uint32_t>(out.size() + 4);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(head.Length >> (8 * i)));
    }
    std::memcpy(out.data(), &head, sizeof head);
    if (repaired != nullptr) {
        *repaired = stringsCut || (sidWanted && !sidInside) || (dataWanted && !dataInside);
    }
    return out;
}

FileClassicEventLog::FileClassicEventLog() = default;
FileClassicEventLog::~FileClassicEventLog() = default;

std::int32_t FileClassicEventLog::Open(const std::string& source, EventLogHandle& handle) {
    return OpenBackup(LogFilePath(source), handle);
}

std::int32_t FileClassicEventLog::OpenBackup(const std::string& path, EventLogHandle& handle) {
    handle = 0;
    if (path.empty()) {
        return kErrorFileNotFound;
    }
    auto file = std::make_unique<EvtFile>();
    if (const std::int32_t error = OpenEvtFile(*file, path)) {
        return error;
    }
    const std::lock_guard guard(lock_);
    handle = nextHandle_++;
    logs_[handle].file = std::move(file);
    return kErrorSuccess;
}

std::int32_t FileClassicEventLog::Read(EventLogHandle handle, std::uint32_t flags,
                                       std::uint32_t offset, std::span<std::uint8_t> buffer,
                                       std::uint32_t& bytesRead, std::uint32_t& needed) {
    bytesRead = 0;
    needed = 0;
    const std::lock_guard guard(lock_);
    const auto it = logs_.find(handle);
    if (it == logs_.end()) {
        return kErrorInvalidHandle;
    }
    Log& log = it->second;
    const auto& records = log.file->Records();
    const bool forwards = (flags & EVENTLOG_FORWARDS_READ) != 0;
    if (forwards == ((flags & EVENTLOG_BACKWARDS_READ) != 0) ||
        ((flags & EVENTLOG_SEQUENTIAL_READ) != 0) == ((flags & EVENTLOG_SEEK_READ) != 0)) {
        return kErrorInvalidParameter;
    }
    if (flags & EVENTLOG_SEEK_READ) {
        std::size_t index = 0;
        while (index < records.size() && records[index].recordNumber != offset) {
            ++index;
        }
        if (index == records.size()) {
            return kErrorInvalidParameter;
        }
        log.next = forwards ? index : index + 1;
    } else if (!log.started && !forwards) {
        log.next = records.size();  // a first backwards read starts at the newest
    }
    log.started = true;
    log.forwards = forwards;

    for (;;) {
        const bool atEnd = forwards ? log.next >= records.size() : log.next == 0;
        if (atEnd) {
            break;
        }
        const std::size_t index = forwards ? log.next : log.next - 1;
        std::vector<std::uint8_t> wide;
        if (const std::int32_t error = log.file->RecordBytes(records[index], wide)) {
            if (bytesRead == 0) {
                return error;  // the file changed since it was opened
            }
            break;  // the records read so far first; the next read gives the error
        }
        bool repaired = false;
        const std::vector<std::uint8_t> record = NarrowEventLogRecord(wide, &repaired);
        if (record.size() > buffer.size() - bytesRead) {
            if (bytesRead == 0) {
                needed = static_cast<std::uint32_t>(record.size());
                return kErrorInsufficientBuffer;
            }
            break;
        }
        std::memcpy(buffer.data() + bytesRead, record.data(), record.size());
        bytesRead += static_cast<std::uint32_t>(record.size());
        log.repaired += repaired ? 1 : 0;
        log.next = forwards ? log.next + 1 : log.next - 1;
    }
    return bytesRead == 0 ? kErrorHandleEof : kErrorSuccess;
}

bool FileClassicEventLog::ReadDamage(EventLogHandle handle, LogReadDamage& damage) {
    damage = {};
    const std::lock_guard guard(lock_);
    const auto it = logs_.find(handle);
    if (it == logs_.end()) {
        return false;
    }
    const EvtFile& file = *it->second.file;
    damage.path = file.Path();
    damage.unreadableRecords = file.DamagedPlaces();
    damage.repairedRecords = it->second.repaired;
    damage.truncatedTail = file.TruncatedTail();
    if (!file.Places().Kept().empty()) {
        damage.firstPlace = DamagePlaceText(file.Places().Kept().front());
    }
    return true;
}

bool FileClassicEventLog::ReadPosition(EventLogHandle handle, std::uint64_t& position,
                                       std::uint64_t& size) {
    position = size = 0;
    const std::lock_guard guard(lock_);
    const auto it = logs_.find(handle);
    if (it == logs_.end()) {
        return false;
    }
    const Log& log = it->second;
    const std::size_t records = log.file->Records().size();
    size = log.file->FileSize();
    const std::size_t read = !log.started ? 0 : log.forwards ? log.next : records - log.next;
    const double share = records == 0 ? 1.0 : static_cast<double>(read) / records;
    position = size <= kEvtHeaderSize
                   ? size
                   : kEvtHeaderSize + static_cast<std::uint64_t>(
                                          share * static_cast<double>(size - kEvtHeaderSize));
    return true;
}

void FileClassicEventLog::Close(EventLogHandle handle) {
    const std::lock_guard guard(lock_);
    logs_.erase(handle);
}

}  // namespace vzrm::platform::posix
