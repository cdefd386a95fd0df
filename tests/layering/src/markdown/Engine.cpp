#include <QTextDocument>
#include <QTextEdit>
#include <QtWidgets/QLabel>
