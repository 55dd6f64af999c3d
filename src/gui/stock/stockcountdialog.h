#pragma once

#include "shop/stockcount.h"

#include "shop/shop.h"
#include <QDialog>

class FiguresModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// frmpandian, "盘点" (from 库存分析): a count started for all goods or one
// maker, counted with the scanner (each scan of a code adds one; a typed
// figure sets it) or from a handheld scanner's file, its list of book,
// counted and difference per code, and 过账, which stores the differences
// once. The count sheet and the variance list are printed from here.
class StockCountDialog : public QDialog
{
    Q_OBJECT

public:
    explicit StockCountDialog(Shop shop, QWidget *parent = nullptr);

    const StockCount::Sheet &sheet() const { return m_sheet; }
    // The count shown (0: none).
    qint64 countId() const;
    void startCount();
    void scanned();
    void typed();
    void post();

private:
    void loadCounts(qint64 select);
    void loadSheet();
    void fill();
    void counted(const QString &code, const Result<StockCount::Counted> &now);

    Shop m_shop;
    StockCount::Sheet m_sheet;
    QList<int> m_shown; // the sheet's lines the grid shows
    FiguresModel *m_model;
    QComboBox *m_counts;
    QComboBox *m_maker;
    QLineEdit *m_code;
    QLineEdit *m_quantity;
    QLabel *m_last;
    QLabel *m_totals;
    QCheckBox *m_onlyDiffering;
    QTableView *m_grid;
    QPushButton *m_set;
    QPushButton *m_import;
    QPushButton *m_post;
};
