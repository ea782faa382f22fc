#include "outputfile.h"

#include "core/runtimeerror.h"
#include "core/writetarget.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPaintEngine>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStorageInfo>
#include <QSvgGenerator>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

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
    writetarget::check(fileName);
    const QFileInfo info(fileName);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        throw RuntimeError(RuntimeError::PathNotFound);
    if (!folder.isWritable() || (info.exists() && !info.isWritable()))
        throw RuntimeError(RuntimeError::PermissionDenied);
}

void writeWhole(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw RuntimeError(RuntimeError::PathFileAccess);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        file.cancelWriting();
        const qint64 free = QStorageInfo(QFileInfo(fileName).absolutePath()).bytesAvailable();
        throw RuntimeError(free >= 0 && free < bytes.size() ? RuntimeError::DiskFull : RuntimeError::DeviceIoError);
    }
}

QByteArray encodeImage(const QImage &image, const char *format, int quality, bool progressive)
{
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QImageWriter writer(&bytes, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        throw RuntimeError(RuntimeError::DeviceIoError);
    return bytes.data();
}

std::unique_ptr<QPaintDevice> vectorImage(ImageType type, QIODevice &out, QSize size, int dpi)
{
    const QString title = u"Historical Trend Plot"_s;
    if (type == ImageType::Svg) {
        auto svg = std::make_unique<QSvgGenerator>();
        svg->setOutputDevice(&out);
        svg->setSize(size);
        svg->setViewBox(QRect(QPoint(0, 0), size));
        svg->setResolution(dpi);
        svg->setTitle(title);
        return svg;
    }
    auto pdf = std::make_unique<QPdfWriter>(&out);
    pdf->setResolution(dpi);
    pdf->setPageLayout(
        QPageLayout(QPageSize(QSizeF(size) * 72.0 / dpi, QPageSize::Point), QPageLayout::Portrait, QMarginsF()));
    pdf->setTitle(title);
    return pdf;
}

namespace {

// Whether the PDF at `path` is whole as its writer finished it: it ends with
// its trailer, and its cross-reference table starts where the trailer says,
// which it does not when bytes were lost on the way to the disk.
bool isWholePdf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    constexpr qint64 TailBytes = 64;
    if (size <= TailBytes || !file.seek(size - TailBytes))
        return false;
    static const QRegularExpression trailer(u"startxref\\s+(\\d{1,18})\\s+%%EOF\\s*$"_s);
    const QRegularExpressionMatch m = trailer.match(QString::fromLatin1(file.read(TailBytes)));
    const qint64 xref = m.hasMatch() ? m.captured(1).toLongLong() : -1;
    if (xref <= 0 || xref >= size || !file.seek(xref) || file.read(4) != "xref")
        return false;
    // On the disk before it replaces anything.
    return ::fsync(file.handle()) == 0;
}

RuntimeError incompleteFile(const QString &folder)
{
    // A printer does not say why its file came out short; nearly always the
    // disk is full.
    constexpr qint64 AlmostFull = 1 << 20;
    const qint64 free = QStorageInfo(folder).bytesAvailable();
    return RuntimeError(free >= 0 && free < AlmostFull ? RuntimeError::DiskFull : RuntimeError::PrinterError);
}

// Writes a PDF at `fileName` through a temporary file in the folder where the
// write lands (the end of a chain of links): `write` fills the file named, and
// it replaces the target only when whole.
void writePdfThroughPart(const QString &fileName, const std::function<void(const QString &)> &write)
{
    checkWritable(fileName);
    const QFileInfo landing(writetarget::landingPath(fileName));
    const QString folder = landing.absolutePath();
    // No suffix: a printer given a name ending in .pdf would change its format.
    QTemporaryFile part(QDir(folder).filePath(u".krn740-print-XXXXXX"_s));
    if (!part.open())
        throw RuntimeError(RuntimeError::PathFileAccess);
    part.close();

    write(part.fileName());
    if (!isWholePdf(part.fileName()))
        throw incompleteFile(folder);
    // A file replaced keeps its permissions; a temporary file is private to its owner.
    const QFile::Permissions permissions = landing.exists()
                                               ? landing.permissions()
                                               : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(part.fileName(), permissions);
    // Asked again: the target may have changed while the pages were drawn.
    writetarget::check(fileName);
    // One step: the target is the old file or the new one, never neither.
    if (::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(landing.absoluteFilePath()).constData())
        != 0)
        throw RuntimeError(errno == EACCES || errno == EPERM ? RuntimeError::PermissionDenied
                                                             : RuntimeError::PathFileAccess);
    part.setAutoRemove(false);
}

// A preview records the pages in pictures; its printer writes nothing.
bool isPreviewing(QPrinter &printer)
{
    const QPaintEngine *engine = printer.paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

} // namespace

void printToPdf(const QString &fileName, const std::function<void(QPrinter &)> &paint)
{
    writePdfThroughPart(fileName, [&](const QString &part) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(part);
        paint(printer);
        if (printer.printerState() == QPrinter::Error)
            throw RuntimeError(RuntimeError::PrinterError);
    });
}

void printOn(QPrinter &printer, const std::function<void(QPrinter &)> &paint)
{
    const QString target = printer.outputFileName();
    if (target.isEmpty() || isPreviewing(printer))
        return paint(printer);
    writePdfThroughPart(target, [&](const QString &part) {
        // The printer keeps naming the file chosen, whatever happens here.
        struct Restore
        {
            QPrinter &printer;
            QString name;
            ~Restore() { printer.setOutputFileName(name); }
        } restore{printer, target};
        printer.setOutputFileName(part);
        paint(printer);
        if (printer.printerState() == QPrinter::Error)
            throw RuntimeError(RuntimeError::PrinterError);
    });
}

} // namespace outputfile
