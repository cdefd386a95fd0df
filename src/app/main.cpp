// Process entry: quillon [FILE|FOLDER]
#include "app/ContentView.h"
#include "app/QuillonApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setOrganizationName(QStringLiteral("quillon"));
    QApplication::setDesktopFileName(QStringLiteral("quillon"));

    quillon::QuillonApp quillon;
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        quillon.openFromCommandLine(args.at(1));
    quillon.window().show();
    return app.exec();
}
