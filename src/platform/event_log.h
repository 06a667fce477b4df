// The Security event log as the readers see it: the classic interface
// (sequential reads of EVENTLOGRECORDs) and the modern one (queries, batches,
// rendered values), with the Windows semantics the readers rely on. On Linux
// the log is a file; its format decides which interface serves it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vzrm::platform {

enum class LogFormat { none, classic, modern };

// The system version the readers see: NT (platform 2) 5 for a classic
// Security log, 6 for an EVTX one (and when there is none yet).
struct SYSTEM_VERSION {
    std::uint32_t platformId = 2;
    std::uint32_t major = 6;
};
SYSTEM_VERSION QuerySystemVersion();

// The logs a channel's live log left when it filled up and was archived
// ("Archive-Security-2026-03-14-08-05-33-123.evtx" in the live log's folder,
// in the live log's format), oldest first, and that folder. 0, or a Windows
// error code: 5 when others than the folder's owner and root may write into
// the folder, since an archive planted there would put forged events into the
// report.
std::int32_t ListArchivedLogs(const std::string& channel, std::string& folder,
                              std::vector<std::string>& paths);

// What a read of a log file could not take in as it was: not part of the
// Windows interfaces (a live log is never damaged there), but an exported
// file can be, and that must not go unnoticed.
struct LogReadDamage {
    std::string path;                   // the log file
    std::size_t unreadableRecords = 0;  // records or places that could not be read
    std::size_t damagedChunks = 0;      // chunks (EVTX) whose header is damaged
    std::size_t repairedRecords = 0;    // records read with values cut short
    bool truncatedTail = false;         // the file ends before the log does
    std::string firstPlace;             // where the first damage lies, and what it is

    bool Any() const {
        return unreadableRecords != 0 || damagedChunks != 0 || repairedRecords != 0 ||
               truncatedTail;
    }
};

// --- Classic interface --------------------------------------------------------

using EventLogHandle = std::uint64_t;  // 0 = none

inline constexpr std::uint32_t EVENTLOG_SEQUENTIAL_READ = 0x1;
inline constexpr std::uint32_t EVENTLOG_SEEK_READ = 0x2;
inline constexpr std::uint32_t EVENTLOG_FORWARDS_READ = 0x4;
inline constexpr std::uint32_t EVENTLOG_BACKWARDS_READ = 0x8;

inline constexpr std::uint16_t EVENTLOG_AUDIT_SUCCESS = 0x8;
inline constexpr std::uint16_t EVENTLOG_AUDIT_FAILURE = 0x10;

// The fixed part of a record in the buffer that Read fills (EVENTLOGRECORD).
// The source name, the computer name, the SID, the strings and the data
// follow it; in the narrow interface the texts are narrow.
struct EVENTLOGRECORD {
    std::uint32_t Length;
    std::uint32_t Reserved;  // "LfLe"
    std::uint32_t RecordNumber;
    std::uint32_t TimeGenerated;  // seconds since 1970 UTC
    std::uint32_t TimeWritten;
    std::uint32_t EventID;
    std::uint16_t EventType;
    std::uint16_t NumStrings;
    std::uint16_t EventCategory;
    std::uint16_t ReservedFlags;
    std::uint32_t ClosingRecordNumber;
    std::uint32_t StringOffset;
    std::uint32_t UserSidLength;
    std::uint32_t UserSidOffset;
    std::uint32_t DataLength;
    std::uint32_t DataOffset;
};
static_assert(sizeof(EVENTLOGRECORD) == 56);

