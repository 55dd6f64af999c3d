#include "gui/counter/counterwindow.h"

#include "gui/counter/countertexts.h"
#include "gui/messages.h"
#include "gui/named.h"
#include "gui/numberbox.h"
#include "gui/recordsetmodel.h"
#include "gui/screenhost.h"
#include "gui/twips.h"
#include "gui/waitedinput.h"
#include "print/receiptprinter.h"
#include "shop/database.h"
#include "shop/numbertext.h"
#include "shop/pricing.h"
#include "shop/recordset.h"
#include "shop/serverwatch.h"
#include "shop/ticket.h"
#include "shop/tillcopy.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QTableView>

using namespace CounterText;

CounterWindow::CounterWindow(std::unique_ptr<Database> database, QWidget *parent)
    : QWidget(parent)
    , m_database(std::move(database))
    , m_catalogue(m_database->shop())
    , m_checkout(m_database->shop(), this)
    , m_settings(m_database->shop())
    , m_ticket(m_checkout.ticket())
    , m_screens(std::make_unique<ScreenHost>(this))
{
    // An idle till on a server takes its connection and number back after a
    // server restart by itself.
    m_watch = new ServerWatch(m_database->shop(), this);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tarvel"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Designed at 780 × 540; any larger window, a 1920 × 1080 till screen
    // maximised, scales the whole content with it.
    setMinimumSize(780, 540);
    resize(780, 540);

    m_ui.build(this);
    bindControls();
    recordBaseLayout();
    m_ui.setTabOrder(this);
    connectHandlers();

    // Start-up: normal-user mode, an empty ticket, the next ticket number.
    m_ui.managementPanel->hide();
    // Without the last stored ticket the next number is unknown: selling on
    // would hand out numbers twice. startTarvel() reports it and ends.
    const auto next = m_checkout.nextNumber();
    if (next)
        setTicketNumber(*next);
    else if (m_checkout.tillFile() && !m_database->shop().reachable())
        m_checkout.goOffline(); // started without its server: sells from its file
    else
        m_startError = NoTicketNumber.arg(next.errorText());
    reloadReceiptHeader();
    reloadScaleSettings();
    startOfflineSelling(m_watch);
    readCashiers();
}

CounterWindow::~CounterWindow()
{
    // Screens hold record sets on the connection, the watch and the copy
    // its handle: they go before it does.
    m_screens.reset();
    delete m_tillCopy;
    delete m_watch;
}

void CounterWindow::connectHandlers()
{
    m_ui.quantityEdit->installEventFilter(this);
    m_ui.priceEdit->installEventFilter(this);

    connect(m_ui.quantityEdit, &QLineEdit::textChanged, this, [this] { normaliseQuantity(); });
    connect(m_ui.priceEdit, &QLineEdit::textChanged, this, [this](const QString &t) { updateDiscountedPrice(t); });
    connect(m_ui.rateEdit, &QLineEdit::textChanged, this, [this](const QString &t) { updateDiscountedPrice(t); });
    connect(m_ui.paymentEdit, &QLineEdit::textChanged, this, [this] { checkPayment(); });
    connect(m_ui.allowPriceCheck, &QCheckBox::toggled, m_ui.priceEdit, &QWidget::setEnabled);
    connect(m_ui.allowRateCheck, &QCheckBox::toggled, m_ui.rateEdit, &QWidget::setEnabled);
    connect(m_ui.printCheck, &QCheckBox::toggled, m_ui.previewButton, &QWidget::setEnabled);

    connect(m_ui.addButton, &QPushButton::clicked, this, [this] { addLine(); });
    connect(m_ui.clearButton, &QPushButton::clicked, this, [this] { clearTicket(); });
    connect(m_ui.checkoutButton, &QPushButton::clicked, this, [this] { checkout(); });
    connect(m_ui.voidButton, &QPushButton::clicked, this, [this] { voidLine(); });
    m_ui.ticketGrid->installEventFilter(this);

    // Enter: in the code box it rings one piece up (a barcode scanner ends
    // every code with Enter); in the quantity, price and rate boxes it is F5,
    // in the payment box F8.
    connect(m_ui.codeEdit, &QLineEdit::returnPressed, this, [this] { scanCode(); });
    for (QLineEdit *box : {m_ui.quantityEdit, m_ui.priceEdit, m_ui.rateEdit})
        connect(box, &QLineEdit::returnPressed, this, [this] { enterInEntryBox(); });
    connect(m_ui.paymentEdit, &QLineEdit::returnPressed, this, [this] {
        const qint64 before = ticketNumber();
        checkout();
        if (ticketNumber() == before)
            focusAndSelect(m_ui.codeEdit);
    });
    connect(m_ui.previewButton, &QPushButton::clicked, this, [this] { previewReceipt(); });
    connect(m_ui.weChatButton, &QPushButton::clicked, this, [this] { checkoutPaidBy(PaymentMethod::WeChat); });
    connect(m_ui.alipayButton, &QPushButton::clicked, this, [this] { checkoutPaidBy(PaymentMethod::Alipay); });
    connect(m_ui.cardButton, &QPushButton::clicked, this, [this] { checkoutPaidBy(PaymentMethod::Card); });
    connect(m_ui.returnButton, &QPushButton::clicked, this, [this] { startReturn(); });
    connect(m_ui.closeButton, &QPushButton::clicked, this, [this] { openDayClose(); });
    connect(m_ui.lockButton, &QPushButton::clicked, this, [this] { lockTill(); });
    connect(m_ui.drawerButton, &QPushButton::clicked, this, [this] { openDrawer(); });

    connect(m_ui.superUserOption, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            requestSuperUserMode();
    });
    connect(m_ui.normalUserOption, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            enterNormalUserMode();
    });

    // The function keys work whichever control has the focus.
    for (Qt::Key k : {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8,
                      Qt::Key_F9, Qt::Key_F10, Qt::Key_F11, Qt::Key_F12}) {
        auto *shortcut = new QShortcut(QKeySequence(k), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, k] { functionKey(k); });
    }
}

