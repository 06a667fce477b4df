// The error record: what failed, with the chain of error points that tells
// which path failed. Every operation locks, so the user-interface thread and a
// run's worker thread may use the same record.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace vzrm {

class CFileException;

// Bits of the error box style beside the message-box icon (bits 4..7).
inline constexpr std::uint32_t ERRBOX_NO_MAIL = 0x10000000;
inline constexpr std::uint32_t ERRBOX_DETAILS_OPEN = 0x20000000;
inline constexpr std::uint32_t ERRBOX_ENLARGE = 0x40000000;

class CErrorInfo {
  public:
    CErrorInfo() = default;
    CErrorInfo(const CErrorInfo&) = delete;
    CErrorInfo& operator=(const CErrorInfo&) = delete;

    // Records a failure; the chain restarts with `point`. An empty text with a
    // non-zero code becomes the system's message for the code.
    void SetError(const char* point, std::int32_t code, const char* text = nullptr,
                  const char* ext = nullptr, std::uint32_t style = 0,
                  const char* caption = nullptr);
    void SetError(const std::string& point, std::int32_t code, const std::string& text = {},
                  const std::string& ext = {}, std::uint32_t style = 0,
                  const std::string& caption = {});
    // Records a failed file operation; a null exception records nothing.
    void SetFileError(const std::string& point, const CFileException* e,
                      const std::string& text = {}, const std::string& ext = {},
                      std::uint32_t style = 0, const std::string& caption = {});
    // Puts a caller's point in front of the chain.
    void AddErrPoint(const char* point);
    void AddErrPoint(const std::string& point) { AddErrPoint(point.c_str()); }
    void AddErrTextExt(const char* text);
    void AddErrTextExt(const std::string& text) { AddErrTextExt(text.c_str()); }

    bool HasError() const;
    void Clear();
    std::string Render() const;
    // Saves the suspended flag (one level deep) and sets it.
    void Suspend(bool on);
    void Resume();

    std::int32_t GetCode() const;
    std::string GetText() const;
    std::string GetExt() const;
    std::string GetPoints() const;
    std::string GetCaption() const;
    std::uint32_t GetStyle() const;
    std::int64_t GetTime() const;

  private:
    mutable std::mutex lock_;
    std::string points_;
    std::int32_t code_ = 0;
    std::string text_;
    std::string ext_;
    std::int64_t time_ = 0;  // file time of the last SetError
    std::string caption_;
    std::uint32_t style_ = 0;
    // Set in a new record: points are collected only after a completed SetError.
    bool closed_ = true;
    bool suspended_ = false;
    bool savedSuspended_ = false;
};

// The process-wide record nearly all code reports into.
extern CErrorInfo g_errorInfo;

}  // namespace vzrm
