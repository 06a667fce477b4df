// The Application-log warning about a damaged Security log file: one per
// run, naming the file and what could not be read as it was.
#pragma once

#include <string>

#include "platform/event_log.h"

namespace vzrm {

// The warning's text; empty when the read met no damage.
std::string LogDamageText(const platform::LogReadDamage& damage);

}  // namespace vzrm
