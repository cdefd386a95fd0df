#include "git/KeychainManager.h"

#include "platform/SecretStore.h"

#include <QMutex>
#include <QMutexLocker>
#include <QUrl>

#include <algorithm>

namespace quillon {

namespace {

QMutex& storeMutex()
{
    static QMutex mutex;
    return mutex;
}

std::shared_ptr<SecretStore>& storeSlot()
{
    static std::shared_ptr<SecretStore> slot;
    return slot;
}

} // namespace

QString KeychainManager::service()
{
    return QStringLiteral("com.quillon.app.git");
}

std::shared_ptr<SecretStore> KeychainManager::store()
{
    QMutexLocker lock(&storeMutex());
    if (!storeSlot())
        storeSlot() = SecretStore::system();
    return storeSlot();
}

void KeychainManager::setStore(std::shared_ptr<SecretStore> store)
{
    QMutexLocker lock(&storeMutex());
    storeSlot() = std::move(store);
}

QString KeychainManager::extractHost(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (url.isValid() && !url.host().isEmpty())
        return url.host();
    if (!address.isEmpty())
        return address;
    return QStringLiteral("git-server");
}

std::optional<QString> KeychainManager::getToken(const QString& host)
{
    return store()->find(service(), host);
}

bool KeychainManager::saveToken(const QString& token, const QString& host)
{
    return store()->store(service(), host, token);
}

bool KeychainManager::deleteToken(const QString& host)
{
    return store()->remove(service(), host);
}

std::optional<QString> KeychainManager::cleanedEntry(const QString& typed)
{
    const QString trimmed = typed.trimmed();
    for (const QChar c : trimmed) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            return std::nullopt;
    }
    return trimmed;
}

QStringList KeychainManager::getAllSavedHosts()
{
    QStringList hosts = store()->accounts(service());
    std::sort(hosts.begin(), hosts.end());
    hosts.erase(std::unique(hosts.begin(), hosts.end()), hosts.end());
    return hosts;
}

} // namespace quillon
