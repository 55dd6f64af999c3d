#include "shop/schema.h"

#include "shop/engine.h"
#include "shop/money.h"

#include <QDate>
#include <QDateTime>

#include <QLocale>
#include <QSet>
#include <tuple>

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

const QList<Table> &addedTables()
{
    static const QList<Table> all = {
        {QStringLiteral("tuihuo"),
         {QStringLiteral("id"), QStringLiteral("danjuhao"), QStringLiteral("code"), QStringLiteral("shuliang"),
          QStringLiteral("yuandanjuhao"), QStringLiteral("yuanid")}},
        {QStringLiteral("fukuan"),
         {QStringLiteral("danjuhao"), QStringLiteral("till"), QStringLiteral("fangshi"), QStringLiteral("hangshu"),
          QStringLiteral("xiaoshoue"), QStringLiteral("tuihuoe"), QStringLiteral("shoukuan"),
          QStringLiteral("zhaoling"), QStringLiteral("dt"), QStringLiteral("rijie")}},
        {QStringLiteral("rijie"),
         {QStringLiteral("id"), QStringLiteral("till"), QStringLiteral("kaishidt"), QStringLiteral("jieshudt"),
          QStringLiteral("kaishi"), QStringLiteral("piaoshu"), QStringLiteral("hangshu"), QStringLiteral("xiaoshoue"),
          QStringLiteral("tuihuoe"), QStringLiteral("xianjin"), QStringLiteral("weixin"), QStringLiteral("zhifubao"),
          QStringLiteral("yinhangka"), QStringLiteral("shidian")}},
        {QStringLiteral("zuidi"), {QStringLiteral("code"), QStringLiteral("shuliang")}},
        {QStringLiteral("tiaozheng"),
         {QStringLiteral("dt"), QStringLiteral("code"), QStringLiteral("shuliang"), QStringLiteral("jinjia"),
          QStringLiteral("jine"), QStringLiteral("leibie"), QStringLiteral("yuanyin"), QStringLiteral("pandian"),
          QStringLiteral("pici"), QStringLiteral("till")}},
        {QStringLiteral("pandian"),
         {QStringLiteral("id"), QStringLiteral("kaishidt"), QStringLiteral("changjia"), QStringLiteral("guozhangdt"),
          QStringLiteral("till")}},
        {QStringLiteral("pandian_mx"),
         {QStringLiteral("pandian"), QStringLiteral("code"), QStringLiteral("shuliang"), QStringLiteral("zhangmian"),
          QStringLiteral("yishou"), QStringLiteral("jinjia"), QStringLiteral("dt")}},
        {QStringLiteral("caozuo"),
         {QStringLiteral("id"), QStringLiteral("dt"), QStringLiteral("till"), QStringLiteral("moshi"),
          QStringLiteral("leibie"), QStringLiteral("neirong"), QStringLiteral("yuanyin"), QStringLiteral("hash")}},
        {QStringLiteral("chengma"),
         {QStringLiteral("id"), QStringLiteral("mingcheng"), QStringLiteral("qianzhui"), QStringLiteral("changdu"),
          QStringLiteral("mawei"), QStringLiteral("jinewei"), QStringLiteral("zhongwei")}},
        {QStringLiteral("chengzhong"), {QStringLiteral("code"), QStringLiteral("chengma")}},
        {QStringLiteral("tejia"),
         {QStringLiteral("id"), QStringLiteral("code"), QStringLiteral("jiage"), QStringLiteral("kaishiri"),
          QStringLiteral("jieshuri"), QStringLiteral("huiyuan")}},
        {QStringLiteral("huiyuan"),
         {QStringLiteral("kahao"), QStringLiteral("xingming"), QStringLiteral("dianhua"), QStringLiteral("rudate")}},
        {QStringLiteral("huiyuan_piao"), {QStringLiteral("danjuhao"), QStringLiteral("kahao")}},
        {QStringLiteral("shouyinyuan"),
         {QStringLiteral("gonghao"), QStringLiteral("xingming"), QStringLiteral("mima"), QStringLiteral("youxiao")}},
        {QStringLiteral("shouyin_piao"), {QStringLiteral("danjuhao"), QStringLiteral("gonghao")}},
        {QStringLiteral("shouyin_rijie"), {QStringLiteral("rijie"), QStringLiteral("gonghao")}},
    };
    return all;
}

