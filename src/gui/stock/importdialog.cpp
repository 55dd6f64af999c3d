#include "gui/stock/importdialog.h"

#include "gui/messages.h"
#include "gui/named.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ImportDialog::ImportDialog(const QString &title, const QStringList &captions, const QList<QStringList> &rows,
                           const QList<int> &lines, const QList<CsvImport::Problem> &problems, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmdaoru"));
    setWindowTitle(title);
    resize(820, 560);
    auto *summary = named(new QLabel(this), "Label1");
    summary->setText(problems.isEmpty()
                         ? QStringLiteral("共 %1 行，没有发现问题。点“确定”全部保存。").arg(rows.size())
                         : QStringLiteral("共 %1 行，发现 %2 个问题（见下）。改好文件后再导入；这次什么也不保存。")
                               .arg(rows.size())
                               .arg(problems.size()));
    auto *problemList = named(new QListWidget(this), "List1");
    for (const CsvImport::Problem &p : problems) {
        auto *item = new QListWidgetItem(p.line > 0 ? QStringLiteral("第 %1 行：%2").arg(p.line).arg(p.text) : p.text);
        item->setForeground(Qt::red);
        problemList->addItem(item);
    }
    problemList->setVisible(!problems.isEmpty());
    problemList->setMaximumHeight(140);
    auto *grid = named(new QTableWidget(int(rows.size()), int(captions.size()) + 1, this), "DataGrid1");
    grid->setHorizontalHeaderLabels(QStringList{QStringLiteral("行")} + captions);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QSet<int> bad;
    for (const CsvImport::Problem &p : problems)
        bad.insert(p.line);
    for (int r = 0; r < rows.size(); ++r) {
        grid->setItem(r, 0, new QTableWidgetItem(QString::number(lines.value(r))));
        for (int c = 0; c < captions.size(); ++c)
            grid->setItem(r, c + 1, new QTableWidgetItem(rows[r].value(c)));
        if (bad.contains(lines.value(r)))
            for (int c = 0; c <= captions.size(); ++c)
                grid->item(r, c)->setForeground(Qt::red);
    }
    grid->resizeColumnsToContents();
    auto *ok = named(new QPushButton(QStringLiteral("确定"), this), "OKButton");
    auto *cancel = named(new QPushButton(QStringLiteral("取消"), this), "CancelButton");
    ok->setEnabled(problems.isEmpty() && !rows.isEmpty());
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

// The file read, or nothing after telling why not.
std::optional<CsvImport::Table> askTable(QWidget *parent)
{
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("导入"), QDir::homePath(), Filter);
    if (path.isEmpty())
        return std::nullopt;
    CsvImport::Table table = CsvImport::read(path);
    if (!table.error.isEmpty()) {
        Messages::info(parent, QStringLiteral("没有导入：%1").arg(table.error));
        return std::nullopt;
    }
    return table;
}

template <typename Rows, typename Texts> QList<QStringList> textsOf(const Rows &rows, Texts texts)
{
    QList<QStringList> all;
    for (const auto &r : rows)
        all.append(texts(r));
    return all;
}

template <typename Rows> QList<int> linesOf(const Rows &rows)
{
    QList<int> lines;
    for (const auto &r : rows)
        lines.append(r.line);
    return lines;
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

} // namespace

QPushButton *importGoodsButton(QWidget *parent, QSqlDatabase db, std::function<void()> stored)
{
    auto *button = named(new QPushButton(QStringLiteral("导入"), parent), "ImportButton");
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, parent, [parent, db, stored] {
        const auto table = askTable(parent);
        if (!table)
            return;
        const CsvImport::Goods goods = CsvImport::checkGoods(db, *table);
        ImportDialog preview(
            QStringLiteral("导入货名"), {QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("最低库存")},
            textsOf(goods.rows,
                    [](const CsvImport::GoodsRow &r) {
                        return QStringList{r.code, r.name, r.minimum ? QString::number(*r.minimum) : QString()};
                    }),
            linesOf(goods.rows), goods.problems, parent);
        if (preview.exec() != QDialog::Accepted)
            return;
        QString error;
        done(parent, CsvImport::storeGoods(db, goods, &error), goods.rows.size(), error, stored);
    });
    return button;
}

QPushButton *importPurchasesButton(QWidget *parent, QSqlDatabase db, std::function<void()> stored)
{
    auto *button = named(new QPushButton(QStringLiteral("导入"), parent), "ImportButton");
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, parent, [parent, db, stored] {
        const auto table = askTable(parent);
        if (!table)
            return;
        const CsvImport::Purchases purchases = CsvImport::checkPurchases(db, *table);
        const QString date = QStringLiteral("yyyy-MM-dd");
        ImportDialog preview(
            QStringLiteral("导入进货"),
            {QStringLiteral("货号"), QStringLiteral("数量"), QStringLiteral("进价"), QStringLiteral("售价"),
             QStringLiteral("厂家"), QStringLiteral("进货日期"), QStringLiteral("过期日期")},
            textsOf(
                purchases.rows,
                [&date](const CsvImport::PurchaseRow &r) {
                    return QStringList{
                        r.code,  QString::number(r.quantity), r.purchasePrice.toCurrency(), r.sellingPrice.toCurrency(),
                        r.maker, r.purchased.toString(date),  r.expires.toString(date)};
                }),
            linesOf(purchases.rows), purchases.problems, parent);
        if (preview.exec() != QDialog::Accepted)
            return;
        QString error;
        done(parent, CsvImport::storePurchases(db, purchases, &error), purchases.rows.size(), error, stored);
    });
    return button;
}
