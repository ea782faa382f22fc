#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QPrinter;

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

// Throws what a file that cannot be written at `fileName` gives: 52 (no name),
// 75 (a folder), 76 (no such folder), 70 (no permission).
void checkWritable(const QString &fileName);

// Throws 70 when `fileName` is the file `keep` (the loaded log, which the viewer
// never changes); nothing when `keep` is empty.
void refuseOverwriting(const QString &fileName, const QString &keep);

// A PDF printer writes the pages that `paint` draws into `fileName`; an existing
// file is replaced only by a complete one. Throws as checkWritable(), and 482 when
// the pages cannot be written.
void printToPdf(const QString &fileName, const std::function<void(QPrinter &)> &paint);

} // namespace outputfile
