// What the project's own readers see of a log file, for comparing with what
// other tools see of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace vzrm::test {

// Event counts by event identifier (low 16 bits) as our readers see a file,
// through the platform's log interfaces.
std::map<std::uint32_t, std::size_t> OurEventCounts(const std::string& path);

}  // namespace vzrm::test
