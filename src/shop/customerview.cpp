#include "shop/customerview.h"

#include "shop/scalelabel.h"
#include "shop/ticket.h"

namespace CustomerView {

QString lineText(const TicketLine &line)
{
    const QString quantity =
        Weighing::quantityText(line.quantity, line.weighed) + (line.weighed ? QStringLiteral("kg") : QString());
    const QString price = line.weighed ? line.price.toCurrency() + QStringLiteral("/kg") : line.price.toCurrency();
    return QStringLiteral("%1　%2 × %3　%4")
        .arg(line.name.isEmpty() ? line.code : line.name, quantity, price, line.amount.toCurrency());
}

QStringList lastLines(const QList<TicketLine> &lines, int most)
{
    QStringList shown;
    for (qsizetype i = std::max<qsizetype>(0, lines.size() - most); i < lines.size(); ++i)
        shown.append(lineText(lines[i]));
    return shown;
}

} // namespace CustomerView
