#pragma once

#include <QString>

namespace quillon::SidebarText {

// The extension a row's icon is chosen by: what follows the last "." that does not begin the
// name (".env" has none).
inline QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1) : QString();
}

inline QString lastComponent(const QString& path)
{
    if (path == QLatin1String("/"))
        return path;
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The folder that holds the path ("/" for an item at the top of the file system).
inline QString parentPath(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace quillon::SidebarText
