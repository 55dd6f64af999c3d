#include "gui/stock/importdialog.h"

#include "gui/backgroundwork.h"
#include "gui/figuresmodel.h"
#include "gui/messages.h"
#include "gui/named.h"
#include "shop/stockcount.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

ImportDialog::ImportDialog(const QString &title, const QStringList &captions, int rows,
                           std::function<int(int row)> lineOf, std::function<QString(int row, int column)> text,
                           const CsvImport::Checked &checked, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmdaoru"));
    setWindowTitle(title);
    resize(820, 560);
    auto *summary = named(new QLabel(this), "Label1");
    const QList<CsvImport::Problem> &problems = checked.problems;
    summary->setText(problems.isEmpty()
                         ? QStringLiteral("共 %1 行，没有发现问题。点“确定”全部保存。").arg(rows)
                         : QStringLiteral("共 %1 行，发现 %2 个问题（见下）。改好文件后再导入；这次什么也不保存。")
                               .arg(rows)
                               .arg(checked.problemCount));
    auto *problemList = named(new QListWidget(this), "List1");
    // A list of problems is read from its top; past a few thousand the count says the rest.
    constexpr int ShownProblems = 5000;
    for (const CsvImport::Problem &p : problems.first(std::min<qsizetype>(problems.size(), ShownProblems))) {
        auto *item = new QListWidgetItem(p.line > 0 ? QStringLiteral("第 %1 行：%2").arg(p.line).arg(p.text) : p.text);
        item->setForeground(Qt::red);
        problemList->addItem(item);
    }
    if (checked.problemCount > ShownProblems)
        problemList->addItem(QStringLiteral("……还有 %1 个问题").arg(checked.problemCount - ShownProblems));
    problemList->setVisible(!problems.isEmpty());
    problemList->setMaximumHeight(140);
    auto *grid = named(new QTableView(this), "DataGrid1");
    auto *model = new FiguresModel(QStringList{QStringLiteral("行")} + captions, grid);
    model->bindView(grid);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QSet<int> bad;
    for (const CsvImport::Problem &p : problems)
        bad.insert(p.line);
    model->setMarked([bad, lineOf](int row) { return bad.contains(lineOf(row)); });
    model->reset(rows, [lineOf, text](int row, int column) {
        return column == 0 ? QString::number(lineOf(row)) : text(row, column - 1);
    });
    grid->resizeColumnsToContents();
    auto *ok = named(new QPushButton(QStringLiteral("确定"), this), "OKButton");
    auto *cancel = named(new QPushButton(QStringLiteral("取消"), this), "CancelButton");
    ok->setEnabled(checked.problemCount == 0 && rows > 0);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(problemList);
    layout->addWidget(grid, 1);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

namespace {

const QString Filter = QStringLiteral("CSV 文件 (*.csv *.txt);;所有文件 (*)");

const QString Reading = QStringLiteral("正在读取和检查文件……");
const QString Storing = QStringLiteral("正在保存……");

// The file asked for; empty when the user chose none.
QString askPath(QWidget *parent)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("导入"), QDir::homePath(), Filter);
}

// Reads and checks the file on a worker, with 取消; nothing after telling
// why not (a cancel says nothing).
template <typename Checked, typename Check>
std::optional<Checked> readAndCheck(QWidget *parent, const Shop &shop, const QString &path, Check check)
{
    QString error;
    Checked checked;
    const bool ran = BackgroundWork::run(parent, shop, Reading, [&](const Shop &work, const auto &cancelled) {
        checked = check(work, CsvImport::Source::file(path), cancelled);
        error = checked.error;
    });
    if (!ran)
        return std::nullopt;
    if (!error.isEmpty()) {
        Messages::info(parent, QStringLiteral("没有导入：%1").arg(error));
        return std::nullopt;
    }
    return checked;
}

void done(QWidget *parent, bool ok, qsizetype rows, const QString &error, const std::function<void()> &stored)
{
    if (!ok) {
        Messages::error(parent, QStringLiteral("没有导入：%1").arg(error));
        return;
    }
    stored();
    Messages::info(parent, QStringLiteral("已导入 %1 行。").arg(rows));
}

// Stores on a worker, with 取消 (which stores nothing).
template <typename Checked, typename Store>
void storeAll(QWidget *parent, const Shop &shop, const Checked &checked, Store store,
              const std::function<void()> &stored)
{
    QString error;
    bool ok = false;
    const bool ran = BackgroundWork::run(parent, shop, Storing, [&](const Shop &work, const auto &cancelled) {
        ok = store(work, checked, &error, cancelled);
    });
    if (!ran)
        error = CsvImport::CancelledText;
    done(parent, ran && ok, checked.size(), error, stored);
}

} // namespace

