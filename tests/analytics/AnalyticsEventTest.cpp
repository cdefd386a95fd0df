#include "analytics/AnalyticsEvent.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(AnalyticsEvent, PayloadsBecomeStringParameters)
{
    EXPECT_EQ(AnalyticsEvent::searchExecuted(0).params().value(QStringLiteral("query_length")),
        QStringLiteral("0"));
    EXPECT_EQ(AnalyticsEvent::documentOpened(QString()).params().value(
                  QStringLiteral("source"), QStringLiteral("absent")),
        QString());
    EXPECT_TRUE(AnalyticsEvent::appLaunched().params().isEmpty());
    EXPECT_EQ(AnalyticsEvent::gitSyncExecuted(QStringLiteral("clone")).name(),
        QStringLiteral("Git.syncExecuted"));
}
