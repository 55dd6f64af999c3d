#pragma once

#include "shop/members.h"
#include "shop/shop.h"

#include <QDialog>

class QDateEdit;
class QLabel;
class QLineEdit;
class QTableWidget;

// frmhuiyuan "会员管理": the members by card, found by card, name or phone,
// with their points; add, change, delete and import from CSV.
class MembersDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MembersDialog(Shop shop, QWidget *parent = nullptr);

    // The most members the list shows at once; the search finds the others.
    static constexpr int MostShown = 500;

    // Commands, as the buttons run them.
    void reload();
    void addMember();
    void changeSelected();
    void deleteSelected();
    void importFile(const QString &path);

private:
    Member typed() const;
    const Member *selected() const;
    void showSelected();

    Shop m_shop;
    QList<Member> m_shown;
    QLineEdit *m_find;
    QTableWidget *m_grid;
    QLabel *m_count;
    QLineEdit *m_card;
    QLineEdit *m_name;
    QLineEdit *m_phone;
    QDateEdit *m_joined;
};
