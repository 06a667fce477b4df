// Backslash paths as the Security log holds them ("D:\Records\case12.zrm").
#pragma once

#include <string>
#include <string_view>

namespace vzrm {

// The extension of the last path component, from its last dot ("" when none).
std::string_view PathExtension(std::string_view path);
// True when the extension equals `extension` (".zrm"), ignoring case.
bool HasExtension(std::string_view path, std::string_view extension);
// The path of the file a stream name belongs to: "D:\R\x.zrm:s" gives "D:\R\x.zrm";
// any other path is returned unchanged.
std::string_view StreamBasePath(std::string_view path);
// True when a segment is "." or "..": the paths CanonicalizePath changes.
bool HasDotSegment(std::string_view path);
// "." and ".." segments removed, never climbing above the root
// ("C:\", "\\server\share\", "\" or nothing for a relative path).
std::string CanonicalizePath(std::string_view path);

}  // namespace vzrm
