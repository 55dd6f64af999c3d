#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>

ModalAnswerer::ModalAnswerer(QMessageBox::StandardButton a) : answer(a)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start(20);
}

void ModalAnswerer::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    texts.append(box->text());
    titles.append(box->windowTitle());
    QAbstractButton *button = box->button(answer);
    if (!button)
        button = box->defaultButton() ? static_cast<QAbstractButton *>(box->defaultButton()) : box->buttons().first();
    button->click();
}
