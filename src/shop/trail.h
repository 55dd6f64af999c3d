#pragma once

#include "shop/shop.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// 操作记录: what was deleted, voided or emptied, and by which act, appended
// and never changed by the program (table caozuo, on both engines; 数据清理
// never empties it). Each record carries a hash over its own content and the
// hash of the record before it, so a record another tool deleted or altered
// shows where the chain breaks.
class Trail
{
public:
    // The kinds of acts recorded, as the screen lists them.
    static const QStringList &kinds();

    struct Record
    {
        qint64 id = 0;
        QDateTime time;
        int till = 0;
        QString mode; // 收银 (at the counter) or 管理 (in the back office), by the kind
        QString kind;
        QString what; // the rows' values as the program read them
        QString why;
        QString hash;
    };

    // Appends a record of the calling program, inside the transaction the
    // caller holds open (the act and its record are stored together or not
    // at all).
    static Done append(const Shop &shop, const QString &kind, const QString &what, const QString &why = QString());
    // Appends in a transaction of its own: for acts that store nothing else
    // (a line voided at the counter).
    static Done appendAlone(const Shop &shop, const QString &kind, const QString &what, const QString &why = QString());

    // A stored row as the record shows it, "column=value, …"; empty when
    // the row is not there.
    static Result<QString> rowText(const Shop &shop, const QString &table, qint64 rowid);

    // The records of the days `from`–`to` in order; of one kind when `kind`
    // is not empty.
    static Result<QList<Record>> list(const Shop &shop, QDate from, QDate to, const QString &kind);

    // The whole chain checked from its first record: complete, or the first
    // record whose hash does not follow from the records before it (one
    // before it deleted, or it changed).
    struct Check
    {
        bool whole = false;
        qint64 records = 0;
        qint64 brokenAt = 0; // the id of the first record that does not follow
        QString error;       // when it could not be read
    };
    static Check check(const Shop &shop);
    // The message of the screen.
    static QString checkInWords(const Check &check);

    // The hash of a record that follows one whose hash is `previous`.
    static QString hashOf(const Record &record, const QString &previous);
};
