#include "gui/stock/stockcountdialog.h"

#include "gui/backgroundwork.h"
#include "gui/figuresmodel.h"
#include "gui/gridwidths.h"
#include "gui/messages.h"
#include "gui/named.h"
#include "gui/sheetexport.h"
#include "gui/stock/importdialog.h"
#include "print/countreport.h"
#include "shop/scalegoods.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QString Working = QStringLiteral("正在读取盘点……");
const QString AllGoods = QStringLiteral("全部商品");
constexpr int SoldSinceColumn = 8;
} // namespace

StockCountDialog::StockCountDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmpandian"));
    setWindowTitle(QStringLiteral("盘点"));
    m_counts = named(new QComboBox(this), "Combo1");
    m_maker = named(new QComboBox(this), "Combo2");
    auto *start = named(new QPushButton(QStringLiteral("新盘点"), this), "Command1");
    m_code = named(new QLineEdit(this), "Text1");
    m_code->setPlaceholderText(QStringLiteral("扫码：每扫一次加 1"));
    m_quantity = named(new QLineEdit(this), "Text2");
    // Pieces, or a weighed goods' kg with up to three decimals.
    m_quantity->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,9}([.,][0-9]{0,3})?")), m_quantity));
    m_quantity->setPlaceholderText(QStringLiteral("输入数量后回车：设为此数"));
    m_set = named(new QPushButton(QStringLiteral("设定"), this), "Command2");
    m_last = named(new QLabel(this), "Label3");
    m_totals = named(new QLabel(this), "Label4");
    m_onlyDiffering = named(new QCheckBox(QStringLiteral("只看有差异的"), this), "Check1");
    m_grid = named(new QTableView(this), "DataGrid1");
    m_model = new FiguresModel(StockCount::captions(), this);
    m_model->bindView(m_grid);
    m_model->setMarked([this](int row) { return m_sheet.lines.at(m_shown.at(row)).soldSince; });
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    fitColumns(m_grid, {1900, 2300, 1300, 900, 900, 800, 1000, 1300, 1000});
    m_grid->horizontalHeader()->setStretchLastSection(true);

    auto *sheetButton = named(new QPushButton(QStringLiteral("打印盘点表"), this), "Command3");
    m_import = importCountsButton(
        this, shop, [this] { return countId(); }, [this] { loadSheet(); });
    m_post = named(new QPushButton(QStringLiteral("过账"), this), "Command4");
    auto *varianceButton = named(new QPushButton(QStringLiteral("打印差异表"), this), "Command5");
    auto *back = named(new QPushButton(QStringLiteral("返回"), this), "CancelButton");
    for (QPushButton *b : {start, m_set, sheetButton, m_post, varianceButton, back})
        b->setAutoDefault(false);

    auto *top = new QHBoxLayout;
    top->addWidget(named(new QLabel(QStringLiteral("盘点"), this), "Label1"));
    top->addWidget(m_counts, 1);
    top->addSpacing(16);
    top->addWidget(m_maker);
    top->addWidget(start);
    auto *entry = new QHBoxLayout;
    entry->addWidget(named(new QLabel(QStringLiteral("货号"), this), "Label2"));
    entry->addWidget(m_code, 2);
    entry->addWidget(m_quantity, 2);
    entry->addWidget(m_set);
    entry->addWidget(m_last, 3);
    auto *below = new QHBoxLayout;
    below->addWidget(m_totals, 1);
    below->addWidget(m_onlyDiffering);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(sheetButton);
    buttons->addWidget(m_import);
    buttons->addStretch();
    buttons->addWidget(m_post);
    buttons->addWidget(varianceButton);
    buttons->addWidget(exportButton(this, QStringLiteral("盘点差异"), [this] {
        using K = Spreadsheet::Kind;
        return GridSheet{m_grid,
                         {K::Text, K::Text, K::Text, K::Integer, K::Text, K::Text, K::Money, K::Money, K::Text},
                         QStringLiteral("盘点")};
    }));
    buttons->addWidget(back);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(entry);
    layout->addWidget(m_grid, 1);
    layout->addLayout(below);
    layout->addLayout(buttons);
    resize(980, 600);

    m_maker->addItem(AllGoods);
    if (const auto makers = StockCount::makers(shop))
        m_maker->addItems(*makers);
    connect(start, &QPushButton::clicked, this, &StockCountDialog::startCount);
    connect(m_counts, &QComboBox::activated, this, [this] { loadSheet(); });
    connect(m_code, &QLineEdit::returnPressed, this, &StockCountDialog::scanned);
    connect(m_quantity, &QLineEdit::returnPressed, this, &StockCountDialog::typed);
    connect(m_set, &QPushButton::clicked, this, &StockCountDialog::typed);
    connect(m_onlyDiffering, &QCheckBox::toggled, this, &StockCountDialog::fill);
    connect(m_post, &QPushButton::clicked, this, &StockCountDialog::post);
    connect(sheetButton, &QPushButton::clicked, this,
            [this] { CountReport::countSheet(m_sheet).preview(this, QStringLiteral("DataReport6")); });
    connect(varianceButton, &QPushButton::clicked, this,
            [this] { CountReport::varianceList(m_sheet).preview(this, QStringLiteral("DataReport7")); });
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    loadCounts(0);
}