QList<Table> copiedTables()
{
    return tables() + addedTables();
}

QStringList addedStatements()
{
    return QStringList{
               // tuihuo.shuliang: the units given back (positive); the returned line
               // itself is in xiaoshou with the negative quantity and amount.
               QStringLiteral("CREATE TABLE IF NOT EXISTS tuihuo (id INTEGER, danjuhao INTEGER, code TEXT, "
                              "shuliang INTEGER, yuandanjuhao INTEGER, yuanid INTEGER)"),
               // money in ten-thousandths; rijie: the close, NULL while the period is open
               QStringLiteral(
                   "CREATE TABLE IF NOT EXISTS fukuan (danjuhao INTEGER, till INTEGER, fangshi TEXT, "
                   "hangshu INTEGER, xiaoshoue INTEGER, tuihuoe INTEGER, shoukuan INTEGER, zhaoling INTEGER, "
                   "dt TEXT, rijie INTEGER)"),
               // jieshudt NULL: the till's open period
               QStringLiteral(
                   "CREATE TABLE IF NOT EXISTS rijie (id INTEGER, till INTEGER, kaishidt TEXT, jieshudt TEXT, "
                   "kaishi INTEGER, piaoshu INTEGER, hangshu INTEGER, xiaoshoue INTEGER, tuihuoe INTEGER, "
                   "xianjin INTEGER, weixin INTEGER, zhifubao INTEGER, yinhangka INTEGER, shidian INTEGER)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS tuihuo_yuan ON tuihuo(yuandanjuhao, yuanid)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS fukuan_danjuhao ON fukuan(danjuhao)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS fukuan_rijie ON fukuan(till, rijie)"),
               // A return finds its original ticket, and what was returned from it.
               QStringLiteral("CREATE INDEX IF NOT EXISTS xiaoshou_danjuhao ON xiaoshou(danjuhao)"),
               // The least stock of a code before it is reordered: one row per code.
               QStringLiteral("CREATE TABLE IF NOT EXISTS zuidi (code TEXT, shuliang INTEGER)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS zuidi_code ON zuidi(code)"),
               // The file counts its own changes, whoever writes it, so that what the
               // program keeps of it in memory is read again when it changed.
               QStringLiteral("CREATE TABLE IF NOT EXISTS biandong (huowu INTEGER, xiaoshou INTEGER)"),
               QStringLiteral(
                   "INSERT INTO biandong (huowu, xiaoshou) SELECT 0, 0 WHERE NOT EXISTS (SELECT 1 FROM biandong)"),
               // 操作记录 (Trail): appended only; dt is the text its hash was made of.
               QStringLiteral("CREATE TABLE IF NOT EXISTS caozuo (id INTEGER PRIMARY KEY, dt TEXT NOT NULL, "
                              "till INTEGER, moshi TEXT, leibie TEXT NOT NULL, neirong TEXT, yuanyin TEXT, "
                              "hash TEXT NOT NULL)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS caozuo_dt ON caozuo(dt)"),
               // Stock adjustments: shuliang more (+) or less (−) than the book
               // said, worth jine at the last purchase price jinjia; leibie 盘点
               // (of count `pandian`) or 报损 (with its reason; of the purchase
               // `pici` when a batch was written off).
               QStringLiteral("CREATE TABLE IF NOT EXISTS tiaozheng (dt TEXT, code TEXT, shuliang INTEGER, "
                              "jinjia INTEGER, jine INTEGER, leibie TEXT, yuanyin TEXT, pandian INTEGER, "
                              "pici INTEGER, till INTEGER)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS tiaozheng_code ON tiaozheng(code, pici, shuliang)"),
               // Stock counts (guozhangdt NULL until posted) and what was counted
               // of each code, with the book stock, the units sold and the last
               // purchase price (to the cent) at the moment it was first counted.
               QStringLiteral("CREATE TABLE IF NOT EXISTS pandian (id INTEGER, kaishidt TEXT, changjia TEXT, "
                              "guozhangdt TEXT, till INTEGER)"),
               QStringLiteral("CREATE TABLE IF NOT EXISTS pandian_mx (pandian INTEGER, code TEXT, shuliang INTEGER, "
                              "zhangmian INTEGER, yishou INTEGER, jinjia INTEGER, dt TEXT)"),
               QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS pandian_mx_code ON pandian_mx(pandian, code)"),
               // The label formats of the shop's scales, tried in id order:
               // qianzhui the flag values ("2", "20-29"), changdu the label's
               // length, then the digits of the scale code, the amount in fen
               // and the weight in grams (0: not on the label).
               QStringLiteral("CREATE TABLE IF NOT EXISTS chengma (id INTEGER, mingcheng TEXT, qianzhui TEXT, "
                              "changdu INTEGER, mawei INTEGER, jinewei INTEGER, zhongwei INTEGER)"),
               // The goods sold by weight and their scale code (digits without
               // leading zeros): their quantities are grams, their prices per kg.
               QStringLiteral("CREATE TABLE IF NOT EXISTS chengzhong (code TEXT, chengma TEXT)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS chengzhong_chengma ON chengzhong(chengma)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS chengzhong_code ON chengzhong(code)"),
               // 特价: jiage (money) from the day kaishiri to the day jieshuri,
               // both whole; huiyuan 1: for members only.
               QStringLiteral("CREATE TABLE IF NOT EXISTS tejia (id INTEGER, code TEXT, jiage INTEGER, "
                              "kaishiri TEXT, jieshuri TEXT, huiyuan INTEGER)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS tejia_code ON tejia(code, jieshuri)"),
               // 会员: card, name, phone and the day joined; and the tickets
               // each member's card was scanned for.
               QStringLiteral("CREATE TABLE IF NOT EXISTS huiyuan (kahao TEXT, xingming TEXT, dianhua TEXT, "
                              "rudate TEXT)"),
               QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS huiyuan_kahao ON huiyuan(kahao)"),
               QStringLiteral("CREATE TABLE IF NOT EXISTS huiyuan_piao (danjuhao INTEGER, kahao TEXT)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS huiyuan_piao_kahao ON huiyuan_piao(kahao)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS huiyuan_piao_danjuhao ON huiyuan_piao(danjuhao)"),
               // 收银员: 工号, name, the password's hash (crypto_pwhash_str) and
               // youxiao 1 while the cashier may sign in; the cashier of each
               // ticket, and of each of the till's periods (a shift).
               QStringLiteral("CREATE TABLE IF NOT EXISTS shouyinyuan (gonghao TEXT, xingming TEXT, mima TEXT, "
                              "youxiao INTEGER)"),
               QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS shouyinyuan_gonghao ON shouyinyuan(gonghao)"),
               QStringLiteral("CREATE TABLE IF NOT EXISTS shouyin_piao (danjuhao INTEGER, gonghao TEXT)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS shouyin_piao_danjuhao ON shouyin_piao(danjuhao)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS shouyin_piao_gonghao ON shouyin_piao(gonghao)"),
               QStringLiteral("CREATE TABLE IF NOT EXISTS shouyin_rijie (rijie INTEGER, gonghao TEXT)"),
               QStringLiteral("CREATE INDEX IF NOT EXISTS shouyin_rijie_rijie ON shouyin_rijie(rijie)"),
           } +
           changeCountStatements();
}

