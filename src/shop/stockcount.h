#pragma once

#include "shop/money.h"
#include "shop/shop.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// 盘点: the shelves counted against the book. A count covers all goods or
// those of one maker (of their last purchase). Each code's book stock, and
// what it had sold, are taken when it is first counted, so the tills may sell
// during the count: its difference stays what the shelf showed then, and a
// code sold since is marked. Posting stores the differences as adjustments
// (tiaozheng) in one transaction, once; the counted figures stay with their
// count. A count may be left and taken up again until it is posted.
class StockCount
{
public:
    struct Summary
    {
        qint64 id = 0;
        QDateTime started;
        QString maker;    // empty: all goods
        QDateTime posted; // invalid while open
        bool isPosted() const { return posted.isValid(); }
        QString describe() const;
    };

    struct Line
    {
        QString code, name, maker;
        qint64 book = 0; // when counted; else the stock now
        std::optional<qint64> counted;
        qint64 difference = 0; // counted − book
        Money price;           // the last purchase price, to the cent (when counted)
        Money value;           // difference × price, to the cent
        bool soldSince = false;
        bool weighed = false; // grams at a price per kg, shown as kg
    };

    struct Counted
    {
        qint64 counted = 0, book = 0;
        Money price;
    };

    struct Sheet
    {
        Summary count;
        QList<Line> lines;
        qint64 totalBook = 0, totalCounted = 0, totalDifference = 0;
        Money totalValue;
        int counted = 0, notCounted = 0, differing = 0;
        bool ok = false;
        QString error;

        // The totals again from the lines (after a line was counted).
        void addUp();
        // The line of `code`, or -1.
        int find(const QString &code) const;
        // Takes in what a code's count now stands at (its line first, when
        // it was not listed).
        void take(const QString &code, const QString &name, const Counted &now);
    };

    // A count's scope and state (an error also when there is none).
    static Result<Summary> summary(const Shop &shop, qint64 id);
    // A new count; its id.
    static Result<qint64> start(const Shop &shop, const QString &maker);
    // The makers of the goods' last purchases, for a count of one maker's goods.
    static Result<QStringList> makers(const Shop &shop);
    // Every count, the latest first.
    static Result<QList<Summary>> counts(const Shop &shop);
    // The count's list: the codes of its scope (as 库存分析 lists them), then
    // those counted outside them.
    static Sheet sheet(const Shop &shop, qint64 id);

    // The scanner's read of one unit: adds one to the code's count.
    // Typing a figure sets it. The code's counted figure after it.
    static Result<Counted> scan(const Shop &shop, qint64 id, const QString &code);
    static Result<Counted> set(const Shop &shop, qint64 id, const QString &code, qint64 counted);
    // A handheld scanner's file (code, count): each sets its code, all in
    // one transaction or none.
    static Done setMany(const Shop &shop, qint64 id, const QList<std::pair<QString, qint64>> &counts);

    // Stores the differences; the number of codes adjusted.
    static Result<int> post(const Shop &shop, qint64 id);

    // The list's columns (货号 … 售出), and a line's field as shown.
    static QStringList captions();
    static QString text(const Line &line, int column);
};
