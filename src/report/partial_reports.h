// The names a report has before its run completes.
#pragma once

namespace vzrm {

// A report being written: its final name with this added, until the run
// completes and renames it.
inline constexpr char kPartialSuffix[] = ".part";
// A partial report of a run that was killed, once a summary block names it:
// the next run names it only once.
inline constexpr char kStoppedSuffix[] = ".stopped";

}  // namespace vzrm
