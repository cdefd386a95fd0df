#include "analytics/AnalyticsEvent.h"
#include "analytics/AnalyticsManager.h"
#include "analytics/beacon/LogHandler.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace quillon {
namespace {

QStringList* g_lines = nullptr;

void collect(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (g_lines)
        g_lines->append(QString::fromLatin1(context.category) + u' ' + message);
}

// Captures what reaches Qt's message output while it lives.
struct CapturedOutput
{
    QStringList lines;
    QtMessageHandler previous;
    CapturedOutput()
    {
        g_lines = &lines;
        previous = qInstallMessageHandler(collect);
    }
    ~CapturedOutput()
    {
        qInstallMessageHandler(previous);
        g_lines = nullptr;
    }
};

TEST(QuietLoggingTest, ClientDebugAndInfoStayOffTheTerminalErrorsShow)
{
    CapturedOutput output;
    const LogHandler handler = LogHandler::standard(LogHandler::LogLevel::debug);
    handler.log(LogHandler::LogLevel::debug, QStringLiteral("cache loaded"));
    handler.log(LogHandler::LogLevel::info, QStringLiteral("signal sent"));
    EXPECT_TRUE(output.lines.isEmpty()) << output.lines.join(u'\n').toStdString();
    handler.log(LogHandler::LogLevel::error, QStringLiteral("server said no"));
    ASSERT_EQ(output.lines.size(), 1);
    EXPECT_TRUE(output.lines.at(0).endsWith(QStringLiteral("server said no")));
}

TEST(QuietLoggingTest, TrackingAnEventPrintsNothing)
{
    CapturedOutput output;
    // Not configured: the event goes nowhere, and says nothing about it.
    AnalyticsManager::shared().track(AnalyticsEvent::appLaunched());
    EXPECT_TRUE(output.lines.isEmpty()) << output.lines.join(u'\n').toStdString();
}

} // namespace
} // namespace quillon
