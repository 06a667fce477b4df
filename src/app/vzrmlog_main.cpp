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
#include "platform/posix/eventlog/evtx_reader.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    const std::string command = argv[1];
    const std::string path = argv[2];
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
