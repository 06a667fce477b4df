#include "platform/posix/crash/crash_report.h"

#include <algorithm>
#include <cstring>

#include "base/format_text.h"
#include "platform/posix/crash/modules.h"

namespace vzrm {
namespace {

constexpr std::size_t kScanPositions = 1000;
constexpr std::size_t kRemembered = 50;

std::string ModuleLine(const ADDRESS_LOCATION& where) {
    return " = " + PointerText(where.base) + " + " +
           FormatText("%08I64X", static_cast<std::uint64_t>(where.offset)) + ", " + where.namePart;
}

}  // namespace

const char* ExceptionName(std::uint32_t code) {
    switch (code) {
        case 0x80000001:
            return "GUARD_PAGE";
        case 0x80000002:
            return "DATATYPE_MISALIGNMENT";
        case 0x80000003:
            return "BREAKPOINT";
        case 0x80000004:
            return "SINGLE_STEP";
        case 0xC0000005:
            return "ACCESS_VIOLATION";
        case 0xC0000006:
            return "IN_PAGE_ERROR";
        case 0xC0000008:
            return "INVALID_HANDLE";
        case 0xC000001D:
            return "ILLEGAL_INSTRUCTION";
        case 0xC0000025:
            return "NONCONTINUABLE_EXCEPTION";
        case 0xC0000026:
            return "INVALID_DISPOSITION";
        case 0xC000008C:
            return "ARRAY_BOUNDS_EXCEEDED";
        case 0xC000008D:
            return "FLT_DENORMAL_OPERAND";
        case 0xC000008E:
            return "FLT_DIVIDE_BY_ZERO";
        case 0xC000008F:
            return "FLT_INEXACT_RESULT";
        case 0xC0000090:
            return "FLT_INVALID_OPERATION";
        case 0xC0000091:
            return "FLT_OVERFLOW";
        case 0xC0000092:
            return "FLT_STACK_CHECK";
        case 0xC0000093:
            return "FLT_UNDERFLOW";
        case 0xC0000094:
            return "INT_DIVIDE_BY_ZERO";
        case 0xC0000095:
            return "INT_OVERFLOW";
        case 0xC0000096:
            return "PRIV_INSTRUCTION";
        case 0xC00000FD:
            return "STACK_OVERFLOW";
        default:
            return "?";
    }
}

bool DumpTraceRecord(std::uintptr_t address, std::uint32_t level, const std::string& prefix,
                     CExceptionExtInfo* receiver, const CMemoryReader& memory) {
    TRACE_RECORD record;
    if (memory.Read(address, &record, sizeof record) != sizeof record ||
        (record.magic != kTraceEnter && record.magic != kTraceLeave) || record.pathLength < 1 ||
        record.pathLength > 259) {
        return false;
    }
    char path[261] = {};
    const auto at = reinterpret_cast<std::uintptr_t>(record.path);
    if (memory.Read(at, path, record.pathLength + 1) != record.pathLength + 1 ||
        path[record.pathLength] != '\0' || std::strlen(path) != record.pathLength) {
        return false;
    }
    std::string name = path;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos && slash + 1 < name.size()) {
        name = name.substr(slash + 1);
    }
    AddReportLine(receiver, level,
                  FormatText("%s%s %s %u %08X D=%u=%X", prefix,
                             record.magic == kTraceEnter ? "Enter" : "Leave", name, record.line,
                             record.value1, record.value2, record.value2));
    return true;
}

