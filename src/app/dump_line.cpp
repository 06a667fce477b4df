#include "app/dump_line.h"

#include "base/terminal_text.h"
#include "report/json_text.h"

namespace vzrm {
namespace {

// Values stay on one line and in their column, and never drive the terminal.
std::string OneLine(const std::string& text) {
    return EscapeControls(text);
}

// A count as a JSON number; an empty one as null, anything else as text.
std::string JsonCount(const std::string& text) {
    if (text.empty()) {
        return "null";
    }
    const bool digits = text.find_first_not_of("0123456789") == std::string::npos;
    return digits && text.size() < 20 ? text : JsonString(text);
}

}  // namespace

std::string DumpLine(const std::string (&head)[5],
                     const std::vector<platform::EVT_DATA_ITEM>& items, bool json) {
    if (!json) {
        std::string line = OneLine(head[0]);
        for (std::size_t i = 1; i < std::size(head); ++i) {
            line += '\t' + OneLine(head[i]);
        }
        for (const platform::EVT_DATA_ITEM& item : items) {
            line += '\t' + item.name + '=' + OneLine(item.text);
        }
        return line + '\n';
    }
    std::string data;
    for (const platform::EVT_DATA_ITEM& item : items) {
        data += (data.empty() ? "" : ",") +
                CJsonObject().Text("name", item.name).Text("value", item.text).Close();
    }
    return CJsonObject()
               .Json("record_number", JsonCount(head[0]))
               .Json("event_id", JsonCount(head[1]))
               .Text("time", head[2])
               .Text("provider", head[3])
               .Text("computer", head[4])
               .Json("data", "[" + data + "]")
               .Close() +
           "\n";
}

}  // namespace vzrm
