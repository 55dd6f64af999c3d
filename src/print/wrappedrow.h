#pragma once

#include <QFont>

#include <optional>

#include <QList>
#include <QString>

class QPainter;

// One printed row of fields side by side, each wrapped inside its own column
// (at a blank where it can) rather than cut or run into the next; the row grows
// downwards with its tallest field. Places are in the painter's device units.
struct WrappedRow
{
    struct Field
    {
        double x, width;
        QString text;
        std::optional<QFont> font = {}; // the painter's font when none
    };
    QList<Field> fields;

    // The height the row needs: one line, or more where a field wraps.
    // `leading` is what a line takes beyond the font's own height.
    double height(QPainter &p, double lineHeight, double leading) const;
    void draw(QPainter &p, double y, double height) const;
};
