#include "gui/analysis/salesanalysisdialog.h"
#include "gui/sheetexport.h"

#include "gui/analysis/saleschartdialog.h"
#include "gui/backgroundwork.h"
#include "gui/figuresmodel.h"
#include "gui/gridwidths.h"
#include "gui/messages.h"
#include "gui/named.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QString Caption = QStringLiteral("销售分析");
const QString Working = QStringLiteral("正在汇总销售数据……");
const QString Failed = QStringLiteral("销售数据未能读取：%1");

QLabel *totalLabel(QWidget *parent, const char *name)
{
    auto *l = named(new QLabel(parent), name);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSize(12);
    l->setFont(f);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, Qt::white);
    l->setPalette(p);
    l->setMinimumWidth(110);
    return l;
}
} // namespace

SalesAnalysisDialog::SalesAnalysisDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(std::move(shop))
{
    setObjectName(QStringLiteral("frmxiaoshou"));
    setWindowTitle(Caption);

    m_model = new FiguresModel(SalesFigures::captions(), this);

    m_grid = named(new QTableView(this), "DataGrid1");
    m_model->bindView(m_grid);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    fitColumns(m_grid, {1100, 1500, 1300, 1300, 1300, 1300});

    m_totalQuantity = totalLabel(this, "Label9");
    m_totalAmount = totalLabel(this, "Label10");
    m_totalProfit = totalLabel(this, "Label11");
    auto dateBox = [this](const char *name) {
        auto *d = named(new QDateEdit(QDate::currentDate(), this), name);
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        return d;
    };
    m_firstDay = dateBox("DTPicker1");
    m_lastDay = dateBox("DTPicker2");
    m_summaryButton = named(new QPushButton(QStringLiteral("汇总"), this), "OKButton");
    m_closeButton = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");
    auto *chartButton = named(new QPushButton(QStringLiteral("图表"), this), "Command1");

    auto *totals = new QHBoxLayout;
    totals->addWidget(named(new QLabel(QStringLiteral("合计数量"), this), "Label1"));
    totals->addWidget(m_totalQuantity);
    totals->addWidget(named(new QLabel(QStringLiteral("合计金额"), this), "Label2"));
    totals->addWidget(m_totalAmount);
    totals->addWidget(named(new QLabel(QStringLiteral("合计毛利"), this), "Label3"));
    totals->addWidget(m_totalProfit);
    totals->addStretch();
    auto *dates = new QHBoxLayout;
    dates->addWidget(named(new QLabel(QStringLiteral("起始日期"), this), "Label4"));
    dates->addWidget(m_firstDay);
    dates->addWidget(named(new QLabel(QStringLiteral("截止日期"), this), "Label5"));
    dates->addWidget(m_lastDay);
    dates->addWidget(named(new QLabel(QStringLiteral("==》"), this), "Label6"));
    dates->addWidget(m_summaryButton);
    dates->addWidget(chartButton);
    dates->addStretch();
    dates->addWidget(exportButton(this, QStringLiteral("销售分析"), [this] {
        return GridSheet{m_grid,
                         {Spreadsheet::Kind::Text, Spreadsheet::Kind::Text, Spreadsheet::Kind::Integer,
                          Spreadsheet::Kind::Money, Spreadsheet::Kind::Money, Spreadsheet::Kind::Money},
                         QStringLiteral("销售分析")};
    }));
    dates->addWidget(m_closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(totals);
    layout->addLayout(dates);
    resize(640, 480);

    connect(m_summaryButton, &QPushButton::clicked, this, &SalesAnalysisDialog::summarise);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(chartButton, &QPushButton::clicked, this, &SalesAnalysisDialog::showChart);

    // The totals start at 0, so a first run that is cancelled leaves zeros,
    // not blanks; then the screen opens with today's figures.
    showFigures(SalesFigures{});
    run(QDate::currentDate(), QDate::currentDate());
}

void SalesAnalysisDialog::summarise()
{
    const QDate first = m_firstDay->date();
    const QDate last = m_lastDay->date();
    // A start after the end changes nothing.
    if (first > last)
        return;
    run(first, last);
}

void SalesAnalysisDialog::run(QDate first, QDate last)
{
    if (m_busy)
        return;
    const QScopedValueRollback busy(m_busy, true);
    SalesFigures figures;
    QWidget *owner = isVisible() ? this : parentWidget();
    const bool finished = BackgroundWork::run(owner, m_shop, Working,
                                              [&](Shop shop) { figures = SalesFigures::compute(shop, first, last); });
    if (!finished)
        return; // cancelled: the figures shown stay
    if (!figures.ok) {
        Messages::error(owner, Failed.arg(figures.error));
        return;
    }
    showFigures(std::move(figures));
    m_shown = {first, last};
}

void SalesAnalysisDialog::showChart()
{
    // The chart shows the range in the pickers, on the grid's own figures.
    const QDate first = m_firstDay->date();
    const QDate last = m_lastDay->date();
    if (first > last)
        return;
    if (m_shown != std::pair(first, last))
        run(first, last);
    if (m_shown != std::pair(first, last))
        return;
    SalesTrend trend;
    const bool finished = BackgroundWork::run(
        this, m_shop, Working, [&](Shop shop) { trend = SalesTrend::compute(shop, first, last, m_figures); });
    if (!finished)
        return;
    if (!trend.ok) {
        Messages::error(this, Failed.arg(trend.error));
        return;
    }
    SalesChartDialog chart(std::move(trend),
                           first.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 至 ") +
                               last.toString(QStringLiteral("yyyy-MM-dd")),
                           this);
    chart.exec();
}

void SalesAnalysisDialog::showFigures(SalesFigures figures)
{
    m_figures = std::move(figures);
    m_model->reset(int(m_figures.rows.size()),
                   [this](int row, int column) { return SalesFigures::text(m_figures.rows.at(row), column); });
    fitColumns(m_grid, {1100, 1500, 1300, 1300, 1300, 1300});
    // Every figure in sight, as wide as the screen allows.
    widenToColumns(m_grid, this);
    m_totalQuantity->setText(QString::number(m_figures.totalQuantity));
    m_totalAmount->setText(m_figures.totalAmount.toCurrency());
    m_totalProfit->setText(m_figures.totalProfit.toCurrency());
}
