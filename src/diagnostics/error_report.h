// The error report (what failed, where, on which machine, with which options)
// and the error display that opens the error box with it.
#pragma once

#include <string>
#include <vector>

#include "base/error_info.h"
#include "settings/install_record.h"

namespace vzrm {

class COptProf;

// What the report says about the program, its installation and its start.
struct ERROR_REPORT_CONTEXT {
    std::string productText;
    INSTALL_FLAGS installFlags;
    std::vector<std::string> commandLine;  // the program path first
    COptProf* options = nullptr;           // dumped when given
    std::string applicationName;           // the caption of records without one
    std::string supportAddress;
};

// The error box as the display needs it.
class IErrorBox {
  public:
    virtual ~IErrorBox() = default;
    virtual bool IsShowing() const = 0;
    virtual void Show(const std::string& caption, const std::string& message,
                      const std::string& details, std::uint32_t style,
                      const std::string& supportAddress) = 0;
};

// "OS:", "CPU:", "RAM:" and "User: …, Is Admin: …" lines; failures while
// describing the machine never replace a pending error.
std::string SystemSummaryText();
// "Product:", "Install:", "CmdLine:" and the system summary.
std::string EnvironmentText(const ERROR_REPORT_CONTEXT& context);
// The details of the error box for a record.
std::string ErrorReportText(const ERROR_REPORT_CONTEXT& context, const CErrorInfo& record);
// Opens the box for the record (the process-wide one when null); 0 when the
// record holds no error. While a box is open no second one is opened.
int ShowErrorInfo(const ERROR_REPORT_CONTEXT& context, IErrorBox& box,
                  const CErrorInfo* record = nullptr);

}  // namespace vzrm
