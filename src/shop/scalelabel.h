#pragma once

#include "shop/money.h"

#include <QList>
#include <QString>

#include <optional>

// What a label scale (条码秤) prints into its barcode, and reading it back at
// the till. A label is all digits: the flag digits, the goods' scale code,
// then the amount in fen and/or the weight in grams, and last a check digit
// computed as for EAN-13 (weights 3 and 1 from the right).
struct LabelFormat
{
    qint64 id = 0;
    QString name;
    QString flags;   // "2", "20-29" or "21,22": the values the first digits may take
    int length = 13; // of the whole label, check digit included
    int codeDigits = 6;
    int amountDigits = 5; // 0: the label holds no amount
    int weightDigits = 0; // 0: the label holds no weight

    // What is wrong with the format, in the keeper's words; empty when it
    // can be used.
    QString problem() const;
    // The number of flag digits (all values of `flags` have as many).
    int flagDigits() const;
    // Whether `code` has the format's length and one of its flags.
    bool matches(const QString &code) const;

    // The two formats the common label scales print: 13 digits (flag 2,
    // 6-digit code, 5-digit amount in fen) and 18 digits (flag 20–29, 5-digit
    // code, 5-digit amount, 5-digit weight in grams).
    static QList<LabelFormat> ready();
};

struct ScaleLabel
{
    QString scaleCode;
    std::optional<Money> amount; // to the fen
    std::optional<qint64> grams;

    enum class Read { NotLabel, Label, BadCheck };
    // The label of the first format `code` matches; NotLabel when it matches
    // none (a normal goods code), BadCheck when its check digit is wrong.
    static Read read(const QList<LabelFormat> &formats, const QString &code, ScaleLabel *label);

    // The EAN check digit of `digits` (without it).
    static int checkDigit(const QString &digits);
    // `digits` with its check digit appended.
    static QString withCheckDigit(const QString &digits);
};

// A weighed line as the till charges it: from the label's amount and weight,
// or the one the label lacks from the price per kg.
namespace Weighing {

// grams × price per kg, rounded half up to the fen as a scale rounds.
std::optional<Money> amountOf(qint64 grams, Money perKg);
// The grams that `amount` buys at `perKg`, rounded to the gram; 0 without a price.
qint64 gramsOf(Money amount, Money perKg);
// The price per kg that `amount` for `grams` comes to, rounded to the fen.
Money perKgOf(Money amount, qint64 grams);

// price × quantity; for a weighed goods the quantity is grams and the price
// per kg (rounded half to even to the ten-thousandth). Nothing on overflow.
std::optional<Money> times(Money price, qint64 quantity, bool weighed);
// A quantity as the screens show it: kg with three decimals when weighed.
QString quantityText(qint64 quantity, bool weighed);

// Grams as kg with three decimals ("0.456"), as every screen shows weighed goods.
QString kgText(qint64 grams);
// Kg typed with up to three decimals as grams; nothing for other text.
std::optional<qint64> gramsFromKg(const QString &text);
// A quantity typed for a goods: kg as grams when weighed, else whole pieces
// (digits only); nothing for other text.
std::optional<qint64> quantityFrom(const QString &text, bool weighed);

} // namespace Weighing
