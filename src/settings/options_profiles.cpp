#include "settings/options_profiles.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "base/case_fold.h"
#include "base/error_texts.h"
#include "base/format_text.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "base/time_texts.h"
#include "platform/error_codes.h"
#include "platform/named_mutex.h"
#include "settings/option_names.h"
#include "settings/option_registry.h"

namespace vzrm {
namespace {

constexpr std::uint32_t kOptionsMutexWaitMs = 5000;

// The profile id of a top-level pack item: its name as a decimal number.
bool ProfileId(const COptItem& item, std::int32_t& id) {
    if (item.type != OPT_PACK || item.name.empty()) {
        return false;
    }
    char* end = nullptr;
    const long value = std::strtol(item.name.c_str(), &end, 10);
    if (*end != '\0') {
        return false;
    }
    id = static_cast<std::int32_t>(value);
    return true;
}

COptPack& SubPack(COptPack& pack, const std::string& name) {
    COptItem* item = pack.Find(name);
    if (item == nullptr || item->type != OPT_PACK || item->packs.empty()) {
        item = pack.Add(COptItem::Pack(name, std::make_unique<COptPack>()));
    }
    return *item->packs[0];
}

std::string Indent(std::size_t depth) {
    return std::string(2 * std::min<std::size_t>(depth, 500), ' ');
}

void DumpPack(const COptPack& pack, std::size_t depth, std::string& out);

void DumpElement(const COptItem& item, std::size_t index, std::size_t depth, std::string& out) {
    switch (item.type) {
        case OPT_INT: {
            const std::int32_t v = item.ints[index];
            out += FormatText("= %d", v);
            if (v > 9) {
                out += FormatText(" (0x%X)", v);
            }
            out += "\r\n";
            break;
        }
        case OPT_STR:
            out += "= \"" + item.strs[index] + "\"\r\n";
            break;
        case OPT_BIN:
        case OPT_BINX: {
            const std::vector<std::uint8_t>& block = item.bins[index];
            out += FormatText("(%d) = ", static_cast<int>(block.size()));
            for (std::uint8_t b : block) {
                out += FormatText("%02X ", b);
            }
            out += " [";
            for (std::uint8_t b : block) {
                out.push_back(b < 32 ? '.' : static_cast<char>(b));
            }
            out += "]\r\n";
            break;
        }
        case OPT_PACK:
            DumpPack(*item.packs[index], depth, out);
            break;
        default:
            out += "\r\n";
            break;
    }
}

void DumpPack(const COptPack& pack, std::size_t depth, std::string& out) {
    if (depth == 0) {
        out += "pack[0] ";
    }
    if (pack.binx != 0) {
        out += FormatText("(e%d)\r\n", pack.binx);
    }
    out += "\r\n" + Indent(depth) + "------------------------------\r\n";
    for (const auto& item : pack.Items()) {
        out += Indent(depth + 1) + "\"" + item->name + "\" ";
        const std::uint32_t count = item->Count();
        if (item->type == OPT_PACK || item->type == OPT_BINX || count != 1) {
            static const char* const kWords[] = {"pack", "int", "str", "bin", "???", "(binx)"};
            const bool known = item->type >= 0 && item->type <= 5 && item->type != 4;
            out += FormatText("%s ", known ? kWords[item->type] : "???");
        }
        if (count != 1) {
            out += FormatText("(%d)\r\n", count);
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            if (count != 1) {
                out += Indent(depth + 1) + FormatText("[%d] ", i);
            }
            DumpElement(*item, i, depth + 1, out);
        }
    }
}

// A named mutex held for the scope, or the code of the failed wait.
class HeldMutex {
  public:
    HeldMutex(const std::string& name, CErrorInfo& record) {
        error_ = platform::OpenNamedMutex(name, mutex_, &record);
        opened_ = error_ == platform::kErrorSuccess;
        if (opened_) {
            error_ = mutex_->Wait(kOptionsMutexWaitMs);
        }
    }
    ~HeldMutex() {
        if (error_ == platform::kErrorSuccess) {
            mutex_->Release();
        }
    }
    HeldMutex(const HeldMutex&) = delete;
    HeldMutex& operator=(const HeldMutex&) = delete;
    std::int32_t Error() const { return error_; }
    // False when the mutex could not even be opened (the record says why).
    bool Opened() const { return opened_; }

