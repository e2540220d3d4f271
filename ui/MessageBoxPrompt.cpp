#include "ui/MessageBoxPrompt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "i18n/TranslateWindow.h"

namespace {
// Boxes without a title of their own carry the program's name.
QString Title(const std::string& title) {
    return title.empty() ? QApplication::applicationName() : QString::fromStdString(title);
}
} // namespace

void TMessageBoxPrompt::ShowMessage(const std::string& text) {
    QMessageBox::information(parent_, Title(""), QString::fromStdString(text));
}

void TMessageBoxPrompt::ShowError(const std::string& text) {
    QMessageBox::critical(parent_, Title(""), QString::fromStdString(text));
}

TAnswer TMessageBoxPrompt::Ask(const std::string& text) {
    return Ask("", text);
}

TAnswer TMessageBoxPrompt::Ask(const std::string& title, const std::string& text) {
    const auto answer = QMessageBox::question(
        parent_, Title(title), QString::fromStdString(text),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) return TAnswer::Yes;
    if (answer == QMessageBox::No) return TAnswer::No;
    return TAnswer::Cancel;
}

bool TMessageBoxPrompt::Confirm(const std::string& text) {
    return QMessageBox::warning(parent_, Title(""), QString::fromStdString(text),
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void TMessageBoxPrompt::ShowSummary(const std::string& text, const std::string& folder) {
    QMessageBox box(QMessageBox::Information, Title(""), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    QPushButton* open = box.addButton(tr_("Open Destination Folder"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    // the file manager shows what was written; the box has done its work either way
    if (box.clickedButton() == open)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}
