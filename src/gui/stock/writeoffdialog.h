#pragma once

#include "shop/shop.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// frmbaosun, "报损": goods taken out of stock by code, with a quantity and a
// reason (过期, 损坏, 丢失, 自用, or typed), worth the last purchase price.
class WriteOffDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WriteOffDialog(Shop shop, QWidget *parent = nullptr);
    // Stores the write-off as the boxes say; true when stored.
    bool writeOff();

private:
    void showGoods();

    Shop m_shop;
    QLineEdit *m_code;
    QLineEdit *m_quantity;
    QComboBox *m_reason;
    QLabel *m_goods;
    QPushButton *m_ok;
};