  private:
    bool opened_ = false;
    std::unique_ptr<platform::INamedMutex> mutex_;
    std::int32_t error_;
};

}  // namespace

COptProf::COptProf()
    : profiles_(std::make_unique<COptPack>()), overrides_(std::make_unique<COptPack>()) {
    overrides_->ignoreCase = true;
}

COptProf::~COptProf() = default;

bool COptProf::ParseCommandLine(int, const char* const*) {
    return true;
}
void COptProf::CopyFrom(const COptProf& other) {
    const std::scoped_lock guard(lock_, other.lock_);
    profiles_ = other.profiles_->Clone();
}
bool COptProf::CheckOptions() {
    return true;
}
std::int32_t COptProf::IntHook() {
    return 0;
}
std::int32_t COptProf::DefaultBool(const std::string&) {
    return 0;
}
double COptProf::RealHook() {
    return 0.0;
}
std::string COptProf::DefaultStr(const std::string&) {
    return {};
}
std::int32_t COptProf::BinHook() {
    return 0;
}
std::uint32_t COptProf::DefaultBin(const std::string&, std::uint8_t*, std::uint32_t) {
    return 0;
}
std::int32_t COptProf::BinHook2() {
    return 0;
}
bool COptProf::AcceptHook() {
    return true;
}
bool COptProf::AcceptBool(const std::string&, bool) {
    return true;
}
bool COptProf::AcceptHook2() {
    return true;
}
bool COptProf::AcceptStr(const std::string&, const std::string&) {
    return true;
}
bool COptProf::AcceptHook3() {
    return true;
}
bool COptProf::AcceptBin(const std::string&, const std::uint8_t*, std::uint32_t) {
    return true;
}
bool COptProf::AcceptHook4() {
    return true;
}

COptItem* COptProf::FindProfile(std::int32_t id) const {
    for (const auto& item : profiles_->Items()) {
        std::int32_t itemId = 0;
        if (ProfileId(*item, itemId) && itemId == id) {
            return item.get();
        }
    }
    return nullptr;
}

COptItem* COptProf::GeneralProfile() {
    if (COptItem* general = FindProfile(kGeneralProfileId)) {
        return general;
    }
    auto pack = std::make_unique<COptPack>();
    pack->Add(COptItem::Str(kOptNameProf, "General profile (999999)"));
    return profiles_->Add(COptItem::Pack(std::to_string(kGeneralProfileId), std::move(pack)));
}

COptPack& COptProf::GeneralOptions() {
    return SubPack(*GeneralProfile()->packs[0], "Options");
}

std::int32_t COptProf::ProfileCount() const {
    std::int32_t count = 0;
    for (const auto& item : profiles_->Items()) {
        std::int32_t id = 0;
        count += ProfileId(*item, id) && id != kGeneralProfileId ? 1 : 0;
    }
    return count;
}

std::int32_t COptProf::ProfileIdAt(std::int32_t index) const {
    for (const auto& item : profiles_->Items()) {
        std::int32_t id = 0;
        if (ProfileId(*item, id) && id != kGeneralProfileId && index-- == 0) {
            return id;
        }
    }
    return -1;
}

COptItem* COptProf::ActiveProfile() {
    const COptItem* active = profiles_->Find(kOptActiveProf);
    if (active != nullptr && active->type == OPT_INT && !active->ints.empty()) {
        if (COptItem* profile = FindProfile(active->ints[0])) {
            return profile;
        }
    }
    if (ProfileCount() > 0) {
        SetActiveProfile(ProfileIdAt(0));
    } else {
        SetActiveProfile(0);
        auto pack = std::make_unique<COptPack>();
        pack->Add(COptItem::Str(kOptNameProf, LoadResourceText(kTextDefaultProfile)));
        profiles_->Add(COptItem::Pack("0", std::move(pack)));
    }
    return FindProfile(profiles_->Find(kOptActiveProf)->ints[0]);
}

COptPack& COptProf::ProfilePack(const std::string& name) {
    return SubPack(*ActiveProfile()->packs[0], name);
}

void COptProf::SetActiveProfile(std::int32_t id) {
    profiles_->Add(COptItem::Int(kOptActiveProf, id));
}

const COptItem* COptProf::Lookup(const std::string& name) {
    if (const COptItem* item = overrides_->Find(name)) {
        return item;
    }
    if (const COptItem* item = GeneralOptions().Find(name)) {
        return item;
    }
    return ProfileOptions().Find(name);
}

std::string COptProf::GetOptStr(const std::string& name) {
    const std::lock_guard guard(lock_);
    const COptItem* item = Lookup(name);
    if (item != nullptr && item->type == OPT_STR && !item->strs.empty() &&
        AcceptStr(name, item->strs[0])) {
        return item->strs[0];
    }
    return DefaultStr(name);
}

bool COptProf::GetOptBool(const std::string& name) {
    const std::lock_guard guard(lock_);
    const COptItem* item = Lookup(name);
    if (item != nullptr && item->type == OPT_INT && !item->ints.empty()) {
        const bool value = item->ints[0] != 0;
        if (AcceptBool(name, value)) {
            return value;
        }
    }
    return DefaultBool(name) != 0;
}

std::uint32_t COptProf::GetOptBin(const std::string& name, std::uint8_t* buffer,
                                  std::uint32_t size) {
    const std::lock_guard guard(lock_);
    const COptItem* item = Lookup(name);
    if (item != nullptr && item->type == OPT_BIN && !item->bins.empty() && !item->bins[0].empty()) {
        const std::vector<std::uint8_t>& stored = item->bins[0];
        const auto storedSize = static_cast<std::uint32_t>(stored.size());
        if (AcceptBin(name, stored.data(), storedSize)) {
            if (buffer != nullptr) {
                std::copy_n(stored.begin(), std::min(size, storedSize), buffer);
            }
            return storedSize;
        }
    }
    return DefaultBin(name, buffer, size);
}

void COptProf::SetOptStr(const std::string& name, const std::string& value, bool general) {
    if (name.empty()) {
        return;
    }
    const std::lock_guard guard(lock_);
    (general ? GeneralOptions() : ProfileOptions()).Add(COptItem::Str(name, value));
}

void COptProf::SetOptBin(const std::string& name, const std::uint8_t* data, std::uint32_t size,
                         bool general) {
    const std::lock_guard guard(lock_);
    COptPack& pack = general ? GeneralOptions() : ProfileOptions();
    if (data != nullptr && size != 0) {
        pack.Add(COptItem::Bin(name, std::vector<std::uint8_t>(data, data + size)));
    } else {
        pack.Remove(name);
    }
}

std::string COptProf::MutexName() const {
    std::string name = FormatText("%s\\%s_ZRMOPT", platform::RegistryRootName(root_), path_);
    if (name.size() > 258) {
        name = name.substr(name.size() - 258);
    }
    for (char& c : name) {
        c = c == '\\' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

bool COptProf::ReadRegOpt(const std::string& appKey, platform::HKEY root) {
    {
        const std::lock_guard guard(lock_);
        path_ = appKey.empty() ? std::string() : appKey + "\\Profiles";
        root_ = root;
    }
    const std::string mutexName = MutexName();
    {
        HeldMutex held(mutexName, g_errorInfo);
        if (!held.Opened()) {
            g_errorInfo.AddErrPoint("LWE1B1PIKG5IOG3");
            return false;
        }
        if (held.Error() != platform::kErrorSuccess) {
            readFailed_ = true;
            g_errorInfo.SetError("LWE1B1PIKG5IOG3", platform::kErrorTimeout, "",
                                 StrgLine(mutexName));
            return false;
        }
        const std::lock_guard guard(lock_);
        profiles_->Clear();
        absent_ = false;
        const std::int32_t result = ReadPack(*profiles_, root_, path_);
        readFailed_ = result != platform::kErrorSuccess && result != platform::kErrorFileNotFound;
        if (result == platform::kErrorFileNotFound) {
            absent_ = true;
        } else if (result != platform::kErrorSuccess) {
            g_errorInfo.SetError("RZK7VW47FGGSBNA", result, "",
                                 StrgLine(path_) + RootKeyLine(root_));
            return false;
        }
    }
    {
        const std::lock_guard guard(lock_);
        ActiveProfile();
    }
    if (!CheckOptions()) {
        g_errorInfo.AddErrPoint("SCOHYQF4BJ67U91");
        return false;
    }
    return true;
}

bool COptProf::WriteRegOpt(CErrorInfo* record) {
    CErrorInfo& into = record ? *record : g_errorInfo;
    if (root_ == 0 || path_.empty()) {
        return true;
    }
    if (readFailed_) {
        into.SetError("HNVQWZRKEOPLTGA", platform::kErrorInvalidData, "",
                      StrgLine(path_) + RootKeyLine(root_));
        return false;
    }
    const std::string mutexName = MutexName();
    HeldMutex held(mutexName, into);
    if (!held.Opened()) {
        into.AddErrPoint("LXLE5NS3H6RDBSE");
        return false;
    }
    if (held.Error() != platform::kErrorSuccess) {
        into.SetError("LXLE5NS3H6RDBSE", platform::kErrorTimeout, "", StrgLine(mutexName));
        return false;
    }
    std::unique_ptr<COptPack> snapshot;
    {
        const std::lock_guard guard(lock_);
        snapshot = profiles_->Clone();
    }
    const std::int32_t result = WritePack(*snapshot, root_, path_);
    if (result != platform::kErrorSuccess) {
        into.SetError("7BPMSXEP5EIUGFE", result, "", StrgLine(path_) + RootKeyLine(root_));
        return false;
    }
    return true;
}

std::string COptProf::DumpText() {
    const std::lock_guard guard(lock_);
    profiles_->Sort();
    return PackText(*profiles_);
}

std::string PackText(const COptPack& pack) {
    std::string out;
    DumpPack(pack, 0, out);
    return out;
}

bool CMainOpt::AcceptStr(const std::string& name, const std::string& value) {
    return !EqualNoCase(name, kOptLogFold) || value.find_first_of("\r\n") == std::string::npos;
}

}  // namespace vzrm
