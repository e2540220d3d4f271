#include "ui/ShellServices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

bool ShellOpen(const std::string& pathOrAddress) {
    const QString text = QString::fromStdString(pathOrAddress);
    // a plain path becomes a file URL; anything with a scheme is opened as it is
    const QUrl url = QFileInfo(text).isAbsolute() ? QUrl::fromLocalFile(text) : QUrl(text);
    return QDesktopServices::openUrl(url);
}

bool SelectFolder(QWidget* parent, const std::string& title, std::string& folder) {
    QString start = QString::fromStdString(folder);
    if (!QFileInfo(start).isDir()) {
        folder.clear();
        start.clear();
    }
    const QString chosen = QFileDialog::getExistingDirectory(parent, QString::fromStdString(title),
                                                             start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return false;
    folder = QDir::toNativeSeparators(chosen).toStdString();
    return true;
}
