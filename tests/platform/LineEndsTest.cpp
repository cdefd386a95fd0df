#include "platform/FileUtil.h"
#include "platform/LineEnds.h"

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
        "", "plain", "a\nb\n", "a\r\nb\r\n", "a\nb\r\nc\n", "x\r\r\ny\r\n", "\r\n\r\n\n",
        "lone\rcr\rs", "\xEF\xBB\xBF" "bom\r\nand\n", "\xEF\xBB\xBF", "caf\xC3\xA9\r\n\xF0\x9F\x98\x80\n",
        "trailing\r",
    };
    for (const QByteArray& bytes : files) {
        const Loaded doc = load(bytes);
        EXPECT_EQ(doc.ends.encode(doc.text), bytes) << bytes.toHex().constData();
    }
    EXPECT_EQ(load("\xEF\xBB\xBF" "a\r\nb\nc").text, QStringLiteral("a\nb\nc"));
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
    EXPECT_EQ(edit(doc, 4, 2, QStringLiteral("A\nB\nC")), "one\nA\r\nB\r\nC\r\no\r\nthr\n\nee\nfour\n");

    // The last line has no end of its own: a break there takes the most frequent end.
    Loaded crlf = load("a\r\nb\r\nc\nlast");
    EXPECT_EQ(edit(crlf, 10, 0, QStringLiteral("\nmore")), "a\r\nb\r\nc\nlast\r\nmore");
    Loaded none = load("no break");
    EXPECT_EQ(edit(none, 2, 0, QStringLiteral("\n")), "no\n break");
    // A tie goes to LF.
    Loaded tie = load("a\r\nb\nc");
    EXPECT_EQ(edit(tie, 5, 0, QStringLiteral("\n")), "a\r\nb\nc\n");
}
