#pragma once

#include "shop/promotions.h"
#include "shop/shop.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QTableWidget;

// frmtejia "特价管理": the special prices, current, coming and ended, with
// add, change, end early and import from CSV.
class SpecialsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SpecialsDialog(Shop shop, QWidget *parent = nullptr);

    // Commands, as the buttons run them.
    void reload();
    void addSpecial();
    void changeSelected();
    void endSelected();
    void importFile(const QString &path);

private:
    std::optional<Special> typed() const;
    const Special *selected() const;
    void showSelected();

    Shop m_shop;
    QList<Special> m_all;
    QList<const Special *> m_shown;
    QComboBox *m_filter;
    QTableWidget *m_grid;
    QLineEdit *m_code;
    QLineEdit *m_price;
    QDateEdit *m_first;
    QDateEdit *m_last;
    QCheckBox *m_members;
};
