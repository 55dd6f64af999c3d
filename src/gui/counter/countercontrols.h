#pragma once

#include <QList>
#include <QStringList>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QWidget;

// The controls of the counter window (Form1), each with its given objectName,
// built in their designed places and initial states.
struct CounterControls
{
    // Builds every control on `window` (the ticket grid without its model).
    void build(QWidget *window);
    // The tab order of the counter.
    void setTabOrder(QWidget *window);
    // The back-office screens of the management buttons, left to right.
    static QStringList screenNames();

    // Twips: the user modes move the entry and ticket panels by this much.
    static constexpr int ModeShift = 400;
    static constexpr int GridColumnWidths[] = {1000, 1800, 1000, 1200, 1200, 1200, 2000};

    QLabel *titleLabel = nullptr;
    QGroupBox *modeFrame = nullptr;
    QRadioButton *normalUserOption = nullptr;
    QRadioButton *superUserOption = nullptr;
    QGroupBox *entryPanel = nullptr;
    QGroupBox *managementPanel = nullptr;
    QList<QPushButton *> managementButtons; // left to right, each with its screen's name in property "screen"
    QGroupBox *ticketPanel = nullptr;
    QTableView *ticketGrid = nullptr;

    QLineEdit *codeEdit = nullptr;
    QLineEdit *nameEdit = nullptr;
    QLineEdit *quantityEdit = nullptr;
    QLineEdit *purchasedEdit = nullptr;
    QLineEdit *priceEdit = nullptr;
    QLineEdit *discountedEdit = nullptr;
    QLineEdit *rateEdit = nullptr;
    QCheckBox *allowPriceCheck = nullptr;
    QCheckBox *allowRateCheck = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *clearButton = nullptr;
    QPushButton *voidButton = nullptr;
    QFrame *totalPanel = nullptr;

    QLabel *ticketNumberLabel = nullptr;
    // On a server: that the till sells offline, or sends what it sold so.
    QLabel *offlineLabel = nullptr;
    QLabel *quantityTotalLabel = nullptr;
    QLabel *memberLabel = nullptr; // the member of the ticket and the points

    QLabel *amountTotalLabel = nullptr;
    QLabel *changeCaption = nullptr; // "找零", or "应退" after a ticket that gave money back
    QLabel *changeLabel = nullptr;
    QLineEdit *paymentEdit = nullptr;
    QCheckBox *printCheck = nullptr;
    QCheckBox *memberCheck = nullptr;
    QPushButton *checkoutButton = nullptr;
    QPushButton *previewButton = nullptr;
    QPushButton *weChatButton = nullptr;
    QPushButton *alipayButton = nullptr;
    QPushButton *cardButton = nullptr;
    QPushButton *returnButton = nullptr;
    QPushButton *closeButton = nullptr;
    // Once the shop has cashiers: who is signed in, and 锁屏 (sign out).
    QLabel *cashierLabel = nullptr;
    QPushButton *lockButton = nullptr;
    QPushButton *drawerButton = nullptr; // 开钱箱, once the till has a drawer

private:
    void buildManagementPanel();
};
