#pragma once

#include "shop/shop.h"
#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QTableView;
class RecordSet;

// frmxiaopiao "小票设计": the receipt's one-line header (settings row 20000)
// and its footer lines (rows 20001 upwards, contiguous). Every change is
// written at once; the counter's header is reloaded after a save.
class ReceiptDesignDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxLength = 32;

    ReceiptDesignDialog(Shop shop, std::function<void()> headerSaved, QWidget *parent = nullptr);

    RecordSet *footer() const { return m_footer; }

    void saveHeader();
    void appendLine();
    void deleteLastLine();

    // The first `MaxLength` characters (not UTF-16 units) of a text.
    static QString clipped(const QString &text);
    static qsizetype lengthOf(const QString &text);

protected:
    // Leaving the screen records what its edits did to the footer since it
    // was shown.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void checkHeaderLength();
    void failed(const QString &error);

    RecordSet *m_footer;
    QStringList m_footerBefore; // as the screen found it, or last recorded
    std::function<void()> m_headerSaved;
    Shop m_shop;

    QLineEdit *m_headerEdit;
    QPushButton *m_saveButton;
    QTableView *m_grid;
    QPushButton *m_appendButton;
    QPushButton *m_deleteButton;
};
