#include "shopgenerator.h"

#include "shop/database.h"
#include "shop/transaction.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace {

const QStringList Brands = {QStringLiteral("康师傅"), QStringLiteral("统一"), QStringLiteral("农夫山泉"),
                            QStringLiteral("蒙牛"),   QStringLiteral("伊利"), QStringLiteral("旺旺"),
                            QStringLiteral("娃哈哈"), QStringLiteral("双汇"), QStringLiteral("金龙鱼"),
                            QStringLiteral("海天"),   QStringLiteral("立白"), QStringLiteral("蓝月亮")};
const QStringList Products = {QStringLiteral("矿泉水"), QStringLiteral("方便面"), QStringLiteral("纯牛奶"),
                              QStringLiteral("酸奶"),   QStringLiteral("饼干"),   QStringLiteral("火腿肠"),
                              QStringLiteral("食用油"), QStringLiteral("酱油"),   QStringLiteral("洗衣液"),
                              QStringLiteral("牙膏"),   QStringLiteral("薯片"),   QStringLiteral("面包"),
                              QStringLiteral("大米"),   QStringLiteral("可乐"),   QStringLiteral("毛巾")};
const QStringList Sizes = {QStringLiteral("550ml"),  QStringLiteral("1L"),    QStringLiteral("250ml×12"),
                           QStringLiteral("5kg"),    QStringLiteral("120g"),  QStringLiteral("2kg"),
                           QStringLiteral("家庭装"), QStringLiteral("小包装")};
const QStringList Makers = {QStringLiteral("本地批发"), QStringLiteral("城东配送"), QStringLiteral("厂家直供")};

bool exec(QSqlQuery &q, QString *error)
{
    if (q.exec())
        return true;
    *error = q.lastError().text();
    return false;
}

} // namespace

