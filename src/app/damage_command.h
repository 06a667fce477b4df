// `vzrmlog damage FILE [--format tsv|json]`: every damaged place of a log
// file, one line each: the chunk (EVTX), the offset in the file, the record
// number where known and what was wrong; so that an investigator can look at
// the bytes where the reader gave up.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "formats/damage_place.h"

namespace vzrm {

// The places of one file, ordered by offset; those beyond what a read keeps
// only counted.
struct DamageListing {
    std::vector<formats::DamagePlace> places;
    std::size_t notKept = 0;
};

// Reads the whole file for its damage: 0, or an error (13 for a file that is
// not an event log). `progress` hears of the events read, the place in the
// file and its size.
using DamageProgress = std::function<void(std::uint64_t, std::uint64_t, std::uint64_t)>;
std::int32_t FindDamage(const std::string& path, DamageListing& listing,
                        const DamageProgress& progress = {});

// The listing, a line per place (TSV: chunk, offset, record, reason; "-"
// where not known), and a note on `err` of the places not listed.
void PrintDamage(const std::string& path, const DamageListing& listing, bool json,
                 std::ostream& out, std::ostream& err);

}  // namespace vzrm
