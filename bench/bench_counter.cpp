// The speed table: every figure of Tarvel on a generated shop of five busy
// years, each with its baseline measured in the same run, in turn.
//   bench_counter --shop five-years.db --small small.db     (QT_QPA_PLATFORM=offscreen)
//   bench_counter --guard --shop small.db                   the loose check of CI
// The files given are never changed: every measurement works on copies.
// `./tarvel.sh bench` builds in Release, generates the files once and runs it.
#include "app/startup.h"
#include "benchfigures.h"
#include "benchtable.h"
#include "gui/counter/counterwindow.h"
#include "gui/messages.h"
#include "gui/screenhost.h"
#include "shop/database.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>
#include <sys/resource.h>

namespace {

struct Silent : Messages
{
    bool show(QWidget *, const QString &text, const QString &, Icon, Buttons) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

// The offscreen platform's note on every dialog shown says nothing here.
void quietOffscreen(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (!text.contains(QLatin1String("propagateSizeHints")))
        std::fprintf(stderr, "%s%s\n", type == QtWarningMsg ? "warning: " : "", qPrintable(text));
}

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The child of the start-up figures: Tarvel started as main() starts it, on
// tarv.db in `dir`. Reports when the counter window is shown, with the peak
// memory then, and again after every back-office screen has been opened.
int startChild(const QString &dir)
{
    QDir::setCurrent(dir);
    const Startup started = startTarvel();
    if (!started.window)
        return 1;
    CounterWindow *window = started.window;
    while (!window->windowHandle() || !window->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("shown %.3f\n", peakMiB());
    std::fflush(stdout);
    for (const char *name : ScreenNames) {
        QDialog *screen = window->screens()->screen(QString::fromLatin1(name));
        screen->show();
        QCoreApplication::processEvents();
        screen->hide(); // as its 关闭 button: loaded and kept
    }
    std::printf("screens %.3f\n", peakMiB());
    std::fflush(stdout);
    window->screens()->unloadAll();
    window->close();
    return 0;
}

void forgetSales(const QString &path)
{
    Database::Result opened = Database::open(path);
    QSqlQuery q(opened.database->shop().connection());
    if (!q.exec(QStringLiteral("DELETE FROM xiaoshou")))
        qFatal("cannot empty the sales of %s", qPrintable(path));
}

struct Started
{
    double ms = -1, shownMiB = 0, screensMiB = 0;
};

Started startOnce(const QString &dir)
{
    Started s;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start"), dir});
    QByteArray out;
    while (!out.contains('\n') && child.waitForReadyRead(60000))
        out += child.readAllStandardOutput();
    s.ms = t.nsecsElapsed() / 1e6;
    child.waitForFinished(120000);
    out += child.readAllStandardOutput();
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2 && words[0] == "shown")
            s.shownMiB = words[1].toDouble();
        if (words.size() == 2 && words[0] == "screens")
            s.screensMiB = words[1].toDouble();
    }
    if (s.shownMiB <= 0 || s.screensMiB <= 0 || child.exitCode() != 0)
        std::fprintf(stderr, "start-up in %s failed\n", qPrintable(dir));
    return s;
}

// P1 and P2 from child processes: Tarvel on the shop file against Tarvel on
// an empty file, in turn.
void startupFigures(BenchTable &table, const QString &shopDir, const QString &emptyDir, int runs, bool guard,
                    const QString &emptyName = QStringLiteral("an empty file"))
{
    std::vector<Started> shop, empty;
    std::fprintf(stderr, "P1, P2 start-up ");
    startOnce(shopDir); // the first start also fills the font caches
    for (int i = 0; i < runs; ++i) {
        shop.push_back(startOnce(shopDir));
        empty.push_back(startOnce(emptyDir));
        std::fputc('.', stderr);
    }
    std::fputc('\n', stderr);
    auto figure = [&](QString id, QString what, double limit, QString unit, double Started::*field) {
        Figure f{id, what, QStringLiteral("the same on ") + emptyName, limit};
        f.unit = unit;
        for (size_t i = 0; i < shop.size(); ++i) {
            f.a.push_back(shop[i].*field);
            f.b.push_back(empty[i].*field);
        }
        table.add(f);
    };
    figure(QStringLiteral("P1"), QStringLiteral("start-up: process start to the counter window shown"),
           guard ? 2.0 : 1.2, QStringLiteral("ms"), &Started::ms);
    figure(QStringLiteral("P2"), QStringLiteral("peak memory after start-up"), guard ? 1.5 : 1.2, QStringLiteral("MiB"),
           &Started::shownMiB);
    figure(QStringLiteral("P2"), QStringLiteral("peak memory after opening every screen"), guard ? 1.5 : 1.2,
           QStringLiteral("MiB"), &Started::screensMiB);
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    Silent silent;
    Messages::install(&silent);
    if (argc == 3 && QByteArray(argv[1]) == "--start")
        return startChild(QString::fromLocal8Bit(argv[2]));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tarvel's speed table: each figure against its baseline."));
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("shop"), QStringLiteral("The shop file measured (five years)."), QStringLiteral("file")});
    parser.addOption(
        {QStringLiteral("small"), QStringLiteral("The small file, baseline of the screens."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("guard"),
                      QStringLiteral("CI: the shop is the small file, screens are compared with an empty file, "
                                     "loose limits, only figures with a baseline of our own.")});
    parser.addOption(
        {QStringLiteral("only"), QStringLiteral("Only these figures, e.g. P4,P7."), QStringLiteral("ids")});
    parser.addOption({QStringLiteral("history"),
                      QStringLiteral("The counter's and screens' figures of --shop (ten years) against the same on "
                                     "this file (five years), as T3, T7: flat with history."),
                      QStringLiteral("file")});
    parser.process(app);
    const bool guard = parser.isSet(QStringLiteral("guard"));
    const bool history = parser.isSet(QStringLiteral("history"));
    if (!parser.isSet(QStringLiteral("shop")) || (!guard && !history && !parser.isSet(QStringLiteral("small"))))
        parser.showHelp(2);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    // Working copies: the measured files, and an empty one made by Tarvel.
    QTemporaryDir work(QDir::current().filePath(QStringLiteral("bench-work-XXXXXX")));
    auto place = [&](const QString &name, const QString &from) {
        QDir(work.path()).mkpath(name);
        const QString to = work.filePath(name + QStringLiteral("/tarv.db"));
        if (from.isEmpty()) {
            if (!Database::create(to).database)
                qFatal("cannot create %s", qPrintable(to));
        } else if (!copyDurably(from, to)) {
            qFatal("cannot copy %s", qPrintable(from));
        }
        return to;
    };
    const QString shop = place(QStringLiteral("shop"), parser.value(QStringLiteral("shop")));
    const QString empty = place(QStringLiteral("empty"), QString());
    // The guard has no smaller file than the small one: its screens are
    // compared with the same goods and purchases without any sales.
    const QString small = place(QStringLiteral("small"), parser.value(guard     ? QStringLiteral("shop")
                                                                      : history ? QStringLiteral("history")
                                                                                : QStringLiteral("small")));
    if (guard)
        forgetSales(small);
    const QString smallName = guard     ? QStringLiteral("a copy without its sales")
                              : history ? QStringLiteral("the five-year shop")
                                        : QStringLiteral("the small file");

    BenchTable table;
    if (parser.isSet(QStringLiteral("only")))
        table.only(parser.value(QStringLiteral("only")).split(u','));
    if (history) {
        table.asHistory(1.3);
        if (table.wants(QStringLiteral("P1")) || table.wants(QStringLiteral("P2")))
            startupFigures(table, QFileInfo(shop).path(), QFileInfo(small).path(), 5, false, smallName);
        BenchShops shops{shop, small, smallName, parser.value(QStringLiteral("shop")), false};
        counterFigures(table, shops);
        screenFigures(table, shops);
        std::printf("\n");
        return table.print() ? 0 : 1;
    }
    if (table.wants(QStringLiteral("P1")) || table.wants(QStringLiteral("P2")))
        startupFigures(table, QFileInfo(shop).path(), QFileInfo(empty).path(), guard ? 5 : 9, guard);

    BenchShops shops{shop, small, smallName, parser.value(QStringLiteral("shop")), guard};
    counterFigures(table, shops);
    screenFigures(table, shops);
    if (!guard) {
        analysisFigures(table, shops);
        knowFigures(table, shops);
        countFigures(table, shops);
        labelFigures(table, shops);
        cleanupFigures(table, shops);
        if (table.wants(QStringLiteral("S1")) || table.wants(QStringLiteral("S2")) ||
            table.wants(QStringLiteral("S3")) || table.wants(QStringLiteral("O5")))
            serverFigures(table, shops);
        if (table.wants(QStringLiteral("O1")) || table.wants(QStringLiteral("O2")) ||
            table.wants(QStringLiteral("O3")) || table.wants(QStringLiteral("O4")))
            outageFigures(table, shops);
    }
    std::printf("\n");
    const bool all = table.print();
    return all ? 0 : 1;
}
