#include "print/countreport.h"

namespace CountReport {

ListReport countSheet(const StockCount::Sheet &sheet)
{
    ListReport list{
        QStringLiteral("盘 点 表（第 %1 次）").arg(sheet.count.id),
        {QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("厂家"), QStringLiteral("实盘数量")},
        {3.4, 5.6, 4.0, 3.0},
        {},
        -1};
    for (const StockCount::Line &line : sheet.lines)
        list.rows.append({line.code, line.name, line.maker, QStringLiteral("________")});
    list.rows.append({QString(), sheet.count.describe(), QString(), QString()});
    return list;
}

ListReport varianceList(const StockCount::Sheet &sheet)
{
    ListReport list{QStringLiteral("盘点差异表（第 %1 次）").arg(sheet.count.id),
                    {QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("账面"), QStringLiteral("实盘"),
                     QStringLiteral("差异"), QStringLiteral("差异金额"), QStringLiteral("盘后售出")},
                    {3.3, 4.0, 1.4, 1.4, 1.4, 2.6, 2.0},
                    {},
                    -1};
    for (const StockCount::Line &line : sheet.lines)
        if (line.counted && line.difference != 0)
            list.rows.append({line.code, line.name, QString::number(line.book), QString::number(*line.counted),
                              QString::number(line.difference), line.value.toCurrency(),
                              line.soldSince ? QStringLiteral("是") : QString()});
    list.rows.append({QStringLiteral("合计"), QStringLiteral("%1 个货号有差异").arg(sheet.differing), QString(),
                      QString(), QString::number(sheet.totalDifference), sheet.totalValue.toCurrency(), QString()});
    list.rows.append({QString(), QStringLiteral("已盘 %1，未盘 %2").arg(sheet.counted).arg(sheet.notCounted), QString(),
                      QString(), QString(), QString(), QString()});
    list.rows.append({QString(), sheet.count.describe(), QString(), QString(), QString(), QString(), QString()});
    return list;
}

} // namespace CountReport
