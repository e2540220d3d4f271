#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "cli/BatchOptions.h"
#include "cli/BatchRun.h"
#include "i18n/gnugettext.h"
#include "model/SettingsFile.h"
#include "ui/MainForm.h"

namespace {
/// True when Qt has a platform to show a window on. Without one its default
/// plugin aborts the program with a hint about reinstalling it.
bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

std::string NoDisplayMessage();

/// Until the window's platform is up, Qt's own complaints are held back: a
/// display that does not answer ends the program with the one line and
/// status 2, not with Qt's abort and its hints about plugins.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtFatalMsg) return;
    std::cerr << NoDisplayMessage() << std::endl;
    std::_Exit(2);
}

std::string NoDisplayMessage() {
    const char* text = N_("no display: start Trimvale from a desktop, or crop with `trimvale "
                          "--crop`");
    try {
        return Translate(text);
    } catch (const std::exception&) {
        return text; // an unusable catalogue leaves the English text
    }
}
} // namespace

int main(int argc, char* argv[]) {
    // the command line needs no display, so it is chosen before Qt starts
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (WantsCommandLine(args))
        return RunCommandLine(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
    if (!HasDisplay()) {
        std::cerr << NoDisplayMessage() << std::endl;
        return 2;
    }

    const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    QApplication::setApplicationName(QStringLiteral("Trimvale"));
    // the desktop entry gives the window its icon and its place in the menu
    QGuiApplication::setDesktopFileName(QStringLiteral("org.trimvale.Trimvale"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("trimvale")));
    std::vector<std::string> files;
    for (const QString& arg : QApplication::arguments().mid(1))
        files.push_back(arg.toStdString());
    try {
        TMainForm window(TSettingsFile::ForProgram(), files);
        window.show();
        return app.exec();
    } catch (const std::exception& e) {
        // the last line of defence: say what went wrong instead of vanishing
        QMessageBox::critical(nullptr, QStringLiteral("Trimvale"), QString::fromUtf8(e.what()));
        return 1;
    }
}
