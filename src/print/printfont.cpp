#include "print/printfont.h"

#include <QFont>
#include <QStringList>

QFont printFont(double points, bool bold)
{
    QFont font(QStringLiteral("宋体"));
    // Where 宋体 is missing, a CJK serif face stands in.
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("DejaVu Serif"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
