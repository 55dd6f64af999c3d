#pragma once

#include <QDialog>

class Checkout;
class QLabel;
class QLineEdit;
class QPushButton;

// frmshouyin, "收银员登录": the cashier's 工号 and password, asked at start
// and after 锁屏 or 交班 once the shop has cashiers. Accepted once the
// checkout signed the cashier in; 取消 leaves the till locked.
class SignInDialog : public QDialog
{
    Q_OBJECT

public:
    // `shift`: whose shift is still open on the till, when not the next
    // cashier's (shown so that it is handed over first).
    SignInDialog(Checkout &checkout, const QString &shift, QWidget *parent = nullptr);

private:
    void confirm();

    Checkout &m_checkout;
    QLineEdit *m_number;
    QLineEdit *m_password;
};