bool CounterWindow::functionKey(int key)
{
    switch (key) {
    case Qt::Key_F1:
        focusAndSelect(m_ui.codeEdit);
        return true;
    case Qt::Key_F2:
        focusAndSelect(m_ui.quantityEdit);
        return true;
    case Qt::Key_F3:
        focusUnitPrice();
        return true;
    case Qt::Key_F5:
        addLine();
        return true;
    case Qt::Key_F6:
        clearTicket();
        return true;
    case Qt::Key_F7:
        focusAndSelect(m_ui.paymentEdit);
        return true;
    case Qt::Key_F8:
        checkout();
        return true;
    case Qt::Key_F4:
        openDayClose();
        return true;
    case Qt::Key_F9:
        startReturn();
        return true;
    case Qt::Key_F10:
        checkoutPaidBy(PaymentMethod::WeChat);
        return true;
    case Qt::Key_F11:
        checkoutPaidBy(PaymentMethod::Alipay);
        return true;
    case Qt::Key_F12:
        checkoutPaidBy(PaymentMethod::Card);
        return true;
    default:
        return false;
    }
}

void CounterWindow::keyPressEvent(QKeyEvent *event)
{
    // Where the window shortcut did not fire (the key was sent straight to a
    // control), the key arrives here through the control's parents.
    if (event->modifiers() == Qt::NoModifier && functionKey(event->key()))
        return;
    QWidget::keyPressEvent(event);
}

// ---- user modes ----

bool CounterWindow::isSuperUserMode() const
{
    return !m_ui.managementPanel->isHidden();
}

void CounterWindow::requestSuperUserMode()
{
    if (const QString refused = needsServer(QStringLiteral("进入后台管理")); !refused.isEmpty()) {
        Messages::info(this, refused);
        cancelSuperUserRequest();
        return;
    }
    // The login screen is wired to enterSuperUserMode() and
    // cancelSuperUserRequest() by whoever made it (the program's start-up).
    if (QDialog *login = m_screens->screen(QStringLiteral("frmLogin")))
        login->exec();
    else
        cancelSuperUserRequest();
}

void CounterWindow::cancelSuperUserRequest()
{
    m_ui.normalUserOption->setChecked(true);
}

// ---- item entry ----

bool CounterWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.ticketGrid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        voidLine();
        return true;
    }
    if (event->type() == QEvent::FocusIn && (watched == m_ui.quantityEdit || watched == m_ui.priceEdit)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Coming back to the window (after a message box, say) to the box that
        // had the focus is no new entry into it.
        const bool returning = (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) &&
                               watched == m_focusAtDeactivation;
        // A scale label is looked up when it is rung up, not as a code.
        if (!returning && !m_inLookup && !m_checkout.looksLikeLabel(m_ui.codeEdit->text()))
            lookupGoods();
    }
    return QWidget::eventFilter(watched, event);
}

void CounterWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_focusAtDeactivation = focusWidget();
    // The scale's label formats may have been changed in the back office.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        reloadScaleSettings();
        // ... and so may the cashiers.
        if (!m_inLookup)
            readCashiers();
    }
    // Becoming active again needs no re-read of the catalogue: every lookup
    // asks the file itself, so goods added in the back office are found at once.
    QWidget::changeEvent(event);
}

