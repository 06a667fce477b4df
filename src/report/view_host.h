// What a report run and a folder scan both ask of the view they run in.
#pragma once

#include <cstdint>
#include <string>

namespace vzrm {

class IViewHost {
  public:
    virtual ~IViewHost() = default;

    // A question with Yes/No buttons in the given message-box style; IDYES or IDNO.
    virtual int AskYesNo(const std::string& text, std::uint32_t style) = 0;
    virtual void ShowInformation(const std::string& text, std::uint32_t style) = 0;
    // The error display of the error record.
    virtual void ShowErrorInfo() = 0;
    virtual void FocusFolderField() = 0;
    // The folder field's text; false when the field cannot be read.
    virtual bool ReadFolderField(std::string& folder) = 0;
};

}  // namespace vzrm
