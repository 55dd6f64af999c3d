#include "gui/login/cashiersdialog.h"

#include "gui/messages.h"
#include "gui/named.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QString Caption = QStringLiteral("收银员管理");
const QString Mismatch = QStringLiteral("两次密码不一致！请重新输入！");
const QString ReadFailed = QStringLiteral("读取收银员时出错：%1");
const QString NotStored = QStringLiteral("收银员没有保存：%1");
const QString Added = QStringLiteral("收银员 %1 已添加。收银台从此要求收银员登录。");
const QString Saved = QStringLiteral("收银员 %1 已保存。");
} // namespace

CashiersDialog::CashiersDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(std::move(shop))
{
    setObjectName(QStringLiteral("frmshouyinyuan"));
    setWindowTitle(Caption);
    resize(520, 420);
    m_grid = named(new QTableWidget(0, 3, this), "DataGrid1");
    m_grid->setHorizontalHeaderLabels({QStringLiteral("工号"), QStringLiteral("姓名"), QStringLiteral("状态")});
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);

    m_number = named(new QLineEdit(this), "txtGonghao");
    m_number->setMaxLength(16);
    m_name = named(new QLineEdit(this), "txtXingming");
    m_password = named(new QLineEdit(this), "txtMima");
    m_password->setEchoMode(QLineEdit::Password);
    m_repeat = named(new QLineEdit(this), "txtMima2");
    m_repeat->setEchoMode(QLineEdit::Password);
    m_active = named(new QCheckBox(QStringLiteral("在职（可以登录收银）"), this), "chkYouxiao");
    m_active->setChecked(true);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("工号："), m_number);
    form->addRow(QStringLiteral("姓名："), m_name);
    form->addRow(QStringLiteral("密码："), m_password);
    form->addRow(QStringLiteral("重输密码："), m_repeat);
    form->addRow(QString(), m_active);

    auto *add = named(new QPushButton(QStringLiteral("新增"), this), "cmdAdd");
    auto *save = named(new QPushButton(QStringLiteral("保存修改"), this), "cmdSave");
    auto *done = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {add, save, done}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &CashiersDialog::showSelected);
    connect(add, &QPushButton::clicked, this, [this] { store(true); });
    connect(save, &QPushButton::clicked, this, [this] { store(false); });
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    reread();
}

void CashiersDialog::reread()
{
    const auto all = Cashiers::list(m_shop);
    if (!all) {
        Messages::error(this, ReadFailed.arg(all.errorText()), Caption);
        return;
    }
    m_cashiers = *all;
    const QSignalBlocker quiet(m_grid);
    m_grid->setRowCount(int(m_cashiers.size()));
    for (int r = 0; r < m_cashiers.size(); ++r) {
        const Cashier &c = m_cashiers[r];
        m_grid->setItem(r, 0, new QTableWidgetItem(c.number));
        m_grid->setItem(r, 1, new QTableWidgetItem(c.name));
        m_grid->setItem(r, 2, new QTableWidgetItem(c.active ? QStringLiteral("在职") : QStringLiteral("停用")));
    }
    m_grid->resizeColumnsToContents();
}

void CashiersDialog::showSelected()
{
    const int row = m_grid->currentRow();
    if (row < 0 || row >= m_cashiers.size())
        return;
    const Cashier &c = m_cashiers[row];
    m_number->setText(c.number);
    m_name->setText(c.name);
    m_active->setChecked(c.active);
    m_password->clear();
    m_repeat->clear();
}

Cashier CashiersDialog::typed() const
{
    return Cashier{m_number->text().trimmed(), m_name->text().trimmed(), m_active->isChecked()};
}

void CashiersDialog::store(bool adding)
{
    if (m_password->text() != m_repeat->text()) {
        Messages::info(this, Mismatch, Caption);
        m_password->setFocus();
        return;
    }
    const Cashier cashier = typed();
    const Done stored = adding ? Cashiers::add(m_shop, cashier, m_password->text())
                               : Cashiers::change(m_shop, cashier, m_password->text());
    if (!stored) {
        Messages::info(this, NotStored.arg(stored.errorText()), Caption);
        return;
    }
    m_password->clear();
    m_repeat->clear();
    reread();
    Messages::info(this, (adding ? Added : Saved).arg(Cashiers::shown(cashier)), Caption);
}
