// The names of the stored options the program reads and writes: each written
// here once, used by name everywhere else.
#pragma once

namespace vzrm {

// The folder for reports (a path ending in a separator once stored).
inline constexpr char kOptLogFold[] = "LogFold";
// Start minimized; run the report at start-up and end.
inline constexpr char kOptRunMin[] = "RunMin";
inline constexpr char kOptRunAuto[] = "RunAuto";
// Our own: read the archived Security logs beside the live one too.
inline constexpr char kOptReadArchives[] = "ReadArchives";
// A profile's name, and the profile in use.
inline constexpr char kOptNameProf[] = "NameProf";
inline constexpr char kOptActiveProf[] = "ActiveProf";
// The dates a report run keeps between runs.
inline constexpr char kLastDateProc[] = "LastDateProc";
inline constexpr char kLastDateData[] = "LastDateData";
// Our own value beside them: the zone's offset from UTC in seconds (east
// positive) at LastDateProc, as decimal text. Dates are local date-times,
// so a run in another zone moves them to its own.
inline constexpr char kLastDateZone[] = "LastDateZone";

}  // namespace vzrm