qint64 StockCountDialog::countId() const
{
    return m_counts->currentData().toLongLong();
}

void StockCountDialog::loadCounts(qint64 select)
{
    const auto counts = StockCount::counts(m_shop);
    if (!counts) {
        Messages::error(this, QStringLiteral("盘点未能读取：%1").arg(counts.errorText()));
        return;
    }
    m_counts->clear();
    for (const StockCount::Summary &c : *counts)
        m_counts->addItem(c.describe(), c.id);
    // The open count first: an earlier one is taken up again.
    int at = select ? m_counts->findData(select) : 0;
    if (!select)
        for (int i = 0; i < counts->size(); ++i)
            if (!(*counts)[i].isPosted()) {
                at = i;
                break;
            }
    m_counts->setCurrentIndex(at);
    loadSheet();
}

void StockCountDialog::loadSheet()
{
    const qint64 id = countId();
    StockCount::Sheet sheet;
    if (id > 0) {
        const bool finished = BackgroundWork::run(parentWidget() ? parentWidget() : this, m_shop, Working,
                                                  [&](const Shop &work) { sheet = StockCount::sheet(work, id); });
        if (finished && !sheet.ok)
            Messages::error(this, QStringLiteral("盘点未能读取：%1").arg(sheet.error));
        if (!finished || !sheet.ok)
            sheet = StockCount::Sheet{};
    }
    m_sheet = sheet;
    const bool open = id > 0 && m_sheet.ok && !m_sheet.count.isPosted();
    for (QWidget *w : {static_cast<QWidget *>(m_code), static_cast<QWidget *>(m_quantity),
                       static_cast<QWidget *>(m_set), static_cast<QWidget *>(m_import), static_cast<QWidget *>(m_post)})
        w->setEnabled(open);
    m_last->clear();
    fill();
    if (open)
        m_code->setFocus();
}

void StockCountDialog::fill()
{
    m_shown.clear();
    for (int i = 0; i < m_sheet.lines.size(); ++i)
        if (!m_onlyDiffering->isChecked() || (m_sheet.lines[i].counted && m_sheet.lines[i].difference != 0))
            m_shown.append(i);
    m_model->reset(int(m_shown.size()),
                   [this](int row, int column) { return StockCount::text(m_sheet.lines.at(m_shown.at(row)), column); });
    m_grid->setColumnHidden(SoldSinceColumn, false);
    m_totals->setText(m_sheet.ok ? QStringLiteral("已盘 %1 个，未盘 %2 个，有差异 %3 个；差异合计 %4 件，金额 %5")
                                       .arg(m_sheet.counted)
                                       .arg(m_sheet.notCounted)
                                       .arg(m_sheet.differing)
                                       .arg(m_sheet.totalDifference)
                                       .arg(m_sheet.totalValue.toCurrency())
                                 : QString());
}

