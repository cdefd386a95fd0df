#include "platform/ChunkedText.h"
#include "platform/Parallel.h"

#include <QRandomGenerator>
#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace quillon;

namespace {

QString randomText(QRandomGenerator& random, qsizetype length)
{
    static const QString alphabet = QStringLiteral("ab c\nd\u00e9|") + QChar(0xD83D)
        + QChar(0xDE00); // a surrogate pair, so pairs land on piece boundaries too
    QString text;
    text.reserve(length);
    for (qsizetype i = 0; i < length; ++i)
        text.append(alphabet.at(random.bounded(int(alphabet.size()))));
    return text;
}

} // namespace

// Every operation gives what the same operation gives on one QString, through long runs of
// random edits that split, grow, empty and merge pieces, and groups of pieces too.
TEST(ChunkedText, EditsAndReadsAgreeWithAPlainString)
{
    for (const qsizetype group : { qsizetype(0), qsizetype(2), qsizetype(3) }) {
        SCOPED_TRACE(group);
        ChunkedText::setGroupForTesting(group);
        const auto restore = qScopeGuard([] { ChunkedText::setGroupForTesting(0); });
        QRandomGenerator random(7);
        QString plain = randomText(random, 5 * ChunkedText::kPiece + 123);
        ChunkedText chunked(plain);
        for (int step = 0; step < 600; ++step) {
            const qsizetype position = random.bounded(int(plain.size() + 1));
            const int kind = random.bounded(10);
            qsizetype removed = 0;
            QString inserted;
            if (kind < 5) {
                inserted = randomText(random, random.bounded(3));
                removed = random.bounded(2);
            } else if (kind < 8) {
                removed = random.bounded(int(2 * ChunkedText::kPiece));
            } else {
                inserted = randomText(random, random.bounded(int(3 * ChunkedText::kPiece)));
            }
            removed = qMin(removed, plain.size() - position);
            plain.replace(position, removed, inserted);
            chunked.replace(position, removed, inserted);
            ASSERT_EQ(chunked.size(), plain.size()) << "step " << step;
            if (step % 25 != 0)
                continue;
            ASSERT_TRUE(chunked == QStringView(plain)) << "step " << step;
            ASSERT_EQ(chunked.toString(), plain);
            const qsizetype at = random.bounded(int(plain.size() + 1));
            const qsizetype length = random.bounded(int(ChunkedText::kPiece * 3));
            EXPECT_EQ(chunked.mid(at, length), plain.mid(at, length));
            EXPECT_EQ(chunked.indexOf(QChar(u'|'), at), plain.indexOf(QChar(u'|'), at));
            EXPECT_EQ(chunked.lastIndexOf(QChar(u'\n'), at), plain.lastIndexOf(QChar(u'\n'), at));
            const QString needle = plain.mid(random.bounded(int(plain.size())), 5);
            EXPECT_EQ(chunked.indexOf(needle, at), plain.indexOf(needle, at));
            EXPECT_EQ(chunked.indexOf(needle.toUpper(), at, Qt::CaseInsensitive),
                plain.indexOf(needle.toUpper(), at, Qt::CaseInsensitive));
            if (!plain.isEmpty()) {
                EXPECT_EQ(chunked.at(at % plain.size()), plain.at(at % plain.size()));
            }
            for (const QString& piece : chunked.pieces())
                EXPECT_TRUE(!piece.isEmpty() && piece.size() <= 2 * ChunkedText::kPiece);
            // A snapshot keeps its text through the next edit, wherever it lands.
            const ChunkedText snapshot = chunked;
            const QString before = plain;
            chunked.replace(at, 1, u"#");
            plain.replace(at, 1, QStringLiteral("#"));
            ASSERT_TRUE(snapshot == QStringView(before));
            ASSERT_EQ(snapshot == chunked, before == plain);
        }
    }
}

