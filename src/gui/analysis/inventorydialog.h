#pragma once

#include "shop/stockfigures.h"

#include "shop/shop.h"
#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableView;
class FiguresModel;

// frmkucun "库存分析": per goods code ever purchased, what was purchased and
// sold and what is left, with the totals, computed once when the screen is
// loaded and kept while it is hidden. "打印库存" shows the inventory list.
class InventoryDialog : public QDialog
{
    Q_OBJECT

public:
    // The screens opened from here that live elsewhere (盘点, 报损), each
    // run modal over the given parent; without them, no button for them.
    struct Screens
    {
        std::function<void(QWidget *parent)> count, writeOff;
    };
    explicit InventoryDialog(Shop shop, QWidget *parent = nullptr, Screens screens = {});

    const StockFigures &figures() const { return m_figures; }
    void setPricesShown(bool shown);
    void printList();
    // Puts the figures computed at load into the grid and the totals.
    void fill();

private:
    void load();
    void setColumnWidths();
    void alignTotals();

    Shop m_shop;
    StockFigures m_figures;
    FiguresModel *m_model;
    QTableView *m_grid;
    QWidget *m_totalsRow;
    QLineEdit *m_totalSold;
    QLineEdit *m_totalSoldAmount;
    QLineEdit *m_totalPurchased;
    QLineEdit *m_totalStock;
    QLineEdit *m_totalValue;
    QCheckBox *m_showPrices;
    QPushButton *m_printButton;
    QPushButton *m_backButton;
};
