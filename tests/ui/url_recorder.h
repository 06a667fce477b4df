// Takes the place of the desktop's handler for a URL scheme and counts what
// it was asked to open.
#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace vzrm::test {

class UrlRecorder : public QObject {
    Q_OBJECT

  public:
    explicit UrlRecorder(QStringList schemes) : schemes_(std::move(schemes)) {
        for (const QString& scheme : schemes_) {
            QDesktopServices::setUrlHandler(scheme, this, "Open");
        }
    }
    ~UrlRecorder() override {
        for (const QString& scheme : schemes_) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }

    QStringList opened;

  public slots:
    void Open(const QUrl& url) { opened << url.toString(); }

  private:
    QStringList schemes_;
};

}  // namespace vzrm::test
