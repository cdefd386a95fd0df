#include "editor/table/TableBlock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillon {

namespace {

QByteArray compact(const QJsonArray& array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

bool readStrings(const QJsonValue& value, QStringList& out)
{
    if (!value.isArray())
        return false;
    for (const QJsonValue& item : value.toArray()) {
        if (!item.isString())
            return false;
        out.append(item.toString());
    }
    return true;
}

} // namespace

std::optional<TableAlignment> tableAlignmentFromString(const QString& text)
{
    if (text == u"left")
        return TableAlignment::Left;
    if (text == u"center")
        return TableAlignment::Center;
    if (text == u"right")
        return TableAlignment::Right;
    return std::nullopt;
}

QString toString(TableAlignment alignment)
{
    switch (alignment) {
    case TableAlignment::Center:
        return QStringLiteral("center");
    case TableAlignment::Right:
        return QStringLiteral("right");
    case TableAlignment::Left:
        break;
    }
    return QStringLiteral("left");
}

QByteArray TableBlock::encode() const
{
    QJsonArray rowArray;
    for (const QStringList& row : rows)
        rowArray.append(QJsonArray::fromStringList(row));
    QJsonArray alignmentArray;
    for (TableAlignment a : alignment)
        alignmentArray.append(toString(a));
    // QJsonObject sorts its keys; the keys are written in their declared order by hand.
    return "{\"id\":\"" + id.toString(QUuid::WithoutBraces).toUpper().toLatin1()
        + "\",\"headers\":" + compact(QJsonArray::fromStringList(headers))
        + ",\"rows\":" + compact(rowArray) + ",\"alignment\":" + compact(alignmentArray) + "}";
}

std::optional<TableBlock> TableBlock::decode(const QByteArray& json, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        fail(error, QStringLiteral("a table must be a JSON object"));
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    for (const char* key : { "id", "headers", "rows", "alignment" }) {
        if (!object.contains(QLatin1String(key))) {
            fail(error, QStringLiteral("the key \"%1\" is missing").arg(QLatin1String(key)));
            return std::nullopt;
        }
    }
    TableBlock table;
    table.id = QUuid::fromString(object.value(QLatin1String("id")).toString());
    if (!object.value(QLatin1String("id")).isString() || table.id.isNull()) {
        fail(error, QStringLiteral("\"id\" is not a UUID"));
        return std::nullopt;
    }
    if (!readStrings(object.value(QLatin1String("headers")), table.headers)) {
        fail(error, QStringLiteral("\"headers\" is not an array of strings"));
        return std::nullopt;
    }
    const QJsonValue rows = object.value(QLatin1String("rows"));
    bool rowsOk = rows.isArray();
    for (const QJsonValue& row : rows.toArray()) {
        QStringList cells;
        rowsOk = rowsOk && readStrings(row, cells);
        table.rows.append(cells);
    }
    if (!rowsOk) {
        fail(error, QStringLiteral("\"rows\" is not an array of arrays of strings"));
        return std::nullopt;
    }
    QStringList names;
    if (!readStrings(object.value(QLatin1String("alignment")), names)) {
        fail(error, QStringLiteral("\"alignment\" is not an array of strings"));
        return std::nullopt;
    }
    for (const QString& name : names) {
        const std::optional<TableAlignment> alignment = tableAlignmentFromString(name);
        if (!alignment) {
            fail(error, QStringLiteral("\"%1\" is not an alignment").arg(name));
            return std::nullopt;
        }
        table.alignment.append(*alignment);
    }
    return table;
}

} // namespace quillon
