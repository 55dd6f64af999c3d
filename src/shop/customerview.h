#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct TicketLine;
class Money;

// What the customer's display shows of the ticket on the counter: the last
// lines as they are rung up, one text each ("可乐  2 × ¥2.50  ¥5.00"), newest
// last; at most `most` of them.
namespace CustomerView {

QString lineText(const TicketLine &line);
QStringList lastLines(const QList<TicketLine> &lines, int most);

} // namespace CustomerView
