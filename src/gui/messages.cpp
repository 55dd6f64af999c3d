#include "gui/messages.h"

#include <QMessageBox>

namespace {
Messages *installed = nullptr;
} // namespace

Messages &Messages::current()
{
    static MessageBoxes boxes;
    return installed ? *installed : boxes;
}

void Messages::install(Messages *messages)
{
    installed = messages;
}

QString Messages::defaultTitle()
{
    return QStringLiteral("提示");
}

void Messages::info(QWidget *parent, const QString &text, const QString &title)
{
    current().show(parent, text, title, Icon::Information, Buttons::Ok);
}

void Messages::error(QWidget *parent, const QString &text, const QString &title)
{
    current().show(parent, text, title, Icon::Critical, Buttons::Ok);
}

void Messages::warning(QWidget *parent, const QString &text, const QString &title)
{
    current().show(parent, text, title, Icon::Warning, Buttons::Ok);
}

bool Messages::ask(QWidget *parent, const QString &text, const QString &title, Icon icon, Buttons buttons)
{
    return current().show(parent, text, title, icon, buttons);
}

bool MessageBoxes::show(QWidget *parent, const QString &text, const QString &title, Icon icon, Buttons buttons)
{
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    switch (icon) {
    case Icon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case Icon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case Icon::Critical:
        boxIcon = QMessageBox::Critical;
        break;
    case Icon::Question:
        boxIcon = QMessageBox::Question;
        break;
    }
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    QMessageBox::StandardButton yes = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
    if (buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo) {
        standard = QMessageBox::Yes | QMessageBox::No;
        yes = QMessageBox::Yes;
        defaultButton = buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No;
    } else if (buttons == Buttons::OkCancel) {
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    }
    QMessageBox box(boxIcon, title, text, standard, parent);
    box.setDefaultButton(buttons == Buttons::OkCancel || buttons == Buttons::Ok ? yes : defaultButton);
    const bool yesPressed = box.exec() == yes;
    // Give the keyboard back to the window that asked, also where no window
    // manager does it (a till without a desktop).
    if (parent && parent->window()->isVisible())
        parent->window()->activateWindow();
    return yesPressed;
}
