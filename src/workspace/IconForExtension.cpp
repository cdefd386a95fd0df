#include "workspace/IconForExtension.h"

#include <QHash>

namespace quillon {

QString iconForExtension(const QString& extension)
{
    static const QHash<QString, QString> icons = {
        { QStringLiteral("md"), QStringLiteral("doc.text") },
        { QStringLiteral("markdown"), QStringLiteral("doc.text") },
        { QStringLiteral("txt"), QStringLiteral("doc.plaintext") },
        { QStringLiteral("text"), QStringLiteral("doc.plaintext") },
        { QStringLiteral("swift"), QStringLiteral("swift") },
        { QStringLiteral("py"), QStringLiteral("terminal") },
        { QStringLiteral("js"), QStringLiteral("curlybraces") },
        { QStringLiteral("ts"), QStringLiteral("curlybraces") },
        { QStringLiteral("sh"), QStringLiteral("terminal.fill") },
        { QStringLiteral("json"), QStringLiteral("doc.badge.gearshape") },
        { QStringLiteral("yaml"), QStringLiteral("doc.badge.gearshape") },
        { QStringLiteral("yml"), QStringLiteral("doc.badge.gearshape") },
        { QStringLiteral("toml"), QStringLiteral("doc.badge.gearshape") },
        { QStringLiteral("html"), QStringLiteral("globe") },
        { QStringLiteral("css"), QStringLiteral("globe") },
    };
    return icons.value(extension.toLower(), QStringLiteral("doc"));
}

} // namespace quillon
