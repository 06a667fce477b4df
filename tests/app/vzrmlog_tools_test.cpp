// The built vzrmlog and vzrmreg as a person at a terminal and a script see
// them: the progress line on a pseudo-terminal, nothing new without one, the
// machine-readable formats read back by Python's own csv and json modules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/log_files.h"
#include "support/project_messages.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Log-on events before the accesses, so that a read takes several batches;
// names with separators and letters that scripts trip over.
std::string Scenario() {
    std::string scenario;
    for (int i = 0; i < 300; ++i) {
        scenario += R"({"id":4624,"time":"2026-03-14T08:05:30Z"})"
                    "\n";
    }
    return scenario +
           R"({"id":4656,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case 12, take 2 – Müller.zrm","mask":"0x120089","user":"o'brien"}
{"id":4663,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","object":"D:\\Records\\case 12, take 2 – Müller.zrm","mask":2,"user":"o'brien"}
{"id":4658,"time":"2026-03-14T08:05:35Z","handle":"0x1a4","user":"o'brien"}
{"id":4656,"time":"2026-03-14T08:05:37Z","handle":"0x1b4","object":"D:\\Records\\old;1.zrm","mask":"0x10000","process":"C:\\Rec, Inc\\rec.exe"}
{"id":4660,"time":"2026-03-14T08:05:37Z","handle":"0x1b4","process":"C:\\Rec, Inc\\rec.exe"}
{"id":4658,"time":"2026-03-14T08:05:37Z","handle":"0x1b4","process":"C:\\Rec, Inc\\rec.exe"}
)";
}

class Tools : public ::testing::Test {
  protected:
    void SetUp() override {
        test::WriteEvtx(Log("evtx"), Scenario());
        std::string classic = Scenario();
        for (const auto& [from, to] :
             {std::pair{"4624", "528"}, std::pair{"4656", "560"}, std::pair{"4663", "567"},
              std::pair{"4658", "562"}, std::pair{"4660", "564"}}) {
            for (std::size_t at = 0; (at = classic.find(from, at)) != std::string::npos;) {
                classic.replace(at, 4, to);
            }
        }
        test::WriteEvt(Log("evt"), classic);
    }

    std::string Log(const std::string& format) const { return dir.File("Security." + format); }
    std::string Environment() const {
        return "TZ=UTC LANG=C.UTF-8 LC_ALL= SystemRoot='" + dir.File("Windows") +
               "' VZRM_REGISTRY_DIR='" + dir.Path().string() + "' VZRM_LOCK_DIR='" +
               dir.File("locks") + "' ";
    }
    // vzrmlog with its standard output and error in files, no terminal anywhere.
    test::CommandResult Vzrmlog(const std::string& arguments, const std::string& out = "out",
                                const std::string& err = "err") {
        return test::RunCommand(Environment() + VZRMLOG_PATH + " " + arguments + " >'" +
                                dir.File(out) + "' 2>'" + dir.File(err) + "' </dev/null");
    }
    // A shell command on a pseudo-terminal; what the terminal showed.
    test::CommandResult OnTerminal(const std::string& command) {
        test::WriteFile(dir.File("command"), Environment() + command);
        return test::RunCommand("python3 '" + std::string(VZRM_SOURCE_DIR) +
                                "/tests/support/run_in_pty.py' \". '" + dir.File("command") +
                                "'\"");
    }
    // A Python check: exit 0 and its word when it holds.
    test::CommandResult Python(const std::string& script, const std::string& arguments) {
        test::WriteFile(dir.File("check.py"), script);
        return test::RunCommand("python3 '" + dir.File("check.py") + "' " + arguments + " 2>&1");
    }

    test::ScopedRegistry store;
    test::ProjectMessages messages{store};
    const test::TempDir& dir = store.Dir();
};

// The terminal shows progress lines, each from the start of the line, wiped at the end.
void ExpectProgressWiped(const std::string& shown, const std::string& label) {
    ASSERT_EQ(shown.rfind("\r" + label + ": ", 0), 0u) << shown;
    EXPECT_NE(shown.find(" event"), std::string::npos) << shown;
    EXPECT_NE(shown.find("% of "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" elapsed, "), std::string::npos) << shown;
    const std::size_t wipe = shown.rfind('\r', shown.size() - 2);
    ASSERT_NE(wipe, std::string::npos);
    EXPECT_EQ(shown.substr(wipe), "\r" + std::string(shown.size() - wipe - 2, ' ') + "\r") << shown;
}

