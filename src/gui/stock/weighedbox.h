#pragma once

#include "shop/shop.h"
#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QPushButton;

// In 货名管理: whether the selected goods is sold by weight from the label
// scale, and its scale code (秤码); the scale's label formats open from here.
// A weighed goods' quantities are kg with three decimals, its prices per kg.
class WeighedBox : public QGroupBox
{
    Q_OBJECT

public:
    WeighedBox(Shop shop, QWidget *parent = nullptr);
    // The goods selected in the list; empty for none.
    void setCode(const QString &code);

private:
    void save();

    Shop m_shop;
    QString m_code;
    QCheckBox *m_weighed;
    QLineEdit *m_scaleCode;
    QPushButton *m_save;
};
