#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// A window laid out at one designed size and scaled with the window: the
// designed place and font size of every placed control is kept, and apply()
// puts each where it belongs at the window's size. Edges are scaled, not
// sizes, so touching neighbours never overlap through rounding.
class DesignScale
{
public:
    explicit DesignScale(QSize designed) : m_designed(designed) { }

    // Keeps the current places of the named children of these containers.
    void record(QWidget *window, const QList<QWidget *> &containers);
    // Moves one control's designed place (a panel moved by a user mode).
    void translate(QWidget *widget, int dy);
    void apply(QSize window) const;

    double xFactor(QSize window) const { return window.width() / double(m_designed.width()); }
    double yFactor(QSize window) const { return window.height() / double(m_designed.height()); }
    // The designed font size of a control at the window's size (0: not placed here).
    double pointSize(const QWidget *widget, QSize window) const;

private:
    struct Place
    {
        QWidget *widget;
        QRect rect;       // at the designed size
        double pointSize; // of its font there
    };
    QSize m_designed;
    QList<Place> m_places;
};
