#pragma once

#include <QString>
#include <QStringList>

// Reads printed PDFs back with poppler's command-line tools.
namespace PdfText {

// The text of each page, laid out as printed (pdftotext -layout); empty when the
// file cannot be read.
QStringList pages(const QString &pdfPath);
// One field of pdfinfo ("Title", "Page size", "Pages"), trimmed.
QString info(const QString &pdfPath, const QString &field);

} // namespace PdfText
