#include "platform/posix/eventlog/event_message.h"

#include <algorithm>
#include <cstring>

#include "base/byte_search.h"
#include "formats/binxml_value_text.h"
#include "formats/message_fields.h"
#include "platform/error_codes.h"
#include "platform/services.h"

namespace vzrm::platform::posix {

using namespace formats;

Publisher::~Publisher() {
    for (HMODULE module : {messages, parameters}) {
        if (module != 0) {
            MessageFiles().Free(module);
        }
    }
}

Publisher::Message* Publisher::Template(std::uint32_t eventId) {
    auto it = templates.find(eventId);
    if (it == templates.end()) {
        std::string pattern;
        std::unique_ptr<Message> message;
        if (MessageFiles().FindMessage(messages, eventId, pattern) == kErrorSuccess) {
            message = std::make_unique<Message>(pattern);
            message->keepsTexts = templatesWithTexts < kTemplatesWithTexts;
            templatesWithTexts += message->keepsTexts ? 1 : 0;
        }
        it = templates.emplace(eventId, std::move(message)).first;
    }
    return it->second.get();
}

const std::optional<std::string>& Publisher::ParameterText(std::uint32_t number) {
    auto it = parameterTexts.find(number);
    if (it == parameterTexts.end()) {
        std::string found;
        std::optional<std::string> text;
        if (parameters != 0 &&
            MessageFiles().FindMessage(parameters, number, found) == kErrorSuccess) {
            text = FormatMessageText(found, {true, 0});
        }
        it = parameterTexts.emplace(number, std::move(text)).first;
    }
    return it->second;
}

namespace {

const std::string kEventIdPath = "Event/System/EventID";  // made once, not per event

// The text of one insert: the value's text, its parameter references
// expanded; kept as it is when `made` was made of the same value.
const std::string& InsertText(Publisher& publisher, const BxValue& value, InsertTextMade& made) {
    const std::string_view bytes(reinterpret_cast<const char*>(value.data),
                                 value.data == nullptr ? 0 : value.size);
    if (made.made && made.value.size() == bytes.size() + 2 &&
        made.value[0] == static_cast<char>(value.type) &&
        made.value[1] == static_cast<char>(value.data == nullptr) &&
        std::string_view(made.value).substr(2) == bytes) {
        return made.text;
    }
    made.made = false;
    std::string& text = made.text;
    text.clear();
    AppendBxValueText(value, text);
    publisher.expanded.Expand(text, [&](std::uint32_t number, std::string& found) {
        const std::optional<std::string>& parameter = publisher.ParameterText(number);
        if (parameter) {
            found = *parameter;
        }
        return parameter.has_value();
    });
    made.value.assign(1, static_cast<char>(value.type));
    made.value.push_back(static_cast<char>(value.data == nullptr));
    made.value.append(bytes);
    made.made = true;
    return text;
}

// The inserts as message arguments. `texts` holds the texts the arguments
// point to; it is kept from one event to the next, so its strings' buffers
// are reused.
void InsertArguments(Publisher& publisher, const std::vector<BxValue>& inserts,
                     std::vector<InsertTextMade>& texts, std::vector<const char*>& arguments) {
    if (texts.size() < inserts.size()) {
        texts.resize(inserts.size());
    }
    arguments.clear();
    for (std::size_t i = 0; i < inserts.size(); ++i) {
        arguments.push_back(InsertText(publisher, inserts[i], texts[i]).c_str());
    }
}

// The inserts as a message's fields are found in them: a text is made only
// when the search asks for more than what its value tells.
class LazyInserts final : public MessageInserts {
  public:
    LazyInserts(Publisher& publisher, const std::vector<BxValue>& inserts,
                std::vector<InsertTextMade>& texts, std::vector<std::int8_t>& states)
        : publisher_(publisher), inserts_(inserts), texts_(texts), states_(states) {
        if (texts_.size() < inserts_.size()) {
            texts_.resize(inserts_.size());
        }
        states_.assign(inserts_.size(), kUnknown);
    }

