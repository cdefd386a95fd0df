#include "AnalyticsTestHelpers.h"

#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/SignalManager.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"

#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace quillon;

namespace {

const QString kSessionStarted = QStringLiteral("Beacon.Session.started");

class BeaconFacadeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const test::RecordingTelemetry telemetry = test::installRecordingTelemetry(log.handler());
        configuration = telemetry.configuration;
        manager = telemetry.manager;
        signals_ = telemetry.calls;
    }
    void TearDown() override { TelemetryManager::terminate(); }

    using RecordingSignalManagerHandle = test::RecordingSignalManager;

    test::LogCollector log;
    std::shared_ptr<TelemetryManagerConfiguration> configuration;
    std::shared_ptr<TelemetryManager> manager;
    test::RecordingSignalManager* signals_ = nullptr;
};

} // namespace

TEST_F(BeaconFacadeTest, PrefixesApplyToPublicSignalsOnly)
{
    configuration->setDefaultSignalPrefix(QStringLiteral("App."));
    configuration->setDefaultParameterPrefix(QStringLiteral("p."));
    Beacon::signal(QStringLiteral("opened"),
        { { QStringLiteral("Beacon.Own"), QStringLiteral("1") },
            { QStringLiteral("beacon.lower"), QStringLiteral("2") },
            { QStringLiteral("key"), QStringLiteral("3") } });
    Beacon::internalSignal(QStringLiteral("Beacon.Internal"), { { QStringLiteral("x"), "4" } });

    const auto calls = signals_->callsExcept(kSessionStarted);
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0].name, QStringLiteral("App.opened"));
    EXPECT_EQ(calls[0].parameters,
        (QMap<QString, QString> {
            { "Beacon.Own", "1" }, { "p.beacon.lower", "2" }, { "p.key", "3" } }));
    EXPECT_EQ(calls[1].name, QStringLiteral("Beacon.Internal"));
    EXPECT_EQ(calls[1].parameters, (QMap<QString, QString> { { "x", "4" } }));
    EXPECT_EQ(log.linesAt(LogHandler::LogLevel::error),
        QStringList { "Sending parameter with reserved key prefix 'Beacon.' will cause "
                      "unexpected behavior. Please use another prefix instead." });
}

TEST_F(BeaconFacadeTest, ReservedNamesAreWarnedAboutButStillSent)
{
    struct Case
    {
        QString name;
        QMap<QString, QString> parameters;
        std::optional<QString> parameterPrefix;
        bool warnings;
        QStringList expected;
    };
    const QList<Case> cases = {
        { "type", {}, {}, true,
            { "Sending signal with reserved name 'type' will cause unexpected behavior. Please use "
              "another name instead." } },
        { "TYPE", {}, {}, true,
            { "Sending signal with reserved name 'TYPE' will cause unexpected behavior. Please use "
              "another name instead." } },
        { "type", {}, {}, false, {} },
        { "ok", { { "sessionID", "1" } }, {}, true,
            { "Sending parameter with reserved key 'sessionID' will cause unexpected behavior. "
              "Please use another key instead." } },
        { "ok", { { "sessionID", "1" } }, QStringLiteral("my."), true, {} },
        { "beacon.mine", {}, {}, true,
            { "Sending signal with reserved prefix 'Beacon.' will cause unexpected behavior. "
              "Please "
              "use another prefix instead." } },
    };
    for (const Case& c : cases) {
        log.clear();
        configuration->setDefaultParameterPrefix(c.parameterPrefix);
        configuration->setReservedParameterWarningsEnabled(c.warnings);
        Beacon::signal(c.name, c.parameters);
        EXPECT_EQ(log.linesAt(LogHandler::LogLevel::error), c.expected) << qPrintable(c.name);
    }
    EXPECT_EQ(signals_->callsExcept(kSessionStarted).size(), cases.size());
}

TEST_F(BeaconFacadeTest, DefaultParametersYieldToCallParametersAndAreAlwaysChecked)
{
    configuration->setReservedParameterWarningsEnabled(false);
    configuration->setDefaultParameters([] {
        return QMap<QString, QString> { { "platform", "linux" }, { "shared", "default" } };
    });
    Beacon::signal(QStringLiteral("ok"), { { "shared", "call" } });
    const auto calls = signals_->callsExcept(kSessionStarted);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].parameters.value("shared"), QStringLiteral("call"));
    EXPECT_EQ(calls[0].parameters.value("platform"), QStringLiteral("linux"));
    EXPECT_EQ(log.linesAt(LogHandler::LogLevel::error).size(), 1);
}

