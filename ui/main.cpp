#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "MainForm.h"
#include "SettingsFile.h"

int main(int argc, char* argv[]) {
    // the command line needs no display, so it is chosen before Qt starts
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (WantsCommandLine(args))
        return RunCommandLine(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);

    QApplication app(argc, argv);
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
