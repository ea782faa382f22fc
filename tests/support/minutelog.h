#pragma once

#include <QByteArray>

namespace testlogs {

// A log of `rows` samples one minute apart from 1/31/2024 11:00 PM, with the value
// columns named A, B, C ... holding row * 10 + column; lines end in CR LF.
QByteArray minutes(int rows, int valueColumns);

} // namespace testlogs
