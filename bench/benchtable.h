#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// One line of the speed table: a figure of Tarvel and its baseline, measured
// in turn (A B A B ...) so that both land in the same mood of the machine,
// each the median of its runs.
struct Figure
{
    Figure(QString id_, QString what_, QString baseline_, double limit_, double absoluteLimit_ = 0)
        : id(std::move(id_))
        , what(std::move(what_))
        , baseline(std::move(baseline_))
        , limit(limit_)
        , absoluteLimit(absoluteLimit_)
    { }
    QString id;               // "P3"
    QString what;             // what Tarvel does
    QString baseline;         // what it is compared with
    double limit = 0;         // the ratio it must stay at or under (none when 0)
    double absoluteLimit = 0; // and the figure itself, when set (same unit)
    QString unit = QStringLiteral("ms");
    std::vector<double> a, b;

    double medianA() const;
    double medianB() const;
    double ratio() const;
    bool met() const;
};

class BenchTable
{
public:
    // Only the figures of these ids are measured (all when empty).
    void only(const QStringList &ids) { m_only = ids; }
    bool wants(const QString &id) const { return m_only.isEmpty() || m_only.contains(id); }
    // The screens of a longer history against the same screens of a shorter
    // one: each figure compared with the other shop is called T… in place of
    // P… and must stay within `limit`.
    void asHistory(double limit) { m_historyLimit = limit; }
    // Runs `a` and `b` in turn `runs` times; each returns its own measured
    // value (so that setting up a run stays outside the time).
    Figure &measure(Figure figure, int runs, const std::function<double()> &a, const std::function<double()> &b);
    // A figure whose pairs were gathered elsewhere.
    Figure &add(Figure figure);
    // The table in Markdown; returns whether every target was met.
    bool print() const;

private:
    std::vector<Figure> m_figures;
    QStringList m_only;
    double m_historyLimit = 0;
};

// Milliseconds that `f` takes.
double millisecondsOf(const std::function<void()> &f);

// The time SQLite itself takes for `sql` on `file`, from the sqlite3 shell's
// own timer, in milliseconds (the shell times in whole milliseconds; several
// statements: their times added up).
double shellMilliseconds(const QString &file, const QString &sql);

// A copy of `from` at `to`, written through to the disk, so that its writing
// never falls into a measured moment.
bool copyDurably(const QString &from, const QString &to);
