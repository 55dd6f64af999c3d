#include "gui/counter/counterwindow.h"

#include "gui/named.h"
#include "gui/recordsetmodel.h"
#include "gui/screenhost.h"
#include "gui/twips.h"
#include "shop/ticket.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTableView>

#include <cmath>

// The counter's controls, their places and the user modes' panel moves.
// Places are designed in twips on a 780 × 540 window; the whole content scales
// with the window (applyScale), so a till screen of 1920 × 1080 is filled.

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
    for (int money : {3, 4, 5})
        model->setColumnFormat(money, DisplayFormat::Currency);
    model->bindView(m_ticketGrid);
    for (int c = 0; c < int(std::size(GridColumnWidths)); ++c)
        m_ticketGrid->setColumnWidth(c, twips(GridColumnWidths[c]));
    m_ticketGrid->verticalHeader()->setDefaultSectionSize(22);

    m_voidButton = named(new QPushButton(QStringLiteral("删除本行"), m_ticketPanel), "Command14");
    m_voidButton->setGeometry(672, 42, 86, 28);

    // The lower part of the window.
    label(this, "Label7", QStringLiteral("流水号"), QRect(12, 398, 50, 24));
    m_ticketNumberLabel = label(this, "Label8", QString(), QRect(62, 398, 70, 24));
    label(this, "Label9", QStringLiteral("数量合计"), QRect(140, 398, 60, 24));
    m_quantityTotalLabel = label(this, "Label10", QStringLiteral("0"), QRect(200, 398, 70, 24));

    label(this, "Label15", QStringLiteral("付款F7"), QRect(12, 430, 50, 26));
    m_paymentEdit = edit(this, "Text8", QRect(62, 430, 110, 26));
    m_printCheck = named(new QCheckBox(QStringLiteral("结帐时是否打印？"), this), "Check1");
    m_printCheck->setGeometry(182, 430, 150, 26);
    m_memberCheck = named(new QCheckBox(QStringLiteral("会员"), this), "Check2");
    m_memberCheck->setGeometry(336, 430, 60, 26);
    m_checkoutButton = named(new QPushButton(QStringLiteral("结帐(F8)"), this), "Command11");
    m_checkoutButton->setGeometry(220, 466, 100, 30);
    m_previewButton = named(new QPushButton(QStringLiteral("打印预览"), this), "Command13");
    m_previewButton->setGeometry(326, 466, 96, 30);

    m_modeFrame = named(new QGroupBox(QStringLiteral("用户切换"), this), "Frame1");
    m_modeFrame->setGeometry(12, 466, 196, 60);
    m_normalUserOption = named(new QRadioButton(QStringLiteral("普通用户"), m_modeFrame), "Option1");
    m_normalUserOption->setGeometry(8, 24, 90, 28);
    m_superUserOption = named(new QRadioButton(QStringLiteral("超级用户"), m_modeFrame), "Option2");
    m_superUserOption->setGeometry(100, 24, 90, 28);
    m_titleLabel->setGeometry(220, 502, 200, 32);
    m_titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The amount to pay and the change, large and in high contrast, to be read
    // from a step away.
    m_totalPanel = named(new QFrame(this), "TotalPanel");
    m_totalPanel->setGeometry(430, 394, 342, 140);
    m_totalPanel->setAutoFillBackground(true);
    QPalette dark = m_totalPanel->palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, QColor(255, 214, 0));
    m_totalPanel->setPalette(dark);
    label(m_totalPanel, "Label11", QStringLiteral("合计金额"), QRect(8, 4, 120, 18));
    m_amountTotalLabel = label(m_totalPanel, "Label12", QStringLiteral("0"), QRect(8, 22, 326, 48));
    label(m_totalPanel, "Label16", QStringLiteral("找零"), QRect(8, 72, 120, 18));
    m_changeLabel = label(m_totalPanel, "Label17", QString(), QRect(8, 90, 326, 48));
    QFont big = font();
    big.setPointSizeF(std::max(9.0, font().pointSizeF()) * 3);
    big.setBold(true);
    for (QLabel *figure : {m_amountTotalLabel, m_changeLabel}) {
        figure->setFont(big);
        figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }

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

void CounterWindow::enterSuperUserMode()
{
    if (isSuperUserMode())
        return;
    m_managementPanel->show();
    shiftPanels(twips(ModeShift));
}

void CounterWindow::enterNormalUserMode()
{
    if (!isSuperUserMode())
        return;
    m_managementPanel->hide();
    shiftPanels(-twips(ModeShift));
}

// ---- scaling ----

void CounterWindow::recordBaseLayout()
{
    // Everything placed above, in the designed 780 × 540 coordinates.
    m_scale.record(this, {this, m_entryPanel, m_managementPanel, m_ticketPanel, m_modeFrame, m_totalPanel});
}

void CounterWindow::shiftPanels(int dy)
{
    // The 400-twip move of the user modes, in designed coordinates: the same
    // amount in both directions, whatever the window's size.
    m_scale.translate(m_entryPanel, dy);
    m_scale.translate(m_ticketPanel, dy);
    applyScale();
}

void CounterWindow::applyScale()
{
    m_scale.apply(size());
    const double sx = m_scale.xFactor(size());
    for (int c = 0; c < int(std::size(GridColumnWidths)); ++c)
        m_ticketGrid->setColumnWidth(c, int(std::lround(twips(GridColumnWidths[c]) * sx)));
    m_ticketGrid->verticalHeader()->setDefaultSectionSize(int(std::lround(22 * m_scale.yFactor(size()))));
    setFigure(m_amountTotalLabel, m_amountTotalLabel->text());
    setFigure(m_changeLabel, m_changeLabel->text());
}

void CounterWindow::setFigure(QLabel *figure, const QString &text)
{
    figure->setText(text);
    // Three times the body text at the window's scale; only an amount too long
    // for the panel is drawn smaller, so that it is always shown whole.
    const double size = m_scale.pointSize(figure, this->size());
    if (size <= 0)
        return;
    QFont f = figure->font();
    f.setPointSizeF(size);
    while (QFontMetricsF(f).horizontalAdvance(text) > figure->width() - 4 && f.pointSizeF() > size / 3)
        f.setPointSizeF(f.pointSizeF() * 0.95);
    figure->setFont(f);
}

void CounterWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyScale();
}
