#include "app/damage_command.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "formats/evt_file.h"
#include "formats/evtx_reader.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/log_file_bytes.h"
#include "platform/posix/eventlog/log_location.h"
#include "report/json_text.h"

namespace vzrm {
namespace {

using namespace formats;
using platform::LogFormat;
using platform::posix::DetectLogFormat;

std::string HexOffset(std::uint64_t offset) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(offset));
    return text;
}

std::string PlaceLine(const DamagePlace& place, bool json) {
    if (json) {
        CJsonObject object;
        object.Json("chunk", place.chunk < 0 ? "null" : std::to_string(place.chunk));
        object.Text("offset", HexOffset(place.offset));
        object.Json("record", place.record == 0 ? "null" : std::to_string(place.record));
        object.Text("reason", place.reason);
        return object.Close() + "\n";
    }
    return (place.chunk < 0 ? std::string("-") : std::to_string(place.chunk)) + "\t" +
           HexOffset(place.offset) + "\t" +
           (place.record == 0 ? std::string("-") : std::to_string(place.record)) + "\t" +
           place.reason + "\n";
}

void Take(const DamagePlaces& from, DamageListing& listing) {
    listing.places.insert(listing.places.end(), from.Kept().begin(), from.Kept().end());
    listing.notKept += from.Count() - from.Kept().size();
}

// The file's places (blocks, chunks, records' places) and the records whose
// contents the reader could not take.
std::int32_t ModernPlaces(const std::string& path, DamageListing& listing,
                          const DamageProgress& progress) {
    auto file = std::make_shared<EvtxFile>();
    if (const std::int32_t error = platform::posix::OpenEvtxFile(*file, path)) {
        return error;
    }
    const EvtxDamage damage = file->Damage();
    if (damage.error != 0) {
        return damage.error;
    }
    Take(damage.places, listing);
    EvtxReader reader(file);
    EvtxEvent event;
    for (std::uint64_t events = 1; reader.Next(event); ++events) {
        if (progress && events % 64 == 1) {
            progress(events, reader.Position(), reader.FileSize());
        }
    }
    if (reader.Error() != 0) {
        return reader.Error();
    }
    std::size_t contentsKept = 0;
    for (const DamagePlace& place : reader.Places().Kept()) {
        if (place.kind == DamagePlace::Kind::recordContent) {
            listing.places.push_back(place);
            ++contentsKept;
        }
    }
    listing.notKept += reader.SkippedRecords() - contentsKept;
    return 0;
}

std::int32_t ClassicPlaces(const std::string& path, DamageListing& listing) {
    EvtFile file;
    if (const std::int32_t error = platform::posix::OpenEvtFile(file, path)) {
        return error;
    }
    Take(file.Places(), listing);
    if (file.TruncatedTail()) {
        listing.places.push_back({DamagePlace::Kind::tail, file.FileSize(), -1, 0,
                                  "no end-of-file record: the log's end is missing"});
    }
    return 0;
}

}  // namespace

std::int32_t FindDamage(const std::string& path, DamageListing& listing,
                        const DamageProgress& progress) {
    std::int32_t error = platform::kErrorInvalidData;
    switch (DetectLogFormat(path)) {
        case LogFormat::modern:
            error = ModernPlaces(path, listing, progress);
            break;
        case LogFormat::classic:
            error = ClassicPlaces(path, listing);
            break;
        case LogFormat::none:
        default:
            break;
    }
    std::stable_sort(
        listing.places.begin(), listing.places.end(),
        [](const DamagePlace& a, const DamagePlace& b) { return a.offset < b.offset; });
    return error;
}

void PrintDamage(const std::string& path, const DamageListing& listing, bool json,
                 std::ostream& out, std::ostream& err) {
    for (const DamagePlace& place : listing.places) {
        out << PlaceLine(place, json);
    }
    if (listing.notKept != 0) {
        err << "vzrmlog: " << path << ": " << listing.notKept
            << " more damaged places, not listed (a read keeps the first " << DamagePlaces::kKept
            << ")\n";
    }
}

}  // namespace vzrm
