// tarvel_generate: writes a realistic tarv.db for trying Tarvel on a shop
// with years of history, or for tests and benchmarks.
#include "shopgenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <map>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a new shop file for Tarvel: goods with Chinese names, a pick list, purchases and sale lines\n"
        "in tickets over the years, the same file for the same seed.\n"
        "  five-years: 20,000 goods, 100,000 purchases, 1,000,000 sale lines in about 200,000 tickets\n"
        "  ten-years:  50,000 goods, 200,000 purchases, 2,000,000 sale lines in about 400,000 tickets\n"
        "  small:      the same shop in its first four days: 200 goods, 500 purchases, 2,000 sale lines"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("scale"), QStringLiteral("five-years (default), ten-years or small."),
                      QStringLiteral("scale"), QStringLiteral("five-years")});
    parser.addOption({QStringLiteral("seed"), QStringLiteral("Seed of the random choices (default 1)."),
                      QStringLiteral("n"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("out"), QStringLiteral("The file to write (default ./tarv.db); must not exist."),
                      QStringLiteral("path"), QStringLiteral("tarv.db")});
    parser.process(app);
    const QString scaleName = parser.value(QStringLiteral("scale"));
    const std::map<QString, ShopGenerator::Scale> scales = {{QStringLiteral("five-years"), ShopGenerator::fiveYears()},
                                                            {QStringLiteral("ten-years"), ShopGenerator::tenYears()},
                                                            {QStringLiteral("small"), ShopGenerator::small()}};
    const auto known = scales.find(scaleName);
    if (known == scales.end()) {
        std::fprintf(stderr, "unknown scale: %s\n", qPrintable(scaleName));
        return 2;
    }
    const ShopGenerator::Scale scale = known->second;
    QElapsedTimer t;
    t.start();
    int shown = -1;
    const QString error = ShopGenerator::generate(parser.value(QStringLiteral("out")), scale,
                                                  parser.value(QStringLiteral("seed")).toUInt(), [&](int percent) {
                                                      if (percent != shown)
                                                          std::fprintf(stderr, "\r%3d %%", shown = percent);
                                                  });
    std::fputs("\n", stderr);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s: %d goods, %d purchases, %d sale lines in %.1f s\n",
                qPrintable(parser.value(QStringLiteral("out"))), scale.goods, scale.purchases, scale.saleLines,
                t.elapsed() / 1000.0);
    return 0;
}
