#pragma once

#include <QString>

#include <exception>

namespace quillon {

// An error that carries a stable identifier.
class IdentifiableError
{
public:
    virtual ~IdentifiableError() = default;
    virtual QString id() const = 0;
    virtual QString localizedDescription() const = 0;
};

// Gives any error an identifier; its description is the wrapped error's.
class AnyIdentifiableError : public IdentifiableError
{
public:
    AnyIdentifiableError(QString id, QString errorDescription)
        : m_id(std::move(id))
        , m_errorDescription(std::move(errorDescription))
    {
    }
    // Wraps an exception under the identifier; the description is what() as UTF-8.
    static AnyIdentifiableError with(const std::exception& error, const QString& id)
    {
        return AnyIdentifiableError(id, QString::fromUtf8(error.what()));
    }

    QString id() const override { return m_id; }
    QString localizedDescription() const override { return m_errorDescription; }

private:
    QString m_id;
    QString m_errorDescription;
};

} // namespace quillon
