// vzrmlog: shows what the program sees in a Security log file.
//   vzrmlog info FILE    format, interface level, records, chunks, damage
//   vzrmlog dump FILE [--format tsv|json]
//                        one line per event: record number, event ID, UTC time,
//                        provider, computer, then each EventData value as
//                        name=value, tab-separated; an unnamed value (and each
//                        element of an array) as DataN= by its insert number N,
//                        binary values in upper-case hex (classic logs: 1=, 2=,
//                        ..., and Binary= for the record's data); or one JSON
//                        object per event
//   vzrmlog damage FILE [--format tsv|json]
//                        every damaged place: chunk, offset, record, reason
//   vzrmlog records FILE [--from "YYYY-MM-DD HH:MM:SS"] [--to ...] [--ext .EXT]
//                        [--format tsv|csv|json]
//                        the reader's final records of the period (local times;
//                        bounds open when left out); --ext replaces ".zrm". The
//                        message files come from the registry store
//                        ($VZRM_REGISTRY_DIR of an installation).
//   vzrmlog history [DIR] [--file NAME] [--user USER] [--program NAME] [--from ...]
//                   [--to ...] [--format tsv|csv|json|html] [--summary] [--key KEY]
//                        a recording's rows across all reports of the folder
//   vzrmlog folders [--output FILE] [FOLDER...]
//                        the list of folders for audit over the fixed drives or
//                        the folders given, to FILE or standard output
//   vzrmlog verify [DIR] [--key PUBLIC_KEY] [--format tsv|json]
//                        the reports folder against its seal
//   vzrmlog key [--make] the seal key of this account's runs: fingerprint, file
// While a log is read, a progress line shows on standard error when it is a
// terminal (for dump, when standard output is not one).

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "app/damage_command.h"
#include "app/dump_line.h"
#include "app/folder_list_command.h"
#include "app/history_command.h"
#include "app/output_check.h"
#include "app/seal_command.h"
#include "app/terminal_progress.h"
#include "app/tool_arguments.h"
#include "app/tool_version.h"
#include "audit/message_render.h"
#include "audit/security_log_reader.h"
#include "base/error_info.h"
#include "base/wide_text.h"
#include "formats/binxml_value_text.h"
#include "formats/byte_reader.h"
#include "formats/evt_file.h"
#include "formats/evtx_reader.h"
#include "platform/calendar.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/file_classic_log.h"
#include "platform/posix/eventlog/file_modern_log.h"
#include "platform/posix/eventlog/log_file_bytes.h"
#include "platform/posix/eventlog/log_location.h"
#include "platform/posix/posix_folders.h"
#include "platform/posix/posix_services.h"
#include "platform/posix/standard_streams.h"
#include "report/record_lines.h"
#include "report/report_row.h"

using namespace vzrm::platform;
using namespace vzrm::platform::posix;
using namespace vzrm::formats;

namespace {

void Emit(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
}

constexpr char kUsage[] =
    "usage: vzrmlog info FILE\n"
    "       vzrmlog dump FILE [--format tsv|json]\n"
    "       vzrmlog damage FILE [--format tsv|json]\n"
    "       vzrmlog records FILE [--from \"YYYY-MM-DD HH:MM:SS\"] [--to ...] [--ext .EXT]\n"
    "                            [--format tsv|csv|json]\n"
    "       vzrmlog history [DIR] [--file NAME] [--user USER] [--program NAME]\n"
    "                       [--from \"YYYY-MM-DD[ HH:MM:SS]\"] [--to ...]\n"
    "                       [--format tsv|csv|json|html] [--summary] [--key PUBLIC_KEY]\n"
    "       vzrmlog folders [--output FILE] [FOLDER...]\n"
    "       vzrmlog verify [DIR] [--key PUBLIC_KEY] [--format tsv|json]\n"
    "       vzrmlog key [--make]\n"
    "       vzrmlog --help | --version\n"
    "Options may come before or after FILE. See vzrmlog(1).\n";

int Usage() {
    std::cerr << kUsage;
    return 2;
}

// The progress line of the read under way, when someone watches.
std::unique_ptr<vzrm::CProgressLine> g_progress;

void Progress(std::uint64_t events, std::uint64_t position, std::uint64_t size) {
    if (g_progress) {
        g_progress->Update(events, position, size);
    }
}

// Wipes the progress line before anything else is written.
void EndProgress() {
    if (g_progress) {
        g_progress->Finish();
    }
}

bool ParseLocal(const std::string& text, vzrm::CLocalDateTime& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) {
        return false;
    }
    out = vzrm::CLocalDateTime::FromFields(y, mo, d, h, mi, s);
    return out.IsValid();
}

