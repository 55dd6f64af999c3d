#pragma once

#include "shop/goodscatalogue.h"
#include "shop/money.h"

#include "shop/shop.h"
#include <QDialog>

#include <optional>

class PurchaseList;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTableView;

// frmjinhuo "进货管理": books purchases (table jinhuo), lists them with the goods
// names, and deletes one unless its goods were sold. "关闭" only hides it, so
// the typed fields and dates are there again at the next opening.
class PurchaseDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PurchaseDialog(Shop shop, QWidget *parent = nullptr);

    PurchaseList *list() const { return m_list; }

    void addPurchase();
    void clearFields();
    void deletePurchase();
    // What leaving the code box does.
    void checkCode();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void normaliseQuantity();
    void keepPurchasePrice();
    void checkSellingPrice();
    void reloadList();
    void failed(const QString &error);

    Shop m_shop;
    GoodsCatalogue m_catalogue;
    PurchaseList *m_list;
    // The purchase price of the last accepted change of Text3.
    Money m_purchasePrice;
    bool m_checking = false;
    bool m_weighed = false; // the goods typed is weighed: its quantity is kg
    bool isWeighed(const QString &code);

    QLineEdit *m_codeEdit;
    QLineEdit *m_quantityEdit;
    QLineEdit *m_purchasePriceEdit;
    QLineEdit *m_sellingPriceEdit;
    QLineEdit *m_memberPriceEdit; // empty: the selling price
    QLineEdit *m_nameEdit;
    QLineEdit *m_makerEdit;
    QDateEdit *m_purchaseDate;
    QDateEdit *m_expiryDate;
    QPushButton *m_addButton;
    QPushButton *m_clearButton;
    QPushButton *m_closeButton;
    QPushButton *m_deleteButton;
    QTableView *m_grid;
};
