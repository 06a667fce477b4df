// The modern event-log interface over EVTX files.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "formats/binxml.h"
#include "platform/event_log.h"
#include "platform/posix/eventlog/handle_table.h"
#include "platform/posix/eventlog/log_location.h"

namespace vzrm::platform::posix {

struct Publisher;

class FileModernEventLog final : public IModernEventLog {
  public:
    FileModernEventLog();
    ~FileModernEventLog() override;

    std::int32_t Query(const std::string& path, const std::string& query, std::uint32_t flags,
                       EVT_HANDLE& resultSet) override;
    std::string LogFile(const std::string& channel) override { return LogFilePath(channel); }
    std::int32_t Next(EVT_HANDLE resultSet, std::span<EVT_HANDLE> events, std::uint32_t timeout,
                      std::uint32_t& returned) override;
    std::int32_t Close(EVT_HANDLE handle) override;
    std::int32_t CreateRenderContext(const std::vector<std::string>& valuePaths,
                                     std::uint32_t flags, EVT_HANDLE& context) override;
    std::int32_t Render(EVT_HANDLE context, EVT_HANDLE event, std::uint32_t flags,
                        std::span<EVT_VARIANT> buffer, std::uint32_t& valuesNeeded) override;
    std::int32_t EventData(EVT_HANDLE event, std::vector<EVT_DATA_ITEM>& items) override;
    std::int32_t OpenPublisherMetadata(const std::string& publisher, EVT_HANDLE& metadata) override;
    std::int32_t FormatMessage(EVT_HANDLE metadata, EVT_HANDLE event, std::uint32_t messageId,
                               std::uint32_t flags, std::string& text) override;
    std::int32_t FormatMessageFields(EVT_HANDLE metadata, EVT_HANDLE event,
                                     std::span<const std::string_view> labels,
                                     std::span<std::string> values) override;
    std::int32_t MessageInserts(EVT_HANDLE event, std::uint32_t& messageId,
                                std::vector<EVT_INSERT>& inserts) override;
    std::int32_t FormatInsertFields(EVT_HANDLE metadata, std::uint32_t messageId,
                                    std::span<const EVT_INSERT> inserts,
                                    std::span<const std::string_view> labels,
                                    std::span<std::string> values) override;
    bool ReadDamage(EVT_HANDLE resultSet, LogReadDamage& damage) override;
    bool ReadPosition(EVT_HANDLE resultSet, std::uint64_t& position, std::uint64_t& size) override;

    struct Object;

  private:
    template <typename T>
    T* Find(EVT_HANDLE handle);
    EVT_HANDLE Add(std::unique_ptr<Object> object);
    // Fill in `publisher`'s message files from an open handle of the same
    // name, or else from the store; false when neither has it.
    bool RegistrationOfOpen(Publisher& publisher);
    bool ReadRegistration(Publisher& publisher);

    // The log's objects are used under lock_. A table of handles is read
    // under lock_ or its own lock, grows under both (its own taken last),
    // and loses a handle under its own alone (Close). Publishers have a
    // table of their own: threads that format while another reads take
    // only its lock. A publisher's name and message files never change once
    // it is in the table, so they are read under the table's lock alone.
    // Lines of their own: taking one does not slow another.
    alignas(64) std::mutex lock_;
    alignas(64) std::mutex tableLock_;
    alignas(64) HandleTable<Object> objects_;
    alignas(64) std::mutex publishersLock_;
    alignas(64) HandleTable<Object> publishers_;
    // Closed events kept for the next ones: no allocation per event (under
    // tableLock_); Next's events being read (under lock_).
    std::vector<std::unique_ptr<Object>> spareEvents_;
    std::vector<std::unique_ptr<Object>> nextEvents_;
    // MessageInserts' buffers, kept from one event to the next (under lock_).
    std::vector<formats::BxValue> insertValues_;
    std::vector<formats::BxValue> insertParts_;
};

}  // namespace vzrm::platform::posix
