#pragma once

#include "shop/dayclose.h"

#include "shop/shop.h"
#include <QDialog>
#include <QUuid>
#include <QVector>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// frmkaiban, "开班": the cash the drawer starts with, asked at the first sale
// after a close (0 unless typed).
class OpeningCashDialog : public QDialog
{
    Q_OBJECT

public:
    explicit OpeningCashDialog(QWidget *parent = nullptr);
    // The amount once accepted.
    Money opening() const { return m_opening; }

private:
    void confirm();
    QLineEdit *m_amount;
    Money m_opening;
};

// frmrijie, "日结": the figures of this till's period since its last close,
// the cash counted and the difference; 打印 prints them (X report), 日结
// stores the close and prints it (Z report), 历史记录 lists past closes.
class DayCloseDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DayCloseDialog(Shop shop, QWidget *parent = nullptr);
    // Reads the period's figures again; false (after telling) when it could not.
    bool refresh();
    // Whether a close was stored here: a cashier's shift was handed over.
    bool hasClosed() const { return m_hasClosed; }

private:
    // The counted cash typed; nothing (after telling) when it is no amount.
    std::optional<std::optional<Money>> counted();
    void showFigures();
    void printX();
    void closePeriod();
    void showHistory();
    // 当日汇总: the till's closes of today added up (its Z over every shift), printed.
    void printDay();

    DayClose m_close;
    bool m_hasClosed = false;
    QUuid m_token = QUuid::createUuid(); // of the close this dialog stores next
    CloseFigures m_figures;
    QTableWidget *m_grid;
    QLineEdit *m_counted;
    QLabel *m_difference;
};

// frmrijielist, "日结记录": every till's closes, newest first; the selected
// one printed again.
class CloseListDialog : public QDialog
{
    Q_OBJECT

public:
    CloseListDialog(QVector<CloseFigures> closes, QWidget *parent = nullptr);

private:
    void printSelected();
    // Only the closes of the cashier chosen (all for the first entry).
    void filter();
    QVector<CloseFigures> m_closes;
    class QComboBox *m_cashier = nullptr;
    QTableWidget *m_grid;
};

// Fills a two-column grid with the report's rows.
void showReport(QTableWidget *grid, const CloseReport &report);
