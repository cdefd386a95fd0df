#include "workspace/WorkspaceLog.h"

#include <QTextStream>

namespace quillon {

void printLine(const QString& line)
{
    QTextStream(stdout) << line << Qt::endl;
}

} // namespace quillon
