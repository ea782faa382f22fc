#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class PlotControl;
class TrendData;

// The trend's samples in view as comma-separated text, for a spreadsheet.
namespace viewcsv {

// The samples of `data` whose time lies within [fromX, toX] (OLE dates), in time
// order, for `channels`: a header "Date,Time,<channel titles>", then one line per
// sample with the date and time texts and each channel's value as logged (the
// log's own cell text), empty where the channel has a gap. An elapsed-time trend
// writes one column "Elapsed" in the duration format for the span written
// (duration.h), a years trend one column "Year" with the year as logged. A sample that none of
// the channels has is left out. Where the log is no longer at hand, dates,
// times and values are written from the trend's own numbers. Lines end in CR LF;
// fields holding a comma, quote or line end are quoted.
QByteArray text(TrendData &data, const QList<int> &channels, double fromX, double toX);

// The plot's samples in view (its X axis range, every channel shown) written to
// `fileName`; an existing file is replaced only by a complete one. Throws
// RuntimeError as outputfile::checkWritable does, 57 when the file cannot be
// written.
void save(PlotControl &plot, const QString &fileName);

// Whether a save dialog's answer asks for CSV: a name ending in ".csv", or a name
// without an image extension with the CSV entry (`csvFilterIndex`, from 1) chosen.
bool isCsvChoice(const QString &fileName, int filterIndex, int csvFilterIndex);

} // namespace viewcsv
