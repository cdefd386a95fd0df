#pragma once

#include <QList>
#include <QStringView>

namespace quillon {

// Where each place of one text lies in another that was made from it by changes nobody told us
// of (another program's save, a merge): the lines both hold are matched (a line diff), and the
// lines that differ are narrowed to the characters that differ. A place in text both hold moves
// with that text (lines put in just before it come before it); a place inside a changed stretch
// keeps its distance from the stretch's start as far as the new stretch reaches.
//
// When the texts differ in too many places to match cheaply, everything between the first and
// the last difference counts as one changed stretch.
class OffsetMap
{
public:
    OffsetMap() = default;
    static OffsetMap between(QStringView before, QStringView after);

    qsizetype map(qsizetype offset) const;
    bool isIdentity() const { return m_changes.isEmpty(); }

    // More differences than this between two texts are not matched line by line.
    static constexpr int kMaxDifferences = 256;

private:
    struct Change
    {
        qsizetype oldStart = 0;
        qsizetype oldLength = 0;
        qsizetype newStart = 0;
        qsizetype newLength = 0;
    };
    void add(QStringView before, QStringView after, qsizetype oldStart, qsizetype newStart);

    QList<Change> m_changes; // in order, none overlapping
};

} // namespace quillon
