// Dates and sale times as another tool may have written them: read, stored
// again and read again to the same value.
#include "shop/schema.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (Schema::ColumnKind kind :
         {Schema::ColumnKind::Date, Schema::ColumnKind::DateTime, Schema::ColumnKind::Money}) {
        const QVariant once = Schema::fromStorage(kind, text);
        if (!once.isValid())
            continue;
        const QVariant twice = Schema::fromStorage(kind, Schema::toStorage(kind, once));
        if (Schema::toStorage(kind, twice) != Schema::toStorage(kind, once))
            std::abort();
    }
    return 0;
}
