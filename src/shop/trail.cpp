#include "shop/trail.h"

#include "shop/engine.h"
#include "shop/schema.h"
#include "shop/transaction.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The time is kept as the text it was hashed from, on both engines.
const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// What the cashier does at the counter; everything else is the back office's.
bool atTheCounter(const QString &kind)
{
    return kind == u"删除本行" || kind == u"清除小票";
}

} // namespace

const QStringList &Trail::kinds()
{
    static const QStringList all = {
        QStringLiteral("删除销售"), QStringLiteral("删除货名"), QStringLiteral("货名改名"), QStringLiteral("删除进货"),
        QStringLiteral("删除本行"), QStringLiteral("清除小票"), QStringLiteral("数据清理"), QStringLiteral("修改密码"),
        QStringLiteral("票据设计"), QStringLiteral("导入"),     QStringLiteral("日结差额"), QStringLiteral("退货"),
        QStringLiteral("盘点过账"), QStringLiteral("报损"),
    };
    return all;
}

QString Trail::hashOf(const Record &r, const QString &previous)
{
    // Fields apart by a separator no text of the shop holds, so that no two
    // records hash alike by moving text from one field to the next.
    const QString content = QStringList{previous,
                                        QString::number(r.id),
                                        r.time.toString(TimeFormat),
                                        QString::number(r.till),
                                        r.mode,
                                        r.kind,
                                        r.what,
                                        r.why}
                                .join(QChar(0x1f));
    return QString::fromLatin1(QCryptographicHash::hash(content.toUtf8(), QCryptographicHash::Sha256).toHex());
}

Done Trail::append(const Shop &shop, const QString &kind, const QString &what, const QString &why)
{
    QSqlQuery q(shop.connection());
    // One chain for all tills: the last record is read under a lock that
    // every other appender waits for (the file is locked whole already).
    if (shop.onServer() && !q.exec(Schema::numberingLock(QStringLiteral("caozuo"))))
        return failureOf(q);
    if (!q.exec(QStringLiteral("SELECT id, hash FROM caozuo ORDER BY id DESC LIMIT 1")))
        return failureOf(q);
    Record r;
    QString previous;
    if (q.next()) {
        r.id = q.value(0).toLongLong();
        previous = q.value(1).toString();
    }
    ++r.id;
    const QDateTime now = QDateTime::currentDateTime();
    r.time = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    r.till = shop.till();
    r.mode = atTheCounter(kind) ? QStringLiteral("收银") : QStringLiteral("管理");
    r.kind = kind;
    r.what = what;
    r.why = why;
    r.hash = hashOf(r, previous);
    q.prepare(QStringLiteral("INSERT INTO caozuo (id, dt, till, moshi, leibie, neirong, yuanyin, hash) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant &v : {QVariant(r.id), QVariant(r.time.toString(TimeFormat)), QVariant(r.till), QVariant(r.mode),
                              QVariant(r.kind), QVariant(r.what), QVariant(r.why), QVariant(r.hash)})
        q.addBindValue(v);
    if (!q.exec())
        return failureOf(q);
    return {};
}

Done Trail::appendAlone(const Shop &shop, const QString &kind, const QString &what, const QString &why)
{
    Transaction tx(shop);
    if (!tx.isActive())
        return Error{tx.lastError()};
    if (const Done recorded = append(shop, kind, what, why); !recorded)
        return recorded;
    if (!tx.commit())
        return Error{tx.lastError()};
    return {};
}

Result<QString> Trail::rowText(const Shop &shop, const QString &table, qint64 rowid)
{
    QSqlQuery q(shop.connection());
    q.prepare(QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(table));
    q.addBindValue(rowid);
    if (!q.exec())
        return failureOf(q);
    if (!q.next())
        return QString();
    const QSqlRecord record = q.record();
    QStringList fields;
    for (int i = 0; i < record.count(); ++i)
        if (record.fieldName(i) != QLatin1String("rowid"))
            fields.append(record.fieldName(i) + u'=' + (q.isNull(i) ? QStringLiteral("NULL") : q.value(i).toString()));
    return table + u' ' + fields.join(QStringLiteral(", "));
}

namespace {

Trail::Record recordOf(const QSqlQuery &q)
{
    Trail::Record r;
    r.id = q.value(0).toLongLong();
    r.time = QDateTime::fromString(q.value(1).toString(), TimeFormat);
    r.till = q.value(2).toInt();
    r.mode = q.value(3).toString();
    r.kind = q.value(4).toString();
    r.what = q.value(5).toString();
    r.why = q.value(6).toString();
    r.hash = q.value(7).toString();
    return r;
}

const QString Columns = QStringLiteral("SELECT id, dt, till, moshi, leibie, neirong, yuanyin, hash FROM caozuo");

} // namespace

Result<QList<Trail::Record>> Trail::list(const Shop &shop, QDate from, QDate to, const QString &kind)
{
    return shop.again([&]() -> Result<QList<Record>> {
        QSqlQuery q(shop.connection());
        q.setForwardOnly(true);
        q.prepare(Columns + QStringLiteral(" WHERE dt >= ? AND dt < ?") +
                  (kind.isEmpty() ? QString() : QStringLiteral(" AND leibie = ?")) + QStringLiteral(" ORDER BY id"));
        q.addBindValue(from.toString(Qt::ISODate));
        q.addBindValue(to.addDays(1).toString(Qt::ISODate));
        if (!kind.isEmpty())
            q.addBindValue(kind);
        if (!q.exec())
            return failureOf(q);
        QList<Record> all;
        while (q.next())
            all.append(recordOf(q));
        return all;
    });
}

Trail::Check Trail::check(const Shop &shop)
{
    Check result;
    QSqlQuery q(shop.connection());
    q.setForwardOnly(true);
    if (!q.exec(Columns + QStringLiteral(" ORDER BY id"))) {
        result.error = problemText(q.lastError());
        return result;
    }
    QString previous;
    while (q.next()) {
        const Record r = recordOf(q);
        ++result.records;
        if (hashOf(r, previous) != r.hash) {
            result.brokenAt = r.id;
            return result;
        }
        previous = r.hash;
    }
    result.whole = true;
    return result;
}

QString Trail::checkInWords(const Check &check)
{
    if (!check.error.isEmpty())
        return QStringLiteral("操作记录未能读取：%1").arg(check.error);
    if (check.whole)
        return QStringLiteral("记录完整（共 %1 条）。").arg(check.records);
    return QStringLiteral("记录不完整：第 %1 条记录与它前面的记录对不上（前面的记录被删除，或这条记录被改动）。")
        .arg(check.brokenAt);
}
