#include "gui/login/passworddialog.h"

#include "gui/login/cashiersdialog.h"
#include "gui/messages.h"
#include "gui/named.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString BothEmpty = QStringLiteral("密码不能为空！请重新输入！");
const QString Mismatch = QStringLiteral("两次密码不一致！请重新输入！");
const QString TooLong = QStringLiteral("密码长度超过10位！请重新输入！");
const QString Saved = QStringLiteral("修改成功！");
const QString SaveFailed = QStringLiteral("密码未能保存：%1");
} // namespace

PasswordDialog::PasswordDialog(Shop shop, QWidget *parent) : QDialog(parent), m_settings(shop)
{
    setObjectName(QStringLiteral("gaimima"));
    setWindowTitle(QStringLiteral("修改密码"));

    auto label = [this](const QString &name, const QString &text) {
        auto *l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };
    auto *layout = new QGridLayout(this);
    layout->addWidget(label(QStringLiteral("Label1"), QStringLiteral("原密码：")), 0, 0);
    m_currentPassword = label(QStringLiteral("Label2"), QString());
    layout->addWidget(m_currentPassword, 0, 1);
    layout->addWidget(label(QStringLiteral("Label3"), QStringLiteral("新密码：")), 1, 0);
    m_newPassword = new QLineEdit(this);
    m_newPassword->setObjectName(QStringLiteral("Text1"));
    layout->addWidget(m_newPassword, 1, 1);
    layout->addWidget(label(QStringLiteral("Label4"), QStringLiteral("重输新密码：")), 2, 0);
    m_repeatPassword = new QLineEdit(this);
    m_repeatPassword->setObjectName(QStringLiteral("Text2"));
    layout->addWidget(m_repeatPassword, 2, 1);
    layout->addWidget(label(QStringLiteral("Label5"), QStringLiteral("注意：请输入1-10位密码")), 3, 0, 1, 2);
    m_saveButton = new QPushButton(QStringLiteral("保存"), this);
    m_saveButton->setObjectName(QStringLiteral("OKButton"));
    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    m_cancelButton->setObjectName(QStringLiteral("CancelButton"));
    layout->addWidget(m_saveButton, 4, 0);
    layout->addWidget(m_cancelButton, 4, 1);
    // The cashiers' own passwords are kept beside the keeper's.
    auto *cashiers = named(new QPushButton(QStringLiteral("收银员…"), this), "cmdShouyinyuan");
    cashiers->setAutoDefault(false);
    layout->addWidget(cashiers, 5, 0, 1, 2);
    connect(cashiers, &QPushButton::clicked, this, [this, shop] {
        CashiersDialog dialog(shop, this);
        dialog.exec();
    });

    connect(m_saveButton, &QPushButton::clicked, this, &PasswordDialog::save);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::hide);
}

void PasswordDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_currentPassword->setText(m_settings.password().valueOr(QString()));
}

void PasswordDialog::save()
{
    const QString first = m_newPassword->text();
    const QString second = m_repeatPassword->text();
    if (first.isEmpty() && second.isEmpty()) {
        Messages::info(this, BothEmpty);
        return;
    }
    if (first != second) {
        Messages::info(this, Mismatch);
        return;
    }
    // Characters, not bytes or UTF-16 units.
    if (first.toUcs4().size() > MaxLength) {
        Messages::info(this, TooLong);
        return;
    }
    // Nothing half-stored: a refused write leaves the old password in force.
    if (const Done set = m_settings.setPassword(first); !set) {
        Messages::error(this, SaveFailed.arg(set.errorText()));
        return;
    }
    m_newPassword->clear();
    m_repeatPassword->clear();
    hide();
    Messages::info(parentWidget(), Saved);
}
