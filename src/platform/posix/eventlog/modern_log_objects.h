// The objects behind the handles of the modern event-log interface over
// EVTX files.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/evtx_reader.h"
#include "formats/format_message.h"
#include "platform/message_files.h"
#include "platform/posix/eventlog/file_modern_log.h"

namespace vzrm::platform::posix {

struct FileModernEventLog::Object {
    // Told by a tag, not a dynamic_cast: handles are looked up several times
    // per event.
    enum class Kind : std::uint8_t { resultSet, renderContext, publisher, event };
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    const Kind kind;
};

// `object` as a T; null when it is none or another kind.
template <typename T>
T* As(FileModernEventLog::Object* object) {
    return object != nullptr && object->kind == T::kKind ? static_cast<T*>(object) : nullptr;
}

// An insert's text and the value it was made of: events repeat the values
// of most inserts, so the next event's insert often has the text already.
struct InsertTextMade {
    std::string text;
    std::string value;  // the value's type, then its bytes
    bool made = false;
};

// The buffers of the messages, kept from one event to the next.
struct MessageBuffers {
    std::vector<formats::BxValue> values;
    std::vector<formats::BxValue> inserts;
    std::vector<InsertTextMade> texts;  // by insert
    std::vector<const char*> arguments;
    std::vector<std::int8_t> states;
    std::string text;
};

// A provider's message files, opened by OpenPublisherMetadata. Its caches
// and buffers are used under `lock`: two threads with handles of their own
// format at once.
struct Publisher final : FileModernEventLog::Object {
    static constexpr Kind kKind = Kind::publisher;
    Publisher() : Object(kKind) {}
    ~Publisher() override;
    // The name it was opened by and its message files as the store names them.
    std::string name;
    std::string messageFile;
    std::string parameterFile;
    HMODULE messages = 0;
    HMODULE parameters = 0;
    // What the message files give, looked up once per publisher: templates by
    // event ID (null: none), parameter texts by number (none: not found).
    struct Message {
        explicit Message(std::string_view pattern) : compiled(pattern) {}
        formats::CompiledMessage compiled;
        formats::FieldPlan plan;  // of the last fields asked for
        // The texts of the last inserts of this message: events of one ID
        // repeat most of their values, events of different IDs interleave.
        // Only the first kTemplatesWithTexts templates keep their own (the
        // others share the buffers'), so that what they hold stays bounded.
        bool keepsTexts = false;
        std::vector<InsertTextMade> texts;
    };
    static constexpr std::size_t kTemplatesWithTexts = 16;
    std::size_t templatesWithTexts = 0;
    std::unordered_map<std::uint32_t, std::unique_ptr<Message>> templates;
    std::unordered_map<std::uint32_t, std::optional<std::string>> parameterTexts;
    formats::ExpandedTexts expanded;  // inserts with parameter references
    MessageBuffers buffers;
    std::mutex lock;

    // The template of `eventId`; null when the message file has none.
    Message* Template(std::uint32_t eventId);
    // Where the texts of the inserts of `message` are made.
    std::vector<InsertTextMade>& InsertTexts(Message& message) {
        return message.keepsTexts ? message.texts : buffers.texts;
    }
    // The formatted text of parameter `number`; none when there is none.
    const std::optional<std::string>& ParameterText(std::uint32_t number);
};

// An event a query gave.
struct Event final : FileModernEventLog::Object {
    static constexpr Kind kKind = Kind::event;
    Event() : Object(kKind) {}
    formats::EvtxEvent event;
    std::vector<std::vector<std::uint8_t>> owned;  // values made from forwarded texts
};

}  // namespace vzrm::platform::posix
