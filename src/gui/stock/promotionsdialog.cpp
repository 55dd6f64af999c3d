#include "gui/stock/promotionsdialog.h"

#include "gui/messages.h"
#include "gui/named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {
const QString Failed = QStringLiteral("特价未能读写：%1");
const QString Refused = QStringLiteral("特价没有保存：%1");
const QString NoneSelected = QStringLiteral("请先在列表中选择一条特价！");
const QString EndQuestion = QStringLiteral("确定让货号 %1 的特价今天起不再执行吗？");
const QString Imported = QStringLiteral("已导入 %1 条特价。");
const QString BadPrice = QStringLiteral("特价应为金额，如 9.90");
} // namespace

SpecialsDialog::SpecialsDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmtejia"));
    setWindowTitle(QStringLiteral("特价管理"));
    setModal(true);
    m_filter = named(new QComboBox(this), "Combo1");
    m_filter->addItems({QStringLiteral("全部"), Special::stateText(Special::State::Current),
                        Special::stateText(Special::State::Coming), Special::stateText(Special::State::Ended)});
    m_grid = named(new QTableWidget(0, 7, this), "DataGrid1");
    m_grid->setHorizontalHeaderLabels({QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("特价"),
                                       QStringLiteral("开始日期"), QStringLiteral("结束日期"), QStringLiteral("会员"),
                                       QStringLiteral("状态")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_code = named(new QLineEdit(this), "Text1");
    m_price = named(new QLineEdit(this), "Text2");
    m_first = named(new QDateEdit(QDate::currentDate(), this), "DTPicker1");
    m_last = named(new QDateEdit(QDate::currentDate().addDays(6), this), "DTPicker2");
    for (QDateEdit *d : {m_first, m_last}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    m_members = named(new QCheckBox(QStringLiteral("仅限会员"), this), "Check1");
    auto *add = named(new QPushButton(QStringLiteral("增加"), this), "Command1");
    auto *change = named(new QPushButton(QStringLiteral("修改选中"), this), "Command2");
    auto *end = named(new QPushButton(QStringLiteral("提前结束"), this), "Command3");
    auto *import = named(new QPushButton(QStringLiteral("导入…"), this), "Command4");
    auto *close = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");

    // Enter in a box is for that box (a scanner ends every label with it),
    // never a press of a button.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("显示："), this), 0, 0);
    layout->addWidget(m_filter, 0, 1);
    layout->addWidget(m_grid, 1, 0, 1, 8);
    const QStringList captions = {QStringLiteral("货号："), QStringLiteral("特价："), QStringLiteral("开始："),
                                  QStringLiteral("结束：")};
    QWidget *fields[] = {m_code, m_price, m_first, m_last};
    for (int i = 0; i < 4; ++i) {
        layout->addWidget(new QLabel(captions.at(i), this), 2, i * 2);
        layout->addWidget(fields[i], 2, i * 2 + 1);
    }
    layout->addWidget(m_members, 3, 0, 1, 2);
    layout->addWidget(add, 3, 2);
    layout->addWidget(change, 3, 3);
    layout->addWidget(end, 3, 4);
    layout->addWidget(import, 3, 5);
    layout->addWidget(close, 3, 7);
    resize(860, 480);

    connect(m_filter, &QComboBox::currentIndexChanged, this, &SpecialsDialog::reload);
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &SpecialsDialog::showSelected);
    connect(add, &QPushButton::clicked, this, &SpecialsDialog::addSpecial);
    connect(change, &QPushButton::clicked, this, &SpecialsDialog::changeSelected);
    connect(end, &QPushButton::clicked, this, &SpecialsDialog::endSelected);
    connect(import, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("导入特价"), QString(),
                                                          QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)"));
        if (!path.isEmpty())
            importFile(path);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    reload();
}

void SpecialsDialog::reload()
{
    const auto all = Specials::list(m_shop);
    if (!all) {
        Messages::error(this, Failed.arg(all.errorText()));
        return;
    }
    m_all = *all;
    m_shown.clear();
    const QDate today = QDate::currentDate();
    const int filter = m_filter->currentIndex(); // 0 all, then the states in order
    for (const Special &s : std::as_const(m_all))
        if (filter == 0 || int(s.stateOn(today)) == filter - 1)
            m_shown.append(&s);
    const QSignalBlocker quiet(m_grid);
    m_grid->setRowCount(int(m_shown.size()));
    for (int row = 0; row < m_shown.size(); ++row) {
        const Special &s = *m_shown.at(row);
        const QStringList texts = {s.code,
                                   s.name,
                                   s.price.toCurrency(),
                                   s.first.toString(QStringLiteral("yyyy-MM-dd")),
                                   s.last.toString(QStringLiteral("yyyy-MM-dd")),
                                   s.membersOnly ? QStringLiteral("是") : QString(),
                                   Special::stateText(s.stateOn(today))};
        for (int c = 0; c < texts.size(); ++c)
            m_grid->setItem(row, c, new QTableWidgetItem(texts.at(c)));
    }
    m_grid->resizeColumnsToContents();
}

const Special *SpecialsDialog::selected() const
{
    const int row = m_grid->currentRow();
    return row >= 0 && row < m_shown.size() && !m_grid->selectedItems().isEmpty() ? m_shown.at(row) : nullptr;
}

void SpecialsDialog::showSelected()
{
    if (const Special *s = selected()) {
        m_code->setText(s->code);
        m_price->setText(s->price.toPlain());
        m_first->setDate(s->first);
        m_last->setDate(s->last);
        m_members->setChecked(s->membersOnly);
    }
}

std::optional<Special> SpecialsDialog::typed() const
{
    Special s;
    s.code = m_code->text().trimmed();
    const auto price = Money::parse(m_price->text().trimmed());
    if (!price) {
        Messages::info(const_cast<SpecialsDialog *>(this), Refused.arg(BadPrice));
        return std::nullopt;
    }
    s.price = *price;
    s.first = m_first->date();
    s.last = m_last->date();
    s.membersOnly = m_members->isChecked();
    return s;
}

void SpecialsDialog::addSpecial()
{
    const auto s = typed();
    if (s) {
        if (const Done stored = Specials::store(m_shop, *s); !stored)
            Messages::info(this, Refused.arg(stored.errorText()));
    }
    reload();
}

void SpecialsDialog::changeSelected()
{
    const Special *was = selected();
    if (!was) {
        Messages::info(this, NoneSelected);
        return;
    }
    auto s = typed();
    if (!s)
        return;
    s->id = was->id;
    if (const Done done = Specials::store(m_shop, *s); !done)
        Messages::info(this, Refused.arg(done.errorText()));
    reload();
}

void SpecialsDialog::endSelected()
{
    const Special *s = selected();
    if (!s) {
        Messages::info(this, NoneSelected);
        return;
    }
    if (!Messages::ask(this, EndQuestion.arg(s->code), Messages::defaultTitle(), Messages::Icon::Question,
                       Messages::Buttons::YesNo))
        return;
    if (const Done done = Specials::endEarly(m_shop, s->id, QDate::currentDate()); !done)
        Messages::error(this, Failed.arg(done.errorText()));
    reload();
}

void SpecialsDialog::importFile(const QString &path)
{
    const auto added = Specials::importCsv(m_shop, path);
    if (!added)
        Messages::info(this, Refused.arg(added.errorText()));
    else
        Messages::info(this, Imported.arg(*added));
    reload();
}
