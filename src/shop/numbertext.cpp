#include "shop/numbertext.h"

#include <QHash>
#include <QLocale>

#include <limits>

namespace NumberText {
namespace {

bool isSpace(QChar c)
{
    return c.isSpace() || c == QChar(0x00A0) || c == QChar(0x202F);
}

// Every kind of blank as a plain space, so that the locale's narrow or
// no-break spaces and a typed space are the same thing.
QString plainSpaces(const QString &s)
{
    QString out = s;
    for (QChar &c : out)
        if (isSpace(c))
            c = u' ';
    return out;
}

QString withoutSpaces(const QString &s)
{
    QString out;
    for (QChar c : s)
        if (!isSpace(c))
            out.append(c);
    return out;
}

// One accepted shape around the number: what stands before and after it, and
// whether the shape means a negative amount.
struct Frame
{
    QString prefix, suffix;
    bool negative = false;
    bool currency = false; // a currency sign stands in the frame
};

QList<Frame> makeFramesOf(const QLocale &locale);

// Worked out once per thread and locale.
const QList<Frame> &framesOf(const QLocale &locale)
{
    thread_local QHash<QString, QList<Frame>> frames;
    const QString key = locale.bcp47Name() + u'|' + locale.currencySymbol();
    auto it = frames.constFind(key);
    if (it == frames.cend())
        it = frames.insert(key, makeFramesOf(locale));
    return *it;
}

QList<Frame> makeFramesOf(const QLocale &locale)
{
    QList<Frame> frames = {{QString(), QString(), false, false},
                           {QStringLiteral("+"), QString(), false, false},
                           {QStringLiteral("-"), QString(), true, false},
                           {QString(QChar(0x2212)), QString(), true, false},
                           {QStringLiteral("("), QStringLiteral(")"), true, false}};
    if (locale.negativeSign() != u"-" && !locale.negativeSign().isEmpty())
        frames.append({locale.negativeSign(), QString(), true, false});

    // The locale's own currency texts, with the number taken out.
    QStringList symbols = {locale.currencySymbol(QLocale::CurrencySymbol)};
    // Both widths of the yuan sign are the same sign where the locale uses it.
    if (symbols.first() == QString(QChar(0x00A5)) || symbols.first() == QString(QChar(0xFFE5)))
        symbols = {QString(QChar(0x00A5)), QString(QChar(0xFFE5))};
    const QString number = locale.toString(1.0, 'f', 2);
    const QString localeSymbol = locale.currencySymbol(QLocale::CurrencySymbol);
    for (bool negative : {false, true}) {
        const QString shown = locale.toCurrencyString(negative ? -1.0 : 1.0, localeSymbol, 2);
        const qsizetype at = shown.indexOf(number);
        if (at < 0 || localeSymbol.isEmpty())
            continue;
        const QString prefix = withoutSpaces(shown.left(at));
        const QString suffix = withoutSpaces(shown.mid(at + number.size()));
        for (const QString &symbol : symbols) {
            QString p = prefix, s = suffix;
            p.replace(localeSymbol, symbol);
            s.replace(localeSymbol, symbol);
            frames.append({p, s, negative, true});
            // The sign may also stand between the currency sign and the number.
            if (negative && p == u'-' + symbol)
                frames.append({symbol + u'-', s, true, true});
            if (!negative && p.startsWith(symbol))
                frames.append({u'-' + p, s, true, true}), frames.append({p + u'-', s, true, true});
            if (!negative && s.endsWith(symbol))
                frames.append({QStringLiteral("-") + p, s, true, true});
        }
    }
    return frames;
}

// Digits with the locale's grouping (groups of three, only between digits),
// then optionally the decimal point and more digits. Nothing else.
std::optional<std::int64_t> parseUnsigned(const QString &s, const QLocale &locale, int scale)
{
    const QString decimalPoint = locale.decimalPoint();
    QString group = locale.groupSeparator();
    if (!group.isEmpty() && isSpace(group.front()))
        group = QStringLiteral(" ");

    const qsizetype dot = s.indexOf(decimalPoint);
    const QString intPart = dot < 0 ? s : s.left(dot);
    const QString fracPart = dot < 0 ? QString() : s.mid(dot + decimalPoint.size());
    auto asciiDigit = [](QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; };

    QString intDigits;
    if (!intPart.isEmpty()) {
        const QStringList groups = group.isEmpty() ? QStringList{intPart} : intPart.split(group);
        for (qsizetype g = 0; g < groups.size(); ++g) {
            const QString &digits = groups.at(g);
            if (digits.isEmpty())
                return std::nullopt;
            // Grouped numbers: the first group has one to three digits, every later one three.
            if (groups.size() > 1 && (g == 0 ? digits.size() > 3 : digits.size() != 3))
                return std::nullopt;
            for (QChar c : digits)
                if (!asciiDigit(c))
                    return std::nullopt;
            intDigits += digits;
        }
    }
    for (QChar c : fracPart)
        if (!asciiDigit(c))
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
    return value;
}

} // namespace

std::optional<std::int64_t> parseScaled(const QString &text, const QLocale &locale, int scale)
{
    // Blanks are allowed around the number, and inside it only where the
    // locale's own grouping or currency text has them.
    const QString s = plainSpaces(text).trimmed();
    if (s.isEmpty())
        return std::nullopt;
    for (const Frame &frame : framesOf(locale)) {
        if (s.size() <= frame.prefix.size() + frame.suffix.size() || !s.startsWith(frame.prefix) ||
            !s.endsWith(frame.suffix))
            continue;
        QString core = s.mid(frame.prefix.size(), s.size() - frame.prefix.size() - frame.suffix.size());
        // Between a currency sign and the number a blank may stand.
        if (frame.currency)
            core = core.trimmed();
        if (core.isEmpty() || isSpace(core.front()) || isSpace(core.back()))
            continue;
        if (const auto value = parseUnsigned(core, locale, scale))
            return frame.negative ? -*value : *value;
    }
    return std::nullopt;
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