TEST_F(Tools, OnATerminalEachReadShowsItsProgressAndWithoutOneNothingChanges) {
    for (const char* format : {"evtx", "evt"}) {
        for (const char* command : {"records", "dump", "info"}) {
            SCOPED_TRACE(std::string(command) + " " + format);
            const std::string arguments = std::string(command) + " '" + Log(format) + "'";
            ASSERT_EQ(Vzrmlog(arguments).status, 0) << ReadText(dir.File("err"));
            EXPECT_EQ(ReadText(dir.File("err")), "") << "no terminal, no progress";
            const std::string quiet = ReadText(dir.File("out"));
            ASSERT_NE(quiet, "");

            // Standard output in a file, standard error on the terminal.
            const test::CommandResult shown = OnTerminal(
                std::string(VZRMLOG_PATH) + " " + arguments + " >'" + dir.File("tty-out") + "'");
            ASSERT_EQ(shown.status, 0) << shown.output;
            ExpectProgressWiped(shown.output, "vzrmlog");
            EXPECT_EQ(ReadText(dir.File("tty-out")), quiet) << "the output is the same";
        }
    }
}

TEST_F(Tools, DumpOntoTheTerminalShowsItsLinesOnly) {
    ASSERT_EQ(Vzrmlog("dump '" + Log("evtx") + "'").status, 0);
    const test::CommandResult shown =
        OnTerminal(std::string(VZRMLOG_PATH) + " dump '" + Log("evtx") + "'");
    ASSERT_EQ(shown.status, 0);
    EXPECT_EQ(shown.output.find("vzrmlog:"), std::string::npos);
    // The terminal ends its lines with CR LF.
    std::string lines = ReadText(dir.File("out"));
    for (std::size_t at = 0; (at = lines.find('\n', at)) != std::string::npos; at += 2) {
        lines.replace(at, 1, "\r\n");
    }
    EXPECT_EQ(shown.output, lines);
}

const char kSameRows[] = R"(import csv, json, sys
tsv = [line.split('\t') for line in open(sys.argv[1], encoding='utf-8', newline='').read().split('\n')]
assert tsv.pop() == [''], 'the last line ends'
with open(sys.argv[2], encoding='utf-8', newline='') as f:
    rows = list(csv.reader(f, strict=True))
names = ['date', 'time', 'computer', 'user', 'object', 'action', 'process', 'handle', 'pid',
         'event_id', 'record_number']
assert rows[0] == names, rows[0]
assert rows[1:] == tsv, (rows[1:], tsv)
objects = []
for line in open(sys.argv[3], encoding='utf-8'):
    record = json.loads(line)
    assert list(record) == names, record
    assert all(isinstance(record[n], int) for n in names[7:]), record
    record['handle'] = '0x%X' % record['handle']
    record['pid'] = '0x%X' % record['pid']
    objects.append([str(record[n]) for n in names])
assert objects == tsv, (objects, tsv)
assert len(tsv) == int(sys.argv[4]), tsv
print('same rows')
)";

TEST_F(Tools, RecordsAsCsvAndJsonLinesAreTheRowsOfTheTsv) {
    for (const char* format : {"evtx", "evt"}) {
        SCOPED_TRACE(format);
        const std::string log = " '" + Log(format) + "'";
        ASSERT_EQ(Vzrmlog("records" + log, "rows.tsv").status, 0) << ReadText(dir.File("err"));
        ASSERT_EQ(Vzrmlog("records" + log + " --format tsv", "rows2.tsv").status, 0);
        EXPECT_EQ(ReadText(dir.File("rows2.tsv")), ReadText(dir.File("rows.tsv")));
        ASSERT_EQ(Vzrmlog("records" + log + " --format csv", "rows.csv").status, 0);
        ASSERT_EQ(Vzrmlog("records" + log + " --format json", "rows.json").status, 0);
        EXPECT_NE(ReadText(dir.File("rows.json")).find("take 2 – Müller"), std::string::npos);
        const test::CommandResult same =
            Python(kSameRows, dir.File("rows.tsv") + " " + dir.File("rows.csv") + " " +
                                  dir.File("rows.json") + " 3");
        EXPECT_EQ(same.output, "same rows\n");
    }
    const test::CommandResult wrong = Vzrmlog("records '" + Log("evtx") + "' --format xml");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(ReadText(dir.File("out")), "");
    EXPECT_EQ(ReadText(dir.File("err")), "vzrmlog: xml: the format is tsv, csv or json\n");
}

