#pragma once

#include "shop/scalelabel.h"
#include "shop/shop.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// The shop's label scales: the label formats it reads (chengma) and the goods
// sold by weight with their scale code (chengzhong). The catalogue's own rows
// are not touched. A weighed goods' quantities (purchased, sold, counted) are
// grams; its prices are per kg.
namespace ScaleGoods {

// The shop's formats, in the order they are tried.
Result<QList<LabelFormat>> formats(const Shop &shop);
// Replaces the formats with `formats` in one transaction; a format with a
// problem is refused whole.
Done setFormats(const Shop &shop, const QList<LabelFormat> &formats);

// Every weighed goods code with its scale code (without leading zeros).
Result<QHash<QString, QString>> weighed(const Shop &shop);
// Marks the rows (each with `code` and `weighed`) of the goods sold by
// weight.
template <typename Rows> Done markWeighed(const Shop &shop, Rows &rows)
{
    const auto codes = weighed(shop);
    if (!codes)
        return codes.error();
    if (!codes->isEmpty())
        for (auto &row : rows)
            row.weighed = codes->contains(row.code);
    return {};
}
// Marks `code` as weighed under `scaleCode` (digits), or with an empty one
// no longer weighed. A scale code another goods has is refused.
Done setWeighed(const Shop &shop, const QString &code, const QString &scaleCode);
// A scale code as it is kept: digits without their leading zeros.
QString keptScaleCode(const QString &digits);

// A scanned label as the till reads it.
struct LabelLookup
{
    enum Outcome { NotLabel, Found, BadCheck, UnknownScaleCode, AlsoGoodsCode } outcome = NotLabel;
    ScaleLabel label;
    QString code; // the goods of the label's scale code
};
Result<LabelLookup> readLabel(const Shop &shop, const QList<LabelFormat> &formats, const QString &text);

// The weighed line a label makes at the goods' price per kg: the label's
// amount exactly; the weight from the label, or else from the price.
struct WeighedLine
{
    qint64 grams = 0;
    Money perKg;  // the price per kg charged
    Money amount; // to the fen
};
std::optional<WeighedLine> lineOf(const ScaleLabel &label, Money perKg);

} // namespace ScaleGoods