// Whether the store registers message files for the log's Security events.
bool HasSecurityMessages(const std::string& path) {
    if (DetectLogFormat(path) == LogFormat::classic) {
        return vzrm::ReadEventSourceFiles("Security", "Security").found;
    }
    FileModernEventLog log;
    EVT_HANDLE metadata = 0;
    if (log.OpenPublisherMetadata("Microsoft-Windows-Security-Auditing", metadata) != 0) {
        return false;
    }
    log.Close(metadata);
    return true;
}

int Records(const std::string& path, const std::map<std::string, std::string>& options) {
    vzrm::CLocalDateTime from;
    vzrm::CLocalDateTime to;
    std::string extension = ".zrm";
    vzrm::RecordFormat format = vzrm::RecordFormat::tsv;
    for (const auto& [option, value] : options) {
        if ((option == "--from" && !ParseLocal(value, from)) ||
            (option == "--to" && !ParseLocal(value, to))) {
            std::cerr << "vzrmlog: " << value
                      << ": expected a local date-time \"YYYY-MM-DD HH:MM:SS\"\n";
            return 2;
        }
        if (option == "--format" && !vzrm::ParseRecordFormat(value, format)) {
            std::cerr << "vzrmlog: " << value << ": the format is tsv, csv or json\n";
            return 2;
        }
        if (option == "--ext") {
            extension = value;
        }
    }
    setenv("VZRM_SECURITY_LOG", path.c_str(), 1);
    if (!HasSecurityMessages(path)) {
        // Without them no event's fields can be found: an empty answer would mislead.
        std::cerr << "vzrmlog: the store has no message files for the Security log's events "
                     "(is VZRM_REGISTRY_DIR the installation's store?); records need them\n";
        return 1;
    }
    vzrm::CSecurityLogReader reader(nullptr, extension);
    reader.SetProgress([](const vzrm::ReadProgress& p) { Progress(p.events, p.position, p.size); });
    const bool read = reader.OpenReader() && reader.ReadPeriod(from, to) == 1;
    EndProgress();
    if (!read) {
        std::cerr << "vzrmlog: " << path << ": the log could not be read\n"
                  << vzrm::g_errorInfo.Render();
        return 1;
    }
    Emit(vzrm::RecordHeader(format));
    reader.VisitRecords([&](const vzrm::AUDIT_RECORD& r) {
        Emit(vzrm::RecordLine(r, format));
        return true;
    });
    return 0;
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

int DumpModern(const std::string& path, bool json) {
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
    std::uint64_t read = 0;
    while ((next = log.Next(query, events, kEvtInfinite, returned)) == kErrorSuccess) {
        for (std::uint32_t i = 0; i < returned; ++i) {
            std::uint32_t needed = 0;
            if (log.Render(context, events[i], EvtRenderEventValues, values, needed) == 0 &&
                log.EventData(events[i], items) == 0) {
                for (std::size_t n = 0; n < items.size(); ++n) {
                    if (items[n].name.empty()) {
                        items[n].name = "Data" + std::to_string(n + 1);  // its insert number
                    }
                }
                const std::string head[5] = {VariantText(values[0]), VariantText(values[1]),
                                             VariantText(values[2]), VariantText(values[3]),
                                             VariantText(values[4])};
                Emit(vzrm::DumpLine(head, items, json));
            }
            log.Close(events[i]);
        }
        std::uint64_t position = 0;
        std::uint64_t size = 0;
        read += returned;
        if (log.ReadPosition(query, position, size)) {
            Progress(read, position, size);
        }
    }
    EndProgress();
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

int DumpClassic(const std::string& path, bool json) {
    FileClassicEventLog log;
    EventLogHandle handle = 0;
    if (log.OpenBackup(path, handle) != 0) {
        std::cerr << "vzrmlog: " << path << ": cannot be read\n";
        return 1;
    }
    std::uint64_t read = 0;
    const std::int32_t error =
        ForEachClassicRecord(log, handle, [&](const EVENTLOGRECORD& head, auto bytes) {
            const std::vector<std::uint8_t> r(bytes.begin(), bytes.end());
            std::size_t text = sizeof head;
            const std::string source = NarrowText(r, text);
            const std::string computer = NarrowText(r, text);
            const std::string fields[5] = {
                std::to_string(head.RecordNumber), std::to_string(head.EventID & 0xFFFF),
                FileTimeText(static_cast<std::uint64_t>(FileTimeFromInstant(head.TimeGenerated))),
                source, computer};
            std::vector<EVT_DATA_ITEM> items;
            text = head.StringOffset;
            for (std::uint16_t i = 0; i < head.NumStrings; ++i) {
                items.push_back({std::to_string(i + 1), NarrowText(r, text)});
            }
            if (head.DataLength != 0 && head.DataOffset <= r.size() &&
                head.DataLength <= r.size() - head.DataOffset) {
                items.push_back({"Binary", BxValueText({kBxBinary, r.data() + head.DataOffset,
                                                        head.DataLength})});
            }
            Emit(vzrm::DumpLine(fields, items, json));
            std::uint64_t position = 0;
            std::uint64_t size = 0;
            if (log.ReadPosition(handle, position, size)) {
                Progress(++read, position, size);
            }
        });
    EndProgress();
    log.Close(handle);
    if (error != 0) {
        std::cerr << "vzrmlog: " << path << ": read failed (error " << error << ")\n";
        return 1;
    }
    return 0;
}

int InfoModern(const std::string& path) {
    auto file = std::make_shared<EvtxFile>();
    if (OpenEvtxFile(*file, path) != 0) {
        std::cerr << "vzrmlog: " << path << ": not an event log\n";
        return 1;
    }
    EvtxReader reader(file);
    std::size_t events = 0;
    std::map<std::string, std::size_t> byId;
    while (auto event = reader.Next()) {
        if (++events % 64 == 1) {
            Progress(events, reader.Position(), reader.FileSize());
        }
        ++byId[BxValueText(event->document.Value("Event/System/EventID"))];
    }
    EndProgress();
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
    if (OpenEvtFile(file, path) != 0) {
        std::cerr << "vzrmlog: " << path << ": not an event log\n";
        return 1;
    }
    std::map<std::uint32_t, std::size_t> byId;
    std::uint64_t events = 0;
    std::size_t repairedRecords = 0;
    std::vector<std::uint8_t> r;
    for (const EvtRecordPlace& place : file.Records()) {
        if (file.RecordBytes(place, r) != 0) {
            EndProgress();
            std::cerr << "vzrmlog: " << path << ": the file changed while it was read\n";
            return 1;
        }
        ++byId[LoadLe<std::uint32_t>(r.data() + 20) & 0xFFFF];
        bool repaired = false;
        static_cast<void>(NarrowEventLogRecord(r, &repaired));  // as a read gives it
        repairedRecords += repaired ? 1 : 0;
        if (++events % 64 == 1) {
            // Records go oldest first; the share read stands for the place in the file.
            Progress(events, events * file.FileSize() / file.Records().size(), file.FileSize());
        }
    }
    EndProgress();
    const EvtFileHeader& h = file.Header();
    std::cout << "file\t" << path << "\nformat\tEVT " << h.majorVersion << "." << h.minorVersion
              << "\ninterface\tclassic (NT 5)\nevents\t" << file.Records().size()
              << "\nheader flags\t" << (h.flags & 1 ? "dirty " : "")
              << (h.flags & 2 ? "wrapped " : "") << (h.flags & 4 ? "full" : "") << "\nend record\t"
              << (h.endRecordFound ? "found" : "missing") << "\ndamaged record places\t"
              << file.DamagedPlaces() << "\nunreadable records\t" << file.DamagedPlaces()
              << "\ndamaged chunks\t0\nrepaired records\t" << repairedRecords << "\ntruncated\t"
              << (file.TruncatedTail() ? "yes" : "no") << "\n";
    for (const auto& [id, count] : byId) {
        std::cout << "event " << id << "\t" << count << "\n";
    }
    return 0;
}

int Main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    const std::string first = argc >= 2 ? argv[1] : "";
    if (argc == 2 && (first == "--help" || first == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && first == "--version") {
        std::cout << vzrm::ToolVersionText("vzrmlog");
        return 0;
    }
    if (first == "history") {
        return vzrm::RunHistoryCommand({argv + 2, argv + argc}, std::cout, std::cerr);
    }
    if (first == "verify") {
        return vzrm::RunVerifyCommand({argv + 2, argv + argc}, std::cout, std::cerr);
    }
    if (first == "key") {
        return vzrm::RunKeyCommand({argv + 2, argv + argc}, std::cout, std::cerr);
    }
    if (first == "folders") {
        return vzrm::RunFolderListCommand({argv + 2, argv + argc}, PosixFolderSource(), std::cerr);
    }
    static const std::map<std::string, std::set<std::string>> kOptions = {
        {"info", {}},
        {"dump", {"--format"}},
        {"damage", {"--format"}},
        {"records", {"--from", "--to", "--ext", "--format"}}};
    const auto command = kOptions.find(first);
    if (command == kOptions.end()) {
        return Usage();
    }
    const vzrm::ToolArguments arguments =
        vzrm::ParseToolArguments({argv + 2, argv + argc}, command->second);
    if (arguments.help) {
        std::cout << kUsage;
        return std::cout.flush() ? 0 : 1;
    }
    if (!arguments.error.empty()) {
        std::cerr << "vzrmlog " << first << ": " << arguments.error << "\n";
        return Usage();
    }
    const std::string& path = arguments.file;
    if (DetectLogFormat(path) == LogFormat::none) {
        std::cerr << "vzrmlog: " << path << ": " << vzrm::LogPathProblem(path) << "\n";
        return 1;
    }
    // Dump's own lines are its progress when they go to the terminal.
    if (first != "dump" ||
        !vzrm::platform::posix::IsTerminal(vzrm::platform::posix::Stream::output)) {
        g_progress = vzrm::TerminalProgress("vzrmlog");
    }
    if (first == "records") {
        return Records(path, arguments.options);
    }
    bool json = false;
    if (const auto format = arguments.options.find("--format"); format != arguments.options.end()) {
        vzrm::RecordFormat parsed = vzrm::RecordFormat::tsv;
        if (!vzrm::ParseRecordFormat(format->second, parsed) || parsed == vzrm::RecordFormat::csv) {
            std::cerr << "vzrmlog: " << format->second << ": the format of " << first
                      << " is tsv or json\n";
            return 2;
        }
        json = parsed == vzrm::RecordFormat::json;
    }
    if (first == "damage") {
        vzrm::DamageListing listing;
        const std::int32_t error = vzrm::FindDamage(path, listing, Progress);
        EndProgress();
        if (error == kErrorInvalidData) {
            std::cerr << "vzrmlog: " << path
                      << ": not an event log (neither EVTX nor the classic format)\n";
            return 1;
        }
        if (error != 0) {
            std::cerr << "vzrmlog: " << path << ": read failed (error " << error << ")\n";
            return 1;
        }
        vzrm::PrintDamage(path, listing, json, std::cout, std::cerr);
        return std::cout.flush() ? 0 : 1;
    }
    if (first != "info" && first != "dump") {
        return Usage();
    }
    switch (DetectLogFormat(path)) {
        case LogFormat::modern:
            return first == "info" ? InfoModern(path) : DumpModern(path, json);
        case LogFormat::classic:
            return first == "info" ? InfoClassic(path) : DumpClassic(path, json);
        case LogFormat::none:
        default:
            std::cerr << "vzrmlog: " << path
                      << ": not an event log (neither EVTX nor the classic format)\n";
            return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return vzrm::CheckedOutputStatus(Main(argc, argv), "vzrmlog");
}
