#include "shop/tillcopy.h"

#include "shop/engine.h"
#include "shop/picklist.h"
#include "shop/schema.h"
#include "shop/settings.h"
#include "shop/tillfile.h"
#include "shop/workconnection.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QThreadPool>

namespace {

// Every code of the catalogue under its first name, with what its purchases
// come to and the selling price of its last one: the counter's lookup for
// all codes at once.
const char *const GoodsQuery =
    "SELECT n.code, n.name, COALESCE(p.rows, 0), COALESCE(p.quantity, 0), l.shou "
    "FROM (SELECT DISTINCT ON (code) code, name FROM name WHERE code IS NOT NULL ORDER BY code, rowid) AS n "
    "LEFT JOIN (SELECT code, COUNT(*) AS rows, SUM(shuliang) AS quantity, MAX(rowid) AS last FROM jinhuo "
    "GROUP BY code) AS p ON p.code = n.code "
    "LEFT JOIN jinhuo l ON l.rowid = p.last";

} // namespace

TillCopy::TillCopy(const Shop &shop, const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_work(std::make_shared<WorkConnection>(shop))
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(SoonMs);
    connect(&m_soon, &QTimer::timeout, this, &TillCopy::start);
    m_every.setInterval(EveryMs);
    connect(&m_every, &QTimer::timeout, this, &TillCopy::start);
    m_every.start();
    start();
}

TillCopy::~TillCopy()
{
    m_work->interrupt();
}

void TillCopy::refreshSoon()
{
    if (!m_soon.isActive())
        m_soon.start();
}

void TillCopy::start()
{
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    m_again = false;
    QPointer<TillCopy> self(this);
    const std::shared_ptr<WorkConnection> work = m_work;
    const QString path = m_path;
    WorkConnection::pool()->start([self, work, path] {
        QString problem;
        work->run([&](const Shop &shop) { problem = refresh(shop, path); });
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [self, problem] {
                    if (!self)
                        return;
                    self->m_running = false;
                    Q_EMIT self->refreshed(problem);
                    if (self->m_again)
                        self->start();
                },
                Qt::QueuedConnection);
    });
}

QString TillCopy::refresh(const Shop &shop, const QString &path)
{
    TillFile::Copy copy;
    QSqlQuery q(shop.connection());
    readOnce(q, shop.connection());
    if (!q.exec(QString::fromLatin1(GoodsQuery)))
        return problemText(q.lastError());
    while (q.next()) {
        TillFile::Goods g;
        g.code = q.value(0).toString();
        g.name = q.value(1).toString();
        g.purchaseRows = q.value(2).toLongLong();
        g.purchased = q.value(3).toLongLong();
        g.price = Schema::fromStorage(Schema::ColumnKind::Money, q.value(4)).value<Money>();
        copy.goods.append(g);
    }
    const Settings settings(shop);
    const auto header = settings.receiptHeader();
    if (!header)
        return header.errorText();
    copy.header = *header;
    copy.footer = settings.receiptFooter().valueOr(QStringList());
    if (const auto password = settings.password()) {
        copy.password = *password;
        copy.hasPassword = true;
    }
    copy.picks = PickList::names(shop).valueOr(QStringList());
    TillFile file(path);
    if (!file.problem().isEmpty())
        return file.problem();
    return file.replaceCopy(copy);
}
