#pragma once

// What both halves of FileUtil (FileUtil.cpp and FileUtil_Save.cpp) say in their error messages.
#include <QFileInfo>
#include <QString>

namespace quillon::FileUtil::detail {

// A path as messages name it: its last part, or the whole path when it has none.
inline QString displayName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

inline void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

} // namespace quillon::FileUtil::detail
