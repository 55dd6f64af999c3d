#include "gui/waitedinput.h"

#include <QCoreApplication>
#include <QEvent>
#include <QCursor>
#include <QGuiApplication>

namespace {

class InputEater : public QObject
{
protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

WaitedInput::WaitedInput()
{
    m_waited.start();
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitedInput::~WaitedInput()
{
    QGuiApplication::restoreOverrideCursor();
    if (m_waited.elapsed() < DropAfterMs)
        return;
    // Everything that arrived meanwhile is delivered now, the input to no one.
    InputEater eater;
    QCoreApplication::instance()->installEventFilter(&eater);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&eater);
}