QPushButton *importGoodsButton(QWidget *parent, Shop shop, std::function<void()> stored)
{
    auto *button = named(new QPushButton(QStringLiteral("导入"), parent), "ImportButton");
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, parent, [parent, shop, stored] {
        const QString path = askPath(parent);
        if (path.isEmpty())
            return;
        const auto goods = readAndCheck<CsvImport::Goods>(
            parent, shop, path, [](const Shop &work, const auto &source, const auto &cancelled) {
                return CsvImport::checkGoods(work, source, cancelled);
            });
        if (!goods)
            return;
        const CsvImport::Goods &rows = *goods;
        ImportDialog preview(
            QStringLiteral("导入货名"), {QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("最低库存")},
            int(rows.size()), [&rows](int r) { return rows.lineOf(r); },
            [&rows](int r, int c) {
                const CsvImport::GoodsRow g = rows.rowAt(r);
                return c == 0 ? g.code : c == 1 ? g.name : g.minimum ? QString::number(*g.minimum) : QString();
            },
            rows, parent);
        if (preview.exec() != QDialog::Accepted)
            return;
        storeAll(
            parent, shop, *goods,
            [](const Shop &work, const CsvImport::Goods &g, QString *error, const auto &cancelled) {
                const Done done = CsvImport::storeGoods(work, g, cancelled);
                *error = done.errorText();
                return done.ok();
            },
            stored);
    });
    return button;
}

QPushButton *importPurchasesButton(QWidget *parent, Shop shop, std::function<void()> stored)
{
    auto *button = named(new QPushButton(QStringLiteral("导入"), parent), "ImportButton");
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, parent, [parent, shop, stored] {
        const QString path = askPath(parent);
        if (path.isEmpty())
            return;
        const auto purchases = readAndCheck<CsvImport::Purchases>(
            parent, shop, path, [](const Shop &work, const auto &source, const auto &cancelled) {
                return CsvImport::checkPurchases(work, source, cancelled);
            });
        if (!purchases)
            return;
        const CsvImport::Purchases &rows = *purchases;
        const QString date = QStringLiteral("yyyy-MM-dd");
        ImportDialog preview(
            QStringLiteral("导入进货"),
            {QStringLiteral("货号"), QStringLiteral("数量"), QStringLiteral("进价"), QStringLiteral("售价"),
             QStringLiteral("厂家"), QStringLiteral("进货日期"), QStringLiteral("过期日期")},
            int(rows.size()), [&rows](int r) { return rows.lineOf(r); },
            [&rows, &date](int r, int c) {
                const CsvImport::PurchaseRow p = rows.rowAt(r);
                switch (c) {
                case 0:
                    return p.code;
                case 1:
                    return QString::number(p.quantity);
                case 2:
                    return p.purchasePrice.toCurrency();
                case 3:
                    return p.sellingPrice.toCurrency();
                case 4:
                    return p.maker;
                case 5:
                    return p.purchased.toString(date);
                default:
                    return p.expires.toString(date);
                }
            },
            rows, parent);
        if (preview.exec() != QDialog::Accepted)
            return;
        storeAll(
            parent, shop, *purchases,
            [](const Shop &work, const CsvImport::Purchases &p, QString *error, const auto &cancelled) {
                const Done done = CsvImport::storePurchases(work, p, cancelled);
                *error = done.errorText();
                return done.ok();
            },
            stored);
    });
    return button;
}

QPushButton *importCountsButton(QWidget *parent, Shop shop, std::function<qint64()> count, std::function<void()> stored)
{
    auto *button = named(new QPushButton(QStringLiteral("导入"), parent), "ImportButton");
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, parent, [parent, shop, count, stored] {
        const qint64 id = count();
        if (id <= 0)
            return;
        const QString path = askPath(parent);
        if (path.isEmpty())
            return;
        const auto counts = readAndCheck<CsvImport::Counts>(
            parent, shop, path, [](const Shop &work, const auto &source, const auto &cancelled) {
                return CsvImport::checkCounts(work, source, cancelled);
            });
        if (!counts)
            return;
        const CsvImport::Counts &rows = *counts;
        ImportDialog preview(
            QStringLiteral("导入盘点"), {QStringLiteral("货号"), QStringLiteral("数量")}, int(rows.size()),
            [&rows](int r) { return rows.lineOf(r); },
            [&rows](int r, int c) {
                const CsvImport::CountRow row = rows.rowAt(r);
                return c == 0 ? row.code : QString::number(row.counted);
            },
            rows, parent);
        if (preview.exec() != QDialog::Accepted)
            return;
        // A code on several rows adds up; each code's sum sets its count.
        const auto summed = rows.summed();
        const QString error = summed ? StockCount::setMany(shop, id, *summed).errorText() : summed.errorText();
        done(parent, error.isEmpty(), rows.size(), error, stored);
    });
    return button;
}
