#include "printedpdf.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

QString waitForPrintedPdf(const QDateTime &since, const QString &mark, int timeoutMs)
{
    QString outDir = qEnvironmentVariable("TARVEL_PDF_DIR");
    if (outDir.isEmpty())
        outDir = QDir::homePath() + QStringLiteral("/PDF");
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QTest::qWait(250);
        const auto files = QDir(outDir).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
        for (const QFileInfo &fi : files) {
            if (fi.lastModified() < since || fi.size() == 0)
                continue;
            QTest::qWait(300); // let the writer finish
            if (pdfText(fi.filePath()).contains(mark))
                return fi.filePath();
        }
    }
    return {};
}

QSizeF pdfPageSize(const QString &path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    if (!info.waitForFinished(30000))
        return {};
    static const QRegularExpression size(QStringLiteral(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)"));
    const auto m = size.match(QString::fromUtf8(info.readAllStandardOutput()));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}
