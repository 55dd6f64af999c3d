#pragma once

#include "shop/settings.h"

#include "shop/shop.h"
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// gaimima: sets a new super-user password, written through the login
// dialog's own record set so the next login compares with it at once.
class PasswordDialog : public QDialog
{
    Q_OBJECT

public:
    // `login` gives the record set on the password row.
    explicit PasswordDialog(Shop shop, QWidget *parent = nullptr);

    static constexpr int MaxLength = 10;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void save();

    Settings m_settings;
    QLabel *m_currentPassword;
    QLineEdit *m_newPassword;
    QLineEdit *m_repeatPassword;
    QPushButton *m_saveButton;
    QPushButton *m_cancelButton;
};
