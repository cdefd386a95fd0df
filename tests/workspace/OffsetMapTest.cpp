#include "workspace/OffsetMap.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QStringList>

namespace quillon {
namespace {

TEST(OffsetMap, APlaceFollowsItsTextThroughChangesInSeveralPlaces)
{
    // The user's unsaved words are thrown away in the middle; another program added a line at
    // the end. A caret after those words goes where they were, not as many places further on.
    const QString before = "Title\n\nWe will reply XYZ typed words within a week\n\nThe end.\n";
    const QString after = "Title\n\nWe will reply within a week\n\nThe end.\nTheir line.\n";
    const OffsetMap map = OffsetMap::between(before, after);
    const qsizetype typedEnd = before.indexOf("within a week");
    EXPECT_EQ(map.map(typedEnd), after.indexOf("within a week"));
    EXPECT_EQ(map.map(before.indexOf("The end.")), after.indexOf("The end."));
    // A place keeps to its own line: lines put in before it come before it.
    EXPECT_EQ(map.map(before.size()), after.size());
    EXPECT_EQ(map.map(3), 3);

    // Lines added above and below, one changed between them.
    const QString lines = "a\nb\nc\nd\ne\n";
    const QString changed = "new\na\nb\nC!\nd\ne\nlast\n";
    const OffsetMap moved = OffsetMap::between(lines, changed);
    EXPECT_EQ(moved.map(lines.indexOf('b')), changed.indexOf('b'));
    EXPECT_EQ(moved.map(lines.indexOf('d')), changed.indexOf('d'));
    EXPECT_EQ(moved.map(lines.indexOf('c')), changed.indexOf("C!"));
    EXPECT_EQ(moved.map(lines.indexOf('c') + 1), changed.indexOf("C!") + 2);

    EXPECT_TRUE(OffsetMap::between(lines, lines).isIdentity());
    EXPECT_EQ(OffsetMap::between(QString(), QStringLiteral("x\n")).map(0), 2);
    EXPECT_EQ(OffsetMap::between(QStringLiteral("x\n"), QString()).map(2), 0);
}

// Lines put in and taken out at random: every line both versions hold is found again at its new
// place, whether the texts are matched line by line or, past the limit, as one stretch.
TEST(OffsetMap, EveryKeptLineIsFoundAtItsNewPlace)
{
    QRandomGenerator random(20261207);
    for (const int changes : { 3, 40, OffsetMap::kMaxDifferences * 2 }) {
        for (int round = 0; round < 20; ++round) {
            QStringList lines;
            for (int i = 0; i < 300; ++i)
                lines.append(QStringLiteral("line %1 of the text\n").arg(i % 37));
            QList<bool> kept(lines.size(), true);
            QStringList edited = lines;
            QList<int> origin; // for each edited line, the original line or -1
            for (int i = 0; i < lines.size(); ++i)
                origin.append(i);
            for (int c = 0; c < changes; ++c) {
                const int at = random.bounded(int(edited.size()) + 1);
                if (random.bounded(2) == 0 && at < edited.size()) {
                    if (origin[at] >= 0)
                        kept[origin[at]] = false;
                    edited.removeAt(at);
                    origin.removeAt(at);
                } else {
                    edited.insert(at, QStringLiteral("inserted %1\n").arg(c));
                    origin.insert(at, -1);
                }
            }
            const QString before = lines.join(QString());
            const QString after = edited.join(QString());
            const OffsetMap map = OffsetMap::between(before, after);
            qsizetype newStart = 0;
            qsizetype previous = -1;
            for (int e = 0; e < edited.size(); ++e) {
                if (origin[e] >= 0 && changes < OffsetMap::kMaxDifferences) {
                    qsizetype oldStart = 0;
                    for (int i = 0; i < origin[e]; ++i)
                        oldStart += lines[i].size();
                    // A repeated line may be matched with another copy of itself: its text is
                    // the same either way.
                    const qsizetype mapped = map.map(oldStart);
                    EXPECT_EQ(after.mid(mapped, edited[e].size()), edited[e]);
                }
                newStart += edited[e].size();
            }
            for (qsizetype offset = 0; offset <= before.size(); offset += 7) {
                const qsizetype mapped = map.map(offset);
                EXPECT_GE(mapped, previous) << "places keep their order";
                EXPECT_LE(mapped, after.size());
                previous = mapped;
            }
            EXPECT_EQ(newStart, after.size());
        }
    }
}

} // namespace
} // namespace quillon
