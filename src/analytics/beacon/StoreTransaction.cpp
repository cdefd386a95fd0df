#include "analytics/beacon/StoreTransaction.h"

#include <QHash>

namespace quillon {

namespace {

// A snapshot of market rates: units of each currency per US dollar.
const QHash<QString, double>& currencyCodeToOneUSDExchangeRate()
{
    static const QHash<QString, double> rates = {
        { "AED", 3.6725 },
        { "AFN", 70.4 },
        { "ALL", 94.3 },
        { "AMD", 395.2 },
        { "ANG", 1.79 },
        { "AOA", 912.5 },
        { "ARS", 1012.0 },
        { "AUD", 1.5393 },
        { "AWG", 1.79 },
        { "AZN", 1.7 },
        { "BAM", 1.8646 },
        { "BBD", 2.0 },
        { "BDT", 119.5 },
        { "BGN", 1.8646 },
        { "BHD", 0.376 },
        { "BIF", 2945.0 },
        { "BMD", 1.0 },
        { "BND", 1.342 },
        { "BOB", 6.91 },
        { "BRL", 5.79 },
        { "BSD", 1.0 },
        { "BTN", 84.45 },
        { "BWP", 13.6 },
        { "BYN", 3.27 },
        { "BZD", 2.0 },
        { "CAD", 1.3962 },
        { "CDF", 2850.0 },
        { "CHF", 0.8821 },
        { "CLP", 975.0 },
        { "CNY", 7.2389 },
        { "COP", 4400.0 },
        { "CRC", 508.0 },
        { "CUP", 24.0 },
        { "CVE", 105.1 },
        { "CZK", 24.02 },
        { "DJF", 177.7 },
        { "DKK", 7.11 },
        { "DOP", 60.3 },
        { "DZD", 133.6 },
        { "EGP", 49.6 },
        { "ERN", 15.0 },
        { "ETB", 123.0 },
        { "EUR", 0.9533 },
        { "FJD", 2.27 },
        { "FKP", 0.7948 },
        { "FOK", 7.11 },
        { "GBP", 0.7948 },
        { "GEL", 2.73 },
        { "GGP", 0.7948 },
        { "GHS", 15.9 },
        { "GIP", 0.7948 },
        { "GMD", 71.0 },
        { "GNF", 8600.0 },
        { "GTQ", 7.72 },
        { "GYD", 209.0 },
        { "HKD", 7.78 },
        { "HNL", 25.3 },
        { "HRK", 7.18 },
        { "HTG", 131.5 },
        { "HUF", 392.0 },
        { "IDR", 15900.0 },
        { "ILS", 3.66 },
        { "IMP", 0.7948 },
        { "INR", 84.45 },
        { "IQD", 1310.0 },
        { "IRR", 42000.0 },
        { "ISK", 138.0 },
        { "JEP", 0.7948 },
        { "JMD", 158.0 },
        { "JOD", 0.709 },
        { "JPY", 152.3479 },
        { "KES", 129.2 },
        { "KGS", 86.6 },
        { "KHR", 4030.0 },
        { "KID", 1.5393 },
        { "KMF", 469.0 },
        { "KRW", 1395.0 },
        { "KWD", 0.3085 },
        { "KYD", 0.8333 },
        { "KZT", 497.0 },
        { "LAK", 21900.0 },
        { "LBP", 89500.0 },
        { "LKR", 291.0 },
        { "LRD", 181.0 },
        { "LSL", 18.1 },
        { "LYD", 4.88 },
        { "MAD", 10.0 },
        { "MDL", 18.2 },
        { "MGA", 4680.0 },
        { "MKD", 58.7 },
        { "MMK", 2100.0 },
        { "MNT", 3400.0 },
        { "MOP", 8.01 },
        { "MRU", 39.8 },
        { "MUR", 46.9 },
        { "MVR", 15.4 },
        { "MWK", 1740.0 },
        { "MXN", 20.4 },
        { "MYR", 4.47 },
        { "MZN", 63.9 },
        { "NAD", 18.1 },
        { "NGN", 1680.0 },
        { "NIO", 36.8 },
        { "NOK", 11.05 },
        { "NPR", 135.1 },
        { "NZD", 1.7 },
        { "OMR", 0.3845 },
        { "PAB", 1.0 },
        { "PEN", 3.79 },
        { "PGK", 3.98 },
        { "PHP", 58.9 },
        { "PKR", 277.8 },
        { "PLN", 4.08 },
        { "PYG", 7800.0 },
        { "QAR", 3.64 },
        { "RON", 4.74 },
        { "RSD", 111.6 },
        { "RUB", 100.5 },
        { "RWF", 1370.0 },
        { "SAR", 3.75 },
        { "SBD", 8.4 },
        { "SCR", 13.6 },
        { "SDG", 510.0 },
        { "SEK", 10.95 },
        { "SGD", 1.342 },
        { "SHP", 0.7948 },
        { "SLE", 22.7 },
        { "SLL", 22700.0 },
        { "SOS", 571.0 },
        { "SRD", 35.4 },
        { "SSP", 3300.0 },
        { "STN", 23.36 },
        { "SYP", 12900.0 },
        { "SZL", 18.1 },
        { "THB", 34.6 },
        { "TJS", 10.7 },
        { "TMT", 3.5 },
        { "TND", 3.16 },
        { "TOP", 2.37 },
        { "TRY", 34.6 },
        { "TTD", 6.78 },
        { "TVD", 1.5393 },
        { "TWD", 32.5 },
        { "TZS", 2650.0 },
        { "UAH", 41.5 },
        { "UGX", 3680.0 },
        { "UYU", 43.5 },
        { "UZS", 12850.0 },
        { "VES", 46.5 },
        { "VND", 25400.0 },
        { "VUV", 119.0 },
        { "WST", 2.74 },
        { "XAF", 625.4 },
        { "XCD", 2.7 },
        { "XDR", 0.76 },
        { "XOF", 625.4 },
        { "XPF", 113.8 },
        { "YER", 250.0 },
        { "ZAR", 18.1 },
        { "ZMW", 27.4 },
        { "ZWL", 26.0 },
    };
    return rates;
}

} // namespace

std::optional<double> StoreTransaction::oneUSDExchangeRate(const QString& currencyCode)
{
    const auto& rates = currencyCodeToOneUSDExchangeRate();
    const auto it = rates.constFind(currencyCode);
    if (it == rates.cend())
        return std::nullopt;
    return it.value();
}

QMap<QString, QString> StoreTransaction::purchaseParameters() const
{
    QMap<QString, QString> parameters = {
        { QStringLiteral("Beacon.Purchase.type"),
            subscriptionGroupID ? QStringLiteral("subscription")
                                : QStringLiteral("one-time-purchase") },
        { QStringLiteral("Beacon.Purchase.countryCode"), storefrontCountryCode },
        { QStringLiteral("Beacon.Purchase.productID"), productID },
    };
    if (currency)
        parameters.insert(QStringLiteral("Beacon.Purchase.currencyCode"), *currency);
    return parameters;
}

double StoreTransaction::priceInUSD() const
{
    const double amount = price.value_or(0.0);
    if (!currency)
        return 0;
    if (*currency == QLatin1String("USD"))
        return amount;
    const std::optional<double> rate = oneUSDExchangeRate(*currency);
    return rate ? amount / *rate : 0;
}

bool StoreTransaction::isFreeTrial() const
{
    return offerType == OfferType::introductory && offerPaymentMode == PaymentMode::freeTrial;
}

} // namespace quillon
