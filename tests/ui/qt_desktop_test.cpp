// The boxes of an interactive start.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>

#include "ui/error_box.h"
#include "ui/qt_desktop.h"

namespace vzrm::ui {
namespace {

TEST(QtDesktop, ProductMessagesAreModalWarningBoxesAndErrorsOpenTheErrorBox) {
    int argc = 1;
    char name[] = "vzrmaud";
    char* argv[] = {name, nullptr};
    CQtDesktop desktop(argc, argv);

    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowModality modality = Qt::NonModal;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            modality = box->windowModality();
            box->accept();
        }
    });
    desktop.ShowMessage("Velmora ZRM Auditor",
                        "The Velmora ZRM Auditor is running already. The application does not "
                        "support concurrent user sessions.");
    EXPECT_EQ(caption, QStringLiteral("Velmora ZRM Auditor"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("The Velmora ZRM Auditor is running already.")));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(modality, Qt::ApplicationModal);

    bool errorBoxOpened = false;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<CMessErrBox*>(QApplication::activeModalWidget())) {
            errorBoxOpened = true;
            box->reject();
        }
    });
    desktop.ErrorBox().Show("Velmora ZRM Auditor", "Failed.", "Product: x", 0, "");
    EXPECT_TRUE(errorBoxOpened);
}

}  // namespace
}  // namespace vzrm::ui
