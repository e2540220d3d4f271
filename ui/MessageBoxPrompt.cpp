#include "MessageBoxPrompt.h"

#include <QApplication>
#include <QMessageBox>

namespace {
QString TakeTitle(QString& title) {
    QString t = title.isEmpty() ? QApplication::applicationName() : title;
    title.clear();
    return t;
}
} // namespace

void TMessageBoxPrompt::ShowMessage(const std::string& text) {
    QMessageBox::information(parent_, TakeTitle(title_), QString::fromStdString(text));
}

TAnswer TMessageBoxPrompt::Ask(const std::string& text) {
    const auto answer = QMessageBox::question(
        parent_, TakeTitle(title_), QString::fromStdString(text),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) return TAnswer::Yes;
    if (answer == QMessageBox::No) return TAnswer::No;
    return TAnswer::Cancel;
}
