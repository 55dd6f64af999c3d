#include "gui/screenhost.h"

#include <QDialog>
#include <QEvent>

ScreenHost::ScreenHost(QWidget *owner) : QObject(nullptr), m_owner(owner) { }

ScreenHost::~ScreenHost()
{
    unloadAll();
}

void ScreenHost::add(const QString &name, Factory factory)
{
    m_factories.insert(name, std::move(factory));
}

QDialog *ScreenHost::loaded(const QString &name) const
{
    return m_screens.value(name).data();
}

QDialog *ScreenHost::screen(const QString &name)
{
    if (QDialog *existing = loaded(name))
        return existing;
    const auto factory = m_factories.value(name);
    if (!factory)
        return nullptr;
    QDialog *dialog = factory(m_owner);
    dialog->setModal(true);
    dialog->installEventFilter(this);
    m_screens.insert(name, dialog);
    return dialog;
}

void ScreenHost::open(const QString &name)
{
    QDialog *dialog = screen(name);
    if (!dialog)
        return;
    m_closedByBox.remove(dialog);
    dialog->exec();
    if (m_closedByBox.remove(dialog)) {
        m_screens.remove(name);
        delete dialog;
    }
    Q_EMIT screenClosed(name);
}

void ScreenHost::unloadAll()
{
    const auto screens = m_screens;
    m_screens.clear();
    for (const QPointer<QDialog> &dialog : screens)
        delete dialog.data();
    m_closedByBox.clear();
}

bool ScreenHost::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close)
        if (auto *dialog = qobject_cast<QDialog *>(watched))
            m_closedByBox.insert(dialog);
    return QObject::eventFilter(watched, event);
}
