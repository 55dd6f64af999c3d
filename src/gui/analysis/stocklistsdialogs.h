#pragma once

#include "shop/expiry.h"
#include "shop/reorder.h"

#include "shop/shop.h"
#include <QDialog>

class QSpinBox;
class QTableWidget;

// frmlinqi, "临期商品" (from 库存分析): what of the stock expires within the
// days chosen (30 unless changed), the expired first and in red; printable;
// the selected batch written off with one click (报损).
class ExpiryDialog : public QDialog
{
    Q_OBJECT

public:
    ExpiryDialog(Shop shop, QWidget *parent = nullptr);
    const ExpiryFigures &figures() const { return m_figures; }
    void refresh();
    // 报损 of the selected part: that batch, after a question.
    void writeOffSelected();

private:
    Shop m_shop;
    ExpiryFigures m_figures;
    QSpinBox *m_days;
    QTableWidget *m_grid;
};

// frmbuhuo, "补货单" (from 库存分析): the goods at or below their minimum
// stock, by maker; printable as the order list for each supplier.
class ReorderDialog : public QDialog
{
    Q_OBJECT

public:
    ReorderDialog(Shop shop, QWidget *parent = nullptr);
    const ReorderFigures &figures() const { return m_figures; }

private:
    ReorderFigures m_figures;
    QTableWidget *m_grid;
};
