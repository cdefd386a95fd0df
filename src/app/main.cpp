// Process entry: quillon [FILE|FOLDER]
#include "app/ContentView.h"
#include "app/QuillonApp.h"
#include "app/StartupProbe.h"
#include "platform/FreedMemory.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    quillon::FreedMemory::keepReturnable();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setOrganizationName(QStringLiteral("quillon"));
    QApplication::setDesktopFileName(QStringLiteral("quillon"));

    quillon::StartupProbe::installFromEnvironment();
    quillon::QuillonApp quillon;
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        quillon.openFromCommandLine(args.at(1));
    // Shown once the document is loaded, so the first paint is the document's.
    QTimer::singleShot(0, &quillon.window(), [&quillon] { quillon.window().show(); });
    return app.exec();
}
