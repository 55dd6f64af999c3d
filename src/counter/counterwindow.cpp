#include "counterwindow.h"

#include "aboutdialog.h"
#include "cataloguedialog.h"
#include "cleanupdialog.h"
#include "database.h"
#include "inventorydialog.h"
#include "logindialog.h"
#include "messages.h"
#include "named.h"
#include "numbertext.h"
#include "passworddialog.h"
#include "pricing.h"
#include "purchasedialog.h"
#include "receiptdesigndialog.h"
#include "receiptprinter.h"
#include "recordset.h"
#include "recordsetmodel.h"
#include "retaildialog.h"
#include "salesanalysisdialog.h"
#include "screenhost.h"
#include "ticket.h"
#include "twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
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

namespace {

// Texts of the counter, in one place.
const QString NoCatalogue = QStringLiteral("请先进入“货名管理”输入货名！");
const QString NoCode = QStringLiteral("请先输入货物代码！");
const QString UnknownCode = QStringLiteral("没有这个货物代码，请重新输入！");
const QString NotPurchased = QStringLiteral("该货物没有进货，请重新输入！");
const QString NoQuantity = QStringLiteral("请输入货物数量！");
const QString BadInput = QStringLiteral("输入有误！");
const QString BadPayment = QStringLiteral("输入有误，请重新输入！");
const QString NothingToSell = QStringLiteral("没有货物可供结帐，请输入货物代码！");
const QString ShortPayment = QStringLiteral("付款金额不足！");
const QString NoPrice = QStringLiteral("打折后单价无效，请检查单价和打折率！");
const QString TooLarge = QStringLiteral("金额过大，无法计算！");
const QString StoreFailed = QStringLiteral("销售记录未能保存，本单没有结帐，请重试。\n%1");
const QString PrintFailed = QStringLiteral("本单已结帐保存，但小票没有打印出来：%1");
const QString DatabaseError = QStringLiteral("读取数据库时出错：%1");
const QString VoidQuestion = QStringLiteral("确定删除选中的这一行吗？");
const QString OpenTicketQuestion = QStringLiteral("本单尚未结帐，确定退出吗？");
const QString NoTicketNumber = QStringLiteral("无法读取最后一条销售记录，下一个流水号无法确定，程序将退出。\n%1");

} // namespace

CounterWindow::CounterWindow(std::unique_ptr<Database> database, QWidget *parent)
    : QWidget(parent)
    , m_database(std::move(database))
    , m_catalogue(m_database->connection())
    , m_sales(m_database->connection())
    , m_receiptTexts(m_database->connection())
    , m_ticket(new Ticket(this))
    , m_screens(std::make_unique<ScreenHost>(this))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tarvel"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Designed at 780 × 540; any larger window, a 1920 × 1080 till screen
    // maximised, scales the whole content with it.
    setMinimumSize(780, 540);
    resize(780, 540);

    buildControls();
    recordBaseLayout();
    setTabOrder();
    connectHandlers();
    registerScreens();

    // Start-up: normal-user mode, an empty ticket, the next ticket number.
    m_managementPanel->hide();
    // Without the last stored ticket the next number is unknown: selling on
    // would hand out numbers twice. startTarvel() reports it and ends.
    QString error;
    const qint64 next = m_sales.nextTicketNumber(&error);
    if (error.isEmpty())
        setTicketNumber(next);
    else
        m_startError = NoTicketNumber.arg(error);
}

CounterWindow::~CounterWindow()
{
    // Screens hold record sets on the connection: they go before it does.
    m_screens.reset();
}

