#pragma once

#include "shop/settings.h"

#include "shop/shop.h"
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// frmLogin: asks for the super-user password. Created once and then only
// hidden and shown again, so its record set on the password row stays open;
// the password change reads and writes the password through the same set.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(Shop shop, QWidget *parent = nullptr);

    QString storedPassword() const;
    void clearPassword();

Q_SIGNALS:
    // The password was right: the counter switches to super-user mode.
    void loggedIn();
    // "取消" or the close box: the counter goes back to normal-user mode.
    void cancelled();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void reject() override;

private:
    void confirm();
    void cancel();

    Settings m_settings;
    QLabel *m_prompt;
    QLineEdit *m_passwordEdit;
    QPushButton *m_okButton;
    QPushButton *m_cancelButton;
    QLabel *m_storedPasswordLabel;
};