namespace {

struct CountedChange
{
    const char *table, *event, *counter;
};

// huowu: the catalogue, the purchases or the adjustments changed; xiaoshou: a sale line was
// changed or deleted (added lines are read as lines after the last one).
constexpr CountedChange CountedChanges[] = {
    {"name", "INSERT", "huowu"},
    {"name", "UPDATE", "huowu"},
    {"name", "DELETE", "huowu"},
    {"jinhuo", "INSERT", "huowu"},
    {"jinhuo", "UPDATE", "huowu"},
    {"jinhuo", "DELETE", "huowu"},
    {"xiaoshou", "UPDATE", "xiaoshou"},
    {"xiaoshou", "DELETE", "xiaoshou"},
    // The stock's adjustments are read with the purchases.
    {"tiaozheng", "INSERT", "huowu"},
    {"tiaozheng", "UPDATE", "huowu"},
    {"tiaozheng", "DELETE", "huowu"},
};

QString triggerName(const CountedChange &c)
{
    return QStringLiteral("biandong_%1_%2").arg(QLatin1String(c.table), QString::fromLatin1(c.event).toLower());
}

} // namespace

QStringList changeCountStatements()
{
    QStringList all;
    for (const CountedChange &c : CountedChanges)
        all.append(QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER %2 ON %3 "
                                  "BEGIN UPDATE biandong SET %4 = %4 + 1; END")
                       .arg(triggerName(c), QLatin1String(c.event), QLatin1String(c.table), QLatin1String(c.counter)));
    return all;
}