void CounterWindow::connectHandlers()
{
    m_quantityEdit->installEventFilter(this);
    m_priceEdit->installEventFilter(this);

    connect(m_quantityEdit, &QLineEdit::textChanged, this, [this] { normaliseQuantity(); });
    connect(m_priceEdit, &QLineEdit::textChanged, this, [this](const QString &t) { updateDiscountedPrice(t); });
    connect(m_rateEdit, &QLineEdit::textChanged, this, [this](const QString &t) { updateDiscountedPrice(t); });
    connect(m_paymentEdit, &QLineEdit::textChanged, this, [this] { checkPayment(); });
    connect(m_allowPriceCheck, &QCheckBox::toggled, m_priceEdit, &QWidget::setEnabled);
    connect(m_allowRateCheck, &QCheckBox::toggled, m_rateEdit, &QWidget::setEnabled);
    connect(m_printCheck, &QCheckBox::toggled, m_previewButton, &QWidget::setEnabled);

    connect(m_addButton, &QPushButton::clicked, this, [this] { addLine(); });
    connect(m_clearButton, &QPushButton::clicked, this, [this] { clearTicket(); });
    connect(m_checkoutButton, &QPushButton::clicked, this, [this] { checkout(); });
    connect(m_voidButton, &QPushButton::clicked, this, [this] { voidLine(); });
    m_ticketGrid->installEventFilter(this);

    // Enter: in the code box it rings one piece up (a barcode scanner ends
    // every code with Enter); in the quantity, price and rate boxes it is F5,
    // in the payment box F8.
    connect(m_codeEdit, &QLineEdit::returnPressed, this, [this] { scanCode(); });
    for (QLineEdit *box : {m_quantityEdit, m_priceEdit, m_rateEdit})
        connect(box, &QLineEdit::returnPressed, this, [this] { enterInEntryBox(); });
    connect(m_paymentEdit, &QLineEdit::returnPressed, this, [this] {
        const qint64 before = ticketNumber();
        checkout();
        if (ticketNumber() == before)
            focusAndSelect(m_codeEdit);
    });
    connect(m_previewButton, &QPushButton::clicked, this, [this] { previewReceipt(); });

    connect(m_superUserOption, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            requestSuperUserMode();
    });
    connect(m_normalUserOption, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            enterNormalUserMode();
    });

    // The function keys work whichever control has the focus.
    for (Qt::Key k : {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8}) {
        auto *shortcut = new QShortcut(QKeySequence(k), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, k] { functionKey(k); });
    }
}

bool CounterWindow::functionKey(int key)
{
    switch (key) {
    case Qt::Key_F1:
        focusAndSelect(m_codeEdit);
        return true;
    case Qt::Key_F2:
        focusAndSelect(m_quantityEdit);
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
        focusAndSelect(m_paymentEdit);
        return true;
    case Qt::Key_F8:
        checkout();
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

void CounterWindow::registerScreens()
{
    const QSqlDatabase db = m_database->connection();
    m_screens->add(QStringLiteral("frmLogin"), [db](QWidget *parent) { return new LoginDialog(db, parent); });
    m_screens->add(QStringLiteral("gaimima"),
                   [this](QWidget *parent) { return new PasswordDialog(loginDialog(), parent); });
    m_screens->add(QStringLiteral("frmabout"), [](QWidget *parent) { return new AboutDialog(parent); });
    m_screens->add(QStringLiteral("frmhuoming"), [db](QWidget *parent) { return new CatalogueDialog(db, parent); });
    m_screens->add(QStringLiteral("frmjinhuo"), [db](QWidget *parent) { return new PurchaseDialog(db, parent); });
    m_screens->add(QStringLiteral("frmlinshou"), [db](QWidget *parent) { return new RetailDialog(db, parent); });
    m_screens->add(QStringLiteral("frmxiaoshou"), [this, db](QWidget *parent) {
        return new SalesAnalysisDialog(db, m_database->path(), parent);
    });
    m_screens->add(QStringLiteral("frmkucun"),
                   [this](QWidget *parent) { return new InventoryDialog(m_database->path(), parent); });
    m_screens->add(QStringLiteral("frmxiaopiao"), [this, db](QWidget *parent) {
        return new ReceiptDesignDialog(db, [this] { m_receiptTexts.reloadHeader(); }, parent);
    });
    m_screens->add(QStringLiteral("frmqingli"), [this, db](QWidget *parent) {
        return new CleanupDialog(db, m_database->path(), [this] { setTicketNumber(1); }, parent);
    });
}

LoginDialog *CounterWindow::loginDialog()
{
    const bool created = !m_screens->loaded(QStringLiteral("frmLogin"));
    auto *login = static_cast<LoginDialog *>(m_screens->screen(QStringLiteral("frmLogin")));
    if (created) {
        connect(login, &LoginDialog::loggedIn, this, [this] { enterSuperUserMode(); });
        connect(login, &LoginDialog::cancelled, this, [this] { m_normalUserOption->setChecked(true); });
    }
    return login;
}

// ---- user modes ----

bool CounterWindow::isSuperUserMode() const
{
    return !m_managementPanel->isHidden();
}

void CounterWindow::requestSuperUserMode()
{
    LoginDialog *login = loginDialog();
    login->exec();
    login->clearPassword(); // the next login starts empty
}

// ---- item entry ----

bool CounterWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ticketGrid && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        voidLine();
        return true;
    }
    if (event->type() == QEvent::FocusIn && (watched == m_quantityEdit || watched == m_priceEdit)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Coming back to the window (after a message box, say) to the box that
        // had the focus is no new entry into it.
        const bool returning = (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) &&
                               watched == m_focusAtDeactivation;
        if (!returning && !m_inLookup)
            lookupGoods();
    }
    return QWidget::eventFilter(watched, event);
}

void CounterWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        m_focusAtDeactivation = focusWidget();
    // Becoming active again needs no re-read of the catalogue: every lookup
    // asks the file itself, so goods added in the back office are found at once.
    QWidget::changeEvent(event);
}

void CounterWindow::focusUnitPrice()
{
    if (m_priceEdit->isEnabled())
        focusAndSelect(m_priceEdit);
}

void CounterWindow::focusAndSelect(QLineEdit *box)
{
    // Typing replaces what the box holds, also when it had the focus already.
    box->setFocus(Qt::ShortcutFocusReason);
    if (QApplication::focusWidget() == box || box->hasFocus())
        box->selectAll();
}

void CounterWindow::scanCode()
{
    // A scanner types the code and Enter: one piece of the goods on the
    // ticket, and the code box ready for the next scan.
    m_quantityEdit->setText(QStringLiteral("1"));
    if (lookupGoods())
        addLine();
    focusAndSelect(m_codeEdit);
}

void CounterWindow::enterInEntryBox()
{
    const int linesBefore = m_ticket->lineCount();
    addLine();
    // A refused line leaves the cashier in the code box, ready to type over.
    if (m_ticket->lineCount() == linesBefore)
        focusAndSelect(m_codeEdit);
}

void CounterWindow::voidLine()
{
    const int row = m_ticketGrid->currentIndex().isValid() ? m_ticketGrid->currentIndex().row() : -1;
    if (row < 0 || row >= m_ticket->lineCount())
        return;
    if (!Messages::ask(this, VoidQuestion, Messages::defaultTitle(), Messages::Icon::Question,
                       Messages::Buttons::YesNo))
        return;
    m_ticket->remove(row);
    showTotals();
}

