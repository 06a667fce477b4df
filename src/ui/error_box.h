// The error box: an icon and the message on top, the error report below
// (folded away unless asked for), with copying and mailing of the report.
#pragma once

#include <QStyle>
#include <cstdint>

#include "ui/extended_dialog.h"

namespace vzrm::ui {

inline constexpr int kErrorBoxTemplate = 990;
inline constexpr int kMaxErrorBoxHeight = 460;

class CMessErrBox : public CDlgExt {
    Q_OBJECT

  public:
    // The texts are trimmed of surrounding white space.
    CMessErrBox(QWidget* owner, const QString& caption, const QString& message,
                const QString& details, std::uint32_t style, const QString& mailTo);

    void ShowDetails(bool show);
    QString ReportText() const;
    bool DetailsShown() const;

    // The stock icon for the style's icon bits.
    static QStyle::StandardPixmap IconForStyle(std::uint32_t style);
    // A mail composer is there to take the report.
    static bool HaveMailComposer();

  protected:
    void OnInitDialog() override;
    void OnCommand(int id) override;

  private:
    int Margin() const;
    void FitMessage();
    void Reanchor();
    void SendMail();

    QString caption_;
    QString message_;
    QString details_;
    QString mailTo_;
    std::uint32_t style_;
};

}  // namespace vzrm::ui
