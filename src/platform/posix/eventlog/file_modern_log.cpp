#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/eventlog/event_message.h"
#include "platform/posix/eventlog/log_file_bytes.h"
#include "platform/posix/eventlog/modern_log_objects.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "base/case_fold.h"
#include "formats/binxml_value_text.h"
#include "formats/byte_reader.h"
#include "formats/evtx_reader.h"
#include "formats/format_message.h"
#include "platform/calendar.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/log_location.h"
#include "platform/services.h"

namespace vzrm::platform::posix {

using namespace formats;

namespace {

struct ResultSet final : FileModernEventLog::Object {
    static constexpr Kind kKind = Kind::resultSet;
    explicit ResultSet(std::shared_ptr<const EvtxFile> f)
        : Object(kKind), file(f), reader(std::move(f)) {}
    std::shared_ptr<const EvtxFile> file;
    EvtxReader reader;
};

struct RenderContext final : FileModernEventLog::Object {
    static constexpr Kind kKind = Kind::renderContext;
    RenderContext() : Object(kKind), id(NextId()) {}
    static std::uint64_t NextId() {
        static std::atomic<std::uint64_t> next{1};
        return next++;
    }

    const std::uint64_t id;  // names this list of paths in the templates' caches
    std::vector<std::string> paths;
    std::vector<std::uint32_t> systemTypes;  // per path, for forwarded texts
};

// A text value of an opened key ("" for the default value); empty when absent.
std::string TextValue(HKEY key, const std::string& name) {
    // Room for most texts, so that one read of the store gives them: a
    // publisher's search reads a thousand.
    std::string text(256, '\0');
    std::uint32_t type = 0;
    auto size = static_cast<std::uint32_t>(text.size());
    const auto query = [&] {
        return Registry().QueryValue(key, name, &type, reinterpret_cast<std::uint8_t*>(text.data()),
                                     size);
    };
    std::int32_t error = query();
    if (error == kErrorMoreData) {
        text.resize(size);
        error = query();
    }
    if (error != kErrorSuccess || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    text.resize(std::min({std::size_t{size}, text.size(), text.find('\0')}));
    return text;
}

// As many closed events as a read asks for at once are kept for reuse.
constexpr std::size_t kSpareEvents = 256;

// EventData items as Windows lists them: an array value gives one item per
// element (each one message insert).
void AppendDataItems(const BxDocument& document, std::vector<EVT_DATA_ITEM>& items) {
    for (const auto& [name, value] : document.EventData()) {
        for (const BxValue& element : ArrayElements(value)) {
            items.push_back({name, BxValueText(element)});
        }
    }
}

// System values that forwarded events carry as text, and the type Windows
// gives them in events written by their provider.
std::uint32_t SystemValueType(const std::string& path) {
    static const std::pair<const char*, std::uint32_t> kTypes[] = {
        {"Event/System/EventID", EvtVarTypeUInt16},
        {"Event/System/Version", EvtVarTypeByte},
        {"Event/System/Level", EvtVarTypeByte},
        {"Event/System/Task", EvtVarTypeUInt16},
        {"Event/System/Opcode", EvtVarTypeByte},
        {"Event/System/Keywords", EvtVarTypeHexInt64},
        {"Event/System/TimeCreated/@SystemTime", EvtVarTypeFileTime},
        {"Event/System/EventRecordID", EvtVarTypeUInt64},
        {"Event/System/Execution/@ProcessID", EvtVarTypeUInt32},
        {"Event/System/Execution/@ThreadID", EvtVarTypeUInt32},
        {"Event/System/Security/@UserID", EvtVarTypeSid},
    };
    for (const auto& [known, type] : kTypes) {
        if (path == known) {
            return type;
        }
    }
    return EvtVarTypeNull;
}

// "2022-01-26T09:16:25.3232236Z" as a file time; false when it is not one.
bool ParseIsoTime(const std::string& text, std::uint64_t& fileTime) {
    int y, mo, d, h, mi, s;
    char rest[32] = {};
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%31s", &y, &mo, &d, &h, &mi, &s, rest) <
        6) {
        return false;
    }
    std::uint64_t fraction = 0;
    if (rest[0] == '.') {
        int digits = 0;
        for (const char* p = rest + 1; *p >= '0' && *p <= '9'; ++p) {
            if (digits++ < 7) {
                fraction = fraction * 10 + static_cast<std::uint64_t>(*p - '0');
            }
        }
        for (; digits < 7; ++digits) {
            fraction *= 10;
        }
    }
    const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    const std::int64_t instant = days * 86400 + h * 3600 + mi * 60 + s;
    fileTime = static_cast<std::uint64_t>(FileTimeFromInstant(instant)) + fraction;
    return true;
}

EVT_VARIANT VariantOf(const BxValue& value) {
    EVT_VARIANT v;
    v.Type = value.type;
    if (value.type == kBxString) {
        std::uint32_t size = value.size & ~1u;
        while (size >= 2 && value.data[size - 2] == 0 && value.data[size - 1] == 0) {
            size -= 2;  // the log's terminating zeros are not part of the text
        }
        v.bytes = value.data;
        v.size = size;
    } else if (const auto number = BxValueNumber(value)) {
        v.number = *number;
    } else if (value.type == kBxReal64 && value.size >= 8) {
        std::memcpy(&v.number, value.data, 8);
    } else {
        v.bytes = value.data;
        v.size = value.size;
    }
    if (value.type == kBxBool) {
        v.number = value.size >= 4 && LoadLe<std::uint32_t>(value.data) != 0;
    }
    return v;
}

// A forwarded event's text in the type the path has in a provider's own event.
void Retype(EVT_VARIANT& v, std::uint32_t type, Event& owner) {
    if (v.Type != EvtVarTypeString || type == EvtVarTypeNull) {
        return;
    }
    const std::string text = BxValueText({kBxString, v.bytes, v.size});
    if (type == EvtVarTypeFileTime) {
        std::uint64_t fileTime = 0;
        if (ParseIsoTime(text, fileTime)) {
            v = {EvtVarTypeFileTime, fileTime, nullptr, 0};
        }
    } else if (type == EvtVarTypeSid) {
        std::vector<std::uint8_t> sid;
        if (SidFromText(text, sid)) {
            owner.owned.push_back(std::move(sid));
            v = {EvtVarTypeSid, 0, owner.owned.back().data(),
                 static_cast<std::uint32_t>(owner.owned.back().size())};
        }
    } else if (!text.empty()) {
        char* end = nullptr;
        const std::uint64_t number = std::strtoull(text.c_str(), &end, 0);
        if (end != nullptr && *end == '\0') {
            v = {type, number, nullptr, 0};
        }
    }
}

}  // namespace

FileModernEventLog::FileModernEventLog() : publishers_(true) {}
FileModernEventLog::~FileModernEventLog() = default;

// Under lock_, without the tables' own locks: a table grows only under lock_
// as well, and a slot changes only when its handle is closed, which no call
// may do while another uses that handle.
template <typename T>
T* FileModernEventLog::Find(EVT_HANDLE handle) {
    return As<T>(HandleTable<Object>::Marked(handle) ? publishers_.Find(handle)
                                                     : objects_.Find(handle));
}

EVT_HANDLE FileModernEventLog::Add(std::unique_ptr<Object> object) {
    const std::lock_guard guard(tableLock_);
    return objects_.Add(std::move(object));
}

std::int32_t FileModernEventLog::Query(const std::string& path, const std::string& query,
                                       std::uint32_t flags, EVT_HANDLE& resultSet) {
    resultSet = 0;
    if (!query.empty() && query != "*") {
        return kErrorInvalidParameter;  // only the whole log is ever asked for
    }
    const std::string file = flags & EvtQueryFilePath ? path : LogFilePath(path);
    if (file.empty()) {
        return kErrorFileNotFound;
    }
    auto log = std::make_shared<EvtxFile>();
    if (const std::int32_t error = OpenEvtxFile(*log, file)) {
        return error;
    }
    const std::lock_guard guard(lock_);
    resultSet = Add(std::make_unique<ResultSet>(std::move(log)));
    return kErrorSuccess;
}

std::int32_t FileModernEventLog::Next(EVT_HANDLE resultSet, std::span<EVT_HANDLE> events,
                                      std::uint32_t /*timeout*/, std::uint32_t& returned) {
    returned = 0;
    const std::lock_guard guard(lock_);
    auto* set = Find<ResultSet>(resultSet);
    if (set == nullptr) {
        return kErrorInvalidHandle;
    }
    // The table's lock is taken twice per call, not per event: closed events
    // to fill first, then the filled ones in.
    std::vector<std::unique_ptr<Object>>& parsed = nextEvents_;
    parsed.clear();
    {
        const std::lock_guard tableGuard(tableLock_);
        while (parsed.size() < events.size() && !spareEvents_.empty()) {
            parsed.push_back(std::move(spareEvents_.back()));
            spareEvents_.pop_back();
        }
    }
    std::size_t count = 0;
    // Into the events closed before: their values' buffers are reused.
    for (; count < events.size(); ++count) {
        if (count == parsed.size()) {
            parsed.push_back(std::make_unique<Event>());
        }
        if (!set->reader.Next(static_cast<Event&>(*parsed[count]).event)) {
            break;
        }
    }
    {
        const std::lock_guard tableGuard(tableLock_);
        for (std::size_t i = 0; i < parsed.size(); ++i) {
            if (i < count) {
                events[i] = objects_.Add(std::move(parsed[i]));
            } else {
                spareEvents_.push_back(std::move(parsed[i]));
            }
        }
    }
    parsed.clear();
    returned = static_cast<std::uint32_t>(count);
    if (returned == 0 && set->reader.Error() != 0) {
        return set->reader.Error();  // the events before it were returned first
    }
    return returned == 0 ? kErrorNoMoreItems : kErrorSuccess;
}

bool FileModernEventLog::ReadDamage(EVT_HANDLE resultSet, LogReadDamage& damage) {
    damage = {};
    const std::lock_guard guard(lock_);
    auto* set = Find<ResultSet>(resultSet);
    if (set == nullptr) {
        return false;
    }
    damage.path = set->file->Path();
    damage.unreadableRecords = set->reader.DamagedPlaces() + set->reader.SkippedRecords();
    damage.damagedChunks = set->file->DamagedBlocks();
    for (const EvtxChunk& chunk : set->file->Chunks()) {
        damage.damagedChunks += chunk.headerChecksumOk ? 0 : 1;
    }
    damage.repairedRecords = set->reader.RepairedRecords();
    damage.truncatedTail = set->file->TruncatedTail();
    // The first in the file of the places met by the read and by the file's index.
    const DamagePlace* first = nullptr;
    for (const DamagePlaces* places : {&set->reader.Places(), &set->file->IndexDamage()}) {
        for (const DamagePlace& place : places->Kept()) {
            first = first == nullptr || place.offset < first->offset ? &place : first;
        }
    }
    if (first != nullptr) {
        damage.firstPlace = DamagePlaceText(*first);
    }
    return true;
}

bool FileModernEventLog::ReadPosition(EVT_HANDLE resultSet, std::uint64_t& position,
                                      std::uint64_t& size) {
    const std::lock_guard guard(lock_);
    const auto* set = Find<ResultSet>(resultSet);
    position = set == nullptr ? 0 : set->reader.Position();
    size = set == nullptr ? 0 : set->reader.FileSize();
    return set != nullptr;
}

std::int32_t FileModernEventLog::Close(EVT_HANDLE handle) {
    // Only the table's lock, and only for the table: closing an event is as
    // frequent as reading one. What else the object holds is nobody's once
    // its handle is gone.
    if (HandleTable<Object>::Marked(handle)) {
        std::unique_ptr<Object> publisher;
        {
            const std::lock_guard publishersGuard(publishersLock_);
            publisher = publishers_.Remove(handle);
        }
        return publisher ? kErrorSuccess : kErrorInvalidHandle;
    }
    std::unique_ptr<Object> object;
    {
        const std::lock_guard tableGuard(tableLock_);
        object = objects_.Remove(handle);
        // An event is emptied under the lock too (its last event frees a
        // chunk): taking the lock once costs less, and reading is the only
        // other user of this lock.
        if (auto* event = As<Event>(object.get())) {
            event->event.chunk.reset();
            event->event.document.Clear();
            event->owned.clear();
            if (spareEvents_.size() < kSpareEvents) {
                spareEvents_.push_back(std::move(object));
                return kErrorSuccess;
            }
        }
    }
    return object ? kErrorSuccess : kErrorInvalidHandle;
}

std::int32_t FileModernEventLog::CreateRenderContext(const std::vector<std::string>& valuePaths,
                                                     std::uint32_t flags, EVT_HANDLE& context) {
    context = 0;
    if (flags != EvtRenderContextValues) {
        return kErrorInvalidParameter;
    }
    auto object = std::make_unique<RenderContext>();
    object->paths = valuePaths;
    for (const std::string& path : valuePaths) {
        object->systemTypes.push_back(SystemValueType(path));
    }
    const std::lock_guard guard(lock_);
    context = Add(std::move(object));
    return kErrorSuccess;
}

std::int32_t FileModernEventLog::Render(EVT_HANDLE context, EVT_HANDLE event, std::uint32_t flags,
                                        std::span<EVT_VARIANT> buffer,
                                        std::uint32_t& valuesNeeded) {
    const std::lock_guard guard(lock_);
    auto* paths = Find<RenderContext>(context);
    auto* target = Find<Event>(event);
    if (paths == nullptr || target == nullptr) {
        return kErrorInvalidHandle;
    }
    if (flags != EvtRenderEventValues) {
        return kErrorInvalidParameter;
    }
    valuesNeeded = static_cast<std::uint32_t>(paths->paths.size());
    if (buffer.size() < paths->paths.size()) {
        return kErrorInsufficientBuffer;
    }
    const BxDocument& document = target->event.document;
    if (!document.shape) {
        return kErrorInvalidData;
    }
    const std::vector<BxTarget>& targets = document.shape->Locate(paths->id, paths->paths);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        buffer[i] = VariantOf(document.ValueOf(targets[i]));
        Retype(buffer[i], paths->systemTypes[i], *target);
    }
    return kErrorSuccess;
}

