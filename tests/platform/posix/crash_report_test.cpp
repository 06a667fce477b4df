// The crash report: its pieces on prepared memory, and whole reports from
// child processes that fault on purpose.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>

#include "base/exceptions.h"
#include "platform/crash_translator.h"
#include "platform/posix/crash/crash_report.h"
#include "platform/posix/crash/dynamic_binding.h"
#include "platform/posix/crash/modules.h"

namespace vzrm {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(CrashPieces, TickTimeAndNames) {
    char buffer[16];
    EXPECT_STREQ(FormatTickTime(3723004, buffer, 14), "1:02:03.004");
    EXPECT_STREQ(buffer, "0001:02:03.004");
    EXPECT_STREQ(FormatTickTime(3723004, buffer, 2), "01:02:03.004");
    EXPECT_STREQ(FormatTickTime(0, buffer, 14), "0");  // no significant digit: the last one
    EXPECT_STREQ(ExceptionName(0xC0000008), "INVALID_HANDLE");
    EXPECT_STREQ(ExceptionName(0xC00000FD), "STACK_OVERFLOW");
    EXPECT_STREQ(ExceptionName(0xC0000017), "?");
    CExceptionExtInfo lines;
    lines.AddLine(1, "plain");
    lines.AddLine(0, "stamped");
    EXPECT_THAT(lines.GetText(), StartsWith("plain\r\n"));
    EXPECT_TRUE(std::regex_search(lines.GetText(),
                                  std::regex("\r\n\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d stamped\r\n$")))
        << lines.GetText();
}

TEST(CrashPieces, RowEndsAtAnUnreadablePage) {
    const long page = sysconf(_SC_PAGESIZE);
    auto* area = static_cast<std::uint8_t*>(mmap(nullptr, static_cast<std::size_t>(2 * page),
                                                 PROT_READ | PROT_WRITE,
                                                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(area, MAP_FAILED);
    ASSERT_EQ(mprotect(area + page, static_cast<std::size_t>(page), PROT_NONE), 0);
    std::memcpy(area + page - 3, "AB\x01", 3);
    CExceptionExtInfo lines;
    DumpMemoryRows(&lines, 1, "> ", reinterpret_cast<std::uintptr_t>(area + page - 3), 40);
    const std::string expected = "> " +
                                 PointerText(reinterpret_cast<std::uintptr_t>(area + page - 3)) +
                                 ": 41 42 01 .." + std::string(39, ' ') + "  AB..\r\n";
    EXPECT_EQ(lines.GetText(), expected);
    CExceptionExtInfo none;
    DumpMemoryRows(&none, 1, nullptr, reinterpret_cast<std::uintptr_t>(area + page), 16);
    EXPECT_EQ(none.GetText(), PointerText(reinterpret_cast<std::uintptr_t>(area + page)) + "\r\n");
    munmap(area, static_cast<std::size_t>(2 * page));
}

TEST(CrashPieces, StackScanDumpsEachPointerOnceAndAtMostFourIntoOtherModules) {
    // A made-up fault whose stack holds the same library pointer twice and
    // five different ones: four dumps into other modules, the rest left out.
    FAULT_RECORD record;
    record.code = 0xC0000005;
    record.address = reinterpret_cast<std::uintptr_t>(&std::strlen);
    const std::uintptr_t pointers[] = {reinterpret_cast<std::uintptr_t>(&std::memcpy),
                                       reinterpret_cast<std::uintptr_t>(&std::memcpy),
                                       reinterpret_cast<std::uintptr_t>(&std::strlen),
                                       reinterpret_cast<std::uintptr_t>(&std::printf),
                                       reinterpret_cast<std::uintptr_t>(&std::fopen),
                                       reinterpret_cast<std::uintptr_t>(&std::fclose)};
    std::memcpy(record.stack, pointers, sizeof pointers);
    record.stackSize = sizeof pointers;
    record.sp = 0x7F0000001000;  // the snapshot answers for this range
    CExceptionExtInfo lines;
    DescribeUnexpectedException(1, record.code, &record, &lines);
    const std::string text = lines.GetText();
    int dumps = 0;
    for (std::size_t at = text.find("\r\n+"); at != std::string::npos;
         at = text.find("\r\n+", at + 1)) {
        ++dumps;
    }
    EXPECT_EQ(dumps, 4) << text;
    EXPECT_THAT(text, HasSubstr("\r\n+000: " + PointerText(pointers[0]) + ": "));
    EXPECT_THAT(text, ::testing::Not(HasSubstr("\r\n+008: ")));  // the same pointer again
    EXPECT_THAT(text, ::testing::Not(HasSubstr("\r\n+028: ")));  // a fifth pointer into libc
    EXPECT_THAT(text, HasSubstr(".so"));  // libc, or the sanitizer that stands in for it
}

TEST(CrashPieces, LoadedModulesAreSortedByBaseFromEverySource) {
    const std::string block = DescribeLoadedModules();
    EXPECT_THAT(block, StartsWith("LOADED MODULES >> ===========================\r\n"));
    EXPECT_THAT(block, ::testing::EndsWith("LOADED MODULES << ===========================\r\n"));
    EXPECT_THAT(block, HasSubstr(ProgramPath()));
    std::vector<std::string> bases;
    for (std::size_t at = block.find("\r\n") + 2; block.compare(at, 6, "LOADED") != 0;
         at = block.find("\r\n", at) + 2) {
        bases.push_back(block.substr(at, 2 * sizeof(void*)));
    }
    EXPECT_GE(bases.size(), 3u);
    EXPECT_TRUE(std::is_sorted(bases.begin(), bases.end()));
    for (auto source : {CModuleEnumerator::Source::procMaps, CModuleEnumerator::Source::linkMap}) {
        CModuleEnumerator modules(source);
        std::uintptr_t base = 0;
        std::size_t size = 0;
        std::string file;
        bool programSeen = false;
        int count = 0;
        while (modules.Next(base, size, file) != 0) {
            ++count;
            programSeen = programSeen || file == ProgramPath();
        }
        EXPECT_GE(count, 2);
        EXPECT_TRUE(programSeen);
    }
}

// Faults on purpose; the sanitizers must not catch them first.
__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteNull() {
    *static_cast<volatile int*>(nullptr) = 1;
}
volatile int g_zero = 0;
__attribute__((noinline, no_sanitize("undefined"))) void DivideByZero() {
    volatile int result = 7 / g_zero;
    (void)result;
}
volatile int g_deeper = 1;
__attribute__((noinline, no_sanitize("address", "undefined"))) int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return g_deeper ? Recurse(depth + 1) + frame[0] : 0;
}
void OverflowStack() {
    Recurse(0);
}

struct ChildReport {
    int code = 0;
    std::string message;
    std::string details;
};

// Runs the fault in a child process under the translator; the child writes
// what the caught exception carried.
ChildReport FaultInChild(void (*fault)()) {
    int channel[2];
    EXPECT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        CCrashTranslator translator;
        std::string out = "no exception";
        try {
            CCrashTranslator::Run(fault);
        } catch (C_Exception* e) {
            out = std::to_string(e->GetCode()) + "\n" + e->GetMessage() + "\n" + e->GetDetails();
            e->Delete();
        }
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = write(channel[1], out.data() + done, out.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    close(channel[1]);
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = read(channel[0], buffer, sizeof buffer)) > 0) {
        all.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ChildReport report;
    const std::size_t first = all.find('\n');
    const std::size_t second = all.find('\n', first + 1);
    if (first == std::string::npos || second == std::string::npos) {
        report.message = all;
        return report;
    }
    report.code = std::stoi(all.substr(0, first));
    report.message = all.substr(first + 1, second - first - 1);
    report.details = all.substr(second + 1);
    return report;
}

TEST(CrashReport, WriteToAddressZero) {
    const ChildReport r = FaultInChild(WriteNull);
    EXPECT_EQ(static_cast<std::uint32_t>(r.code), 0xC0000005u) << r.message;
    EXPECT_THAT(r.message,
                StartsWith("Unexpected program exception C0000005 (ACCESS_VIOLATION) at "));
    EXPECT_THAT(r.message, ::testing::Not(HasSubstr("Wr")));
    const std::string head = r.details.substr(0, r.details.find("\r\n"));
    EXPECT_TRUE(std::regex_search(
        head, std::regex("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} Thr\\.1 unexp\\.prog\\.exc\\.C0000005 "
                         "\\(ACCESS_VIOLATION\\) at "
                         "[0-9A-F]{16}, Wr 0$")))
        << head;
    const std::string program = ProgramPath().substr(ProgramPath().rfind('/') + 1);
    EXPECT_THAT(r.details,
                HasSubstr(", " + program + "\r\n"));  // the module line names the program
    EXPECT_THAT(r.details, HasSubstr("\r\nRsp="));
    EXPECT_THAT(r.details, HasSubstr("\r\nRax="));
    EXPECT_THAT(r.details, HasSubstr("\r\nStack:\r\n"));
    EXPECT_THAT(r.details, HasSubstr("\r\nStack->:\r\n"));
    EXPECT_THAT(r.details, HasSubstr("LOADED MODULES >> "));
    EXPECT_THAT(r.details, HasSubstr("[" + ProgramPath() + "]"));
}

TEST(CrashReport, IntegerDivisionByZero) {
    const ChildReport r = FaultInChild(DivideByZero);
    EXPECT_EQ(static_cast<std::uint32_t>(r.code), 0xC0000094u) << r.message;
    EXPECT_THAT(r.message, HasSubstr("(INT_DIVIDE_BY_ZERO)"));
}

TEST(CrashReport, StackOverflowIsCaughtOnTheAlternateStack) {
    const ChildReport r = FaultInChild(OverflowStack);
    EXPECT_EQ(static_cast<std::uint32_t>(r.code), 0xC00000FDu) << r.message;
    EXPECT_THAT(r.message, HasSubstr("(STACK_OVERFLOW)"));
}

// A body that leaves Run by an exception takes Run's guard with it: a later
// fault outside any Run has the default effect instead of jumping into the
// frame that is gone.
TEST(CrashReport, AGuardLeftByAnExceptionIsNotUsedAgain) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(20);  // a jump into the dead frame may loop
        CCrashTranslator translator;
        try {
            CCrashTranslator::Run([] { throw 7; });
        } catch (int) {
        }
        // Called through a volatile pointer: an optimiser that sees the
        // call's undefined behaviour may otherwise drop it.
        void (*volatile fault)() = WriteNull;
        try {
            fault();
        } catch (C_Exception* e) {
            e->Delete();
            _exit(3);  // jumped back into the dead frame
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
}

TEST(CrashReport, NoFaultNoException) {
    bool ran = false;
    CCrashTranslator translator;
    CCrashTranslator::Run([&] { ran = true; });
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace vzrm

namespace vzrm {
namespace {

class StoppedClock : public CExceptionExtInfo {
  protected:
    std::uint64_t Milliseconds() const override { return 3723004; }
};

TEST(CrashPieces, CollectedLinesCarryTheTickTime) {
    StoppedClock lines;
    lines.AddLine(0, "head");
    EXPECT_EQ(lines.GetText(), "01:02:03.004 head\r\n");
}

TEST(CrashPieces, TraceRecordsArePrintedAndSkipped) {
    static const char kPath[] = "/src/report/run.cpp";
    const TRACE_RECORD record{kTraceEnter, kPath, sizeof kPath - 1, 120, 0xBEEF, 42};
    CExceptionExtInfo lines;
    EXPECT_TRUE(DumpTraceRecord(reinterpret_cast<std::uintptr_t>(&record), 1, "+010: ", &lines));
    EXPECT_EQ(lines.GetText(), "+010: Enter run.cpp 120 0000BEEF D=42=2A\r\n");
    const TRACE_RECORD wrongLength{kTraceLeave, kPath, sizeof kPath, 1, 0, 0};
    EXPECT_FALSE(DumpTraceRecord(reinterpret_cast<std::uintptr_t>(&wrongLength), 1, "", &lines));
    const TRACE_RECORD noMagic{0x12345678, kPath, sizeof kPath - 1, 1, 0, 0};
    EXPECT_FALSE(DumpTraceRecord(reinterpret_cast<std::uintptr_t>(&noMagic), 1, "", &lines));
}

TEST(DynamicBinding, GroupsResolveTogetherAndFailuresAreDescribed) {
    CDynamicBinding first("sqlite3_libversion", "libsqlite3.so.0", CDynamicBinding::kGroupHead);
    CDynamicBinding second("sqlite3_sourceid", "libsqlite3.so.0", CDynamicBinding::kGroupTail);
    CallFailureRecord failure;
    ASSERT_TRUE(first.Resolve(&failure)) << failure.text;
    EXPECT_NE(second.Address(), nullptr);  // resolved with its group
    auto version = reinterpret_cast<const char* (*)()>(first.Address());
    EXPECT_EQ(std::string(version()).substr(0, 2), "3.");

    CDynamicBinding missing("no_such_function", "libsqlite3.so.0",
                            CDynamicBinding::kGroupHead | CDynamicBinding::kGroupTail);
    EXPECT_FALSE(missing.Resolve(&failure));
    EXPECT_TRUE(missing.Failed());
    EXPECT_EQ(failure.call, "GetProcAddress");
    EXPECT_EQ(failure.detail, "libsqlite3.so.0, no_such_function");
    EXPECT_EQ(failure.text, "The specified procedure could not be found.");

    CDynamicBinding absent("f", "libnot-there.so.9",
                           CDynamicBinding::kGroupHead | CDynamicBinding::kGroupTail);
    EXPECT_FALSE(absent.Resolve(&failure));
    EXPECT_EQ(failure.call, "LoadLibrary");
    EXPECT_EQ(failure.detail, "libnot-there.so.9");

    CallFailureRecord multimedia{2, 513, "", "", ""};
    DescribeCallFailure(multimedia);
    EXPECT_EQ(multimedia.text, "ACMERR_BUSY");
    multimedia.code = 7;
    DescribeCallFailure(multimedia);
    EXPECT_EQ(multimedia.text, "MmErr.0x00000007");
    CallFailureRecord unknown{1, 4242, "", "", ""};
    DescribeCallFailure(unknown);
    EXPECT_EQ(unknown.text, "Err.0x00001092");
}

}  // namespace
}  // namespace vzrm
