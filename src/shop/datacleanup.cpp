#include "shop/datacleanup.h"

#include "shop/schema.h"

#include "shop/database.h"
#include "shop/engine.h"
#include "shop/shopcopy.h"
#include "shop/trail.h"
#include "shop/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

QStringList DataCleanup::tablesOf(Scope scope)
{
    // Sales first, so no purchase or sale is ever left for a deleted code;
    // the returns and payments of the sales go with them (the closes stay:
    // each holds its own figures, and so do the payments of the periods not
    // yet closed). A minimum stock goes with its goods; the stock's
    // adjustments and counts go with the purchases that made the stock.
    // The members' tickets (and with them their points) go with the sales;
    // the members stay until everything goes.
    const QStringList sales = {QStringLiteral("xiaoshou"), QStringLiteral("tuihuo"), QStringLiteral("fukuan"),
                               QStringLiteral("huiyuan_piao"), QStringLiteral("shouyin_piao")};
    const QStringList stock = {QStringLiteral("jinhuo"), QStringLiteral("tiaozheng"), QStringLiteral("pandian"),
                               QStringLiteral("pandian_mx")};
    switch (scope) {
    case Scope::Sales:
        return sales;
    case Scope::SalesAndPurchases:
        return sales + stock;
    case Scope::Everything:
        // The weighed goods and the specials go with the catalogue; the
        // scale's formats stay.
        return sales + stock +
               QStringList{QStringLiteral("name"), QStringLiteral("zuidi"), QStringLiteral("chengzhong"),
                           QStringLiteral("tejia"), QStringLiteral("huiyuan")};
    }
    return {};
}

QString DataCleanup::keptOf(const QString &table)
{
    return table == u"fukuan" ? QStringLiteral("rijie IS NULL") : QString();
}