std::int32_t FileModernEventLog::EventData(EVT_HANDLE event, std::vector<EVT_DATA_ITEM>& items) {
    const std::lock_guard guard(lock_);
    auto* target = Find<Event>(event);
    if (target == nullptr) {
        return kErrorInvalidHandle;
    }
    items.clear();
    AppendDataItems(target->event.document, items);
    return kErrorSuccess;
}

bool FileModernEventLog::RegistrationOfOpen(Publisher& publisher) {
    const std::lock_guard guard(publishersLock_);
    const auto* open = As<Publisher>(publishers_.FindIf([&publisher](const Object& object) {
        return object.kind == Publisher::kKind &&
               EqualNoCase(static_cast<const Publisher&>(object).name, publisher.name);
    }));
    if (open == nullptr) {
        return false;
    }
    publisher.messageFile = open->messageFile;
    publisher.parameterFile = open->parameterFile;
    return true;
}

bool FileModernEventLog::ReadRegistration(Publisher& publisher) {
    HKEY publishers = 0;
    if (Registry().OpenKey(HKEY_LOCAL_MACHINE, kPublishersKey, KEY_READ, publishers) !=
        kErrorSuccess) {
        return false;
    }
    bool registered = false;
    // The publishers are keys named by their GUIDs: the one named is looked
    // for among all of them (a store with a Windows machine's has a thousand),
    // in one read of the store.
    static_cast<void>(Registry().ReadTogether(publishers, [&] {
        std::string guid;
        for (std::uint32_t i = 0;
             !registered && Registry().EnumKey(publishers, i, guid) == kErrorSuccess; ++i) {
            HKEY key = 0;
            if (Registry().OpenKey(publishers, guid, KEY_QUERY_VALUE, key) != kErrorSuccess) {
                continue;
            }
            if (EqualNoCase(TextValue(key, ""), publisher.name)) {
                registered = true;
                publisher.messageFile = TextValue(key, "MessageFileName");
                publisher.parameterFile = TextValue(key, "ParameterFileName");
            }
            Registry().CloseKey(key);
        }
        return kErrorSuccess;
    }));
    Registry().CloseKey(publishers);
    return registered;
}

