// Quantity text: a 16-bit whole number or nothing, and the number written back
// reads as itself.
#include "shop/numbertext.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QLocale &l : {QLocale(QStringLiteral("zh_CN")), QLocale(QStringLiteral("de_DE"))}) {
        const auto q = NumberText::toInt16(text, l);
        if (q && NumberText::toInt16(QString::number(*q), l) != q)
            std::abort();
    }
    return 0;
}
