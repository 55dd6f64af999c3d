// Money text from anywhere: parsed under four locales, never a crash, and
// whatever parses shows as text that reads back as the same amount.
#include "shop/money.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    static const QLocale locales[] = {QLocale(QStringLiteral("zh_CN")), QLocale(QStringLiteral("en_US")),
                                      QLocale(QStringLiteral("de_DE")), QLocale(QStringLiteral("fr_FR"))};
    for (const QLocale &l : locales) {
        const auto m = Money::parse(text, l);
        if (!m)
            continue;
        const auto shown = Money::parse(m->toCurrency(l), l);
        if (!shown || *shown != m->roundedToCents())
            std::abort();
        const auto exact = Money::parse(m->toExactString(), QLocale::c());
        if (!exact || *exact != *m)
            std::abort();
    }
    return 0;
}
