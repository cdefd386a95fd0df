#include "platform/LineEnds.h"
#include "platform/ChunkedText.h"
#include "platform/FileUtil.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

struct Loaded
{
    QString text;
    LineEnds ends;
};

Loaded load(const QByteArray& bytes)
{
    const FileUtil::TextFile file = FileUtil::decodeText(bytes);
    EXPECT_TRUE(file.ok);
    return { file.text, file.lineEnds };
}

// Replaces `removed` units at `position` and returns the bytes the file gets.
QByteArray edit(Loaded& doc, qsizetype position, qsizetype removed, const QString& inserted)
{
    doc.text.replace(position, removed, inserted);
    doc.ends.applyEdit(doc.text, position, removed, inserted.size());
    return doc.ends.encode(doc.text);
}

} // namespace

TEST(LineEnds, EveryFileReadsBackByteForByte)
{
    const QByteArray files[] = {
        "",
        "plain",
        "a\nb\n",
        "a\r\nb\r\n",
        "a\nb\r\nc\n",
        "x\r\r\ny\r\n",
        "\r\n\r\n\n",
        "lone\rcr\rs",
        "\xEF\xBB\xBF"
        "bom\r\nand\n",
        "\xEF\xBB\xBF",
        "caf\xC3\xA9\r\n\xF0\x9F\x98\x80\n",
        "trailing\r",
    };
    for (const QByteArray& bytes : files) {
        const Loaded doc = load(bytes);
        EXPECT_EQ(doc.ends.encode(doc.text), bytes) << bytes.toHex().constData();
    }
    EXPECT_EQ(load("\xEF\xBB\xBF"
                   "a\r\nb\nc")
                  .text,
        QStringLiteral("a\nb\nc"));
}

TEST(LineEnds, AnEditKeepsTheEndsOfTheLinesItDoesNotTouch)
{
    Loaded mixed = load("a\nb\r\nc\n");
    EXPECT_EQ(edit(mixed, 1, 0, QStringLiteral("a")), "aa\nb\r\nc\n");
    EXPECT_EQ(edit(mixed, 0, 2, QStringLiteral("first")), "first\nb\r\nc\n");
    // Deleting the line before keeps the end of the line after.
    EXPECT_EQ(edit(mixed, 0, 6, QString()), "b\r\nc\n");

    Loaded loneCr = load("x\r\r\ny\r\n");
    EXPECT_EQ(loneCr.text, QStringLiteral("x\r\ny\n"));
    EXPECT_EQ(edit(loneCr, 3, 1, QStringLiteral("z")), "x\r\r\nz\r\n");

    Loaded bom = load("\xEF\xBB\xBFone\ntwo\n");
    EXPECT_EQ(edit(bom, 3, 0, QStringLiteral("!")), "\xEF\xBB\xBFone!\ntwo\n");
}

TEST(LineEnds, ANewLineTakesTheEndOfTheLineItSplit)
{
    // Mostly LF, one CRLF line: splitting that line gives CRLF twice, splitting another LF.
    Loaded doc = load("one\ntwo\r\nthree\nfour\n");
    EXPECT_EQ(edit(doc, 6, 0, QStringLiteral("\n")), "one\ntw\r\no\r\nthree\nfour\n");
    EXPECT_EQ(edit(doc, 12, 0, QStringLiteral("\n\n")), "one\ntw\r\no\r\nthr\n\nee\nfour\n");
    // A paste of several lines into the CRLF line, replacing part of it.
    EXPECT_EQ(
        edit(doc, 4, 2, QStringLiteral("A\nB\nC")), "one\nA\r\nB\r\nC\r\no\r\nthr\n\nee\nfour\n");

    // An LF line split above a CRLF one stays LF.
    Loaded above = load("one\ntwo\r\nthree\n");
    EXPECT_EQ(edit(above, 1, 0, QStringLiteral("\n")), "o\nne\ntwo\r\nthree\n");

    // The last line has no end of its own: a break there takes the most frequent end.
    Loaded crlf = load("a\r\nb\r\nc\nlast");
    EXPECT_EQ(edit(crlf, 10, 0, QStringLiteral("\nmore")), "a\r\nb\r\nc\nlast\r\nmore");
    Loaded none = load("no break");
    EXPECT_EQ(edit(none, 2, 0, QStringLiteral("\n")), "no\n break");
    // A tie goes to LF.
    Loaded tie = load("a\r\nb\nc");
    EXPECT_EQ(edit(tie, 5, 0, QStringLiteral("\n")), "a\r\nb\nc\n");
}