class IClassicEventLog {
  public:
    virtual ~IClassicEventLog() = default;
    // OpenEventLogA: 0 and a handle, or a Windows error code.
    [[nodiscard]] virtual std::int32_t Open(const std::string& source, EventLogHandle& handle) = 0;
    // OpenBackupEventLogA: the same for a log file named by its path.
    [[nodiscard]] virtual std::int32_t OpenBackup(const std::string& path,
                                                  EventLogHandle& handle) = 0;
    // The file a source's log is read from, for messages; empty when none.
    virtual std::string LogFile(const std::string& /*source*/) { return {}; }
    // ReadEventLogA: as many whole records as fit. 122 with `needed` set when
    // the next record does not fit (nothing is consumed); 38 at the end.
    [[nodiscard]] virtual std::int32_t Read(EventLogHandle handle, std::uint32_t flags,
                                            std::uint32_t offset, std::span<std::uint8_t> buffer,
                                            std::uint32_t& bytesRead, std::uint32_t& needed) = 0;
    virtual void Close(EventLogHandle handle) = 0;
    // The damage of an open log's file; false when the log has no file.
    virtual bool ReadDamage(EventLogHandle /*handle*/, LogReadDamage& damage) {
        damage = {};
        return false;
    }
    // How far the reads through `handle` have come: `position` bytes into a
    // log file of `size` bytes. False when that is not known.
    virtual bool ReadPosition(EventLogHandle, std::uint64_t& position, std::uint64_t& size) {
        position = size = 0;
        return false;
    }
};

// Reads every record forwards from the oldest, growing the buffer as needed;
// `each` gets the fixed part and the whole record. 0 at the end, else the error.
std::int32_t ForEachClassicRecord(
    IClassicEventLog& log, EventLogHandle handle,
    const std::function<void(const EVENTLOGRECORD&, std::span<const std::uint8_t>)>& each);

// --- Modern interface ---------------------------------------------------------

using EVT_HANDLE = std::uint64_t;  // 0 = null

inline constexpr std::uint32_t EvtQueryChannelPath = 0x1;
inline constexpr std::uint32_t EvtQueryFilePath = 0x2;
inline constexpr std::uint32_t EvtRenderContextValues = 0;
inline constexpr std::uint32_t EvtRenderEventValues = 0;
inline constexpr std::uint32_t EvtFormatMessageEvent = 1;
inline constexpr std::uint32_t kEvtInfinite = 0xFFFFFFFF;
inline constexpr std::int32_t kErrorEvtMessageNotFound = 15027;
inline constexpr std::int32_t kErrorEvtPublisherNotFound = 15002;
inline constexpr char kPublishersKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers";

// EVT_VARIANT types (the same numbers as the log's value types).
enum EVT_VARIANT_TYPE : std::uint32_t {
    EvtVarTypeNull = 0,
    EvtVarTypeString = 1,
    EvtVarTypeAnsiString = 2,
    EvtVarTypeSByte = 3,
    EvtVarTypeByte = 4,
    EvtVarTypeInt16 = 5,
    EvtVarTypeUInt16 = 6,
    EvtVarTypeInt32 = 7,
    EvtVarTypeUInt32 = 8,
    EvtVarTypeInt64 = 9,
    EvtVarTypeUInt64 = 10,
    EvtVarTypeSingle = 11,
    EvtVarTypeDouble = 12,
    EvtVarTypeBoolean = 13,
    EvtVarTypeBinary = 14,
    EvtVarTypeGuid = 15,
    EvtVarTypeSizeT = 16,
    EvtVarTypeFileTime = 17,
    EvtVarTypeSysTime = 18,
    EvtVarTypeSid = 19,
    EvtVarTypeHexInt32 = 20,
    EvtVarTypeHexInt64 = 21,
    EvtVarTypeEvtHandle = 32,
    EvtVarTypeEvtXml = 35,
    EVT_VARIANT_TYPE_ARRAY = 128,
};

// One rendered value. `number` holds integers, booleans, file times and hex
// values; `bytes`/`size` hold texts (UTF-16LE, or narrow for AnsiString), SIDs,
// GUIDs, binaries and arrays. The bytes stay valid until the event is closed.
struct EVT_VARIANT {
    std::uint32_t Type = EvtVarTypeNull;
    std::uint64_t number = 0;
    const std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;

    std::u16string Text() const;  // for EvtVarTypeString
};

// An EventData value with its name (empty for an unnamed Data item), for the
// message inserts.
struct EVT_DATA_ITEM {
    std::string name;
    std::string text;
};

// A message insert as the log holds it: the value's type and its bytes.
struct EVT_INSERT {
    std::uint32_t type = EvtVarTypeNull;
    std::span<const std::uint8_t> bytes;
};

