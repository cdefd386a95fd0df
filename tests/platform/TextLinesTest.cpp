#include "platform/TextLines.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

namespace quillon {
namespace {

using textlines::LineBounds;
using textlines::Lines;

QStringList contents(const QString& text, qsizetype from = 0)
{
    QStringList out;
    for (const LineBounds& line : Lines(text, from))
        out.append(line.contents(text).toString());
    return out;
}

TEST(TextLines, ExactlyTheSevenLineTerminatorsBreakALine)
{
    const QList<char16_t> breaks { 0x0A, 0x0B, 0x0C, 0x0D, 0x85, 0x2028, 0x2029 };
    for (int u = 0; u <= 0xFFFF; ++u) {
        const bool expected = breaks.contains(char16_t(u));
        ASSERT_EQ(textlines::isLineBreak(QChar(u)), expected) << std::hex << u;
        // Every consumer sees the same lines: the character splits a text in two, or not at all.
        const QString text = u"a"_qs + QChar(u) + u"b"_qs;
        ASSERT_EQ(contents(text).size(), expected ? 2 : 1) << std::hex << u;
    }
}

TEST(TextLines, CarriageReturnLineFeedIsOneBreak)
{
    EXPECT_EQ(contents(u"a\r\nb\n\rc\r"_qs), (QStringList { "a", "b", "", "c", "" }));
    EXPECT_EQ(contents({}), QStringList { "" });
    EXPECT_EQ(contents(u"x\ny\nz"_qs, 2), (QStringList { "y", "z" }));

    const QString text = u"ab\r\ncd"_qs;
    // Between the CR and the LF is still the first line.
    const LineBounds middle = textlines::lineBounds(text, 3);
    EXPECT_EQ(middle.start, 0);
    EXPECT_EQ(middle.contentsEnd, 2);
    EXPECT_EQ(middle.end, 4);
    const LineBounds second = textlines::lineBounds(text, 99);
    EXPECT_EQ(second.start, 4);
    EXPECT_FALSE(second.hasBreak());
}

} // namespace
} // namespace quillon

TEST(TextLines, UnpairedSurrogatesAreFoundWhereverTheyStandInALine)
{
    // Every length up to a few words of four units, with a pair, a lone high and a lone low
    // half put at every place (and a pair followed by a lone half), against a plain reading.
    const auto reference = [](const QString& text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            else if (text[i].isSurrogate())
                return false;
        }
        return true;
    };
    const QChar high(char16_t(0xD83D));
    const QChar low(char16_t(0xDE00));
    for (int length = 0; length <= 13; ++length) {
        for (int at = 0; at <= length; ++at) {
            const QString plain(length, QLatin1Char('a'));
            const QList<QString> texts {
                QString(plain).insert(at, QString(high) + low),
                QString(plain).insert(at, high),
                QString(plain).insert(at, low),
                QString(plain).insert(at, QString(high) + low + high),
                QString(plain).insert(at, QString(low) + high + low),
            };
            for (const QString& text : texts)
                EXPECT_EQ(quillon::textlines::isValidUtf16(text), reference(text))
                    << "length " << length << " at " << at << " size " << text.size();
        }
    }
}

TEST(TextLines, EveryBreakIsFoundWhereverItStandsAmongOtherUnits)
{
    // Each break, and units that look like one to a quick test (0x0E, 0x7F, 0x84, 0x2027, 0x0B0A),
    // put at every place of texts up to a few words of four units, found from every start.
    const auto reference = [](QStringView text, qsizetype from) {
        qsizetype i = from;
        while (i < text.size() && !quillon::textlines::isLineBreak(text[i]))
            ++i;
        return i;
    };
    const QList<char16_t> units { 0x0A, 0x0B, 0x0C, 0x0D, 0x85, 0x2028, 0x2029, 0x09, 0x0E, 0x7F,
        0x84, 0x2027, 0xE9, 0x0B0A, 0x0A0B };
    for (int length = 0; length <= 13; ++length) {
        for (int at = 0; at <= length; ++at) {
            for (const char16_t unit : units) {
                const QString text = QString(length, QLatin1Char('a')).insert(at, QChar(unit));
                for (qsizetype from = 0; from <= text.size(); ++from)
                    EXPECT_EQ(quillon::textlines::nextLineBreak(text, from), reference(text, from))
                        << "length " << length << " at " << at << " unit " << int(unit) << " from "
                        << from;
            }
        }
    }
}
