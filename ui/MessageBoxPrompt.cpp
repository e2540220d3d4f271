#include "ui/MessageBoxPrompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "core/StringController.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "ui/ShellServices.h"

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

TAnswer TMessageBoxPrompt::AskForRun(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Question, Title(title), QString::fromStdString(text),
                    QMessageBox::NoButton, parent_);
    QAbstractButton* yes = box.addButton(QMessageBox::Yes);
    QAbstractButton* yesToAll = box.addButton(tr_("Yes to &all"), QMessageBox::YesRole);
    QAbstractButton* no = box.addButton(QMessageBox::No);
    QAbstractButton* noToAll = box.addButton(tr_("No to a&ll"), QMessageBox::NoRole);
    QAbstractButton* keepBoth = box.addButton(tr_("&Keep both"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(static_cast<QPushButton*>(yes));
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes) return TAnswer::Yes;
    if (clicked == yesToAll) return TAnswer::YesToAll;
    if (clicked == no) return TAnswer::No;
    if (clicked == noToAll) return TAnswer::NoToAll;
    if (clicked == keepBoth) return TAnswer::KeepBoth;
    return TAnswer::Cancel; // Cancel, Escape or the window closed
}

TAnswer TMessageBoxPrompt::AskWith(const std::string& text, const std::string& yes,
                                   const std::string& no, const std::string& cancel,
                                   bool escapeIsNo) {
    QMessageBox box(QMessageBox::Question, Title(""), QString::fromStdString(text),
                    QMessageBox::NoButton, parent_);
    QPushButton* first = box.addButton(QString::fromStdString(yes), QMessageBox::YesRole);
    QPushButton* second = box.addButton(QString::fromStdString(no), QMessageBox::NoRole);
    QPushButton* third = box.addButton(QString::fromStdString(cancel), QMessageBox::RejectRole);
    box.setDefaultButton(first);
    box.setEscapeButton(escapeIsNo ? second : third);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == first) return TAnswer::Yes;
    if (clicked == second) return TAnswer::No;
    if (clicked == third) return TAnswer::Cancel;
    return escapeIsNo ? TAnswer::No : TAnswer::Cancel;
}

bool TMessageBoxPrompt::Confirm(const std::string& text) {
    return QMessageBox::warning(parent_, Title(""), QString::fromStdString(text),
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void TMessageBoxPrompt::ShowSummary(const std::string& text, const std::string& folder,
                                    bool failed) {
    QMessageBox box(failed ? QMessageBox::Warning : QMessageBox::Information, Title(""),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    QPushButton* open = box.addButton(tr_("Open Destination Folder"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    // with a second button Qt finds no button for Escape by itself
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    // the file manager shows what was written; the box has done its work either way
    if (box.clickedButton() == open && !ShellOpen(folder))
        QMessageBox::information(
            parent_, Title(""),
            QString::fromStdString(FillPlaceholders(
                Translate("No file manager could be started. The photos are in:\n%1"), {folder})));
}
