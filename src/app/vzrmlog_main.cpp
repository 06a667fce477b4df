// vzrmlog: shows what the program sees in a Security log file.
//   vzrmlog info FILE    format, interface level, records, chunks, damage
//   vzrmlog dump FILE    one line per event: record number, event ID, UTC time,
//                        provider, computer, then each EventData value as
//                        name=value, tab-separated; an unnamed value (and each
//                        element of an array) as DataN= by its insert number N,
//                        binary values in upper-case hex (classic logs: 1=, 2=,
//                        ..., and Binary= for the record's data)
//   vzrmlog records FILE [--from "YYYY-MM-DD HH:MM:SS"] [--to ...] [--ext .EXT]
//                        the reader's final records of the period (local times;
//                        bounds open when left out); --ext replaces ".zrm". The
//                        message files come from the registry store
//                        ($VZRM_REGISTRY_DIR of an installation).
//   vzrmlog folders [--output FILE] [FOLDER...]
//                        the list of folders for audit over the fixed drives or
//                        the folders given, to FILE or standard output
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "audit/security_log_reader.h"
#include "audit/wide_text.h"
#include "diagnostics/error_info.h"
#include "platform/calendar.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/bx_value_text.h"
#include "platform/posix/eventlog/byte_reader.h"
#include "platform/posix/eventlog/evt_file.h"
#include "platform/posix/eventlog/evtx_reader.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/eventlog/log_location.h"
#include "platform/posix/posix_folders.h"
#include "report/folder_list_command.h"
#include "report/report_row.h"

using namespace vzrm::platform;
using namespace vzrm::platform::posix;

namespace {

void Emit(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
}

int Usage() {
    std::cerr
        << "usage: vzrmlog info FILE\n       vzrmlog dump FILE\n"
           "       vzrmlog records FILE [--from \"YYYY-MM-DD HH:MM:SS\"] [--to ...] [--ext .EXT]\n"
           "       vzrmlog folders [--output FILE] [FOLDER...]\n";
    return 2;
}

bool ParseLocal(const std::string& text, vzrm::CLocalDateTime& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) {
        return false;
    }
    out = vzrm::CLocalDateTime::FromFields(y, mo, d, h, mi, s);
    return out.IsValid();
}

int Records(int argc, char** argv) {
    const std::string path = argv[2];
    vzrm::CLocalDateTime from;
    vzrm::CLocalDateTime to;
    std::string extension = ".zrm";
    for (int i = 3; i < argc; i += 2) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string value = argv[i + 1];
        if ((option == "--from" && !ParseLocal(value, from)) ||
            (option == "--to" && !ParseLocal(value, to))) {
            std::cerr << "vzrmlog: " << value
                      << ": expected a local date-time \"YYYY-MM-DD HH:MM:SS\"\n";
            return 2;
        }
        if (option == "--ext") {
            extension = value;
        } else if (option != "--from" && option != "--to") {
            return Usage();
        }
    }
    if (DetectLogFormat(path) == LogFormat::none) {
        std::cerr << "vzrmlog: " << path
                  << ": not an event log (neither EVTX nor the classic format)\n";
        return 1;
    }
    setenv("VZRM_SECURITY_LOG", path.c_str(), 1);
    vzrm::CSecurityLogReader reader(nullptr, extension);
    if (!reader.OpenReader() || reader.ReadPeriod(from, to) != 1) {
        std::cerr << "vzrmlog: " << path << ": the log could not be read\n"
                  << vzrm::g_errorInfo.Render();
        return 1;
    }
    for (const vzrm::AUDIT_RECORD& r : reader.TakeRecords()) {
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, "0x%X\t0x%X\t%u\t%llu", r.handleId, r.processId,
                      r.eventId, static_cast<unsigned long long>(r.recordNumber));
        Emit(vzrm::InstantToReportText(r.time, "%Y.%m.%d") + "\t" +
             vzrm::InstantToReportText(r.time, "%H:%M:%S") + "\t" + r.computer + "\t" + r.user +
             "\t" + r.objectName + "\t" + vzrm::ActionWord(r.action) + "\t" + r.processName + "\t" +
             numbers + "\n");
    }
    return 0;
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