QStringList changeCountTriggers(const QString &table)
{
    QStringList names;
    for (const CountedChange &c : CountedChanges)
        if (table == QLatin1String(c.table))
            names.append(triggerName(c));
    return names;
}

QList<std::pair<QString, QString>> serverAddedStatements()
{
    const QString rowid = QStringLiteral("rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, ");
    return {
        {QLatin1String(CloseTokens), QStringLiteral("CREATE TABLE %1 (token uuid PRIMARY KEY, rijie integer NOT NULL, "
                                                    "till integer)")
                                         .arg(QLatin1String(CloseTokens))},
        {QLatin1String(OfflineTickets),
         QStringLiteral("CREATE TABLE %1 (token uuid PRIMARY KEY, till integer NOT NULL, lixianhao integer NOT NULL, "
                        "danjuhao integer NOT NULL)")
             .arg(QLatin1String(OfflineTickets))},
        {QStringLiteral("caozuo"),
         QStringLiteral("CREATE TABLE caozuo (id bigint PRIMARY KEY, dt text NOT NULL, till integer, moshi text, "
                        "leibie text NOT NULL, neirong text, yuanyin text, hash text NOT NULL)")},
        {QStringLiteral("caozuo_dt"), QStringLiteral("CREATE INDEX caozuo_dt ON caozuo(dt)")},
        // The trail goes with the shop's copies, by rowid as every table does.
        {QStringLiteral("caozuo_rowid"),
         QStringLiteral("ALTER TABLE caozuo ADD COLUMN IF NOT EXISTS rowid bigint GENERATED BY DEFAULT AS IDENTITY; "
                        "CREATE UNIQUE INDEX caozuo_rowid ON caozuo(rowid)")},
        {QStringLiteral("tuihuo"),
         QStringLiteral("CREATE TABLE tuihuo (%1id integer, danjuhao integer, code text, shuliang integer, "
                        "yuandanjuhao integer, yuanid integer)")
             .arg(rowid)},
        {QStringLiteral("fukuan"),
         QStringLiteral("CREATE TABLE fukuan (%1danjuhao integer, till integer, fangshi text, hangshu integer, "
                        "xiaoshoue bigint, tuihuoe bigint, shoukuan bigint, zhaoling bigint, dt timestamp(0), "
                        "rijie integer)")
             .arg(rowid)},
        {QStringLiteral("rijie"),
         QStringLiteral("CREATE TABLE rijie (%1id integer, till integer, kaishidt timestamp(0), "
                        "jieshudt timestamp(0), kaishi bigint, piaoshu integer, hangshu integer, xiaoshoue bigint, "
                        "tuihuoe bigint, xianjin bigint, weixin bigint, zhifubao bigint, yinhangka bigint, "
                        "shidian bigint)")
             .arg(rowid)},
        {QStringLiteral("tuihuo_yuan"), QStringLiteral("CREATE INDEX tuihuo_yuan ON tuihuo(yuandanjuhao, yuanid)")},
        {QStringLiteral("fukuan_danjuhao"), QStringLiteral("CREATE INDEX fukuan_danjuhao ON fukuan(danjuhao)")},
        {QStringLiteral("fukuan_rijie"), QStringLiteral("CREATE INDEX fukuan_rijie ON fukuan(till, rijie)")},
        {QStringLiteral("xiaoshou_danjuhao"), QStringLiteral("CREATE INDEX xiaoshou_danjuhao ON xiaoshou(danjuhao)")},
        {QStringLiteral("zuidi"), QStringLiteral("CREATE TABLE zuidi (%1code text, shuliang integer)").arg(rowid)},
        {QStringLiteral("zuidi_code"), QStringLiteral("CREATE INDEX zuidi_code ON zuidi(code)")},
        {QStringLiteral("tiaozheng"),
         QStringLiteral("CREATE TABLE tiaozheng (%1dt timestamp(0), code text, shuliang integer, jinjia bigint, "
                        "jine bigint, leibie text, yuanyin text, pandian integer, pici bigint, till integer)")
             .arg(rowid)},
        {QStringLiteral("tiaozheng_code"),
         QStringLiteral("CREATE INDEX tiaozheng_code ON tiaozheng(code, pici) INCLUDE (shuliang)")},
        {QStringLiteral("pandian"),
         QStringLiteral("CREATE TABLE pandian (%1id integer, kaishidt timestamp(0), changjia text, "
                        "guozhangdt timestamp(0), till integer)")
             .arg(rowid)},
        {QStringLiteral("pandian_mx"),
         QStringLiteral("CREATE TABLE pandian_mx (%1pandian integer, code text, shuliang integer, zhangmian integer, "
                        "yishou integer, jinjia bigint, dt timestamp(0))")
             .arg(rowid)},
        {QStringLiteral("pandian_mx_code"),
         QStringLiteral("CREATE UNIQUE INDEX pandian_mx_code ON pandian_mx(pandian, code)")},
        {QStringLiteral("chengma"),
         QStringLiteral("CREATE TABLE chengma (%1id integer, mingcheng text, qianzhui text, changdu integer, "
                        "mawei integer, jinewei integer, zhongwei integer)")
             .arg(rowid)},
        {QStringLiteral("chengzhong"),
         QStringLiteral("CREATE TABLE chengzhong (%1code text, chengma text)").arg(rowid)},
        {QStringLiteral("chengzhong_chengma"),
         QStringLiteral("CREATE INDEX chengzhong_chengma ON chengzhong(chengma)")},
        {QStringLiteral("chengzhong_code"), QStringLiteral("CREATE INDEX chengzhong_code ON chengzhong(code)")},
        {QStringLiteral("tejia"), QStringLiteral("CREATE TABLE tejia (%1id integer, code text, jiage bigint, "
                                                 "kaishiri date, jieshuri date, huiyuan integer)")
                                      .arg(rowid)},
        {QStringLiteral("tejia_code"), QStringLiteral("CREATE INDEX tejia_code ON tejia(code, jieshuri)")},
        {QStringLiteral("huiyuan"), QStringLiteral("CREATE TABLE huiyuan (%1kahao text, xingming text, dianhua text, "
                                                   "rudate date)")
                                        .arg(rowid)},
        {QStringLiteral("huiyuan_kahao"), QStringLiteral("CREATE UNIQUE INDEX huiyuan_kahao ON huiyuan(kahao)")},
        {QStringLiteral("huiyuan_piao"),
         QStringLiteral("CREATE TABLE huiyuan_piao (%1danjuhao integer, kahao text)").arg(rowid)},
        {QStringLiteral("huiyuan_piao_kahao"),
         QStringLiteral("CREATE INDEX huiyuan_piao_kahao ON huiyuan_piao(kahao)")},
        {QStringLiteral("huiyuan_piao_danjuhao"),
         QStringLiteral("CREATE INDEX huiyuan_piao_danjuhao ON huiyuan_piao(danjuhao)")},
        {QStringLiteral("shouyinyuan"), QStringLiteral("CREATE TABLE shouyinyuan (%1gonghao text, xingming text, "
                                                       "mima text, youxiao integer)")
                                            .arg(rowid)},
        {QStringLiteral("shouyinyuan_gonghao"),
         QStringLiteral("CREATE UNIQUE INDEX shouyinyuan_gonghao ON shouyinyuan(gonghao)")},
        {QStringLiteral("shouyin_piao"),
         QStringLiteral("CREATE TABLE shouyin_piao (%1danjuhao integer, gonghao text)").arg(rowid)},
        {QStringLiteral("shouyin_piao_danjuhao"),
         QStringLiteral("CREATE INDEX shouyin_piao_danjuhao ON shouyin_piao(danjuhao)")},
        {QStringLiteral("shouyin_piao_gonghao"),
         QStringLiteral("CREATE INDEX shouyin_piao_gonghao ON shouyin_piao(gonghao)")},
        {QStringLiteral("shouyin_rijie"),
         QStringLiteral("CREATE TABLE shouyin_rijie (%1rijie integer, gonghao text)").arg(rowid)},
        {QStringLiteral("shouyin_rijie_rijie"),
         QStringLiteral("CREATE INDEX shouyin_rijie_rijie ON shouyin_rijie(rijie)")},
        // A range of days read from the index alone, with each line's rowid
        // (the order in which codes first occur).
        {QStringLiteral("xiaoshou_dt_lines"),
         QStringLiteral("CREATE INDEX xiaoshou_dt_lines ON xiaoshou(dt) INCLUDE (code, shuliang, jine, rowid)")},
    };
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
           indexStatements() + addedStatements();
}

