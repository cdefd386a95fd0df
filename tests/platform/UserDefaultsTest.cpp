#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <limits>

using namespace quillon;

TEST(UserDefaults, ValuesKeepTheirTypesAcrossAReload)
{
    test::TempTree tree;
    const QString path = tree.filePath(QStringLiteral("nested/suite.json"));
    const QDateTime when
        = QDateTime::fromString(QStringLiteral("2026-03-01T10:20:30.456Z"), Qt::ISODateWithMs);
    {
        UserDefaults d(path);
        d.setBool(QStringLiteral("b"), true);
        d.setInt(QStringLiteral("i"), 42);
        d.setDouble(QStringLiteral("f"), 15.5);
        d.setString(QStringLiteral("s"), QStringLiteral("h\u00e9llo"));
        d.setStringList(QStringLiteral("l"), { QStringLiteral("md"), QStringLiteral("markdown") });
        d.setData(QStringLiteral("d"), QByteArray("\x00\x01\xff", 3));
        d.setDate(QStringLiteral("t"), when);
        EXPECT_TRUE(d.lastWriteError().isEmpty());
    }
    UserDefaults d(path);
    EXPECT_EQ(d.boolValue(QStringLiteral("b")), true);
    EXPECT_EQ(d.intValue(QStringLiteral("i")), 42);
    EXPECT_EQ(d.doubleValue(QStringLiteral("f")), 15.5);
    EXPECT_EQ(d.stringValue(QStringLiteral("s")), QStringLiteral("h\u00e9llo"));
    EXPECT_EQ(d.stringListValue(QStringLiteral("l")),
        QStringList({ QStringLiteral("md"), QStringLiteral("markdown") }));
    EXPECT_EQ(d.dataValue(QStringLiteral("d")), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(d.dateValue(QStringLiteral("t")), when);
}

TEST(UserDefaults, AValueOfAnotherTypeReadsAsAbsent)
{
    test::TempTree tree;
    UserDefaults d(tree.filePath(QStringLiteral("s.json")));
    d.setString(QStringLiteral("k"), QStringLiteral("3"));
    EXPECT_FALSE(d.intValue(QStringLiteral("k")).has_value());
    EXPECT_FALSE(d.boolValue(QStringLiteral("k")).has_value());
    EXPECT_FALSE(d.stringListValue(QStringLiteral("k")).has_value());
    d.remove(QStringLiteral("k"));
    EXPECT_FALSE(d.contains(QStringLiteral("k")));
}

TEST(UserDefaults, AnIntegerBeyondSixtyFourBitsReadsAsAbsent)
{
    test::TempTree tree;
    const QString path = tree.write(QStringLiteral("s.json"),
        R"({"huge": 1e300, "low": -1e19, "edge": 9223372036854775808, "max": 9223372036854775807,
            "min": -9223372036854775808, "cut": -15.9, "big": 4611686018427387904})");
    UserDefaults d(path);
    EXPECT_FALSE(d.intValue(QStringLiteral("huge")).has_value());
    EXPECT_FALSE(d.intValue(QStringLiteral("low")).has_value());
    EXPECT_FALSE(d.intValue(QStringLiteral("edge")).has_value());
    EXPECT_EQ(d.intValue(QStringLiteral("max")), std::numeric_limits<qint64>::max());
    EXPECT_EQ(d.intValue(QStringLiteral("min")), std::numeric_limits<qint64>::min());
    EXPECT_EQ(d.intValue(QStringLiteral("cut")), -15);
    EXPECT_EQ(d.intValue(QStringLiteral("big")), Q_INT64_C(4611686018427387904));
    EXPECT_EQ(d.doubleValue(QStringLiteral("huge")), 1e300);
}

// Values set together in a batch reach the file together as it ends, nested batches with the
// outermost; a batch that changed nothing writes nothing.
TEST(UserDefaults, ABatchWritesOnceAsItEnds)
{
    test::TempTree tree;
    const QString path = tree.path() + QStringLiteral("/s.json");
    UserDefaults d(path);
    d.setInt(QStringLiteral("a"), 1);
    {
        const UserDefaults::Batch outer(d);
        {
            const UserDefaults::Batch inner(d);
            d.setInt(QStringLiteral("a"), 2);
            d.setString(QStringLiteral("b"), QStringLiteral("two"));
        }
        d.remove(QStringLiteral("a"));
        EXPECT_EQ(UserDefaults(path).intValue(QStringLiteral("a")), 1);
        EXPECT_FALSE(UserDefaults(path).contains(QStringLiteral("b")));
        EXPECT_EQ(d.stringValue(QStringLiteral("b")), QStringLiteral("two"));
    }
    const UserDefaults reread(path);
    EXPECT_FALSE(reread.contains(QStringLiteral("a")));
    EXPECT_EQ(reread.stringValue(QStringLiteral("b")), QStringLiteral("two"));
    // Nor does a value set to what the file holds.
    QFile::remove(path);
    {
        const UserDefaults::Batch idle(d);
        d.setString(QStringLiteral("b"), QStringLiteral("two"));
    }
    EXPECT_FALSE(QFile::exists(path));
    d.setString(QStringLiteral("b"), QStringLiteral("three"));
    EXPECT_EQ(UserDefaults(path).stringValue(QStringLiteral("b")), QStringLiteral("three"));
}

TEST(UserDefaults, ACorruptFileStartsEmptyAndIsReplacedOnTheNextWrite)
{
    test::TempTree tree;
    const QString path = tree.write(QStringLiteral("s.json"), "{not json");
    UserDefaults d(path);
    EXPECT_TRUE(d.keys().isEmpty());
    d.setBool(QStringLiteral("x"), false);
    EXPECT_EQ(UserDefaults(path).boolValue(QStringLiteral("x")), false);
}