TEST(ChunkedText, ALongTextIsCopiedWholeAGroupAThread)
{
    // Past a couple of million units, groups are copied side by side into one string: edited
    // groups of uneven lengths land where they belong.
    for (const qsizetype group : { qsizetype(0), qsizetype(3) }) {
        ChunkedText::setGroupForTesting(group);
        const auto restore = qScopeGuard([] { ChunkedText::setGroupForTesting(0); });
        QRandomGenerator random(3);
        QString plain = randomText(random, kParallelTextLength + 5 * ChunkedText::kPiece);
        ChunkedText chunked(plain);
        for (int step = 0; step < 40; ++step) {
            const qsizetype position = random.bounded(int(plain.size()));
            const QString inserted = randomText(random, random.bounded(int(ChunkedText::kPiece)));
            plain.insert(position, inserted);
            chunked.replace(position, 0, inserted);
        }
        EXPECT_EQ(chunked.toString(), plain) << group;
        // A copy made to grow has the room asked for, whichever way it is copied.
        for (const ChunkedText& text : { chunked, ChunkedText(plain.left(5000)) }) {
            const QString roomy = text.toString(1000);
            EXPECT_EQ(roomy, text.toString());
            EXPECT_GE(roomy.capacity(), text.size() + 1000);
        }
    }
}

TEST(ChunkedText, MatchesAcrossPieceBoundariesAreFound)
{
    QString plain(3 * ChunkedText::kPiece, QLatin1Char('x'));
    plain.replace(ChunkedText::kPiece - 2, 6, QStringLiteral("needle"));
    const ChunkedText chunked(plain);
    ASSERT_GT(chunked.pieces().size(), 1);
    EXPECT_EQ(chunked.indexOf(QStringLiteral("needle")), ChunkedText::kPiece - 2);
    EXPECT_EQ(
        chunked.indexOf(QStringLiteral("NEEDLE"), 0, Qt::CaseInsensitive), ChunkedText::kPiece - 2);
    EXPECT_EQ(chunked.indexOf(QStringLiteral("needle"), ChunkedText::kPiece - 1), -1);
    EXPECT_TRUE(chunked.startsWith(QStringLiteral("xxx")));
    // A character looked for in a stretch, in the piece after its start, and not past its end.
    const qsizetype d = ChunkedText::kPiece + 1;
    EXPECT_TRUE(chunked.contains(u'd', 10, d + 1));
    EXPECT_FALSE(chunked.contains(u'd', 10, d));
    EXPECT_FALSE(chunked.contains(u'd', d + 1, plain.size()));
}

// A copy is a snapshot: editing the original copies only the piece the edit lands in, and the
// copy keeps the old text.
TEST(ChunkedText, ACopySharesEveryPieceButTheEditedOne)
{
    // Pieces in groups of two, so that the edit lands in a group of its own.
    ChunkedText::setGroupForTesting(2);
    const auto restore = qScopeGuard([] { ChunkedText::setGroupForTesting(0); });
    const QString plain(8 * ChunkedText::kPiece, QLatin1Char('a'));
    ChunkedText text(plain);
    const ChunkedText snapshot = text;
    text.replace(3 * ChunkedText::kPiece + 5, 1, u"b");
    EXPECT_TRUE(snapshot == QStringView(plain));
    EXPECT_EQ(text.at(3 * ChunkedText::kPiece + 5), QLatin1Char('b'));
    int shared = 0;
    for (qsizetype i = 0; i < text.pieces().size(); ++i)
        shared += text.pieces().at(i).constData() == snapshot.pieces().at(i).constData() ? 1 : 0;
    EXPECT_EQ(shared, text.pieces().size() - 1);
    EXPECT_FALSE(text == snapshot);
    // A short text is the very string it was made from.
    const QString small = QStringLiteral("short");
    EXPECT_EQ(ChunkedText(small).pieces().first().constData(), small.constData());
}