    std::size_t Count() const override { return inserts_.size(); }
    std::size_t MaxSize(std::size_t index) override {
        const BxValue& value = inserts_[index];
        if (MayHoldTab(index)) {
            return Text(index).size();
        }
        switch (value.type) {
            case kBxString:
                return 3 * (value.size / 2);  // UTF-8 of UTF-16
            case kBxAnsiString:
                return value.size;
            default:
                return 2 * std::size_t{value.size} + 400;  // hex digits, or a number's digits
        }
    }
    bool MayHoldTab(std::size_t index) override {
        if (states_[index] == kUnknown) {
            states_[index] = Scan(inserts_[index]) ? kMayHoldTab : kNoTab;
        }
        return states_[index] != kNoTab;
    }
    int FirstByte(std::size_t index) override {
        if (!MayHoldTab(index)) {
            return BxValueTextFirstByte(inserts_[index]);
        }
        const std::string_view text = Text(index);
        return text.empty() ? -1 : static_cast<unsigned char>(text[0]);
    }
    std::string_view Text(std::size_t index) override {
        if (states_[index] != kMade) {
            InsertText(publisher_, inserts_[index], texts_[index]);
            states_[index] = kMade;
        }
        return texts_[index].text;
    }

  private:
    static constexpr std::int8_t kUnknown = 0;
    static constexpr std::int8_t kNoTab = 1;
    static constexpr std::int8_t kMayHoldTab = 2;
    static constexpr std::int8_t kMade = 3;

    // A tab, or a '%' that may begin a parameter reference; only texts hold them.
    static bool Scan(const BxValue& value) {
        if (value.data == nullptr) {
            return false;
        }
        // Either byte of a UTF-16 unit may be the one looked for: a match is only a maybe.
        return (value.type == kBxString || value.type == kBxAnsiString) &&
               HoldsAnyByte(value.data, value.size, '\t', '%');
    }

    Publisher& publisher_;
    const std::vector<BxValue>& inserts_;
    std::vector<InsertTextMade>& texts_;
    std::vector<std::int8_t>& states_;
};

}  // namespace

std::uint32_t EventMessageId(const Event& event) {
    return static_cast<std::uint32_t>(
        BxValueNumber(event.event.document.Value(kEventIdPath)).value_or(0));
}

void EventInserts(const Event& event, std::vector<BxValue>& values, std::vector<BxValue>& inserts) {
    event.event.document.EventDataValues(values);
    // Arrays are rare: without one the values are the inserts, and the two
    // buffers change places instead of being copied.
    if (std::none_of(values.begin(), values.end(),
                     [](const BxValue& value) { return (value.type & kBxArray) != 0; })) {
        values.swap(inserts);
        return;
    }
    inserts.clear();
    for (const BxValue& value : values) {
        if (value.type & kBxArray) {
            for (const BxValue& element : ArrayElements(value)) {
                inserts.push_back(element);
            }
        } else {
            inserts.push_back(value);
        }
    }
}

std::int32_t FormatEventMessage(Publisher& publisher, const Event& event, std::uint32_t messageId,
                                std::string& text) {
    Publisher::Message* message =
        publisher.Template(messageId != 0 ? messageId : EventMessageId(event));
    if (message == nullptr) {
        return kErrorEvtMessageNotFound;
    }
    MessageBuffers& buffers = publisher.buffers;
    EventInserts(event, buffers.values, buffers.inserts);
    InsertArguments(publisher, buffers.inserts, publisher.InsertTexts(*message), buffers.arguments);
    message->compiled.Format(buffers.arguments, text);
    return kErrorSuccess;
}

std::int32_t FindInsertFields(Publisher& publisher, std::uint32_t messageId,
                              const std::vector<BxValue>& inserts,
                              std::span<const std::string_view> labels,
                              std::span<std::string> values) {
    Publisher::Message* message = publisher.Template(messageId);
    if (message == nullptr) {
        return kErrorEvtMessageNotFound;
    }
    if (!message->plan.IsFor(labels)) {
        message->plan = message->compiled.PlanFields(labels);
    }
    MessageBuffers& buffers = publisher.buffers;
    std::vector<InsertTextMade>& texts = publisher.InsertTexts(*message);
    LazyInserts lazy(publisher, inserts, texts, buffers.states);
    if (!message->compiled.TakeInsertLines(message->plan, lazy, labels, values) &&
        !message->compiled.FindFields(message->plan, lazy, labels, values)) {
        InsertArguments(publisher, inserts, texts, buffers.arguments);
        message->compiled.Format(buffers.arguments, buffers.text);
        formats::FindMessageFields(buffers.text, labels, values);
    }
    return kErrorSuccess;
}

}  // namespace vzrm::platform::posix
