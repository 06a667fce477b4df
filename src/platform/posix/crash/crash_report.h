// The crash report: what a processor fault looked like, as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/crash/crash_lines.h"
#include "platform/posix/crash/memory_rows.h"

namespace vzrm {

// The Windows name of an exception code ("ACCESS_VIOLATION"), "?" for others.
const char* ExceptionName(std::uint32_t code);

// What the signal handler keeps of a fault: plain data, filled without
// allocating, so that it can be taken inside the handler.
struct FAULT_RECORD {
    std::uint32_t code = 0;      // Windows exception code
    std::uintptr_t address = 0;  // where the fault happened (the instruction)
    std::uint32_t parameterCount = 0;
    std::uintptr_t parameters[2] = {};  // access violation: 1 write / 0 read, the address
    bool hasControl = false;            // stack, frame and instruction pointers, flags
    bool hasInteger = false;            // the general registers
    std::uintptr_t sp = 0, bp = 0, ip = 0, flags = 0;
    std::uintptr_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0;
    std::uintptr_t r[8] = {};  // r8 to r15 on x86-64
    // The faulting thread's stack from `sp`, copied before it was reused.
    std::uint8_t stack[16384] = {};
    std::size_t stackSize = 0;
};

// A frame marker that instrumented code may leave on its stack.
struct TRACE_RECORD {
    std::uint32_t magic;  // kTraceEnter or kTraceLeave
    const char* path;
    std::uint32_t pathLength;
    std::uint32_t line;
    std::uint32_t value1;
    std::uint32_t value2;
};
inline constexpr std::uint32_t kTraceEnter = 0xA4B32A1C;
inline constexpr std::uint32_t kTraceLeave = 0x1B272E7B;

// Prints a trace record at `address`; false when there is none.
bool DumpTraceRecord(std::uintptr_t address, std::uint32_t level, const std::string& prefix,
                     CExceptionExtInfo* receiver, const CMemoryReader& memory = LiveMemory());

class C_Exception;

// The C_Exception for a fault: code, short message, the report and the modules.
C_Exception* TranslateStructuredException(std::uint32_t code, const FAULT_RECORD& record);

// Writes the report's lines to `receiver` (when given) and returns the short message.
std::string DescribeUnexpectedException(int thread, std::uint32_t code, const FAULT_RECORD* record,
                                        CExceptionExtInfo* receiver, const char* format = nullptr);

}  // namespace vzrm