std::string VariantText(const EVT_VARIANT& v) {
    switch (v.Type) {
        case EvtVarTypeString:
            return vzrm::WideToNarrow(v.Text());
        case EvtVarTypeFileTime:
            return FileTimeText(v.number);
        case EvtVarTypeNull:
            return {};
        default:
            return std::to_string(v.number);
    }
}

int DumpModern(const std::string& path) {
    FileModernEventLog log;
    EVT_HANDLE query = 0;
    EVT_HANDLE context = 0;
    if (log.Query(path, "*", EvtQueryFilePath, query) != 0 ||
        log.CreateRenderContext({"Event/System/EventRecordID", "Event/System/EventID",
                                 "Event/System/TimeCreated/@SystemTime",
                                 "Event/System/Provider/@Name", "Event/System/Computer"},
                                EvtRenderContextValues, context) != 0) {
        std::cerr << "vzrmlog: " << path << ": cannot be read\n";
        return 1;
    }
    EVT_HANDLE events[100];
    EVT_VARIANT values[5];
    std::vector<EVT_DATA_ITEM> items;
    std::uint32_t returned = 0;
    std::int32_t next = kErrorSuccess;
    while ((next = log.Next(query, events, kEvtInfinite, returned)) == kErrorSuccess) {
        for (std::uint32_t i = 0; i < returned; ++i) {
            std::uint32_t needed = 0;
            if (log.Render(context, events[i], EvtRenderEventValues, values, needed) == 0 &&
                log.EventData(events[i], items) == 0) {
                std::string line;
                for (const EVT_VARIANT& value : values) {
                    line += (line.empty() ? "" : "\t") + OneLine(VariantText(value));
                }
                for (std::size_t n = 0; n < items.size(); ++n) {
                    const std::string& name = items[n].name;
                    line += '\t' + (name.empty() ? "Data" + std::to_string(n + 1) : name) + '=' +
                            OneLine(items[n].text);
                }
                Emit(line + '\n');
            }
            log.Close(events[i]);
        }
    }
    log.Close(context);
    log.Close(query);
    if (next != kErrorNoMoreItems) {
        std::cerr << "vzrmlog: " << path << ": read failed (error " << next << ")\n";
        return 1;
    }
    return 0;
}

// Zero-terminated narrow text at `at`; `at` moves past it.
std::string NarrowText(const std::vector<std::uint8_t>& r, std::size_t& at) {
    std::string text;
    while (at < r.size() && r[at] != 0) {
        text.push_back(static_cast<char>(r[at++]));
    }
    ++at;
    return text;
}

int DumpClassic(const std::string& path) {
    FileClassicEventLog log;
    EventLogHandle handle = 0;
    if (log.OpenBackup(path, handle) != 0) {
        std::cerr << "vzrmlog: " << path << ": cannot be read\n";
        return 1;
    }
    const std::int32_t error =
        ForEachClassicRecord(log, handle, [](const EVENTLOGRECORD& head, auto bytes) {
            const std::vector<std::uint8_t> r(bytes.begin(), bytes.end());
            std::size_t text = sizeof head;
            const std::string source = NarrowText(r, text);
            const std::string computer = NarrowText(r, text);
            std::string line =
                std::to_string(head.RecordNumber) + '\t' + std::to_string(head.EventID & 0xFFFF) +
                '\t' +
                FileTimeText(static_cast<std::uint64_t>(FileTimeFromInstant(head.TimeGenerated))) +
                '\t' + source + '\t' + computer;
            text = head.StringOffset;
            for (std::uint16_t i = 0; i < head.NumStrings; ++i) {
                line += '\t' + std::to_string(i + 1) + '=' + OneLine(NarrowText(r, text));
            }
            if (head.DataLength != 0 && head.DataOffset <= r.size() &&
                head.DataLength <= r.size() - head.DataOffset) {
                line += "\tBinary=" +
                        BxValueText({kBxBinary, r.data() + head.DataOffset, head.DataLength});
            }
            Emit(line + '\n');
        });
    if (error != 0) {
        std::cerr << "vzrmlog: " << path << ": read failed (error " << error << ")\n";
    }
    log.Close(handle);
    return error == 0 ? 0 : 1;
}

