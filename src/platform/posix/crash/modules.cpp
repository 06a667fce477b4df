#include "platform/posix/crash/modules.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/case_fold.h"

namespace vzrm {
namespace {

std::string NamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every loaded object with the range its loadable segments cover.
std::vector<CModuleEnumerator::CBaseModuleEnumerator::Module> LinkerModules() {
    std::vector<CModuleEnumerator::CBaseModuleEnumerator::Module> modules;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* list =
                static_cast<std::vector<CModuleEnumerator::CBaseModuleEnumerator::Module>*>(data);
            std::uintptr_t low = UINTPTR_MAX;
            std::uintptr_t high = 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                if (segment.p_type == PT_LOAD) {
                    low = std::min<std::uintptr_t>(low, info->dlpi_addr + segment.p_vaddr);
                    high = std::max<std::uintptr_t>(
                        high, info->dlpi_addr + segment.p_vaddr + segment.p_memsz);
                }
            }
            if (low < high) {
                const std::string name =
                    info->dlpi_name && *info->dlpi_name ? info->dlpi_name : ProgramPath();
                list->push_back({low, high - low, name});
            }
            return 0;
        },
        &modules);
    return modules;
}

}  // namespace

std::string ProgramPath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string("?");
}

void CModuleAddressMap::Build() {
    built_ = true;
    for (const auto& module : LinkerModules()) {
        if (modules_.size() < 256) {
            modules_.push_back({module.base, module.base + module.size, module.file});
        }
    }
}

ADDRESS_LOCATION CModuleAddressMap::Locate(std::uintptr_t address, const CMemoryReader& memory) {
    ADDRESS_LOCATION location;
    if (address < 0x10000 || !memory.Readable(address, 1)) {
        return location;
    }
    location.kind = 1;
    if (!built_) {
        Build();
    }
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        if (modules_[i].start <= address && address < modules_[i].end) {
            location.kind = i == 0 ? 2 : 3;
            location.base = modules_[i].start;
            location.offset = address - modules_[i].start;
            location.fileName = modules_[i].file.empty() ? "?" : modules_[i].file;
            location.namePart = NamePart(location.fileName);
            break;
        }
    }
    return location;
}

std::uintptr_t CModuleEnumerator::CBaseModuleEnumerator::Next(std::uintptr_t& base,
                                                              std::size_t& size,
                                                              std::string& file) {
    if (!listed_) {
        modules_ = List();
        listed_ = true;
    }
    if (next_ >= modules_.size()) {
        return 0;
    }
    const Module& module = modules_[next_++];
    base = module.base;
    size = module.size;
    file = module.file;
    return module.base;
}

class CModuleEnumerator::CLinkerModuleEnumerator final : public CBaseModuleEnumerator {
    std::vector<Module> List() override { return LinkerModules(); }
};

// Mapped files of the process, one module per file: from its lowest mapping
// to the end of its highest.
class CModuleEnumerator::CProcMapsModuleEnumerator final : public CBaseModuleEnumerator {
    std::vector<Module> List() override {
        std::vector<Module> modules;
        std::ifstream maps("/proc/self/maps");
        std::string line;
        while (std::getline(maps, line)) {
            std::istringstream fields(line);
            std::string range, perms, offset, device, inode, path;
            fields >> range >> perms >> offset >> device >> inode;
            std::getline(fields >> std::ws, path);
            if (path.empty() || path[0] != '/') {
                continue;
            }
            const std::size_t dash = range.find('-');
            const std::uintptr_t start = std::stoull(range.substr(0, dash), nullptr, 16);
            const std::uintptr_t end = std::stoull(range.substr(dash + 1), nullptr, 16);
            if (!modules.empty() && modules.back().file == path) {
                modules.back().size = end - modules.back().base;
            } else {
                modules.push_back({start, end - start, path});
            }
        }
        return modules;
    }
};

// The dynamic linker's list for debuggers: names and load biases; the ranges
// come from the linker's program headers of each object.
class CModuleEnumerator::CLinkMapModuleEnumerator final : public CBaseModuleEnumerator {
    std::vector<Module> List() override {
        std::vector<Module> modules;
        const std::vector<Module> ranges = LinkerModules();
        for (const link_map* map = _r_debug.r_map; map != nullptr; map = map->l_next) {
            const std::string name = map->l_name && *map->l_name ? map->l_name : ProgramPath();
            for (const Module& range : ranges) {
                if (range.file == name) {
                    modules.push_back(range);
                    break;
                }
            }
        }
        return modules;
    }
};

CModuleEnumerator::CModuleEnumerator(Source source) {
    // The linker's list is always there on Linux; the others stand behind it.
    used_ = source == Source::none ? Source::linker : source;
    switch (used_) {
        case Source::linker:
            enumerator_ = std::make_unique<CLinkerModuleEnumerator>();
            break;
        case Source::procMaps:
            enumerator_ = std::make_unique<CProcMapsModuleEnumerator>();
            break;
        case Source::linkMap:
            enumerator_ = std::make_unique<CLinkMapModuleEnumerator>();
            break;
        case Source::none:
            break;
    }
}

std::uintptr_t CModuleEnumerator::Next(std::uintptr_t& base, std::size_t& size, std::string& file) {
    return enumerator_ ? enumerator_->Next(base, size, file) : 0;
}

void CSortedStrArray::Sort() {
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (std::size_t i = 1; i < size(); ++i) {
            if (FoldCase((*this)[i - 1]) > FoldCase((*this)[i])) {
                std::swap((*this)[i - 1], (*this)[i]);
                swapped = true;
            }
        }
    }
}

std::string DescribeLoadedModules() {
    std::string text = "LOADED MODULES >> ===========================\r\n";
    CModuleEnumerator modules;
    CSortedStrArray lines;
    std::uintptr_t base = 0;
    std::size_t size = 0;
    std::string file;
    while (modules.Next(base, size, file) != 0) {
        lines.push_back(PointerText(base) + "-" + PointerText(base + size) + " [" +
                        file.substr(0, 520) + "]\r\n");
    }
    lines.Sort();
    for (const std::string& line : lines) {
        text += line;
    }
    return text + "LOADED MODULES << ===========================\r\n";
}

}  // namespace vzrm
