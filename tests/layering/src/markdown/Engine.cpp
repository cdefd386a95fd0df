#include <QTextEdit>
#include <QtWidgets/QLabel>
#include <QTextDocument>