std::int32_t FileModernEventLog::OpenPublisherMetadata(const std::string& publisher,
                                                       EVT_HANDLE& metadata) {
    metadata = 0;
    auto found = std::make_unique<Publisher>();
    found->name = publisher;
    // A second thread's handle takes the registration of the first one's
    // rather than search the store again (milliseconds with a thousand
    // publishers): while a handle is open, its name has one registration.
    if (!RegistrationOfOpen(*found) && !ReadRegistration(*found)) {
        return kErrorEvtPublisherNotFound;
    }
    // A file that does not load leaves its events without their texts.
    if (!found->messageFile.empty()) {
        static_cast<void>(
            MessageFiles().Load(ExpandEnvironmentText(found->messageFile), found->messages));
    }
    if (!found->parameterFile.empty()) {
        static_cast<void>(
            MessageFiles().Load(ExpandEnvironmentText(found->parameterFile), found->parameters));
    }
    if (found->messages == 0) {
        return kErrorModNotFound;
    }
    const std::lock_guard guard(lock_);
    const std::lock_guard publishersGuard(publishersLock_);
    metadata = publishers_.Add(std::move(found));
    return kErrorSuccess;
}

std::int32_t FileModernEventLog::FormatMessage(EVT_HANDLE metadata, EVT_HANDLE event,
                                               std::uint32_t messageId, std::uint32_t flags,
                                               std::string& text) {
    text.clear();
    // The event is used under the log's lock, the publisher under its own.
    const std::lock_guard guard(lock_);
    auto* publisher = Find<Publisher>(metadata);
    auto* target = Find<Event>(event);
    if (publisher == nullptr || target == nullptr) {
        return kErrorInvalidHandle;
    }
    if (flags != EvtFormatMessageEvent) {
        return kErrorInvalidParameter;
    }
    const std::lock_guard publisherGuard(publisher->lock);
    return FormatEventMessage(*publisher, *target, messageId, text);
}

