#include "gui/designscale.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

void DesignScale::record(QWidget *window, const QList<QWidget *> &containers)
{
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!containers.contains(w->parentWidget()) || w->objectName().isEmpty() || w->objectName().startsWith(u"qt_"))
            continue;
        m_places.append({w, w->geometry(), w->font().pointSizeF()});
    }
}

void DesignScale::translate(QWidget *widget, int dy)
{
    for (Place &place : m_places)
        if (place.widget == widget)
            place.rect.translate(0, dy);
}

void DesignScale::apply(QSize window) const
{
    const double sx = xFactor(window);
    const double sy = yFactor(window);
    const double sf = std::min(sx, sy);
    auto x = [sx](int v) { return int(std::lround(v * sx)); };
    auto y = [sy](int v) { return int(std::lround(v * sy)); };
    for (const Place &place : m_places) {
        const QRect r = place.rect;
        place.widget->setGeometry(
            QRect(QPoint(x(r.left()), y(r.top())), QPoint(x(r.left() + r.width()) - 1, y(r.top() + r.height()) - 1)));
        if (place.pointSize > 0) {
            QFont f = place.widget->font();
            f.setPointSizeF(place.pointSize * sf);
            place.widget->setFont(f);
        }
    }
}

double DesignScale::pointSize(const QWidget *widget, QSize window) const
{
    for (const Place &place : m_places)
        if (place.widget == widget)
            return place.pointSize * std::min(xFactor(window), yFactor(window));
    return 0;
}
