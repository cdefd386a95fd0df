#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace quillon {

class SecretStore;

// Personal access tokens for git hosts, one per host, kept in the user's keyring under the service
// "com.quillon.app.git" with the host as account. All functions are synchronous, safe from any
// thread, and never throw or log.
struct KeychainManager
{
    static QString service();

    // The host part of a repository address; the address itself when it has none; "git-server"
    // for an empty address.
    static QString extractHost(const QString& address);
    static std::optional<QString> getToken(const QString& host);
    // Stores the token, replacing the host's earlier one only once the new one is stored.
    static bool saveToken(const QString& token, const QString& host);
    // True when the host has no token afterwards.
    static bool deleteToken(const QString& host);
    // The hosts with a stored token, sorted, each once.
    static QStringList getAllSavedHosts();

    // A token or host as typed, with whitespace and line breaks around it removed; nothing when
    // what remains still holds a line break or another control character, which would corrupt
    // the HTTP header or the keyring entry.
    static std::optional<QString> cleanedEntry(const QString& typed);

    // The store behind the functions; the system keyring unless replaced (tests use memory).
    static std::shared_ptr<SecretStore> store();
    static void setStore(std::shared_ptr<SecretStore> store);
};

} // namespace quillon
