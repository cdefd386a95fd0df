#pragma once

#include <QMutex>
#include <QString>

#include <optional>

namespace quillon {

// The destination of the last navigation signal, for the whole process. Thread-safe.
class NavigationStatus
{
public:
    static NavigationStatus& shared();

    std::optional<QString> previousNavigationPath() const;
    void setPreviousNavigationPath(const std::optional<QString>& path);
    // Returns the remembered path (empty when none) and remembers destination, in one step.
    QString exchange(const QString& destination);

private:
    mutable QMutex m_mutex;
    std::optional<QString> m_previousNavigationPath;
};

} // namespace quillon
