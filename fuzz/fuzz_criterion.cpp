// Find criteria as the screens build them from typed codes and names.
#include "shop/recordset.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static RecordSet *table = [] {
        auto *t = new RecordSet;
        t->appendColumn(QStringLiteral("code"), Schema::ColumnKind::Text);
        t->appendColumn(QStringLiteral("id"), Schema::ColumnKind::Integer);
        t->open();
        for (const char *code : {"A", "it's", "'", "x'='y"}) {
            t->addNew();
            t->setValue(QStringLiteral("code"), QString::fromLatin1(code));
            t->setValue(QStringLiteral("id"), 1);
        }
        t->write();
        return t;
    }();
    const QString criterion = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    table->moveFirst();
    table->find(criterion);
    return 0;
}
