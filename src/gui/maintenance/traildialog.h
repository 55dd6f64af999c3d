#pragma once

#include "shop/shop.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QTableWidget;

// frmcaozuo "操作记录": the trail of deletions, voids and cleanups of a range
// of days, of one kind or all; exported, printed, and its chain checked.
class TrailDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TrailDialog(Shop shop, QWidget *parent = nullptr);

    void showRecords();
    void printRecords();
    void checkChain();

private:
    Shop m_shop;
    QDateEdit *m_from;
    QDateEdit *m_to;
    QComboBox *m_kind;
    QTableWidget *m_grid;
};
