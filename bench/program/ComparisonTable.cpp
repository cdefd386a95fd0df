#include "program/ComparisonTable.h"

#include <cstdio>

namespace quillon::bench {

namespace {

enum class Unit { KeyMs, Ms, Mb, Percent };

enum class Goal {
    None,
    P95Below,
    P95BelowAndMedianNoSlowerThanPeers,
    Below,
    AtMost,
};

struct Row
{
    const char* key;
    const char* label;
    Unit unit;
    Goal goal = Goal::None;
    double limit = 0;
};

// clang-format off
const Row kRows[] = {
    { "key-100k-top", "key -> repaint, 100 KB, caret at top", Unit::KeyMs },
    { "key-100k-end", "key -> repaint, 100 KB, caret at end", Unit::KeyMs },
    { "key-1m-top", "key -> repaint, 1 MB, caret at top", Unit::KeyMs, Goal::P95BelowAndMedianNoSlowerThanPeers, 5 },
    { "key-1m-end", "key -> repaint, 1 MB, caret at end", Unit::KeyMs, Goal::P95BelowAndMedianNoSlowerThanPeers, 5 },
    { "key-10m-top", "key -> repaint, 10 MB, caret at top", Unit::KeyMs, Goal::P95BelowAndMedianNoSlowerThanPeers, 5 },
    { "key-10m-end", "key -> repaint, 10 MB, caret at end", Unit::KeyMs, Goal::P95BelowAndMedianNoSlowerThanPeers, 5 },
    { "breaks-100k", "Return/Backspace -> repaint, 100 KB, top", Unit::KeyMs },
    { "breaks-1m", "Return/Backspace -> repaint, 1 MB, top", Unit::KeyMs, Goal::P95Below, 5 },
    { "breaks-10m", "Return/Backspace -> repaint, 10 MB, top", Unit::KeyMs, Goal::P95Below, 5 },
    { "caret-100k", "Down/Up -> repaint, 100 KB", Unit::KeyMs },
    { "caret-1m", "Down/Up -> repaint, 1 MB", Unit::KeyMs, Goal::P95Below, 5 },
    { "caret-10m", "Down/Up -> repaint, 10 MB", Unit::KeyMs },
    { "wheel-100k", "wheel step -> repaint, 100 KB", Unit::KeyMs },
    { "wheel-1m", "wheel step -> repaint, 1 MB", Unit::KeyMs },
    { "wheel-10m", "wheel step -> repaint, 10 MB", Unit::KeyMs },
    { "open-2k-paint", "open 2 KB: first paint", Unit::Ms, Goal::Below, 100 },
    { "open-1m-paint", "open 1 MB: first paint", Unit::Ms, Goal::Below, 110 },
    { "open-1m-settled", "open 1 MB: settled (quiet 400 ms, idle)", Unit::Ms, Goal::Below, 300 },
    { "open-10m-paint", "open 10 MB: first paint", Unit::Ms, Goal::Below, 200 },
    { "open-10m-settled", "open 10 MB: settled (quiet 400 ms, idle)", Unit::Ms, Goal::Below, 1500 },
    { "rss-1m-peak", "peak RSS, 1 MB open", Unit::Mb, Goal::AtMost, 60 },
    { "rss-10m", "RSS, 10 MB open and settled", Unit::Mb, Goal::AtMost, 190 },
    { "rss-10m-peak", "peak RSS, 10 MB open", Unit::Mb, Goal::AtMost, 175 },
    { "open-t1m-paint", "open 1 MB of tables: first paint", Unit::Ms, Goal::Below, 110 },
    { "rss-t1m-peak", "peak RSS, 1 MB of tables", Unit::Mb },
    { "rss-p1m-peak", "peak RSS, the same 1 MB, no tables", Unit::Mb },
    { "key-t1m-top", "key -> repaint, 1 MB of tables, top", Unit::KeyMs, Goal::P95BelowAndMedianNoSlowerThanPeers, 5 },
    { "open-t10m-paint", "open 10 MB of tables: first paint", Unit::Ms, Goal::Below, 200 },
    { "rss-t10m-peak", "peak RSS, 10 MB of tables", Unit::Mb },
    { "rss-p10m-peak", "peak RSS, the same 10 MB, no tables", Unit::Mb },
    { "key-t10m-top", "key -> repaint, 10 MB of tables, top", Unit::KeyMs, Goal::P95BelowAndMedianNoSlowerThanPeers, 5 },
    { "rss-21m-peak", "peak RSS, 21 MB open", Unit::Mb, Goal::AtMost, 260 },
    { "tabs-1", "RSS, 1 tab of 1 MB", Unit::Mb },
    { "tabs-2", "RSS, 2 tabs of 1 MB, each shown", Unit::Mb },
    { "tabs-3", "RSS, 3 tabs of 1 MB, each shown", Unit::Mb },
    { "tabs-4", "RSS, 4 tabs of 1 MB, each shown", Unit::Mb },
    { "tabs-5", "RSS, 5 tabs of 1 MB, each shown", Unit::Mb },
    { "tabs-6", "RSS, 6 tabs of 1 MB, each shown", Unit::Mb },
    { "tab-added", "each added 1 MB tab (mean of 5)", Unit::Mb, Goal::AtMost, 15 },
    { "tab-kept", "each kept 1 MB tab (mean of 3)", Unit::Mb, Goal::AtMost, 10 },
    { "tabs-closed", "RSS, 5 of the 6 tabs closed", Unit::Mb },
    { "tabs-closed-rise", "RSS, 5 closed, over 1 tab (%)", Unit::Percent, Goal::AtMost, 10 },
    { "tab-switch", "tab switch -> settled (quiet 150 ms)", Unit::KeyMs, Goal::P95Below, 100 },
    { "stall-open-1m", "longest stall: open 1 MB", Unit::Ms, Goal::AtMost, 100 },
    { "stall-type-1m", "longest stall: 30 keys in 1 MB", Unit::Ms, Goal::AtMost, 100 },
    { "stall-open-10m", "longest stall: open 10 MB", Unit::Ms, Goal::AtMost, 100 },
    { "stall-type-10m", "longest stall: 30 keys in 10 MB", Unit::Ms, Goal::AtMost, 100 },
    { "stall-open-21m", "longest stall: open 21 MB", Unit::Ms, Goal::AtMost, 100 },
    { "stall-type-21m", "longest stall: 30 keys in 21 MB", Unit::Ms, Goal::AtMost, 100 },
    { "stall-open-line", "longest stall: open 2 MB one line", Unit::Ms, Goal::AtMost, 100 },
    { "stall-type-line", "longest stall: 30 keys in 2 MB line", Unit::Ms, Goal::AtMost, 100 },
    { "stall-end", "longest stall, 10 MB: Ctrl+End", Unit::Ms, Goal::AtMost, 100 },
    { "stall-home", "longest stall, 10 MB: Ctrl+Home", Unit::Ms, Goal::AtMost, 100 },
    { "stall-end-source", "longest stall, 10 MB: Ctrl+End, source", Unit::Ms, Goal::AtMost, 100 },
    { "stall-home-source", "longest stall, 10 MB: Ctrl+Home, source", Unit::Ms, Goal::AtMost, 100 },
    { "stall-zoom", "longest stall, 10 MB: zoom in, out", Unit::Ms, Goal::AtMost, 100 },
    { "stall-find", "longest stall, 10 MB: find, 3 x next", Unit::Ms, Goal::AtMost, 100 },
    { "stall-append", "longest stall, 10 MB: line appended", Unit::Ms, Goal::AtMost, 100 },
    { "stall-change", "longest stall, 10 MB: line changed", Unit::Ms, Goal::AtMost, 100 },
};
// clang-format on

QString goalText(const Row& row)
{
    switch (row.goal) {
    case Goal::None:
        return {};
    case Goal::P95Below:
        return QStringLiteral("p95 < %1").arg(row.limit);
    case Goal::P95BelowAndMedianNoSlowerThanPeers:
        return QStringLiteral("p95 < %1, med <= peers").arg(row.limit);
    case Goal::Below:
        return QStringLiteral("< %1").arg(row.limit);
    case Goal::AtMost:
        return QStringLiteral("<= %1").arg(row.limit);
    }
    return {};
}

// Whether quillon's figure meets the row's goal; none when there is no goal or no figure.
// `fastestPeer` is the lowest median of the peers timed, if any was.
std::optional<bool> goalMet(
    const Row& row, const ComparisonTable::Cell* quillon, std::optional<double> fastestPeer)
{
    if (row.goal == Goal::None || !quillon || !quillon->value)
        return std::nullopt;
    const double value = *quillon->value;
    switch (row.goal) {
    case Goal::None:
        return std::nullopt;
    case Goal::P95Below:
        return quillon->p95 && *quillon->p95 < row.limit;
    case Goal::P95BelowAndMedianNoSlowerThanPeers:
        return quillon->p95 && *quillon->p95 < row.limit && (!fastestPeer || value <= *fastestPeer);
    case Goal::Below:
        return !quillon->atLeast && value < row.limit;
    case Goal::AtMost:
        return !quillon->atLeast && value <= row.limit;
    }
    return std::nullopt;
}

QString cellText(const Row& row, const ComparisonTable::Cell* cell)
{
    if (!cell || !cell->value)
        return QStringLiteral("-");
    const QString atLeast = cell->atLeast ? QStringLiteral(">") : QString();
    switch (row.unit) {
    case Unit::KeyMs:
        return QStringLiteral("%1 / %2%3")
            .arg(*cell->value, 0, 'f', 1)
            .arg(cell->p95.value_or(0), 0, 'f', 1)
            .arg(cell->atLeast ? QStringLiteral("*") : QString());
    case Unit::Ms:
        return atLeast + QString::number(*cell->value, 'f', 0);
    case Unit::Mb:
        return atLeast + QString::number(*cell->value, 'f', 1);
    case Unit::Percent:
        return atLeast + QString::number(*cell->value, 'f', 1) + QLatin1Char('%');
    }
    return {};
}

} // namespace

ComparisonTable::ComparisonTable(std::vector<QString> editors)
    : m_editors(std::move(editors))
{
}

void ComparisonTable::set(const char* row, const QString& editor, const Cell& cell)
{
    m_cells[QString::fromLatin1(row)][editor] = cell;
}

void ComparisonTable::setKeys(const char* row, const QString& editor, const Figures& figures)
{
    if (figures.samples > 0)
        set(row, editor, Cell { figures.median, figures.p95, figures.missed > 0 });
}

void ComparisonTable::setValue(
    const char* row, const QString& editor, std::optional<double> value, bool atLeast)
{
    if (value)
        set(row, editor, Cell { value, std::nullopt, atLeast });
}

void ComparisonTable::setStall(const char* row, const QString& editor, const Stall& stall)
{
    setValue(row, editor, stall.longestMs, stall.cutShort);
}

const ComparisonTable::Cell* ComparisonTable::cell(const QString& row, const QString& editor) const
{
    const auto r = m_cells.find(row);
    if (r == m_cells.end())
        return nullptr;
    const auto c = r->second.find(editor);
    return c == r->second.end() ? nullptr : &c->second;
}

bool ComparisonTable::print() const
{
    if (m_cells.empty())
        return false;
    const QString quillon = QStringLiteral("quillon");
    std::printf(
        "\n%-40s %-13s %-28s", "measure (ms, or MB; keys: median / p95)", "quillon", "goal");
    for (const QString& editor : m_editors) {
        if (editor != quillon)
            std::printf(" %-13s", qPrintable(editor));
    }
    std::printf("\n");
    for (const Row& row : kRows) {
        const QString key = QString::fromLatin1(row.key);
        if (!m_cells.count(key))
            continue;
        std::optional<double> fastestPeer;
        for (const QString& editor : m_editors) {
            const Cell* peer = editor == quillon ? nullptr : cell(key, editor);
            if (peer && peer->value && (!fastestPeer || *peer->value < *fastestPeer))
                fastestPeer = peer->value;
        }
        const std::optional<bool> met = goalMet(row, cell(key, quillon), fastestPeer);
        const QString goal = goalText(row)
            + (met ? (*met ? QStringLiteral("  ok") : QStringLiteral("  MISSED")) : QString());
        std::printf("%-40s %-13s %-28s", row.label, qPrintable(cellText(row, cell(key, quillon))),
            qPrintable(goal));
        for (const QString& editor : m_editors) {
            if (editor != quillon)
                std::printf(" %-13s", qPrintable(cellText(row, cell(key, editor))));
        }
        std::printf("\n");
    }
    std::printf("(\">\": the measurement gave up before the window settled; \"*\": some keys "
                "did not repaint within 2 s and are left out)\n");
    std::fflush(stdout);
    return true;
}

} // namespace quillon::bench
