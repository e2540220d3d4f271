#include <QApplication>
#include <QLabel>
#include <QStringList>

#include "Version.h"

// Until the main window arrives this shows which photos were named.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QStringList files = QApplication::arguments().mid(1);
    QLabel window(QStringLiteral("Trimvale %1\n\n%2")
                      .arg(QStringLiteral(TRIMVALE_VERSION_TEXT),
                           files.isEmpty() ? QStringLiteral("No photos given.")
                                           : files.join(QLatin1Char('\n'))));
    window.setWindowTitle(QStringLiteral("Trimvale"));
    window.setMargin(24);
    window.show();
    return app.exec();
}
