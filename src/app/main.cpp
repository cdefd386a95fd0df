// Process entry. Until the main window lands this shows the given file read-only in a plain window.
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QPlainTextEdit>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setOrganizationName(QStringLiteral("quillon"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillon"));
    auto* view = new QPlainTextEdit(&window);
    view->setReadOnly(true);
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        QFile file(args.at(1));
        if (file.open(QIODevice::ReadOnly))
            view->setPlainText(QString::fromUtf8(file.readAll()));
        window.setWindowTitle(args.at(1));
    }
    window.setCentralWidget(view);
    window.resize(1000, 700);
    window.show();
    return app.exec();
}
