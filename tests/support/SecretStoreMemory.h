#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <QMutex>
#include <QPair>

namespace quillon {

// A SecretStore held in memory, for tests of the logic above the store. Writes and removals can be
// made to fail to replay a keyring that refuses them.
class SecretStoreMemory : public SecretStore
{
public:
    std::optional<QString> find(const QString& service, const QString& account) override;
    bool store(const QString& service, const QString& account, const QString& secret) override;
    bool remove(const QString& service, const QString& account) override;
    QStringList accounts(const QString& service) override;

    void setFailWrites(bool fail);
    int itemCount() const;

private:
    mutable QMutex m_mutex;
    QHash<QPair<QString, QString>, QString> m_items;
    bool m_failWrites = false;
};

} // namespace quillon
