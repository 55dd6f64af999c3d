#pragma once

#include "shop/daysales.h"

#include "shop/shop.h"
#include <QDialog>

class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;
class FiguresModel;

// frmlinshou "零售管理": the stored sale lines of one day with the ticket count
// and totals; the selected line can be deleted. "关闭" only hides it; the
// list and totals are rebuilt when the date changes or on 刷新 (other tills
// sell meanwhile). A day that could not be read never shows as a day
// without sales: it is read again, or said again, whenever the screen shows.
class RetailDialog : public QDialog
{
    Q_OBJECT

public:
    explicit RetailDialog(Shop shop, QWidget *parent = nullptr);

    // The lines of the listed day (the grid is given them as it scrolls).
    int lineCount() const { return int(m_lines.size()); }
    void setDay(QDate day);
    void deleteSelected();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fill();
    // The cashiers to choose from; hidden while the shop has none.
    void readCashiers();
    void showTotals();
    void select(int row);

    Shop m_shop;
    FiguresModel *m_model;
    QVector<DaySales::Line> m_lines; // the listed day, in the grid's order
    DaySales::Totals m_totals;
    QString m_failed; // why the listed day could not be read; empty when it was
    bool m_shownBefore = false;

    QDateEdit *m_dayPicker;
    class QComboBox *m_cashier; // 全部收银员, then each cashier (shown once the shop has any)
    QTableView *m_grid;
    QLabel *m_ticketsLabel;
    QLabel *m_quantityLabel;
    QLabel *m_methodLabel = nullptr;   // how the selected line's ticket was paid
    QLabel *m_byMethodLabel = nullptr; // the day's amounts per payment method
    QLabel *m_amountLabel;
    QPushButton *m_refreshButton;
    QPushButton *m_deleteButton;
    QPushButton *m_closeButton;
};
