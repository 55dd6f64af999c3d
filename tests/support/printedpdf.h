#pragma once

#include <QDateTime>
#include <QString>

// What cups-pdf wrote for a print job: the PDF in the printing user's folder
// (TARVEL_PDF_DIR, or ~/PDF) written since `since` whose text holds `mark`.
// Empty when none came within the time.
QString waitForPrintedPdf(const QDateTime &since, const QString &mark, int timeoutMs = 60000);

// The text of a PDF as pdftotext -layout gives it, compatibility forms folded
// (CJK fonts share glyphs with the Kangxi radicals: 金 and ⾦).
QString pdfText(const QString &path);