QString DataCleanup::backupPathFor(const QString &databasePath, const QDateTime &when)
{
    const QFileInfo info(databasePath);
    const QString stem = QStringLiteral("tarv-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = info.dir().filePath(stem + QStringLiteral(".db"));
    // Two cleanups within one second keep both copies.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = info.dir().filePath(QStringLiteral("%1-%2.db").arg(stem).arg(n));
    return path;
}

namespace {

// The whole file as this connection sees it, copied page by page by SQLite's
// backup (one consistent moment, the shop's writes waiting meanwhile), then
// written through to the disk before anything is emptied: a copy still in
// the page cache is no copy when the power fails after the delete.
QString copyWhole(const QSqlDatabase &db, const QString &path)
{
    sqlite3 *source = fileHandleOf(db);
    if (!source)
        return QStringLiteral("数据库没有打开");
    sqlite3 *target = nullptr;
    const QByteArray name = QFile::encodeName(path);
    QString problem;
    if (sqlite3_open_v2(name.constData(), &target, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        problem = QString::fromUtf8(sqlite3_errmsg(target));
    } else {
        // A half-written copy is removed by the caller; no journal is needed.
        sqlite3_exec(target, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
        sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
        if (!backup) {
            problem = QString::fromUtf8(sqlite3_errmsg(target));
        } else {
            const int stepped = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            if (stepped != SQLITE_DONE)
                problem = QString::fromUtf8(sqlite3_errstr(stepped));
        }
    }
    if (sqlite3_close(target) != SQLITE_OK && problem.isEmpty())
        problem = QStringLiteral("关闭备份文件失败");
    if (!problem.isEmpty())
        return problem;
    const int fd = ::open(name.constData(), O_RDONLY);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return synced ? QString() : QString::fromLocal8Bit(std::strerror(error));
}

// The trail, which no cleanup empties, keeps what went and where its copy is.
QString recordCleanup(const Shop &shop, const QStringList &tables, const QString &copy)
{
    return Trail::append(shop, QStringLiteral("数据清理"),
                         QStringLiteral("清空 %1；备份文件 %2")
                             .arg(tables.join(QStringLiteral("、")), QDir::toNativeSeparators(copy)))
        .errorText();
}

} // namespace

DataCleanup::Result DataCleanup::run(const Shop &shop, const QString &databasePath, Scope scope, const QDateTime &when,
                                     const ShopCopy::Progress &progress)
{
    const QSqlDatabase db = shop.connection();
    if (onServer(db))
        return runOnServer(shop, scope, when, progress);
    Result result;
    result.backupPath = backupPathFor(databasePath, when);

    // The copy goes into a new file that only the shop's account can read,
    // like the shop file.
    {
        QFile target(result.backupPath);
        if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            result.error = QStringLiteral("无法写入备份文件 %1（%2），数据没有删除。")
                               .arg(QDir::toNativeSeparators(result.backupPath), target.errorString());
            return result;
        }
    }
    if (const QString problem = copyWhole(db, result.backupPath); !problem.isEmpty()) {
        result.error = QStringLiteral("无法写入备份文件 %1（%2），数据没有删除。")
                           .arg(QDir::toNativeSeparators(result.backupPath), problem);
        QFile::remove(result.backupPath);
        return result;
    }

    Transaction tx(shop);
    if (!tx.isActive()) {
        result.error = QStringLiteral("数据没有删除：%1").arg(tx.lastError());
        return result;
    }
    QSqlQuery q(db);
    // A table is emptied at once, not row by row through the triggers that
    // count its changes: they are made again after, and count it once.
    QStringList statements;
    for (const QString &table : tablesOf(scope)) {
        for (const QString &trigger : Schema::changeCountTriggers(table))
            statements.append(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(trigger));
        const QString kept = keptOf(table);
        statements.append(kept.isEmpty() ? QStringLiteral("DELETE FROM \"%1\"").arg(table)
                                         : QStringLiteral("DELETE FROM \"%1\" WHERE NOT (%2)").arg(table, kept));
    }
    statements += Schema::changeCountStatements();
    statements.append(QStringLiteral("UPDATE biandong SET huowu = huowu + 1, xiaoshou = xiaoshou + 1"));
    for (const QString &statement : statements) {
        if (!q.exec(statement)) {
            result.error = QStringLiteral("数据没有删除：%1").arg(problemText(q.lastError()));
            return result; // rolled back: every table as it was
        }
    }
    if (const QString problem = recordCleanup(shop, tablesOf(scope), result.backupPath); !problem.isEmpty()) {
        result.error = QStringLiteral("数据没有删除：%1").arg(problem);
        return result;
    }
    if (!tx.commit()) {
        result.error = QStringLiteral("数据没有删除：%1").arg(tx.lastError());
        return result;
    }
    result.ok = true;
    return result;
}

DataCleanup::Result DataCleanup::runOnServer(const Shop &shop, Scope scope, const QDateTime &when,
                                             const ShopCopy::Progress &progress)
{
    const QSqlDatabase db = shop.connection();
    // The tills go on selling while the copy is written: it is one snapshot,
    // and what it holds is known by each table's last row in it (every
    // writer of a table numbers its rows under the table's lock, so a row
    // stored after the snapshot comes after that row). Only then are the
    // tables locked, briefly: the rows stored meanwhile are set aside, the
    // tables emptied at once and those rows put back. A row changed after
    // the snapshot is emptied as the copy holds it.
    Result result;
    result.backupPath = backupPathFor(QDir::current().absoluteFilePath(QString::fromLatin1(Database::FileName)), when);
    const QStringList tables = tablesOf(scope);
    QStringList lastRows;
    {
        Transaction snapshot(shop);
        QSqlQuery q(db);
        if (!snapshot.isActive() ||
            !q.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"))) {
            result.error = QStringLiteral("数据没有删除：%1")
                               .arg(snapshot.isActive() ? problemText(q.lastError()) : snapshot.lastError());
            return result;
        }
        for (const QString &table : tables) {
            if (!q.exec(QStringLiteral("SELECT COALESCE(MAX(rowid), 0) FROM \"%1\"").arg(table)) || !q.next()) {
                result.error = QStringLiteral("数据没有删除：%1").arg(problemText(q.lastError()));
                return result;
            }
            lastRows.append(QString::number(q.value(0).toLongLong()));
            q.finish();
        }
        const ShopCopy::Outcome copied = ShopCopy::writeFile(db, result.backupPath, progress);
        if (!copied.error.isEmpty()) {
            result.error = QStringLiteral("无法写入备份文件 %1（%2），数据没有删除。")
                               .arg(QDir::toNativeSeparators(result.backupPath), copied.error);
            return result;
        }
    } // the snapshot ends, read only: nothing to undo

    Transaction tx(shop);
    QSqlQuery q(db);
    QStringList statements = {QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(tables.join(u", "))};
    for (int i = 0; i < tables.size(); ++i) {
        QString kept = QStringLiteral("rowid > %1").arg(lastRows[i]);
        if (const QString alsoKept = keptOf(tables[i]); !alsoKept.isEmpty())
            kept += QStringLiteral(" OR %1").arg(alsoKept);
        statements.append(
            QStringLiteral("CREATE TEMP TABLE \"kept_%1\" ON COMMIT DROP AS SELECT * FROM \"%1\" WHERE %2")
                .arg(tables[i], kept));
    }
    statements.append(QStringLiteral("TRUNCATE %1").arg(tables.join(u", ")));
    for (const QString &table : tables)
        statements.append(QStringLiteral("INSERT INTO \"%1\" SELECT * FROM \"kept_%1\" ORDER BY rowid").arg(table));
    if (!tx.isActive()) {
        result.error = QStringLiteral("数据没有删除：%1").arg(tx.lastError());
        QFile::remove(result.backupPath);
        return result;
    }
    for (const QString &statement : statements) {
        if (!q.exec(statement)) {
            result.error = QStringLiteral("数据没有删除：%1").arg(serverProblemInWords(q.lastError()));
            QFile::remove(result.backupPath);
            return result;
        }
    }
    if (const QString problem = recordCleanup(shop, tables, result.backupPath); !problem.isEmpty()) {
        result.error = QStringLiteral("数据没有删除：%1").arg(problem);
        QFile::remove(result.backupPath);
        return result;
    }
    if (!tx.commit()) {
        result.error = QStringLiteral("数据没有删除：%1").arg(tx.lastError());
        QFile::remove(result.backupPath);
        return result;
    }
    result.ok = true;
    return result;
}