QString ShopGenerator::generate(const QString &path, Scale scale, quint32 seed,
                                const std::function<void(int)> &progress)
{
    Database::Result created = Database::create(path);
    if (!created.database)
        return created.message;
    const Shop handle = created.database->shop();
    QSqlDatabase db = handle.connection();
    QRandomGenerator random(seed);
    QString error;
    Transaction tx(handle);
    if (!tx.isActive())
        return tx.lastError();
    auto report = [&](int percent) {
        if (progress)
            progress(percent);
    };

    // Goods: a code, a Chinese name, a selling price and a purchase price.
    struct Goods
    {
        QString code;
        qint64 price; // ten-thousandths
        qint64 cost;
        int popularity;
    };
    std::vector<Goods> goods;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO name (code, name) VALUES (?, ?)"));
    for (int i = 0; i < scale.goods; ++i) {
        const QString code = QStringLiteral("69%1").arg(1000000000LL + i * 7919LL % 9000000000LL, 11, 10, QChar(u'0'));
        const QString name = Brands.at(random.bounded(Brands.size())) + Products.at(random.bounded(Products.size())) +
                             u' ' + Sizes.at(random.bounded(Sizes.size()));
        const qint64 price = 100 * qint64(random.bounded(50, 20000)); // 0.50 .. 199.99
        goods.push_back({code, price, price * random.bounded(55, 85) / 100, random.bounded(1, 100)});
        q.addBindValue(code);
        q.addBindValue(name);
        if (!exec(q, &error))
            return error;
    }
    q.prepare(QStringLiteral("INSERT INTO kuaijie (id, kuaijie) VALUES (?, ?)"));
    for (int i = 0; i < Products.size(); ++i) {
        q.addBindValue(i + 1);
        q.addBindValue(Products.at(i));
        if (!exec(q, &error))
            return error;
    }
    report(2);

    const QDate last = QDate::currentDate().addDays(-1);
    const qint64 days = std::max(1, scale.days);
    const QDate first = last.addDays(1 - days);

    // Purchases spread over the years, each goods delivered now and then.
    q.prepare(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                             "guoqidt) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < scale.purchases; ++i) {
        const Goods &g = goods[size_t(i < scale.goods ? i : random.bounded(scale.goods))];
        const QDate day = first.addDays(qint64(i) * days / std::max(1, scale.purchases));
        q.addBindValue(i + 1);
        q.addBindValue(g.code);
        q.addBindValue(random.bounded(12, 240));
        q.addBindValue(g.cost);
        q.addBindValue(g.price);
        q.addBindValue(g.price);
        q.addBindValue(Makers.at(random.bounded(Makers.size())));
        q.addBindValue(day.toString(QStringLiteral("yyyy-MM-dd")));
        q.addBindValue(day.addDays(random.bounded(7, 720)).toString(QStringLiteral("yyyy-MM-dd")));
        if (!exec(q, &error))
            return error;
    }
    report(10);

    // Sale lines in tickets of one to nine lines. Busier at the weekend and
    // at the late morning and evening peaks; the shop opens 8:00 to 22:00.
    std::vector<int> weights;
    weights.reserve(goods.size());
    for (const Goods &g : goods)
        weights.push_back((weights.empty() ? 0 : weights.back()) + g.popularity);
    std::vector<double> dayShare(static_cast<size_t>(days));
    double shareSum = 0;
    for (qint64 d = 0; d < days; ++d) {
        const int weekday = first.addDays(d).dayOfWeek();
        dayShare[size_t(d)] = (weekday >= 6 ? 1.4 : 1.0) * (0.9 + 0.2 * random.generateDouble());
        shareSum += dayShare[size_t(d)];
    }
    static constexpr int hourWeight[] = {3, 5, 8, 9, 6, 5, 5, 6, 7, 9, 10, 9, 6, 4}; // 8:00 .. 21:00
    constexpr int HourWeightSum = 92;
    static_assert(HourWeightSum == 3 + 5 + 8 + 9 + 6 + 5 + 5 + 6 + 7 + 9 + 10 + 9 + 6 + 4);
    q.prepare(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    qint64 id = 0, ticket = 0;
    double shareSoFar = 0;
    for (qint64 d = 0; d < days && id < scale.saleLines; ++d) {
        // Rounded on the running share, so that no day collects what the others lost.
        shareSoFar += dayShare[size_t(d)];
        const qint64 linesToday =
            (d + 1 == days ? scale.saleLines : qint64(scale.saleLines * shareSoFar / shareSum + 0.5)) - id;
        // The day's tickets of one to nine lines, and their moments in order.
        std::vector<int> sizes;
        for (qint64 planned = 0; planned < linesToday;) {
            sizes.push_back(int(std::min<qint64>(random.bounded(1, 10), linesToday - planned)));
            planned += sizes.back();
        }
        std::vector<int> seconds;
        for (size_t t = 0; t < sizes.size(); ++t) {
            int hour = 0;
            for (int pick = random.bounded(HourWeightSum); hour < 13 && pick >= hourWeight[hour]; ++hour)
                pick -= hourWeight[hour];
            seconds.push_back((8 + hour) * 3600 + random.bounded(3600));
        }
        std::sort(seconds.begin(), seconds.end());
        const QDate day = first.addDays(d);
        for (size_t t = 0; t < sizes.size(); ++t) {
            ++ticket;
            const QString dt = QDateTime(day, QTime(0, 0).addSecs(seconds[t]), Qt::UTC)
                                   .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            for (int l = 0; l < sizes[t]; ++l) {
                const int pick = random.bounded(weights.back());
                const Goods &g =
                    goods[size_t(std::upper_bound(weights.begin(), weights.end(), pick) - weights.begin())];
                const int quantity = random.bounded(10) < 8 ? 1 : random.bounded(2, 6);
                q.addBindValue(++id);
                q.addBindValue(ticket);
                q.addBindValue(g.code);
                q.addBindValue(quantity);
                q.addBindValue(g.price);
                q.addBindValue(g.price * quantity);
                q.addBindValue(dt);
                if (!exec(q, &error))
                    return error;
            }
        }
        if (d % 30 == 0)
            report(10 + int(85 * id / std::max(1, scale.saleLines)));
    }
    if (!tx.commit())
        return tx.lastError();
    report(100);
    return QString();
}
