// Any bytes as an EVTX file: every event, its system values and its EventData.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/posix/eventlog/bx_value_text.h"
#include "platform/posix/eventlog/evtx_reader.h"

using namespace vzrm::platform::posix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto file = std::make_shared<EvtxFile>();
    if (file->Attach(std::span<const std::uint8_t>(data, size)) != 0) {
        return 0;
    }
    EvtxReader reader(file);
    while (auto event = reader.Next()) {
        for (const char* path :
             {"Event/System/Provider/@Name", "Event/System/TimeCreated/@SystemTime",
              "Event/System/EventID", "Event/System/Security/@UserID", "Event/EventData/Data"}) {
            BxValueText(event->document.Value(path));
        }
        for (const auto& item : event->document.EventData()) {
            BxValueText(item.second);
        }
    }
    return 0;
}