const char kSameEvents[] = R"(import json, sys
lines = open(sys.argv[1], encoding='utf-8', newline='').read().split('\n')
assert lines.pop() == ''
one_line = lambda text: text.replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')
events = [json.loads(line) for line in open(sys.argv[2], encoding='utf-8')]
assert len(events) == len(lines) == int(sys.argv[3]), (len(events), len(lines))
for line, event in zip(lines, events):
    assert isinstance(event['record_number'], int) and isinstance(event['event_id'], int)
    head = [str(event[n]) for n in ('record_number', 'event_id', 'time', 'provider', 'computer')]
    data = [d['name'] + '=' + one_line(d['value']) for d in event['data']]
    assert '\t'.join(head + data) == line, (line, event)
print('same events')
)";

TEST_F(Tools, DumpAsJsonLinesHoldsTheValuesOfTheTsv) {
    for (const char* format : {"evtx", "evt"}) {
        SCOPED_TRACE(format);
        const std::string log = " '" + Log(format) + "'";
        ASSERT_EQ(Vzrmlog("dump" + log, "events.tsv").status, 0) << ReadText(dir.File("err"));
        ASSERT_EQ(Vzrmlog("dump" + log + " --format tsv", "events2.tsv").status, 0);
        EXPECT_EQ(ReadText(dir.File("events2.tsv")), ReadText(dir.File("events.tsv")));
        ASSERT_EQ(Vzrmlog("dump" + log + " --format json", "events.json").status, 0);
        const test::CommandResult same =
            Python(kSameEvents, dir.File("events.tsv") + " " + dir.File("events.json") + " 306");
        EXPECT_EQ(same.output, "same events\n");
    }
    for (const char* wrong : {" --format csv", " --format", " --form json"}) {
        EXPECT_EQ(Vzrmlog("dump '" + Log("evtx") + "'" + wrong).status, 2) << wrong;
        EXPECT_EQ(ReadText(dir.File("out")), "") << wrong;
    }
}

TEST_F(Tools, DumpShowsPointerSizedHandlesAsNumbers) {
    // A 32-bit system's events: handle and process IDs as 4-byte pointers.
    test::WriteEvtx(
        dir.File("p.evtx"),
        R"({"id":4663,"time":"2026-03-14T08:05:33Z","handle":"0x738c","pid":588,"pointer":4})"
        "\n");
    ASSERT_EQ(Vzrmlog("dump '" + dir.File("p.evtx") + "'").status, 0);
    const std::string dump = ReadText(dir.File("out"));
    EXPECT_NE(dump.find("\tHandleId=0x738c\t"), std::string::npos) << dump;
    EXPECT_NE(dump.find("\tProcessId=0x24c\t"), std::string::npos) << dump;
}

TEST_F(Tools, HelpAndVersionGoToStandardOutputWithStatusZero) {
    for (const std::string tool : {VZRMLOG_PATH, VZRMREG_PATH}) {
        SCOPED_TRACE(tool);
        const std::string name = std::filesystem::path(tool).filename().string();
        for (const char* option : {"--help", "-h"}) {
            const test::CommandResult help = test::RunCommand(tool + " " + option + " 2>&1");
            EXPECT_EQ(help.status, 0);
            EXPECT_EQ(help.output.rfind("usage: " + name + " ", 0), 0u) << help.output;
            EXPECT_NE(help.output.find(name + " --help | --version\n"), std::string::npos);
        }
        const test::CommandResult version = test::RunCommand(tool + " --version 2>&1");
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.output, name +
                                      " (Velmora ZRM Auditor) 1.0 (build 414)\n"
                                      "Copyright (C) Quorvix Ltd. All rights reserved.\n");
        // A wrong command line still fails, with the usage on standard error only.
        const test::CommandResult wrong = test::RunCommand(tool + " --helpme 2>/dev/null");
        EXPECT_NE(wrong.status, 0);
        EXPECT_EQ(wrong.output, "");
        EXPECT_NE(test::RunCommand(tool + " --help extra 2>/dev/null").status, 0);
    }
}

