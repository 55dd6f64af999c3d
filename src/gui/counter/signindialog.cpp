#include "gui/counter/signindialog.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "shop/checkout.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString Caption = QStringLiteral("收银员登录");
}

SignInDialog::SignInDialog(Checkout &checkout, const QString &shift, QWidget *parent)
    : QDialog(parent)
    , m_checkout(checkout)
{
    setObjectName(QStringLiteral("frmshouyin"));
    setWindowTitle(Caption);
    setModal(true);
    m_number = named(new QLineEdit(this), "txtGonghao");
    m_number->setMaxLength(16);
    m_password = named(new QLineEdit(this), "txtMima");
    m_password->setEchoMode(QLineEdit::Password);
    auto *ok = named(new QPushButton(QStringLiteral("确定"), this), "cmdOK");
    auto *cancel = named(new QPushButton(QStringLiteral("取消"), this), "cmdCancel");
    // Enter is the boxes' own: in 工号 it moves on, in the password it signs in.
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("工号："), m_number);
    form->addRow(QStringLiteral("密码："), m_password);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    auto *prompt = named(new QLabel(QStringLiteral("请收银员登录后再收银。"), this), "lblTishi");
    layout->addWidget(prompt);
    if (!shift.isEmpty()) {
        auto *open =
            named(new QLabel(QStringLiteral("收银员 %1 的班还没有交班：登录后请先按 日结(F4) 交班。").arg(shift), this),
                  "lblJiaoban");
        open->setWordWrap(true);
        layout->addWidget(open);
    }
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &SignInDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_number, &QLineEdit::returnPressed, m_password, qOverload<>(&QWidget::setFocus));
    connect(m_password, &QLineEdit::returnPressed, this, &SignInDialog::confirm);
    m_number->setFocus();
}

void SignInDialog::confirm()
{
    if (m_number->text().trimmed().isEmpty()) {
        Messages::info(this, QStringLiteral("请输入工号"), Caption);
        m_number->setFocus();
        return;
    }
    const Done signedIn = m_checkout.signIn(m_number->text(), m_password->text());
    if (!signedIn) {
        Messages::error(this, signedIn.errorText(), Caption);
        m_password->clear();
        m_password->setFocus();
        return;
    }
    accept();
}
