#pragma once

#include <QStringList>

// A log as a heating plant's logger writes it over a few days, for the README's
// picture: the header "Date,Time,<names>", one line every five minutes with the
// date as M/D/YYYY and the time as h:mm:ss AM/PM, values that follow the day
// (outdoor temperature, the heating curve, a night set-back of the rooms) with
// sensor noise, a few empty cells and one outage of the humidity sensor. The
// same bytes on every run, so that the picture changes only with the program.
namespace picturelog {

// The value columns' headings, in the file's order.
QStringList headings();

// Writes the log; false with `error` set when the file cannot be written.
bool write(const QString &path, QString *error);

} // namespace picturelog
