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

#include <QCheckBox>
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
const QString NoTicketNumber = QStringLiteral("无法读取最后一条销售记录，下一个流水号无法确定，程序将退出。\n%1");

// Twips of the layout.
constexpr int EntryPanelTop = -880;
// The panels end where their content ends, so that in super-user mode the
// management strip stops above the entry rows and the entry panel above the
// ticket panel: no control covers another in either mode.
constexpr int EntryPanelHeight = 1770;
constexpr int ManagementPanelTop = 240;
constexpr int ManagementPanelHeight = 780;
constexpr int ManagementButtonTop = 360;
constexpr int TicketPanelTop = 920;
constexpr int ModeShift = 400;
constexpr int GridColumnWidths[] = {1000, 1800, 1000, 1200, 1200, 1200, 2000};

struct ScreenButton
{
    const char *name;
    const char *caption;
    const char *screen;
};

// Left to right, as the management panel shows them.
const ScreenButton ManagementButtons[] = {
    {"Command2", "货名管理", "frmhuoming"},  {"Command3", "进货管理", "frmjinhuo"},
    {"Command4", "零售管理", "frmlinshou"},  {"Command5", "销售分析", "frmxiaoshou"},
    {"Command6", "库存分析", "frmkucun"},    {"Command7", "修改密码", "gaimima"},
    {"Command8", "票据设计", "frmxiaopiao"}, {"Command9", "数据清理", "frmqingli"},
    {"Command12", "联系作者", "frmabout"},
};

QLabel *label(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *l = named(new QLabel(text, parent), name);
    l->setGeometry(geometry);
    return l;
}

QLineEdit *edit(QWidget *parent, const char *name, QRect geometry)
{
    auto *e = named(new QLineEdit(parent), name);
    e->setGeometry(geometry);
    return e;
}

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
    setFixedSize(780, 540);

    buildControls();
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

QStringList CounterWindow::screenNames()
{
    QStringList names;
    for (const ScreenButton &b : ManagementButtons)
        names.append(QString::fromLatin1(b.screen));
    return names;
}

