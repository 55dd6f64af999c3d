#include "gui/counter/countercontrols.h"

#include "gui/named.h"
#include "gui/twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <algorithm>

// The counter's controls and their places. Places are designed in twips on a
// 780 × 540 window; the window scales the whole content with its size.

namespace {

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

QStringList CounterControls::screenNames()
{
    QStringList names;
    for (const ScreenButton &b : ManagementButtons)
        names.append(QString::fromLatin1(b.screen));
    return names;
}

void CounterControls::build(QWidget *window)
{
    titleLabel = label(window, "Label13", QStringLiteral("Tarvel V1.3"), QRect());
    QFont titleFont = titleLabel->font();
    titleFont.setPointSize(16);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);

    // The entry panel starts partly above the client area: the strip where the
    // management buttons sit is out of sight until super-user mode moves it down.
    entryPanel = named(new QGroupBox(window), "Frame3");
    entryPanel->setGeometry(8, twips(EntryPanelTop), 764, twips(EntryPanelHeight));
    entryPanel->setFlat(true);

    // Entry rows: y in the panel's coordinates, just below the management strip
    // (which ends at 240 + 780 twips).
    const int row1 = twips(ManagementPanelTop + ManagementPanelHeight) + 2;
    const int row2 = row1 + 26;
    constexpr int h = 22;
    QWidget *p = entryPanel;
    label(p, "Label1", QStringLiteral("货物代码F1"), QRect(4, row1, 70, h));
    codeEdit = edit(p, "Text1", QRect(74, row1, 90, h));
    label(p, "Label3", QStringLiteral("货物数量F2"), QRect(172, row1, 70, h));
    quantityEdit = edit(p, "Text3", QRect(242, row1, 70, h));
    label(p, "Label5", QStringLiteral("货物单价F3"), QRect(320, row1, 70, h));
    priceEdit = edit(p, "Text5", QRect(390, row1, 80, h));
    label(p, "Label14", QStringLiteral("打折率"), QRect(478, row1, 44, h));
    rateEdit = edit(p, "Text7", QRect(522, row1, 50, h));
    allowRateCheck = named(new QCheckBox(QStringLiteral("允许修改打折率"), p), "Check4");
    allowRateCheck->setGeometry(580, row1, 130, h);

    label(p, "Label2", QStringLiteral("货物名称"), QRect(4, row2, 70, h));
    nameEdit = edit(p, "Text2", QRect(74, row2, 90, h));
    label(p, "Label4", QStringLiteral("进货总数"), QRect(172, row2, 70, h));
    purchasedEdit = edit(p, "Text4", QRect(242, row2, 70, h));
    label(p, "Label6", QStringLiteral("打折后单价"), QRect(320, row2, 70, h));
    discountedEdit = edit(p, "Text6", QRect(390, row2, 80, h));
    allowPriceCheck = named(new QCheckBox(QStringLiteral("允许修改单价"), p), "Check3");
    allowPriceCheck->setGeometry(478, row2, 110, h);
    addButton = named(new QPushButton(QStringLiteral("出货(F5)"), p), "Command1");
    addButton->setGeometry(660, row2, 90, h);

    buildManagementPanel();

    ticketPanel = named(new QGroupBox(window), "Frame2");
    ticketPanel->setGeometry(8, twips(TicketPanelTop), 764, 300);
    ticketGrid = named(new QTableView(ticketPanel), "DataGrid1");
    ticketGrid->setGeometry(6, 8, 660, 286);
    ticketGrid->setTabKeyNavigation(false);
    ticketGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    clearButton = named(new QPushButton(QStringLiteral("清除(F6)"), ticketPanel), "Command10");
    clearButton->setGeometry(672, 8, 86, 28);
    ticketPanel->raise();

    voidButton = named(new QPushButton(QStringLiteral("删除本行"), ticketPanel), "Command14");
    voidButton->setGeometry(672, 42, 86, 28);

    // The lower part of the window.
    label(window, "Label7", QStringLiteral("流水号"), QRect(12, 398, 50, 24));
    ticketNumberLabel = label(window, "Label8", QString(), QRect(62, 398, 70, 24));
    offlineLabel = label(window, "offlineLabel", QString(), QRect(12, 372, 760, 24));
    offlineLabel->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    offlineLabel->hide();
    label(window, "Label9", QStringLiteral("数量合计"), QRect(140, 398, 60, 24));
    quantityTotalLabel = label(window, "Label10", QStringLiteral("0"), QRect(200, 398, 70, 24));
    // A member's ticket in the offline line's place: the members are on the
    // server, so a till selling offline has no member's ticket.
    memberLabel = label(window, "memberLabel", QString(), QRect(12, 372, 760, 24));
    memberLabel->setStyleSheet(QStringLiteral("color: #0050a0; font-weight: bold"));
    memberLabel->hide();

    label(window, "Label15", QStringLiteral("付款F7"), QRect(12, 430, 50, 26));
    paymentEdit = edit(window, "Text8", QRect(62, 430, 110, 26));
    printCheck = named(new QCheckBox(QStringLiteral("结帐时是否打印？"), window), "Check1");
    printCheck->setGeometry(182, 430, 150, 26);
    memberCheck = named(new QCheckBox(QStringLiteral("会员"), window), "Check2");
    memberCheck->setGeometry(336, 430, 60, 26);
    checkoutButton = named(new QPushButton(QStringLiteral("结帐(F8)"), window), "Command11");
    checkoutButton->setGeometry(220, 466, 100, 30);
    previewButton = named(new QPushButton(QStringLiteral("打印预览"), window), "Command13");
    previewButton->setGeometry(326, 466, 96, 30);