QStringList serverCreateStatements()
{
    const QString rowid = QStringLiteral("rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, ");
    return {
        QStringLiteral("CREATE TABLE name (%1code text, name text)").arg(rowid),
        QStringLiteral("CREATE TABLE kuaijie (%1id integer, kuaijie text)").arg(rowid),
        QStringLiteral("CREATE TABLE jinhuo (%1id integer, code text, shuliang integer, jinjia bigint, shou bigint, "
                       "huiyuanjia bigint, changjia text, jindt date, guoqidt date)")
            .arg(rowid),
        QStringLiteral("CREATE TABLE xiaoshou (%1id integer, danjuhao integer, code text, shuliang integer, "
                       "shoujia bigint, jine bigint, dt timestamp(0))")
            .arg(rowid),
        QStringLiteral("CREATE TABLE code (%1id integer, code text, content text)").arg(rowid),
        QStringLiteral("CREATE TABLE %1 (token uuid PRIMARY KEY, danjuhao integer NOT NULL, till integer, "
                       "stored timestamp(0) NOT NULL DEFAULT localtimestamp)")
            .arg(QLatin1String(TicketTokens)),
        // "The first name of a code" and "the last purchase of a code" are
        // index-only lookups; so are the purchases' sums per code.
        QStringLiteral("CREATE INDEX name_code ON name(code, rowid) INCLUDE (name)"),
        QStringLiteral("CREATE INDEX jinhuo_code ON jinhuo(code, rowid) INCLUDE (shuliang, jinjia, shou)"),
        QStringLiteral("CREATE INDEX xiaoshou_code ON xiaoshou(code, shuliang, jine)"),
        QStringLiteral("CREATE INDEX xiaoshou_dt ON xiaoshou(dt, code, shuliang, jine)"),
        QStringLiteral("CREATE INDEX code_id ON code(id)"),
    };
}

