#include "shop/displayformat.h"

#include "shop/money.h"

#include <QDate>
#include <QDateTime>

QString formatDateTime(const QDateTime &dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString formatValue(const QVariant &value, DisplayFormat format)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.metaType() == QMetaType::fromType<Money>()) {
        const Money m = value.value<Money>();
        switch (format) {
        case DisplayFormat::Currency:
            return m.toCurrency();
        case DisplayFormat::Grouped:
            return m.toGrouped();
        case DisplayFormat::Yuan:
            return m.toYuan();
        case DisplayFormat::Fixed2:
            return m.toPlain();
        default:
            return m.toExactString();
        }
    }
    if (value.typeId() == QMetaType::QDateTime) {
        if (format == DisplayFormat::Date)
            return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        return formatDateTime(value.toDateTime());
    }
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString();
}
