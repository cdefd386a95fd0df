#include "AnalyticsTestHelpers.h"

#include "analytics/beacon/Beacon.h"
#include "analytics/beacon/Clock.h"
#include "analytics/beacon/StoreTransaction.h"
#include "analytics/beacon/TelemetryManager.h"
#include "analytics/beacon/TelemetryManagerConfiguration.h"
#include "analytics/beacon/TransactionUpdateSource.h"
#include "analytics/beacon/TrialConversionTracker.h"
#include "platform/UserDefaults.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

using Params = QMap<QString, QString>;
using T = StoreTransaction;

StoreTransaction subscription(std::optional<double> price, std::optional<T::OfferType> offer,
    std::optional<T::PaymentMode> mode = std::nullopt)
{
    StoreTransaction t;
    t.productType = T::ProductType::autoRenewable;
    t.offerType = offer;
    t.offerPaymentMode = mode;
    t.price = price;
    t.currency = QStringLiteral("USD");
    t.storefrontCountryCode = QStringLiteral("DEU");
    t.subscriptionGroupID = QStringLiteral("group");
    t.productID = QStringLiteral("pro.monthly");
    t.originalID = 1000;
    return t;
}

class PurchaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        now = QDateTime(QDate(2024, 6, 10), QTime(9, 0), QTimeZone::utc());
        Clock::setForTesting([this] { return now; }, QTimeZone::utc());
        calls = test::installRecordingTelemetry().calls;
        store = std::make_unique<UserDefaults>(tree.filePath("suite.json"));
    }
    void TearDown() override
    {
        TelemetryManager::terminate();
        Clock::resetForTesting();
    }

    QList<test::RecordingSignalManager::Call> conversions() const
    {
        return calls->callsNamed("Beacon.Purchase.convertedFromTrial");
    }

    QDateTime now;
    test::TempTree tree;
    std::unique_ptr<UserDefaults> store;
    test::RecordingSignalManager* calls = nullptr;
};

} // namespace

TEST_F(PurchaseTest, ClassificationMatrix)
{
    StoreTransaction oneTime;
    oneTime.productType = T::ProductType::nonConsumable;
    oneTime.price = 0;
    oneTime.currency = QStringLiteral("USD");
    oneTime.offerType = T::OfferType::introductory;

    struct Case
    {
        const char* label;
        StoreTransaction transaction;
        QString signal;
        std::optional<double> floatValue;
        QString type;
    };
    const QList<Case> cases = {
        { "one-time at zero", oneTime, "Beacon.Purchase.completed", 0.0, "one-time-purchase" },
        { "intro, no price", subscription(std::nullopt, T::OfferType::introductory),
            "Beacon.Purchase.freeTrialStarted", std::nullopt, "subscription" },
        { "intro, zero price", subscription(0.0, T::OfferType::introductory),
            "Beacon.Purchase.freeTrialStarted", std::nullopt, "subscription" },
        { "intro, paid up front", subscription(2.99, T::OfferType::introductory),
            "Beacon.Purchase.completed", 2.99, "subscription" },
        { "no offer", subscription(0.0, std::nullopt), "Beacon.Purchase.completed", 0.0,
            "subscription" },
        { "promotional", subscription(0.0, T::OfferType::promotional), "Beacon.Purchase.completed",
            0.0, "subscription" },
    };
    for (const Case& c : cases) {
        {
            QMutexLocker lock(&calls->mutex);
            calls->calls.clear();
        }
        Beacon::purchaseCompleted(c.transaction);
        const auto sent = calls->callsExcept(QString());
        ASSERT_EQ(sent.size(), 1) << c.label;
        EXPECT_EQ(sent[0].name, c.signal) << c.label;
        EXPECT_EQ(sent[0].floatValue, c.floatValue) << c.label;
        EXPECT_EQ(sent[0].parameters.value("Beacon.Purchase.type"), c.type) << c.label;
    }
    TrialConversionTracker::shared().stopObserving();
    EXPECT_EQ(TrialConversionTracker::shared().currentTrial(),
        (TrialConversionTracker::StoredTrial { "pro.monthly", 1000 }));
}

