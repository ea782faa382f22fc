#pragma once

#include "core/logshape.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// The trend of a log written to an image file from the command line, without a
// display and without a window: a log document of its own loads the log as Open
// does and reads the columns as the plot run reads whole columns selected in the
// grid; the trend renderer draws the picture the plot run would leave, with the
// settings a new trend of those columns gets.
namespace batchexport {

struct Request
{
    QString outFile;     // the image; its extension gives the type
    QString logFile;
    // Column headings, or field numbers from 1 (the Date) where no heading is the
    // number; empty: every value column.
    QStringList columns;
    std::optional<QString> size; // "WxH" in pixels; none: DefaultSize
    logshape::Options shape;     // the log's shape as the command line chose it
};

inline constexpr QSize DefaultSize{1000, 600};

// The size a "WxH" text gives, each side 32 to 10000 pixels; nothing for any
// other text.
std::optional<QSize> parseSize(const QString &text);

// Writes the trend. Returns why it could not, as one line for the user (no line
// end), or an empty text when the image was written. Neither the log nor the
// settings file is ever written.
QString run(const Request &request);

} // namespace batchexport
