#include "ui/about_box.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QStyle>
#include <QUrl>

#include "base/error_info.h"
#include "base/format_text.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "base/time_texts.h"
#include "ui/dialog_text.h"
#include "ui/link_edit.h"
#include "ui/program_images.h"

namespace vzrm::ui {
namespace {

enum : int {
    IDC_LINK = 3210,
    IDC_TEXT = 3211,
    IDC_INVITATION = 3212,
    IDC_ICON = 3213,
    IDC_COPY = 3216,
};

std::string InstallationLines(const INSTALL_FLAGS& flags) {
    const std::string end = "\r\n";
    if (flags.commonApp == 0) {
        return LoadResourceText(kTextSingleUserApplication) + end +
               LoadResourceText(kTextOneSetForOneUser) + end;
    }
    std::string lines = LoadResourceText(kTextCommonApplication) + end;
    if (flags.optionsForAll == 0) {
        return lines + LoadResourceText(kTextOneSetForEachUser) + end;
    }
    lines += LoadResourceText(kTextOneSetForAllUsers);
    if (flags.access != -1) {
        lines += " " + LoadResourceText(flags.access == 1 ? kTextFullAccess : kTextReadOnlyAccess);
    }
    return lines + end;
}

}  // namespace

std::string AboutText(const CSoftInst& soft, const ABOUT_FACTS& facts) {
    std::string text = soft.ProductText() + "\r\n";
    if (facts.installFlags) {
        text += InstallationLines(*facts.installFlags);
    }
    if (!soft.legalNotice.empty()) {
        text += soft.legalNotice + "\r\n";
    }
    text += "Install date: " + facts.installDate + "\r\n";
    return text + "Install path: " + facts.installPath;
}

ABOUT_FACTS ReadAboutFacts(const CSoftInst& soft, const INSTALL_FLAGS* installFlags) {
    ABOUT_FACTS facts;
    if (installFlags != nullptr) {
        facts.installFlags = *installFlags;
    }
    // Nothing here is reported: a missing part is left out or empty.
    g_errorInfo.Suspend(true);
    std::optional<std::uint64_t> installed;
    if (ReadInstallDate(soft, installed)) {
        facts.installDate = FormatFileTime(installed, 0);
    }
    const std::string executable =
        soft.executables.empty() ? std::string() : soft.executables.front().fileName;
    if (!ReadInstallPath(soft, executable, facts.installPath)) {
        facts.installPath.clear();
    }
    g_errorInfo.Resume();
    return facts;
}

CAboutDlg::CAboutDlg(const CSoftInst& soft, ABOUT_FACTS facts, QWidget* parent)
    : CDlgExt(kAboutTemplate, parent), soft_(soft), facts_(std::move(facts)) {}

QWidget* CAboutDlg::CreateItem(const DIALOG_ITEM& item) {
    QWidget* widget = CDlgExt::CreateItem(item);
    if (item.id == IDC_TEXT) {
        auto* text = qobject_cast<CEditExt*>(widget);
        text->SetSelectOnFocus(false);
        // Read-only text on the window colour, not the dialog's.
        QPalette colours = text->palette();
        colours.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
        text->setPalette(colours);
    }
    return widget;
}

void CAboutDlg::OnInitDialog() {
    ItemAs<CEditExt>(IDC_TEXT)->setPlainText(
        ForDisplay(QString::fromStdString(AboutText(soft_, facts_))));
    auto* invitation = ItemAs<QLabel>(IDC_INVITATION);
    invitation->setText(
        QString::fromStdString(FormatText(invitation->text().toStdString(), soft_.companyName)));

    auto* link = new CEditLink(this);
    const QCursor hand = HandCursor();
    link->CreateLink(this, Item(IDC_LINK), {}, WM_LINK_CLICKED,
                     QString::fromStdString(soft_.webAddress), &hand);

    SetItemIcon(IDC_ICON, windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon)
                                                : windowIcon());
}

QString CAboutDlg::ClipboardText() const {
    const QString line = SeparatorLine();
    return line + WithCrLf(ItemAs<CEditExt>(IDC_TEXT)->toPlainText()) + line;
}

void CAboutDlg::OnCommand(int id) {
    if (id == IDC_COPY) {
        CopyToClipboard(ClipboardText());
        return;
    }
    CDlgExt::OnCommand(id);
}

void CAboutDlg::OnWindowMessage(unsigned message, std::uintptr_t, std::intptr_t) {
    if (message == WM_LINK_CLICKED) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(soft_.webAddress)));
    }
}

}  // namespace vzrm::ui
