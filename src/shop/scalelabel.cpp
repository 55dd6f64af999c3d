#include "shop/scalelabel.h"

#include "shop/numbertext.h"

#include <QLocale>
#include <QStringList>

#include <limits>

namespace {

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// The flag values as ranges of equal-length digit texts; nothing when a part
// is no number, a range runs backwards or the lengths differ.
struct FlagRange
{
    qint64 first = 0, last = 0;
};
std::optional<QList<FlagRange>> flagRanges(const QString &flags, int *digits)
{
    QList<FlagRange> ranges;
    *digits = 0;
    for (const QString &part : flags.split(u',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(u'-');
        if (ends.size() > 2)
            return std::nullopt;
        const QString from = ends.first().trimmed(), to = ends.last().trimmed();
        if (!allDigits(from) || !allDigits(to) || from.size() != to.size() || from.size() > 6 ||
            (*digits && *digits != from.size()))
            return std::nullopt;
        *digits = int(from.size());
        const FlagRange r{from.toLongLong(), to.toLongLong()};
        if (r.first > r.last)
            return std::nullopt;
        ranges.append(r);
    }
    if (ranges.isEmpty())
        return std::nullopt;
    return ranges;
}

} // namespace

int LabelFormat::flagDigits() const
{
    int digits = 0;
    return flagRanges(flags, &digits) ? digits : 0;
}

QString LabelFormat::problem() const
{
    int digits = 0;
    if (!flagRanges(flags, &digits))
        return QStringLiteral("标志位应为数字，如 2、20-29 或 21,22（各值位数相同）");
    if (length != 13 && length != 18)
        return QStringLiteral("条码长度应为 13 或 18 位");
    if (codeDigits < 1 || amountDigits < 0 || weightDigits < 0 || amountDigits > 9 || weightDigits > 9)
        return QStringLiteral("商品码、金额、重量的位数不对");
    if (amountDigits == 0 && weightDigits == 0)
        return QStringLiteral("条码中至少要有金额或重量");
    if (digits + codeDigits + amountDigits + weightDigits + 1 != length)
        return QStringLiteral("标志位 %1 + 商品码 %2 + 金额 %3 + 重量 %4 + 校验位 1 应等于条码长度 %5")
            .arg(digits)
            .arg(codeDigits)
            .arg(amountDigits)
            .arg(weightDigits)
            .arg(length);
    return QString();
}

bool LabelFormat::matches(const QString &code) const
{
    int digits = 0;
    const auto ranges = flagRanges(flags, &digits);
    if (!ranges || code.size() != length || !allDigits(code))
        return false;
    const qint64 flag = code.left(digits).toLongLong();
    for (const FlagRange &r : *ranges)
        if (flag >= r.first && flag <= r.last)
            return true;
    return false;
}

QList<LabelFormat> LabelFormat::ready()
{
    LabelFormat thirteen;
    thirteen.name = QStringLiteral("13位 金额码");
    thirteen.flags = QStringLiteral("2");
    thirteen.length = 13;
    thirteen.codeDigits = 6;
    thirteen.amountDigits = 5;
    thirteen.weightDigits = 0;
    LabelFormat eighteen;
    eighteen.name = QStringLiteral("18位 金额重量码");
    eighteen.flags = QStringLiteral("20-29");
    eighteen.length = 18;
    eighteen.codeDigits = 5;
    eighteen.amountDigits = 5;
    eighteen.weightDigits = 5;
    return {thirteen, eighteen};
}

int ScaleLabel::checkDigit(const QString &digits)
{
    int sum = 0;
    bool three = true; // the digit next to the check digit weighs 3
    for (qsizetype i = digits.size() - 1; i >= 0; --i, three = !three)
        sum += (digits.at(i).unicode() - u'0') * (three ? 3 : 1);
    return (10 - sum % 10) % 10;
}

QString ScaleLabel::withCheckDigit(const QString &digits)
{
    return digits + QChar(u'0' + checkDigit(digits));
}

ScaleLabel::Read ScaleLabel::read(const QList<LabelFormat> &formats, const QString &code, ScaleLabel *label)
{
    for (const LabelFormat &f : formats) {
        if (!f.problem().isEmpty() || !f.matches(code))
            continue;
        if (checkDigit(code.left(code.size() - 1)) != code.back().unicode() - u'0')
            return Read::BadCheck;
        qsizetype at = f.flagDigits();
        *label = ScaleLabel();
        label->scaleCode = code.mid(at, f.codeDigits);
        at += f.codeDigits;
        if (f.amountDigits > 0) {
            label->amount = Money::fromCents(code.mid(at, f.amountDigits).toLongLong());
            at += f.amountDigits;
        }
        if (f.weightDigits > 0)
            label->grams = code.mid(at, f.weightDigits).toLongLong();
        return Read::Label;
    }
    return Read::NotLabel;
}

namespace Weighing {

std::optional<Money> amountOf(qint64 grams, Money perKg)
{
    const auto exact = perKg.times(grams); // in thousandths of the amount
    if (!exact)
        return std::nullopt;
    // units / 1000 rounded half up to the fen (100 units): units / 100000.
    const qint64 units = exact->units();
    const qint64 fen = (units >= 0 ? units + 50000 : units - 50000) / 100000;
    return Money::fromCents(fen);
}

qint64 gramsOf(Money amount, Money perKg)
{
    if (perKg.units() <= 0)
        return 0;
    const __int128 scaled = __int128(amount.units()) * 1000;
    return qint64((scaled + perKg.units() / 2) / perKg.units());
}

Money perKgOf(Money amount, qint64 grams)
{
    if (grams <= 0)
        return Money();
    const __int128 centsTimesGrams = __int128(amount.units()) * 1000 / 100; // fen × 1000
    return Money::fromCents(qint64((centsTimesGrams + grams / 2) / grams));
}

std::optional<Money> times(Money price, qint64 quantity, bool weighed)
{
    if (!weighed)
        return price.times(quantity);
    const __int128 exact = __int128(price.units()) * quantity; // thousandths of a unit
    __int128 units = exact / 1000;
    const __int128 rest = exact % 1000;
    const __int128 twice = (rest < 0 ? -rest : rest) * 2;
    if (twice > 1000 || (twice == 1000 && units % 2 != 0))
        units += exact < 0 ? -1 : 1;
    if (units > std::numeric_limits<qint64>::max() || units < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return Money::fromUnits(qint64(units));
}

QString quantityText(qint64 quantity, bool weighed)
{
    return weighed ? kgText(quantity) : QString::number(quantity);
}

QString kgText(qint64 grams)
{
    const QLocale locale = NumberText::workstationLocale();
    return NumberText::formatScaled(grams, 3, 3, QString(), locale.decimalPoint());
}

std::optional<qint64> gramsFromKg(const QString &text)
{
    const QLocale locale = NumberText::workstationLocale();
    const QString trimmed = text.trimmed();
    const qsizetype point = trimmed.indexOf(locale.decimalPoint());
    if (point >= 0 && trimmed.size() - point - 1 > 3)
        return std::nullopt;
    return NumberText::parseScaled(trimmed, locale, 3);
}

std::optional<qint64> quantityFrom(const QString &text, bool weighed)
{
    if (weighed)
        return gramsFromKg(text);
    const QString t = text.trimmed();
    if (!allDigits(t) || t.size() > 12)
        return std::nullopt;
    return t.toLongLong();
}

} // namespace Weighing
