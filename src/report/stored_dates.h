// The dates a report run keeps in the options between runs.
#pragma once

#include "base/local_date_time.h"

namespace vzrm {

class COptProf;

inline constexpr char kLastDateProc[] = "LastDateProc";
inline constexpr char kLastDateData[] = "LastDateData";

// The date-time of a binary value of 8 bytes; null when absent, of another
// size or 0.
CLocalDateTime ReadStoredDate(COptProf& options, const char* name);
// Sets the value in memory only; a null date-time is stored as 0.
void SetStoredDate(COptProf& options, const char* name, const CLocalDateTime& time);

}  // namespace vzrm