std::int32_t FileModernEventLog::FormatMessageFields(EVT_HANDLE metadata, EVT_HANDLE event,
                                                     std::span<const std::string_view> labels,
                                                     std::span<std::string> values) {
    for (std::string& value : values) {
        value.clear();
    }
    const std::lock_guard guard(lock_);
    auto* publisher = Find<Publisher>(metadata);
    auto* target = Find<Event>(event);
    if (publisher == nullptr || target == nullptr) {
        return kErrorInvalidHandle;
    }
    const std::lock_guard publisherGuard(publisher->lock);
    MessageBuffers& buffers = publisher->buffers;
    EventInserts(*target, buffers.values, buffers.inserts);
    return FindInsertFields(*publisher, EventMessageId(*target), buffers.inserts, labels, values);
}

std::int32_t FileModernEventLog::MessageInserts(EVT_HANDLE event, std::uint32_t& messageId,
                                                std::vector<EVT_INSERT>& inserts) {
    messageId = 0;
    inserts.clear();
    const std::lock_guard guard(lock_);
    auto* target = Find<Event>(event);
    if (target == nullptr) {
        return kErrorInvalidHandle;
    }
    messageId = EventMessageId(*target);
    EventInserts(*target, insertValues_, insertParts_);
    for (const BxValue& value : insertParts_) {
        inserts.push_back({value.type, {value.data, value.size}});
    }
    return kErrorSuccess;
}

