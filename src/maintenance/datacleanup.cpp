#include "datacleanup.h"

#include "transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

QStringList DataCleanup::tablesOf(Scope scope)
{
    // Sales first, so no purchase or sale is ever left for a deleted code.
    switch (scope) {
    case Scope::Sales:
        return {QStringLiteral("xiaoshou")};
    case Scope::SalesAndPurchases:
        return {QStringLiteral("xiaoshou"), QStringLiteral("jinhuo")};
    case Scope::Everything:
        return {QStringLiteral("xiaoshou"), QStringLiteral("jinhuo"), QStringLiteral("name")};
    }
    return {};
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

DataCleanup::Result DataCleanup::run(QSqlDatabase db, const QString &databasePath, Scope scope, const QDateTime &when)
{
    Result result;
    result.backupPath = backupPathFor(databasePath, when);

    // The copy is made by SQLite itself from the live file, into a new file
    // that only the shop's account can read, like the shop file.
    {
        QFile target(result.backupPath);
        if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            result.error = QStringLiteral("无法写入备份文件 %1（%2），数据没有删除。")
                               .arg(QDir::toNativeSeparators(result.backupPath), target.errorString());
            return result;
        }
    }
    QSqlQuery copy(db);
    copy.prepare(QStringLiteral("VACUUM INTO ?"));
    copy.addBindValue(result.backupPath);
    if (!copy.exec()) {
        result.error = QStringLiteral("无法写入备份文件 %1（%2），数据没有删除。")
                           .arg(QDir::toNativeSeparators(result.backupPath), copy.lastError().text());
        QFile::remove(result.backupPath);
        return result;
    }

    Transaction tx(db);
    if (!tx.isActive()) {
        result.error = QStringLiteral("数据没有删除：%1").arg(tx.lastError());
        return result;
    }
    QSqlQuery q(db);
    for (const QString &table : tablesOf(scope)) {
        if (!q.exec(QStringLiteral("DELETE FROM \"%1\"").arg(table))) {
            result.error = QStringLiteral("数据没有删除：%1").arg(q.lastError().text());
            return result; // rolled back: every table as it was
        }
    }
    if (!tx.commit()) {
        result.error = QStringLiteral("数据没有删除：%1").arg(tx.lastError());
        return result;
    }
    result.ok = true;
    return result;
}
