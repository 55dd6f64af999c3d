#pragma once

#include "shop/salesfigures.h"

#include "shop/shop.h"
#include <QDialog>

class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;
class FiguresModel;

// frmxiaoshou "销售分析": per goods code the quantity and amount sold in a
// range of days, the purchase price and the gross profit, with the totals.
// It opens with today's figures; "汇总" sums the chosen range; "关闭" hides it
// with everything kept.
class SalesAnalysisDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SalesAnalysisDialog(Shop shop, QWidget *parent = nullptr);

    const SalesFigures &figures() const { return m_figures; }
    // "汇总" for the dates in the pickers.
    void summarise();
    // "图表": the chart of the range in the pickers (summarised first when
    // the grid shows another).
    void showChart();

private:
    void run(QDate first, QDate last);
    void showFigures(SalesFigures figures);

    Shop m_shop;
    SalesFigures m_figures;
    FiguresModel *m_model;
    bool m_busy = false;

    QTableView *m_grid;
    QLabel *m_totalQuantity;
    QLabel *m_totalAmount;
    QLabel *m_totalProfit;
    QDateEdit *m_firstDay;
    QDateEdit *m_lastDay;
    QPushButton *m_summaryButton;
    // The range whose figures the grid shows.
    std::pair<QDate, QDate> m_shown;
    QPushButton *m_closeButton;
};