// The parts at the start and at the end that a text and another one share, as one QString
// would count them, whatever the pieces.
TEST(ChunkedText, CommonStartAndEndAreCountedAcrossPieces)
{
    QRandomGenerator random(11);
    const QString plain = randomText(random, 6 * ChunkedText::kPiece + 77);
    const ChunkedText chunked(plain);
    for (int step = 0; step < 200; ++step) {
        QString other = plain;
        const qsizetype position = random.bounded(int(plain.size() + 1));
        const qsizetype removed
            = qMin<qsizetype>(random.bounded(int(ChunkedText::kPiece)), plain.size() - position);
        const QString inserted = randomText(random, random.bounded(40));
        other.replace(position, removed, inserted);
        qsizetype prefix = 0;
        while (prefix < qMin(plain.size(), other.size()) && plain[prefix] == other[prefix])
            ++prefix;
        const qsizetype limit = qMin(plain.size(), other.size()) - prefix;
        qsizetype suffix = 0;
        while (
            suffix < limit && plain[plain.size() - 1 - suffix] == other[other.size() - 1 - suffix])
            ++suffix;
        ASSERT_EQ(chunked.commonPrefix(other), prefix) << "step " << step;
        ASSERT_EQ(chunked.commonSuffix(other, limit), suffix) << "step " << step;
        // The other text in pieces too: cut afresh (a file read again), or edited from this one
        // and sharing all but the edited piece.
        ChunkedText edited = chunked;
        edited.replace(position, removed, inserted);
        for (const ChunkedText& pieces : { ChunkedText(other), edited }) {
            ASSERT_EQ(chunked.commonPrefix(pieces), prefix) << "step " << step;
            ASSERT_EQ(chunked.commonSuffix(pieces, limit), suffix) << "step " << step;
            const qsizetype shorter = random.bounded(int(limit + 1));
            ASSERT_EQ(chunked.commonSuffix(pieces, shorter), qMin(suffix, shorter))
                << "step " << step;
        }
    }
    EXPECT_EQ(chunked.commonPrefix(chunked), plain.size());
    EXPECT_EQ(chunked.commonSuffix(ChunkedText(plain), plain.size()), plain.size());
    EXPECT_EQ(ChunkedText().commonSuffix(chunked, 10), 0);
    EXPECT_EQ(chunked.commonPrefix(plain), plain.size());
    EXPECT_EQ(chunked.commonSuffix(plain, plain.size()), plain.size());
    EXPECT_EQ(chunked.commonSuffix(plain, 5), 5);
    EXPECT_EQ(ChunkedText().commonPrefix(plain), 0);
}

// Past a few megabytes two texts in pieces are compared a stretch a thread: the first and last
// difference are still found wherever they lie, by the stretch nearest them.
TEST(ChunkedText, LongTextsAreComparedAStretchAThread)
{
    QRandomGenerator random(5);
    const QString plain = randomText(random, kParallelTextLength + 3 * ChunkedText::kPiece + 5);
    const ChunkedText chunked(plain);
    const qsizetype size = plain.size();
    // Where other programs' changes land: the very ends, beside the stretch compared first on
    // its own (a megabyte from either end), and anywhere in the stretches between.
    QList<qsizetype> positions { 0, 1, (1 << 20) - 1, 1 << 20, size / 3, size / 2, size - (1 << 20),
        size - (1 << 20) - 1, size - 2, size };
    for (int i = 0; i < 6; ++i)
        positions.append(random.bounded(int(size)));
    for (const qsizetype position : std::as_const(positions)) {
        QString other = plain;
        const qsizetype removed = qMin<qsizetype>(random.bounded(3), size - position);
        other.replace(position, removed, QStringLiteral("\u00e9x"));
        qsizetype prefix = 0;
        while (prefix < qMin(size, other.size()) && plain[prefix] == other[prefix])
            ++prefix;
        const qsizetype limit = qMin(size, other.size()) - prefix;
        qsizetype suffix = 0;
        while (suffix < limit && plain[size - 1 - suffix] == other[other.size() - 1 - suffix])
            ++suffix;
        ASSERT_EQ(chunked.commonPrefix(ChunkedText(other)), prefix) << "at " << position;
        ASSERT_EQ(chunked.commonSuffix(ChunkedText(other), limit), suffix) << "at " << position;
        const qsizetype shorter = qMin(size, other.size());
        qsizetype suffixAll = 0;
        while (suffixAll < shorter
            && plain[size - 1 - suffixAll] == other[other.size() - 1 - suffixAll])
            ++suffixAll;
        ASSERT_EQ(chunked.commonSuffix(ChunkedText(other), size), suffixAll) << "at " << position;
    }
    // Read again unchanged, or with a line added at its end.
    EXPECT_EQ(chunked.commonPrefix(ChunkedText(plain)), size);
    EXPECT_EQ(chunked.commonSuffix(ChunkedText(plain), size), size);
    EXPECT_EQ(chunked.commonPrefix(ChunkedText(plain + QStringLiteral("\nmore"))), size);
    EXPECT_EQ(ChunkedText(QStringLiteral("new\n") + plain).commonSuffix(chunked, size), size);
}
