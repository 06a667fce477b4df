#include "audit/security_log_reader.h"

#include <cstring>
#include <limits>
#include <tuple>

#include "base/wide_text.h"

#include "audit/event_fields.h"
#include "audit/object_path.h"
#include "audit/run_flags.h"
#include "base/error_info.h"
#include "base/error_texts.h"
#include "formats/message_fields.h"
#include "platform/error_codes.h"
#include "platform/services.h"

namespace vzrm {

const std::vector<std::string> kRenderPaths = {"Event/System/Provider/@Name",
                                               "Event/System/Channel",
                                               "Event/System/TimeCreated/@SystemTime",
                                               "Event/System/EventID",
                                               "Event/System/EventRecordID",
                                               "Event/System/Computer",
                                               "Event/System/Security/@UserID",
                                               "Event/System/Level",
                                               "Event/System/Task",
                                               "Event/System/Keywords",
                                               "Event/EventData/Data"};

using namespace platform;

namespace {

constexpr std::uint32_t kBufferSize = 4096;
constexpr std::uint32_t kBatch = 100;
constexpr std::uint16_t kTaskFileSystem = 12800;
constexpr std::uint16_t kCategoryObjectAccess = 3;
// The reading thread finds an event's fields itself while this many batches
// wait for the sink's thread, which finds them otherwise: the two threads
// share that work as their pace allows. (2 and 3 were slower.)
constexpr std::size_t kFieldsOnReaderBacklog = 1;

// A narrow text at `at` in a classic record; `at` moves past its zero.
std::string_view RecordText(std::span<const std::uint8_t> record, std::size_t& at) {
    if (at >= record.size()) {
        ++at;
        return {};
    }
    const auto* begin = reinterpret_cast<const char*>(record.data() + at);
    const std::size_t left = record.size() - at;
    const auto* zero = static_cast<const char*>(std::memchr(begin, 0, left));
    const std::size_t length = zero == nullptr ? left : static_cast<std::size_t>(zero - begin);
    at += length + 1;
    return {begin, length};
}

// The user of a record: the SID's account when the SID maps to one; else
// (no SID, or one this machine cannot map, as in a log exported from another
// machine) the account the event's text names (`named`). "N/M" stays only
// when the text names none. ("/" is not allowed in an account name.)
void TakeUserFromMessage(AUDIT_RECORD& r, std::string_view named) {
    if ((r.user.empty() || r.user == "N/M") && !named.empty()) {
        r.user = named;
    }
    if (r.user.empty()) {
        r.user = "N/A";
    }
}

// One read of the classic log into `buffer`; a record that does not fit
// comes next, in `large` grown to its size.
std::int32_t ReadClassicBatch(EventLogHandle handle, std::vector<std::uint8_t>& small,
                              std::vector<std::uint8_t>& large, std::span<std::uint8_t>& buffer,
                              std::uint32_t& read) {
    const std::uint32_t forwards = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
    buffer = small;
    read = 0;
    std::uint32_t needed = 0;
    std::int32_t error = ClassicEventLog().Read(handle, forwards, 0, buffer, read, needed);
    if (error == kErrorInsufficientBuffer) {
        // The record that did not fit comes next, in a buffer of its size (forwards).
        large.assign(needed, 0);
        buffer = large;
        error = ClassicEventLog().Read(handle, forwards, 0, buffer, read, needed);
    }
    return error;
}

// The texts a classic record carries for its message inserts, into `strings`,
// whose texts keep their buffers from one record to the next.
void ClassicInserts(std::span<const std::uint8_t> record, const EVENTLOGRECORD& head,
                    std::vector<std::string>& strings) {
    std::size_t count = 0;
    std::size_t at = head.StringOffset;
    for (std::uint16_t i = 0; i < head.NumStrings && at < record.size(); ++i) {
        if (count == strings.size()) {
            strings.emplace_back();
        }
        strings[count++].assign(RecordText(record, at));
    }
    strings.resize(count);
}

std::string TextValue(const EVT_VARIANT& value) {
    return value.Type == EvtVarTypeString ? WideToNarrow(value.Text()) : "";
}

std::uint64_t UInt64Value(const EVT_VARIANT& value) {
    return value.Type == EvtVarTypeUInt64 ? value.number : 0;
}

// Only successful file-system events can become records: no need to render
// the others' messages.
bool IsFileSystemSuccess(const std::vector<EVT_VARIANT>& values) {
    const std::uint16_t task =
        values[8].Type == EvtVarTypeUInt16 ? static_cast<std::uint16_t>(values[8].number) : 0;
    const bool success =
        values[9].Type != EvtVarTypeHexInt64 ||
        (values[9].number >> 32 == 0x80200000u && (values[9].number & 0xFFFFFFFFu) == 0);
    return task == kTaskFileSystem && success;
}

// The values of one event; `values` grows when the event needs more.
std::int32_t RenderValues(IModernEventLog& log, EVT_HANDLE context, EVT_HANDLE event,
                          std::vector<EVT_VARIANT>& values) {
    std::uint32_t needed = 0;
    std::int32_t rendered = log.Render(context, event, EvtRenderEventValues, values, needed);
    if (rendered == kErrorInsufficientBuffer) {
        values.resize(needed);
        rendered = log.Render(context, event, EvtRenderEventValues, values, needed);
    }
    return rendered;
}

// A query over the channel, or over the archived file when there is one, and
// the context that renders the values the reader takes; false (the error
// set, nothing left open) when either cannot be had.
bool OpenModernQuery(IModernEventLog& log, const std::string& channel, const std::string& archive,
                     EVT_HANDLE& query, EVT_HANDLE& context) {
    const bool file = !archive.empty();
    if (const std::int32_t error = log.Query(
            file ? archive : channel, "*", file ? EvtQueryFilePath : EvtQueryChannelPath, query)) {
        const std::string name = file ? archive : log.LogFile(channel);
        g_errorInfo.SetError("ZKCPUYDFHQIFSTU", error, std::string(),
                             name.empty() ? std::string() : StrgLine(name));
        return false;
    }
    if (const std::int32_t error =
            log.CreateRenderContext(kRenderPaths, EvtRenderContextValues, context)) {
        g_errorInfo.SetError("PUPGTCRPZQWRGCP", error);
        log.Close(query);
        return false;
    }
    return true;
}

// The metadata of a publisher; 0 when it cannot be had. Each publisher is
// opened once per read.
EVT_HANDLE PublisherMetadata(IModernEventLog& log, CEvtHandleCache& publishers,
                             const std::string& publisher) {
    std::optional<EVT_HANDLE_WITH_ERROR> metadata = publishers.Lookup(publisher);
    if (!metadata) {
        EVT_HANDLE_WITH_ERROR opened;
        opened.error = log.OpenPublisherMetadata(publisher, opened.handle);
        publishers.Add(publisher, opened);
        metadata = opened;
    }
    return metadata->handle;
}

// PublisherMetadata for the sink's thread. Opening one into a full cache
// closes the oldest, so the events handed on are seen to first: none of them
// may still need the handle that goes. 0 once the pipeline has failed: the
// read stops at the end of the batch, and its own Finish reports the failure.
EVT_HANDLE SinkPublisherMetadata(IModernEventLog& log, CEvtHandleCache& publishers,
                                 const std::string& publisher, CRecordPipeline& pipeline) {
    if (const std::optional<EVT_HANDLE_WITH_ERROR> known = publishers.Lookup(publisher)) {
        return known->handle;
    }
    if (publishers.Full()) {
        try {
            pipeline.Finish();
        } catch (...) {
            return 0;
        }
    }
    return PublisherMetadata(log, publishers, publisher);
}

// The fields of the event's text from its publisher's messages, into
// `pending`; empty when the publisher or its message cannot be had.
void ModernEventFields(IModernEventLog& log, EVT_HANDLE metadata, EVT_HANDLE event,
                       PendingRecord& pending) {
    pending.hasFields = true;
    if (metadata == 0 || log.FormatMessageFields(metadata, event, EventFieldLabels(false),
                                                 pending.fields) != kErrorSuccess) {
        for (std::string& field : pending.fields) {
            field.clear();
        }
    }
}

// The fields of the event are left to the sink's thread: its message's ID
// and inserts go with `pending`, their bytes copied, so the event can close.
void TakeMessageInserts(IModernEventLog& log, EVT_HANDLE sinkMetadata, EVT_HANDLE event,
                        PendingRecord& pending) {
    PendingMessage& message = pending.inserts;
    if (log.MessageInserts(event, message.messageId, message.inserts) != kErrorSuccess) {
        ModernEventFields(log, 0, event, pending);  // as a failed search leaves them
        return;
    }
    pending.hasFields = false;
    message.log = &log;
    message.metadata = sinkMetadata;
    message.bytes.clear();
    for (const EVT_INSERT& insert : message.inserts) {
        message.bytes.insert(message.bytes.end(), insert.bytes.begin(), insert.bytes.end());
    }
    std::size_t at = 0;
    for (EVT_INSERT& insert : message.inserts) {
        const std::size_t size = insert.bytes.size();
        if (insert.bytes.data() != nullptr) {
            insert.bytes = {message.bytes.data() + at, size};
        }
        at += size;
    }
}

// On the sink's thread: the fields of a message TakeMessageInserts took.
void FindInsertFields(PendingRecord& pending) {
    const PendingMessage& message = pending.inserts;
    if (message.log->FormatInsertFields(message.metadata, message.messageId, message.inserts,
                                        EventFieldLabels(false), pending.fields) != kErrorSuccess) {
        for (std::string& field : pending.fields) {
            field.clear();
        }
    }
}

// The text of a string value, made again only when the value's bytes change:
// most events of a log have one publisher and one computer.
class CRepeatedText {
  public:
    // True when the text is not the last one's.
    bool Take(const EVT_VARIANT& value) {
        const bool text = value.Type == EvtVarTypeString && value.bytes != nullptr;
        const std::string_view raw =
            text ? std::string_view(reinterpret_cast<const char*>(value.bytes), value.size)
                 : std::string_view();
        if (known_ && raw == raw_) {
            return false;
        }
        raw_.assign(raw);
        text_ = TextValue(value);
        known_ = true;
        return true;
    }
    const std::string& Text() const { return text_; }

