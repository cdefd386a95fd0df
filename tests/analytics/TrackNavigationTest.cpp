#include "AnalyticsTestHelpers.h"

#include "analytics/beacon/NavigationStatus.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"
#include "analytics/beacon/TrackNavigation.h"

#include <QCoreApplication>
#include <QShowEvent>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

#include <gtest/gtest.h>

namespace quillon {
namespace {

class TrackNavigationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        calls = test::installRecordingTelemetry(log.handler()).calls;
        NavigationStatus::shared().setPreviousNavigationPath(std::nullopt);
    }
    void TearDown() override { TelemetryManager::terminate(); }

    QStringList identifiers() const
    {
        QMutexLocker lock(&calls->mutex);
        QStringList out;
        for (const auto& call : calls->calls) {
            if (call.name == QStringLiteral("Beacon.Navigation.pathChanged"))
                out.append(call.parameters.value(QStringLiteral("Beacon.Navigation.identifier")));
        }
        return out;
    }

    test::LogCollector log;
    test::RecordingSignalManager* calls = nullptr;
};

TEST_F(TrackNavigationTest, EachShowingSendsOneSignalFromTheLastDestination)
{
    QWindow settings;
    trackNavigation(&settings, QStringLiteral("settings"));
    settings.show();
    settings.hide();
    settings.show();
    EXPECT_EQ(identifiers(),
        QStringList({ QStringLiteral(" -> settings"), QStringLiteral("settings -> settings") }));

    QWindow chat;
    trackNavigation(&chat, QStringLiteral("chat"));
    chat.show();
    EXPECT_EQ(identifiers().last(), QStringLiteral("settings -> chat"));
    EXPECT_EQ(NavigationStatus::shared().previousNavigationPath(), QStringLiteral("chat"));
}

TEST_F(TrackNavigationTest, RestoringAWindowIsNoNavigationAndTrackingEndsWithTheView)
{
    auto view = std::make_unique<QWindow>();
    trackNavigation(view.get(), QStringLiteral("editor"));
    QShowEvent restored;
    QSpontaneKeyEvent::setSpontaneous(&restored);
    QCoreApplication::instance()->notify(view.get(), &restored); // keeps it spontaneous
    EXPECT_TRUE(identifiers().isEmpty());
    view->show();
    EXPECT_EQ(identifiers().size(), 1);
    view.reset();
    QWindow other;
    other.show(); // an untracked view sends nothing
    EXPECT_EQ(identifiers().size(), 1);
}

} // namespace
} // namespace quillon
