#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace quillon {

enum class TableAlignment { Left, Center, Right };

// "left", "center" or "right"; nothing for any other text.
std::optional<TableAlignment> tableAlignmentFromString(const QString& text);
QString toString(TableAlignment alignment);

// A free-standing table: headers (one per column), body rows (a row may hold fewer or more cells
// than there are headers) and column alignments (a column beyond them is aligned left).
struct TableBlock
{
    QUuid id = QUuid::createUuid();
    QStringList headers;
    QList<QStringList> rows;
    QList<TableAlignment> alignment;

    TableAlignment alignmentOf(qsizetype column) const
    {
        return column < alignment.size() ? alignment.at(column) : TableAlignment::Left;
    }
    bool operator==(const TableBlock&) const = default;

    // One JSON object with the keys "id", "headers", "rows" and "alignment", in this order.
    QByteArray encode() const;
    // All four keys are required with values of their own types, and every alignment must be one
    // of the three names; otherwise nothing, and `error` says what was wrong.
    static std::optional<TableBlock> decode(const QByteArray& json, QString* error = nullptr);
};

} // namespace quillon
