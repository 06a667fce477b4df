// The end of a tool that writes to standard output: a write that failed (a
// full disk, /dev/full, a closed pipe) is said on standard error and never
// ends the tool with status 0.
#pragma once

namespace vzrm {

// `status` when everything written reached standard output; otherwise a
// message naming the tool and 1 in place of 0.
int CheckedOutputStatus(int status, const char* tool);

}  // namespace vzrm
