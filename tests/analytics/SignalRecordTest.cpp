#include "AnalyticsTestHelpers.h"

#include "analytics/beacon/CryptoHashing.h"
#include "analytics/beacon/LogHandler.h"
#include "analytics/beacon/SignalPostBody.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quillon;

TEST(CryptoHashing, SaltIsAppendedBeforeHashing)
{
    const QString abc
        = QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(CryptoHashing::sha256(QStringLiteral("abc"), QString()), abc);
    EXPECT_EQ(CryptoHashing::sha256(QStringLiteral("ab"), QStringLiteral("c")), abc);
}

TEST(LogHandler, DeliversMessagesAtOrAboveItsLevel)
{
    using Level = LogHandler::LogLevel;
    for (const auto& [handlerLevel, expected] :
        { std::pair { Level::debug, QStringList { "DEBUG", "INFO", "ERROR" } },
            std::pair { Level::info, QStringList { "INFO", "ERROR" } },
            std::pair { Level::error, QStringList { "ERROR" } } }) {
        QStringList received;
        LogHandler handler(handlerLevel,
            [&](Level level, const QString&) { received << LogHandler::description(level); });
        for (Level level : { Level::debug, Level::info, Level::error })
            handler.log(level, QStringLiteral("message"));
        EXPECT_EQ(received, expected);
    }
    EXPECT_FALSE(LogHandler::levelFromRawValue(3).has_value());
}

TEST(TelemetryManagerConfiguration, DefaultsAndPreviewMode)
{
    TelemetryManagerConfiguration configuration(QStringLiteral("APP"));
    EXPECT_EQ(configuration.salt(), QString());
    EXPECT_EQ(configuration.cacheLimit(), 10000);
    EXPECT_EQ(configuration.transmitInterval(), 10.0);
    EXPECT_EQ(configuration.maxBackoffInterval(), 300.0);
    EXPECT_FALSE(configuration.testMode());
    ASSERT_TRUE(configuration.logHandler().has_value());
    EXPECT_EQ(configuration.logHandler()->logLevel(), LogHandler::LogLevel::info);

    qputenv("XCODE_RUNNING_FOR_PREVIEWS", "1");
    EXPECT_TRUE(configuration.swiftUIPreviewMode());
    configuration.setSwiftUIPreviewMode(false);
    EXPECT_FALSE(configuration.swiftUIPreviewMode());
    qunsetenv("XCODE_RUNNING_FOR_PREVIEWS");
}

TEST(TelemetryManagerConfiguration, BaseURLComesFromTheEnvironmentWhenSet)
{
    const QByteArray saved = qgetenv("QUILLON_ANALYTICS_BASE_URL");
    qputenv("QUILLON_ANALYTICS_BASE_URL", "http://127.0.0.1:9");
    EXPECT_EQ(TelemetryManagerConfiguration(QStringLiteral("A")).apiBaseURL(),
        QUrl(QStringLiteral("http://127.0.0.1:9")));
    EXPECT_EQ(TelemetryManagerConfiguration(
                  QStringLiteral("A"), {}, QUrl(QStringLiteral("http://127.0.0.1:7")))
                  .apiBaseURL(),
        QUrl(QStringLiteral("http://127.0.0.1:7")));
    qunsetenv("QUILLON_ANALYTICS_BASE_URL");
    EXPECT_EQ(TelemetryManagerConfiguration(QStringLiteral("A")).apiBaseURL().scheme(),
        QStringLiteral("https"));
    if (!saved.isEmpty())
        qputenv("QUILLON_ANALYTICS_BASE_URL", saved);
}

TEST(SignalPostBody, FloatValueKeyOnlyWhenPresent)
{
    SignalPostBody body = test::makeRecord(1);
    body.payload.clear();
    QJsonObject wire = body.toWireJson();
    EXPECT_EQ(wire.size(), 7);
    EXPECT_FALSE(wire.contains(QStringLiteral("floatValue")));
    EXPECT_TRUE(wire.value(QStringLiteral("payload")).isObject());
    EXPECT_TRUE(wire.value(QStringLiteral("payload")).toObject().isEmpty());

    body.floatValue = 0.0;
    wire = body.toWireJson();
    EXPECT_EQ(wire.size(), 8);
    EXPECT_TRUE(wire.value(QStringLiteral("floatValue")).isDouble());
    EXPECT_EQ(wire.value(QStringLiteral("floatValue")).toDouble(), 0.0);
    EXPECT_TRUE(wire.value(QStringLiteral("isTestMode")).isString());
}