void CounterWindow::buildControls()
{
    m_titleLabel = label(this, "Label13", QStringLiteral("Tarvel V1.3"), QRect());
    QFont titleFont = m_titleLabel->font();
    titleFont.setPointSize(16);
    titleFont.setBold(true);
    m_titleLabel->setFont(titleFont);

    // The entry panel starts partly above the client area: the strip where the
    // management buttons sit is out of sight until super-user mode moves it down.
    m_entryPanel = named(new QGroupBox(this), "Frame3");
    m_entryPanel->setGeometry(8, twips(EntryPanelTop), 764, twips(EntryPanelHeight));
    m_entryPanel->setFlat(true);

    // Entry rows: y in the panel's coordinates, just below the management strip
    // (which ends at 240 + 780 twips).
    const int row1 = twips(ManagementPanelTop + ManagementPanelHeight) + 2;
    const int row2 = row1 + 26;
    constexpr int h = 22;
    QWidget *p = m_entryPanel;
    label(p, "Label1", QStringLiteral("货物代码F1"), QRect(4, row1, 70, h));
    m_codeEdit = edit(p, "Text1", QRect(74, row1, 90, h));
    label(p, "Label3", QStringLiteral("货物数量F2"), QRect(172, row1, 70, h));
    m_quantityEdit = edit(p, "Text3", QRect(242, row1, 70, h));
    label(p, "Label5", QStringLiteral("货物单价F3"), QRect(320, row1, 70, h));
    m_priceEdit = edit(p, "Text5", QRect(390, row1, 80, h));
    label(p, "Label14", QStringLiteral("打折率"), QRect(478, row1, 44, h));
    m_rateEdit = edit(p, "Text7", QRect(522, row1, 50, h));
    m_allowRateCheck = named(new QCheckBox(QStringLiteral("允许修改打折率"), p), "Check4");
    m_allowRateCheck->setGeometry(580, row1, 130, h);

    label(p, "Label2", QStringLiteral("货物名称"), QRect(4, row2, 70, h));
    m_nameEdit = edit(p, "Text2", QRect(74, row2, 90, h));
    label(p, "Label4", QStringLiteral("进货总数"), QRect(172, row2, 70, h));
    m_purchasedEdit = edit(p, "Text4", QRect(242, row2, 70, h));
    label(p, "Label6", QStringLiteral("打折后单价"), QRect(320, row2, 70, h));
    m_discountedEdit = edit(p, "Text6", QRect(390, row2, 80, h));
    m_allowPriceCheck = named(new QCheckBox(QStringLiteral("允许修改单价"), p), "Check3");
    m_allowPriceCheck->setGeometry(478, row2, 110, h);
    m_addButton = named(new QPushButton(QStringLiteral("出货(F5)"), p), "Command1");
    m_addButton->setGeometry(660, row2, 90, h);

    buildManagementPanel();

    m_ticketPanel = named(new QGroupBox(this), "Frame2");
    m_ticketPanel->setGeometry(8, twips(TicketPanelTop), 764, 300);
    m_ticketGrid = named(new QTableView(m_ticketPanel), "DataGrid1");
    m_ticketGrid->setGeometry(6, 8, 660, 286);
    m_ticketGrid->setTabKeyNavigation(false);
    m_ticketGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_clearButton = named(new QPushButton(QStringLiteral("清除(F6)"), m_ticketPanel), "Command10");
    m_clearButton->setGeometry(672, 8, 86, 28);
    m_ticketPanel->raise();

    auto *model = new RecordSetModel(m_ticket->records(), this);
    model->setColumnFormat(5, DisplayFormat::Currency);
    model->bindView(m_ticketGrid);
    for (int c = 0; c < int(std::size(GridColumnWidths)); ++c)
        m_ticketGrid->setColumnWidth(c, twips(GridColumnWidths[c]));
    m_ticketGrid->verticalHeader()->setDefaultSectionSize(22);

    // The lower part of the window.
    const int lower = 400;
    label(this, "Label7", QStringLiteral("流水号"), QRect(12, lower, 50, 24));
    m_ticketNumberLabel = label(this, "Label8", QString(), QRect(62, lower, 80, 24));
    label(this, "Label9", QStringLiteral("数量合计"), QRect(150, lower, 60, 24));
    m_quantityTotalLabel = label(this, "Label10", QStringLiteral("0"), QRect(210, lower, 80, 24));
    label(this, "Label11", QStringLiteral("合计金额"), QRect(300, lower, 60, 24));
    m_amountTotalLabel = label(this, "Label12", QStringLiteral("0"), QRect(360, lower, 130, 24));
    label(this, "Label16", QStringLiteral("找零"), QRect(500, lower, 40, 24));
    m_changeLabel = label(this, "Label17", QString(), QRect(540, lower, 130, 24));
    QFont big = m_amountTotalLabel->font();
    big.setPointSize(13);
    big.setBold(true);
    m_amountTotalLabel->setFont(big);
    m_changeLabel->setFont(big);

    const int lower2 = lower + 34;
    label(this, "Label15", QStringLiteral("付款F7"), QRect(12, lower2, 50, 26));
    m_paymentEdit = edit(this, "Text8", QRect(62, lower2, 110, 26));
    m_printCheck = named(new QCheckBox(QStringLiteral("结帐时是否打印？"), this), "Check1");
    m_printCheck->setGeometry(182, lower2, 130, 26);
    m_memberCheck = named(new QCheckBox(QStringLiteral("会员"), this), "Check2");
    m_memberCheck->setGeometry(316, lower2, 60, 26);
    m_checkoutButton = named(new QPushButton(QStringLiteral("结帐(F8)"), this), "Command11");
    m_checkoutButton->setGeometry(380, lower2, 90, 28);
    m_previewButton = named(new QPushButton(QStringLiteral("打印预览"), this), "Command13");
    m_previewButton->setGeometry(476, lower2, 90, 28);

    m_modeFrame = named(new QGroupBox(QStringLiteral("用户切换"), this), "Frame1");
    m_modeFrame->setGeometry(12, lower2 + 36, 196, 56);
    m_normalUserOption = named(new QRadioButton(QStringLiteral("普通用户"), m_modeFrame), "Option1");
    m_normalUserOption->setGeometry(8, 22, 90, 28);
    m_superUserOption = named(new QRadioButton(QStringLiteral("超级用户"), m_modeFrame), "Option2");
    m_superUserOption->setGeometry(100, 22, 90, 28);
    m_titleLabel->setGeometry(440, lower2 + 44, 330, 40);
    m_titleLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Initial states.
    m_nameEdit->setEnabled(false);
    m_purchasedEdit->setEnabled(false);
    m_discountedEdit->setEnabled(false);
    m_quantityEdit->setText(QStringLiteral("1"));
    m_rateEdit->setText(QStringLiteral("10"));
    m_rateEdit->setEnabled(false);
    m_allowPriceCheck->setChecked(true);
    m_allowRateCheck->setChecked(false);
    m_printCheck->setChecked(false);
    m_previewButton->setEnabled(false);
    m_normalUserOption->setChecked(true);
}

