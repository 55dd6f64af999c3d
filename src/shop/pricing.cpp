#include "shop/pricing.h"

namespace Pricing {

std::optional<Money> discountedPrice(const QString &priceText, const QString &rateText)
{
    const auto price = Money::parse(priceText);
    const auto rate = Money::parse(rateText);
    if (!price || !rate)
        return std::nullopt;
    return price->discounted(*rate);
}

std::optional<Money> lineAmount(qint64 quantity, Money unitPrice)
{
    const auto amount = unitPrice.times(quantity);
    if (!amount)
        return std::nullopt;
    return amount->roundedToCents();
}

} // namespace Pricing