class IModernEventLog {
  public:
    virtual ~IModernEventLog() = default;
    // Every call returns 0 or a Windows error code.
    [[nodiscard]] virtual std::int32_t Query(const std::string& path, const std::string& query,
                                             std::uint32_t flags, EVT_HANDLE& resultSet) = 0;
    // The file a channel's log is read from, for messages; empty when none.
    virtual std::string LogFile(const std::string& /*channel*/) { return {}; }
    // Up to events.size() events, in record-number order; 259 at the end.
    [[nodiscard]] virtual std::int32_t Next(EVT_HANDLE resultSet, std::span<EVT_HANDLE> events,
                                            std::uint32_t timeout, std::uint32_t& returned) = 0;
    virtual std::int32_t Close(EVT_HANDLE handle) = 0;
    [[nodiscard]] virtual std::int32_t CreateRenderContext(
        const std::vector<std::string>& valuePaths, std::uint32_t flags, EVT_HANDLE& context) = 0;
    // Renders the context's values into `buffer`; 122 with `valuesNeeded` when
    // the buffer holds fewer values than the context asks for.
    [[nodiscard]] virtual std::int32_t Render(EVT_HANDLE context, EVT_HANDLE event,
                                              std::uint32_t flags, std::span<EVT_VARIANT> buffer,
                                              std::uint32_t& valuesNeeded) = 0;
    // The EventData values of an event in log order (the message inserts).
    [[nodiscard]] virtual std::int32_t EventData(EVT_HANDLE event,
                                                 std::vector<EVT_DATA_ITEM>& items) = 0;
    // EvtOpenPublisherMetadata: the provider's message files as registered under
    // HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\WINEVT\Publishers\{GUID}
    // (the key whose default value is the provider's name).
    [[nodiscard]] virtual std::int32_t OpenPublisherMetadata(const std::string& publisher,
                                                             EVT_HANDLE& metadata) = 0;
    // EvtFormatMessage with EvtFormatMessageEvent: the event's message, its
    // inserts the EventData values, parameter references expanded. 15027 when
    // the provider has no message for the event.
    [[nodiscard]] virtual std::int32_t FormatMessage(EVT_HANDLE metadata, EVT_HANDLE event,
                                                     std::uint32_t messageId, std::uint32_t flags,
                                                     std::string& text) = 0;
    // The texts after `labels` in the event's message, as a search of
    // FormatMessage's text finds them (each label a tab and its words; the
    // rest of its line, blanks trimmed; empty when absent), made without the
    // whole text where the log can. Errors as FormatMessage's.
    [[nodiscard]] virtual std::int32_t FormatMessageFields(EVT_HANDLE metadata, EVT_HANDLE event,
                                                           std::span<const std::string_view> labels,
                                                           std::span<std::string> values) = 0;
    // What FormatMessageFields needs of an event, taken out of it: the ID of
    // its message and its inserts (the EventData values, an array giving one
    // insert per element), their bytes valid while the event is open.
    [[nodiscard]] virtual std::int32_t MessageInserts(EVT_HANDLE event, std::uint32_t& messageId,
                                                      std::vector<EVT_INSERT>& inserts) = 0;
    // FormatMessageFields for message `messageId` with these inserts, no event
    // needed (EvtFormatMessage's message-ID form takes values so). Threads
    // that each use a publisher handle of their own do not wait for each
    // other; a handle is not closed while a call uses it.
    [[nodiscard]] virtual std::int32_t FormatInsertFields(EVT_HANDLE metadata,
                                                          std::uint32_t messageId,
                                                          std::span<const EVT_INSERT> inserts,
                                                          std::span<const std::string_view> labels,
                                                          std::span<std::string> values) = 0;
    // The damage met so far by a query's reading of its file; false when
    // the query has no file.
    virtual bool ReadDamage(EVT_HANDLE /*resultSet*/, LogReadDamage& damage) {
        damage = {};
        return false;
    }
    // How far Next has come through `resultSet`: `position` bytes into a log
    // file of `size` bytes. False when that is not known.
    virtual bool ReadPosition(EVT_HANDLE, std::uint64_t& position, std::uint64_t& size) {
        position = size = 0;
        return false;
    }
};

}  // namespace vzrm::platform
