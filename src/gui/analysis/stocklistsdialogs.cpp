#include "gui/analysis/stocklistsdialogs.h"

#include "gui/backgroundwork.h"
#include "gui/messages.h"
#include "gui/named.h"
#include "gui/sheetexport.h"
#include "print/listreport.h"
#include "shop/adjustments.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString Failed = QStringLiteral("库存数据未能读取：%1");
const QString Working = QStringLiteral("正在计算……");

QTableWidget *listGrid(QWidget *parent, const QStringList &captions)
{
    auto *grid = named(new QTableWidget(0, int(captions.size()), parent), "DataGrid1");
    grid->setHorizontalHeaderLabels(captions);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->verticalHeader()->setDefaultSectionSize(22);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

template <typename Figures>
void fillGrid(QTableWidget *grid, const Figures &figures, const std::function<QColor(int)> &colour = {})
{
    grid->setRowCount(int(figures.rows.size()));
    const int columns = grid->columnCount();
    for (int r = 0; r < figures.rows.size(); ++r)
        for (int c = 0; c < columns; ++c) {
            auto *item = new QTableWidgetItem(Figures::text(figures.rows[r], c));
            if (colour && colour(r).isValid())
                item->setForeground(colour(r));
            grid->setItem(r, c, item);
        }
    grid->resizeColumnsToContents();
}

template <typename Figures>
ListReport reportOf(const QString &title, const Figures &figures, QList<double> widths, int group = -1)
{
    ListReport report{title, Figures::captions(), std::move(widths), {}, group};
    for (const auto &row : figures.rows) {
        QStringList texts;
        for (int c = 0; c < report.captions.size(); ++c)
            texts.append(Figures::text(row, c));
        report.rows.append(texts);
    }
    return report;
}

QHBoxLayout *buttonsRow(QDialog *dialog, const std::function<void()> &print, QTableWidget *grid,
                        const QList<Spreadsheet::Kind> &kinds)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(exportButton(dialog, dialog->windowTitle(), [dialog, grid, kinds] {
        return GridSheet{grid, kinds, dialog->windowTitle()};
    }));
    auto *printButton = named(new QPushButton(QStringLiteral("打印"), dialog), "Command1");
    auto *close = named(new QPushButton(QStringLiteral("关闭"), dialog), "CancelButton");
    row->addWidget(printButton);
    row->addWidget(close);
    QObject::connect(printButton, &QPushButton::clicked, dialog, print);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    return row;
}

} // namespace

ExpiryDialog::ExpiryDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmlinqi"));
    setWindowTitle(QStringLiteral("临期商品"));
    resize(720, 480);
    m_days = named(new QSpinBox(this), "Text1");
    m_days->setRange(0, 3650);
    m_days->setValue(30);
    m_days->setSuffix(QStringLiteral(" 天内过期"));
    m_grid = listGrid(this, ExpiryFigures::captions());
    auto *writeOff = named(new QPushButton(QStringLiteral("报损"), this), "Command2");
    writeOff->setToolTip(QStringLiteral("把选中的一批货报损"));
    writeOff->setAutoDefault(false);
    auto *top = new QHBoxLayout;
    top->addWidget(named(new QLabel(QStringLiteral("库存中"), this), "Label1"));
    top->addWidget(m_days);
    top->addStretch();
    top->addWidget(writeOff);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttonsRow(this,
                                 [this] {
                                     reportOf(QStringLiteral("临期商品（%1 天内）").arg(m_days->value()), m_figures,
                                              {2.4, 4.2, 1.6, 1.8, 2.6, 2.4})
                                         .preview(this, QStringLiteral("DataReport3"));
                                 },
                                 m_grid,
                                 {Spreadsheet::Kind::Text, Spreadsheet::Kind::Text, Spreadsheet::Kind::Integer,
                                  Spreadsheet::Kind::Integer, Spreadsheet::Kind::Date, Spreadsheet::Kind::Text}));
    connect(m_days, &QSpinBox::valueChanged, this, &ExpiryDialog::refresh);
    connect(writeOff, &QPushButton::clicked, this, &ExpiryDialog::writeOffSelected);
    refresh();
}

void ExpiryDialog::writeOffSelected()
{
    const int r = m_grid->currentRow();
    if (r < 0 || r >= m_figures.rows.size() || m_grid->selectedItems().isEmpty()) {
        Messages::info(this, QStringLiteral("请先选中要报损的一批货。"));
        return;
    }
    const ExpiryFigures::Row row = m_figures.rows[r];
    const QString reason = row.daysLeft < 0 ? QStringLiteral("过期") : QStringLiteral("临期");
    if (!Messages::ask(this,
                       QStringLiteral("把 %1 %2（过期日期 %3）的 %4 件报损吗？原因：%5")
                           .arg(row.code, row.name, row.expires.toString(QStringLiteral("yyyy-MM-dd")))
                           .arg(row.quantity)
                           .arg(reason),
                       QStringLiteral("报损"), Messages::Icon::Question, Messages::Buttons::YesNo))
        return;
    if (const Done done = Adjustments::writeOff(m_shop, {row.code, row.quantity, reason, row.batch}); !done) {
        Messages::error(this, QStringLiteral("没有报损：%1").arg(done.errorText()));
        return;
    }
    refresh();
}

void ExpiryDialog::refresh()
{
    const QDate today = QDate::currentDate();
    const int days = m_days->value();
    ExpiryFigures figures;
    const bool finished = BackgroundWork::run(parentWidget(), m_shop, Working, [&](const Shop &work) {
        figures = ExpiryFigures::compute(work, today, days);
    });
    if (finished && !figures.ok)
        Messages::error(this, Failed.arg(figures.error));
    m_figures = finished && figures.ok ? figures : ExpiryFigures{};
    fillGrid(m_grid, m_figures, [this](int r) { return m_figures.rows[r].daysLeft < 0 ? QColor(Qt::red) : QColor(); });
}

ReorderDialog::ReorderDialog(Shop shop, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmbuhuo"));
    setWindowTitle(QStringLiteral("补货单"));
    resize(720, 480);
    m_grid = listGrid(this, ReorderFigures::captions());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttonsRow(this,
                                 [this] {
                                     reportOf(QStringLiteral("补货单"), m_figures, {3.2, 2.4, 4.4, 1.6, 2.0, 2.2}, 0)
                                         .preview(this, QStringLiteral("DataReport4"));
                                 },
                                 m_grid,
                                 {Spreadsheet::Kind::Text, Spreadsheet::Kind::Text, Spreadsheet::Kind::Text,
                                  Spreadsheet::Kind::Integer, Spreadsheet::Kind::Integer, Spreadsheet::Kind::Integer}));
    const QDate today = QDate::currentDate();
    ReorderFigures figures;
    const bool finished = BackgroundWork::run(
        parentWidget(), shop, Working, [&](const Shop &work) { figures = ReorderFigures::compute(work, today); });
    if (finished && !figures.ok)
        Messages::error(this, Failed.arg(figures.error));
    m_figures = finished && figures.ok ? figures : ReorderFigures{};
    fillGrid(m_grid, m_figures);
}
