#include "gui/stock/membersdialog.h"

#include "gui/messages.h"
#include "gui/named.h"

#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {
const QString Failed = QStringLiteral("会员未能读写：%1");
const QString Refused = QStringLiteral("会员没有保存：%1");
const QString NoneSelected = QStringLiteral("请先在列表中选择一位会员！");
const QString DeleteQuestion = QStringLiteral("确定删除卡号为 %1 的会员“%2”吗？已售的小票不变。");
const QString Imported = QStringLiteral("已导入 %1 位会员。");
const QString Shown = QStringLiteral("显示 %1 位会员");
const QString ShownMost = QStringLiteral("显示前 %1 位会员，请输入卡号、姓名或电话查找其他会员");
} // namespace

MembersDialog::MembersDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmhuiyuan"));
    setWindowTitle(QStringLiteral("会员管理"));
    setModal(true);
    m_find = named(new QLineEdit(this), "Text5");
    m_find->setPlaceholderText(QStringLiteral("卡号、姓名或电话"));
    auto *find = named(new QPushButton(QStringLiteral("查找"), this), "Command6");
    m_grid = named(new QTableWidget(0, 5, this), "DataGrid1");
    m_grid->setHorizontalHeaderLabels({QStringLiteral("卡号"), QStringLiteral("姓名"), QStringLiteral("电话"),
                                       QStringLiteral("入会日期"), QStringLiteral("积分")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_count = named(new QLabel(this), "Label1");
    m_card = named(new QLineEdit(this), "Text1");
    m_name = named(new QLineEdit(this), "Text2");
    m_phone = named(new QLineEdit(this), "Text3");
    m_joined = named(new QDateEdit(QDate::currentDate(), this), "DTPicker1");
    m_joined->setCalendarPopup(true);
    m_joined->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    auto *add = named(new QPushButton(QStringLiteral("增加"), this), "Command1");
    auto *change = named(new QPushButton(QStringLiteral("修改选中"), this), "Command2");
    auto *remove = named(new QPushButton(QStringLiteral("删除选中"), this), "Command3");
    auto *import = named(new QPushButton(QStringLiteral("导入…"), this), "Command4");
    auto *close = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");
    // Enter in a box is for that box (a card reader ends the card with it),
    // never a press of a button.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("查找："), this), 0, 0);
    layout->addWidget(m_find, 0, 1, 1, 3);
    layout->addWidget(find, 0, 4);
    layout->addWidget(m_grid, 1, 0, 1, 8);
    layout->addWidget(m_count, 2, 0, 1, 8);
    const QStringList captions = {QStringLiteral("卡号："), QStringLiteral("姓名："), QStringLiteral("电话："),
                                  QStringLiteral("入会：")};
    QWidget *fields[] = {m_card, m_name, m_phone, m_joined};
    for (int i = 0; i < 4; ++i) {
        layout->addWidget(new QLabel(captions.at(i), this), 3, i * 2);
        layout->addWidget(fields[i], 3, i * 2 + 1);
    }
    layout->addWidget(add, 4, 1);
    layout->addWidget(change, 4, 2);
    layout->addWidget(remove, 4, 3);
    layout->addWidget(import, 4, 5);
    layout->addWidget(close, 4, 7);
    resize(820, 480);

    connect(m_find, &QLineEdit::returnPressed, this, &MembersDialog::reload);
    connect(find, &QPushButton::clicked, this, &MembersDialog::reload);
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &MembersDialog::showSelected);
    connect(add, &QPushButton::clicked, this, &MembersDialog::addMember);
    connect(change, &QPushButton::clicked, this, &MembersDialog::changeSelected);
    connect(remove, &QPushButton::clicked, this, &MembersDialog::deleteSelected);
    connect(import, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("导入会员"), QString(),
                                                          QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)"));
        if (!path.isEmpty())
            importFile(path);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    reload();
}

void MembersDialog::reload()
{
    // One more than shown tells whether there are more.
    const auto found = Members::list(m_shop, m_find->text(), MostShown + 1);
    if (!found) {
        Messages::error(this, Failed.arg(found.errorText()));
        return;
    }
    const bool more = found->size() > MostShown;
    m_shown = found->mid(0, MostShown);
    const QSignalBlocker quiet(m_grid);
    m_grid->setRowCount(int(m_shown.size()));
    for (int row = 0; row < m_shown.size(); ++row) {
        const Member &m = m_shown.at(row);
        const QStringList texts = {m.card, m.name, m.phone, m.joined.toString(QStringLiteral("yyyy-MM-dd")),
                                   QString::number(m.points)};
        for (int c = 0; c < texts.size(); ++c)
            m_grid->setItem(row, c, new QTableWidgetItem(texts.at(c)));
    }
    m_grid->resizeColumnsToContents();
    m_count->setText(more ? ShownMost.arg(MostShown) : Shown.arg(m_shown.size()));
}

const Member *MembersDialog::selected() const
{
    const int row = m_grid->currentRow();
    return row >= 0 && row < m_shown.size() && !m_grid->selectedItems().isEmpty() ? &m_shown.at(row) : nullptr;
}

void MembersDialog::showSelected()
{
    if (const Member *m = selected()) {
        m_card->setText(m->card);
        m_name->setText(m->name);
        m_phone->setText(m->phone);
        m_joined->setDate(m->joined.isValid() ? m->joined : QDate::currentDate());
    }
}

Member MembersDialog::typed() const
{
    Member m;
    m.card = m_card->text().trimmed();
    m.name = m_name->text().trimmed();
    m.phone = m_phone->text().trimmed();
    m.joined = m_joined->date();
    return m;
}

void MembersDialog::addMember()
{
    if (const Done done = Members::store(m_shop, typed(), true); !done) {
        Messages::info(this, Refused.arg(done.errorText()));
        return;
    }
    m_card->clear();
    m_name->clear();
    m_phone->clear();
    reload();
    m_card->setFocus();
}

void MembersDialog::changeSelected()
{
    const Member *was = selected();
    if (!was) {
        Messages::info(this, NoneSelected);
        return;
    }
    // The card is what the member is known by: it stays as it was.
    Member m = typed();
    m.card = was->card;
    if (const Done done = Members::store(m_shop, m, false); !done)
        Messages::info(this, Refused.arg(done.errorText()));
    reload();
}

void MembersDialog::deleteSelected()
{
    const Member *m = selected();
    if (!m) {
        Messages::info(this, NoneSelected);
        return;
    }
    if (!Messages::ask(this, DeleteQuestion.arg(m->card, m->name), Messages::defaultTitle(), Messages::Icon::Question,
                       Messages::Buttons::YesNo))
        return;
    if (const Done done = Members::remove(m_shop, m->card); !done)
        Messages::error(this, Failed.arg(done.errorText()));
    reload();
}

void MembersDialog::importFile(const QString &path)
{
    const auto added = Members::importCsv(m_shop, path, QDate::currentDate());
    if (!added)
        Messages::info(this, Refused.arg(added.errorText()));
    else
        Messages::info(this, Imported.arg(*added));
    reload();
}
