// L1: a scanned scale label to its line, the 20th of a ticket, on a copy of
// the shop whose goods now include one sold by weight, against a normal goods
// code added the same way. L2: the counter's lookup with 5,000 specials
// (running, coming and ended) and 50,000 members (imported from a CSV file),
// on a member's ticket, against the same lookups before they were added.
#include "benchfigures.h"
#include "benchtable.h"
#include "benchwindow.h"

#include "shop/database.h"
#include "shop/members.h"
#include "shop/promotions.h"
#include "shop/scalegoods.h"
#include "shop/ticket.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <vector>

void labelFigures(BenchTable &table, const BenchShops &shops)
{
    if (!table.wants(QStringLiteral("L1")) && !table.wants(QStringLiteral("L2")))
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
    Done set = ScaleGoods::setFormats(shop, LabelFormat::ready());
    if (set)
        set = ScaleGoods::setWeighed(shop, weighed, QStringLiteral("4321"));
    if (!set)
        qFatal("no scale settings: %s", qPrintable(set.errorText()));
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

    // The lookups without specials first, then with them, on the same file.
    auto lookup = [&] {
        on.edit("Text1")->setText(on.nextCode());
        return millisecondsOf([&] { on.w->lookupGoods(); });
    };
    // A first round warms the file's pages, so that both rounds measured
    // read a warm file.
    for (int i = 0; i < 300; ++i)
        lookup();
    std::vector<double> before;
    for (int i = 0; i < 300; ++i)
        before.push_back(lookup());
    const QDate today = QDate::currentDate();
    for (int i = 0; i < 5000; ++i) {
        Special s;
        s.code = on.codes.at(i % on.codes.size());
        s.price = Money::fromCents(100 + i % 500);
        s.first = today.addDays(i % 3 * 10 - 15);
        s.last = s.first.addDays(9);
        s.membersOnly = i % 4 == 0;
        if (const Done stored = Specials::store(shop, s); !stored)
            qFatal("no special: %s", qPrintable(stored.errorText()));
    }
    QFile members(dir.filePath(QStringLiteral("huiyuan.csv")));
    if (!members.open(QIODevice::WriteOnly))
        qFatal("cannot write the members' file");
    for (int i = 0; i < 50000; ++i)
        members.write(QStringLiteral("88%1,会员%2,139%1\n").arg(i, 8, 10, QChar(u'0')).arg(i).toUtf8());
    members.close();
    if (const auto imported = Members::importCsv(shop, members.fileName(), today); !imported)
        qFatal("no members: %s", qPrintable(imported.errorText()));
    // The lookups from now on are a member's ticket's.
    on.edit("Text1")->setText(QStringLiteral("8800012345"));
    on.w->lookupGoods();
    if (on.w->findChild<QLabel *>(QStringLiteral("memberLabel"))->text().isEmpty())
        qFatal("the member's card was not taken");
    size_t at = 0;
    table.measure({QStringLiteral("L2"), QStringLiteral("goods lookup with 5,000 specials, 50,000 members"),
                   QStringLiteral("the same lookup before the specials were added (P3)"), 1.2, 16},
                  300, lookup, [&] { return before[at++ % before.size()]; });
}
