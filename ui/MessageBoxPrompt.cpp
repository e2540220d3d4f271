#include "ui/MessageBoxPrompt.h"

#include <QApplication>
#include <QMessageBox>

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
