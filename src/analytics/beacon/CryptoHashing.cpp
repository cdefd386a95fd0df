#include "analytics/beacon/CryptoHashing.h"

#include <QCryptographicHash>

namespace quillon {

QString CryptoHashing::sha256(const QString& string, const QString& salt)
{
    const QByteArray digest
        = QCryptographicHash::hash((string + salt).toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex());
}

} // namespace quillon
