#include "analytics/beacon/Beacon.h"

#include "analytics/beacon/StoreTransaction.h"
#include "analytics/beacon/TrialConversionTracker.h"

namespace quillon {

void Beacon::purchaseCompleted(const StoreTransaction& transaction, const Parameters& parameters,
    const std::optional<QString>& customUserID)
{
    using Transaction = StoreTransaction;
    const bool freeTrial = transaction.productType == Transaction::ProductType::autoRenewable
        && transaction.offerType == Transaction::OfferType::introductory
        && transaction.price.value_or(0.0) == 0.0;
    if (freeTrial)
        reportFreeTrial(transaction, parameters, customUserID);
    else
        reportPaidPurchase(transaction, parameters, customUserID);
}

void Beacon::reportFreeTrial(const StoreTransaction& transaction, const Parameters& parameters,
    const std::optional<QString>& customUserID)
{
    Parameters merged = transaction.purchaseParameters();
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        merged.insert(it.key(), it.value());
    internalSignal(
        QStringLiteral("Beacon.Purchase.freeTrialStarted"), merged, std::nullopt, customUserID);
    TrialConversionTracker& tracker = TrialConversionTracker::shared();
    tracker.setCurrentTrial(
        TrialConversionTracker::StoredTrial { transaction.productID, transaction.originalID });
    tracker.startObservingTransactions();
}

void Beacon::reportPaidPurchase(const StoreTransaction& transaction, const Parameters& parameters,
    const std::optional<QString>& customUserID)
{
    Parameters merged = transaction.purchaseParameters();
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        merged.insert(it.key(), it.value());
    internalSignal(QStringLiteral("Beacon.Purchase.completed"), merged, transaction.priceInUSD(),
        customUserID);
}

} // namespace quillon
