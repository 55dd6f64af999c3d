#pragma once

#include <QString>
#include <QVariant>

// The named formats in which numbers and dates are shown.
enum class DisplayFormat {
    AsIs,     // the value as it is (dates as "yyyy-MM-dd HH:mm:ss")
    Currency, // locale currency sign, grouping, two decimals
    Grouped,  // "#,##0.00"
    Yuan,     // "￥" + "#,##0.00"
    Date,     // "yyyy-MM-dd"
    Fixed2,   // "0.00"
};

QString formatValue(const QVariant &value, DisplayFormat format);

// The sale time as it is shown on the ticket grid and the receipt.
QString formatDateTime(const QDateTime &dt);
