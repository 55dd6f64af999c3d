#include "benchtable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString shown(double value, const QString &unit)
{
    if (unit == u"MiB")
        return QStringLiteral("%1 MiB").arg(value, 0, 'f', 1);
    if (value >= 100)
        return QStringLiteral("%1 ms").arg(value, 0, 'f', 0);
    if (value >= 1)
        return QStringLiteral("%1 ms").arg(value, 0, 'f', 1);
    return QStringLiteral("%1 ms").arg(value, 0, 'f', 3);
}

} // namespace

double Figure::medianA() const
{
    return median(a);
}

double Figure::medianB() const
{
    return median(b);
}

double Figure::ratio() const
{
    const double base = medianB();
    return base > 0 ? medianA() / base : 0;
}

bool Figure::met() const
{
    return medianB() > 0 && (limit <= 0 || ratio() <= limit) && (absoluteLimit <= 0 || medianA() < absoluteLimit);
}

Figure &BenchTable::measure(Figure figure, int runs, const std::function<double()> &a, const std::function<double()> &b)
{
    if (!wants(figure.id))
        return add(std::move(figure));
    std::fprintf(stderr, "%s %s ", qPrintable(figure.id), qPrintable(figure.what));
    for (int i = 0; i < runs; ++i) {
        figure.a.push_back(a());
        figure.b.push_back(b());
        std::fputc('.', stderr);
    }
    std::fprintf(stderr, " %s / %s\n", qPrintable(shown(figure.medianA(), figure.unit)),
                 qPrintable(shown(figure.medianB(), figure.unit)));
    return add(std::move(figure));
}

Figure &BenchTable::add(Figure figure)
{
    if (m_historyLimit > 0 && figure.baseline.startsWith(QStringLiteral("the same on "))) {
        figure.id[0] = u'T';
        figure.limit = m_historyLimit;
    }

    m_figures.push_back(std::move(figure));
    return m_figures.back();
}

bool BenchTable::print() const
{
    bool all = true;
    std::printf("| # | figure (median of runs) | Tarvel | baseline, same run | baseline | ratio | target | |\n"
                "|---|---|---:|---|---:|---:|---|---|\n");
    for (const Figure &f : m_figures) {
        if (f.a.empty())
            continue;
        QStringList target;
        if (f.limit > 0)
            target << QStringLiteral("≤ %1").arg(f.limit);
        if (f.absoluteLimit > 0)
            target << QStringLiteral("< %1").arg(shown(f.absoluteLimit, f.unit));
        std::printf("| %s | %s (%zu) | %s | %s | %s | %.2f | %s | %s |\n", qPrintable(f.id), qPrintable(f.what),
                    f.a.size(), qPrintable(shown(f.medianA(), f.unit)), qPrintable(f.baseline),
                    qPrintable(shown(f.medianB(), f.unit)), f.ratio(), qPrintable(target.join(QStringLiteral(", "))),
                    f.met() ? "met" : "MISSED");
        all = all && f.met();
    }
    return all;
}

double millisecondsOf(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

double shellMilliseconds(const QString &file, const QString &sql)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), file});
    shell.write(QStringLiteral(".timer on\n%1;\n").arg(sql).toUtf8());
    shell.closeWriteChannel();
    if (!shell.waitForFinished(600000) || shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 failed: %s\n", shell.readAllStandardError().constData());
        return -1;
    }
    // Every statement's time, added up.
    static const QRegularExpression realTime(QStringLiteral("Run Time: real ([0-9.]+)"));
    double ms = -1;
    for (const QRegularExpressionMatch &m : realTime.globalMatch(QString::fromUtf8(shell.readAllStandardOutput())))
        ms = std::max(ms, 0.0) + m.captured(1).toDouble() * 1000;
    return ms;
}

bool copyDurably(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return false;
    const int fd = ::open(QFile::encodeName(to).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}
