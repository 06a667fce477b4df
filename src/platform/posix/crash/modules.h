// The modules (program and shared libraries) loaded in this process: where an
// address lies, and the loaded-modules block of a crash report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/crash/memory_rows.h"

namespace vzrm {

struct ADDRESS_LOCATION {
    int kind = 0;  // 0 unreadable, 1 outside every module, 2 the program, 3 another module
    std::uintptr_t base = 0;
    std::uintptr_t offset = 0;
    std::string fileName = "?";  // full path
    std::string namePart = "?";  // after the last slash
};

class CModuleAddressMap {
  public:
    ADDRESS_LOCATION Locate(std::uintptr_t address, const CMemoryReader& memory = LiveMemory());

  private:
    struct Range {
        std::uintptr_t start;
        std::uintptr_t end;
        std::string file;
    };
    void Build();

    std::vector<Range> modules_;  // [0] is the program; at most 256
    bool built_ = false;
};

// Modules one after another: base, size and a handle. Three sources, tried in
// this order: the dynamic linker's list (dl_iterate_phdr), the kernel's map of
// the process (/proc/self/maps), and the debugger's link map (r_debug).
class CModuleEnumerator {
  public:
    enum class Source { linker, procMaps, linkMap, none };

    class CBaseModuleEnumerator {
      public:
        struct Module {
            std::uintptr_t base = 0;
            std::size_t size = 0;
            std::string file;
        };
        virtual ~CBaseModuleEnumerator() = default;
        virtual void Reset() { next_ = 0; }
        // The next module's handle (its base), or 0 when the list is exhausted.
        virtual std::uintptr_t Next(std::uintptr_t& base, std::size_t& size, std::string& file);

      protected:
        virtual std::vector<Module> List() = 0;

      private:
        std::vector<Module> modules_;
        std::size_t next_ = 0;
        bool listed_ = false;
    };
    class CLinkerModuleEnumerator;
    class CProcMapsModuleEnumerator;
    class CLinkMapModuleEnumerator;

    // The first source this system supports, or the one asked for.
    explicit CModuleEnumerator(Source source = Source::none);
    std::uintptr_t Next(std::uintptr_t& base, std::size_t& size, std::string& file);
    Source Used() const { return used_; }

  private:
    std::unique_ptr<CBaseModuleEnumerator> enumerator_;
    Source used_ = Source::none;
};

// Lines sorted ascending without regard to case, by passes of neighbour swaps.
class CSortedStrArray : public std::vector<std::string> {
  public:
    void Sort();
};

// "LOADED MODULES >> ===..." then "BASE-END [file]" per module, by base.
std::string DescribeLoadedModules();

// The path of the running program.
std::string ProgramPath();

}  // namespace vzrm