TEST_F(PurchaseTest, PriceInUSDAndParameters)
{
    StoreTransaction t = subscription(1523.479, std::nullopt);
    t.currency = QStringLiteral("JPY");
    EXPECT_NEAR(t.priceInUSD(), 10.0, 1e-9);
    t.currency = QStringLiteral("USD");
    t.price = 4.99;
    EXPECT_EQ(t.priceInUSD(), 4.99);
    for (const char* unknown : { "usd", "XYZ" }) {
        t.currency = QString::fromLatin1(unknown);
        EXPECT_EQ(t.priceInUSD(), 0.0) << unknown;
    }
    t.currency.reset();
    EXPECT_EQ(t.priceInUSD(), 0.0);
    EXPECT_EQ(t.purchaseParameters(),
        (Params { { "Beacon.Purchase.type", "subscription" },
            { "Beacon.Purchase.countryCode", "DEU" },
            { "Beacon.Purchase.productID", "pro.monthly" } }));

    Beacon::purchaseCompleted(subscription(5.0, std::nullopt), { { "Beacon.Purchase.type", "x" } });
    EXPECT_EQ(calls->callsNamed("Beacon.Purchase.completed")
                  .first()
                  .parameters.value("Beacon.Purchase.type"),
        QStringLiteral("x"));
}

TEST_F(PurchaseTest, ConversionIsSentExactlyOnce)
{
    auto updates = std::make_shared<TransactionUpdateQueue>();
    TrialConversionTracker tracker(updates, store.get());
    tracker.setCurrentTrial(TrialConversionTracker::StoredTrial { "pro.monthly", 1000 });
    // Readable at once, before the write to the suite has landed.
    EXPECT_EQ(
        tracker.currentTrial(), (TrialConversionTracker::StoredTrial { "pro.monthly", 1000 }));
    tracker.startObservingTransactions();
    tracker.startObservingTransactions(); // still one observation

    StoreTransaction otherProduct = subscription(9.99, std::nullopt);
    otherProduct.productID = QStringLiteral("other");
    StoreTransaction otherSubscription = subscription(9.99, std::nullopt);
    otherSubscription.originalID = 7;
    updates->push(
        { subscription(std::nullopt, T::OfferType::introductory, T::PaymentMode::freeTrial),
            true });
    updates->push({ otherProduct, true });
    updates->push({ otherSubscription, true });
    updates->push({ subscription(9.99, std::nullopt), false }); // unverified
    StoreTransaction renewal = subscription(9.99, std::nullopt);
    renewal.expirationDate = now; // exactly now has not passed
    updates->push({ renewal, true });
    updates->push({ subscription(9.99, std::nullopt), true });

    ASSERT_TRUE(test::waitUntil([&] { return !tracker.isObserving(); }));
    ASSERT_EQ(conversions().size(), 1);
    EXPECT_EQ(conversions().first().floatValue, 9.99);
    EXPECT_EQ(conversions().first().parameters, renewal.purchaseParameters());
    EXPECT_FALSE(conversions().first().customUserID.has_value());
    tracker.waitForPersistence();
    EXPECT_FALSE(tracker.currentTrial().has_value());
    EXPECT_FALSE(store->contains("lastTrial"));
}

TEST_F(PurchaseTest, RevokedUpgradedOrExpiredEndsTheWatchSilently)
{
    for (int which = 0; which < 3; ++which) {
        auto updates = std::make_shared<TransactionUpdateQueue>();
        TrialConversionTracker tracker(updates, store.get());
        tracker.setCurrentTrial(TrialConversionTracker::StoredTrial { "pro.monthly", 1000 });
        tracker.startObservingTransactions();
        StoreTransaction ending = subscription(9.99, std::nullopt);
        if (which == 0)
            ending.revocationDate = now;
        else if (which == 1)
            ending.isUpgraded = true;
        else
            ending.expirationDate = now.addSecs(-1);
        updates->push({ ending, true });
        ASSERT_TRUE(test::waitUntil([&] { return !tracker.isObserving(); })) << which;
        tracker.waitForPersistence();
        EXPECT_FALSE(store->contains("lastTrial")) << which;
    }
    EXPECT_TRUE(conversions().isEmpty());
}

TEST_F(PurchaseTest, StoredTrialSurvivesARestartAndBadDataIsNoTrial)
{
    auto updates = std::make_shared<TransactionUpdateQueue>();
    {
        TrialConversionTracker tracker(updates, store.get());
        tracker.setCurrentTrial(TrialConversionTracker::StoredTrial { "pro.monthly", 1000 });
        tracker.waitForPersistence();
    }
    {
        TrialConversionTracker restarted(updates, store.get());
        EXPECT_TRUE(restarted.isObserving());
        EXPECT_EQ(restarted.currentTrial(),
            (TrialConversionTracker::StoredTrial { "pro.monthly", 1000 }));
        // Cancelling ends the observation promptly.
        restarted.stopObserving();
        EXPECT_FALSE(restarted.isObserving());
    }
    store->setData("lastTrial", R"({"productID": 5})");
    TrialConversionTracker broken(updates, store.get());
    EXPECT_FALSE(broken.currentTrial().has_value());
    EXPECT_FALSE(broken.isObserving());
}
