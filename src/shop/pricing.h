#pragma once

#include "shop/money.h"

#include <QString>

#include <optional>

// The counter's arithmetic, exact and without widgets.
namespace Pricing {

// Unit price × discount rate / 10 (a rate of 10 is the full price, 8.5 is
// 85 %), rounded half to even to four decimals. Nothing when either text is
// not a number.
std::optional<Money> discountedPrice(const QString &priceText, const QString &rateText);

// Quantity × unit price, rounded to whole cents as the ticket shows it.
// Nothing on overflow.
std::optional<Money> lineAmount(qint64 quantity, Money unitPrice);

} // namespace Pricing
