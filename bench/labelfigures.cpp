// L1: a scanned scale label to its line, the 20th of a ticket, on a copy of
// the shop whose goods now include one sold by weight, against a normal goods
// code added the same way.
#include "benchfigures.h"
#include "benchtable.h"
#include "benchwindow.h"

#include "shop/database.h"
#include "shop/scalegoods.h"
#include "shop/ticket.h"

#include <QTemporaryDir>

void labelFigures(BenchTable &table, const BenchShops &shops)
{
    if (!table.wants(QStringLiteral("L1")))
        return;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarv.db"));
    if (!copyDurably(shops.shop, path))
        qFatal("cannot copy %s", qPrintable(shops.shop));
    Window on(path);
    if (on.codes.size() < 2)
        qFatal("the shop has too few purchased goods");
    // The last purchased code is weighed from now on; the others are scanned.
    const QString weighed = on.codes.takeLast();
    const Shop shop = on.w->database().shop();
    QString error;
    if (!ScaleGoods::setFormats(shop, LabelFormat::ready(), &error) ||
        !ScaleGoods::setWeighed(shop, weighed, QStringLiteral("4321"), &error))
        qFatal("no scale settings: %s", qPrintable(error));
    on.w->reloadScaleSettings();
    const QString label = ScaleLabel::withCheckDigit(QStringLiteral("20043210123400456"));
    auto add = [&](const QString &code) {
        on.w->clearTicket();
        on.ringUp(19);
        on.edit("Text1")->setText(code);
        return millisecondsOf([&] { on.w->addLine(); });
    };
    table.measure(
        {QStringLiteral("L1"), QStringLiteral("a scale label to its line (the 20th of a ticket)"),
         QStringLiteral("a goods code added the same way (P3)"), 1.5, 16},
        100, [&] { return add(label); }, [&] { return add(on.nextCode()); });
    if (on.w->ticket()->lineCount() != 20)
        std::fprintf(stderr, "the ticket has %d lines, not 20\n", on.w->ticket()->lineCount());
    on.w->clearTicket();
}
