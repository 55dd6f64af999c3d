#pragma once

#include "shop/cashiers.h"
#include "shop/shop.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QLineEdit;
class QTableWidget;

// frmshouyinyuan, "收银员管理": the shop's cashiers by 工号, with their name,
// whether they may sign in (在职), and a new password when one is typed. A
// password is never shown: only its hash is kept.
class CashiersDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CashiersDialog(Shop shop, QWidget *parent = nullptr);

private:
    void reread();
    void showSelected();
    // 新增 (adding) or 保存 of the cashier of the 工号 typed.
    void store(bool adding);
    Cashier typed() const;

    Shop m_shop;
    QList<Cashier> m_cashiers;
    QTableWidget *m_grid;
    QLineEdit *m_number;
    QLineEdit *m_name;
    QLineEdit *m_password;
    QLineEdit *m_repeat;
    QCheckBox *m_active;
};