    modeFrame = named(new QGroupBox(QStringLiteral("用户切换"), window), "Frame1");
    modeFrame->setGeometry(12, 466, 196, 60);
    normalUserOption = named(new QRadioButton(QStringLiteral("普通用户"), modeFrame), "Option1");
    normalUserOption->setGeometry(8, 24, 90, 28);
    superUserOption = named(new QRadioButton(QStringLiteral("超级用户"), modeFrame), "Option2");
    superUserOption->setGeometry(100, 24, 90, 28);
    titleLabel->setGeometry(276, 396, 148, 28);
    titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // How the customer pays other than cash (cash is 结帐(F8)), under the checkout.
    weChatButton = named(new QPushButton(QStringLiteral("微信F10"), window), "Command16");
    weChatButton->setGeometry(220, 502, 66, 30);
    alipayButton = named(new QPushButton(QStringLiteral("支付宝F11"), window), "Command17");
    alipayButton->setGeometry(288, 502, 68, 30);
    cardButton = named(new QPushButton(QStringLiteral("银行卡F12"), window), "Command18");
    cardButton->setGeometry(358, 502, 66, 30);
    // Returns and the day's close, outside the panels: reachable in both modes.
    returnButton = named(new QPushButton(QStringLiteral("退货(F9)"), window), "Command15");
    returnButton->setGeometry(428, 398, 70, 30);
    closeButton = named(new QPushButton(QStringLiteral("日结(F4)"), window), "Command19");
    closeButton->setGeometry(428, 434, 70, 30);
    // Shown once the shop has cashiers.
    lockButton = named(new QPushButton(QStringLiteral("锁屏"), window), "cmdSuoping");
    lockButton->setGeometry(428, 470, 34, 30);
    lockButton->hide();
    drawerButton = named(new QPushButton(QStringLiteral("钱箱"), window), "cmdQianxiang");
    drawerButton->setGeometry(464, 470, 34, 30);
    drawerButton->setToolTip(QStringLiteral("开钱箱（要店主密码）"));
    drawerButton->hide();
    cashierLabel = label(window, "lblShouyin", QString(), QRect(428, 502, 72, 30));
    cashierLabel->setWordWrap(true);
    cashierLabel->hide();

    // The amount to pay and the change, large and in high contrast, to be read
    // from a step away.
    totalPanel = named(new QFrame(window), "TotalPanel");
    totalPanel->setGeometry(502, 394, 270, 140);
    totalPanel->setAutoFillBackground(true);
    QPalette dark = totalPanel->palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, QColor(255, 214, 0));
    totalPanel->setPalette(dark);
    label(totalPanel, "Label11", QStringLiteral("合计金额"), QRect(8, 4, 120, 18));
    amountTotalLabel = label(totalPanel, "Label12", QStringLiteral("0"), QRect(8, 22, 254, 48));
    changeCaption = label(totalPanel, "Label16", QStringLiteral("找零"), QRect(8, 72, 120, 18));
    changeLabel = label(totalPanel, "Label17", QString(), QRect(8, 90, 254, 48));
    QFont big = window->font();
    big.setPointSizeF(std::max(9.0, window->font().pointSizeF()) * 3);
    big.setBold(true);
    for (QLabel *figure : {amountTotalLabel, changeLabel}) {
        figure->setFont(big);
        figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }

    // Initial states.
    nameEdit->setEnabled(false);
    purchasedEdit->setEnabled(false);
    discountedEdit->setEnabled(false);
    quantityEdit->setText(QStringLiteral("1"));
    rateEdit->setText(QStringLiteral("10"));
    rateEdit->setEnabled(false);
    allowPriceCheck->setChecked(true);
    allowRateCheck->setChecked(false);
    printCheck->setChecked(false);
    previewButton->setEnabled(false);
    normalUserOption->setChecked(true);
}

void CounterControls::buildManagementPanel()
{
    managementPanel = named(new QGroupBox(entryPanel), "Frame4");
    managementPanel->setGeometry(0, twips(ManagementPanelTop), 764, twips(ManagementPanelHeight));
    int x = 4;
    for (const ScreenButton &b : ManagementButtons) {
        auto *button = named(new QPushButton(QString::fromUtf8(b.caption), managementPanel), b.name);
        button->setGeometry(x, twips(ManagementButtonTop), 80, 28);
        x += 84;
        button->setProperty("screen", QString::fromLatin1(b.screen));
        managementButtons.append(button);
    }
}

void CounterControls::setTabOrder(QWidget *window)
{
    auto button = [window](const char *name) { return window->findChild<QPushButton *>(QString::fromLatin1(name)); };
    const QList<QWidget *> order = {
        normalUserOption,   superUserOption,     paymentEdit,        printCheck,         memberCheck,
        checkoutButton,     clearButton,         ticketGrid,         quantityEdit,       nameEdit,
        codeEdit,           purchasedEdit,       priceEdit,          discountedEdit,     rateEdit,
        addButton,          allowPriceCheck,     allowRateCheck,     button("Command3"), button("Command4"),
        button("Command5"), button("Command6"),  button("Command7"), button("Command8"), button("Command9"),
        button("Command2"), button("Command12"), previewButton,      weChatButton,       alipayButton,
        cardButton,         returnButton,        closeButton,
    };
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}