TEST(LineEnds, LoneSurrogatesAreWrittenAsToUtf8WritesThemWhereverTheyStand)
{
    const QChar high(0xD83D);
    const QChar low(0xDE00);
    const QString texts[] = {
        QString("end") + high,
        QString("end") + low,
        QString(high),
        QString("a") + high + "b\nc",
        QString("a") + low + "b\nc",
        QString("before break") + high + "\nafter",
        QString("after break\n") + low + "x",
        QString("pair ") + high + low + " and " + low + high + "\n",
        QString("two") + high + high + low,
    };
    for (const QString& text : texts) {
        const QByteArray asUtf8 = text.toUtf8();
        EXPECT_EQ(LineEnds(LineEnds::Kind::Lf).encode(text), asUtf8) << asUtf8.toHex().constData();
        EXPECT_EQ(LineEnds(LineEnds::Kind::CrLf).encode(text),
            QString(text).replace("\n", "\r\n").toUtf8())
            << asUtf8.toHex().constData();
        EXPECT_EQ(LineEnds().encode(ChunkedText(text)), asUtf8) << asUtf8.toHex().constData();
    }
}

TEST(LineEnds, SurrogatesAtTheEdgesOfALongTextsPiecesAreWrittenAsToUtf8WritesThem)
{
    QString line = QString(79, u'x') + u'\n';
    const QString base = line.repeated(3 * ChunkedText::kPiece / line.size());
    const QChar high(0xD83D);
    const QChar low(0xDE00);
    struct Case
    {
        const char* what;
        QString atEnd; // the last unit of the first piece
        QString atStart; // the first unit of the second piece
    };
    for (const Case& c :
        { Case { "pair across", high, low }, Case { "lone high at the end", high, "y" },
            Case { "lone low at the start", "y", low }, Case { "two lone", low, high } }) {
        SCOPED_TRACE(c.what);
        ChunkedText text(base);
        ASSERT_GE(text.pieces().size(), 2);
        const qsizetype edge = text.pieces().at(0).size();
        text.replace(edge - 1, 1, c.atEnd);
        text.replace(edge, 1, c.atStart);
        ASSERT_EQ(text.pieces().at(0).size(), edge);
        ASSERT_EQ(text.at(edge), c.atStart.at(0));
        const QString whole = text.toString();
        EXPECT_EQ(LineEnds().encode(text), whole.toUtf8());
        EXPECT_EQ(LineEnds(LineEnds::Kind::CrLf).encode(text),
            QString(whole).replace("\n", "\r\n").toUtf8());
        // The last unit of the whole text, too.
        text.replace(text.size() - 1, 1, QString(high));
        EXPECT_EQ(LineEnds().encode(text), text.toString().toUtf8());
        // Into an array that held a longer text: nothing of that stays behind.
        QByteArray reused = QByteArray(4 * base.size(), 'z');
        LineEnds().encodeInto(text, &reused);
        EXPECT_EQ(reused, text.toString().toUtf8());
    }
}

TEST(LineEnds, SurrogatesAreFoundAtEveryPlaceAmongOtherUnits)
{
    // Units read four at a time: a surrogate, paired or lone, in each place of a group of four,
    // beside units that come near a surrogate's bits.
    const QString around = QStringLiteral("ab\u00E9\u07FF\uD7FF\uE000\uF800cd ef\u4E2Dgh ijkl");
    const QChar high(0xD83D);
    const QChar low(0xDE00);
    for (const QString& inserted : { QString(high) + low, QString(high), QString(low) }) {
        for (qsizetype at = 0; at <= around.size(); ++at) {
            QString text = around;
            text.insert(at, inserted);
            EXPECT_EQ(LineEnds().encode(text), text.toUtf8()) << at;
        }
    }
}
