#pragma once

#include <QString>

namespace quillon {

// Salted SHA-256, used to pseudonymise user identifiers and to name the client's settings suite.
struct CryptoHashing
{
    // SHA-256 of the UTF-8 bytes of string + salt, as 64 lower-case hexadecimal digits.
    static QString sha256(const QString& string, const QString& salt);
};

} // namespace quillon
