#include "gui/login/logindialog.h"

#include "gui/messages.h"
#include "shop/settings.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString Caption = QStringLiteral("登录");
const QString Prompt = QStringLiteral("请输入超级用户密码:");
const QString WrongPassword = QStringLiteral("无效的密码，请重试!");
const QString Unreadable = QStringLiteral("无法读取超级用户密码，请稍后再试。\n%1");
} // namespace

LoginDialog::LoginDialog(Shop shop, QWidget *parent) : QDialog(parent), m_settings(shop)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(Caption);

    m_prompt = new QLabel(Prompt, this);
    m_prompt->setObjectName(QStringLiteral("lblLabels"));
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setObjectName(QStringLiteral("txtPassword"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    m_okButton = new QPushButton(QStringLiteral("确定"), this);
    m_okButton->setObjectName(QStringLiteral("cmdOK"));
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    m_cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    m_storedPasswordLabel = new QLabel(this);
    m_storedPasswordLabel->setObjectName(QStringLiteral("Label1"));
    m_storedPasswordLabel->hide();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_passwordEdit);
    layout->addLayout(buttons);
    layout->addWidget(m_storedPasswordLabel);

    connect(m_okButton, &QPushButton::clicked, this, &LoginDialog::confirm);
    connect(m_cancelButton, &QPushButton::clicked, this, &LoginDialog::cancel);
}

QString LoginDialog::storedPassword() const
{
    // Read from the file at every use: a password just changed counts at once.
    return m_settings.password().valueOr(QString());
}

void LoginDialog::clearPassword()
{
    m_passwordEdit->clear();
}

void LoginDialog::hideEvent(QHideEvent *event)
{
    // The next login starts empty.
    clearPassword();
    QDialog::hideEvent(event);
}

void LoginDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_storedPasswordLabel->setText(storedPassword());
    m_passwordEdit->setFocus(Qt::ActiveWindowFocusReason);
}

void LoginDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Whenever the dialog becomes active the password box has the focus.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_passwordEdit->setFocus(Qt::ActiveWindowFocusReason);
}

void LoginDialog::confirm()
{
    // Read from the file at every use: a password just changed counts at once.
    // A password that cannot be read lets nobody in, and is not called wrong.
    const Result<QString> stored = m_settings.password();
    if (!stored) {
        Messages::error(this, Unreadable.arg(stored.errorText()), Caption);
        m_passwordEdit->setFocus();
        return;
    }
    // Exact, case-sensitive comparison with the stored password.
    if (m_passwordEdit->text() != *stored) {
        Messages::error(this, WrongPassword, Caption);
        m_passwordEdit->clear();
        m_passwordEdit->setFocus();
        return;
    }
    hide();
    Q_EMIT loggedIn();
}

void LoginDialog::cancel()
{
    hide();
    Q_EMIT cancelled();
}

void LoginDialog::reject()
{
    // Esc presses "取消".
    cancel();
}

void LoginDialog::closeEvent(QCloseEvent *event)
{
    // The close box counts as "取消".
    event->ignore();
    cancel();
}
