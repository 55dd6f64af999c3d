#include "shop/schema.h"

#include "shop/money.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

namespace Schema {

const QList<Table> &tables()
{
    static const QList<Table> all = {
        {QStringLiteral("name"), {QStringLiteral("code"), QStringLiteral("name")}},
        {QStringLiteral("kuaijie"), {QStringLiteral("id"), QStringLiteral("kuaijie")}},
        {QStringLiteral("jinhuo"),
         {QStringLiteral("id"), QStringLiteral("code"), QStringLiteral("shuliang"), QStringLiteral("jinjia"),
          QStringLiteral("shou"), QStringLiteral("huiyuanjia"), QStringLiteral("changjia"), QStringLiteral("jindt"),
          QStringLiteral("guoqidt")}},
        {QStringLiteral("xiaoshou"),
         {QStringLiteral("id"), QStringLiteral("danjuhao"), QStringLiteral("code"), QStringLiteral("shuliang"),
          QStringLiteral("shoujia"), QStringLiteral("jine"), QStringLiteral("dt")}},
        {QStringLiteral("code"), {QStringLiteral("id"), QStringLiteral("code"), QStringLiteral("content")}},
    };
    return all;
}

QStringList createStatements()
{
    return QStringList{
               QStringLiteral("CREATE TABLE name (code TEXT, name TEXT)"),
               QStringLiteral("CREATE TABLE kuaijie (id INTEGER, kuaijie TEXT)"),
               // jinjia, shou, huiyuanjia: money in ten-thousandths
               QStringLiteral("CREATE TABLE jinhuo (id INTEGER, code TEXT, shuliang INTEGER, jinjia INTEGER, "
                              "shou INTEGER, huiyuanjia INTEGER, changjia TEXT, jindt TEXT, guoqidt TEXT)"),
               // shoujia, jine: money in ten-thousandths
               QStringLiteral("CREATE TABLE xiaoshou (id INTEGER, danjuhao INTEGER, code TEXT, shuliang INTEGER, "
                              "shoujia INTEGER, jine INTEGER, dt TEXT)"),
               QStringLiteral("CREATE TABLE code (id INTEGER, code TEXT, content TEXT)"),
           } +
           indexStatements();
}

QStringList indexStatements()
{
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS name_code ON name(code)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS jinhuo_code ON jinhuo(code)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS xiaoshou_code ON xiaoshou(code)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS xiaoshou_dt ON xiaoshou(dt)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS code_id ON code(id)"),
        // The analyses sum sales per code over all time or over a range of
        // days; these indexes hold every column they read, so the sums are
        // one pass over an index instead of a fetch of every row.
        QStringLiteral("CREATE INDEX IF NOT EXISTS xiaoshou_code_totals ON xiaoshou(code, shuliang, jine)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS xiaoshou_dt_totals ON xiaoshou(dt, code, shuliang, jine)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS jinhuo_code_totals ON jinhuo(code, shuliang)"),
    };
}

ColumnKind kindOfColumn(const QString &column)
{
    const QString c = column.section(u'.', -1).toLower();
    if (c == u"shou" || c == u"jinjia" || c == u"huiyuanjia" || c == u"shoujia" || c == u"jine")
        return ColumnKind::Money;
    if (c == u"jindt" || c == u"guoqidt")
        return ColumnKind::Date;
    if (c == u"dt")
        return ColumnKind::DateTime;
    if (c == u"id" || c == u"danjuhao" || c == u"shuliang")
        return ColumnKind::Integer;
    return ColumnKind::Text;
}

namespace {
const QString DateFormat = QStringLiteral("yyyy-MM-dd");
const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
} // namespace

QVariant fromStorage(ColumnKind kind, const QVariant &stored)
{
    if (stored.isNull() || !stored.isValid())
        return QVariant();
    switch (kind) {
    case ColumnKind::Money:
        // Integers are ten-thousandths. A REAL or text amount written by another
        // tool is read as the decimal amount it shows.
        if (stored.typeId() == QMetaType::LongLong || stored.typeId() == QMetaType::Int)
            return QVariant::fromValue(Money::fromUnits(stored.toLongLong()));
        if (auto m = Money::parse(stored.toString(), QLocale::c()))
            return QVariant::fromValue(*m);
        return QVariant();
    case ColumnKind::Date: {
        const QString s = stored.toString();
        QDate d = QDate::fromString(s.left(10), DateFormat);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case ColumnKind::DateTime: {
        // Sale times are the till's wall-clock times and are kept without a
        // time zone (as UTC): a busy day's hundred thousand lines are read
        // without asking the zone of every one of them. They show and store
        // as the same text.
        const QString s = stored.toString();
        const QDate date = QDate::fromString(s.left(10), DateFormat);
        const QTime time = s.size() >= 19 ? QTime::fromString(s.mid(11, 8), QStringLiteral("HH:mm:ss")) : QTime(0, 0);
        if (date.isValid() && time.isValid() && (s.size() == 19 || s.size() == 10))
            return QDateTime(date, time, Qt::UTC);
        QDateTime dt = QDateTime::fromString(s, Qt::ISODateWithMs);
        if (dt.isValid())
            return QDateTime(dt.date(), dt.time(), Qt::UTC);
        return date.isValid() ? QVariant(QDateTime(date, QTime(0, 0), Qt::UTC)) : QVariant();
    }
    case ColumnKind::Integer:
        return stored.toLongLong();
    case ColumnKind::Text:
        return stored.toString();
    }
    return stored;
}

namespace {

// "yyyy-MM-dd" and "yyyy-MM-dd HH:mm:ss" written directly: a sale line is
// stored with its time on every checkout, and Qt's format parser costs more
// than the insert. Years outside 0..9999 keep Qt's own form.
QString dateText(QDate d)
{
    if (!d.isValid() || d.year() < 0 || d.year() > 9999)
        return d.toString(DateFormat);
    return QString::asprintf("%04d-%02d-%02d", d.year(), d.month(), d.day());
}

QString dateTimeText(const QDateTime &dt)
{
    const QDate d = dt.date();
    if (!dt.isValid() || d.year() < 0 || d.year() > 9999)
        return dt.toString(DateTimeFormat);
    const QTime t = dt.time();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second());
}

} // namespace

QVariant toStorage(ColumnKind kind, const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QVariant();
    switch (kind) {
    case ColumnKind::Money:
        if (value.metaType() == QMetaType::fromType<Money>())
            return QVariant::fromValue<qlonglong>(value.value<Money>().units());
        if (auto m = Money::parse(value.toString()))
            return QVariant::fromValue<qlonglong>(m->units());
        return QVariant();
    case ColumnKind::Date:
        return dateText(value.toDate());
    case ColumnKind::DateTime:
        // The wall-clock time as shown, whatever zone the value carries.
        return dateTimeText(value.toDateTime());
    case ColumnKind::Integer:
        return value.toLongLong();
    case ColumnKind::Text:
        return value.toString();
    }
    return value;
}

QString footerRowsSource()
{
    return QStringLiteral("SELECT * FROM code \nWHERE code.id>20000");
}

QString moneyUnitsSql(const QString &column)
{
    return QStringLiteral("(CASE WHEN typeof(%1) = 'integer' THEN %1 ELSE tarvel_units(%1) END)").arg(column);
}

} // namespace Schema
