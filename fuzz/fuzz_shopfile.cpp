// Damaged shop files: a small real file with bytes changed where the input
// says. Opening it is either refused with a message or works; it never crashes.
#include "shop/database.h"
#include "shop/goodscatalogue.h"
#include "shop/salesstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {
QTemporaryDir *dir;
QByteArray original;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    dir = new QTemporaryDir;
    const QString path = dir->filePath(QStringLiteral("seed.db"));
    {
        Database::Result r = Database::create(path);
        QSqlQuery q(r.database->shop().connection());
        q.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        for (int i = 0; i < 30; ++i) {
            q.exec(QStringLiteral("INSERT INTO name VALUES ('C%1', '货%1')").arg(i));
            q.exec(QStringLiteral("INSERT INTO jinhuo VALUES (%1, 'C%1', 5, 10000, 20000, 20000, 'x', '2026-01-01', "
                                  "'2027-01-01')")
                       .arg(i));
            q.exec(QStringLiteral("INSERT INTO xiaoshou VALUES (%1, %1, 'C%1', 1, 20000, 20000, "
                                  "'2026-12-01 10:00:00')")
                       .arg(i));
        }
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    original = f.readAll();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Each 3 bytes: a position (2 bytes, scaled over the file) and a new byte.
    QByteArray damaged = original;
    for (size_t i = 0; i + 2 < size; i += 3) {
        const qsizetype at = (qsizetype(data[i]) << 8 | data[i + 1]) * damaged.size() / 65536;
        damaged[at] = char(data[i + 2]);
    }
    if (size % 3 == 1)
        damaged.truncate(damaged.size() * data[size - 1] / 256); // a cut-off file too
    const QString path = dir->filePath(QStringLiteral("tarv.db"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(damaged);
    }
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    Database::Result r = Database::open(path);
    if (r.database) {
        // A damaged file may refuse these reads; it must never crash them.
        [[maybe_unused]] const auto next = SalesStore(r.database->shop()).nextTicketNumber();
        GoodsCatalogue catalogue(r.database->shop());
        [[maybe_unused]] const auto name = catalogue.nameOf(QStringLiteral("C7"));
        [[maybe_unused]] const auto purchases = catalogue.purchasesOf(QStringLiteral("C7"));
    } else if (r.message.isEmpty()) {
        std::abort(); // refused without telling why
    }
    return 0;
}
