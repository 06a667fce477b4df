// The lines of vzrmlog dump: one event per line, tab-separated or JSON.
#pragma once

#include <string>
#include <vector>

#include "platform/event_log.h"

namespace vzrm {

// The event's record number, event ID, time, provider and computer as texts
// (empty when the event has none), then its EventData values; with its line
// end. Tab-separated: the five texts, then name=value, each kept on one line
// and in its column. JSON: an object with record_number, event_id (numbers,
// null when empty), time, provider, computer and data, a list of
// {"name", "value"} objects.
std::string DumpLine(const std::string (&head)[5],
                     const std::vector<platform::EVT_DATA_ITEM>& items, bool json);

}  // namespace vzrm