void CounterWindow::reloadScaleSettings()
{
    if (!m_checkout.isOffline())
        m_checkout.reloadLabelFormats();
}

void CounterWindow::focusUnitPrice()
{
    if (m_ui.priceEdit->isEnabled())
        focusAndSelect(m_ui.priceEdit);
}

void CounterWindow::focusAndSelect(QLineEdit *box)
{
    // Typing replaces what the box holds, also when it had the focus already.
    // Selected also while the window is not active yet (a message box just
    // closed): the focus comes back to the box later, for the window's
    // activation, and a line edit keeps its selection over that.
    box->setFocus(Qt::ShortcutFocusReason);
    box->selectAll();
}

void CounterWindow::scanCode()
{
    // A scanner types the code and Enter: one piece of the goods on the
    // ticket, and the code box ready for the next scan.
    if (ringLabel()) {
        focusAndSelect(m_ui.codeEdit);
        return;
    }
    m_ui.quantityEdit->setText(QStringLiteral("1"));
    if (lookupGoods())
        addLine();
    focusAndSelect(m_ui.codeEdit);
}

void CounterWindow::enterInEntryBox()
{
    const int linesBefore = m_ticket->lineCount();
    addLine();
    // A refused line leaves the cashier in the code box, ready to type over.
    if (m_ticket->lineCount() == linesBefore)
        focusAndSelect(m_ui.codeEdit);
}

void CounterWindow::databaseFailed(const QString &what)
{
    Messages::error(this, DatabaseError.arg(what));
}

std::optional<GoodsCatalogue::Purchases> CounterWindow::findGoods(bool checkQuantityFirst)
{
    // A message box takes the focus away and gives it back: that must not
    // start a second lookup.
    const QScopedValueRollback guard(m_inLookup, true);
    if (!ensureSignedIn())
        return std::nullopt;
    if (checkQuantityFirst && m_ui.quantityEdit->text().isEmpty()) {
        Messages::info(this, NoQuantity);
        return std::nullopt;
    }
    using Lookup = GoodsCatalogue::Lookup;
    const Result<Lookup> looked = [&] {
        const WaitedInput waited; // a silent server is waited for up to 3 s
        return m_checkout.lookup(m_catalogue, m_ui.codeEdit->text());
    }();
    showOffline();
    if (!looked) {
        databaseFailed(looked.errorText());
        return std::nullopt;
    }
    const Lookup &found = *looked;
    if (found.named)
        m_ui.nameEdit->setText(found.name);
    switch (found.outcome) {
    case Lookup::Found:
        m_ui.purchasedEdit->setText(QString::number(found.purchases.totalQuantity));
        return found.purchases;
    case Lookup::NoCatalogue:
        Messages::info(this, NoCatalogue);
        return std::nullopt;
    case Lookup::UnknownCode:
        // No goods: perhaps a member's card (会员), which makes the ticket
        // the member's.
        if (joinMember())
            return std::nullopt;
        break;
    default:
        break;
    }
    Messages::info(this, found.outcome == Lookup::NoCode        ? NoCode
                         : found.outcome == Lookup::UnknownCode ? UnknownCode
                                                                : NotPurchased);
    focusAndSelect(m_ui.codeEdit);
    return std::nullopt;
}

bool CounterWindow::lookupGoods()
{
    const auto purchases = findGoods(false);
    if (!purchases)
        return false;
    // The stored price replaces whatever was typed; its change updates Text6.
    m_pricedCode = m_ui.codeEdit->text();
    m_ui.priceEdit->setText(purchases->sellingPrice().toPlain());
    updateDiscountedPrice(m_ui.priceEdit->text());
    return true;
}

void CounterWindow::normaliseQuantity()
{
    normaliseWholeNumber(m_ui.quantityEdit, this, BadInput);
}

void CounterWindow::updateDiscountedPrice(const QString &changedText)
{
    if (changedText.isEmpty())
        return;
    // Until both boxes hold numbers the discounted price stays as it was.
    if (const auto price = Pricing::discountedPrice(m_ui.priceEdit->text(), m_ui.rateEdit->text()))
        m_ui.discountedEdit->setText(price->toCurrency());
}

void CounterWindow::checkPayment()
{
    const QString text = m_ui.paymentEdit->text();
    if (text.isEmpty() || Money::parse(text))
        return;
    Messages::info(this, BadPayment);
    m_ui.paymentEdit->clear();
}
