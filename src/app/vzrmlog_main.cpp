// vzrmlog: shows what the program sees in a Security log file.
//   vzrmlog info FILE    format, interface level, records, chunks, damage
//   vzrmlog dump FILE    one line per event: record number, event ID, UTC time,
//                        provider, computer, then EventData name=value, tab-separated
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "platform/posix/eventlog/bx_value_text.h"
#include "platform/posix/eventlog/evt_file.h"
#include "platform/posix/eventlog/evtx_reader.h"
#include "platform/posix/eventlog/byte_reader.h"
#include "audit/wide_text.h"
#include "platform/calendar.h"

using namespace vzrm::platform::posix;

namespace {

int Usage() {
    std::cerr << "usage: vzrmlog info FILE\n       vzrmlog dump FILE\n";
    return 2;
}

std::string Text(const EvtxEvent& e, const char* path) {
    return BxValueText(e.document.Value(path));
}

// Values stay on one line and in their column.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

int DumpEvtx(const std::shared_ptr<EvtxFile>& file) {
    EvtxReader reader(file);
    std::string line;
    while (auto event = reader.Next()) {
        line = std::to_string(event->record.recordId);
        line += '\t' + Text(*event, "Event/System/EventID");
        line += '\t' + Text(*event, "Event/System/TimeCreated/@SystemTime");
        line += '\t' + Text(*event, "Event/System/Provider/@Name");
        line += '\t' + Text(*event, "Event/System/Computer");
        for (const auto& [name, value] : event->document.EventData()) {
            line += '\t' + name + '=' + OneLine(BxValueText(value));
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}

int InfoEvtx(const std::string& path, const std::shared_ptr<EvtxFile>& file) {
    EvtxReader reader(file);
    std::size_t events = 0;
    std::map<std::string, std::size_t> byId;
    while (auto event = reader.Next()) {
        ++events;
        ++byId[Text(*event, "Event/System/EventID")];
    }
    const EvtxFileHeader& h = file->Header();
    std::cout << "file\t" << path << "\nformat\tEVTX " << h.majorVersion << "." << h.minorVersion
              << "\ninterface\tmodern (NT 6)\nevents\t" << events << "\nchunks\t"
              << file->Chunks().size() << "\nheader chunks\t" << h.chunkCount << "\nheader flags\t"
              << (h.flags & 1 ? "dirty " : "") << (h.flags & 2 ? "full" : "")
              << "\nheader checksum\t" << (h.checksumOk ? "ok" : "wrong")
              << "\nchunks with damaged header\t" << file->Damage().chunksBadHeader
              << "\nchunks with damaged records\t" << file->Damage().chunksBadData
              << "\ndamaged record places\t" << file->Damage().recordsDamaged
              << "\nunreadable records\t" << reader.SkippedRecords() << "\n";
    for (const auto& [id, count] : byId) {
        std::cout << "event " << id << "\t" << count << "\n";
    }
    return 0;
}

// A classic record's texts: zero-terminated UTF-16 from `at`.
std::string ClassicText(const std::vector<std::uint8_t>& r, std::size_t& at) {
    std::u16string text;
    while (at + 1 < r.size()) {
        const auto unit = LoadLe<std::uint16_t>(r.data() + at);
        at += 2;
        if (unit == 0) {
            break;
        }
        text.push_back(static_cast<char16_t>(unit));
    }
    return vzrm::WideToNarrow(text);
}

int DumpEvt(const EvtFile& file) {
    for (const EvtRecordPlace& place : file.Records()) {
        const std::vector<std::uint8_t> r = file.RecordBytes(place);
        std::size_t at = 56;
        const std::string source = ClassicText(r, at);
        const std::string computer = ClassicText(r, at);
        std::string line = std::to_string(LoadLe<std::uint32_t>(r.data() + 8));
        line += '\t' + std::to_string(LoadLe<std::uint32_t>(r.data() + 20) & 0xFFFF);
        const std::int64_t t = LoadLe<std::uint32_t>(r.data() + 12);
        line += '\t' + FileTimeText(static_cast<std::uint64_t>(vzrm::platform::FileTimeFromInstant(t)));
        line += '\t' + source + '\t' + computer;
        const auto count = LoadLe<std::uint16_t>(r.data() + 26);
        std::size_t text = LoadLe<std::uint32_t>(r.data() + 36);
        for (std::uint16_t i = 0; i < count && text < r.size(); ++i) {
            line += '\t' + std::to_string(i + 1) + '=' + OneLine(ClassicText(r, text));
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}

int InfoEvt(const std::string& path, const EvtFile& file) {
    std::map<std::uint32_t, std::size_t> byId;
    for (const EvtRecordPlace& place : file.Records()) {
        const std::vector<std::uint8_t> r = file.RecordBytes(place);
        ++byId[LoadLe<std::uint32_t>(r.data() + 20) & 0xFFFF];
    }
    const EvtFileHeader& h = file.Header();
    std::cout << "file\t" << path << "\nformat\tEVT " << h.majorVersion << "." << h.minorVersion
              << "\ninterface\tclassic (NT 5)\nevents\t" << file.Records().size()
              << "\nheader flags\t" << (h.flags & 1 ? "dirty " : "") << (h.flags & 2 ? "wrapped " : "")
              << (h.flags & 4 ? "full" : "") << "\nend record\t" << (h.endRecordFound ? "found" : "missing")
              << "\ndamaged record places\t" << file.DamagedPlaces() << "\n";
    for (const auto& [id, count] : byId) {
        std::cout << "event " << id << "\t" << count << "\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    const std::string command = argv[1];
    const std::string path = argv[2];
    EvtFile classic;
    if (classic.Open(path) == 0) {
        return command == "dump" ? DumpEvt(classic) : command == "info" ? InfoEvt(path, classic) : Usage();
    }
    auto file = std::make_shared<EvtxFile>();
    if (const std::int32_t error = file->Open(path)) {
        std::cerr << "vzrmlog: " << path << ": not a readable event log (error " << error << ")\n";
        return 1;
    }
    if (command == "dump") {
        return DumpEvtx(file);
    }
    if (command == "info") {
        return InfoEvtx(path, file);
    }
    return Usage();
}
