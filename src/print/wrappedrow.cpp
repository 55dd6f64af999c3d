#include "print/wrappedrow.h"

#include <QPainter>
#include <QTextOption>

#include <algorithm>

namespace {
QTextOption wrapping()
{
    QTextOption wrap(Qt::AlignLeft | Qt::AlignTop);
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return wrap;
}
} // namespace

double WrappedRow::height(QPainter &p, double lineHeight, double leading) const
{
    const QTextOption wrap = wrapping();
    double height = lineHeight;
    for (const Field &f : fields) {
        p.save();
        if (f.font)
            p.setFont(*f.font);
        height = std::max(height, p.boundingRect(QRectF(f.x, 0, f.width, 1e6), f.text, wrap).height() + leading);
        p.restore();
    }
    return height;
}

void WrappedRow::draw(QPainter &p, double y, double height) const
{
    const QTextOption wrap = wrapping();
    for (const Field &f : fields) {
        p.save();
        if (f.font)
            p.setFont(*f.font);
        p.drawText(QRectF(f.x, y, f.width, height), f.text, wrap);
        p.restore();
    }
}