QString numberingLock(const QString &table)
{
    // A key of the table's name that stays the same in every program and version.
    quint32 key = 2166136261u;
    for (const char c : table.toLatin1())
        key = (key ^ quint8(c)) * 16777619u;
    return QStringLiteral(
               "DO $$ BEGIN LOCK TABLE %1 IN ROW EXCLUSIVE MODE; PERFORM pg_advisory_xact_lock(20261211, %2); "
               "END $$")
        .arg(table)
        .arg(qint32(key & 0x7fffffff));
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
    static const QSet<QString> money = {
        QStringLiteral("shou"),     QStringLiteral("jinjia"),    QStringLiteral("huiyuanjia"),
        QStringLiteral("shoujia"),  QStringLiteral("jine"),      QStringLiteral("xiaoshoue"),
        QStringLiteral("tuihuoe"),  QStringLiteral("shoukuan"),  QStringLiteral("zhaoling"),
        QStringLiteral("kaishi"),   QStringLiteral("xianjin"),   QStringLiteral("weixin"),
        QStringLiteral("zhifubao"), QStringLiteral("yinhangka"), QStringLiteral("shidian"),
        QStringLiteral("jiage")};
    static const QSet<QString> integer = {
        QStringLiteral("id"),      QStringLiteral("danjuhao"),     QStringLiteral("shuliang"),
        QStringLiteral("till"),    QStringLiteral("yuandanjuhao"), QStringLiteral("yuanid"),
        QStringLiteral("hangshu"), QStringLiteral("piaoshu"),      QStringLiteral("rijie"),
        QStringLiteral("pandian"), QStringLiteral("pici"),         QStringLiteral("zhangmian"),
        QStringLiteral("yishou"),  QStringLiteral("changdu"),      QStringLiteral("mawei"),
        QStringLiteral("jinewei"), QStringLiteral("zhongwei"),     QStringLiteral("huiyuan")};
    if (money.contains(c))
        return ColumnKind::Money;
    if (c == u"jindt" || c == u"guoqidt" || c == u"kaishiri" || c == u"jieshuri" || c == u"rudate")
        return ColumnKind::Date;
    if (c == u"dt" || c == u"kaishidt" || c == u"jieshudt" || c == u"guozhangdt")
        return ColumnKind::DateTime;
    if (integer.contains(c))
        return ColumnKind::Integer;
    return ColumnKind::Text;
}

