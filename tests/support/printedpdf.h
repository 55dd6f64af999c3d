#pragma once

#include <QDateTime>
#include <QSizeF>
#include <QString>

// What cups-pdf wrote for a print job: the PDF in the printing user's folder
// (TARVEL_PDF_DIR, or ~/PDF) written since `since` whose text holds `mark`.
// Empty when none came within the time.
QString waitForPrintedPdf(const QDateTime &since, const QString &mark, int timeoutMs = 60000);

// The text of a PDF as pdftotext -layout gives it, compatibility forms folded
// (CJK fonts share glyphs with the Kangxi radicals: 金 and ⾦).
QString pdfText(const QString &path);

// The first page's size in points as pdfinfo gives it; empty when unknown.
QSizeF pdfPageSize(const QString &path);
