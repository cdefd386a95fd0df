#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace quillon {

// The texts of the status bar, built from plain values.
namespace StatusBarText {

// "YAML Error: " and the error; with a line, a line feed and "Line: " with the line's number in
// the whole document (the front matter's line 1 is the document's line 2); with a column too,
// ", Column: " and the column, which already counts from 1. A column without a line is not shown.
QString yamlErrorTooltip(const QString& error, std::optional<int> line, std::optional<int> column);
// The token estimate grouped as the locale groups thousands.
QString tokenCount(int count, const QLocale& locale = QLocale());
// Plain digits, no grouping.
QString words(int count);
QString characters(int count);

} // namespace StatusBarText

} // namespace quillon