TEST_F(BeaconFacadeTest, DisabledOrPreviewDropsEverything)
{
    configuration->setAnalyticsDisabled(true);
    Beacon::signal(QStringLiteral("a"));
    Beacon::internalSignal(QStringLiteral("Beacon.b"));
    configuration->setAnalyticsDisabled(false);
    configuration->setSwiftUIPreviewMode(true);
    Beacon::signal(QStringLiteral("c"));
    EXPECT_TRUE(signals_->callsExcept(kSessionStarted).isEmpty());
}

TEST_F(BeaconFacadeTest, ImmediateSyncIsThrottledAcrossThreads)
{
    configuration->setTransmitInterval(60);
    QList<QThread*> threads;
    for (int i = 0; i < 8; ++i)
        threads.append(QThread::create([] {
            for (int j = 0; j < 50; ++j)
                Beacon::requestImmediateSync();
        }));
    for (QThread* thread : threads)
        thread->start();
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
    EXPECT_EQ(signals_->attemptCount(), 1);
}

TEST_F(BeaconFacadeTest, SessionStartsHalfASecondAfterCreation)
{
    configuration->setSendNewSessionBeganSignal(true);
    const QUuid initial = configuration->sessionID();
    ASSERT_TRUE(
        test::waitUntil([&] { return !signals_->callsNamed(kSessionStarted).isEmpty(); }, 3000));
    EXPECT_NE(configuration->sessionID(), initial);

    const int before = int(signals_->callsNamed(kSessionStarted).size());
    Beacon::generateNewSession();
    Beacon::generateNewSession();
    EXPECT_EQ(signals_->callsNamed(kSessionStarted).size(), before + 2);
}

TEST_F(BeaconFacadeTest, ForegroundAfterLongBackgroundStartsASession)
{
    configuration->setSendNewSessionBeganSignal(true);
    // Never in the background: the distant past counts as long ago.
    QUuid before = configuration->sessionID();
    manager->willEnterForeground();
    EXPECT_NE(configuration->sessionID(), before);

    manager->didEnterBackground();
    before = configuration->sessionID();
    manager->willEnterForeground();
    EXPECT_EQ(configuration->sessionID(), before);
}

TEST(TelemetryManagerInstall, InstallReplaceAndTerminate)
{
    EXPECT_FALSE(TelemetryManager::isInitialized());
    EXPECT_EQ(Beacon::customDefaults(), nullptr);
    Beacon::signal(QStringLiteral("nothing installed")); // must not crash

    auto first = std::make_shared<TelemetryManager>(
        std::make_shared<TelemetryManagerConfiguration>(QStringLiteral("A")),
        std::make_unique<test::RecordingSignalManager>());
    auto second = std::make_shared<TelemetryManager>(
        std::make_shared<TelemetryManagerConfiguration>(QStringLiteral("B")),
        std::make_unique<test::RecordingSignalManager>());
    TelemetryManager::install(first);
    EXPECT_TRUE(TelemetryManager::isInitialized());
    TelemetryManager::install(second);
    EXPECT_EQ(TelemetryManager::shared(), second);
    ASSERT_NE(Beacon::customDefaults(), nullptr);
    EXPECT_TRUE(Beacon::customDefaults()->filePath().contains("app.quillon.beacon."));
    TelemetryManager::terminate();
    EXPECT_FALSE(TelemetryManager::isInitialized());
}

TEST(SignalManagerEndpoint, BuildsTheIngestPath)
{
    const QUrl plain(QStringLiteral("https://example.test"));
    const QUrl slash(QStringLiteral("https://example.test/"));
    EXPECT_EQ(
        SignalManager::getServiceUrl(plain, {}), QUrl(QStringLiteral("https://example.test/v2/")));
    EXPECT_EQ(SignalManager::getServiceUrl(slash, {}), SignalManager::getServiceUrl(plain, {}));
    EXPECT_EQ(SignalManager::getServiceUrl(plain, QString()),
        QUrl(QStringLiteral("https://example.test/v2/")));
    EXPECT_EQ(SignalManager::getServiceUrl(plain, QStringLiteral("team")),
        QUrl(QStringLiteral("https://example.test/v2/namespace/team/")));
    EXPECT_FALSE(SignalManager::getServiceUrl(plain, QStringLiteral("bad space")).has_value());
}
