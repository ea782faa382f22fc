#include "pdftext.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace {
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

namespace PdfText {

QStringList pages(const QString &pdfPath)
{
    QStringList result = run(u"pdftotext"_s, {u"-layout"_s, u"-enc"_s, u"UTF-8"_s, pdfPath, u"-"_s}).split(u'\f');
    // Every page ends with a form feed, so the last piece is what follows the last page.
    result.removeLast();
    return result;
}

QString info(const QString &pdfPath, const QString &field)
{
    const QStringList lines = run(u"pdfinfo"_s, {pdfPath}).split(u'\n');
    for (const QString &line : lines) {
        if (line.startsWith(field + u':'))
            return line.mid(field.size() + 1).trimmed();
    }
    return {};
}

} // namespace PdfText
