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

    // The stored password (empty when the row holds none); an error also
    // when the row is missing.
    Result<QString> password() const;
    // Stores a new password in the password row; when the file refuses it
    // the old password stays in force.
    Done setPassword(const QString &password);

    // The receipt's header; a file without the row has an empty header.
    Result<QString> receiptHeader() const;
    // Stores the receipt's header in the header row (the first, where another
    // tool wrote two), making the row again when it went missing.
    Done setReceiptHeader(const QString &header);
    // The footer lines.
    Result<QStringList> receiptFooter() const;

    // Records in the trail how the footer changed since `before` (the lines
    // as the design screen found them): its lines are edited in place, so
    // the change is recorded when the screen is left. Nothing when unchanged.
    Done recordFooterChange(const QStringList &before);

    // Appends an empty footer line under the next id after the last footer
    // row in stored order (the first one after the header when there is
    // none), taken and written in one transaction. Ids are 16-bit: Full at
    // the end of the range.
    enum class Appended { Appended, Full };
    Result<Appended> appendFooterLine();

    // Whether the rows the program cannot do without are there; otherwise
    // the reason for the user. The password row is never made up; the
    // receipt header and a first footer line are put back when missing.
    Done ensureRows();

private:
    Shop m_shop;
    QSqlDatabase m_db;
};
