#pragma once

#include <QMetaType>
#include <QString>

#include <compare>
#include <cstdint>
#include <optional>

class QLocale;

// Exact money: a signed count of ten-thousandths of a yuan. Addition and
// subtraction are exact. Money shown or charged at two decimals rounds halves
// away from zero (四舍五入); everything else that rounds rounds half to even.
class Money
{
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t units) { return Money(units); }
    // Whole yuan and cents, e.g. fromCents(1250) is 12.50.
    static constexpr Money fromCents(std::int64_t cents) { return Money(cents * 100); }

    // Reads text the way the counter accepts it: a plain number, or a currency
    // text of the locale (currency sign, digit grouping, the locale's negative
    // form). Digits beyond the fourth decimal round half to even. Empty, garbage
    // and out-of-range text give nothing.
    static std::optional<Money> parse(const QString &text, const QLocale &locale);
    static std::optional<Money> parse(const QString &text);

    constexpr std::int64_t units() const { return m_units; }
    bool isZero() const { return m_units == 0; }

    // Rounded to whole cents, halves away from zero: what two-decimal formats show.
    Money roundedToCents() const;
    // Whole number nearest to the amount, halves to even.
    std::int64_t roundedToInteger() const;

    // quantity × price is exact as long as it fits; nothing is returned on overflow.
    std::optional<Money> times(std::int64_t factor) const;
    // amount × rate / 10, where rate is itself an amount (8.5 means 85 %);
    // rounded half to even to four decimals.
    std::optional<Money> discounted(Money rate) const;

    std::optional<Money> plus(Money other) const;
    std::optional<Money> minus(Money other) const;

    // "Currency": the locale's currency sign and negative form, grouping, two decimals.
    QString toCurrency(const QLocale &locale) const;
    QString toCurrency() const;
    // "#,##0.00" with the locale's separators.
    QString toGrouped(const QLocale &locale) const;
    QString toGrouped() const;
    // "￥" + "#,##0.00", the receipt's form.
    QString toYuan(const QLocale &locale) const;
    QString toYuan() const;
    // "0.00" with the locale's decimal mark.
    QString toPlain(const QLocale &locale) const;
    QString toPlain() const;
    // Every decimal digit kept, for storage-free debugging and tests ("12.5000").
    QString toExactString() const;

    friend constexpr auto operator<=>(Money, Money) = default;
    friend constexpr bool operator==(Money, Money) = default;

private:
    constexpr explicit Money(std::int64_t units) : m_units(units) { }
    std::int64_t m_units = 0;
};

Q_DECLARE_METATYPE(Money)
