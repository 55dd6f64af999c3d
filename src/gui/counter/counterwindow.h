#pragma once

#include "gui/counter/countercontrols.h"
#include "gui/designscale.h"
#include "shop/checkout.h"
#include "shop/goodscatalogue.h"
#include "shop/payment.h"
#include "shop/receipt.h"
#include "shop/salesstore.h"
#include "shop/settings.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class CustomerDisplay;
class Database;
class ServerWatch;
class TillCopy;
class QLineEdit;
class ScreenHost;
class Ticket;

// Form1: the checkout counter, the program's main window. It owns the
// database connection and the host of the back-office screens, which the
// program's start-up fills (app/backoffice.h); it knows none of them itself.
// Closing it ends the program.
class CounterWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CounterWindow(std::unique_ptr<Database> database, QWidget *parent = nullptr);
    ~CounterWindow() override;

    Database &database() const { return *m_database; }
    ScreenHost *screens() const { return m_screens.get(); }
    Ticket *ticket() const { return m_ticket; }
    // The receipt's header is read at start and again here, after the
    // receipt design saved a new one; its footer is read for every receipt.
    void reloadReceiptHeader();
    // The scale's label formats and the weighed goods, read at start and
    // again whenever the window becomes active (after the back office).
    void reloadScaleSettings();

    // Not empty when the window cannot be used for selling (the next ticket
    // number could not be determined); the window must then be closed.
    QString startError() const { return m_startError; }

    qint64 ticketNumber() const;
    // The data cleanup starts numbering again at 1.
    void setTicketNumber(qint64 number);
    bool isSuperUserMode() const;
    // What the login screen's answer does: the management panel shown, or
    // the mode buttons back on normal-user mode.
    void enterSuperUserMode();
    void cancelSuperUserRequest();

    // The counter's commands, as the function keys and buttons run them.
    // The goods lookup; false when it stopped with a message.
    bool lookupGoods();
    void addLine();
    void clearTicket();
    // 结帐(F8): paid in cash, as the payment box says.
    void checkout();
    // 微信(F10), 支付宝(F11), 银行卡(F12): paid as much as the total, no change.
    void checkoutPaidBy(PaymentMethod method);
    void previewReceipt();
    // 退货(F9): after the keeper's password, goods of a stored ticket come
    // back onto this ticket as returned lines.
    void startReturn();
    // 日结(F4): the till's period, the X and Z reports, the past closes.
    void openDayClose();
    // The cash drawer (tarvel.ini [till] drawer=): opened when a cash ticket
    // is stored, and by 开钱箱 after the keeper's password (the trail records it).
    void setDrawer(const QString &drawer);
    // The customer's display on the screen `screen` (its name or number),
    // showing `idleText` while the till is idle; told when there is no such
    // screen. An empty `screen` takes the display away.
    void setCustomerDisplay(const QString &screen, const QString &idleText);
    CustomerDisplay *customerDisplay() const { return m_display; }
    void openDrawer();
    // Takes the line selected in the ticket grid off the ticket, after asking.
    void voidLine();
    // 锁屏: the cashier signs out (not while a ticket holds lines); the till
    // sells again once a cashier signs in.
    void lockTill();
    // The receipt of the current ticket with header and footer (no payment).
    Receipt composeReceipt();

    // Names of the back-office screens the management buttons open.
    static QStringList screenNames() { return CounterControls::screenNames(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void bindControls();
    void connectHandlers();
    void recordBaseLayout();
    void applyScale();
    void shiftPanels(int dy);
    void setFigure(QLabel *figure, const QString &text);

    void normaliseQuantity();
    void updateDiscountedPrice(const QString &changedText);
    void checkPayment();
    void enterNormalUserMode();
    void requestSuperUserMode();
    void focusUnitPrice();
    void focusAndSelect(QLineEdit *box);
    void scanCode();
    // Rings a scale label in the code box up; nothing when it holds none,
    // false when the label was refused (and the cashier told).
    std::optional<bool> ringLabel();
    // A member's card in the code box: the ticket is the member's (true,
    // also when reading the card failed and the cashier was told).
    bool joinMember();
    void showMember(const QString &text);
    void enterInEntryBox();
    // The first sale after a close asks the cash the drawer starts with;
    // false when the cashier cancelled it or it could not be stored.
    bool openPeriodIfNeeded();
    // Runs F1 to F12: F1 … F3 and F5 … F8 move through the entry boxes and
    // check out, F4 closes the day, F9 returns, F10 … F12 check out by 微信,
    // 支付宝 and 银行卡; false for any other key.
    bool functionKey(int key);
    void showTotals();
    void databaseFailed(const QString &what);

    // Cashiers at the counter (countershift.cpp): whether the shop has any,
    // who is signed in, the sign-in asked before anything is rung up, and
    // another cashier's shift left open, which is handed over first.
    void readCashiers();
    void showCashier();
    // forSale: also refused while another cashier's shift is open.
    bool ensureSignedIn(bool forSale = true);
    bool askSignIn();
    // After the close screen: a shift handed over signs its cashier out.
    void afterDayClose(bool closed);

    // Runs the lookup steps shared by the focus lookup and the add step for
    // the code in Text1: fills name and purchased total and returns the
    // purchases. Stops with the user's message on the first failure.
    std::optional<GoodsCatalogue::Purchases> findGoods(bool checkQuantityFirst);

    // Selling through an outage (counteroffline.cpp): the copy kept, the
    // status line, the waiting tickets sent a few at a time.
    void startOfflineSelling(ServerWatch *watch);
    void showOffline();
    void sendWaiting();
    // Why the server's work (a return, the close, the back office) cannot be
    // done now; empty when it can.
    QString needsServer(const QString &what) const;

    std::unique_ptr<Database> m_database;
    GoodsCatalogue m_catalogue;
    Checkout m_checkout;
    Settings m_settings;
    QString m_receiptHeader;
    Ticket *m_ticket;
    std::unique_ptr<ScreenHost> m_screens;

    DesignScale m_scale{QSize(780, 540)};

    // The code whose stored price is in the unit price box.

    QString m_pricedCode;
    QString m_startError;
    bool m_inLookup = false;
    QPointer<QWidget> m_focusAtDeactivation;
    ServerWatch *m_watch = nullptr;
    TillCopy *m_tillCopy = nullptr;
    QTimer *m_sending = nullptr;
    QString m_sendProblem;
    bool m_askedAtStart = false;
    QString m_drawer;
    CustomerDisplay *m_display = nullptr;
    QString m_othersShift; // shown name of the cashier whose shift is open, when not the signed-in one's

    CounterControls m_ui;
};
