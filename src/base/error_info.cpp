#include "base/error_info.h"

#include "base/error_texts.h"
#include "base/exceptions.h"
#include "base/format_text.h"
#include "base/time_texts.h"
#include "platform/services.h"

namespace vzrm {

CErrorInfo g_errorInfo;

namespace {

std::string OrEmpty(const char* text) {
    return text ? std::string(text) : std::string();
}

}  // namespace

void CErrorInfo::SetError(const char* point, std::int32_t code, const char* text, const char* ext,
                          std::uint32_t style, const char* caption) {
    SetError(OrEmpty(point), code, OrEmpty(text), OrEmpty(ext), style, OrEmpty(caption));
}

void CErrorInfo::SetError(const std::string& point, std::int32_t code, const std::string& text,
                          const std::string& ext, std::uint32_t style, const std::string& caption) {
    // The system text is looked up before the lock: nothing is called under it.
    const std::string message = text.empty() && code != 0 ? SystemErrorText(code) : text;
    const std::int64_t now = platform::Clock().NowFileTime();
    const std::lock_guard guard(lock_);
    if (suspended_) {
        return;
    }
    closed_ = true;
    points_ = point;
    code_ = code;
    text_ = message;
    ext_ = ext;
    style_ = style;
    caption_ = caption;
    time_ = now;
    closed_ = false;
}

void CErrorInfo::SetFileError(const std::string& point, const CFileException* e,
                              const std::string& text, const std::string& ext, std::uint32_t style,
                              const std::string& caption) {
    if (e == nullptr) {
        return;
    }
    SetError(point, e->GetOsError(), text + "\r\n" + ExceptionMessage(e),
             FileExceptionText(e) + ext, style, caption);
}

void CErrorInfo::AddErrPoint(const char* point) {
    if (point == nullptr || *point == '\0') {
        return;
    }
    const std::lock_guard guard(lock_);
    if (!suspended_ && !closed_) {
        points_ = std::string(point) + ":" + points_;
    }
}

void CErrorInfo::AddErrTextExt(const char* text) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    const std::lock_guard guard(lock_);
    ext_ += text;
}

bool CErrorInfo::HasError() const {
    const std::lock_guard guard(lock_);
    return !points_.empty();
}

void CErrorInfo::Clear() {
    const std::lock_guard guard(lock_);
    points_.clear();
    text_.clear();
    ext_.clear();
    caption_.clear();
    code_ = 0;
    style_ = 0;
    time_ = 0;
}

std::string CErrorInfo::Render() const {
    const std::lock_guard guard(lock_);
    if (points_.empty()) {
        return {};
    }
    std::string out = FormatText("Text : %s\r\n", text_);
    out += FormatText("Code : %d (0x%X)\r\n", code_, code_);
    out += FormatText("Time : %s %s\r\n", FormatFileTime(static_cast<std::uint64_t>(time_), 0),
                      DescribeTimeZone());
    out += FormatText("Point: %s\r\n", points_);
    if (!ext_.empty()) {
        out += "Ext  :\r\n" + ext_;
    }
    return out;
}

void CErrorInfo::Suspend(bool on) {
    const std::lock_guard guard(lock_);
    savedSuspended_ = suspended_;
    suspended_ = on;
}

void CErrorInfo::Resume() {
    const std::lock_guard guard(lock_);
    suspended_ = savedSuspended_;
}

std::int32_t CErrorInfo::GetCode() const {
    const std::lock_guard guard(lock_);
    return code_;
}

std::string CErrorInfo::GetText() const {
    const std::lock_guard guard(lock_);
    return text_;
}

std::string CErrorInfo::GetExt() const {
    const std::lock_guard guard(lock_);
    return ext_;
}

std::string CErrorInfo::GetPoints() const {
    const std::lock_guard guard(lock_);
    return points_;
}

std::string CErrorInfo::GetCaption() const {
    const std::lock_guard guard(lock_);
    return caption_;
}

std::uint32_t CErrorInfo::GetStyle() const {
    const std::lock_guard guard(lock_);
    return style_;
}

std::int64_t CErrorInfo::GetTime() const {
    const std::lock_guard guard(lock_);
    return time_;
}

}  // namespace vzrm