namespace {

// The registers a fault record holds: the control ones, then the integer ones.
void ReportRegisters(CExceptionExtInfo* receiver, const FAULT_RECORD& record) {
    if (record.hasControl) {
        AddReportLine(receiver, 1,
                      "Rsp=" + PointerText(record.sp) + " Rbp=" + PointerText(record.bp) +
                          " Rip=" + PointerText(record.ip) +
                          FormatText(" EFlags=%08X", static_cast<std::uint32_t>(record.flags)));
    }
    if (record.hasInteger) {
        AddReportLine(receiver, 1,
                      "Rax=" + PointerText(record.ax) + " Rbx=" + PointerText(record.bx) +
                          " Rcx=" + PointerText(record.cx) + " Rdx=" + PointerText(record.dx) +
                          " Rsi=" + PointerText(record.si) + " Rdi=" + PointerText(record.di));
        std::string high;
        for (int i = 0; i < 8; ++i) {
            high += (i ? " " : "") + FormatText("R%d=", 8 + i) + PointerText(record.r[i]);
        }
        AddReportLine(receiver, 1, high);
    }
}

// The stack's words that are trace records, or addresses in code or data
// (a few of each kind, each address once), with the memory they point at.
void ReportStackPointers(CExceptionExtInfo* receiver, std::uintptr_t stack,
                         CModuleAddressMap& modules, const CMemoryReader& memory) {
    const int limits[4] = {0, 4, 8, 4};
    int counts[4] = {};
    std::uintptr_t dumped[kRemembered] = {};
    std::size_t remembered = 0;
    for (std::size_t n = 0; stack != 0 && n < kScanPositions; ++n) {
        const std::uintptr_t at = stack + n * sizeof(std::uintptr_t);
        std::uintptr_t value = 0;
        if (memory.Read(at, &value, sizeof value) != sizeof value) {
            break;
        }
        const std::string prefix =
            FormatText("+%03X: ", static_cast<unsigned>(n * sizeof(std::uintptr_t)));
        if (DumpTraceRecord(at, 1, prefix, receiver, memory)) {
            n += sizeof(TRACE_RECORD) / sizeof(std::uintptr_t) - 1;
            continue;
        }
        const ADDRESS_LOCATION where = modules.Locate(value, memory);
        if (where.kind == 0 || counts[where.kind] >= limits[where.kind] ||
            std::find(dumped, dumped + remembered, value) != dumped + remembered) {
            continue;
        }
        ++counts[where.kind];
        if (remembered < kRemembered) {
            dumped[remembered++] = value;
        } else {
            dumped[kRemembered - 1] = value;
        }
        DumpMemoryRows(receiver, 1, prefix.c_str(), value, 16, memory);
        if (where.kind >= 2) {
            AddReportLine(receiver, 1, ModuleLine(where));
        }
    }
}

// Everything the report can tell of the fault: where, the registers, the stack.
void ReportFault(int thread, std::uint32_t code, const char* name, const FAULT_RECORD* record,
                 CExceptionExtInfo* receiver) {
    const std::uintptr_t address = record ? record->address : 0;
    CMemoryReader memory;
    if (record != nullptr && record->stackSize > 0) {
        memory.SetSnapshot(record->sp, record->stack, record->stackSize);
    }
    std::string suffix;
    if (code == 0xC0000005 && record && record->parameterCount >= 2) {
        suffix = FormatText(", %s %I64X", record->parameters[0] ? "Wr" : "Rd",
                            static_cast<std::uint64_t>(record->parameters[1]));
    }
    AddReportLine(receiver, 0,
                  FormatText("Thr.%i unexp.prog.exc.%08X (%s) at %s%s", thread, code, name,
                             PointerText(address), suffix));
    DumpMemoryRows(receiver, 1, nullptr, address, 16, memory);
    CModuleAddressMap modules;
    const ADDRESS_LOCATION fault = modules.Locate(address, memory);
    if (fault.kind >= 2) {
        AddReportLine(receiver, 1, ModuleLine(fault));
    }
    if (record) {
        ReportRegisters(receiver, *record);
    }
    // The stack starts where the fault left the stack pointer.
    const std::uintptr_t stack = record ? record->sp : 0;
    AddReportLine(receiver, 1, "Stack:");
    DumpMemoryRows(receiver, 1, nullptr, stack, 64, memory);
    AddReportLine(receiver, 1, "Stack->:");
    ReportStackPointers(receiver, stack, modules, memory);
}

}  // namespace

std::string DescribeUnexpectedException(int thread, std::uint32_t code, const FAULT_RECORD* record,
                                        CExceptionExtInfo* receiver, const char* format) {
    const char* name = ExceptionName(code);
    if (receiver != nullptr) {
        ReportFault(thread, code, name, record, receiver);
    }
    if (format != nullptr && *format != '\0') {
        return format;
    }
    const std::uintptr_t address = record ? record->address : 0;
    return FormatText("Unexpected program exception %08X (%s) at %s", code, name,
                      PointerText(address));
}

}  // namespace vzrm
