#pragma once

#include "shop/shop.h"
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

// The settings rows of table `code`: the super-user password (row 1) and the
// receipt's texts (the header row 20000, the footer rows above it). Every
// answer is read from the file.
class Settings
{
public:
    explicit Settings(Shop shop) : m_shop(std::move(shop)), m_db(m_shop.connection()) { }

    // The stored password (empty when the row holds none); nothing, with
    // lastError, when it cannot be read or the row is missing.
    std::optional<QString> password() const;
    // Stores a new password in the password row; false with lastError when
    // the file refused it (the old password then stays in force).
    bool setPassword(const QString &password);

    // The receipt's header; nothing, with lastError, when it cannot be read.
    // A file without the row has an empty header.
    std::optional<QString> receiptHeader() const;
    // Stores the receipt's header in the header row (the first, where another
    // tool wrote two), making the row again when it went missing; false with
    // lastError when the file refused it.
    bool setReceiptHeader(const QString &header);
    // The footer lines; an empty list, with lastError, when they cannot be read.
    QStringList receiptFooter() const;

    // Records in the trail how the footer changed since `before` (the lines
    // as the design screen found them): its lines are edited in place, so
    // the change is recorded when the screen is left. Nothing when unchanged;
    // false with lastError when it could not be recorded.
    bool recordFooterChange(const QStringList &before);

    // Appends an empty footer line under the next id after the last footer
    // row in stored order (the first one after the header when there is
    // none), taken and written in one transaction. Ids are 16-bit: Full at
    // the end of the range.
    enum class Appended { Appended, Full, Failed };
    Appended appendFooterLine();

    // Empty when the rows the program cannot do without are there; otherwise
    // the reason for the user. The password row is never made up; the
    // receipt header and a first footer line are put back when missing.
    QString ensureRows();

    QString lastError() const { return m_error; }

private:
    Shop m_shop;
    QSqlDatabase m_db;
    mutable QString m_error;
};
