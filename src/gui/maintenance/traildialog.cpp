#include "gui/maintenance/traildialog.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "gui/sheetexport.h"
#include "print/listreport.h"
#include "shop/displayformat.h"
#include "shop/trail.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {
const QString All = QStringLiteral("全部");
} // namespace

TrailDialog::TrailDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(std::move(shop))
{
    setObjectName(QStringLiteral("frmcaozuo"));
    setWindowTitle(QStringLiteral("操作记录"));
    resize(900, 480);
    auto *layout = new QGridLayout(this);
    const QDate today = QDate::currentDate();
    m_from = named(new QDateEdit(today.addDays(-30), this), "DTPicker1");
    m_to = named(new QDateEdit(today, this), "DTPicker2");
    for (QDateEdit *d : {m_from, m_to}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    m_kind = named(new QComboBox(this), "Combo1");
    m_kind->addItem(All);
    m_kind->addItems(Trail::kinds());
    auto *show = named(new QPushButton(QStringLiteral("查询"), this), "Command1");
    auto *check = named(new QPushButton(QStringLiteral("检查"), this), "Command2");
    auto *done = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");
    auto *range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("从"), this));
    range->addWidget(m_from);
    range->addWidget(new QLabel(QStringLiteral("到"), this));
    range->addWidget(m_to);
    range->addWidget(new QLabel(QStringLiteral("类别"), this));
    range->addWidget(m_kind);
    range->addWidget(show);
    range->addStretch();
    layout->addLayout(range, 0, 0, 1, 7);

    const QStringList captions = {QStringLiteral("序号"), QStringLiteral("时间"), QStringLiteral("收银台"),
                                  QStringLiteral("模式"), QStringLiteral("类别"), QStringLiteral("内容"),
                                  QStringLiteral("原因")};
    m_grid = named(new QTableWidget(0, int(captions.size()), this), "DataGrid1");
    m_grid->setHorizontalHeaderLabels(captions);
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_grid, 1, 0, 1, 7);

    auto *print = named(new QPushButton(QStringLiteral("打印"), this), "Command3");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(check);
    buttons->addWidget(print);
    buttons->addWidget(exportButton(this, windowTitle(), [this] {
        using K = Spreadsheet::Kind;
        return GridSheet{
            m_grid, {K::Integer, K::DateTime, K::Integer, K::Text, K::Text, K::Text, K::Text}, windowTitle()};
    }));
    buttons->addStretch();
    buttons->addWidget(done);
    layout->addLayout(buttons, 2, 0, 1, 7);
    connect(show, &QPushButton::clicked, this, &TrailDialog::showRecords);
    connect(check, &QPushButton::clicked, this, &TrailDialog::checkChain);
    connect(print, &QPushButton::clicked, this, &TrailDialog::printRecords);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    showRecords();
}

void TrailDialog::showRecords()
{
    const QString kind = m_kind->currentText() == All ? QString() : m_kind->currentText();
    const auto records = Trail::list(m_shop, m_from->date(), m_to->date(), kind);
    if (!records) {
        Messages::error(this, QStringLiteral("操作记录未能读取：%1").arg(records.errorText()));
        return;
    }
    m_grid->setRowCount(int(records->size()));
    for (int r = 0; r < records->size(); ++r) {
        const Trail::Record &t = records->at(r);
        const QStringList cells = {
            QString::number(t.id), formatDateTime(t.time), QString::number(t.till), t.mode, t.kind, t.what, t.why};
        for (int c = 0; c < cells.size(); ++c)
            m_grid->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    m_grid->resizeColumnsToContents();
}

void TrailDialog::printRecords()
{
    // The records listed, as the grid shows them, through the print preview.
    ListReport report{windowTitle(), {}, {1.0, 3.4, 1.4, 1.0, 1.6, 7.0, 2.0}, {}, -1};
    for (int c = 0; c < m_grid->columnCount(); ++c)
        report.captions.append(m_grid->horizontalHeaderItem(c)->text());
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m_grid->columnCount(); ++c)
            cells.append(m_grid->item(r, c) ? m_grid->item(r, c)->text() : QString());
        report.rows.append(cells);
    }
    report.preview(this, QStringLiteral("DataReport5"));
}

void TrailDialog::checkChain()
{
    const Trail::Check check = Trail::check(m_shop);
    if (!check.whole && check.error.isEmpty())
        for (int r = 0; r < m_grid->rowCount(); ++r)
            if (m_grid->item(r, 0)->text() == QString::number(check.brokenAt))
                m_grid->selectRow(r);
    if (check.whole)
        Messages::info(this, Trail::checkInWords(check));
    else
        Messages::warning(this, Trail::checkInWords(check));
}