namespace {
const QString DateFormat = QStringLiteral("yyyy-MM-dd");
const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
} // namespace

namespace {

// "yyyy-MM-dd" at the start, read without Qt's format parser (which costs
// more than the rest of reading a purchase).
bool isoDigits(const QString &s)
{
    if (s.size() < 10 || s[4] != u'-' || s[7] != u'-')
        return false;
    for (const int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (s[i] < u'0' || s[i] > u'9')
            return false;
    return true;
}

QDate isoDate(const QString &s)
{
    auto number = [&s](int from, int length) {
        int n = 0;
        for (int i = from; i < from + length; ++i)
            n = n * 10 + (s[i].unicode() - u'0');
        return n;
    };
    return QDate(number(0, 4), number(5, 2), number(8, 2));
}

} // namespace

QDate dateIn(const QString &text)
{
    return isoDigits(text) ? isoDate(text) : QDate::fromString(text.left(10), DateFormat);
}

QDateTime timeIn(const QString &text)
{
    if (text.size() == 19 && text[10] == u' ' && isoDigits(text)) {
        const QDate date = isoDate(text);
        const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
        return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
    }
    const QDateTime t = QDateTime::fromString(text, DateTimeFormat);
    return t.isValid() ? QDateTime(t.date(), t.time(), Qt::UTC) : QDateTime();
}

QVariant fromStorage(ColumnKind kind, const QVariant &stored)
{
    if (stored.isNull() || !stored.isValid())
        return QVariant();
    switch (kind) {
    case ColumnKind::Money:
        // Integers are ten-thousandths. A REAL or text amount written by another
        // tool is read as the decimal amount it shows.
        // (Qt's PostgreSQL driver gives a bigint that is not negative as unsigned.)
        switch (stored.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::ULongLong:
        case QMetaType::UInt:
            return QVariant::fromValue(Money::fromUnits(stored.toLongLong()));
        default:
            break;
        }
        if (auto m = Money::parse(stored.toString(), QLocale::c()))
            return QVariant::fromValue(*m);
        return QVariant();
    case ColumnKind::Date: {
        const QString s = stored.toString();
        QDate d = isoDigits(s) ? isoDate(s) : QDate::fromString(s.left(10), DateFormat);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case ColumnKind::DateTime: {
        // Sale times are the till's wall-clock times and are kept without a
        // time zone (as UTC): a busy day's hundred thousand lines are read
        // without asking the zone of every one of them. They show and store
        // as the same text.
        const QString s = stored.toString();
        const QDate date = isoDigits(s) ? isoDate(s) : QDate::fromString(s.left(10), DateFormat);
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

QString sumUnitsSql(const QSqlDatabase &db, const QString &column)
{
    return onServer(db) ? QStringLiteral("CAST(SUM(%1) AS bigint)").arg(column)
                        : QStringLiteral("SUM(%1)").arg(moneyUnitsSql(column));
}

QString indexedBy(const QSqlDatabase &db, const QString &index)
{
    return onServer(db) ? QString() : QStringLiteral(" INDEXED BY ") + index;
}

QString sameAs(const QSqlDatabase &db)
{
    return onServer(db) ? QStringLiteral("IS NOT DISTINCT FROM") : QStringLiteral("IS");
}

QString moneyUnitsSql(const QString &column)
{
    return QStringLiteral("(CASE WHEN typeof(%1) = 'integer' THEN %1 ELSE tarvel_units(%1) END)").arg(column);
}

} // namespace Schema