void CounterWindow::closeEvent(QCloseEvent *event)
{
    // The customer's open ticket is not lost by a slip of the hand.
    if (m_ticket->lineCount() > 0 &&
        !Messages::ask(this, OpenTicketQuestion, Messages::defaultTitle(), Messages::Icon::Question,
                       Messages::Buttons::YesNoDefaultNo)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
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
    if (checkQuantityFirst && m_quantityEdit->text().isEmpty()) {
        Messages::info(this, NoQuantity);
        return std::nullopt;
    }
    const auto empty = m_catalogue.isEmpty();
    if (!empty) {
        databaseFailed(m_catalogue.lastError());
        return std::nullopt;
    }
    if (*empty) {
        Messages::info(this, NoCatalogue);
        return std::nullopt;
    }
    const QString code = m_codeEdit->text();
    if (code.isEmpty()) {
        Messages::info(this, NoCode);
        focusAndSelect(m_codeEdit);
        return std::nullopt;
    }
    const auto name = m_catalogue.nameOf(code);
    if (!name) {
        databaseFailed(m_catalogue.lastError());
        return std::nullopt;
    }
    if (!*name) {
        Messages::info(this, UnknownCode);
        focusAndSelect(m_codeEdit);
        return std::nullopt;
    }
    m_nameEdit->setText(**name);
    const auto purchases = m_catalogue.purchasesOf(code);
    if (!purchases) {
        databaseFailed(m_catalogue.lastError());
        return std::nullopt;
    }
    if (purchases->rows == 0) {
        Messages::info(this, NotPurchased);
        focusAndSelect(m_codeEdit);
        return std::nullopt;
    }
    m_purchasedEdit->setText(QString::number(purchases->totalQuantity));
    return purchases;
}

bool CounterWindow::lookupGoods()
{
    const auto purchases = findGoods(false);
    if (!purchases)
        return false;
    // The stored price replaces whatever was typed; its change updates Text6.
    m_pricedCode = m_codeEdit->text();
    m_priceEdit->setText(purchases->lastPrice.toPlain());
    updateDiscountedPrice(m_priceEdit->text());
    return true;
}

void CounterWindow::normaliseQuantity()
{
    const QString text = m_quantityEdit->text();
    if (text.isEmpty())
        return;
    const auto quantity = NumberText::toInt16(text);
    if (!quantity) {
        Messages::info(this, BadInput);
        m_quantityEdit->clear();
        return;
    }
    const QString normal = QString::number(*quantity);
    if (normal != text)
        m_quantityEdit->setText(normal);
}

void CounterWindow::updateDiscountedPrice(const QString &changedText)
{
    if (changedText.isEmpty())
        return;
    // Until both boxes hold numbers the discounted price stays as it was.
    if (const auto price = Pricing::discountedPrice(m_priceEdit->text(), m_rateEdit->text()))
        m_discountedEdit->setText(price->toCurrency());
}

void CounterWindow::checkPayment()
{
    const QString text = m_paymentEdit->text();
    if (text.isEmpty() || Money::parse(text))
        return;
    Messages::info(this, BadPayment);
    m_paymentEdit->clear();
}

// ---- current ticket ----

void CounterWindow::showTotals()
{
    m_quantityTotalLabel->setText(QString::number(m_ticket->quantityTotal()));
    setFigure(m_amountTotalLabel,
              m_ticket->lineCount() == 0 ? QStringLiteral("0") : m_ticket->amountTotal().toCurrency());
}

void CounterWindow::addLine()
{
    const auto purchases = findGoods(true);
    if (!purchases)
        return;
    const QString code = m_codeEdit->text();
    const Money listPrice = purchases->lastPrice;
    // A price looked up for other goods is never charged for these: a new code
    // gets its own stored price, a price typed for the same goods is kept.
    if (m_discountedEdit->text().isEmpty() || code != m_pricedCode) {
        m_pricedCode = code;
        m_priceEdit->setText(listPrice.toPlain());
        updateDiscountedPrice(m_priceEdit->text());
    }
    const auto quantity = NumberText::toInt16(m_quantityEdit->text());
    if (!quantity) {
        Messages::info(this, BadInput);
        return;
    }
    const auto price = Money::parse(m_discountedEdit->text());
    if (!price) {
        Messages::info(this, NoPrice);
        return;
    }
    const auto amount = Pricing::lineAmount(*quantity, *price);
    TicketLine line{
        code, m_nameEdit->text(), *quantity, listPrice, *price, amount.value_or(Money()), QDateTime::currentDateTime()};
    if (!amount || !m_ticket->add(line)) {
        Messages::info(this, TooLarge);
        return;
    }
    showTotals();
}

void CounterWindow::clearTicket()
{
    m_ticket->clear();
    m_quantityTotalLabel->setText(QStringLiteral("0"));
    setFigure(m_amountTotalLabel, QStringLiteral("0"));
    focusAndSelect(m_codeEdit);
}

qint64 CounterWindow::ticketNumber() const
{
    return m_ticketNumberLabel->text().toLongLong();
}

void CounterWindow::setTicketNumber(qint64 number)
{
    m_ticketNumberLabel->setText(QString::number(number));
}

// ---- checkout and receipt ----

Receipt CounterWindow::composeReceipt()
{
    Receipt receipt = Receipt::fromTicket(*m_ticket);
    receipt.header = m_receiptTexts.header();
    // Footer lines are read afresh for every receipt.
    receipt.footer = m_receiptTexts.readFooter();
    receipt.ticketNumber = QString::number(ticketNumber());
    receipt.time = formatDateTime(QDateTime::currentDateTime());
    return receipt;
}

void CounterWindow::checkout()
{
    if (m_ticket->lineCount() == 0) {
        Messages::info(this, NothingToSell);
        return;
    }
    const Money total = m_ticket->amountTotal();
    const Money paid = Money::parse(m_paymentEdit->text()).value_or(Money());
    if (paid < total) {
        Messages::info(this, ShortPayment);
        return;
    }
    const Money change = paid.minus(total).value_or(Money());
    const qint64 number = ticketNumber();

    // The ticket is stored whole or not at all; if it is not, everything stays
    // on screen so the sale can be tried again under the same number.
    const SalesStore::Stored stored = m_sales.storeTicket(number, m_ticket->lines());
    if (!stored.ok) {
        Messages::error(this, StoreFailed.arg(stored.error));
        return;
    }
    setFigure(m_changeLabel, change.toCurrency());

    if (m_printCheck->isChecked()) {
        Receipt receipt = composeReceipt();
        receipt.paid = paid.toCurrency();
        receipt.change = change.toCurrency();
        const QString problem = ReceiptPrinter::printOnDefaultPrinter(receipt);
        if (!problem.isEmpty())
            Messages::warning(this, PrintFailed.arg(problem));
    }

    m_ticket->clear();
    m_quantityTotalLabel->setText(QStringLiteral("0"));
    setFigure(m_amountTotalLabel, QStringLiteral("0"));
    m_paymentEdit->clear();
    setTicketNumber(number + 1);
    focusAndSelect(m_codeEdit);
}

void CounterWindow::previewReceipt()
{
    Receipt receipt = composeReceipt();
    if (!m_paymentEdit->text().isEmpty()) {
        const Money paid = Money::parse(m_paymentEdit->text()).value_or(Money());
        const Money total = m_ticket->amountTotal();
        receipt.paid = paid.toCurrency();
        if (paid < total) {
            Messages::info(this, ShortPayment);
            return;
        }
        receipt.change = paid.minus(total).value_or(Money()).toCurrency();
    }
    ReceiptPrinter::preview(receipt, this);
}
