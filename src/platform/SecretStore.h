#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace quillon {

// A store of small secrets, one per (service, account) pair. Implementations are safe to call from
// any thread; every call is synchronous and reports failure only through its result.
class SecretStore
{
public:
    virtual ~SecretStore() = default;

    // The secret of the pair, or none when there is no item or the store cannot be read.
    virtual std::optional<QString> find(const QString& service, const QString& account) = 0;
    // Stores the secret, replacing the pair's earlier one only once the new one is stored: a
    // failed store leaves the earlier secret in place.
    virtual bool store(const QString& service, const QString& account, const QString& secret) = 0;
    // True when the pair has no item afterwards (also when it had none).
    virtual bool remove(const QString& service, const QString& account) = 0;
    // The accounts that hold an item of the service, in no particular order; empty on failure.
    virtual QStringList accounts(const QString& service) = 0;

    // The user's keyring through the desktop Secret Service.
    static std::shared_ptr<SecretStore> system();
};

} // namespace quillon
