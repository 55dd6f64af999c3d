#pragma once

#include "shop/daysales.h"

#include <QDialog>
#include <QSqlDatabase>

class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;
class RecordSet;

// frmlinshou "零售管理": the stored sale lines of one day with the ticket count
// and totals; the selected line can be deleted. "关闭" only hides it; the
// list and totals are rebuilt when the date changes.
class RetailDialog : public QDialog
{
    Q_OBJECT

public:
    explicit RetailDialog(QSqlDatabase db, QWidget *parent = nullptr);

    RecordSet *dayList() const { return m_dayList; }
    void setDay(QDate day);
    void deleteSelected();

private:
    void fill();
    void showTotals();

    QSqlDatabase m_db;
    RecordSet *m_dayList;
    QVector<DaySales::StoredLine> m_lines; // each listed line as it is stored
    DaySales::Totals m_totals;

    QDateEdit *m_dayPicker;
    QTableView *m_grid;
    QLabel *m_ticketsLabel;
    QLabel *m_quantityLabel;
    QLabel *m_amountLabel;
    QPushButton *m_deleteButton;
    QPushButton *m_closeButton;
};