  private:
    bool known_ = false;
    std::string raw_;
    std::string text_;
};

}  // namespace

struct CSecurityLogReader::ModernReadCache {
    CEvtHandleCache publishers;
    CEvtHandleCache sinkPublishers;  // the same, for the sink's thread
    CRepeatedText publisher;
    EVT_HANDLE metadata = 0;  // the publisher's
    EVT_HANDLE sinkMetadata = 0;
    CRepeatedText computer;
};

void CEvtHandleCache::ReleaseValue(EVT_HANDLE_WITH_ERROR& value) {
    if (value.handle != 0) {
        ModernEventLog().Close(value.handle);
    }
}

CSecurityLogReader::CSecurityLogReader(const std::atomic<bool>* stopEvent, std::string extension)
    : stopEvent_(stopEvent), extension_(std::move(extension)), interpreter_(extension_) {}

bool CSecurityLogReader::SystemIsSupported() const {
    const SYSTEM_VERSION version = QuerySystemVersion();
    return version.platformId == 2 && version.major > 4;
}

bool CSecurityLogReader::OpenReader() {
    if (!SystemIsSupported()) {
        g_errorInfo.SetError("OAPRJWSTQTESJPL", kErrorCallNotImplemented);
        return false;
    }
    ready_ = QuerySystemVersion().major == 5 ? true : LoadModernEventApi();
    return ready_;
}

bool CSecurityLogReader::LoadModernEventApi() {
    // The modern interface is part of the platform layer here: always present.
    return true;
}

bool CSecurityLogReader::IsReaderStopped() const {
    return (stopEvent_ != nullptr && stopEvent_->load()) || g_bStopRequested.load();
}

void CSecurityLogReader::NoteEventTime(std::int64_t time) {
    if (!fileNewest_ || time > *fileNewest_) {
        fileNewest_ = time;
    }
    if ((!hasStart_ || time > start_) && (!hasEnd_ || time <= end_)) {
        latest_ = time;
    }
}

CRecordPipeline::Sink CSecurityLogReader::OfferTo() {
    return [this](PendingRecord& pending) { Offer(pending); };
}

void CSecurityLogReader::Offer(PendingRecord& pending) {
    auto& fields = pending.fields;
    if (!pending.hasFields && pending.classic) {
        formats::FindMessageFields(pending.message, EventFieldLabels(true), fields);
    } else if (!pending.hasFields) {
        FindInsertFields(pending);
    }
    AUDIT_RECORD& record = pending.record;
    TakeUserFromMessage(record, fields[kFieldAccountName]);
    record.handleId = ParseEventNumber(fields[kFieldHandleId]);
    record.processId = ParseEventNumber(fields[kFieldProcessId]);
    record.action = ClassifyAuditAccess(fields[kFieldAccessMask], record.eventId, pending.classic);
    // Taken, not copied: the fields are found anew for the next event in this place.
    record.objectName.swap(fields[kFieldObjectName]);
    record.processName.swap(fields[kFieldProcessName]);
    interpreter_.AddRecord(record);
}

template <typename Log, typename Handle>
void CSecurityLogReader::ReportProgress(Log& log, Handle handle) {
    ReadProgress progress;
    if (progress_ && !probe_ && log.ReadPosition(handle, progress.position, progress.size)) {
        progress.events = eventsRead_;
        progress_(progress);
    }
}

int CSecurityLogReader::ReadLog(const std::string& log, const std::string& archive) {
    fileNewest_.reset();
    try {
        return QuerySystemVersion().major > 5 ? ReadModernLog(log, archive)
                                              : ReadClassicLog(log, archive);
    } catch (const std::exception&) {
        return 0;
    }
}

int CSecurityLogReader::ReadPeriod(const CLocalDateTime& start, const CLocalDateTime& end) {
    hasStart_ = hasEnd_ = false;
    for (const auto& [bound, value, flag] :
         {std::tuple{&start, &start_, &hasStart_}, std::tuple{&end, &end_, &hasEnd_}}) {
        if (bound->IsValid()) {
            // An ambiguous start takes its earlier instant: rows may repeat, none are lost.
            const bool converted = bound == &start ? LocalDateTimeToEarliestInstant(*bound, *value)
                                                   : LocalDateTimeToInstant(*bound, *value);
            if (!converted) {
                g_errorInfo.SetError("PERIODBOUNDSBAD", kErrorInvalidParameter);
                return -1;
            }
            *flag = true;
        }
    }
    interpreter_ = CEventInterpreter(extension_);
    accounts_ = {};
    latest_ = 0;
    cutEnd_.reset();
    cutFile_.clear();
    damage_ = {};
    eventsRead_ = 0;
    if (!SystemIsSupported()) {
        g_errorInfo.SetError("GLCJJTTZXCJLLVJ", kErrorCallNotImplemented);
        return -1;
    }
    int result = ReadLogs() == 0 ? -1 : 1;
    if (cutEnd_ && hasEnd_ && *cutEnd_ >= end_) {
        cutEnd_.reset();  // the cut lies after the period: nothing of it is missed
    } else if (cutEnd_) {
        end_ = *cutEnd_;
        hasEnd_ = true;
    }
    if (IsReaderStopped()) {
        result = 0;
    } else if (result == 1) {
        interpreter_.ClearHandleMaps();
        interpreter_.PairRecords([this] { return IsReaderStopped(); });
        interpreter_.FilterPeriod(hasStart_ ? std::optional(start_) : std::nullopt,
                                  hasEnd_ ? std::optional(end_) : std::nullopt);
        if (IsReaderStopped()) {
            result = 0;
        }
    }
    interpreter_.ClearHandleMaps();
    return result == 1 && g_errorInfo.HasError() ? -1 : result;
}

// Archives and the live log are read in one run: their damage adds up, and
// the warning names the first damaged file and its first damaged place.
void CSecurityLogReader::AddDamage(const platform::LogReadDamage& file) {
    if (!file.Any()) {
        return;
    }
    if (file.truncatedTail) {
        NoteCut(file.path);
    }
    if (!damage_.Any()) {
        damage_.path = file.path;
        damage_.firstPlace = file.firstPlace;
    }
    damage_.unreadableRecords += file.unreadableRecords;
    damage_.damagedChunks += file.damagedChunks;
    damage_.repairedRecords += file.repairedRecords;
    damage_.truncatedTail = damage_.truncatedTail || file.truncatedTail;
}

// The events after the cut are later than those before it: the period ends
// before the second of the newest one read, so that the next run reports
// that whole second and what follows, and no event of the cut is lost.
void CSecurityLogReader::NoteCut(const std::string& path) {
    std::int64_t end = fileNewest_ ? *fileNewest_ - 1 : std::numeric_limits<std::int64_t>::min();
    if (hasStart_ && end < start_) {
        end = start_;
    }
    if (!cutEnd_ || end < *cutEnd_) {
        cutEnd_ = end;
        cutFile_ = path;
    }
}

int CSecurityLogReader::ReadClassicLog(const std::string& log, const std::string& archive) {
    EventLogHandle handle = 0;
    if (const std::int32_t error = archive.empty()
                                       ? ClassicEventLog().Open(log, handle)
                                       : ClassicEventLog().OpenBackup(archive, handle)) {
        const std::string name = archive.empty() ? ClassicEventLog().LogFile(log) : archive;
        g_errorInfo.SetError("VVAQJEHHTSGVOUK", error, std::string(),
                             name.empty() ? std::string() : StrgLine(name));
        return 0;
    }
    CModuleHandleCache modules;
    CEventSourceCache sources(log);
    CRecordPipeline pipeline(OfferTo());
    int result = 1;
    std::vector<std::uint8_t> small(kBufferSize);
    std::vector<std::uint8_t> large;
    bool done = false;
    while (!done && !IsReaderStopped() && !pipeline.Failed()) {
        std::span<std::uint8_t> buffer;
        std::uint32_t read = 0;
        const std::int32_t error = ReadClassicBatch(handle, small, large, buffer, read);
        if (error == kErrorHandleEof) {
            break;
        }
        if (error != kErrorSuccess) {
            // A log file that changed under the read names itself.
            platform::LogReadDamage file;
            ClassicEventLog().ReadDamage(handle, file);
            g_errorInfo.SetError("SSJRLJZMYBKSMJR", error, std::string(),
                                 file.path.empty() ? std::string() : StrgLine(file.path));
            result = 0;
            break;
        }
        for (std::uint32_t at = 0; at + sizeof(EVENTLOGRECORD) <= read && !IsReaderStopped();) {
            EVENTLOGRECORD head;
            std::memcpy(&head, buffer.data() + at, sizeof head);
            if (head.Length < sizeof head || head.Length > read - at) {
                break;
            }
            const std::span<const std::uint8_t> record(buffer.data() + at, head.Length);
            at += head.Length;
            ++eventsRead_;
            if (probe_) {
                probeTime_ = head.TimeGenerated;
                done = true;
                break;
            }
            ReadClassicRecord(head, record, modules, sources, pipeline);
        }
        ReportProgress(ClassicEventLog(), handle);
    }
    platform::LogReadDamage damage;
    if (ClassicEventLog().ReadDamage(handle, damage)) {
        AddDamage(damage);
    }
    ClassicEventLog().Close(handle);
    pipeline.Finish();
    return result;
}

void CSecurityLogReader::ReadClassicRecord(const EVENTLOGRECORD& head,
                                           std::span<const std::uint8_t> record,
                                           CModuleHandleCache& modules, CEventSourceCache& sources,
                                           CRecordPipeline& pipeline) {
    if (readArchives_) {
        std::size_t names = sizeof head;
        RecordText(record, names);  // the source
        if (!FirstSight(std::string(RecordText(record, names)), head.RecordNumber)) {
            return;
        }
    }
    NoteEventTime(head.TimeGenerated);
    if (head.EventType != EVENTLOG_AUDIT_SUCCESS || head.EventCategory != kCategoryObjectAccess) {
        return;  // only these can become records: no need to render the others
    }
    std::size_t text = sizeof head;
    const std::string source(RecordText(record, text));
    AUDIT_RECORD r;
    r.computer = RecordText(record, text);
    if (head.UserSidLength != 0 && head.UserSidOffset + head.UserSidLength <= record.size()) {
        r.user =
            accounts_.NameOf(record.subspan(head.UserSidOffset, head.UserSidLength), r.computer);
    }
    PendingRecord& pending = pipeline.Place();
    ClassicInserts(record, head, classicInserts_);
    pending.message =
        RenderClassicMessage(sources.FilesOf(source), head.EventID, classicInserts_, modules);
    r.eventId = head.EventID;
    r.recordNumber = head.RecordNumber;
    r.time = head.TimeGenerated;
    pending.record = std::move(r);
    pending.hasFields = false;
    pending.classic = true;
    pipeline.Add();
}

int CSecurityLogReader::ReadModernLog(const std::string& channel, const std::string& archive) {
    if (!ready_) {
        return 0;
    }
    IModernEventLog& log = ModernEventLog();
    EVT_HANDLE query = 0;
    EVT_HANDLE context = 0;
    if (!OpenModernQuery(log, channel, archive, query, context)) {
        return 0;
    }
    ModernReadCache cache;
    CRecordPipeline pipeline(OfferTo());
    int result = 1;
    bool goOn = true;
    // One buffer of 4096 values for every event; only an event that needs
    // more makes it grow.
    std::vector<EVT_VARIANT> values(kBufferSize);
    EVT_HANDLE events[kBatch];
    while (goOn && !IsReaderStopped() && !pipeline.Failed()) {
        std::uint32_t returned = 0;
        const std::int32_t error = log.Next(query, events, kEvtInfinite, returned);
        if (error == kErrorNoMoreItems) {
            break;
        }
        if (error != kErrorSuccess) {
            // A log file that changed under the read names itself.
            LogReadDamage file;
            log.ReadDamage(query, file);
            g_errorInfo.SetError("CBIJHXFGPBDLIBV", error, std::string(),
                                 file.path.empty() ? std::string() : StrgLine(file.path));
            result = 0;
            break;
        }
        for (std::uint32_t i = 0; i < returned && goOn; ++i) {
            if (IsReaderStopped()) {
                break;
            }
            const EventStep step =
                ReadModernEvent(log, context, events[i], values, cache, pipeline);
            if (step == EventStep::kFail) {
                result = 0;
            }
            goOn = step == EventStep::kNext;
        }
        for (std::uint32_t i = 0; i < returned; ++i) {
            log.Close(events[i]);
        }
        eventsRead_ += returned;
        ReportProgress(log, query);
    }
    platform::LogReadDamage damage;
    if (log.ReadDamage(query, damage)) {
        AddDamage(damage);
    }
    log.Close(context);
    log.Close(query);
    pipeline.Finish();
    return result;
}

CSecurityLogReader::EventStep CSecurityLogReader::ReadModernEvent(
    IModernEventLog& log, EVT_HANDLE context, EVT_HANDLE event, std::vector<EVT_VARIANT>& values,
    ModernReadCache& cache, CRecordPipeline& pipeline) {
    if (RenderValues(log, context, event, values) != kErrorSuccess) {
        return EventStep::kStop;
    }
    std::int64_t time = 0;
    if (values[2].Type == EvtVarTypeFileTime && !FileTimeToInstant(values[2].number, time)) {
        return EventStep::kFail;
    }
    if (probe_) {
        probeTime_ = time;
        return EventStep::kStop;
    }
    cache.computer.Take(values[5]);
    if (readArchives_ && !FirstSight(cache.computer.Text(), UInt64Value(values[4]))) {
        return EventStep::kNext;
    }
    NoteEventTime(time);
    if (!IsFileSystemSuccess(values)) {
        return EventStep::kNext;
    }
    // Before the event takes its place: opening a publisher may hand on the events before it.
    if (cache.publisher.Take(values[0])) {
        cache.metadata = PublisherMetadata(log, cache.publishers, cache.publisher.Text());
        cache.sinkMetadata =
            cache.metadata != 0 && pipeline.Threaded()
                ? SinkPublisherMetadata(log, cache.sinkPublishers, cache.publisher.Text(), pipeline)
                : 0;
    }
    // The place's record is filled in place: its texts keep their buffers.
    PendingRecord& pending = pipeline.Place();
    AUDIT_RECORD& r = pending.record;
    r = AUDIT_RECORD{.user = std::move(r.user),
                     .computer = std::move(r.computer),
                     .objectName = std::move(r.objectName),
                     .processName = std::move(r.processName)};
    r.computer = cache.computer.Text();
    r.user.clear();
    if (values[6].Type == EvtVarTypeSid) {
        r.user = accounts_.NameOf({values[6].bytes, values[6].size}, r.computer);
    }
    if (cache.sinkMetadata == 0 || pipeline.Waiting() >= kFieldsOnReaderBacklog) {
        ModernEventFields(log, cache.metadata, event, pending);
    } else {
        TakeMessageInserts(log, cache.sinkMetadata, event, pending);
    }
    r.eventId =
        values[3].Type == EvtVarTypeUInt16 ? static_cast<std::uint32_t>(values[3].number) : 0;
    r.recordNumber = UInt64Value(values[4]);
    r.time = time;
    pending.classic = false;
    pipeline.Add();
    return EventStep::kNext;
}

}  // namespace vzrm