int InfoModern(const std::string& path) {
    auto file = std::make_shared<EvtxFile>();
    if (file->Open(path) != 0) {
        std::cerr << "vzrmlog: " << path << ": not an event log\n";
        return 1;
    }
    EvtxReader reader(file);
    std::size_t events = 0;
    std::map<std::string, std::size_t> byId;
    while (auto event = reader.Next()) {
        ++events;
        ++byId[BxValueText(event->document.Value("Event/System/EventID"))];
    }
    const EvtxFileHeader& h = file->Header();
    const EvtxDamage damage = file->Damage();
    if (reader.Error() != 0 || damage.error != 0) {
        std::cerr << "vzrmlog: " << path << ": the file changed while it was read\n";
        return 1;
    }
    std::size_t damagedChunks = file->DamagedBlocks();
    for (const EvtxChunk& chunk : file->Chunks()) {
        damagedChunks += chunk.headerChecksumOk ? 0 : 1;
    }
    std::cout << "file\t" << path << "\nformat\tEVTX " << h.majorVersion << "." << h.minorVersion
              << "\ninterface\tmodern (NT 6)\nevents\t" << events << "\nchunks\t"
              << file->Chunks().size() << "\nheader chunks\t" << h.chunkCount << "\nheader flags\t"
              << (h.flags & 1 ? "dirty " : "") << (h.flags & 2 ? "full" : "")
              << "\nheader checksum\t" << (h.checksumOk ? "ok" : "wrong")
              << "\nchunks with damaged header\t" << damage.chunksBadHeader
              << "\nchunks with damaged records\t" << damage.chunksBadData
              << "\ndamaged record places\t" << damage.recordsDamaged << "\n";
    // The counts of the Application-log warning of a run over this file.
    std::cout << "unreadable records\t" << reader.DamagedPlaces() + reader.SkippedRecords()
              << "\ndamaged chunks\t" << damagedChunks << "\nrepaired records\t"
              << reader.RepairedRecords() << "\ntruncated\t"
              << (file->TruncatedTail() ? "yes" : "no") << "\n";
    for (const auto& [id, count] : byId) {
        std::cout << "event " << id << "\t" << count << "\n";
    }
    return 0;
}

int InfoClassic(const std::string& path) {
    EvtFile file;
    if (file.Open(path) != 0) {
        std::cerr << "vzrmlog: " << path << ": not an event log\n";
        return 1;
    }
    std::map<std::uint32_t, std::size_t> byId;
    for (const EvtRecordPlace& place : file.Records()) {
        const std::vector<std::uint8_t> r = file.RecordBytes(place);
        ++byId[LoadLe<std::uint32_t>(r.data() + 20) & 0xFFFF];
    }
    const EvtFileHeader& h = file.Header();
    std::cout << "file\t" << path << "\nformat\tEVT " << h.majorVersion << "." << h.minorVersion
              << "\ninterface\tclassic (NT 5)\nevents\t" << file.Records().size()
              << "\nheader flags\t" << (h.flags & 1 ? "dirty " : "")
              << (h.flags & 2 ? "wrapped " : "") << (h.flags & 4 ? "full" : "") << "\nend record\t"
              << (h.endRecordFound ? "found" : "missing") << "\ndamaged record places\t"
              << file.DamagedPlaces() << "\nunreadable records\t" << file.DamagedPlaces()
              << "\ndamaged chunks\t0\nrepaired records\t0\ntruncated\t"
              << (file.TruncatedTail() ? "yes" : "no") << "\n";
    for (const auto& [id, count] : byId) {
        std::cout << "event " << id << "\t" << count << "\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "folders") {
        return vzrm::RunFolderListCommand({argv + 2, argv + argc}, PosixFolderSource(), std::cerr);
    }
    if (argc >= 3 && std::string(argv[1]) == "records") {
        return Records(argc, argv);
    }
    if (argc != 3) {
        return Usage();
    }
    const std::string command = argv[1];
    const std::string path = argv[2];
    if (command != "info" && command != "dump") {
        return Usage();
    }
    switch (DetectLogFormat(path)) {
        case LogFormat::modern:
            return command == "info" ? InfoModern(path) : DumpModern(path);
        case LogFormat::classic:
            return command == "info" ? InfoClassic(path) : DumpClassic(path);
        case LogFormat::none:
        default:
            std::cerr << "vzrmlog: " << path
                      << ": not an event log (neither EVTX nor the classic format)\n";
            return 1;
    }
}
