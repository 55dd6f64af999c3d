#pragma once

#include "shop/scalelabel.h"
#include "shop/shop.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QTableWidget;

// frmchengma "条码秤格式": the label formats the shop's scales print, tried
// in order at the counter. The two common formats are added with a button;
// others are typed. A label can be tried against the formats before saving.
class LabelFormatDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LabelFormatDialog(Shop shop, QWidget *parent = nullptr);

    // The formats as the grid holds them.
    QList<LabelFormat> formats() const;
    void addFormat(const LabelFormat &format);
    bool save();
    void tryLabel();

private:
    void showExample(int row);

    Shop m_shop;
    QTableWidget *m_grid;
    QLineEdit *m_tryEdit;
    QLabel *m_tryResult;
};
