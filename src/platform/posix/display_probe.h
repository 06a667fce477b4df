// Whether a desktop can be reached: a Wayland compositor's socket or an X
// server's, as named by WAYLAND_DISPLAY and DISPLAY. A stale variable (a
// session that has ended) does not count.
#pragma once

#include <string>

namespace vzrm::platform::posix {

// "wayland-0" under the runtime folder, or an absolute socket path.
bool IsWaylandDisplayReachable(const std::string& name, const std::string& runtimeDir);
// ":0", ":0.0", "unix:0" (the local socket) or "host:0" (TCP port 6000 + n).
bool IsX11DisplayReachable(const std::string& name);
// Either of the two from the environment.
bool IsDisplayReachable();

}  // namespace vzrm::platform::posix