std::int32_t FileModernEventLog::FormatInsertFields(EVT_HANDLE metadata, std::uint32_t messageId,
                                                    std::span<const EVT_INSERT> inserts,
                                                    std::span<const std::string_view> labels,
                                                    std::span<std::string> values) {
    for (std::string& value : values) {
        value.clear();
    }
    // Not under the log's lock: nothing of the log but the publisher is
    // needed, so a thread with a publisher of its own goes on while another
    // reads, and finds it in a table that reading does not touch.
    Publisher* publisher = nullptr;
    {
        const std::lock_guard guard(publishersLock_);
        publisher = As<Publisher>(publishers_.Find(metadata));
    }
    if (publisher == nullptr) {
        return kErrorInvalidHandle;
    }
    const std::lock_guard publisherGuard(publisher->lock);
    std::vector<BxValue>& parts = publisher->buffers.inserts;
    parts.clear();
    for (const EVT_INSERT& insert : inserts) {
        if (insert.type > 0xFF || insert.bytes.size() > 0xFFFFFFFFu) {
            return kErrorInvalidParameter;
        }
        parts.push_back({static_cast<std::uint8_t>(insert.type), insert.bytes.data(),
                         static_cast<std::uint32_t>(insert.bytes.size())});
    }
    return FindInsertFields(*publisher, messageId, parts, labels, values);
}

}  // namespace vzrm::platform::posix
