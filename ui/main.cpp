#include <exception>
#include <string>
#include <vector>

#include <QApplication>
#include <QMessageBox>

#include "MainForm.h"
#include "SettingsFile.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trimvale"));
    std::vector<std::string> files;
    for (const QString& arg : QApplication::arguments().mid(1)) files.push_back(arg.toStdString());
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
