#pragma once

// The figures of the editors compared, one row per measure and one column per editor, quillon's
// goal beside its own column.

#include "program/Measures.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace quillon::bench {

class ComparisonTable
{
public:
    struct Cell
    {
        std::optional<double> value; // a time, a size, or the median of a key's figures
        std::optional<double> p95;
        // The measurement gave up before it ended; for keys: some keys did not repaint.
        bool atLeast = false;
    };

    explicit ComparisonTable(std::vector<QString> editors);

    // `row` is one of the keys the table knows (see ComparisonTable.cpp).
    void set(const char* row, const QString& editor, const Cell& cell);
    void setKeys(const char* row, const QString& editor, const Figures& figures);
    void setValue(
        const char* row, const QString& editor, std::optional<double> value, bool atLeast = false);
    void setStall(const char* row, const QString& editor, const Stall& stall);

    // Prints the rows that have a figure; false if there were none.
    bool print() const;

private:
    const Cell* cell(const QString& row, const QString& editor) const;

    std::vector<QString> m_editors;
    std::map<QString, std::map<QString, Cell>> m_cells;
};

} // namespace quillon::bench
