#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QImage;
class QIODevice;
class QPaintDevice;
class QPrinter;
class QSize;

// Files that the viewer writes (trend images, printouts as PDF): the types it
// can write, how a type is told from a name or a dialog's filter, and the checks
// and safe replacement every written file goes through.
namespace outputfile {

enum class ImageType { Jpeg, Png, Svg, Pdf };

// The image types in the order the save dialog lists them; JPEG first.
const QList<ImageType> &imageTypes();
// The type a file name's extension names (case ignored; ".jpeg" too), none for
// another or no extension.
std::optional<ImageType> imageTypeOfName(const QString &fileName);
// The save dialog's filter of all image types, "Description(*.ext)|*.ext|...".
QString imageFilter();
// The save dialog's filter of PDF files alone.
QString pdfFilter();
// The type a save dialog answer stands for: the typed extension when it names a
// type, else the filter chosen (1-based, as listed by imageFilter()), else JPEG.
ImageType chosenImageType(const QString &fileName, int filterIndex);

// Throws what a file that cannot be written at `fileName` gives: the refusals of
// writetarget::check() (a log being viewed, not a regular file, a name too
// long), then 52 (no name), 76 (no such folder), 70 (no permission).
void checkWritable(const QString &fileName);

// Writes `bytes` beside `fileName` and renames the copy over it only when it is
// complete. Throws 75 when it cannot be made, 61 when the disk is full, 57 when
// the write fails otherwise.
void writeWhole(const QString &fileName, const QByteArray &bytes);

// A trend image encoded as `format` ("jpeg", "png") in memory; throws 57 when it
// cannot be. In memory first: an encoder that meets a full disk may print its
// own complaint and leaves nothing to tell how far it got.
QByteArray encodeImage(const QImage &image, const char *format, int quality, bool progressive);
// A device that writes a trend image of `size` pixels at `dpi` to `out`: an SVG
// drawing, or a PDF of one page of exactly that size. SVG or PDF only.
std::unique_ptr<QPaintDevice> vectorImage(ImageType type, QIODevice &out, QSize size, int dpi);

// A PDF printer writes the pages that `paint` draws into `fileName`. Throws as
// checkWritable(), and 482 or 61 (a full disk) when the pages cannot be written
// whole; see printOn() for how the file is written.
void printToPdf(const QString &fileName, const std::function<void(QPrinter &)> &paint);

// Prints what `paint` draws on `printer`. When the printer writes a file (the
// print dialog's print to file), that file is checked as checkWritable() does
// and the pages go to a temporary file beside it, which replaces it only once
// it is whole (its trailer written, its cross-reference table where the trailer
// says); an existing file is otherwise left as it was. A printer that only
// records pages for a preview writes no file and is painted on directly.
void printOn(QPrinter &printer, const std::function<void(QPrinter &)> &paint);

} // namespace outputfile