TEST(SignalPostBody, WireDateIsWholeSecondsInGmt)
{
    SignalPostBody body = test::makeRecord(1);
    // 23:59:59.9 in New York is already the next day in GMT.
    body.receivedAt = QDateTime(QDate(2024, 3, 4), QTime(23, 59, 59, 900),
        QTimeZone(QByteArrayLiteral("America/New_York")));
    EXPECT_EQ(body.toWireJson().value(QStringLiteral("receivedAt")).toString(),
        QStringLiteral("2024-03-05T04:59:59+0000"));
}

TEST(SignalPostBody, CacheFormRoundTripsWithFractionalSeconds)
{
    SignalPostBody body = test::makeRecord(7, 2.5);
    const QJsonObject cached = body.toCacheJson();
    EXPECT_TRUE(cached.value(QStringLiteral("receivedAt")).isDouble());
    const std::optional<SignalPostBody> decoded = SignalPostBody::fromCacheJson(cached);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, body);
    EXPECT_EQ(decoded->receivedAt.toMSecsSinceEpoch() % 1000, 130);
}

TEST(SignalPostBody, DecodingRejectsWrongTypes)
{
    const QJsonObject good = test::makeRecord(1).toCacheJson();
    ASSERT_TRUE(SignalPostBody::fromCacheJson(good).has_value());

    QJsonObject booleanTestMode = good;
    booleanTestMode.insert(QStringLiteral("isTestMode"), true);
    QJsonObject numberInPayload = good;
    numberInPayload.insert(QStringLiteral("payload"), QJsonObject { { QStringLiteral("n"), 1 } });
    QJsonObject missingType = good;
    missingType.remove(QStringLiteral("type"));
    QJsonObject nullFloat = good;
    nullFloat.insert(QStringLiteral("floatValue"), QJsonValue::Null);
    nullFloat.insert(QStringLiteral("extra"), 1);

    EXPECT_FALSE(SignalPostBody::fromCacheJson(booleanTestMode));
    EXPECT_FALSE(SignalPostBody::fromCacheJson(numberInPayload));
    EXPECT_FALSE(SignalPostBody::fromCacheJson(missingType));
    ASSERT_TRUE(SignalPostBody::fromCacheJson(nullFloat));
    EXPECT_FALSE(SignalPostBody::fromCacheJson(nullFloat)->floatValue.has_value());
}

TEST(SignalPostBody, BatchIsAPlainArrayAndRefusesNonFiniteNumbers)
{
    const std::optional<QByteArray> data
        = SignalPostBody::encodeBatch({ test::makeRecord(1), test::makeRecord(2, 1.5) });
    ASSERT_TRUE(data);
    const QJsonDocument document = QJsonDocument::fromJson(*data);
    ASSERT_TRUE(document.isArray());
    EXPECT_EQ(document.array().size(), 2);
    EXPECT_FALSE(data->contains('\n'));
    EXPECT_EQ(document.array().at(1).toObject(), test::makeRecord(2, 1.5).toWireJson());

    // Members in their declared order, the float value only where there is one.
    SignalPostBody quoted = test::makeRecord(3);
    quoted.type = QStringLiteral("Say \"hi\"\n");
    quoted.payload = { { QStringLiteral("k"), QStringLiteral("v\\") } };
    EXPECT_EQ(*SignalPostBody::encodeBatch({ quoted }),
        QByteArray("[{\"receivedAt\":\"2024-05-01T12:00:00+0000\",\"appID\":\"APP\","
                   "\"clientUser\":\"user\",\"sessionID\":\"SESSION\","
                   "\"type\":\"Say \\\"hi\\\"\\n\",\"payload\":{\"k\":\"v\\\\\"},"
                   "\"isTestMode\":\"false\"}]"));
    EXPECT_TRUE(SignalPostBody::encodeBatch({ test::makeRecord(4, -0.25) })
                    ->contains("\"type\":\"Signal.4\",\"floatValue\":-0.25,\"payload\""));
    EXPECT_EQ(*SignalPostBody::encodeBatch({}), QByteArray("[]"));

    QString error;
    EXPECT_FALSE(SignalPostBody::encodeBatch(
        { test::makeRecord(1, std::numeric_limits<double>::quiet_NaN()) }, &error));
    EXPECT_FALSE(error.isEmpty());
}
