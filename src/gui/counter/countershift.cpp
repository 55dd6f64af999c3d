#include "gui/counter/counterwindow.h"

#include "gui/counter/customerdisplay.h"
#include "gui/counter/signindialog.h"
#include "gui/messages.h"
#include "print/cashdrawer.h"
#include "shop/database.h"
#include "shop/settings.h"
#include "shop/ticket.h"
#include "shop/trail.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

// Cashiers at the counter. A shop without an active cashier sells as it
// always did; once one exists the till sells only for a cashier signed in,
// and a shift left open by another cashier is handed over (日结 / 交班)
// before the next one sells.

namespace {
const QString NotSignedIn = QStringLiteral("未登录");
const QString OpenShift = QStringLiteral("收银员 %1 的班还没有交班，请先按 日结(F4) 交班。");
const QString LockWithLines = QStringLiteral("小票上还有货物，请先结帐或清除小票，再锁屏。");
const QString DrawerCaption = QStringLiteral("开钱箱");
const QString WrongPassword = QStringLiteral("密码错误，钱箱没有打开。");
const QString DrawerNotOpened = QStringLiteral("钱箱没有打开：%1");
const QString NotRecorded = QStringLiteral("钱箱没有打开：操作记录写不进去（%1）。");
} // namespace

void CounterWindow::readCashiers()
{
    const bool before = m_checkout.hasCashiers();
    // A read that fails (the server away) keeps what was known: the next
    // ring-up tells the cashier of the database itself.
    if (!m_checkout.readCashiers().ok())
        return;
    showCashier();
    // The first cashier was just added (or the program started): the till
    // asks who sells once it is on screen.
    if (!before && m_checkout.needsSignIn() && isVisible())
        QTimer::singleShot(0, this, [this] {
            if (m_checkout.needsSignIn() && isActiveWindow())
                askSignIn();
        });
}

void CounterWindow::showCashier()
{
    const bool kept = m_checkout.hasCashiers();
    m_ui.lockButton->setVisible(kept);
    m_ui.cashierLabel->setVisible(kept);
    const auto &cashier = m_checkout.cashier();
    m_ui.cashierLabel->setText(cashier ? Cashiers::shown(*cashier) : NotSignedIn);
    m_ui.cashierLabel->setStyleSheet(cashier ? QString() : QStringLiteral("color: #b00000; font-weight: bold"));
    setWindowTitle(kept && cashier ? QStringLiteral("Tarvel — 收银员 %1").arg(Cashiers::shown(*cashier))
                                   : QStringLiteral("Tarvel"));
}

bool CounterWindow::askSignIn()
{
    const auto shift = m_checkout.shift();
    if (!shift) {
        databaseFailed(shift.errorText());
        return false;
    }
    const QString open = *shift && !(*shift)->number.isEmpty() ? Cashiers::shown(**shift) : QString();
    SignInDialog dialog(m_checkout, open, this);
    const bool signedIn = dialog.exec() == QDialog::Accepted;
    m_othersShift =
        signedIn && *shift && !(*shift)->number.isEmpty() && (*shift)->number != m_checkout.cashier()->number
            ? open
            : QString();
    showCashier();
    focusAndSelect(m_ui.codeEdit);
    return signedIn;
}

bool CounterWindow::ensureSignedIn(bool forSale)
{
    if (m_checkout.needsSignIn() && !askSignIn())
        return false;
    if (forSale && !m_othersShift.isEmpty()) {
        Messages::info(this, OpenShift.arg(m_othersShift));
        return false;
    }
    return true;
}

void CounterWindow::lockTill()
{
    if (!m_checkout.hasCashiers())
        return;
    if (m_ticket->lineCount() > 0) {
        Messages::info(this, LockWithLines);
        return;
    }
    m_checkout.signOut();
    m_othersShift.clear();
    showCashier();
    askSignIn();
}

void CounterWindow::afterDayClose(bool closed)
{
    if (!closed || !m_checkout.cashier())
        return;
    // Another cashier's shift was handed over: this one sells on, opening
    // their own. Their own: they sign out, and the next signs in.
    if (!m_othersShift.isEmpty()) {
        m_othersShift.clear();
        return;
    }
    m_checkout.signOut();
    showCashier();
    askSignIn();
}

void CounterWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // At start the counter asks who sells, once it is on screen.
    if (!m_askedAtStart && m_checkout.needsSignIn()) {
        m_askedAtStart = true;
        QTimer::singleShot(0, this, [this] {
            if (m_checkout.needsSignIn())
                askSignIn();
        });
    }
}

void CounterWindow::setDrawer(const QString &drawer)
{
    m_drawer = drawer.trimmed();
    m_ui.drawerButton->setVisible(!m_drawer.isEmpty());
}

void CounterWindow::openDrawer()
{
    if (m_drawer.isEmpty())
        return;
    // Money can leave the drawer: the keeper's password first, and the trail
    // records the opening before the drawer opens.
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("frmqianxiang"));
    ask.setWindowTitle(DrawerCaption);
    ask.setLabelText(QStringLiteral("店主密码："));
    ask.setTextEchoMode(QLineEdit::Password);
    if (ask.exec() != QDialog::Accepted)
        return;
    const auto stored = m_settings.password();
    if (!stored) {
        databaseFailed(stored.errorText());
        return;
    }
    if (ask.textValue() != *stored) {
        Messages::error(this, WrongPassword, DrawerCaption);
        return;
    }
    const auto &cashier = m_checkout.cashier();
    const QString who = cashier ? QStringLiteral("，收银员 %1").arg(Cashiers::shown(*cashier)) : QString();
    if (const Done recorded = Trail::appendAlone(m_database->shop(), DrawerCaption,
                                                 QStringLiteral("收银台 %1%2").arg(m_database->shop().till()).arg(who));
        !recorded) {
        Messages::error(this, NotRecorded.arg(recorded.errorText()), DrawerCaption);
        return;
    }
    if (const Done opened = CashDrawer::open(m_drawer); !opened)
        Messages::warning(this, DrawerNotOpened.arg(opened.errorText()), DrawerCaption);
    focusAndSelect(m_ui.codeEdit);
}

void CounterWindow::setCustomerDisplay(const QString &screen, const QString &idleText)
{
    delete m_display;
    m_display = nullptr;
    if (screen.isEmpty())
        return;
    m_display = new CustomerDisplay(m_receiptHeader, idleText, this);
    if (!m_display->showOn(screen)) {
        delete m_display;
        m_display = nullptr;
        Messages::warning(
            this, QStringLiteral("找不到顾客显示屏“%1”（tarvel.ini 的 [till] customer_display）。").arg(screen));
        return;
    }
    showTotals();
}
