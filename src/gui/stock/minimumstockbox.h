#pragma once

#include "shop/shop.h"
#include <QGroupBox>

class QLineEdit;
class QPushButton;

// In 货名管理: the least stock of the selected goods, below which they come
// onto the reorder list (补货单). Empty: never listed.
class MinimumStockBox : public QGroupBox
{
    Q_OBJECT

public:
    MinimumStockBox(Shop shop, QWidget *parent = nullptr);
    // The goods selected in the list; empty for none.
    void setCode(const QString &code);

private:
    void save();

    Shop m_shop;
    QString m_code;
    bool m_weighed = false; // the minimum is typed in kg
    QLineEdit *m_minimum;
    QPushButton *m_save;
};
