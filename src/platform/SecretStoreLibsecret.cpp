// The Secret Service (gnome-keyring, KWallet's bridge and others) through libsecret.
#include "platform/SecretStore.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include <libsecret/secret.h>

namespace quillon {

namespace {

const SecretSchema* schema()
{
    // Matched by the two attributes alone, so items written under another schema name but with
    // the same service and account are found too.
    static const SecretSchema s = {
        "com.quillon.app.git.Token",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            { "service", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { "account", SECRET_SCHEMA_ATTRIBUTE_STRING },
            { nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING },
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &s;
}

// Without a session bus, GDBus would try to autolaunch one; answer "nothing stored" instead.
bool sessionBusReachable()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

class LibsecretStore : public SecretStore
{
public:
    std::optional<QString> find(const QString& service, const QString& account) override
    {
        if (!sessionBusReachable())
            return std::nullopt;
        const QByteArray s = service.toUtf8();
        const QByteArray a = account.toUtf8();
        GError* error = nullptr;
        gchar* secret = secret_password_lookup_sync(
            schema(), nullptr, &error, "service", s.constData(), "account", a.constData(), nullptr);
        if (error)
            g_error_free(error);
        if (!secret)
            return std::nullopt;
        const QString result = QString::fromUtf8(secret);
        secret_password_free(secret);
        return result;
    }

    bool store(const QString& service, const QString& account, const QString& secret) override
    {
        if (!sessionBusReachable())
            return false;
        const QByteArray s = service.toUtf8();
        const QByteArray a = account.toUtf8();
        const QByteArray value = secret.toUtf8();
        const QByteArray label = QStringLiteral("Quillon git token for %1").arg(account).toUtf8();
        GError* error = nullptr;
        // The service replaces an item with the same attributes only after the new one is
        // written, so a failure keeps the old token.
        const gboolean ok = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT,
            label.constData(), value.constData(), nullptr, &error, "service", s.constData(),
            "account", a.constData(), nullptr);
        if (error)
            g_error_free(error);
        return ok;
    }

    bool remove(const QString& service, const QString& account) override
    {
        if (!sessionBusReachable())
            return false;
        const QByteArray s = service.toUtf8();
        const QByteArray a = account.toUtf8();
        GError* error = nullptr;
        secret_password_clear_sync(
            schema(), nullptr, &error, "service", s.constData(), "account", a.constData(), nullptr);
        if (error) {
            g_error_free(error);
            return false;
        }
        return true;
    }

    QStringList accounts(const QString& service) override
    {
        QStringList result;
        if (!sessionBusReachable())
            return result;
        const QByteArray s = service.toUtf8();
        // A search fails as a whole when an item it found is deleted before it is read (another
        // program, or another of our windows, removing a token at that moment): search again
        // rather than answer "nothing stored".
        GList* items = nullptr;
        for (int attempt = 0; attempt < 5; ++attempt) {
            GError* error = nullptr;
            items = secret_password_search_sync(
                schema(), SECRET_SEARCH_ALL, nullptr, &error, "service", s.constData(), nullptr);
            if (!error)
                break;
            g_error_free(error);
            g_list_free_full(items, g_object_unref);
            items = nullptr;
        }
        for (GList* it = items; it; it = it->next) {
            GHashTable* attributes
                = secret_retrievable_get_attributes(static_cast<SecretRetrievable*>(it->data));
            if (!attributes)
                continue;
            const auto* account
                = static_cast<const gchar*>(g_hash_table_lookup(attributes, "account"));
            if (account)
                result.append(QString::fromUtf8(account));
            g_hash_table_unref(attributes);
        }
        g_list_free_full(items, g_object_unref);
        return result;
    }
};

} // namespace

std::shared_ptr<SecretStore> SecretStore::system()
{
    static const std::shared_ptr<SecretStore> store = std::make_shared<LibsecretStore>();
    return store;
}

} // namespace quillon
