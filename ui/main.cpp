#include <string>
#include <vector>

#include <QApplication>

#include "MainForm.h"
#include "SettingsFile.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trimvale"));
    std::vector<std::string> files;
    for (const QString& arg : QApplication::arguments().mid(1))
        files.push_back(arg.toStdString());
    TMainForm window(TSettingsFile::ForProgram(), files);
    window.show();
    return app.exec();
}