void CounterWindow::buildManagementPanel()
{
    m_managementPanel = named(new QGroupBox(m_entryPanel), "Frame4");
    m_managementPanel->setGeometry(0, twips(ManagementPanelTop), 764, twips(ManagementPanelHeight));
    int x = 4;
    for (const ScreenButton &b : ManagementButtons) {
        auto *button = named(new QPushButton(QString::fromUtf8(b.caption), m_managementPanel), b.name);
        button->setGeometry(x, twips(ManagementButtonTop), 80, 28);
        x += 84;
        const QString screen = QString::fromLatin1(b.screen);
        connect(button, &QPushButton::clicked, this, [this, screen] { m_screens->open(screen); });
        m_managementButtons.append(button);
    }
}

void CounterWindow::setTabOrder()
{
    auto button = [this](const char *name) { return findChild<QPushButton *>(QString::fromLatin1(name)); };
    const QList<QWidget *> order = {
        m_normalUserOption, m_superUserOption,   m_paymentEdit,      m_printCheck,       m_memberCheck,
        m_checkoutButton,   m_clearButton,       m_ticketGrid,       m_quantityEdit,     m_nameEdit,
        m_codeEdit,         m_purchasedEdit,     m_priceEdit,        m_discountedEdit,   m_rateEdit,
        m_addButton,        m_allowPriceCheck,   m_allowRateCheck,   button("Command3"), button("Command4"),
        button("Command5"), button("Command6"),  button("Command7"), button("Command8"), button("Command9"),
        button("Command2"), button("Command12"), m_previewButton,
    };
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
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
        m_codeEdit->setFocus(Qt::ShortcutFocusReason);
        return true;
    case Qt::Key_F2:
        m_quantityEdit->setFocus(Qt::ShortcutFocusReason);
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
        m_paymentEdit->setFocus(Qt::ShortcutFocusReason);
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

void CounterWindow::enterSuperUserMode()
{
    if (isSuperUserMode())
        return;
    m_managementPanel->show();
    m_entryPanel->move(m_entryPanel->pos() + QPoint(0, twips(ModeShift)));
    m_ticketPanel->move(m_ticketPanel->pos() + QPoint(0, twips(ModeShift)));
}

void CounterWindow::enterNormalUserMode()
{
    if (!isSuperUserMode())
        return;
    m_managementPanel->hide();
    m_entryPanel->move(m_entryPanel->pos() - QPoint(0, twips(ModeShift)));
    m_ticketPanel->move(m_ticketPanel->pos() - QPoint(0, twips(ModeShift)));
}

// ---- item entry ----

bool CounterWindow::eventFilter(QObject *watched, QEvent *event)
{
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
        m_priceEdit->setFocus(Qt::ShortcutFocusReason);
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
        m_codeEdit->setFocus();
        return std::nullopt;
    }
    const auto name = m_catalogue.nameOf(code);
    if (!name) {
        databaseFailed(m_catalogue.lastError());
        return std::nullopt;
    }
    if (!*name) {
        Messages::info(this, UnknownCode);
        m_codeEdit->setFocus();
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
        m_codeEdit->setFocus();
        return std::nullopt;
    }
    m_purchasedEdit->setText(QString::number(purchases->totalQuantity));
    return purchases;
}

void CounterWindow::lookupGoods()
{
    const auto purchases = findGoods(false);
    if (!purchases)
        return;
    // The stored price replaces whatever was typed; its change updates Text6.
    m_pricedCode = m_codeEdit->text();
    m_priceEdit->setText(purchases->lastPrice.toPlain());
    updateDiscountedPrice(m_priceEdit->text());
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
    m_amountTotalLabel->setText(m_ticket->lineCount() == 0 ? QStringLiteral("0")
                                                           : m_ticket->amountTotal().toCurrency());
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
    m_amountTotalLabel->setText(QStringLiteral("0"));
    m_codeEdit->setFocus();
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
    m_changeLabel->setText(change.toCurrency());

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
    m_amountTotalLabel->setText(QStringLiteral("0"));
    m_paymentEdit->clear();
    setTicketNumber(number + 1);
    m_codeEdit->setFocus();
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
