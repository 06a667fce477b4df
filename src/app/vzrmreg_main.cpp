// vzrmreg: the registry store's command-line tool, in the manner of reg.exe.
//   vzrmreg query  KEY [/v NAME] [/s]
//   vzrmreg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
//   vzrmreg delete KEY [/v NAME | /ve] [/f]
//   vzrmreg import FILE.reg
//   vzrmreg export KEY FILE.reg
// KEY is HKLM\... or HKCU\... (or HKEY_LOCAL_MACHINE\..., HKEY_CURRENT_USER\...).
// The store is the one $VZRM_REGISTRY_DIR names (see the design notes).
// Exit status: 0 success, 1 failure (with a message naming the key or value).

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/output_check.h"
#include "app/tool_version.h"
#include "base/error_texts.h"
#include "formats/reg_file.h"
#include "platform/error_codes.h"
#include "platform/posix/errno_map.h"
#include "platform/posix/posix_services.h"
#include "platform/posix/standard_streams.h"
#include "platform/services.h"

namespace {

using namespace vzrm;
using namespace vzrm::formats;
using namespace vzrm::platform;

constexpr char kUsage[] =
    "usage: vzrmreg query  KEY [/v NAME] [/s]\n"
    "       vzrmreg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
    "       vzrmreg delete KEY [/v NAME | /ve] [/f]\n"
    "       vzrmreg import FILE.reg\n"
    "       vzrmreg export KEY FILE.reg\n"
    "       vzrmreg --help | --version\n"
    "KEY: HKLM\\... or HKCU\\...; TYPE: REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY, "
    "REG_MULTI_SZ\n"
    "See vzrmreg(1).\n";

int Usage() {
    std::cerr << kUsage;
    return 1;
}

int Fail(const std::string& what, std::int32_t code) {
    std::cerr << "vzrmreg: " << what << ": " << SystemErrorText(code) << " (" << code << ")\n";
    return 1;
}

struct Arguments {
    std::string key;
    std::string name;
    bool named = false;  // /v or /ve given
    std::string type = "REG_SZ";
    std::string data;
    bool recursive = false;
    bool force = false;
};

bool ParseSwitches(int argc, char** argv, int from, Arguments& a) {
    for (int i = from; i < argc; ++i) {
        std::string s = argv[i];
        for (char& c : s) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        auto next = [&](std::string& into) {
            if (i + 1 >= argc) {
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (s == "/v" || s == "-v") {
            if (!next(a.name))
                return false;
            a.named = true;
        } else if (s == "/ve" || s == "-ve") {
            a.name.clear();
            a.named = true;
        } else if (s == "/t" || s == "-t") {
            if (!next(a.type))
                return false;
        } else if (s == "/d" || s == "-d") {
            if (!next(a.data))
                return false;
        } else if (s == "/s" || s == "-s") {
            a.recursive = true;
        } else if (s == "/f" || s == "-f") {
            a.force = true;
        } else {
            std::cerr << "vzrmreg: unknown switch " << argv[i] << "\n";
            return false;
        }
    }
    return true;
}

std::string TypeName(std::uint32_t type) {
    static const std::map<std::uint32_t, std::string> kNames = {
        {REG_NONE, "REG_NONE"},     {REG_SZ, "REG_SZ"},       {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
        {REG_BINARY, "REG_BINARY"}, {REG_DWORD, "REG_DWORD"}, {REG_MULTI_SZ, "REG_MULTI_SZ"}};
    const auto it = kNames.find(type);
    return it != kNames.end() ? it->second : "REG_" + std::to_string(type);
}

std::string ValueText(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const std::string text(data.begin(), data.end());
        return text.substr(0, text.find('\0'));
    }
    if (type == REG_MULTI_SZ) {
        std::string text;
        for (std::uint8_t b : data) {
            text += b == 0 ? "\\0" : std::string(1, static_cast<char>(b));
        }
        while (text.size() >= 4 && text.compare(text.size() - 4, 4, "\\0\\0") == 0) {
            text.erase(text.size() - 2);
        }
        return text;
    }
    if (type == REG_DWORD && data.size() == 4) {
        char hex[16];
        std::snprintf(
            hex, sizeof hex, "0x%x",
            data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24);
        return hex;
    }
    std::string text;
    for (std::uint8_t b : data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    return text;
}

int Query(HKEY root, const std::string& path, const Arguments& a, bool top) {
    HKEY key = 0;
    const std::string where = RegistryRootFullName(root) + (path.empty() ? "" : "\\" + path);
    if (const std::int32_t error = Registry().OpenKey(root, path, KEY_READ, key)) {
        return Fail(where, error);
    }
    std::cout << (top ? "\n" : "") << where << "\n";
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool found = !a.named;
    std::int32_t listed = kErrorSuccess;
    for (std::uint32_t i = 0;
         (listed = Registry().EnumValue(key, i, name, type, data)) == kErrorSuccess; ++i) {
        if (a.named && name != a.name) {
            continue;
        }
        found = true;
        std::cout << "    " << (name.empty() ? "(Default)" : name) << "    " << TypeName(type)
                  << "    " << ValueText(type, data) << "\n";
    }
    std::vector<std::string> subkeys;
    if (const std::int32_t error = formats::ListSubkeysAndClose(key, listed, subkeys)) {
        return Fail(where, error);
    }
    if (!found) {
        return Fail(where + " value \"" + a.name + "\"", kErrorFileNotFound);
    }
    std::cout << "\n";
    for (const std::string& sub : subkeys) {
        const std::string child = path.empty() ? sub : path + "\\" + sub;
        if (a.recursive) {
            if (Query(root, child, a, false) != 0) {
                return 1;
            }
        } else if (!a.named) {
            std::cout << RegistryRootFullName(root) << "\\" << child << "\n";
        }
    }
    return 0;
}

bool ValueBytes(const Arguments& a, std::uint32_t& type, std::vector<std::uint8_t>& data,
                std::string& why) {
    const std::map<std::string, std::uint32_t> kTypes = {{"REG_SZ", REG_SZ},
                                                         {"REG_EXPAND_SZ", REG_EXPAND_SZ},
                                                         {"REG_DWORD", REG_DWORD},
                                                         {"REG_BINARY", REG_BINARY},
                                                         {"REG_MULTI_SZ", REG_MULTI_SZ}};
    const auto known = kTypes.find(a.type);
    if (known == kTypes.end()) {
        why = "unknown type " + a.type;
        return false;
    }
    type = known->second;
    data.clear();
    switch (type) {
        case REG_DWORD: {
            char* end = nullptr;
            const unsigned long long value = std::strtoull(a.data.c_str(), &end, 0);
            if (a.data.empty() || *end != '\0' || value > 0xFFFFFFFFull) {
                why = "REG_DWORD data must be a number (decimal or 0x...)";
                return false;
            }
            for (int i = 0; i < 4; ++i) {
                data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
            }
            return true;
        }
        case REG_BINARY:
            for (std::size_t i = 0; i + 1 < a.data.size() + 1; i += 2) {
                if (i + 1 >= a.data.size() ||
                    !std::isxdigit(static_cast<unsigned char>(a.data[i])) ||
                    !std::isxdigit(static_cast<unsigned char>(a.data[i + 1]))) {
                    why = "REG_BINARY data must be pairs of hex digits";
                    return false;
                }
                data.push_back(
                    static_cast<std::uint8_t>(std::stoul(a.data.substr(i, 2), nullptr, 16)));
            }
            return true;
        case REG_MULTI_SZ:
            for (std::size_t i = 0; i < a.data.size(); ++i) {
                if (a.data.compare(i, 2, "\\0") == 0) {
                    data.push_back(0);
                    ++i;
                } else {
                    data.push_back(static_cast<std::uint8_t>(a.data[i]));
                }
            }
            data.push_back(0);
            data.push_back(0);
            return true;
        default:
            data.assign(a.data.begin(), a.data.end());
            data.push_back(0);
            return true;
    }
}

int Add(HKEY root, const std::string& path, const Arguments& a) {
    const std::string where = RegistryRootFullName(root) + "\\" + path;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    std::string why;
    if (a.named && !ValueBytes(a, type, data, why)) {
        std::cerr << "vzrmreg: " << where << ": " << why << "\n";
        return 1;
    }
    HKEY key = 0;
    if (const std::int32_t error = Registry().CreateKey(root, path, KEY_ALL_ACCESS, key)) {
        return Fail(where, error);
    }
    std::int32_t error = kErrorSuccess;
    if (a.named) {
        std::uint32_t size = 0;
        if (!a.force &&
            Registry().QueryValue(key, a.name, nullptr, nullptr, size) == kErrorSuccess) {
            Registry().CloseKey(key);
            std::cerr << "vzrmreg: " << where << " value \"" << a.name
                      << "\" exists; add /f to overwrite it\n";
            return 1;
        }
        error = Registry().SetValue(key, a.name, type, data.data(),
                                    static_cast<std::uint32_t>(data.size()));
    }
    Registry().CloseKey(key);
    return error ? Fail(where + (a.named ? " value \"" + a.name + "\"" : ""), error) : 0;
}

int Delete(HKEY root, const std::string& path, const Arguments& a) {
    const std::string where = RegistryRootFullName(root) + "\\" + path;
    if (!a.named) {
        const std::int32_t error = Registry().DeleteTree(root, path);
        return error ? Fail(where, error) : 0;
    }
    HKEY key = 0;
    std::int32_t error = Registry().OpenKey(root, path, KEY_ALL_ACCESS, key);
    if (error == kErrorSuccess) {
        error = Registry().DeleteValue(key, a.name);
        Registry().CloseKey(key);
    }
    return error ? Fail(where + " value \"" + a.name + "\"", error) : 0;
}

int Import(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return Fail(file, kErrorFileNotFound);
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    std::vector<REG_FILE_CHANGE> changes;
    std::string error;
    if (!ParseRegFile(bytes, changes, error)) {
        std::cerr << "vzrmreg: " << file << ": " << error << " (nothing was changed)\n";
        return 1;
    }
    if (const std::int32_t code = ApplyRegFile(changes, error)) {
        return Fail(file + ": " + error + " (nothing was changed)", code);
    }
    return 0;
}

int Export(HKEY root, const std::string& path, const std::string& file) {
    std::string text;
    if (const std::int32_t error = ExportRegFile(root, path, text)) {
        return Fail(RegistryRootFullName(root) + (path.empty() ? "" : "\\" + path), error);
    }
    const std::vector<std::uint8_t> bytes = RegFileBytes(text);
    if (const std::int32_t error = posix::ReplaceFile(file, bytes)) {
        return Fail(file, error);
    }
    return 0;
}

int Main(int argc, char** argv) {
    vzrm::platform::SetDefaultServices(vzrm::platform::posix::DefaultServices());
    const std::string first = argc == 2 ? argv[1] : "";
    if (first == "--help" || first == "-h" || first == "/?") {
        std::cout << kUsage;
        return 0;
    }
    if (first == "--version") {
        std::cout << ToolVersionText("vzrmreg");
        return 0;
    }
    if (argc < 3) {
        return Usage();
    }
    std::string command = argv[1];
    for (char& c : command) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (command == "import") {
        return argc == 3 ? Import(argv[2]) : Usage();
    }
    HKEY root = 0;
    std::string path;
    if (!SplitKeyName(argv[2], root, path)) {
        std::cerr << "vzrmreg: " << argv[2] << ": the key must start with HKLM\\ or HKCU\\\n";
        return 1;
    }
    if (command == "export") {
        return argc == 4 ? Export(root, path, argv[3]) : Usage();
    }
    Arguments a;
    if (!ParseSwitches(argc, argv, 3, a)) {
        return Usage();
    }
    if (command == "query") {
        return Query(root, path, a, true);
    }
    if (path.empty()) {
        std::cerr << "vzrmreg: " << argv[2] << ": a whole hive cannot be changed\n";
        return 1;
    }
    if (command == "add") {
        return Add(root, path, a);
    }
    if (command == "delete") {
        return Delete(root, path, a);
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    return vzrm::CheckedOutputStatus(Main(argc, argv), "vzrmreg");
}
