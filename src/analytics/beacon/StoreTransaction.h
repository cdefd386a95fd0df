#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

namespace quillon {

// A completed store transaction, as far as the purchase signals need it. No store exists on
// this platform; a store integration (or a test) fills these in.
struct StoreTransaction
{
    enum class ProductType { consumable, nonConsumable, autoRenewable, nonRenewable };
    enum class OfferType { introductory, promotional, code, winBack };
    enum class PaymentMode { freeTrial, payAsYouGo, payUpFront };

    ProductType productType = ProductType::nonConsumable;
    std::optional<OfferType> offerType;
    std::optional<PaymentMode> offerPaymentMode;
    std::optional<double> price;
    std::optional<QString> currency; // ISO 4217 code
    QString storefrontCountryCode;
    std::optional<QString> subscriptionGroupID;
    QString productID;
    quint64 originalID = 0;
    std::optional<QDateTime> revocationDate;
    std::optional<QDateTime> expirationDate;
    bool isUpgraded = false;

    // "Beacon.Purchase.type", "...countryCode", "...productID" and, with a currency,
    // "...currencyCode".
    QMap<QString, QString> purchaseParameters() const;
    // The price in US dollars; 0 without a currency or with one missing from the rate table.
    double priceInUSD() const;
    // An introductory offer paid as a free trial.
    bool isFreeTrial() const;

    // Units of the currency per US dollar; nothing for USD and unknown codes.
    static std::optional<double> oneUSDExchangeRate(const QString& currencyCode);
};

// One element of the store's stream of transaction updates.
struct TransactionUpdate
{
    StoreTransaction transaction;
    bool verified = true;
};

} // namespace quillon
