#include "shop/money.h"

#include "shop/numbertext.h"

#include <QHash>
#include <QLocale>

namespace {

// n / d rounded half to even; d > 0.
__int128 divideHalfEven(__int128 n, __int128 d)
{
    __int128 q = n / d;
    __int128 r = n % d;
    if (r < 0) {
        r = -r;
        const __int128 twice = 2 * r;
        if (twice > d || (twice == d && q % 2 != 0))
            --q;
    } else {
        const __int128 twice = 2 * r;
        if (twice > d || (twice == d && q % 2 != 0))
            ++q;
    }
    return q;
}

constexpr __int128 kMax = std::numeric_limits<std::int64_t>::max();
constexpr __int128 kMin = std::numeric_limits<std::int64_t>::min();

std::optional<Money> fromWide(__int128 v)
{
    if (v > kMax || v < kMin)
        return std::nullopt;
    return Money::fromUnits(static_cast<std::int64_t>(v));
}

// The locale's currency text for 1.00 and -1.00, with the number marked, so any
// amount can be put into the same frame without going through a double.
struct CurrencyFrame
{
    QString positivePrefix, positiveSuffix, negativePrefix, negativeSuffix;
};

CurrencyFrame makeCurrencyFrame(const QLocale &locale);

// The frame of a locale, worked out once per thread and locale: amounts are
// formatted by the hundred thousand for a busy day's list.
CurrencyFrame currencyFrame(const QLocale &locale)
{
    thread_local QHash<QString, CurrencyFrame> frames;
    const QString key = locale.bcp47Name() + u'|' + locale.currencySymbol();
    auto it = frames.constFind(key);
    if (it == frames.cend())
        it = frames.insert(key, makeCurrencyFrame(locale));
    return *it;
}

CurrencyFrame makeCurrencyFrame(const QLocale &locale)
{
    const QString number = locale.toString(1.0, 'f', 2);
    CurrencyFrame frame;
    auto split = [&](const QString &text, QString &prefix, QString &suffix, bool negative) {
        const qsizetype at = text.indexOf(number);
        if (at < 0) {
            prefix = (negative ? QStringLiteral("-") : QString()) + locale.currencySymbol();
            suffix.clear();
            return;
        }
        prefix = text.left(at);
        suffix = text.mid(at + number.size());
    };
    split(locale.toCurrencyString(1.0, locale.currencySymbol(), 2), frame.positivePrefix, frame.positiveSuffix, false);
    split(locale.toCurrencyString(-1.0, locale.currencySymbol(), 2), frame.negativePrefix, frame.negativeSuffix, true);
    return frame;
}

} // namespace

std::optional<Money> Money::parse(const QString &text, const QLocale &locale)
{
    const auto units = NumberText::parseScaled(text, locale, 4);
    if (!units)
        return std::nullopt;
    return Money(*units);
}

std::optional<Money> Money::parse(const QString &text)
{
    return parse(text, QLocale());
}

Money Money::roundedToCents() const
{
    // Money is shown and charged rounded half away from zero (四舍五入).
    const __int128 magnitude = m_units < 0 ? -static_cast<__int128>(m_units) : m_units;
    const __int128 rounded = (magnitude + 50) / 100 * 100;
    __int128 cents = m_units < 0 ? -rounded : rounded;
    // At the very ends of the range the nearest cent lies outside it: take the inner one.
    if (cents > kMax)
        cents -= 100;
    if (cents < kMin)
        cents += 100;
    return Money(static_cast<std::int64_t>(cents));
}

std::int64_t Money::roundedToInteger() const
{
    return static_cast<std::int64_t>(divideHalfEven(m_units, Scale));
}

std::optional<Money> Money::times(std::int64_t factor) const
{
    return fromWide(static_cast<__int128>(m_units) * factor);
}

std::optional<Money> Money::discounted(Money rate) const
{
    // units × (rate units / 10000) / 10
    return fromWide(divideHalfEven(static_cast<__int128>(m_units) * rate.m_units, Scale * 10));
}

std::optional<Money> Money::plus(Money other) const
{
    return fromWide(static_cast<__int128>(m_units) + other.m_units);
}

std::optional<Money> Money::minus(Money other) const
{
    return fromWide(static_cast<__int128>(m_units) - other.m_units);
}

QString Money::toCurrency(const QLocale &locale) const
{
    const CurrencyFrame frame = currencyFrame(locale);
    const Money cents = roundedToCents();
    const auto magnitude = cents.m_units < 0 ? -static_cast<__int128>(cents.m_units) : cents.m_units;
    QString digits;
    if (magnitude > kMax) // only the int64 minimum gets here
        digits = NumberText::formatScaled(kMax, 4, 2, locale.groupSeparator(), locale.decimalPoint());
    else
        digits = NumberText::formatScaled(static_cast<std::int64_t>(magnitude), 4, 2, locale.groupSeparator(),
                                          locale.decimalPoint());
    if (cents.m_units < 0)
        return frame.negativePrefix + digits + frame.negativeSuffix;
    return frame.positivePrefix + digits + frame.positiveSuffix;
}

QString Money::toCurrency() const
{
    return toCurrency(QLocale());
}

QString Money::toGrouped(const QLocale &locale) const
{
    return NumberText::formatScaled(roundedToCents().m_units, 4, 2, locale.groupSeparator(), locale.decimalPoint());
}

QString Money::toGrouped() const
{
    return toGrouped(QLocale());
}

QString Money::toYuan(const QLocale &locale) const
{
    return QChar(0xFFE5) + toGrouped(locale);
}

QString Money::toYuan() const
{
    return toYuan(QLocale());
}

QString Money::toPlain(const QLocale &locale) const
{
    return NumberText::formatScaled(roundedToCents().m_units, 4, 2, QString(), locale.decimalPoint());
}

QString Money::toPlain() const
{
    return toPlain(QLocale());
}

QString Money::toExactString() const
{
    return NumberText::formatScaled(m_units, 4, 4, QString(), QStringLiteral("."));
}
