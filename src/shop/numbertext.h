#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QLocale;

// Text ⇄ number conversions of the counter and the back office. Every reader
// accepts a plain number or a currency text of the locale; nothing here goes
// through floating point.
namespace NumberText {

// The exact value of the text scaled by 10^scale, rounded half to even at
// that digit (scale 4 gives money units, 0 a whole number). Nothing for empty
// or malformed text, or when the value does not fit 64 bits.
std::optional<std::int64_t> parseScaled(const QString &text, const QLocale &locale, int scale);

// A 16-bit signed integer, rounding halves to the even neighbour
// ("2.5" → 2, "3.5" → 4). Nothing outside -32768..32767 or for text that is
// not a number.
std::optional<std::int16_t> toInt16(const QString &text, const QLocale &locale);
std::optional<std::int16_t> toInt16(const QString &text);

// A whole number of any size that fits 32 bits, with the same rounding.
std::optional<std::int32_t> toInt32(const QString &text, const QLocale &locale);

// value / 10^scale written with `decimals` decimals (the value must already be
// rounded to them), digit grouping when `groupSeparator` is not empty.
QString formatScaled(std::int64_t value, int scale, int decimals, const QString &groupSeparator,
                     const QString &decimalPoint);

// The locale that formats follow: the workstation's, zh_CN where it has none.
QLocale workstationLocale();

} // namespace NumberText