TEST_F(Tools, APathThatIsNoLogSaysWhyAndOptionsComeBeforeOrAfterTheFile) {
    std::filesystem::create_directory(dir.File("folder"));
    test::WriteFile(dir.File("text.txt"), "not a log at all, but long enough to be read as one");
    std::filesystem::copy_file(Log("evtx"), dir.File("locked.evtx"));
    std::filesystem::permissions(dir.File("locked.evtx"), std::filesystem::perms::owner_read);
    const std::pair<std::string, std::string> kCases[] = {
        {dir.File("missing.evtx"), "no such file"},
        {dir.File("folder"), "a folder, not a log file"},
        {dir.File("text.txt"), "not an event log"}};
    for (const auto& [path, problem] : kCases) {
        for (const char* command : {"info", "dump", "damage", "records"}) {
            SCOPED_TRACE(std::string(command) + " " + path);
            EXPECT_EQ(Vzrmlog(std::string(command) + " '" + path + "'").status, 1);
            EXPECT_EQ(ReadText(dir.File("err")),
                      "vzrmlog: " + path + ": " + problem +
                          (problem == "not an event log" ? " (neither EVTX nor the classic "
                                                           "format)\n"
                                                         : "\n"));
        }
    }
    // Another account's file that this one may not read.
    const test::CommandResult denied = test::RunCommand(
        "setpriv --reuid=65534 --regid=65534 --clear-groups " + std::string(VZRMLOG_PATH) +
        " info '" + dir.File("locked.evtx") + "' 2>&1");
    if (geteuid() == 0) {
        EXPECT_EQ(denied.status, 1);
        EXPECT_NE(denied.output.find("cannot be read (permission denied)"), std::string::npos)
            << denied.output;
    }

    ASSERT_EQ(Vzrmlog("records '" + Log("evtx") + "' --format json", "after").status, 0);
    ASSERT_EQ(Vzrmlog("records --format json '" + Log("evtx") + "'", "before").status, 0);
    EXPECT_EQ(ReadText(dir.File("before")), ReadText(dir.File("after")));
    EXPECT_NE(ReadText(dir.File("before")).find("\"event_id\""), std::string::npos);
    ASSERT_EQ(Vzrmlog("--format json dump '" + Log("evtx") + "'").status, 2);
    ASSERT_EQ(Vzrmlog("dump --format json '" + Log("evtx") + "'", "before").status, 0);
    EXPECT_EQ(ReadText(dir.File("before")).rfind("{\"record_number\":", 0), 0u);
    // A command's --help is the usage, on standard output.
    const test::CommandResult help = Vzrmlog("info --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(ReadText(dir.File("out")).rfind("usage: vzrmlog ", 0), 0u);
    EXPECT_NE(ReadText(dir.File("out")).find("vzrmlog(1)"), std::string::npos);

    // Records with a store that registers no message files: no empty answer.
    const test::TempDir empty;
    const test::CommandResult none = test::RunCommand(
        "VZRM_REGISTRY_DIR='" + empty.Path().string() + "' VZRM_MACHINE_REGISTRY_DIR='" +
        empty.Path().string() + "' " + VZRMLOG_PATH + " records '" + Log("evtx") + "' 2>&1");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.output.find("no message files"), std::string::npos) << none.output;
}

// Output that does not arrive is a failure: a full device, and a reader that
// went away (the conventional death by SIGPIPE, or status 1, but never 0).
TEST_F(Tools, OutputThatCannotBeWrittenIsNeverASuccess) {
    for (const std::string& command :
         {"info '" + Log("evtx") + "'", "info '" + Log("evt") + "'", "dump '" + Log("evtx") + "'",
          "dump '" + Log("evt") + "' --format json", "records '" + Log("evtx") + "'",
          std::string("--version")}) {
        SCOPED_TRACE(command);
        const test::CommandResult full =
            test::RunCommand(Environment() + VZRMLOG_PATH + " " + command + " 2>&1 >/dev/full");
        EXPECT_EQ(full.status, 1);
        EXPECT_NE(full.output.find("vzrmlog: the output could not be written"), std::string::npos)
            << full.output;
    }
    ASSERT_EQ(
        test::RunCommand(Environment() + VZRMREG_PATH + " add 'HKLM\\Software\\Quorvix' /v X /d y")
            .status,
        0);
    const test::CommandResult query = test::RunCommand(
        Environment() + VZRMREG_PATH + " query 'HKLM\\Software\\Quorvix' 2>&1 >/dev/full");
    EXPECT_EQ(query.status, 1);
    EXPECT_NE(query.output.find("vzrmreg: the output could not be written"), std::string::npos)
        << query.output;

    // A dump far larger than a pipe holds, into a reader that stops at once.
    std::string many;
    for (int i = 0; i < 20; ++i) {
        many += Scenario();
    }
    test::WriteEvtx(dir.File("many.evtx"), many);
    const test::CommandResult closed = test::RunCommand(
        "bash -c \"" + Environment() + VZRMLOG_PATH + " dump '" + dir.File("many.evtx") +
        "' 2>/dev/null | head -c 1 >/dev/null; echo status=\\${PIPESTATUS[0]}\"");
    EXPECT_EQ(closed.output.find("status=0"), std::string::npos) << closed.output;
    EXPECT_NE(closed.output.find("status="), std::string::npos) << closed.output;
}

}  // namespace
}  // namespace vzrm
