// Options and profiles: the option pack of the program, read from and written
// to the registry, with the command line's overrides on top.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "base/error_info.h"
#include "platform/registry.h"
#include "settings/option_pack.h"

namespace vzrm {

inline constexpr std::int32_t kGeneralProfileId = 999999;

class COptProf {
  public:
    COptProf();
    virtual ~COptProf();
    COptProf(const COptProf&) = delete;
    COptProf& operator=(const COptProf&) = delete;

    // The overridable operations, in slot order.
    virtual bool ParseCommandLine(int argc, const char* const* argv);  // 0
    virtual void CopyFrom(const COptProf& other);                      // 1
    virtual bool CheckOptions();                                       // 2
    virtual std::int32_t IntHook();                                    // 3
    virtual std::int32_t DefaultBool(const std::string& name);         // 4
    virtual double RealHook();                                         // 5
    virtual std::string DefaultStr(const std::string& name);           // 6
    virtual std::int32_t BinHook();                                    // 7
    virtual std::uint32_t DefaultBin(const std::string& name, std::uint8_t* buffer,
                                     std::uint32_t size);                       // 8
    virtual std::int32_t BinHook2();                                            // 9
    virtual bool AcceptHook();                                                  // 10
    virtual bool AcceptBool(const std::string& name, bool value);               // 11
    virtual bool AcceptHook2();                                                 // 12
    virtual bool AcceptStr(const std::string& name, const std::string& value);  // 13
    virtual bool AcceptHook3();                                                 // 14
    virtual bool AcceptBin(const std::string& name, const std::uint8_t* data,
                           std::uint32_t size);  // 15
    virtual bool AcceptHook4();                  // 16

    // Profiles.
    COptItem* FindProfile(std::int32_t id) const;
    COptItem* GeneralProfile();
    COptPack& GeneralOptions();
    std::int32_t ProfileCount() const;
    std::int32_t ProfileIdAt(std::int32_t index) const;
    COptItem* ActiveProfile();
    COptPack& ProfilePack(const std::string& name);
    COptPack& ProfileOptions() { return ProfilePack("Options"); }
    void SetActiveProfile(std::int32_t id);

    // Options.
    std::string GetOptStr(const std::string& name);
    bool GetOptBool(const std::string& name);
    std::uint32_t GetOptBin(const std::string& name, std::uint8_t* buffer, std::uint32_t size);
    void SetOptStr(const std::string& name, const std::string& value, bool general = false);
    void SetOptBin(const std::string& name, const std::uint8_t* data, std::uint32_t size,
                   bool general = false);

    // Persistence; failures are recorded (ReadRegOpt in g_errorInfo). A pack
    // whose read failed holds only part of the stored options, so it is never
    // written back over them: WriteRegOpt then fails until a read succeeds.
    bool ReadRegOpt(const std::string& appKey, platform::HKEY root);
    bool WriteRegOpt(CErrorInfo* record = nullptr);
    // The text of the profiles pack for error reports; sorts the pack first.
    std::string DumpText();

    COptPack& Profiles() { return *profiles_; }
    COptPack& Overrides() { return *overrides_; }
    const std::string& Path() const { return path_; }
    platform::HKEY Root() const { return root_; }
    bool AbsentAtLastRead() const { return absent_; }
    bool ReadFailed() const { return readFailed_; }
    // "HKCU_SOFTWARE_QUORVIX_VELMORAZRMAUDITOR_PROFILES_ZRMOPT"
    std::string MutexName() const;

  private:
    const COptItem* Lookup(const std::string& name);

    std::unique_ptr<COptPack> profiles_;
    std::string path_;
    platform::HKEY root_ = 0;
    bool absent_ = false;
    bool readFailed_ = false;
    mutable std::recursive_mutex lock_;
    std::unique_ptr<COptPack> overrides_;
};

// The application's options; the command line is parsed into the overrides.
class CMainOpt : public COptProf {
  public:
    // A reports folder with a line break is not taken: no folder of a report
    // has one, and every line of the summary would be split by it.
    bool AcceptStr(const std::string& name, const std::string& value) override;
};

// The text form of a pack (what DumpText writes), without sorting.
std::string PackText(const COptPack& pack);

}  // namespace vzrm
