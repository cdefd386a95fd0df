#include "support/SecretStoreMemory.h"

#include <QMutexLocker>

namespace quillon {

std::optional<QString> SecretStoreMemory::find(const QString& service, const QString& account)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_items.constFind({ service, account });
    if (it == m_items.constEnd())
        return std::nullopt;
    return *it;
}

bool SecretStoreMemory::store(const QString& service, const QString& account, const QString& secret)
{
    QMutexLocker lock(&m_mutex);
    if (m_failWrites)
        return false;
    m_items.insert({ service, account }, secret);
    return true;
}

bool SecretStoreMemory::remove(const QString& service, const QString& account)
{
    QMutexLocker lock(&m_mutex);
    if (m_failWrites)
        return false;
    m_items.remove({ service, account });
    return true;
}

QStringList SecretStoreMemory::accounts(const QString& service)
{
    QMutexLocker lock(&m_mutex);
    QStringList result;
    for (auto it = m_items.constBegin(); it != m_items.constEnd(); ++it) {
        if (it.key().first == service)
            result.append(it.key().second);
    }
    return result;
}

void SecretStoreMemory::setFailWrites(bool fail)
{
    QMutexLocker lock(&m_mutex);
    m_failWrites = fail;
}

int SecretStoreMemory::itemCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_items.size());
}

} // namespace quillon