void StockCountDialog::startCount()
{
    const QString maker = m_maker->currentIndex() == 0 ? QString() : m_maker->currentText();
    const auto id = StockCount::start(m_shop, maker);
    if (!id) {
        Messages::error(this, QStringLiteral("没有开始盘点：%1").arg(id.errorText()));
        return;
    }
    loadCounts(*id);
}

void StockCountDialog::counted(const QString &code, const Result<StockCount::Counted> &now)
{
    if (!now) {
        Messages::error(this, now.errorText());
        m_code->selectAll();
        m_code->setFocus();
        return;
    }
    m_sheet.take(code, QString(), *now);
    const int at = m_sheet.find(code);
    m_last->setText(QStringLiteral("%1 %2：%3").arg(code, m_sheet.lines[at].name).arg(now->counted));
    fill();
    const int row = int(m_shown.indexOf(at));
    if (row >= 0) {
        while (m_model->canFetchMore({}) && row >= m_model->rowCount())
            m_model->fetchMore({});
        m_grid->selectRow(row);
        m_grid->scrollTo(m_model->index(row, 0));
    }
    m_code->clear();
    m_quantity->clear();
    m_code->setFocus();
}

void StockCountDialog::scanned()
{
    const QString code = m_code->text().trimmed();
    if (code.isEmpty())
        return;
    // A scan counts one piece: a weighed goods is counted by its weight.
    const auto weighed = ScaleGoods::weighed(m_shop);
    if (weighed && weighed->contains(code)) {
        Messages::info(this, QStringLiteral("这是称重商品，请输入盘点的重量（千克）后回车。"));
        m_quantity->setFocus();
        return;
    }
    counted(code, StockCount::scan(m_shop, countId(), code));
}

void StockCountDialog::typed()
{
    const QString code = m_code->text().trimmed();
    if (code.isEmpty() || m_quantity->text().isEmpty()) {
        Messages::info(this, QStringLiteral("请输入货号和盘点数量。"));
        (code.isEmpty() ? m_code : m_quantity)->setFocus();
        return;
    }
    // A weighed goods is counted in kg with up to three decimals.
    const auto weighed = ScaleGoods::weighed(m_shop);
    const bool byWeight = weighed && weighed->contains(code);
    const auto typed = Weighing::quantityFrom(m_quantity->text(), byWeight);
    if (!weighed || !typed) {
        Messages::info(this, !weighed   ? weighed.errorText()
                             : byWeight ? QStringLiteral("请输入盘点的重量（千克，最多三位小数）。")
                                        : QStringLiteral("请输入盘点的数量（整数）。"));
        m_quantity->setFocus();
        return;
    }
    counted(code, StockCount::set(m_shop, countId(), code, *typed));
}

void StockCountDialog::post()
{
    const QString question =
        QStringLiteral("把这次盘点过账吗？\n%1 个货号有差异（合计 %2 件，金额 %3），库存将按盘点数改正；"
                       "未盘的 %4 个货号库存不变。过账后不能再改。")
            .arg(m_sheet.differing)
            .arg(m_sheet.totalDifference)
            .arg(m_sheet.totalValue.toCurrency())
            .arg(m_sheet.notCounted);
    if (!Messages::ask(this, question, QStringLiteral("过账"), Messages::Icon::Question,
                       Messages::Buttons::YesNoDefaultNo))
        return;
    const auto posted = StockCount::post(m_shop, countId());
    if (!posted) {
        Messages::error(this, QStringLiteral("没有过账：%1").arg(posted.errorText()));
        return;
    }
    Messages::info(this, QStringLiteral("已过账：%1 个货号的库存已改正。").arg(*posted));
    loadCounts(countId());
}
