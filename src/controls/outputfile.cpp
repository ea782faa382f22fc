#include "outputfile.h"

#include "core/runtimeerror.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace outputfile {

const QList<ImageType> &imageTypes()
{
    static const QList<ImageType> types{ImageType::Jpeg, ImageType::Png, ImageType::Svg, ImageType::Pdf};
    return types;
}

std::optional<ImageType> imageTypeOfName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"jpg"_s || suffix == u"jpeg"_s)
        return ImageType::Jpeg;
    if (suffix == u"png"_s)
        return ImageType::Png;
    if (suffix == u"svg"_s)
        return ImageType::Svg;
    if (suffix == u"pdf"_s)
        return ImageType::Pdf;
    return std::nullopt;
}

QString imageFilter()
{
    // The JPEG entry keeps its old text, so the dialog opens as it always did.
    return u"Jpeg Files(*.jpg)|*.jpg|PNG Files(*.png)|*.png|SVG Files(*.svg)|*.svg|PDF Files(*.pdf)|*.pdf"_s;
}

QString pdfFilter()
{
    return u"PDF Files(*.pdf)|*.pdf"_s;
}

ImageType chosenImageType(const QString &fileName, int filterIndex)
{
    if (const auto typed = imageTypeOfName(fileName))
        return *typed;
    if (filterIndex >= 1 && filterIndex <= imageTypes().size())
        return imageTypes().at(filterIndex - 1);
    return ImageType::Jpeg;
}

void checkWritable(const QString &fileName)
{
    if (fileName.trimmed().isEmpty())
        throw RuntimeError(RuntimeError::BadFileName);
    const QFileInfo info(fileName);
    if (info.isDir())
        throw RuntimeError(RuntimeError::PathFileAccess);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        throw RuntimeError(RuntimeError::PathNotFound);
    if (!folder.isWritable() || (info.exists() && !info.isWritable()))
        throw RuntimeError(RuntimeError::PermissionDenied);
}

void refuseOverwriting(const QString &fileName, const QString &keep)
{
    if (keep.isEmpty() || fileName.isEmpty())
        return;
    const QFileInfo target(fileName), kept(keep);
    const bool same = target.exists() ? target.canonicalFilePath() == kept.canonicalFilePath()
                                      : target.absoluteFilePath() == kept.absoluteFilePath();
    if (same)
        throw RuntimeError(RuntimeError::PermissionDenied);
}

void printToPdf(const QString &fileName, const std::function<void(QPrinter &)> &paint)
{
    checkWritable(fileName);
    const QFileInfo info(fileName);
    // The pages go to a file beside the target, renamed over it once complete.
    QTemporaryFile part(QDir(info.absolutePath()).filePath(info.fileName() + u".XXXXXX"_s));
    if (!part.open())
        throw RuntimeError(RuntimeError::PathFileAccess);
    part.close();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(part.fileName());
    paint(printer);
    if (printer.printerState() == QPrinter::Error || QFileInfo(part.fileName()).size() == 0)
        throw RuntimeError(RuntimeError::PrinterError);
    if (info.exists() && !QFile::remove(info.absoluteFilePath()))
        throw RuntimeError(RuntimeError::PermissionDenied);
    if (!part.rename(info.absoluteFilePath()))
        throw RuntimeError(RuntimeError::PathFileAccess);
    part.setAutoRemove(false);
    // A temporary file is private to its owner; a saved printout is an ordinary file.
    QFile::setPermissions(info.absoluteFilePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                       | QFile::ReadOther);
}

} // namespace outputfile
