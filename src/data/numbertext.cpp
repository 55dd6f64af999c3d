#include "numbertext.h"

#include <QLocale>

#include <limits>

namespace NumberText {
namespace {

bool isSpace(QChar c)
{
    return c.isSpace() || c == QChar(0x00A0) || c == QChar(0x202F);
}

QString stripCurrencySigns(QString s, const QLocale &locale)
{
    const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    if (!symbol.isEmpty())
        s.remove(symbol);
    const QString isoCode = locale.currencySymbol(QLocale::CurrencyIsoCode);
    if (!isoCode.isEmpty())
        s.remove(isoCode);
    // The yuan sign in both widths: receipts and zh_CN texts use either.
    s.remove(QChar(0x00A5));
    s.remove(QChar(0xFFE5));
    return s;
}

} // namespace

std::optional<std::int64_t> parseScaled(const QString &text, const QLocale &locale, int scale)
{
    QString s;
    for (QChar c : stripCurrencySigns(text, locale))
        if (!isSpace(c))
            s.append(c);
    if (s.isEmpty())
        return std::nullopt;

    bool negative = false;
    if (s.startsWith(u'(') && s.endsWith(u')')) {
        negative = true;
        s = s.mid(1, s.size() - 2);
    }
    const QString minus = locale.negativeSign();
    auto takeSign = [&](bool atFront) {
        for (const QString &sign : {QString(u'-'), minus, QString(QChar(0x2212))}) {
            if (sign.isEmpty())
                continue;
            if (atFront ? s.startsWith(sign) : s.endsWith(sign)) {
                s = atFront ? s.mid(sign.size()) : s.left(s.size() - sign.size());
                return true;
            }
        }
        return false;
    };
    if (takeSign(true) || takeSign(false)) {
        if (negative)
            return std::nullopt;
        negative = true;
    } else if (s.startsWith(u'+')) {
        s = s.mid(1);
    }

    const QString decimalPoint = locale.decimalPoint();
    QString group = locale.groupSeparator();
    if (group.isEmpty() || isSpace(group.front()))
        group = QString(); // spaces were removed above
    const qsizetype dot = s.indexOf(decimalPoint);
    const QString intPart = dot < 0 ? s : s.left(dot);
    const QString fracPart = dot < 0 ? QString() : s.mid(dot + decimalPoint.size());

    QString intDigits;
    for (qsizetype i = 0; i < intPart.size(); ++i) {
        const QChar c = intPart.at(i);
        if (c.isDigit() && c.unicode() < 128)
            intDigits.append(c);
        else if (!group.isEmpty() && intPart.mid(i, group.size()) == group && !intDigits.isEmpty())
            i += group.size() - 1; // grouping is accepted between digits only
        else
            return std::nullopt;
    }
    for (QChar c : fracPart)
        if (!c.isDigit() || c.unicode() >= 128)
            return std::nullopt;
    if (intDigits.isEmpty() && fracPart.isEmpty())
        return std::nullopt;

    // Build the scaled magnitude digit by digit with overflow checks.
    constexpr auto maxValue = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    auto pushDigit = [&](int d) {
        if (value > (maxValue - d) / 10)
            return false;
        value = value * 10 + d;
        return true;
    };
    for (QChar c : intDigits)
        if (!pushDigit(c.digitValue()))
            return std::nullopt;
    for (int i = 0; i < scale; ++i)
        if (!pushDigit(i < fracPart.size() ? fracPart.at(i).digitValue() : 0))
            return std::nullopt;

    // Half to even on everything after the kept digits.
    if (fracPart.size() > scale) {
        const int first = fracPart.at(scale).digitValue();
        bool restNonZero = false;
        for (qsizetype i = scale + 1; i < fracPart.size(); ++i)
            restNonZero = restNonZero || fracPart.at(i) != u'0';
        const bool roundUp = first > 5 || (first == 5 && (restNonZero || value % 2 != 0));
        if (roundUp) {
            if (value == maxValue)
                return std::nullopt;
            ++value;
        }
    }
    return negative ? -value : value;
}

std::optional<std::int16_t> toInt16(const QString &text, const QLocale &locale)
{
    const auto v = parseScaled(text, locale, 0);
    if (!v || *v < std::numeric_limits<std::int16_t>::min() || *v > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(*v);
}

std::optional<std::int16_t> toInt16(const QString &text)
{
    return toInt16(text, QLocale());
}

std::optional<std::int32_t> toInt32(const QString &text, const QLocale &locale)
{
    const auto v = parseScaled(text, locale, 0);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

QString formatScaled(std::int64_t value, int scale, int decimals, const QString &groupSeparator,
                     const QString &decimalPoint)
{
    const bool negative = value < 0;
    // Work on the magnitude as unsigned so that the int64 minimum is fine too.
    const auto magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    QString digits = QString::number(magnitude);
    if (digits.size() <= scale)
        digits.prepend(QString(scale - digits.size() + 1, u'0'));
    const QString intDigits = digits.left(digits.size() - scale);
    const QString fracDigits = digits.right(scale).left(decimals);

    QString out;
    for (qsizetype i = 0; i < intDigits.size(); ++i) {
        if (i > 0 && (intDigits.size() - i) % 3 == 0)
            out.append(groupSeparator);
        out.append(intDigits.at(i));
    }
    if (decimals > 0)
        out += decimalPoint + fracDigits + QString(decimals - fracDigits.size(), u'0');
    return negative ? u'-' + out : out;
}

QLocale workstationLocale()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    return system;
}

} // namespace NumberText
